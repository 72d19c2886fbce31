// The engine's single owner of Direct3D 9: device creation from the shell's settings,
// the back-buffer format, the D3DX sprite batch, a cache that filters redundant state
// changes, the device's cooperative state, and the reset with its notifications.
#pragma once

#include <vector>

#include "app/AppSettings.h"
#include "engine/materials/RenderStateSet.h"
#include "platform/d3d9/D3D9.h"

class ID3DXSprite;
class DeviceResource;

class GraphicsDevice {
 public:
  // Cooperative states reported by GetState.
  enum State { kNoDevice = 0, kUsable = 1, kLost = 2, kReadyToReset = 3 };
  // Results of Reset.
  enum ResetResult { kResetNoDevice = 0, kResetDone = 1, kResetFailed = 2 };

  GraphicsDevice();  // makes no Direct3D call
  ~GraphicsDevice();

  // Creates Direct3D, the device (through Configure) and the sprite batch. Shows
  // "Error fatal" and returns false when the sprite batch cannot be created.
  bool Init(HWND window, AppSettings settings);
  // Fills the presentation parameters and creates the device, or resets the existing one.
  bool Configure(HWND window, AppSettings settings);
  int GetState();
  int Reset();
  void Clear();
  bool BeginScene();
  bool EndSceneAndPresent();
  bool BeginSprites(DWORD flags);
  void EndSprites();

  // Cached setters: skip the call when force is false and the cache already holds value;
  // a failed call leaves the cache unchanged and returns false.
  bool SetRenderState(D3DRENDERSTATETYPE state, DWORD value, bool force);
  bool SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value, bool force);
  bool SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value, bool force);

  // The scene renderer's hook for setting its device state (lights) again after a reset;
  // the scene installs it when it is created.
  void SetResetListener(void (*listener)());

  // Not owned; must stay valid as long as the device. False for null.
  bool RegisterDeviceObject(DeviceResource* object);
  // Forgets an object that is being destroyed; nothing when it is not registered.
  void UnregisterDeviceObject(DeviceResource* object);

  IDirect3DDevice9* GetDevice() const { return device; }
  ID3DXSprite* GetSprite() const { return sprite; }
  const D3DCAPS9& GetCaps() const { return caps; }

  // Picks the full-screen back-buffer format for a colour depth: the first candidate for
  // which the adapter lists a mode of width × height; D3DFMT_UNKNOWN when none.
  static D3DFORMAT ChooseFullScreenFormat(IDirect3D9* direct3D, int colourDepth, int width,
                                          int height);

  IDirect3D9* direct3D = nullptr;
  IDirect3DDevice9* device = nullptr;
  D3DCAPS9 caps{};
  D3DPRESENT_PARAMETERS presentParams{};
  std::vector<DeviceResource*> deviceObjects;  // not owned
  RenderStateSet stateCache;
  float clearColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
  ID3DXSprite* sprite = nullptr;

 private:
  void NotifySceneOfReset();
  void (*resetListener)() = nullptr;
};

extern GraphicsDevice* g_graphicsDevice;
