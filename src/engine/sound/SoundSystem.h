// The engine-wide owner of the DirectMusic performance and loader: every sound and piece
// of music plays through it. Created with the engine's services, initialised by the
// game's start-up with its window and 44100 Hz, shut down last among the services.
#pragma once

#include "platform/dmusic/DMusic.h"
#include "platform/win32/Win32Types.h"

class SoundSystem {
 public:
  SoundSystem();   // CoInitialize; nothing created yet
  ~SoundSystem();  // Shutdown, then CoUninitialize

  // Creates the loader and performance, opens the output at sampleRate, sets up the 3D
  // path and listener and sets the volume to 100 %. False for a null window, when no
  // listener can be had or when searchFolder (if not empty) is refused. Without an audio
  // device the output is silent but keeps time, so Init still succeeds.
  bool Init(HWND window, DWORD sampleRate, const WCHAR* searchFolder = L"");

  // Master volume in percent, taken modulo 101; 100 % is +10 dB, 90 % is 0 dB and 0 %
  // is -90 dB. False before Init or when the performance refuses the value.
  bool SetVolume(unsigned int percent);

  // Stops everything and releases the DirectMusic objects; safe to call twice.
  void Shutdown();

  // Not owned by callers: sounds copy these while they are loaded.
  IDirectMusicPerformance8* GetPerformance() const { return performance; }
  IDirectMusicLoader8* GetLoader() const { return loader; }
  HWND GetWindow() const { return window; }
  unsigned int GetVolume() const { return volume; }
  IDirectSound3DListener* GetListener() const { return listener; }
  const DS3DLISTENER& GetListenerParameters() const { return listenerParameters; }

 private:
  HWND window = nullptr;
  unsigned int volume = 0;  // percent, 0..100; 0 until Init
  IDirectMusicPerformance8* performance = nullptr;  // owned
  IDirectMusicLoader8* loader = nullptr;            // owned
  IDirectMusicAudioPath8* path3D = nullptr;         // owned: the standard 3D path
  IDirectSound3DListener* listener = nullptr;       // owned reference to the listener
  DS3DLISTENER listenerParameters{};
};

extern SoundSystem* g_soundSystem;
