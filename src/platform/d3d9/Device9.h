// The one implementation of IDirect3DDevice9: keeps every state in memory, writes
// each call into the call log when logging is on, honours injected failures, and
// hands clears, draws and presents to its backend.
#pragma once

#include <memory>

#include "platform/d3d9/Backend.h"

namespace platform::d3d9 {

class Device9 final : public RefCounted<IDirect3DDevice9> {
 public:
  // Takes ownership of the backend, which has already been created for the window.
  Device9(RenderBackend* backend, const D3DPRESENT_PARAMETERS& params, const D3DCAPS9& caps);
  ~Device9() override;

  HRESULT TestCooperativeLevel() override;
  HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
  HRESULT Present(const RECT* src, const RECT* dst, HWND override, const void* dirty) override;
  HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD count, const void* rects, DWORD flags, D3DCOLOR colour, float z,
                DWORD stencil) override;
  HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
  HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
  HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
  HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
  HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
  HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
  HRESULT GetLight(DWORD index, D3DLIGHT9* light) override;
  HRESULT LightEnable(DWORD index, BOOL enable) override;
  HRESULT GetLightEnable(DWORD index, BOOL* enable) override;
  HRESULT SetMaterial(const D3DMATERIAL9* material) override;
  HRESULT GetMaterial(D3DMATERIAL9* material) override;
  HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
  HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
  HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                        D3DPOOL pool, IDirect3DTexture9** texture, void* sharedHandle) override;
  HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             IDirect3DVertexBuffer9** buffer, void* sharedHandle) override;
  HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                            IDirect3DIndexBuffer9** buffer, void* sharedHandle) override;
  HRESULT SetFVF(DWORD fvf) override;
  HRESULT GetFVF(DWORD* fvf) override;
  HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                          UINT stride) override;
  HRESULT SetIndices(IDirect3DIndexBuffer9* buffer) override;
  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex,
                               UINT numVertices, UINT startIndex, UINT primitiveCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertices,
                          UINT stride) override;
  HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                 UINT primitiveCount, const void* indices,
                                 D3DFORMAT indexFormat, const void* vertices,
                                 UINT stride) override;

  // The kept layer (see RenderBackend): only inside a scene, on a device that is not lost,
  // with a viewport covering the whole back buffer.
  bool SaveLayer();
  bool RestoreLayer();
  void DropLayer();

  RenderBackend& Backend() { return *backend_; }
  const DeviceState& State() const { return state_; }

 private:
  void ResetStateToDefaults();
  bool Lost();  // true while draws must be dropped
  bool LayerUsable();
  void ReleaseBindings();

  std::unique_ptr<RenderBackend> backend_;
  D3DPRESENT_PARAMETERS params_;
  D3DCAPS9 caps_;
  DeviceState state_;
  bool inScene_ = false;
  HRESULT lossState_ = D3D_OK;
};

// Vertices covered by `primitiveCount` primitives of the given type.
UINT VertexCountFor(D3DPRIMITIVETYPE type, UINT primitiveCount);

}  // namespace platform::d3d9
