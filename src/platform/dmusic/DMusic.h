// Stand-ins for the DirectMusic and DirectSound calls the sound layer makes: the loader
// (WAV and Standard MIDI files by path), the performance, segments, audio paths, the 3D
// buffer and the listener, and CoCreateInstance for the loader and performance classes.
// Real backend: SDL2_mixer (MIDI through FluidSynth); headless: a clock-driven player.
#pragma once

#include <cstdint>

#include "platform/win32/Win32Types.h"

using WCHAR = wchar_t;
using MUSIC_TIME = std::int32_t;
using REFERENCE_TIME = std::int64_t;
using D3DVALUE = float;

// Results beyond the common ones.
constexpr HRESULT DMUS_E_NOT_FOUND = static_cast<HRESULT>(0x88781161u);
constexpr HRESULT DMUS_E_NOT_INIT = static_cast<HRESULT>(0x88781162u);
constexpr HRESULT DMUS_E_TYPE_UNSUPPORTED = static_cast<HRESULT>(0x88781164u);
constexpr HRESULT DMUS_E_LOADER_OBJECTNOTFOUND = static_cast<HRESULT>(0x88781185u);
constexpr HRESULT DMUS_E_INVALIDFILE = static_cast<HRESULT>(0x88781200u);
constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);

// Standard audio path types.
constexpr DWORD DMUS_APATH_SHARED_STEREOPLUSREVERB = 1;
constexpr DWORD DMUS_APATH_DYNAMIC_3D = 6;
constexpr DWORD DMUS_APATH_DYNAMIC_MONO = 7;
constexpr DWORD DMUS_APATH_DYNAMIC_STEREO = 8;

// InitAudio flags and the valid-data bits of DMUS_AUDIOPARAMS.
constexpr DWORD DMUS_AUDIOF_ALL = 0x3F;
constexpr DWORD DMUS_AUDIOPARAMS_FEATURES = 0x1;
constexpr DWORD DMUS_AUDIOPARAMS_VOICES = 0x2;
constexpr DWORD DMUS_AUDIOPARAMS_SAMPLERATE = 0x4;
constexpr DWORD DMUS_AUDIOPARAMS_DEFAULTSYNTH = 0x8;

// PlaySegmentEx flags (primary when SECONDARY is clear).
constexpr DWORD DMUS_SEGF_SECONDARY = 0x80;

// GetObjectInPath stages and channels.
constexpr DWORD DMUS_PCHANNEL_ALL = 0xFFFFFFFBu;
constexpr DWORD DMUS_PATH_BUFFER = 0x6000;
constexpr DWORD DMUS_PATH_PRIMARY_BUFFER = 0x8000;

// Master volume limits in hundredths of a decibel.
constexpr LONG DMUS_VOLUME_MAX = 2000;
constexpr LONG DMUS_VOLUME_MIN = -20000;

constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;

constexpr DWORD DS3DMODE_NORMAL = 0;
constexpr DWORD DS3DMODE_HEADRELATIVE = 1;
constexpr DWORD DS3DMODE_DISABLE = 2;
constexpr DWORD DS3D_IMMEDIATE = 0;
constexpr DWORD DS3D_DEFERRED = 1;

extern const GUID GUID_NULL;
extern const GUID GUID_PerfMasterVolume;
extern const GUID GUID_StandardMIDIFile;
extern const GUID GUID_DirectMusicAllTypes;
extern const CLSID CLSID_DirectMusicLoader;
extern const CLSID CLSID_DirectMusicPerformance;
extern const CLSID CLSID_DirectMusicSegment;
extern const IID IID_IDirectMusicLoader8;
extern const IID IID_IDirectMusicPerformance8;
extern const IID IID_IDirectMusicSegment8;
extern const IID IID_IDirectMusicAudioPath8;
extern const IID IID_IDirectSound3DBuffer;
extern const IID IID_IDirectSound3DListener;

struct D3DVECTOR3 {
  float x, y, z;
};

// dwSize 40: fInitNow, then which of the following fields are valid.
struct DMUS_AUDIOPARAMS {
  DWORD dwSize;
  BOOL fInitNow;
  DWORD dwValidData;
  DWORD dwFeatures;
  DWORD dwVoices;
  DWORD dwSampleRate;
  CLSID clsidDefaultSynth;
};

// dwSize 64.
struct DS3DBUFFER {
  DWORD dwSize;
  D3DVECTOR3 vPosition;
  D3DVECTOR3 vVelocity;
  DWORD dwInsideConeAngle;
  DWORD dwOutsideConeAngle;
  D3DVECTOR3 vConeOrientation;
  LONG lConeOutsideVolume;
  D3DVALUE flMinDistance;
  D3DVALUE flMaxDistance;
  DWORD dwMode;
};

// dwSize 64.
struct DS3DLISTENER {
  DWORD dwSize;
  D3DVECTOR3 vPosition;
  D3DVECTOR3 vVelocity;
  D3DVECTOR3 vOrientFront;
  D3DVECTOR3 vOrientTop;
  D3DVALUE flDistanceFactor;
  D3DVALUE flRolloffFactor;
  D3DVALUE flDopplerFactor;
};

static_assert(sizeof(DMUS_AUDIOPARAMS) == 40);
static_assert(sizeof(DS3DBUFFER) == 64);
static_assert(sizeof(DS3DLISTENER) == 64);

class IDirectMusic;
class IDirectSound;
class IDirectMusicSegmentState;

class IDirectSound3DBuffer : public IUnknown {
 public:
  // DSERR_INVALIDPARAM unless dwSize is sizeof(DS3DBUFFER).
  virtual HRESULT GetAllParameters(DS3DBUFFER* parameters) = 0;
  virtual HRESULT SetAllParameters(const DS3DBUFFER* parameters, DWORD apply) = 0;
};

class IDirectSound3DListener : public IUnknown {
 public:
  // DSERR_INVALIDPARAM unless dwSize is sizeof(DS3DLISTENER).
  virtual HRESULT GetAllParameters(DS3DLISTENER* parameters) = 0;
};

class IDirectMusicAudioPath8 : public IUnknown {
 public:
  // The path's 3D buffer (DMUS_PATH_BUFFER, 3D paths only) or the listener
  // (DMUS_PATH_PRIMARY_BUFFER); DMUS_E_NOT_FOUND for anything else.
  virtual HRESULT GetObjectInPath(DWORD pchannel, DWORD stage, DWORD buffer, REFGUID object,
                                  DWORD index, REFIID iid, void** out) = 0;
};
using IDirectMusicAudioPath = IDirectMusicAudioPath8;

class IDirectMusicSegment8 : public IUnknown {
 public:
  // GUID_StandardMIDIFile is accepted; other parameters are DMUS_E_TYPE_UNSUPPORTED.
  virtual HRESULT SetParam(REFGUID type, DWORD groupBits, DWORD index, MUSIC_TIME time,
                           void* param) = 0;
  // Prepares the sound data for playing on a performance (or one of its audio paths);
  // a segment plays only once downloaded.
  virtual HRESULT Download(IUnknown* performanceOrPath) = 0;
  virtual HRESULT Unload(IUnknown* performanceOrPath) = 0;
};
using IDirectMusicSegment = IDirectMusicSegment8;

class IDirectMusicPerformance8 : public IUnknown {
 public:
  // Opens the output at the asked sample rate and creates the default path of the given
  // type. Without an audio device the output is a silent one that keeps time.
  virtual HRESULT InitAudio(IDirectMusic** music, IDirectSound** sound, HWND window,
                            DWORD defaultPathType, DWORD pchannelCount, DWORD flags,
                            DMUS_AUDIOPARAMS* params) = 0;
  virtual HRESULT CreateStandardAudioPath(DWORD type, DWORD pchannelCount, BOOL activate,
                                          IDirectMusicAudioPath** out) = 0;
  virtual HRESULT GetDefaultAudioPath(IDirectMusicAudioPath** out) = 0;
  // Secondary segments (WAV) mix over everything, the same one any number of times; the
  // primary segment (MIDI) replaces the primary that is playing. Pieces play once.
  virtual HRESULT PlaySegmentEx(IUnknown* source, WCHAR* segmentName, IUnknown* transition,
                                DWORD flags, std::int64_t startTime,
                                IDirectMusicSegmentState** state, IUnknown* from,
                                IUnknown* audioPath) = 0;
  // S_OK while any instance of the segment plays, S_FALSE otherwise.
  virtual HRESULT IsPlaying(IDirectMusicSegment* segment, IDirectMusicSegmentState* state) = 0;
  // Stops every instance of the segment, or everything when segment is null.
  virtual HRESULT Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState* state,
                       MUSIC_TIME time, DWORD flags) = 0;
  // GUID_PerfMasterVolume: a 4-byte LONG in hundredths of a decibel.
  virtual HRESULT SetGlobalParam(REFGUID type, void* param, DWORD size) = 0;
  virtual HRESULT CloseDown() = 0;
};

class IDirectMusicLoader8 : public IUnknown {
 public:
  // CLSID_DirectMusicSegment from a WAV (PCM or float) or Standard MIDI file; relative
  // paths that do not exist as given are also looked up in the search directory.
  virtual HRESULT LoadObjectFromFile(REFGUID classId, REFIID iid, WCHAR* filePath,
                                     void** out) = 0;
  // Drops the loader's own reference to an object it loaded; S_FALSE if it has none.
  virtual HRESULT ReleaseObjectByUnknown(IUnknown* object) = 0;
  virtual HRESULT SetSearchDirectory(REFGUID classId, WCHAR* path, BOOL clear) = 0;
};

// CLSID_DirectMusicLoader with IID_IDirectMusicLoader8, CLSID_DirectMusicPerformance with
// IID_IDirectMusicPerformance8; REGDB_E_CLASSNOTREG for any other class.
HRESULT CoCreateInstance(REFCLSID classId, IUnknown* outer, DWORD context, REFIID iid,
                         void** out);
