// Arranges the carols of Carols.cpp for General MIDI and writes them as Standard MIDI
// files: melody, chords, bass, arpeggios or a pad, percussion with sleigh bells, a short
// introduction and a held final chord with a slowing close. Pieces do not loop: each
// ends with every note released and a short silent tail.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Families.h"
#include "kit2d/Midi.h"
#include "music/Carols.h"

namespace {

using kit2d::MidiTrack;

constexpr int kPpq = 480;
// Channels.
constexpr int kMelodyCh = 0, kHarmonyCh = 1, kBassCh = 2, kCounterCh = 3, kDoubleCh = 4,
              kDrumCh = 9;
// General MIDI percussion keys.
constexpr int kKick = 36, kSideStick = 37, kSnare = 38, kClosedHat = 42, kPedalHat = 44,
              kCrash = 49, kTriangle = 81, kSleighBells = 83, kSoftKick = 35;
constexpr int kGlockenspiel = 9;

struct NoteEv {
  double beat, len;
  int key;  // -1 for a rest
};

struct ChordEv {
  double beat, len;
  int root;                 // pitch class
  std::vector<int> tones;   // intervals above the root
};

// Parses "C#4"-style pitch names; -1 for "R"; -2 on error.
int ParsePitch(const std::string& s) {
  if (s == "R") return -1;
  static const int kPc[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  if (s.empty() || s[0] < 'A' || s[0] > 'G') return -2;
  int pc = kPc[s[0] - 'A'];
  size_t i = 1;
  if (i < s.size() && s[i] == '#') pc += 1, ++i;
  else if (i < s.size() && s[i] == 'b') pc -= 1, ++i;
  if (i >= s.size()) return -2;
  const int octave = std::atoi(s.c_str() + i);
  return 12 * (octave + 1) + pc;
}

std::vector<std::string> Split(const std::string& s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    if (i < s.size() && s[i] == '|') {  // a bar line is a token even without spaces
      out.push_back("|");
      ++i;
      continue;
    }
    size_t j = i;
    while (j < s.size() && s[j] != ' ' && s[j] != '|') ++j;
    if (j > i) out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

// Splits "X:beats" into name and beats (1 when absent).
void NameAndBeats(const std::string& tok, std::string& name, double& beats) {
  const size_t c = tok.find(':');
  name = tok.substr(0, c);
  beats = c == std::string::npos ? 1.0 : std::atof(tok.c_str() + c + 1);
}

bool ParseMelody(const char* text, int beatsPerBar, std::vector<NoteEv>& out, double& total,
                 const char* title) {
  double beat = 0, barStart = 0;
  int bar = 1;
  for (const std::string& tok : Split(text)) {
    if (tok == "|") {
      if (std::fabs(beat - barStart - beatsPerBar) > 1e-6) {
        std::fprintf(stderr, "%s: bar %d holds %.2f beats\n", title, bar, beat - barStart);
        return false;
      }
      barStart = beat;
      ++bar;
      continue;
    }
    std::string name;
    double len;
    NameAndBeats(tok, name, len);
    const int key = ParsePitch(name);
    if (key == -2 || len <= 0) {
      std::fprintf(stderr, "%s: bad note '%s'\n", title, tok.c_str());
      return false;
    }
    out.push_back({beat, len, key});
    beat += len;
  }
  if (std::fabs(beat - barStart - beatsPerBar) > 1e-6) {
    std::fprintf(stderr, "%s: last bar holds %.2f beats\n", title, beat - barStart);
    return false;
  }
  total = beat;
  return true;
}

bool ParseChords(const char* text, std::vector<ChordEv>& out, double total, const char* title) {
  double beat = 0;
  for (const std::string& tok : Split(text)) {
    std::string name;
    double len;
    NameAndBeats(tok, name, len);
    const int root = ParsePitch(name.substr(0, name.size() > 1 && (name[1] == '#' || name[1] == 'b') ? 2 : 1) + "0");
    if (root < 0 || len <= 0) {
      std::fprintf(stderr, "%s: bad chord '%s'\n", title, tok.c_str());
      return false;
    }
    const std::string q = name.substr(name.size() > 1 && (name[1] == '#' || name[1] == 'b') ? 2 : 1);
    std::vector<int> tones;
    if (q.empty()) tones = {0, 4, 7};
    else if (q == "m") tones = {0, 3, 7};
    else if (q == "7") tones = {0, 4, 7, 10};
    else if (q == "m7") tones = {0, 3, 7, 10};
    else if (q == "maj7") tones = {0, 4, 7, 11};
    else {
      std::fprintf(stderr, "%s: unknown chord '%s'\n", title, tok.c_str());
      return false;
    }
    out.push_back({beat, len, root % 12, tones});
    beat += len;
  }
  if (std::fabs(beat - total) > 1e-6) {
    std::fprintf(stderr, "%s: chords span %.2f beats, melody %.2f\n", title, beat, total);
    return false;
  }
  return true;
}

// A small deterministic jitter for velocities, so repeated notes do not sound mechanical.
struct Humaniser {
  uint32_t s = 12345;
  int Jitter(int range) {
    s = s * 1103515245u + 12345u;
    return static_cast<int>((s >> 16) % (2 * range + 1)) - range;
  }
};

uint32_t Tick(double beat) { return static_cast<uint32_t>(std::lround(beat * kPpq)); }

// Chord tones placed closest above `low`, sorted.
std::vector<int> Voicing(const ChordEv& c, int transpose, int low) {
  std::vector<int> keys;
  for (int t : c.tones) {
    int k = (c.root + transpose + t) % 12;
    while (k < low) k += 12;
    keys.push_back(k);
  }
  std::sort(keys.begin(), keys.end());
  return keys;
}

int BassRoot(const ChordEv& c, int transpose) {
  int k = (c.root + transpose) % 12 + 36;  // C2 … B2
  if (k > 43) k -= 12;                      // keep it low: G1 … G2
  return k;
}

class Arranger {
 public:
  explicit Arranger(const music::Piece& p)
      : p_(p),
        melody_("Melody"),
        harmony_("Chords"),
        bass_("Bass"),
        counter_(p.lively ? "Pad" : "Arpeggio"),
        double_("Glockenspiel"),
        drums_("Percussion and sleigh bells") {}

  bool Build() {
    SetUp();
    // Introduction: two bars on the first chord.
    std::vector<NoteEv> melody;
    std::vector<ChordEv> chords;
    double total = 0;
    const music::Pass& first = p_.passes.front();
    if (!ParseMelody(first.section->melody, p_.beatsPerBar, melody, total, p_.title) ||
        !ParseChords(first.section->chords, chords, total, p_.title))
      return false;
    const double intro = 2.0 * p_.beatsPerBar;
    Accompany({0, intro, chords.front().root, chords.front().tones}, first.transpose, 0, 0);
    drums_.Note(0, kDrumCh, kTriangle, 70, Tick(0.5));
    now_ = intro;
    int lastProgram = -1;
    ChordEv lastChord{};
    int lastTranspose = 0;
    for (const music::Pass& pass : p_.passes) {
      melody.clear();
      chords.clear();
      if (!ParseMelody(pass.section->melody, p_.beatsPerBar, melody, total, p_.title) ||
          !ParseChords(pass.section->chords, chords, total, p_.title))
        return false;
      if (pass.melodyProgram != lastProgram) {
        melody_.Program(Tick(now_), kMelodyCh, pass.melodyProgram);
        lastProgram = pass.melodyProgram;
      }
      if (pass.intensity >= 1 && total >= p_.beatsPerBar * 4)
        drums_.Note(Tick(now_), kDrumCh, kCrash, p_.lively ? 90 : 45, Tick(1));
      for (const NoteEv& n : melody) {
        if (n.key < 0) continue;
        const int key = n.key + pass.transpose + pass.melodyOctave;
        const bool down = std::fmod(n.beat, p_.beatsPerBar) < 1e-6;
        const int vel = (p_.lively ? 96 : 84) + (down ? 8 : 0) + pass.intensity * 4 + hum_.Jitter(4);
        melody_.Note(Tick(now_ + n.beat), kMelodyCh, key, vel,
                     Tick(n.len * (p_.lively ? 0.88 : 0.97)));
        if (pass.intensity >= 2)
          double_.Note(Tick(now_ + n.beat), kDoubleCh, key + 12 - pass.melodyOctave + (pass.melodyOctave >= 12 ? 0 : 0),
                       62 + hum_.Jitter(4), Tick(std::min(n.len, 1.0) * 0.8));
      }
      for (const ChordEv& c : chords) Accompany(c, pass.transpose, pass.intensity, now_);
      lastChord = chords.back();
      lastTranspose = pass.transpose;
      now_ += total;
    }
    Ending(lastChord, lastTranspose);
    return true;
  }

  bool Write(const std::string& path, double& seconds) const {
    // A slowing close over the last two bars, then the tail.
    std::vector<kit2d::TempoChange> tempi = {{0, p_.bpm}};
    const double rit = endBeat_ - 2.0 * p_.beatsPerBar;
    for (int i = 1; i <= 4; ++i)
      tempi.push_back({Tick(rit + (i - 1) * p_.beatsPerBar / 2.0), p_.bpm * (1.0 - 0.06 * i)});
    const uint32_t end = Tick(endBeat_ + tailBeats_);
    std::vector<MidiTrack> tracks = {melody_, harmony_, bass_, counter_, double_, drums_};
    for (MidiTrack& t : tracks) t.End(end);
    seconds = 0;
    for (size_t i = 0; i < tempi.size(); ++i) {
      const uint32_t to = i + 1 < tempi.size() ? tempi[i + 1].tick : end;
      seconds += (to - tempi[i].tick) / static_cast<double>(kPpq) * 60.0 / tempi[i].bpm;
    }
    return kit2d::WriteMidiFile(path, kPpq, p_.beatsPerBar, tempi, tracks, end);
  }

 private:
  void SetUp() {
    struct Ch {
      MidiTrack* t;
      int ch, program, volume, pan, reverb;
    };
    const Ch chans[] = {
        {&melody_, kMelodyCh, p_.passes.front().melodyProgram, 110, 64, 50},
        {&harmony_, kHarmonyCh, p_.harmonyProgram, p_.lively ? 82 : 78, 44, 60},
        {&bass_, kBassCh, p_.bassProgram, 100, 64, 30},
        {&counter_, kCounterCh, p_.counterProgram, p_.lively ? 62 : 76, 86, 70},
        {&double_, kDoubleCh, kGlockenspiel, 70, 92, 70},
        {&drums_, kDrumCh, 0, p_.lively ? 92 : 80, 64, 40},
    };
    for (const Ch& c : chans) {
      // Bank 0 for the melodic channels; the drum channel keeps the synthesiser's drum bank.
      if (c.ch != kDrumCh) c.t->Control(0, c.ch, 0, 0);
      c.t->Program(0, c.ch, c.program);
      c.t->Control(0, c.ch, 7, c.volume);
      c.t->Control(0, c.ch, 10, c.pan);
      c.t->Control(0, c.ch, 91, c.reverb);
    }
  }

  // Chords, bass, counter-line and percussion under one chord starting at `base` + c.beat.
  void Accompany(const ChordEv& c, int transpose, int intensity, double base) {
    const int bpb = p_.beatsPerBar;
    const std::vector<int> voicing = Voicing(c, transpose, p_.lively ? 55 : 52);
    const int root = BassRoot(c, transpose);
    for (double b = 0; b < c.len - 1e-6; b += 1) {
      const double at = base + c.beat + b;
      const int beatInBar = static_cast<int>(std::lround(std::fmod(c.beat + b, bpb)));
      const bool strong = beatInBar == 0 || (bpb == 4 && beatInBar == 2);
      if (p_.lively) {
        // oom-pah: bass on the strong beats, short chords on the others
        if (strong) {
          const int key = (beatInBar == 0 || b == 0) ? root : root + 7;
          bass_.Note(Tick(at), kBassCh, key, 96 + hum_.Jitter(4), Tick(0.9));
        } else {
          for (int k : voicing) harmony_.Note(Tick(at), kHarmonyCh, k, 64 + hum_.Jitter(5), Tick(0.45));
        }
        if (intensity >= 1 && b == 0)
          for (int k : voicing) counter_.Note(Tick(at), kCounterCh, k + 12, 48, Tick(c.len * 0.98));
        Drums(at, beatInBar, intensity);
      } else {
        if (b == 0) {
          for (int k : voicing) harmony_.Note(Tick(at), kHarmonyCh, k, 50 + intensity * 8, Tick(c.len * 0.99));
          bass_.Note(Tick(at), kBassCh, root, 74 + intensity * 6, Tick(std::min<double>(c.len, bpb) * 0.95));
        } else if (beatInBar == 0) {
          bass_.Note(Tick(at), kBassCh, root, 70 + intensity * 6, Tick(std::min<double>(c.len - b, bpb) * 0.95));
        }
        if (intensity >= 1) {
          // rising and falling chord tones in eighths, high and soft
          const std::vector<int> arp = Voicing(c, transpose, 72);
          for (int half = 0; half < 2; ++half) {
            const int step = (beatInBar * 2 + half) % (2 * static_cast<int>(arp.size()) - 2);
            const int idx = step < static_cast<int>(arp.size()) ? step : 2 * static_cast<int>(arp.size()) - 2 - step;
            counter_.Note(Tick(at + half * 0.5), kCounterCh, arp[idx], 44 + hum_.Jitter(4), Tick(0.5));
          }
        }
        // sleigh bells on every beat, a triangle at each bar
        drums_.Note(Tick(at), kDrumCh, kSleighBells, (beatInBar == 0 ? 58 : 40) + intensity * 6 + hum_.Jitter(3),
                    Tick(0.25));
        if (beatInBar == 0 && intensity >= 1) {
          drums_.Note(Tick(at), kDrumCh, kTriangle, 44, Tick(0.5));
          drums_.Note(Tick(at), kDrumCh, kSoftKick, 50, Tick(0.25));
        }
      }
    }
  }

  void Drums(double at, int beatInBar, int intensity) {
    const int bpb = p_.beatsPerBar;
    if (bpb == 4) {
      if (beatInBar == 0 || beatInBar == 2) drums_.Note(Tick(at), kDrumCh, kKick, 96, Tick(0.25));
      if (beatInBar == 1 || beatInBar == 3)
        drums_.Note(Tick(at), kDrumCh, intensity >= 1 ? kSnare : kSideStick, intensity >= 1 ? 84 : 70, Tick(0.25));
    } else {
      if (beatInBar == 0) drums_.Note(Tick(at), kDrumCh, kKick, 92, Tick(0.25));
      else drums_.Note(Tick(at), kDrumCh, intensity >= 1 ? kSnare : kPedalHat, intensity >= 1 ? 56 : 60, Tick(0.25));
    }
    for (int half = 0; half < 2; ++half) {
      drums_.Note(Tick(at + half * 0.5), kDrumCh, kSleighBells, (half == 0 ? 78 : 58) + hum_.Jitter(5), Tick(0.25));
      if (intensity >= 1) drums_.Note(Tick(at + half * 0.5), kDrumCh, kClosedHat, half == 0 ? 62 : 46, Tick(0.25));
    }
  }

  // The held final chord: tonic in every part, a crash and a shake of bells.
  void Ending(const ChordEv& last, int transpose) {
    const double len = 2.0 * p_.beatsPerBar - 1;
    const std::vector<int> v = Voicing(last, transpose, 55);
    for (int k : v) harmony_.Note(Tick(now_), kHarmonyCh, k, 70, Tick(len));
    for (int k : v) counter_.Note(Tick(now_), kCounterCh, k + 12, 50, Tick(len));
    melody_.Note(Tick(now_), kMelodyCh, 60 + (last.root + transpose) % 12 + 12, 86, Tick(len));
    bass_.Note(Tick(now_), kBassCh, BassRoot(last, transpose), 90, Tick(len));
    drums_.Note(Tick(now_), kDrumCh, kCrash, p_.lively ? 96 : 60, Tick(2));
    drums_.Note(Tick(now_), kDrumCh, p_.lively ? kKick : kSoftKick, 90, Tick(0.5));
    for (int i = 0; i < 8; ++i)
      drums_.Note(Tick(now_ + i * 0.25), kDrumCh, kSleighBells, 80 - i * 7, Tick(0.2));
    endBeat_ = now_ + len;
    // about a second and a half of silence for the reverb to die away
    tailBeats_ = 1.5 * p_.bpm * 0.76 / 60.0;
  }

  const music::Piece& p_;
  MidiTrack melody_, harmony_, bass_, counter_, double_, drums_;
  Humaniser hum_;
  double now_ = 0, endBeat_ = 0, tailBeats_ = 0;
};

}  // namespace

bool WriteMusic(const std::string& dataDir) {
  bool ok = true;
  for (const music::Piece& p : music::Pieces()) {
    Arranger a(p);
    double seconds = 0;
    if (!a.Build() || !a.Write(dataDir + "/" + p.file, seconds)) {
      std::fprintf(stderr, "music: %s failed\n", p.file);
      ok = false;
    }
  }
  return ok;
}
