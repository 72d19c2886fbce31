// ID3DXSprite: the batch through which all 2D drawing goes. Draw queues textured,
// tinted quads in back-buffer pixels; End (or Flush) sends them to the device in
// submission order, consecutive quads of one texture in one draw call.
#pragma once

#include "platform/d3d9/D3D9.h"
#include "platform/d3dx9/D3DX9Math.h"

constexpr DWORD D3DXSPRITE_DONOTSAVESTATE = 0x1;
constexpr DWORD D3DXSPRITE_DONOTMODIFY_RENDERSTATE = 0x2;
constexpr DWORD D3DXSPRITE_OBJECTSPACE = 0x4;
constexpr DWORD D3DXSPRITE_BILLBOARD = 0x8;
constexpr DWORD D3DXSPRITE_ALPHABLEND = 0x10;
constexpr DWORD D3DXSPRITE_SORT_TEXTURE = 0x20;

class ID3DXSprite : public IUnknown {
 public:
  virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
  virtual HRESULT GetTransform(D3DXMATRIX* transform) = 0;
  virtual HRESULT SetTransform(const D3DXMATRIX* transform) = 0;
  virtual HRESULT Begin(DWORD flags) = 0;
  virtual HRESULT Draw(IDirect3DTexture9* texture, const RECT* srcRect, const D3DXVECTOR3* center,
                       const D3DXVECTOR3* position, D3DCOLOR colour) = 0;
  virtual HRESULT Flush() = 0;
  virtual HRESULT End() = 0;
  virtual HRESULT OnLostDevice() = 0;
  virtual HRESULT OnResetDevice() = 0;
};

// Fails with D3DERR_INVALIDCALL when device or out is null.
HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite);
