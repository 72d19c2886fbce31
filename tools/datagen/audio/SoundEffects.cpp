// The four gameplay sounds, synthesised: a rising sparkle when an item appears, a
// jingle when it is picked up, a swoosh when it is stolen and a bell chord when it is
// delivered. Each is built from struck-bell partials, sleigh-bell bursts and filtered
// noise, so that the four are told apart at once.
#include <cmath>
#include <string>
#include <vector>

#include "Families.h"
#include "kit2d/Wav.h"

namespace {

using kit2d::kSampleRate;

std::vector<float> Silence(double seconds) {
  return std::vector<float>(static_cast<size_t>(seconds * kSampleRate), 0.0f);
}

// A struck metal bar or bell: inharmonic partials, the higher ones dying faster.
void AddBell(std::vector<float>& out, double at, double freq, double amp, double decay) {
  static const double kRatio[] = {1.0, 2.76, 5.40, 8.93};
  static const double kGain[] = {1.0, 0.45, 0.22, 0.1};
  const size_t start = static_cast<size_t>(at * kSampleRate);
  for (size_t i = start; i < out.size(); ++i) {
    const double t = static_cast<double>(i - start) / kSampleRate;
    double v = 0;
    for (int p = 0; p < 4; ++p) {
      if (freq * kRatio[p] > kSampleRate * 0.45) continue;
      v += kGain[p] * std::exp(-t * (p + 1) / decay) * std::sin(2 * M_PI * freq * kRatio[p] * t);
    }
    const double attack = std::min(1.0, t / 0.002);
    out[i] += static_cast<float>(amp * attack * v);
  }
}

// One shake of a sleigh bell cluster: several tiny bells plus a click of noise.
void AddSleighBells(std::vector<float>& out, double at, double amp, uint32_t seed) {
  kit2d::Noise noise(seed);
  static const double kBells[] = {3150, 3720, 4410, 5080, 5830};
  const size_t start = static_cast<size_t>(at * kSampleRate);
  kit2d::Svf hp;
  for (size_t i = start; i < out.size() && i < start + kSampleRate / 4; ++i) {
    const double t = static_cast<double>(i - start) / kSampleRate;
    double v = 0;
    for (int b = 0; b < 5; ++b) {
      const double jitter = 0.004 * b;
      if (t < jitter) continue;
      const double tt = t - jitter;
      v += 0.3 * std::exp(-tt / 0.045) * std::sin(2 * M_PI * kBells[b] * tt) *
           (1 + 0.3 * std::sin(2 * M_PI * 31 * tt));
    }
    const float n = hp.Process(noise.Next(), 6500, 0.7f);
    v += 0.8 * n * std::exp(-t / 0.02);
    out[i] += static_cast<float>(amp * v);
  }
}

double Note(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

std::vector<float> Appear() {
  auto s = Silence(0.9);
  const int notes[] = {84, 88, 91, 96, 100};  // C6 E6 G6 C7 E7
  for (int i = 0; i < 5; ++i) AddBell(s, 0.01 + i * 0.055, Note(notes[i]), 0.5, 0.16 + 0.03 * i);
  // a soft glitter of filtered noise under the arpeggio
  kit2d::Noise noise(17);
  kit2d::Svf f;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kSampleRate;
    const double env = std::sin(M_PI * std::min(1.0, t / 0.7)) * (0.6 + 0.4 * std::sin(2 * M_PI * 18 * t));
    s[i] += static_cast<float>(0.12 * env * f.Process(noise.Next(), 7000, 0.3f));
  }
  return s;
}

std::vector<float> PickUp() {
  auto s = Silence(0.42);
  AddSleighBells(s, 0.0, 0.7, 3);
  AddSleighBells(s, 0.07, 0.55, 5);
  AddSleighBells(s, 0.13, 0.45, 9);
  AddBell(s, 0.02, Note(79), 0.45, 0.09);  // G5
  AddBell(s, 0.09, Note(86), 0.5, 0.12);   // D6
  return s;
}

std::vector<float> Steal() {
  const double len = 0.5;
  auto s = Silence(len);
  kit2d::Noise noise(23);
  kit2d::Svf f;
  double phase = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kSampleRate, x = t / len;
    // the swoosh: a band of noise that sweeps up and back down, loudest in the middle
    const double cutoff = 500 + 3200 * std::sin(M_PI * std::min(1.0, x * 1.25));
    const double env = std::pow(std::sin(M_PI * std::min(1.0, x * 1.15)), 1.5);
    double v = 0.9 * env * f.Process(noise.Next(), static_cast<float>(cutoff), 0.35f);
    // a quick falling "snatch" tone
    const double freq = 1400 * std::exp(-t * 6) + 250;
    phase += 2 * M_PI * freq / kSampleRate;
    v += 0.3 * std::exp(-t / 0.09) * std::sin(phase) * std::sin(phase * 0.5);
    s[i] = static_cast<float>(v);
  }
  return s;
}

std::vector<float> Deliver() {
  auto s = Silence(1.25);
  // C major arpeggio into a ringing chord, with sleigh bells on top
  AddBell(s, 0.00, Note(72), 0.35, 0.5);   // C5
  AddBell(s, 0.08, Note(76), 0.35, 0.5);   // E5
  AddBell(s, 0.16, Note(79), 0.35, 0.55);  // G5
  AddBell(s, 0.26, Note(84), 0.45, 0.6);   // C6
  AddBell(s, 0.26, Note(60), 0.35, 0.7);   // C4 under it
  AddSleighBells(s, 0.26, 0.4, 41);
  AddSleighBells(s, 0.38, 0.3, 43);
  return s;
}

}  // namespace

bool WriteSoundEffects(const std::string& dataDir) {
  bool ok = kit2d::WriteWav(dataDir + "/AparecerItem.wav", Appear(), -3.0);
  ok = kit2d::WriteWav(dataDir + "/RecogerItem.wav", PickUp(), -3.0) && ok;
  ok = kit2d::WriteWav(dataDir + "/RobarItem.wav", Steal(), -3.0) && ok;
  ok = kit2d::WriteWav(dataDir + "/DepositarItem.wav", Deliver(), -3.0) && ok;
  return ok;
}
