// The real audio backend on SDL2_mixer. Effects play on mixer channels, the piece of
// music through SDL2_mixer's MIDI support, which renders it with FluidSynth and the
// General MIDI soundfont. The mix runs in 32-bit float so that sums above full scale are
// kept, and a post-mix stage applies the master gain and a peak limiter before output.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/dmusic/AudioBackend.h"
#include "platform/dmusic/AudioSdl.h"

namespace platform::dmusic {

namespace {

constexpr int kOutputChannels = 2;
constexpr int kBufferFrames = 1024;
constexpr int kFirstVoiceChannels = 32;
constexpr int kMostVoiceChannels = 256;

// Mix levels, relative to the master gain. The loudest moment the game makes is four
// item-appearance effects starting in the same frame (so their waves add up exactly)
// over the music. The effects are written with peaks at -3 dBFS (0.708) and the pieces
// peak near 0.16 at the synthesiser's default gain, so four effects at kEffectVolume
// (4 x 0.708 x 0.219 = 0.62) over the music stay well below full scale; the limiter is
// only a safety net for rarer pile-ups of other sounds.
constexpr int kEffectVolume = 28;  // of MIX_MAX_VOLUME (128): 0.219, about -13 dB
// SDL2_mixer sets FluidSynth's gain to volume * 1.2 / 128; 22 gives 0.206, next to the
// synthesiser's own default of 0.2 at which the pieces are written.
constexpr int kMusicVolume = 22;

// The limiter holds peaks at kCeiling; its gain recovers by kRelease of the way back to
// 1 per buffer (about half a second to recover most of a reduction at 44.1 kHz).
constexpr float kCeiling = 0.98f;
constexpr float kRelease = 0.05f;

struct SdlWave final : PreparedSound {
  ~SdlWave() override {
    if (chunk) Mix_FreeChunk(chunk);
  }
  std::vector<float> pcm;  // output-format samples the chunk points into
  Mix_Chunk* chunk = nullptr;
};

struct SdlPiece final : PreparedSound {
  ~SdlPiece() override {
    if (music) Mix_FreeMusic(music);
  }
  Mix_Music* music = nullptr;
  std::uint64_t lengthFrames = 0;
};

class Sdl final : public AudioBackend {
 public:
  bool Open(int sampleRate) override {
    if (openCount > 0) {
      ++openCount;
      return true;
    }
    const std::string font = ChooseSoundFont();
    if (!font.empty()) Mix_SetSoundFonts(font.c_str());
    Mix_Init(MIX_INIT_MID);
    silent = false;
    if (!OpenDevice(sampleRate)) {
      // No usable device: a silent output that consumes samples in real time, so that
      // pieces still end and the game runs on without sound.
      SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
      const bool opened = OpenDevice(sampleRate);
      SDL_ResetHint(SDL_HINT_AUDIODRIVER);
      if (!opened) return false;
      silent = true;
    }
    openCount = 1;
    return true;
  }

  void Close() override {
    if (openCount == 0 || --openCount > 0) return;
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    Mix_SetPostMix(nullptr, nullptr);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    piece = nullptr;
  }

  std::unique_ptr<PreparedSound> Prepare(std::shared_ptr<const SoundData> data) override {
    if (openCount == 0 || !data) return nullptr;
    if (data->kind == SoundFileKind::Wave) return PrepareWave(std::move(data));
    if (data->kind == SoundFileKind::Midi) return PreparePiece(std::move(data));
    return nullptr;
  }

  void Forget(PreparedSound* sound) override {
    if (sound == piece) StopPiece();
    // The sound's destructor frees its chunk or music; Mix_FreeChunk halts its channels.
  }

  int PlayVoice(PreparedSound* sound) override {
    auto* wave = dynamic_cast<SdlWave*>(sound);
    if (!wave || !wave->chunk) return -1;
    int channel = Mix_PlayChannel(-1, wave->chunk, 0);
    if (channel < 0) {
      // Every channel busy: the same sound may overlap itself any number of times.
      const int have = Mix_AllocateChannels(-1);
      if (have >= kMostVoiceChannels) return -1;
      Mix_AllocateChannels(std::min(have * 2, kMostVoiceChannels));
      Mix_Volume(-1, kEffectVolume);
      channel = Mix_PlayChannel(-1, wave->chunk, 0);
    }
    return channel;
  }
  bool VoicePlaying(int voice, const PreparedSound* sound) override {
    const auto* wave = dynamic_cast<const SdlWave*>(sound);
    return wave && voice >= 0 && voice < Mix_AllocateChannels(-1) && Mix_Playing(voice) &&
           Mix_GetChunk(voice) == wave->chunk;
  }
  void StopVoice(int voice, const PreparedSound* sound) override {
    if (VoicePlaying(voice, sound)) Mix_HaltChannel(voice);
  }

  bool PlayPiece(PreparedSound* sound) override {
    auto* p = dynamic_cast<SdlPiece*>(sound);
    if (!p || !p->music) return false;
    if (Mix_PlayMusic(p->music, 0) != 0) return false;
    piece = p;
    pieceStart = frames.load();
    return true;
  }
  bool PiecePlaying(const PreparedSound* sound) override {
    if (!piece || piece != sound) return false;
    // A piece ends with its last event, as the segment's length says; the synthesiser
    // may still ring out a release tail after that.
    return Mix_PlayingMusic() && frames.load() - pieceStart < piece->lengthFrames;
  }
  void StopPiece() override {
    Mix_HaltMusic();
    piece = nullptr;
  }

  void SetMasterGain(float value) override { gain.store(value); }

  bool Silent() const { return silent; }
  std::uint64_t LimitedBuffers() const { return limitedBuffers.load(); }
  const std::string& SoundFont() const { return soundFont; }

 private:
  bool OpenDevice(int sampleRate) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    if (Mix_OpenAudioDevice(sampleRate, AUDIO_F32SYS, kOutputChannels, kBufferFrames, nullptr,
                            0) != 0) {
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    int freq = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&freq, &format, &channels);
    outputRate = freq > 0 ? freq : sampleRate;
    frames.store(0);
    limiterGain = 1.0f;
    limitedBuffers.store(0);
    Mix_AllocateChannels(kFirstVoiceChannels);
    Mix_Volume(-1, kEffectVolume);
    Mix_VolumeMusic(kMusicVolume);
    Mix_SetPostMix(&Sdl::PostMix, this);
    return true;
  }

  std::string ChooseSoundFont() {
    namespace fs = std::filesystem;
    const fs::path folder = "/usr/share/sounds/sf2";
    soundFont.clear();
    for (const char* name : {"FluidR3_GM.sf2", "default-GM.sf2"}) {
      std::error_code ec;
      if (fs::exists(folder / name, ec)) return soundFont = (folder / name).string();
    }
    std::error_code ec;
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      const std::string ext = entry.path().extension().string();
      if (ext == ".sf2" || ext == ".SF2") found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    if (!found.empty()) soundFont = found.front();
    return soundFont;
  }

  std::unique_ptr<PreparedSound> PrepareWave(std::shared_ptr<const SoundData> data) {
    auto wave = std::make_unique<SdlWave>();
    const WaveData& in = data->wave;
    if (in.FrameCount() > 0) {
      SDL_AudioStream* stream = SDL_NewAudioStream(AUDIO_F32SYS, 2, in.sampleRate, AUDIO_F32SYS,
                                                   kOutputChannels, outputRate);
      if (!stream) return nullptr;
      const bool put = SDL_AudioStreamPut(stream, in.frames.data(),
                                          static_cast<int>(in.frames.size() * sizeof(float))) == 0 &&
                       SDL_AudioStreamFlush(stream) == 0;
      if (put) {
        const int bytes = SDL_AudioStreamAvailable(stream);
        wave->pcm.resize(static_cast<std::size_t>(bytes) / sizeof(float));
        const int got = SDL_AudioStreamGet(stream, wave->pcm.data(), bytes);
        wave->pcm.resize(got > 0 ? static_cast<std::size_t>(got) / sizeof(float) : 0);
      }
      SDL_FreeAudioStream(stream);
      if (!put) return nullptr;
    }
    if (wave->pcm.empty()) wave->pcm.assign(kOutputChannels, 0.0f);  // an empty sound plays silence
    wave->chunk = Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(wave->pcm.data()),
                                    static_cast<Uint32>(wave->pcm.size() * sizeof(float)));
    if (!wave->chunk) return nullptr;
    wave->data = std::move(data);
    return wave;
  }

  std::unique_ptr<PreparedSound> PreparePiece(std::shared_ptr<const SoundData> data) {
    auto p = std::make_unique<SdlPiece>();
    SDL_RWops* rw = SDL_RWFromConstMem(data->midi.data(), static_cast<int>(data->midi.size()));
    if (!rw) return nullptr;
    p->music = Mix_LoadMUSType_RW(rw, MUS_MID, SDL_TRUE);
    if (!p->music) return nullptr;
    p->lengthFrames = static_cast<std::uint64_t>(std::ceil(data->seconds * outputRate));
    p->data = std::move(data);
    return p;
  }

  // Audio thread: master gain, then the limiter, on the finished float mix.
  static void SDLCALL PostMix(void* user, Uint8* stream, int len) {
    auto* self = static_cast<Sdl*>(user);
    auto* samples = reinterpret_cast<float*>(stream);
    const int count = len / static_cast<int>(sizeof(float));
    const float master = self->gain.load();
    float peak = 0.0f;
    for (int i = 0; i < count; ++i) {
      samples[i] *= master;
      peak = std::max(peak, std::fabs(samples[i]));
    }
    float g = self->limiterGain;
    const float needed = peak > kCeiling ? kCeiling / peak : 1.0f;
    if (needed < g) {
      g = needed;  // attack at once: this buffer must not pass the ceiling
      self->limitedBuffers.fetch_add(1);
    } else {
      g = std::min(needed, g + (1.0f - g) * kRelease);
    }
    if (g < 1.0f)
      for (int i = 0; i < count; ++i) samples[i] *= g;
    self->limiterGain = g;
    self->frames.fetch_add(static_cast<std::uint64_t>(count / kOutputChannels));
  }

  int openCount = 0;
  bool silent = false;
  int outputRate = 44100;
  std::string soundFont;
  std::atomic<float> gain{1.0f};
  std::atomic<std::uint64_t> frames{0};  // frames mixed since the output opened
  float limiterGain = 1.0f;               // audio thread only
  std::atomic<std::uint64_t> limitedBuffers{0};
  const SdlPiece* piece = nullptr;
  std::uint64_t pieceStart = 0;
};

Sdl& State() {
  static Sdl backend;
  return backend;
}

}  // namespace

AudioBackend& RealBackend() { return State(); }

bool RealOutputIsSilent() { return State().Silent(); }
std::string RealSoundFont() { return State().SoundFont(); }
std::uint64_t RealLimitedBuffers() { return State().LimitedBuffers(); }

}  // namespace platform::dmusic
