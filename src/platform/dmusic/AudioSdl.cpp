// The real audio backend on SDL2_mixer. Effects play on mixer channels; the piece of
// music is rendered by one FluidSynth synthesiser for the whole process, built on a
// worker thread as soon as the output opens (so that reading the soundfont overlaps the
// rest of the start-up) and fed into the mix through SDL2_mixer's music hook. It loads
// the game's own soundfont (the system's General MIDI one cut to what the pieces sound)
// or, when that is missing or unreadable, the system's, once, and only the samples of
// the instruments a piece chooses, so loading a piece costs nothing but its bytes. The
// mix runs in 32-bit float so that sums above full scale are kept, and a post-mix stage
// applies the master gain and a peak limiter.
#include <SDL.h>
#include <SDL_mixer.h>
#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dmusic/AudioBackend.h"
#include "platform/dmusic/AudioSdl.h"
#include "platform/dmusic/SoundFiles.h"
#include "platform/dmusic/SoundFont2.h"

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
// The synthesiser's gain: 0.206, next to its own default of 0.2 at which the pieces are
// written (it was 22 / 128 of SDL2_mixer's music volume scale of 1.2).
constexpr double kMusicGain = 22 * 1.2 / 128;
// After a piece's last event the synthesiser rings out its release tail for this long.
constexpr double kTailSeconds = 1.0;
// Rendered on the caller's thread when a piece starts, so that reading the file and
// loading the first instruments' samples happen there rather than in the audio callback.
constexpr int kPrimeFrames = 64;
// A bank offset that puts every bank of the soundfont out of reach of bank 0 and the drum
// bank (see StopPiece).
constexpr int kBanksOutOfReach = 1 << 20;

// The limiter holds peaks at kCeiling; its gain recovers by kRelease of the way back to
// 1 per buffer (about half a second to recover most of a reduction at 44.1 kHz).
constexpr float kCeiling = 0.98f;
constexpr float kRelease = 0.05f;

struct SdlWave final : PreparedSound {
  ~SdlWave() override {
    if (chunk) Mix_FreeChunk(chunk);
  }
  std::vector<float> pcm;  // converted samples, unless the chunk plays the decoded frames
  Mix_Chunk* chunk = nullptr;
};

struct SdlPiece final : PreparedSound {
  std::uint64_t lengthFrames = 0;
};

// The process's one synthesiser and the player of the piece it renders. The player is
// driven by the synthesiser's sample clock, so rendering is all that advances it.
struct Synth {
  ~Synth() {
    if (player) delete_fluid_player(player);
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  fluid_player_t* player = nullptr;
  int rate = 0;
  std::vector<std::string> fonts;  // the soundfonts it was built from, best first
  std::string font;                // and the one it read
  int fontId = -1;
  // The font cut for the piece being played alone, read over the first, if it has one.
  std::string pieceFont;
  int pieceFontId = -1;
};

// A synthesiser with the first readable soundfont of `fonts` read and no instrument
// chosen on any channel: the samples of an instrument are read only once a piece picks
// it. Every voice it may sound costs its memory from the start, sounding or not. Null on
// failure.
std::unique_ptr<Synth> BuildSynth(int rate, const std::vector<std::string>& fonts,
                                  int polyphony) {
  auto made = std::make_unique<Synth>();
  made->rate = rate;
  made->fonts = fonts;
  made->settings = new_fluid_settings();
  if (!made->settings) return nullptr;
  fluid_settings_setnum(made->settings, "synth.sample-rate", rate);
  fluid_settings_setnum(made->settings, "synth.gain", kMusicGain);
  fluid_settings_setint(made->settings, "synth.dynamic-sample-loading", 1);
  fluid_settings_setint(made->settings, "synth.polyphony", polyphony);
  made->synth = new_fluid_synth(made->settings);
  if (!made->synth) return nullptr;
  for (std::size_t i = 0; i < fonts.size(); ++i) {
    // The game's own font is checked whole first (every chunk, index and sample inside
    // the file), so that a damaged copy falls back to the system's font.
    sf2::SoundFont checked;
    const bool own = std::filesystem::path(fonts[i]).filename() == sf2::kGameSoundFontName;
    if (own && !sf2::Read(fonts[i], &checked, nullptr)) continue;
    made->fontId = fluid_synth_sfload(made->synth, fonts[i].c_str(), 0);
    if (made->fontId != FLUID_FAILED) {
      made->font = fonts[i];
      return made;
    }
  }
  return nullptr;
}

// Worker, with no piece published: puts the font cut for this piece alone (beside the
// game's own one, named after the piece's bytes) over the synthesiser's fonts, in place
// of the last piece's. Its presets are found first, and a piece then reads no sample of
// an instrument it shares with other pieces that it does not sound itself. A piece with
// no such font, or a damaged one, plays from the fonts beneath, which sound the same.
void ChoosePieceFont(Synth* synth, const std::vector<std::uint8_t>& midi) {
  namespace fs = std::filesystem;
  std::string wanted;
  if (!synth->fonts.empty() && !midi.empty()) {
    const fs::path own = synth->fonts.front();
    if (own.filename() == sf2::kGameSoundFontName)
      wanted = (own.parent_path() / sf2::PieceSoundFontName(midi.data(), midi.size())).string();
  }
  if (wanted == synth->pieceFont) return;
  if (synth->pieceFontId >= 0) fluid_synth_sfunload(synth->synth, synth->pieceFontId, 0);
  synth->pieceFontId = -1;
  synth->pieceFont.clear();
  std::error_code ec;
  sf2::SoundFont checked;
  if (wanted.empty() || !fs::is_regular_file(wanted, ec) || !sf2::Read(wanted, &checked, nullptr))
    return;
  const int id = fluid_synth_sfload(synth->synth, wanted.c_str(), 0);
  if (id == FLUID_FAILED) return;
  synth->pieceFontId = id;
  synth->pieceFont = wanted;
}

struct Started {
  fluid_player_t* player = nullptr;
  bool primed = false;
};

// Worker: a player for the piece, the default instrument where it needs one, and the
// first frames rendered into `primeOut`. No player when the piece cannot be read.
Started StartPiece(fluid_synth_t* synth, std::shared_ptr<const SoundData> data,
                   float* primeOut) {
  Started started;
  fluid_player_t* player = new_fluid_player(synth);
  if (!player) return started;
  const std::vector<std::uint8_t>& bytes = data->midi;
  if (fluid_player_add_mem(player, bytes.data(), bytes.size()) != FLUID_OK ||
      fluid_player_play(player) != FLUID_OK) {
    delete_fluid_player(player);
    return started;
  }
  // Channels that sound before choosing an instrument play the default one (the piano,
  // or the standard kit on the drum channel), as on a synthesiser fresh from a reset.
  for (int channel = 0; channel < 16; ++channel)
    if (data->defaultProgramChannels & (1u << channel))
      fluid_synth_program_change(synth, channel, 0);
  started.primed =
      fluid_synth_write_float(synth, kPrimeFrames, primeOut, 0, 2, primeOut, 1, 2) == FLUID_OK;
  started.player = player;
  return started;
}

class Sdl final : public AudioBackend {
 public:
  // A process that ends with the output still open must not render from a synthesiser
  // that is being destroyed.
  ~Sdl() override {
    if (openCount > 0) Mix_HookMusic(nullptr, nullptr);
  }

  bool Open(int sampleRate) override {
    if (openCount > 0) {
      ++openCount;
      return true;
    }
    ChooseSoundFonts();
    synthFailed = false;
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
    if (!soundFonts.empty() && !building.valid() &&
        !(synth && synth->rate == outputRate && synth->fonts == soundFonts))
      building =
          std::async(std::launch::async, BuildSynth, outputRate, soundFonts, kSynthPolyphony);
    return true;
  }

  void Close() override {
    if (openCount == 0 || --openCount > 0) return;
    if (building.valid()) building.wait();  // kept for the next open if it still suits
    StopPiece();
    Mix_HaltChannel(-1);
    Mix_HookMusic(nullptr, nullptr);
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
    JoinStart();
    if (sound == piece) StopPiece();
    // The sound's destructor frees its chunk; Mix_FreeChunk halts its channels.
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
    if (!p || !p->data || openCount == 0) return false;
    StopPiece();
    if (!MakeSynth()) return false;
    // Reading the file and the samples of the instruments it first chooses happens on a
    // worker, neither in the audio callback nor in the caller's frame; the piece counts
    // as playing from now on and is heard once that is done. No piece is published
    // meanwhile, so the audio thread leaves the synthesiser and the prime buffer alone.
    startingPiece = p;
    starting = std::async(std::launch::async, [this, p, sy = synth.get()] {
      ChoosePieceFont(sy, p->data->midi);
      const Started started = StartPiece(sy->synth, p->data, prime);
      if (!started.player) return;
      std::lock_guard<std::mutex> lock(render);
      synth->player = started.player;
      primed = started.primed ? kPrimeFrames : 0;
      primeUsed = 0;
      tailLeft = static_cast<std::uint64_t>(kTailSeconds * outputRate);
      piece = p;  // published: the audio thread renders it, and its length counts from here
      pieceStart = frames.load();
    });
    return true;
  }
  bool PiecePlaying(const PreparedSound* sound) override {
    if (starting.valid()) {
      if (starting.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return startingPiece == sound;
      JoinStart();
    }
    if (!piece || piece != sound || !synth || !synth->player) return false;
    // A piece ends with its last event, as the segment's length says; the synthesiser
    // may still ring out a release tail after that.
    return fluid_player_get_status(synth->player) != FLUID_PLAYER_DONE &&
           frames.load() - pieceStart < piece->lengthFrames;
  }
  void StopPiece() override {
    JoinStart();
    fluid_player_t* player = nullptr;
    {
      std::lock_guard<std::mutex> lock(render);
      piece = nullptr;
      primed = primeUsed = 0;
      if (synth) std::swap(player, synth->player);
    }
    if (!player) return;
    // With no piece published the audio thread no longer renders, so the synthesiser is
    // ours here. The next piece starts from one as fresh as a new one: default programs
    // and controllers, no voices, empty reverb and chorus.
    fluid_player_stop(player);
    delete_fluid_player(player);
    // A sounding voice holds on to its samples until the synthesiser has rendered past
    // its end; samples still held when the reset lets go of their instrument stay read
    // until some later piece chooses and lets go of that instrument again. So the voices
    // are silenced and rendered out (the piece is no longer heard) before the reset.
    fluid_synth_all_sounds_off(synth->synth, -1);
    float scratch[kPrimeFrames * kOutputChannels];
    for (int i = 0; i < 16 && fluid_synth_get_active_voice_count(synth->synth) > 0; ++i)
      fluid_synth_write_float(synth->synth, kPrimeFrames, scratch, 0, 2, scratch, 1, 2);
    // A reset chooses the default instrument on every channel, which would read the
    // piano's and the drum kit's samples even where the next piece never uses them; with
    // the soundfont's banks out of reach no channel finds its default, and each piece
    // chooses its own (PlayPiece).
    for (int id : {synth->fontId, synth->pieceFontId})
      if (id >= 0) fluid_synth_set_bank_offset(synth->synth, id, kBanksOutOfReach);
    fluid_synth_system_reset(synth->synth);
    for (int id : {synth->fontId, synth->pieceFontId})
      if (id >= 0) fluid_synth_set_bank_offset(synth->synth, id, 0);
  }

  void SetMasterGain(float value) override { gain.store(value); }

  bool Silent() const { return silent; }
  std::uint64_t LimitedBuffers() const { return limitedBuffers.load(); }
  // The font the synthesiser read, once it is built; the best candidate while closed.
  std::string SoundFont() {
    if (openCount > 0) return MakeSynth() ? synth->font : std::string();
    return soundFonts.empty() ? std::string() : soundFonts.front();
  }
  std::string PieceSoundFont() {
    JoinStart();
    return synth ? synth->pieceFont : std::string();
  }

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
    Mix_HookMusic(&Sdl::RenderPiece, this);
    Mix_SetPostMix(&Sdl::PostMix, this);
    return true;
  }

  // The game's own soundfont in its Data folder, then the system's General MIDI one.
  void ChooseSoundFonts() {
    namespace fs = std::filesystem;
    soundFonts.clear();
    // By its full path: the synthesiser reads samples from it long after this, and a
    // synthesiser built from another folder's font is not the same one.
    std::error_code ec;
    const fs::path own = fs::absolute(fs::path("Data") / sf2::kGameSoundFontName, ec);
    if (!ec && fs::is_regular_file(own, ec)) soundFonts.push_back(own.string());
    if (std::string system = sf2::SystemSoundFont(); !system.empty()) soundFonts.push_back(system);
  }

  // The mix takes stereo float frames at the output's rate, which is what the loader
  // decoded whenever the file was written at that rate (the game's own effects are): the
  // chunk then plays straight from the decoded frames, which this sound keeps alive, so
  // an effect is held once. Other rates are converted into a copy of the sound's own.
  std::unique_ptr<PreparedSound> PrepareWave(std::shared_ptr<const SoundData> data) {
    auto wave = std::make_unique<SdlWave>();
    const WaveData& in = data->wave;
    const float* play = in.frames.data();
    std::size_t samples = in.frames.size();
    if (in.FrameCount() > 0 && in.sampleRate != outputRate) {
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
      play = wave->pcm.data();
      samples = wave->pcm.size();
    }
    if (samples == 0) {  // an empty sound plays silence
      wave->pcm.assign(kOutputChannels, 0.0f);
      play = wave->pcm.data();
      samples = wave->pcm.size();
    }
    // The mixer only reads a chunk it did not allocate.
    wave->chunk = Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(const_cast<float*>(play)),
                                    static_cast<Uint32>(samples * sizeof(float)));
    if (!wave->chunk) return nullptr;
    wave->data = std::move(data);
    return wave;
  }

  // Keeps the bytes; the synthesiser is made and reads them only when the piece plays.
  std::unique_ptr<PreparedSound> PreparePiece(std::shared_ptr<const SoundData> data) {
    if (soundFonts.empty() || data->midi.empty()) return nullptr;  // nothing could render it
    auto p = std::make_unique<SdlPiece>();
    p->lengthFrames = static_cast<std::uint64_t>(std::ceil(data->seconds * outputRate));
    p->data = std::move(data);
    return p;
  }

  // Waits for the worker starting a piece, which publishes it unless it could not be read.
  void JoinStart() {
    if (!starting.valid()) return;
    starting.get();
    startingPiece = nullptr;
  }

  // The one synthesiser: the one built since the output opened, or made here (again
  // when the output rate or the soundfont changed). The soundfont is read outside the
  // render lock so the audio thread never waits on it.
  bool MakeSynth() {
    std::unique_ptr<Synth> made;
    bool tried = false;
    if (building.valid()) {
      made = building.get();
      tried = made == nullptr;
    }
    if (made && !(made->rate == outputRate && made->fonts == soundFonts)) made.reset();
    if (!made && synth && synth->rate == outputRate && synth->fonts == soundFonts) return true;
    if (!made && !tried) {
      if (synthFailed) return false;  // an unreadable soundfont is not read again each play
      made = BuildSynth(outputRate, soundFonts, kSynthPolyphony);
    }
    synthFailed = true;
    if (!made) return false;
    std::unique_ptr<Synth> old;
    {
      std::lock_guard<std::mutex> lock(render);
      old = std::move(synth);
      synth = std::move(made);
    }
    synthFailed = false;
    return true;
  }

  // Audio thread: the piece, written into the empty mix before the effects are added.
  static void SDLCALL RenderPiece(void* user, Uint8* stream, int len) {
    auto* self = static_cast<Sdl*>(user);
    auto* out = reinterpret_cast<float*>(stream);
    int count = len / static_cast<int>(sizeof(float) * kOutputChannels);
    std::lock_guard<std::mutex> lock(self->render);
    if (!self->piece || !self->synth || !self->synth->player) return;
    const int fromPrime = std::min(count, self->primed - self->primeUsed);
    if (fromPrime > 0) {
      std::copy_n(self->prime + self->primeUsed * kOutputChannels, fromPrime * kOutputChannels,
                  out);
      self->primeUsed += fromPrime;
      out += fromPrime * kOutputChannels;
      count -= fromPrime;
    }
    if (count <= 0) return;
    if (fluid_player_get_status(self->synth->player) == FLUID_PLAYER_DONE) {
      if (self->tailLeft == 0) return;
      self->tailLeft -= std::min<std::uint64_t>(self->tailLeft, count);
    }
    fluid_synth_write_float(self->synth->synth, count, out, 0, 2, out, 1, 2);
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
  std::vector<std::string> soundFonts;  // best first
  std::atomic<float> gain{1.0f};
  std::atomic<std::uint64_t> frames{0};  // frames mixed since the output opened
  float limiterGain = 1.0f;               // audio thread only
  std::atomic<std::uint64_t> limitedBuffers{0};
  std::uint64_t pieceStart = 0;
  std::mutex render;  // guards what the audio thread renders from, below
  std::unique_ptr<Synth> synth;
  std::future<std::unique_ptr<Synth>> building;  // the worker's synthesiser, until taken
  std::future<void> starting;               // the worker starting a piece, until joined
  const SdlPiece* startingPiece = nullptr;  // and which one it is
  bool synthFailed = false;
  const SdlPiece* piece = nullptr;
  float prime[kPrimeFrames * kOutputChannels] = {};
  int primed = 0, primeUsed = 0;
  std::uint64_t tailLeft = 0;
};

Sdl& State() {
  static Sdl backend;
  return backend;
}

}  // namespace

AudioBackend& RealBackend() { return State(); }

bool RealOutputIsSilent() { return State().Silent(); }
std::string RealSoundFont() { return State().SoundFont(); }
std::string RealPieceSoundFont() { return State().PieceSoundFont(); }
std::uint64_t RealLimitedBuffers() { return State().LimitedBuffers(); }

int PeakSynthVoices(const std::string& font, const std::vector<std::uint8_t>& midi) {
  constexpr int kRate = 44100;
  constexpr int kRoomToMeasure = 1024;
  MidiInfo info;
  if (midi.empty() || !ReadMidi(midi.data(), midi.size(), &info)) return -1;
  auto data = std::make_shared<SoundData>();
  data->kind = SoundFileKind::Midi;
  data->midi.assign(midi.begin() + static_cast<std::ptrdiff_t>(info.smfOffset),
                    midi.begin() + static_cast<std::ptrdiff_t>(info.smfOffset + info.smfSize));
  data->defaultProgramChannels = info.defaultProgramChannels;
  std::unique_ptr<Synth> synth = BuildSynth(kRate, {font}, kRoomToMeasure);
  if (!synth) return -1;
  // Reverb and chorus work on the voices' sum and never decide how long a voice lasts;
  // without them the render takes half the time.
  fluid_synth_reverb_on(synth->synth, -1, 0);
  fluid_synth_chorus_on(synth->synth, -1, 0);
  // Rendered as the audio callback renders, one block of the synthesiser's own size at a
  // time so that no voice starts and ends unseen between two counts.
  float block[kPrimeFrames * kOutputChannels];
  const Started started = StartPiece(synth->synth, data, block);
  if (!started.player) return -1;
  synth->player = started.player;
  int peak = fluid_synth_get_active_voice_count(synth->synth);
  // Well past the piece's own length, should the player never say it is done.
  const auto most = static_cast<std::uint64_t>((info.seconds + 10.0) * kRate);
  auto tail = static_cast<std::int64_t>(kTailSeconds * kRate);
  for (std::uint64_t done = kPrimeFrames; done < most && tail > 0; done += kPrimeFrames) {
    if (fluid_player_get_status(synth->player) == FLUID_PLAYER_DONE) tail -= kPrimeFrames;
    fluid_synth_write_float(synth->synth, kPrimeFrames, block, 0, 2, block, 1, 2);
    peak = std::max(peak, fluid_synth_get_active_voice_count(synth->synth));
  }
  return peak;
}

}  // namespace platform::dmusic
