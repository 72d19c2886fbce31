#include "platform/d3d9/Device9.h"

#include <cstring>

#include "platform/d3d9/D3D9Defaults.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/d3d9/Layer.h"

namespace platform::d3d9 {

namespace {

D3DMATRIX Identity() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1.0f;
  return m;
}

DWORD Bits(float f) { return FloatToDWORD(f); }

// Records a call and tells whether an injected failure applies to it.
bool RecordAndCheck(const char* name, std::initializer_list<DWORD> args,
                    const void* object = nullptr, const float* values = nullptr,
                    int valueCount = 0) {
  Record(name, args, object, values, valueCount);
  return Log().ShouldFail(name);
}

}  // namespace

UINT VertexCountFor(D3DPRIMITIVETYPE type, UINT n) {
  switch (type) {
    case D3DPT_POINTLIST: return n;
    case D3DPT_LINELIST: return n * 2;
    case D3DPT_LINESTRIP: return n + 1;
    case D3DPT_TRIANGLELIST: return n * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return n + 2;
  }
  return 0;
}

Device9::Device9(RenderBackend* backend, const D3DPRESENT_PARAMETERS& params,
                 const D3DCAPS9& caps)
    : backend_(backend), params_(params), caps_(caps) {
  ResetStateToDefaults();
}

Device9::~Device9() {
  Record("DeviceDestroyed", {});
  ReleaseBindings();
  backend_.reset();
}

void Device9::ReleaseBindings() {
  for (auto& t : state_.textures) {
    if (t) t->Release();
    t = nullptr;
  }
  if (state_.stream) state_.stream->Release();
  state_.stream = nullptr;
  if (state_.indices) state_.indices->Release();
  state_.indices = nullptr;
}

void Device9::ResetStateToDefaults() {
  ReleaseBindings();
  DeviceState fresh;
  for (DWORD s = 0; s < kD3DRenderStateCount; ++s) {
    DWORD v = 0;
    if (DefaultRenderState(s, &v)) fresh.renderStates[s] = v;
  }
  // Depth testing follows whether the device has a depth buffer.
  fresh.renderStates[D3DRS_ZENABLE] = params_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  for (int i = 0; i < kMaxStages; ++i) {
    for (DWORD t = 0; t < kD3DSamplerStateCount; ++t) {
      DWORD v = 0;
      if (DefaultSamplerState(t, &v)) fresh.samplerStates[i][t] = v;
    }
    for (DWORD t = 0; t < kD3DTextureStageStateCount; ++t) {
      DWORD v = 0;
      if (DefaultTextureStageState(static_cast<DWORD>(i), t, &v)) fresh.stageStates[i][t] = v;
    }
    fresh.textureTransforms[i] = Identity();
  }
  fresh.world = fresh.view = fresh.projection = Identity();
  fresh.material.Diffuse = {1, 1, 1, 1};
  fresh.material.Ambient = {1, 1, 1, 1};
  fresh.viewport = {0, 0, params_.BackBufferWidth, params_.BackBufferHeight, 0.0f, 1.0f};
  fresh.lightsVersion = state_.lightsVersion + 1;
  fresh.transformVersion = state_.transformVersion + 1;
  state_ = fresh;
}

bool Device9::Lost() { return TestCooperativeLevel() != D3D_OK; }

HRESULT Device9::TestCooperativeLevel() {
  // The device keeps its own loss state: once lost it stays lost until Reset, even if
  // the window came back in between, and even if no one asked while it was away.
  const bool wasAway = backend_->TakeWindowLoss();
  if (backend_->IsWindowLost()) {
    lossState_ = D3DERR_DEVICELOST;
  } else if (lossState_ == D3DERR_DEVICELOST || wasAway) {
    lossState_ = D3DERR_DEVICENOTRESET;
  }
  return lossState_;
}

HRESULT Device9::Reset(D3DPRESENT_PARAMETERS* params) {
  if (RecordAndCheck("Reset", {params ? params->BackBufferWidth : 0u,
                               params ? params->BackBufferHeight : 0u,
                               params ? static_cast<DWORD>(params->BackBufferFormat) : 0u,
                               params ? static_cast<DWORD>(params->Windowed) : 0u}))
    return D3DERR_INVALIDCALL;
  if (!params) return D3DERR_INVALIDCALL;
  if (backend_->IsWindowLost()) {
    lossState_ = D3DERR_DEVICELOST;
    return D3DERR_DEVICELOST;
  }
  // This reset answers any spell away so far.
  backend_->TakeWindowLoss();
  if (!backend_->Reset(*params)) return D3DERR_NOTAVAILABLE;
  params_ = *params;
  lossState_ = D3D_OK;
  inScene_ = false;
  ResetStateToDefaults();
  return D3D_OK;
}

HRESULT Device9::Present(const RECT*, const RECT*, HWND, const void*) {
  if (RecordAndCheck("Present", {})) return D3DERR_DEVICELOST;
  if (Lost()) return D3DERR_DEVICELOST;
  return backend_->Present() ? D3D_OK : D3DERR_DEVICELOST;
}

HRESULT Device9::GetDeviceCaps(D3DCAPS9* caps) {
  if (!caps) return D3DERR_INVALIDCALL;
  *caps = caps_;
  return D3D_OK;
}

HRESULT Device9::BeginScene() {
  if (RecordAndCheck("BeginScene", {})) return D3DERR_INVALIDCALL;
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  return D3D_OK;
}

HRESULT Device9::EndScene() {
  if (RecordAndCheck("EndScene", {})) return D3DERR_INVALIDCALL;
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  return D3D_OK;
}

bool Device9::LayerUsable() {
  const D3DVIEWPORT9& vp = state_.viewport;
  return inScene_ && !Lost() && vp.X == 0 && vp.Y == 0 && vp.Width >= params_.BackBufferWidth &&
         vp.Height >= params_.BackBufferHeight;
}

bool Device9::SaveLayer() {
  if (RecordAndCheck("SaveLayer", {})) return false;
  return LayerUsable() && backend_->SaveLayer(state_);
}

bool Device9::RestoreLayer() {
  if (RecordAndCheck("RestoreLayer", {})) return false;
  return LayerUsable() && backend_->RestoreLayer(state_);
}

void Device9::DropLayer() {
  if (RecordAndCheck("DropLayer", {})) return;
  backend_->DropLayer();
}

bool SaveLayer(IDirect3DDevice9* device) {
  return device && static_cast<Device9*>(device)->SaveLayer();
}

bool RestoreLayer(IDirect3DDevice9* device) {
  return device && static_cast<Device9*>(device)->RestoreLayer();
}

void DropLayer(IDirect3DDevice9* device) {
  if (device) static_cast<Device9*>(device)->DropLayer();
}

HRESULT Device9::Clear(DWORD count, const void* rects, DWORD flags, D3DCOLOR colour, float z,
                       DWORD stencil) {
  if (RecordAndCheck("Clear", {count, flags, colour, Bits(z), stencil}, rects))
    return D3DERR_INVALIDCALL;
  if (Lost()) return D3D_OK;  // work is dropped while lost
  backend_->Clear(state_, flags, colour, z, stencil);
  return D3D_OK;
}

HRESULT Device9::SetViewport(const D3DVIEWPORT9* vp) {
  if (!vp) return D3DERR_INVALIDCALL;
  if (RecordAndCheck("SetViewport", {vp->X, vp->Y, vp->Width, vp->Height, Bits(vp->MinZ),
                                     Bits(vp->MaxZ)}))
    return D3DERR_INVALIDCALL;
  state_.viewport = *vp;
  return D3D_OK;
}

HRESULT Device9::GetViewport(D3DVIEWPORT9* vp) {
  if (!vp) return D3DERR_INVALIDCALL;
  *vp = state_.viewport;
  return D3D_OK;
}

HRESULT Device9::SetRenderState(D3DRENDERSTATETYPE s, DWORD value) {
  if (RecordAndCheck("SetRenderState", {static_cast<DWORD>(s), value})) return D3DERR_INVALIDCALL;
  if (s >= kD3DRenderStateCount) return D3DERR_INVALIDCALL;
  state_.renderStates[s] = value;
  return D3D_OK;
}

HRESULT Device9::GetRenderState(D3DRENDERSTATETYPE s, DWORD* value) {
  if (!value || s >= kD3DRenderStateCount) return D3DERR_INVALIDCALL;
  *value = state_.renderStates[s];
  return D3D_OK;
}

HRESULT Device9::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
  if (RecordAndCheck("SetSamplerState", {sampler, static_cast<DWORD>(type), value}))
    return D3DERR_INVALIDCALL;
  if (sampler >= kMaxStages || type >= kD3DSamplerStateCount) return D3DERR_INVALIDCALL;
  state_.samplerStates[sampler][type] = value;
  return D3D_OK;
}

HRESULT Device9::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
  if (!value || sampler >= kMaxStages || type >= kD3DSamplerStateCount) return D3DERR_INVALIDCALL;
  *value = state_.samplerStates[sampler][type];
  return D3D_OK;
}

HRESULT Device9::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
  if (RecordAndCheck("SetTextureStageState", {stage, static_cast<DWORD>(type), value}))
    return D3DERR_INVALIDCALL;
  if (stage >= kMaxStages || type >= kD3DTextureStageStateCount) return D3DERR_INVALIDCALL;
  state_.stageStates[stage][type] = value;
  return D3D_OK;
}

HRESULT Device9::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
  if (!value || stage >= kMaxStages || type >= kD3DTextureStageStateCount)
    return D3DERR_INVALIDCALL;
  *value = state_.stageStates[stage][type];
  return D3D_OK;
}

HRESULT Device9::SetTransform(D3DTRANSFORMSTATETYPE which, const D3DMATRIX* m) {
  if (!m) return D3DERR_INVALIDCALL;
  if (RecordAndCheck("SetTransform", {static_cast<DWORD>(which)}, nullptr, &m->_11, 16))
    return D3DERR_INVALIDCALL;
  D3DMATRIX* slot = nullptr;
  switch (which) {
    case D3DTS_WORLD: slot = &state_.world; break;
    case D3DTS_VIEW: slot = &state_.view; break;
    case D3DTS_PROJECTION: slot = &state_.projection; break;
    default:
      if (which >= D3DTS_TEXTURE0 && which < D3DTS_TEXTURE0 + kMaxStages) {
        slot = &state_.textureTransforms[which - D3DTS_TEXTURE0];
        break;
      }
      return D3DERR_INVALIDCALL;
  }
  // Setting the matrix already in force is no change for a backend to act on.
  if (std::memcmp(slot, m, sizeof *slot) == 0) return D3D_OK;
  *slot = *m;
  ++state_.transformVersion;
  return D3D_OK;
}

HRESULT Device9::GetTransform(D3DTRANSFORMSTATETYPE which, D3DMATRIX* m) {
  if (!m) return D3DERR_INVALIDCALL;
  switch (which) {
    case D3DTS_WORLD: *m = state_.world; return D3D_OK;
    case D3DTS_VIEW: *m = state_.view; return D3D_OK;
    case D3DTS_PROJECTION: *m = state_.projection; return D3D_OK;
    default:
      if (which >= D3DTS_TEXTURE0 && which < D3DTS_TEXTURE0 + kMaxStages) {
        *m = state_.textureTransforms[which - D3DTS_TEXTURE0];
        return D3D_OK;
      }
      return D3DERR_INVALIDCALL;
  }
}

HRESULT Device9::SetLight(DWORD index, const D3DLIGHT9* light) {
  if (!light) return D3DERR_INVALIDCALL;
  const float values[] = {light->Diffuse.r,   light->Diffuse.g,   light->Diffuse.b,
                          light->Diffuse.a,   light->Position.x,  light->Position.y,
                          light->Position.z,  light->Direction.x, light->Direction.y,
                          light->Direction.z, light->Ambient.r,   light->Ambient.g,
                          light->Ambient.b,   light->Specular.r,  light->Specular.g,
                          light->Specular.b};
  if (RecordAndCheck("SetLight", {index, static_cast<DWORD>(light->Type)}, nullptr, values, 16))
    return D3DERR_INVALIDCALL;
  if (index >= kMaxLights) return D3DERR_INVALIDCALL;
  state_.lights[index].light = *light;
  state_.lights[index].set = true;
  ++state_.lightsVersion;
  return D3D_OK;
}

HRESULT Device9::GetLight(DWORD index, D3DLIGHT9* light) {
  if (!light || index >= kMaxLights || !state_.lights[index].set) return D3DERR_INVALIDCALL;
  *light = state_.lights[index].light;
  return D3D_OK;
}

HRESULT Device9::LightEnable(DWORD index, BOOL enable) {
  if (RecordAndCheck("LightEnable", {index, static_cast<DWORD>(enable)}))
    return D3DERR_INVALIDCALL;
  if (index >= kMaxLights) return D3DERR_INVALIDCALL;
  auto& slot = state_.lights[index];
  if (!slot.set) {
    // Enabling a light never set gives Direct3D's default white directional light.
    slot.light = D3DLIGHT9{};
    slot.light.Type = D3DLIGHT_DIRECTIONAL;
    slot.light.Diffuse = {1, 1, 1, 0};
    slot.light.Direction = {0, 0, 1};
    slot.set = true;
  }
  slot.enabled = enable != 0;
  ++state_.lightsVersion;
  return D3D_OK;
}

HRESULT Device9::GetLightEnable(DWORD index, BOOL* enable) {
  if (!enable || index >= kMaxLights || !state_.lights[index].set) return D3DERR_INVALIDCALL;
  *enable = state_.lights[index].enabled ? TRUE : FALSE;
  return D3D_OK;
}

HRESULT Device9::SetMaterial(const D3DMATERIAL9* material) {
  if (!material) return D3DERR_INVALIDCALL;
  const float values[] = {material->Diffuse.r,  material->Diffuse.g,  material->Diffuse.b,
                          material->Diffuse.a,  material->Ambient.r,  material->Ambient.g,
                          material->Ambient.b,  material->Ambient.a,  material->Specular.r,
                          material->Specular.g, material->Specular.b, material->Specular.a,
                          material->Emissive.r, material->Emissive.g, material->Emissive.b,
                          material->Power};
  if (RecordAndCheck("SetMaterial", {}, nullptr, values, 16)) return D3DERR_INVALIDCALL;
  state_.material = *material;
  return D3D_OK;
}

HRESULT Device9::GetMaterial(D3DMATERIAL9* material) {
  if (!material) return D3DERR_INVALIDCALL;
  *material = state_.material;
  return D3D_OK;
}

HRESULT Device9::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
  if (RecordAndCheck("SetTexture", {stage}, texture)) return D3DERR_INVALIDCALL;
  if (stage >= kMaxStages) return D3DERR_INVALIDCALL;
  auto* t = static_cast<Texture9*>(texture);
  if (t) t->AddRef();
  if (state_.textures[stage]) state_.textures[stage]->Release();
  state_.textures[stage] = t;
  return D3D_OK;
}

HRESULT Device9::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
  if (!texture || stage >= kMaxStages) return D3DERR_INVALIDCALL;
  *texture = state_.textures[stage];
  if (*texture) (*texture)->AddRef();
  return D3D_OK;
}

HRESULT Device9::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                               D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture,
                               void*) {
  if (RecordAndCheck("CreateTexture", {width, height, levels, usage,
                                       static_cast<DWORD>(format), static_cast<DWORD>(pool)}))
    return D3DERR_OUTOFVIDEOMEMORY;
  if (!texture || width == 0 || height == 0) return D3DERR_INVALIDCALL;
  // Larger than any texture the hardware this stands in for could hold.
  if (width > caps_.MaxTextureWidth || height > caps_.MaxTextureHeight)
    return D3DERR_INVALIDCALL;
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8:
    case D3DFMT_L8: break;
    default: return D3DERR_INVALIDCALL;
  }
  *texture = new Texture9(this, width, height, levels, usage, format, pool);
  return D3D_OK;
}

HRESULT Device9::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                    IDirect3DVertexBuffer9** buffer, void*) {
  if (RecordAndCheck("CreateVertexBuffer", {length, usage, fvf, static_cast<DWORD>(pool)}))
    return D3DERR_OUTOFVIDEOMEMORY;
  if (!buffer || length == 0) return D3DERR_INVALIDCALL;
  *buffer = new VertexBuffer9(this, length, usage, fvf, pool);
  return D3D_OK;
}

HRESULT Device9::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                   IDirect3DIndexBuffer9** buffer, void*) {
  if (RecordAndCheck("CreateIndexBuffer", {length, usage, static_cast<DWORD>(format),
                                           static_cast<DWORD>(pool)}))
    return D3DERR_OUTOFVIDEOMEMORY;
  if (!buffer || length == 0) return D3DERR_INVALIDCALL;
  if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
  *buffer = new IndexBuffer9(this, length, usage, format, pool);
  return D3D_OK;
}

HRESULT Device9::SetFVF(DWORD fvf) {
  if (RecordAndCheck("SetFVF", {fvf})) return D3DERR_INVALIDCALL;
  state_.fvf = fvf;
  return D3D_OK;
}

HRESULT Device9::GetFVF(DWORD* fvf) {
  if (!fvf) return D3DERR_INVALIDCALL;
  *fvf = state_.fvf;
  return D3D_OK;
}

HRESULT Device9::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset,
                                 UINT stride) {
  if (RecordAndCheck("SetStreamSource", {stream, offset, stride}, buffer))
    return D3DERR_INVALIDCALL;
  if (stream != 0) return D3DERR_INVALIDCALL;
  auto* b = static_cast<VertexBuffer9*>(buffer);
  if (b) b->AddRef();
  if (state_.stream) state_.stream->Release();
  state_.stream = b;
  state_.streamOffset = offset;
  state_.streamStride = stride;
  return D3D_OK;
}

HRESULT Device9::SetIndices(IDirect3DIndexBuffer9* buffer) {
  if (RecordAndCheck("SetIndices", {}, buffer)) return D3DERR_INVALIDCALL;
  auto* b = static_cast<IndexBuffer9*>(buffer);
  if (b) b->AddRef();
  if (state_.indices) state_.indices->Release();
  state_.indices = b;
  return D3D_OK;
}

HRESULT Device9::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT count) {
  if (RecordAndCheck("DrawPrimitive", {static_cast<DWORD>(type), startVertex, count}))
    return D3DERR_INVALIDCALL;
  if (!state_.stream || state_.streamStride == 0 || count == 0) return D3DERR_INVALIDCALL;
  const UINT vertices = VertexCountFor(type, count);
  const std::size_t end = state_.streamOffset +
                          (static_cast<std::size_t>(startVertex) + vertices) * state_.streamStride;
  if (end > state_.stream->Length()) return D3DERR_INVALIDCALL;
  if (Lost()) return D3D_OK;
  DrawCall call;
  call.type = type;
  call.primitiveCount = count;
  call.fvf = state_.fvf;
  call.stride = state_.streamStride;
  call.vertexBuffer = state_.stream;
  call.vertexOffset = state_.streamOffset;
  call.startVertex = startVertex;
  call.vertexCount = vertices;
  backend_->Draw(state_, call);
  return D3D_OK;
}

HRESULT Device9::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertex, UINT minIndex,
                                      UINT numVertices, UINT startIndex, UINT count) {
  if (RecordAndCheck("DrawIndexedPrimitive",
                     {static_cast<DWORD>(type), static_cast<DWORD>(baseVertex), minIndex,
                      numVertices, startIndex, count}))
    return D3DERR_INVALIDCALL;
  if (!state_.stream || !state_.indices || state_.streamStride == 0 || count == 0)
    return D3DERR_INVALIDCALL;
  const UINT indexSize = state_.indices->Format() == D3DFMT_INDEX32 ? 4 : 2;
  const std::size_t indexEnd =
      (static_cast<std::size_t>(startIndex) + VertexCountFor(type, count)) * indexSize;
  if (indexEnd > state_.indices->Length()) return D3DERR_INVALIDCALL;
  if (Lost()) return D3D_OK;
  DrawCall call;
  call.type = type;
  call.primitiveCount = count;
  call.fvf = state_.fvf;
  call.stride = state_.streamStride;
  call.vertexBuffer = state_.stream;
  call.vertexOffset = state_.streamOffset;
  call.baseVertex = baseVertex;
  call.minIndex = minIndex;
  call.vertexCount = numVertices;
  call.indexBuffer = state_.indices;
  call.indexFormat = state_.indices->Format();
  call.startIndex = startIndex;
  backend_->Draw(state_, call);
  return D3D_OK;
}

HRESULT Device9::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* vertices,
                                 UINT stride) {
  if (RecordAndCheck("DrawPrimitiveUP", {static_cast<DWORD>(type), count, stride}, vertices))
    return D3DERR_INVALIDCALL;
  if (!vertices || stride == 0 || count == 0) return D3DERR_INVALIDCALL;
  // As Direct3D does, drawing from user memory unbinds stream 0.
  if (state_.stream) state_.stream->Release();
  state_.stream = nullptr;
  if (Lost()) return D3D_OK;
  DrawCall call;
  call.type = type;
  call.primitiveCount = count;
  call.fvf = state_.fvf;
  call.stride = stride;
  call.userVertices = static_cast<const BYTE*>(vertices);
  call.vertexCount = VertexCountFor(type, count);
  backend_->Draw(state_, call);
  return D3D_OK;
}

HRESULT Device9::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minIndex, UINT numVertices,
                                        UINT count, const void* indices, D3DFORMAT indexFormat,
                                        const void* vertices, UINT stride) {
  if (RecordAndCheck("DrawIndexedPrimitiveUP",
                     {static_cast<DWORD>(type), minIndex, numVertices, count,
                      static_cast<DWORD>(indexFormat), stride},
                     vertices))
    return D3DERR_INVALIDCALL;
  if (!vertices || !indices || stride == 0 || count == 0) return D3DERR_INVALIDCALL;
  if (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32) return D3DERR_INVALIDCALL;
  if (state_.stream) state_.stream->Release();
  state_.stream = nullptr;
  if (state_.indices) state_.indices->Release();
  state_.indices = nullptr;
  if (Lost()) return D3D_OK;
  DrawCall call;
  call.type = type;
  call.primitiveCount = count;
  call.fvf = state_.fvf;
  call.stride = stride;
  call.userVertices = static_cast<const BYTE*>(vertices);
  call.vertexCount = numVertices;
  call.minIndex = minIndex;
  call.userIndices = static_cast<const BYTE*>(indices);
  call.indexFormat = indexFormat;
  backend_->Draw(state_, call);
  return D3D_OK;
}

}  // namespace platform::d3d9
