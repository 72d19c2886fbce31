// The headless audio backend: nothing is heard; each voice and piece lasts its sound's
// real length, measured on the headless tick count that tests advance.
#include <cmath>
#include <vector>

#include "platform/dmusic/AudioBackend.h"
#include "platform/dmusic/DMusicHeadless.h"
#include "platform/win32/Win32.h"

namespace platform::dmusic {

namespace {

struct HeadlessSound final : PreparedSound {
  DWORD lengthMs = 0;
};

class Headless final : public AudioBackend {
 public:
  bool Open(int sampleRate) override {
    if (unavailable) return false;
    if (openCount++ == 0) rate = sampleRate;
    return true;
  }
  void Close() override {
    if (openCount > 0 && --openCount == 0) {
      voices.clear();
      piece = {};
    }
  }

  std::unique_ptr<PreparedSound> Prepare(std::shared_ptr<const SoundData> data) override {
    if (openCount == 0 || !data) return nullptr;
    auto sound = std::make_unique<HeadlessSound>();
    sound->lengthMs = static_cast<DWORD>(std::ceil(data->seconds * 1000.0));
    sound->data = std::move(data);
    return sound;
  }
  void Forget(PreparedSound* sound) override {
    for (Play& v : voices)
      if (v.sound == sound) v = {};
    if (piece.sound == sound) piece = {};
  }

  int PlayVoice(PreparedSound* sound) override {
    const Play play = Start(sound);
    for (std::size_t i = 0; i < voices.size(); ++i) {
      if (!Sounding(voices[i])) {
        voices[i] = play;
        return static_cast<int>(i);
      }
    }
    voices.push_back(play);
    return static_cast<int>(voices.size() - 1);
  }
  bool VoicePlaying(int voice, const PreparedSound* sound) override {
    return voice >= 0 && static_cast<std::size_t>(voice) < voices.size() &&
           voices[voice].sound == sound && Sounding(voices[voice]);
  }
  void StopVoice(int voice, const PreparedSound* sound) override {
    if (voice >= 0 && static_cast<std::size_t>(voice) < voices.size() &&
        voices[voice].sound == sound)
      voices[voice] = {};
  }

  bool PlayPiece(PreparedSound* sound) override {
    piece = Start(sound);
    return true;
  }
  bool PiecePlaying(const PreparedSound* sound) override {
    return piece.sound == sound && Sounding(piece);
  }
  void StopPiece() override { piece = {}; }

  void SetMasterGain(float value) override { gain = value; }

  struct Play {
    const PreparedSound* sound = nullptr;
    DWORD start = 0;
    DWORD length = 0;
  };

  static Play Start(const PreparedSound* sound) {
    return {sound, GetTickCount(), static_cast<const HeadlessSound*>(sound)->lengthMs};
  }
  static bool Sounding(const Play& play) {
    return play.sound && GetTickCount() - play.start < play.length;
  }

  int openCount = 0;
  int rate = 0;
  float gain = 1.0f;
  bool unavailable = false;
  std::vector<Play> voices;
  Play piece;
};

Headless& State() {
  static Headless backend;
  return backend;
}

}  // namespace

AudioBackend& HeadlessBackend() { return State(); }

float HeadlessMasterGain() { return State().gain; }
int HeadlessOutputRate() { return State().openCount > 0 ? State().rate : 0; }
int HeadlessVoicesPlaying() {
  int n = 0;
  for (const auto& v : State().voices)
    if (Headless::Sounding(v)) ++n;
  return n;
}
bool HeadlessPiecePlaying() { return Headless::Sounding(State().piece); }
void HeadlessSetOutputUnavailable(bool unavailable) { State().unavailable = unavailable; }

void HeadlessResetAudio() {
  auto& s = State();
  s.voices.clear();
  s.piece = {};
  s.openCount = 0;
  s.gain = 1.0f;
  s.unavailable = false;
  auto& log = AudioLog();
  log.Clear();
  log.ClearFailures();
  log.enabled = true;
}

}  // namespace platform::dmusic
