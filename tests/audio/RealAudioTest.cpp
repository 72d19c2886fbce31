// The real audio backend (SDL2_mixer, MIDI through FluidSynth) end to end: SDL's disk
// driver captures the mixed output so the test can check what a player would hear, and
// a machine without any audio device still starts and keeps time, silently.
#include <gtest/gtest.h>

#include <SDL.h>
#include <malloc.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "engine/sound/Sound.h"
#include "engine/sound/SoundSystem.h"
#include "platform/Platform.h"
#include "platform/dmusic/AudioSdl.h"
#include "support/TestImages.h"
#include "support/TestSounds.h"

namespace {

constexpr int kRate = 44100;

HWND TestWindow() { return reinterpret_cast<HWND>(0x10); }

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::filesystem::path ArtifactDir() {
  const char* env = std::getenv("YULE_ARTIFACTS");
  const std::filesystem::path root =
      env && *env ? std::filesystem::path(env) : std::filesystem::path(YULE_BUILD_DIR) / "artifacts";
  std::filesystem::create_directories(root / "sound");
  return root / "sound";
}

// Amplitude of the sine of the given frequency in samples [begin, end) of a mono signal.
double ToneAmplitude(const std::vector<float>& x, std::size_t begin, std::size_t end, double hz) {
  double re = 0.0, im = 0.0;
  end = std::min(end, x.size());
  if (begin >= end) return 0.0;
  for (std::size_t i = begin; i < end; ++i) {
    const double phase = 2.0 * M_PI * hz * static_cast<double>(i) / kRate;
    re += x[i] * std::cos(phase);
    im += x[i] * std::sin(phase);
  }
  return 2.0 * std::hypot(re, im) / static_cast<double>(end - begin);
}

std::size_t At(double seconds) { return static_cast<std::size_t>(seconds * kRate); }

// The same piece without its program change: its channel plays the default instrument.
std::string WithoutProgram(std::string midi, int program) {
  const std::size_t track = midi.rfind("MTrk");
  const std::size_t at = midi.find(std::string{'\0', '\xC0', static_cast<char>(program)}, track);
  if (track == std::string::npos || at == std::string::npos) return {};
  midi.erase(at, 3);
  auto* len = reinterpret_cast<unsigned char*>(&midi[track + 4]);
  const std::uint32_t n = (len[0] << 24 | len[1] << 16 | len[2] << 8 | len[3]) - 3;
  for (int i = 0; i < 4; ++i) len[i] = static_cast<unsigned char>(n >> (24 - 8 * i));
  return midi;
}

class RealAudioTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetBackend(platform::Backend::Real); }
  void TearDown() override {
    delete g_soundSystem;
    g_soundSystem = nullptr;
    for (const char* name : {"SDL_AUDIODRIVER", "SDL_DISKAUDIOFILE", "AUDIODEV"}) unsetenv(name);
    platform::SetBackend(platform::Backend::Headless);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir.Path() + "/" + name;
    EXPECT_TRUE(WriteBytes(path, bytes));
    return path;
  }
  std::string Tone(const std::string& name, double hz, double seconds, int rate = kRate) {
    ToneParams tone;
    tone.sampleRate = rate;
    tone.frequency = hz;
    tone.seconds = seconds;
    tone.amplitude = 0.9;
    return Write(name, EncodeToneWave(tone));
  }

  TempDir dir;
};

TEST_F(RealAudioTest, CapturedOutputHasTheSynthesisedPieceAndMixedEffectsWithoutClipping) {
  const std::string capture = dir.Path() + "/capture.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);

  g_soundSystem = new SoundSystem();
  ASSERT_TRUE(g_soundSystem->Init(TestWindow(), kRate));
  EXPECT_FALSE(platform::dmusic::RealOutputIsSilent());
  if (std::filesystem::exists("/usr/share/sounds/sf2/FluidR3_GM.sf2")) {
    EXPECT_EQ(platform::dmusic::RealSoundFont(), "/usr/share/sounds/sf2/FluidR3_GM.sf2");
  }

  {
    MusicSegment piece;
    WaveSound low, high;
    ASSERT_TRUE(piece.LoadFromFile(Write("a4.mid", EncodeMidiNote(3.0, 69, 73))));
    ASSERT_TRUE(low.LoadFromFile(Tone("low.wav", 1000.0, 0.4)));
    // Written at another rate than the output's: converted when prepared, same pitch.
    ASSERT_TRUE(high.LoadFromFile(Tone("high.wav", 1500.0, 0.4, 22050)));

    ASSERT_TRUE(piece.Start(false));
    Sleep(700);
    ASSERT_TRUE(low.Start(false));
    Sleep(100);
    ASSERT_TRUE(high.Start(false));
    Sleep(600);
    EXPECT_TRUE(piece.IsPlaying());
    ASSERT_TRUE(piece.Stop());
    EXPECT_FALSE(piece.IsPlaying());
    Sleep(500);
  }
  g_soundSystem->Shutdown();

  // The device was opened as 32-bit float stereo at 44100 Hz; keep the left channel.
  std::ifstream in(capture, std::ios::binary);
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<float> left(raw.size() / 8);
  for (std::size_t i = 0; i < left.size(); ++i) std::memcpy(&left[i], raw.data() + 8 * i, 4);
  ASSERT_GT(left.size(), At(1.5));

  {
    // Kept for listening: the capture as a float WAV.
    std::string wav = "RIFF";
    auto put32 = [&](std::uint32_t v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&](std::uint16_t v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
    put32(static_cast<std::uint32_t>(38 + raw.size()));
    wav += "WAVEfmt ";
    put32(18), put16(3), put16(2), put32(kRate), put32(kRate * 8), put16(8), put16(32), put16(0);
    wav += "data";
    put32(static_cast<std::uint32_t>(raw.size()));
    wav.append(raw.data(), raw.size());
    WriteBytes((ArtifactDir() / "capture.wav").string(), wav);
  }

  float peak = 0.0f;
  std::size_t first = left.size(), last = 0;
  for (std::size_t i = 0; i < left.size(); ++i) {
    const float a = std::fabs(left[i]);
    peak = std::max(peak, a);
    if (a > 1e-3f) {
      first = std::min(first, i);
      last = i;
    }
  }
  ASSERT_LT(first, left.size()) << "nothing was heard";
  EXPECT_LT(peak, 0.99f) << "the mix reached full scale";

  // The piece alone: a note at 440 Hz from the synthesiser, not silence and not noise.
  const std::size_t music = first + At(0.15);
  const double a440 = ToneAmplitude(left, music, music + At(0.3), 440.0);
  EXPECT_GT(a440, 0.005);
  for (double other : {330.0, 550.0, 1000.0, 1500.0})
    EXPECT_GT(a440, 8.0 * ToneAmplitude(left, music, music + At(0.3), other)) << other;

  // The first effect's onset, then a stretch where both effects sound together.
  std::size_t onset = 0;
  for (std::size_t i = first + At(0.4); i + At(0.02) < left.size(); i += At(0.005)) {
    if (ToneAmplitude(left, i, i + At(0.02), 1000.0) > 0.05) {
      onset = i;
      break;
    }
  }
  ASSERT_GT(onset, 0u) << "the 1000 Hz effect was not heard";
  const std::size_t both = onset + At(0.15);
  EXPECT_GT(ToneAmplitude(left, both, both + At(0.2), 1000.0), 0.08);
  EXPECT_GT(ToneAmplitude(left, both, both + At(0.2), 1500.0), 0.08);
  EXPECT_GT(ToneAmplitude(left, both, both + At(0.2), 440.0), 0.005);  // over the music

  // Stopping the piece: silence follows at once, long before the piece would have ended.
  EXPECT_LT(last, first + At(2.0));
  EXPECT_GT(left.size() - last, At(0.3));
}

// Starting a piece replaces the one that plays: the first is cut at once and the second
// sounds from a fresh synthesiser; a piece that ends on its own rings out and falls silent.
TEST_F(RealAudioTest, ANewPieceReplacesThePlayingOneAndAnEndedPieceFallsSilent) {
  const std::string capture = dir.Path() + "/replace.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
  g_soundSystem = new SoundSystem();
  ASSERT_TRUE(g_soundSystem->Init(TestWindow(), kRate));
  {
    MusicSegment first, second;
    ASSERT_TRUE(first.LoadFromFile(Write("a4.mid", EncodeMidiNote(3.0, 69, 73))));
    ASSERT_TRUE(second.LoadFromFile(Write("e5.mid", EncodeMidiNote(0.8, 76, 73))));
    ASSERT_TRUE(first.Start(false));
    Sleep(600);
    ASSERT_TRUE(second.Start(false));
    Sleep(300);
    EXPECT_FALSE(first.IsPlaying());
    EXPECT_TRUE(second.IsPlaying());
    Sleep(2200);
    EXPECT_FALSE(second.IsPlaying());
  }
  g_soundSystem->Shutdown();

  std::ifstream in(capture, std::ios::binary);
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<float> left(raw.size() / 8);
  for (std::size_t i = 0; i < left.size(); ++i) std::memcpy(&left[i], raw.data() + 8 * i, 4);
  std::size_t first = left.size(), last = 0;
  for (std::size_t i = 0; i < left.size(); ++i)
    if (std::fabs(left[i]) > 1e-3f) first = std::min(first, i), last = i;
  ASSERT_LT(first + At(2.5), left.size());
  const double e5 = 659.26;
  std::size_t onset = 0;
  for (std::size_t i = first + At(0.3); i + At(0.02) < left.size(); i += At(0.005)) {
    if (ToneAmplitude(left, i, i + At(0.02), e5) > 0.01) {
      onset = i;
      break;
    }
  }
  ASSERT_GT(onset, 0u) << "the second piece was not heard";
  EXPECT_GT(ToneAmplitude(left, first + At(0.1), first + At(0.4), 440.0), 0.005);
  const std::size_t after = onset + At(0.1);
  const double replaced = ToneAmplitude(left, after, after + At(0.3), e5);
  EXPECT_GT(replaced, 0.005);
  EXPECT_GT(replaced, 8.0 * ToneAmplitude(left, after, after + At(0.3), 440.0));
  // The second piece's release tail ends well before the output closes.
  EXPECT_GT(last, onset + At(0.8));
  EXPECT_LT(last, onset + At(2.0));
}

// A piece that never chooses an instrument sounds on the default one, both from the fresh
// synthesiser and after another piece chose its own (the synthesiser reads an instrument's
// samples only when a piece needs it).
TEST_F(RealAudioTest, APieceThatChoosesNoInstrumentSoundsOnTheDefaultOne) {
  const std::string capture = dir.Path() + "/default.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
  g_soundSystem = new SoundSystem();
  ASSERT_TRUE(g_soundSystem->Init(TestWindow(), kRate));
  {
    MusicSegment plain, flute;
    const std::string bytes = WithoutProgram(EncodeMidiNote(0.6, 69, 73), 73);
    ASSERT_FALSE(bytes.empty());
    ASSERT_TRUE(plain.LoadFromFile(Write("plain.mid", bytes)));
    ASSERT_TRUE(flute.LoadFromFile(Write("flute.mid", EncodeMidiNote(0.6, 76, 73))));
    for (MusicSegment* piece : {&plain, &flute, &plain}) {
      ASSERT_TRUE(piece->Start(false));
      Sleep(1000);
    }
  }
  g_soundSystem->Shutdown();
  std::ifstream in(capture, std::ios::binary);
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<float> left(raw.size() / 8);
  for (std::size_t i = 0; i < left.size(); ++i) std::memcpy(&left[i], raw.data() + 8 * i, 4);
  ASSERT_GT(left.size(), At(2.6));
  // Each piece sounds in its second of the capture.
  for (int second = 0; second < 3; ++second) {
    double energy = 0.0;
    for (std::size_t i = At(second + 0.1); i < At(second + 0.5); ++i) energy += left[i] * left[i];
    EXPECT_GT(std::sqrt(energy / At(0.4)), 0.003) << "piece " << second << " was silent";
  }
}

// The loudest moment the game makes: four item-appearance effects starting in the same
// frame over the music. The mix levels leave room for it, so the limiter never acts.
TEST_F(RealAudioTest, FourEffectsStartingTogetherOverLoudMusicNeedNoLimiting) {
  const std::string capture = dir.Path() + "/worst.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
  g_soundSystem = new SoundSystem();
  ASSERT_TRUE(g_soundSystem->Init(TestWindow(), kRate));

  // The game's own effect when the content has been generated, otherwise a tone at the
  // level the game's effects are written at (peaks at -3 dBFS). The passage of music is
  // louder than any of the game's pieces.
  std::string effectPath = std::string(YULE_BUILD_DIR) + "/Data/AparecerItem.wav";
  if (!std::filesystem::exists(effectPath)) {
    ToneParams tone;
    tone.frequency = 440.0;
    tone.seconds = 0.5;
    tone.amplitude = 0.708;
    effectPath = Write("appear.wav", EncodeToneWave(tone));
  }
  std::uint64_t limited = 0;
  {
    MusicSegment piece;
    WaveSound appear;
    ASSERT_TRUE(piece.LoadFromFile(Write("loud.mid", EncodeLoudMidi(4.0))));
    ASSERT_TRUE(appear.LoadFromFile(effectPath));
    ASSERT_TRUE(piece.Start(false));
    Sleep(1000);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(appear.Start(false));
    Sleep(1200);
    limited = platform::dmusic::RealLimitedBuffers();
  }
  g_soundSystem->Shutdown();

  std::ifstream in(capture, std::ios::binary);
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  float peak = 0.0f;
  for (std::size_t i = 0; i + 4 <= raw.size(); i += 4) {
    float v;
    std::memcpy(&v, raw.data() + i, 4);
    peak = std::max(peak, std::fabs(v));
  }
  std::ofstream(ArtifactDir() / "worst_case.txt") << "peak " << peak << " limited buffers "
                                                  << limited << "\n";
  // One effect peaks near 0.16 in the mix: the four copies really sound together.
  EXPECT_GT(peak, 0.5f);
  EXPECT_LT(peak, 0.98f);
  EXPECT_EQ(limited, 0u);
}

TEST_F(RealAudioTest, WithoutAnAudioDeviceStartUpSucceedsAndPiecesEndOnTime) {
  struct Case {
    const char* driver;
    const char* device;
  };
  // A driver that does not exist, and a real driver with no device behind it.
  const Case cases[] = {{"no_such_driver", nullptr}, {"alsa", "yule_no_such_device"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.driver);
    setenv("SDL_AUDIODRIVER", c.driver, 1);
    if (c.device) setenv("AUDIODEV", c.device, 1);

    g_soundSystem = new SoundSystem();
    ASSERT_TRUE(g_soundSystem->Init(TestWindow(), kRate));
    EXPECT_TRUE(platform::dmusic::RealOutputIsSilent());
    {
      MusicSegment piece;
      WaveSound effect;
      ASSERT_TRUE(piece.LoadFromFile(Write("short.mid", EncodeMidiNote(0.6))));
      ASSERT_TRUE(effect.LoadFromFile(Tone("beep.wav", 800.0, 0.2)));
      const auto start = std::chrono::steady_clock::now();
      ASSERT_TRUE(piece.Start(false));
      ASSERT_TRUE(effect.Start(false));
      double effectEnded = -1.0, pieceEnded = -1.0;
      while (pieceEnded < 0.0) {
        const double t =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (effectEnded < 0.0 && !effect.IsPlaying()) effectEnded = t;
        if (!piece.IsPlaying()) pieceEnded = t;
        if (t > 5.0) break;
        Sleep(5);
      }
      EXPECT_GT(effectEnded, 0.1);
      EXPECT_LT(effectEnded, 0.6);
      EXPECT_GT(pieceEnded, 0.5);
      EXPECT_LT(pieceEnded, 1.3);
    }
    delete g_soundSystem;
    g_soundSystem = nullptr;
    unsetenv("AUDIODEV");
  }
}


// Resident and peak memory of this process in kB, from /proc/self/status.
struct Memory {
  long rss = 0, hwm = 0;
};
Memory ReadMemory() {
  Memory m;
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) m.rss = std::atol(line.c_str() + 6);
    if (line.rfind("VmHWM:", 0) == 0) m.hwm = std::atol(line.c_str() + 6);
  }
  return m;
}

// The game's five pieces loaded at start-up, then the first one played: loading keeps
// only bytes, and the one synthesiser loads only the samples the piece uses.
TEST_F(RealAudioTest, LoadingTheGamesPiecesIsCheapAndPlayingOneLoadsOnlyItsSamples) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::vector<std::string> paths;
  for (const char* name : {"TemaInterfaz_0", "TemaInterfaz_1", "TemaAccion_0", "TemaAccion_1",
                           "TemaAccion_2"}) {
    const std::string path = std::string(YULE_BUILD_DIR) + "/Data/" + name + ".mid";
    paths.push_back(std::filesystem::exists(path) ? path
                                                  : Write(std::string(name) + ".mid", EncodeLoudMidi(4.0)));
  }
  g_soundSystem = new SoundSystem();
  ASSERT_TRUE(g_soundSystem->Init(TestWindow(), kRate));
  // The synthesiser is being built on a worker since the output opened; only once its
  // memory has settled does what follows measure the pieces alone.
  Memory before = ReadMemory();
  for (int steady = 0, tries = 0; steady < 3 && tries < 100; ++tries) {
    Sleep(100);
    const Memory now = ReadMemory();
    steady = std::labs(now.rss - before.rss) < 128 ? steady + 1 : 0;
    before = now;
  }
  // The peak so far is the synthesiser's: start counting it afresh from here.
  std::ofstream("/proc/self/clear_refs") << "5";
  before = ReadMemory();
  const auto t0 = std::chrono::steady_clock::now();
  {
    std::vector<MusicSegment> pieces(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) ASSERT_TRUE(pieces[i].LoadFromFile(paths[i]));
    const auto t1 = std::chrono::steady_clock::now();
    const Memory loaded = ReadMemory();
    ASSERT_TRUE(pieces[0].Start(false));
    const auto t2 = std::chrono::steady_clock::now();
    Sleep(1500);
    EXPECT_TRUE(pieces[0].IsPlaying());
    const Memory played = ReadMemory();
    auto ms = [](auto a, auto b) { return std::chrono::duration<double, std::milli>(b - a).count(); };
    std::ofstream report(ArtifactDir() / "memory.txt");
    report << "load five pieces " << ms(t0, t1) << " ms, start the first " << ms(t1, t2) << " ms\n"
           << "after loading: RSS +" << (loaded.rss - before.rss) / 1024 << " MB, HWM +"
           << (loaded.hwm - before.rss) / 1024 << " MB\n"
           << "after playing: RSS +" << (played.rss - before.rss) / 1024 << " MB, HWM +"
           << (played.hwm - before.rss) / 1024 << " MB\n";
    std::cout << "load " << ms(t0, t1) << " ms, start " << ms(t1, t2) << " ms; RSS after load +"
              << (loaded.rss - before.rss) / 1024 << " MB, after play +"
              << (played.rss - before.rss) / 1024 << " MB, peak +"
              << (played.hwm - before.rss) / 1024 << " MB\n";
    EXPECT_LT(loaded.hwm - before.rss, 16 * 1024);
    EXPECT_LT(played.hwm - before.rss, 64 * 1024);
  }
}

// Bytes the process holds from malloc, in its arenas and in separate mappings.
std::size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// An effect made ready for the output is held once: at the output's rate the mix plays
// the loader's decoded frames themselves; at another rate only the converted copy is
// added. Counted in the heap, where the sounds' samples are.
TEST_F(RealAudioTest, APreparedEffectIsHeldOnceInMemory) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  g_soundSystem = new SoundSystem();
  ASSERT_TRUE(g_soundSystem->Init(TestWindow(), kRate));
  platform::dmusic::RealSoundFont();  // the synthesiser is built: its memory is counted out
  constexpr double kSeconds = 6.0;
  for (const int rate : {kRate, 22050, 48000}) {
    SCOPED_TRACE(rate);
    const std::string path = Tone("long.wav", 500.0, kSeconds, rate);
    const auto decoded = static_cast<std::size_t>(kSeconds * rate) * 2 * sizeof(float);
    const auto converted =
        rate == kRate ? 0 : static_cast<std::size_t>(kSeconds * kRate) * 2 * sizeof(float);
    const std::size_t before = HeapInUse();
    {
      WaveSound effect;
      ASSERT_TRUE(effect.LoadFromFile(path));
      const std::size_t held = HeapInUse() - before;
      EXPECT_NEAR(static_cast<double>(held), static_cast<double>(decoded + converted),
                  static_cast<double>(decoded) / 8.0);
      ASSERT_TRUE(effect.Start(false));
      Sleep(50);
      EXPECT_TRUE(effect.IsPlaying());
    }
    // And all of it is let go with the sound.
    EXPECT_LT(HeapInUse(), before + decoded / 8);
  }
}

// A piece stopped while its notes sound leaves none of its instruments' samples read: the
// next piece's samples do not come on top of them.
TEST_F(RealAudioTest, AStoppedPieceLeavesNoneOfItsSamplesRead) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::vector<std::string> paths;
  for (const char* name : {"TemaInterfaz_0", "TemaAccion_1", "TemaAccion_2"}) {
    const std::string path = std::string(YULE_BUILD_DIR) + "/Data/" + name + ".mid";
    paths.push_back(std::filesystem::exists(path)
                        ? path
                        : Write(std::string(name) + ".mid", EncodeLoudMidi(4.0)));
  }
  g_soundSystem = new SoundSystem();
  ASSERT_TRUE(g_soundSystem->Init(TestWindow(), kRate));
  if (platform::dmusic::RealSoundFont().empty()) GTEST_SKIP() << "no soundfont";
  std::vector<MusicSegment> pieces(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i) ASSERT_TRUE(pieces[i].LoadFromFile(paths[i]));
  const std::size_t before = HeapInUse();
  for (MusicSegment& piece : pieces) {
    ASSERT_TRUE(piece.Start(false));
    Sleep(1200);
    EXPECT_GT(HeapInUse(), before + 1024 * 1024) << "the piece's samples were not read";
    ASSERT_TRUE(piece.Stop());
    EXPECT_LT(HeapInUse(), before + 64 * 1024);
  }
}

}  // namespace

// The synthesiser is built on a worker from the moment the output opens. Start-ups that
// shut down at once, or play before the worker is done, must neither fail nor hang,
// whichever side finishes first.
TEST_F(RealAudioTest, StartingAndStoppingWhileTheSynthesiserIsBuiltNeverFails) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  const std::string midi = Write("short.mid", EncodeMidiNote(0.4));
  for (int cycle = 0; cycle < 12; ++cycle) {
    SCOPED_TRACE(cycle);
    g_soundSystem = new SoundSystem();
    ASSERT_TRUE(g_soundSystem->Init(TestWindow(), kRate));
    if (cycle % 3 != 0) {
      MusicSegment piece;
      ASSERT_TRUE(piece.LoadFromFile(midi));
      ASSERT_TRUE(piece.Start(false));
      EXPECT_TRUE(piece.IsPlaying());
      if (cycle % 3 == 2) Sleep(20);
    }
    delete g_soundSystem;
    g_soundSystem = nullptr;
  }
}
