// The sound system, the three kinds of sound, their managers and the jukebox, on the
// headless audio backend: sounds last their real length on the headless tick count.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/EngineServices.h"
#include "engine/resources/ResourceManager.h"
#include "engine/sound/Music.h"
#include "engine/sound/Sound.h"
#include "engine/sound/SoundManagers.h"
#include "engine/sound/SoundSystem.h"
#include "platform/Random.h"
#include "platform/dmusic/DMusicHeadless.h"
#include "platform/win32/Win32Headless.h"
#include "support/Headless.h"
#include "support/TestImages.h"
#include "support/TestSounds.h"

namespace {

using platform::dmusic::AudioLog;
using platform::dmusic::HeadlessMasterGain;
using platform::dmusic::HeadlessVoicesPlaying;
using platform::win32::HeadlessAdvanceTicks;

HWND TestWindow() { return reinterpret_cast<HWND>(0x10); }

std::vector<std::string> CallNames() {
  std::vector<std::string> names;
  for (const auto& r : AudioLog().Records()) names.emplace_back(r.name);
  return names;
}

LONG LastMasterVolume() {
  const auto calls = AudioLog().Named("SetGlobalParam");
  return calls.empty() ? 0 : static_cast<LONG>(calls.back().args[0]);
}

class SoundTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    g_soundSystem = new SoundSystem();
    ASSERT_TRUE(g_soundSystem->Init(TestWindow(), 44100));
    AudioLog().Clear();
  }
  void TearDown() override {
    delete g_soundSystem;
    g_soundSystem = nullptr;
    HeadlessTest::TearDown();
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir.Path() + "/" + name;
    EXPECT_TRUE(WriteBytes(path, bytes));
    return path;
  }
  std::string Tone(const std::string& name, double seconds) {
    ToneSpec spec;
    spec.seconds = seconds;
    return Write(name, EncodeToneWave(spec));
  }
  std::string Piece(const std::string& name, double seconds) {
    return Write(name, EncodeMidiNote(seconds));
  }

  TempDir dir;
};

TEST_F(SoundTest, InitSetsUpThePerformanceInItsDocumentedOrder) {
  delete g_soundSystem;
  g_soundSystem = new SoundSystem();
  EXPECT_FALSE(g_soundSystem->SetVolume(50));  // nothing to set it on yet
  EXPECT_FALSE(g_soundSystem->Init(nullptr, 44100));
  AudioLog().Clear();
  ASSERT_TRUE(g_soundSystem->Init(TestWindow(), 44100));

  const std::vector<std::string> expected = {
      "CoCreateInstance", "CoCreateInstance", "InitAudio", "CreateStandardAudioPath",
      "GetObjectInPath",  "GetAllParameters", "SetAllParameters", "GetObjectInPath",
      "GetAllParameters", "SetGlobalParam"};
  EXPECT_EQ(CallNames(), expected);
  const auto init = AudioLog().Named("InitAudio")[0];
  EXPECT_EQ(init.args[0], DMUS_APATH_DYNAMIC_STEREO);
  EXPECT_EQ(init.args[1], 64u);
  EXPECT_EQ(init.args[2], DMUS_AUDIOF_ALL);
  EXPECT_EQ(init.args[3], 44100u);
  EXPECT_EQ(platform::dmusic::HeadlessOutputRate(), 44100);
  const auto path = AudioLog().Named("CreateStandardAudioPath")[0];
  EXPECT_EQ(path.args[0], DMUS_APATH_DYNAMIC_3D);
  const auto objects = AudioLog().Named("GetObjectInPath");
  EXPECT_EQ(objects[0].args[1], DMUS_PATH_BUFFER);
  EXPECT_EQ(objects[1].args[1], DMUS_PATH_PRIMARY_BUFFER);
  EXPECT_EQ(AudioLog().Named("SetAllParameters")[0].args[0], DS3DMODE_NORMAL);

  EXPECT_EQ(g_soundSystem->GetListenerParameters().dwSize, 64u);
  EXPECT_FLOAT_EQ(g_soundSystem->GetListenerParameters().vOrientFront.z, 1.0f);
  EXPECT_EQ(g_soundSystem->GetVolume(), 100u);
  EXPECT_EQ(LastMasterVolume(), 1000);          // +10 dB ...
  EXPECT_FLOAT_EQ(HeadlessMasterGain(), 1.0f);  // ... is the output's full scale

  // A second Init starts over cleanly; Shutdown twice is harmless.
  EXPECT_TRUE(g_soundSystem->Init(TestWindow(), 22050));
  g_soundSystem->Shutdown();
  g_soundSystem->Shutdown();
  EXPECT_EQ(g_soundSystem->GetPerformance(), nullptr);
  EXPECT_EQ(g_soundSystem->GetLoader(), nullptr);
}

TEST_F(SoundTest, SetVolumeWrapsAtOneHundredAndOne) {
  struct Case {
    unsigned int asked;
    unsigned int percent;
    LONG hundredthsOfDb;
  };
  const Case cases[] = {{150, 49, -4100}, {90, 90, 0}, {100, 100, 1000}, {101, 0, -9000},
                        {0, 0, -9000},    {202, 0, -9000}, {4000000000u, 40, -5000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.asked);
    ASSERT_TRUE(g_soundSystem->SetVolume(c.asked));
    EXPECT_EQ(g_soundSystem->GetVolume(), c.percent);
    EXPECT_EQ(LastMasterVolume(), c.hundredthsOfDb);
  }
  // 0 dB sits 10 dB below full scale.
  g_soundSystem->SetVolume(90);
  EXPECT_NEAR(HeadlessMasterGain(), 0.3162f, 1e-4f);

  // A refused value keeps the volume that was there.
  AudioLog().FailCall("SetGlobalParam");
  EXPECT_FALSE(g_soundSystem->SetVolume(10));
  EXPECT_EQ(g_soundSystem->GetVolume(), 90u);
}

TEST_F(SoundTest, InitFailsWithoutListenerOrWithARefusedSearchFolder) {
  // No listener: both objects of the 3D path are refused.
  AudioLog().FailCall("GetObjectInPath", 2);
  EXPECT_FALSE(g_soundSystem->Init(TestWindow(), 44100));

  // No output at all, not even the silent one: no path, no listener.
  platform::dmusic::HeadlessSetOutputUnavailable(true);
  EXPECT_FALSE(g_soundSystem->Init(TestWindow(), 44100));
  platform::dmusic::HeadlessSetOutputUnavailable(false);

  // No performance object: nothing is called on it.
  AudioLog().Clear();
  AudioLog().FailCall("CoCreateInstance", 2);
  EXPECT_FALSE(g_soundSystem->Init(TestWindow(), 44100));
  EXPECT_EQ(AudioLog().Count("InitAudio"), 0);

  const std::wstring missing = L"/no/such/folder";
  EXPECT_FALSE(g_soundSystem->Init(TestWindow(), 44100, missing.c_str()));
  std::wstring folder(dir.Path().begin(), dir.Path().end());
  EXPECT_TRUE(g_soundSystem->Init(TestWindow(), 44100, folder.c_str()));

  // The loader finds relative names there.
  Tone("beep.wav", 0.1);
  std::wstring name = L"beep.wav";
  IDirectMusicSegment8* segment = nullptr;
  ASSERT_EQ(g_soundSystem->GetLoader()->LoadObjectFromFile(
                CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, name.data(),
                reinterpret_cast<void**>(&segment)),
            S_OK);
  EXPECT_EQ(g_soundSystem->GetLoader()->ReleaseObjectByUnknown(segment), S_OK);
  EXPECT_EQ(g_soundSystem->GetLoader()->ReleaseObjectByUnknown(segment), S_FALSE);
  segment->Release();
}

TEST_F(SoundTest, LoadingChecksInItsOrderAndTwiceUnloadsTheFirst) {
  const std::string first = Tone("first.wav", 0.5);
  const std::string second = Tone("second.wav", 0.5);
  WaveSound sound;
  ASSERT_TRUE(sound.LoadFromFile(first));
  ASSERT_TRUE(sound.Start(false));

  AudioLog().Clear();
  ASSERT_TRUE(sound.LoadFromFile(second));
  const std::vector<std::string> expected = {
      "Stop",     "ReleaseObjectByUnknown", "Unload", "CreateStandardAudioPath",
      "LoadObjectFromFile", "Download"};
  EXPECT_EQ(CallNames(), expected);
  EXPECT_FALSE(sound.IsPlaying());  // the first segment was stopped with it
  EXPECT_EQ(HeadlessVoicesPlaying(), 0);

  // A missing file is checked before anything is dropped: the loaded sound stays.
  AudioLog().Clear();
  EXPECT_FALSE(sound.LoadFromFile(dir.Path() + "/missing.wav"));
  EXPECT_TRUE(AudioLog().Records().empty());
  EXPECT_TRUE(sound.Start(false));

  // Each later failure leaves the sound unloaded or unplayable.
  const std::string garbage = Write("garbage.wav", "RIFF\x04\0\0\0WAVEjunk");
  struct Case {
    const char* failing;
    std::string path;
  };
  const Case cases[] = {{"CreateStandardAudioPath", first},
                        {"LoadObjectFromFile", first},
                        {"", garbage},
                        {"Download", first}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failing);
    if (*c.failing) AudioLog().FailCall(c.failing);
    EXPECT_FALSE(sound.LoadFromFile(c.path));
    EXPECT_FALSE(sound.Start(false));
    EXPECT_FALSE(sound.IsPlaying());
  }

  // Without a sound system nothing can be loaded.
  SoundSystem* system = g_soundSystem;
  g_soundSystem = nullptr;
  EXPECT_FALSE(sound.LoadFromFile(first));
  g_soundSystem = system;
}

TEST_F(SoundTest, WaveSoundsOverlapThemselvesAndEndOnTime) {
  WaveSound sound;
  ASSERT_TRUE(sound.LoadFromFile(Tone("appear.wav", 0.5)));
  ASSERT_TRUE(sound.Start(false));
  HeadlessAdvanceTicks(200);
  ASSERT_TRUE(sound.Start(false));
  EXPECT_EQ(HeadlessVoicesPlaying(), 2);  // both play at once
  EXPECT_TRUE(sound.IsPlaying());
  const auto plays = AudioLog().Named("PlaySegmentEx");
  ASSERT_EQ(plays.size(), 2u);
  EXPECT_EQ(plays[0].args[0], DMUS_SEGF_SECONDARY);

  HeadlessAdvanceTicks(300);  // the first has ended, the second has 200 ms left
  EXPECT_EQ(HeadlessVoicesPlaying(), 1);
  EXPECT_TRUE(sound.IsPlaying());
  HeadlessAdvanceTicks(200);
  EXPECT_FALSE(sound.IsPlaying());

  // Start(true) stops the playing instances first.
  sound.Start(false);
  sound.Start(false);
  ASSERT_TRUE(sound.Start(true));
  EXPECT_EQ(HeadlessVoicesPlaying(), 1);
  EXPECT_TRUE(sound.Stop());
  EXPECT_FALSE(sound.IsPlaying());

  // A 3D wave sound plays the same way, on a 3D path with its own buffer.
  WaveSound3D sound3D;
  ASSERT_TRUE(sound3D.LoadFromFile(Tone("3d.wav", 0.5)));
  ASSERT_NE(sound3D.GetBuffer3D(), nullptr);
  DS3DBUFFER params{};
  params.dwSize = 63;
  EXPECT_EQ(sound3D.GetBuffer3D()->GetAllParameters(&params), DSERR_INVALIDPARAM);
  params.dwSize = sizeof(DS3DBUFFER);
  EXPECT_EQ(sound3D.GetBuffer3D()->GetAllParameters(&params), S_OK);
  EXPECT_TRUE(sound3D.Start(false));
  EXPECT_TRUE(sound3D.IsPlaying());
}

TEST_F(SoundTest, MusicPlaysAsTheOnePrimaryPieceUntilItEnds) {
  MusicSegment a, b;
  ASSERT_TRUE(a.LoadFromFile(Piece("a.mid", 2.0)));
  ASSERT_TRUE(b.LoadFromFile(Piece("b.mid", 1.0)));
  EXPECT_EQ(AudioLog().Named("SetParam")[0].args[0], 0xFFFFFFFFu);
  ASSERT_TRUE(a.Start(false));
  EXPECT_EQ(AudioLog().Named("PlaySegmentEx").back().args[0], 0u);  // primary
  HeadlessAdvanceTicks(1999);
  EXPECT_TRUE(a.IsPlaying());
  HeadlessAdvanceTicks(1);
  EXPECT_FALSE(a.IsPlaying());  // pieces do not loop

  ASSERT_TRUE(a.Start(false));
  ASSERT_TRUE(b.Start(false));  // replaces a
  EXPECT_FALSE(a.IsPlaying());
  EXPECT_TRUE(b.IsPlaying());

  // A wave over the music leaves the piece playing.
  WaveSound effect;
  ASSERT_TRUE(effect.LoadFromFile(Tone("over.wav", 0.2)));
  ASSERT_TRUE(effect.Start(false));
  EXPECT_TRUE(b.IsPlaying());
  EXPECT_TRUE(effect.IsPlaying());

  // Stopping everything, as the sound system's shutdown does.
  g_soundSystem->Shutdown();
  EXPECT_FALSE(b.IsPlaying());
  EXPECT_FALSE(platform::dmusic::HeadlessPiecePlaying());
}

TEST_F(SoundTest, ManagersHandOutSilentDefaultsForMissingFiles) {
  WaveSoundManager waves;
  MusicManager music;
  WaveSound3DManager sounds3D;
  const std::string saved = waveSoundFolder;
  waveSoundFolder = musicFolder = dir.Path() + "\\";
  Tone("Pick.wav", 0.1);
  Piece("TemaAccion_0.mid", 1.0);

  WaveSound* pick = waves.Acquire("pick.WAV");
  ASSERT_NE(pick, waves.GetDefault());
  EXPECT_EQ(pick, waves.Acquire("PICK.wav"));
  EXPECT_EQ(pick->refCount, 2);
  EXPECT_EQ(pick->name, "PICK.WAV");
  EXPECT_TRUE(pick->Start(false));

  // Music is asked for with the data root in front; the file is read from the folder.
  MusicSegment* piece = music.Acquire(".\\Data\\TemaAccion_0.mid");
  ASSERT_NE(piece, music.GetDefault());
  EXPECT_EQ(piece->name, ".\\DATA\\TEMAACCION_0.MID");

  for (Sound* missing : {static_cast<Sound*>(waves.Acquire("nothing.wav")),
                         static_cast<Sound*>(music.Acquire("nothing.mid")),
                         static_cast<Sound*>(sounds3D.Acquire("nothing.wav"))}) {
    EXPECT_EQ(missing->name, "__DEFAULT__");
    EXPECT_FALSE(missing->IsPlaying());
    EXPECT_FALSE(missing->Stop());
    EXPECT_FALSE(missing->Start(false));
    EXPECT_FALSE(missing->Start(true));
  }
  EXPECT_EQ(waves.Find("NOTHING.WAV"), nullptr);
  waveSoundFolder = musicFolder = saved;
}

class JukeboxTest : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    const double lengths[kMusicPieceCount] = {3.0, 3.0, 2.0, 2.0, 2.0};
    for (int i = 0; i < kMusicPieceCount; ++i) {
      ASSERT_TRUE(pieces[i].LoadFromFile(Piece(kMusicFileNames[i], lengths[i])));
      music[i] = &pieces[i];
    }
    AudioLog().Clear();
  }
  // Indices of the pieces playing now.
  std::set<int> Playing() const {
    std::set<int> out;
    for (int i = 0; i < kMusicPieceCount; ++i)
      if (music[i]->IsPlaying()) out.insert(i);
    return out;
  }

  MusicSegment pieces[kMusicPieceCount];
  Sound* music[kMusicPieceCount] = {};
};

TEST_F(JukeboxTest, SwitchingGroupStopsTheOldPieceAndStartsANewOneInTheSameStep) {
  std::set<int> chosen;
  platform::SeedRandom(12345);
  for (int round = 0; round < 30; ++round) {
    music[1]->Start(false);
    AudioLog().Clear();
    UpdateMusic(kMusicAction, music);
    const std::set<int> now = Playing();
    ASSERT_EQ(now.size(), 1u);
    const int piece = *now.begin();
    EXPECT_GE(piece, 2);
    chosen.insert(piece);
    EXPECT_EQ(AudioLog().Count("Stop"), 1);  // piece 1, explicitly
    EXPECT_EQ(AudioLog().Count("PlaySegmentEx"), 1);

    // And back: a menu piece replaces the match piece.
    UpdateMusic(kMusicInterface, music);
    const std::set<int> menu = Playing();
    ASSERT_EQ(menu.size(), 1u);
    EXPECT_LE(*menu.begin(), 1);
    chosen.insert(*menu.begin());
  }
  EXPECT_EQ(chosen, (std::set<int>{0, 1, 2, 3, 4}));  // every piece of each group comes up
}

TEST_F(JukeboxTest, APieceKeepsPlayingUntilItEndsThenTheNextStepStartsAnother) {
  music[3]->Start(false);
  AudioLog().Clear();
  for (int ms = 0; ms < 1900; ms += 100) {
    UpdateMusic(kMusicAction, music);
    EXPECT_EQ(Playing(), std::set<int>{3});
    HeadlessAdvanceTicks(100);
  }
  EXPECT_EQ(AudioLog().Count("PlaySegmentEx"), 0);
  HeadlessAdvanceTicks(100);  // piece 3 has ended
  EXPECT_TRUE(Playing().empty());
  UpdateMusic(kMusicAction, music);
  const std::set<int> now = Playing();
  ASSERT_EQ(now.size(), 1u);
  EXPECT_GE(*now.begin(), 2);
  EXPECT_EQ(AudioLog().Count("PlaySegmentEx"), 1);
}

TEST_F(JukeboxTest, SilenceStopsEverythingAndOtherModesDoNothing) {
  music[0]->Start(false);
  UpdateMusic(7, music);
  UpdateMusic(-1, music);
  EXPECT_EQ(Playing(), std::set<int>{0});
  AudioLog().Clear();
  UpdateMusic(kMusicSilence, music);
  EXPECT_TRUE(Playing().empty());
  EXPECT_EQ(AudioLog().Count("PlaySegmentEx"), 0);
  UpdateMusic(kMusicSilence, music);
  EXPECT_TRUE(Playing().empty());
}

TEST_F(SoundTest, MissingPiecesLeaveTheJukeboxTryingWithoutEffectOrCost) {
  MusicManager manager;
  g_musicManager = &manager;
  Sound* music[kMusicPieceCount];
  LoadMusicPieces(music);  // no such files under .\Data\ here
  for (Sound* piece : music) EXPECT_EQ(piece, manager.GetDefault());
  AudioLog().Clear();
  for (int frame = 0; frame < 1000; ++frame) UpdateMusic(frame % 2, music);
  EXPECT_TRUE(AudioLog().Records().empty());  // no call reaches the performance
  EXPECT_EQ(manager.EntryCount(), 1u);        // and nothing is loaded again
  g_musicManager = nullptr;
}

TEST(SoundServices, StartAndTeardownKeepTheirOrderAndFreeEverything) {
  ResetHeadlessPlatform();
  TempDir dir;
  WriteBytes(dir.Path() + "/TemaInterfaz_0.mid", EncodeMidiNote(5.0));
  CreateEngineServices();
  ASSERT_NE(g_soundSystem, nullptr);
  ASSERT_NE(g_waveSoundManager, nullptr);
  ASSERT_NE(g_waveSound3DManager, nullptr);
  ASSERT_NE(g_musicManager, nullptr);
  EXPECT_EQ(platform::win32::HeadlessComDepth(), 1);  // the sound system's own
  ASSERT_TRUE(g_soundSystem->Init(TestWindow(), 44100));
  const std::string saved = musicFolder;
  musicFolder = dir.Path() + "\\";
  Sound* music[kMusicPieceCount];
  LoadMusicPieces(music);
  musicFolder = saved;
  ASSERT_NE(music[0], g_musicManager->GetDefault());
  UpdateMusic(kMusicInterface, music);  // piece 0 or the silent piece 1
  // Teardown while music may still be playing: the pieces unload from a live performance.
  DestroyEngineServices();
  EXPECT_EQ(g_soundSystem, nullptr);
  EXPECT_EQ(g_waveSoundManager, nullptr);
  EXPECT_EQ(g_waveSound3DManager, nullptr);
  EXPECT_EQ(g_musicManager, nullptr);
  EXPECT_EQ(platform::win32::HeadlessComDepth(), 0);
  ResetHeadlessPlatform();
}

}  // namespace
