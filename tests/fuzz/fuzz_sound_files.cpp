// Feeds arbitrary bytes to the sound loading path: the WAV and MIDI readers directly, then
// the same bytes as a file through the loader, download and play on the headless
// performance. Files must be refused or played without crashing, hanging, leaking or
// allocating by a corrupt size.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzScratch.h"
#include "platform/Platform.h"
#include "platform/dmusic/DMusic.h"
#include "platform/dmusic/DMusicHeadless.h"
#include "platform/dmusic/SoundFiles.h"
#include "platform/win32/Win32.h"
#include "platform/win32/Win32Headless.h"

namespace {

using namespace platform::dmusic;

struct Setup {
  IDirectMusicPerformance8* performance = nullptr;
  IDirectMusicLoader8* loader = nullptr;

  Setup() {
    platform::SetBackend(platform::Backend::Headless);
    AudioLog().enabled = false;
    CoInitialize(nullptr);
    CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                     IID_IDirectMusicPerformance8, reinterpret_cast<void**>(&performance));
    CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                     reinterpret_cast<void**>(&loader));
    DMUS_AUDIOPARAMS params{sizeof(DMUS_AUDIOPARAMS), TRUE, DMUS_AUDIOPARAMS_SAMPLERATE, 0, 0, 44100, {}};
    if (!performance || !loader ||
        FAILED(performance->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_DYNAMIC_STEREO, 64,
                                      DMUS_AUDIOF_ALL, &params)))
      std::abort();
  }
  ~Setup() {
    loader->Release();
    performance->CloseDown();
    performance->Release();
  }
};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1u << 20) return 0;
  static Setup setup;

  WaveData wave;
  if (ReadWave(data, size, &wave)) {
    Check(wave.sampleRate > 0 && wave.frames.size() % 2 == 0);
    for (float f : wave.frames) Check(f >= -1.0f && f <= 1.0f);
  }
  MidiInfo midi;
  if (ReadMidi(data, size, &midi)) {
    Check(midi.trackCount > 0 && midi.endTick >= 0 && std::isfinite(midi.seconds) &&
          midi.seconds >= 0.0 && midi.smfOffset + midi.smfSize <= size);
  }

  const FuzzScratchFile scratch("sound", data, size);
  if (!scratch.ok()) return 0;
  std::wstring widePath(scratch.path().begin(), scratch.path().end());
  IDirectMusicSegment8* segment = nullptr;
  const HRESULT hr = setup.loader->LoadObjectFromFile(
      CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, widePath.data(),
      reinterpret_cast<void**>(&segment));
  if (FAILED(hr)) {
    Check(segment == nullptr);
    return 0;
  }
  Check(segment != nullptr);
  const bool isMidi = DetectSoundFile(data, size) == SoundFileKind::Midi;
  if (isMidi) segment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFFu, 0, 0, nullptr);
  Check(SUCCEEDED(segment->Download(setup.performance)));
  Check(SUCCEEDED(setup.performance->PlaySegmentEx(segment, nullptr, nullptr,
                                                   isMidi ? 0 : DMUS_SEGF_SECONDARY, 0, nullptr,
                                                   nullptr, nullptr)));
  platform::win32::HeadlessAdvanceTicks(size % 2000);
  setup.performance->IsPlaying(segment, nullptr);
  setup.performance->Stop(segment, nullptr, 0, 0);
  Check(setup.performance->IsPlaying(segment, nullptr) == S_FALSE);
  segment->Unload(setup.performance);
  setup.loader->ReleaseObjectByUnknown(segment);
  segment->Release();
  return 0;
}
