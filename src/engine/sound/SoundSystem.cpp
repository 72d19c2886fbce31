#include "engine/sound/SoundSystem.h"

#include "platform/win32/Win32.h"

SoundSystem* g_soundSystem = nullptr;

SoundSystem::SoundSystem() { CoInitialize(nullptr); }

SoundSystem::~SoundSystem() {
  Shutdown();
  CoUninitialize();
}

bool SoundSystem::Init(HWND window_, DWORD sampleRate, const WCHAR* searchFolder) {
  Shutdown();
  window = window_;
  if (!window) return false;

  CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                   reinterpret_cast<void**>(&loader));
  CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                   IID_IDirectMusicPerformance8, reinterpret_cast<void**>(&performance));
  // The results of these steps are not checked one by one; an object that is missing
  // is simply not used, and without a performance there is no listener below.
  if (performance) {
    DMUS_AUDIOPARAMS params{};
    params.dwSize = sizeof(DMUS_AUDIOPARAMS);
    params.fInitNow = TRUE;
    params.dwValidData = DMUS_AUDIOPARAMS_FEATURES | DMUS_AUDIOPARAMS_SAMPLERATE;
    params.dwFeatures = DMUS_AUDIOF_ALL;
    params.dwSampleRate = sampleRate;
    performance->InitAudio(nullptr, nullptr, window, DMUS_APATH_DYNAMIC_STEREO, 64,
                           DMUS_AUDIOF_ALL, &params);
    performance->CreateStandardAudioPath(DMUS_APATH_DYNAMIC_3D, 64, TRUE, &path3D);
  }
  if (path3D) {
    IDirectSound3DBuffer* buffer = nullptr;
    path3D->GetObjectInPath(0, DMUS_PATH_BUFFER, 0, GUID_NULL, 0, IID_IDirectSound3DBuffer,
                            reinterpret_cast<void**>(&buffer));
    if (buffer) {
      DS3DBUFFER parameters{};
      parameters.dwSize = sizeof(DS3DBUFFER);
      buffer->GetAllParameters(&parameters);
      parameters.dwMode = DS3DMODE_NORMAL;
      buffer->SetAllParameters(&parameters, DS3D_IMMEDIATE);
      buffer->Release();
    }
  }

  if (!path3D ||
      FAILED(path3D->GetObjectInPath(0, DMUS_PATH_PRIMARY_BUFFER, 0, GUID_NULL, 0,
                                     IID_IDirectSound3DListener,
                                     reinterpret_cast<void**>(&listener))) ||
      !listener)
    return false;
  listenerParameters.dwSize = sizeof(DS3DLISTENER);
  listener->GetAllParameters(&listenerParameters);

  if (searchFolder && searchFolder[0] != L'\0') {
    if (!loader ||
        FAILED(loader->SetSearchDirectory(GUID_DirectMusicAllTypes,
                                          const_cast<WCHAR*>(searchFolder), FALSE)))
      return false;
  }
  SetVolume(100);
  return true;
}

bool SoundSystem::SetVolume(unsigned int percent) {
  if (!performance) return false;
  const unsigned int p = percent % 101;
  LONG master = (static_cast<LONG>(p) - 90) * 100;
  if (FAILED(performance->SetGlobalParam(GUID_PerfMasterVolume, &master, sizeof(master))))
    return false;
  volume = p;
  return true;
}

void SoundSystem::Shutdown() {
  if (loader) {
    loader->Release();
    loader = nullptr;
  }
  if (performance) {
    if (listener) {
      listener->Release();
      listener = nullptr;
    }
    // The 3D path is the performance's; it goes with it.
    if (path3D) {
      path3D->Release();
      path3D = nullptr;
    }
    performance->Stop(nullptr, nullptr, 0, 0);
    performance->CloseDown();
    performance->Release();
    performance = nullptr;
  }
}
