// The sprite batch on top of the device: Begin sets the 2D state (saving what it changes
// unless told not to), Draw turns each cut-out into a transformed quad, Flush/End send
// runs of quads that share a texture in one DrawPrimitiveUP each. Every call of the
// batch itself is written to the headless call log as "ID3DXSprite::<call>".
#include "platform/d3dx9/D3DX9Sprite.h"

#include <algorithm>
#include <vector>

#include "platform/d3d9/D3D9Headless.h"

namespace {

using platform::d3d9::Record;

constexpr DWORD kSpriteFVF = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr DWORD kAlphaCmpGreater = 0x10;       // D3DPCMPCAPS_GREATER
constexpr DWORD kMinAnisotropic = 0x00000400;  // D3DPTFILTERCAPS_MINFANISOTROPIC
constexpr DWORD kMagAnisotropic = 0x04000000;  // D3DPTFILTERCAPS_MAGFANISOTROPIC
constexpr DWORD kMipLinear = 0x00020000;       // D3DPTFILTERCAPS_MIPFLINEAR
constexpr auto kAdaptiveTessellation = static_cast<D3DRENDERSTATETYPE>(184);

struct SpriteVertex {
  float x, y, z;
  D3DCOLOR colour;
  float u, v;
};
static_assert(sizeof(SpriteVertex) == 24);

struct Quad {
  IDirect3DTexture9* texture;  // holds a reference until the quad is sent
  SpriteVertex corners[4];
};

class Sprite9 final : public RefCounted<ID3DXSprite> {
 public:
  explicit Sprite9(IDirect3DDevice9* device) : device_(device) {
    device_->AddRef();
    D3DXMatrixIdentity(&transform_);
  }
  ~Sprite9() override {
    ReleaseQueue();
    RestoreState();
    device_->Release();
  }

  HRESULT GetDevice(IDirect3DDevice9** device) override {
    if (!device) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *device = device_;
    return D3D_OK;
  }

  HRESULT GetTransform(D3DXMATRIX* transform) override {
    if (!transform) return D3DERR_INVALIDCALL;
    *transform = transform_;
    return D3D_OK;
  }

  HRESULT SetTransform(const D3DXMATRIX* transform) override {
    if (!transform) return D3DERR_INVALIDCALL;
    Record("ID3DXSprite::SetTransform", {}, nullptr, &transform->_11, 16);
    transform_ = *transform;
    return D3D_OK;
  }

  HRESULT Begin(DWORD flags) override {
    Record("ID3DXSprite::Begin", {flags});
    if (begun_) return D3DERR_INVALIDCALL;
    flags_ = flags;
    begun_ = true;
    if (!(flags & D3DXSPRITE_DONOTMODIFY_RENDERSTATE)) SetStates();
    return D3D_OK;
  }

  HRESULT Draw(IDirect3DTexture9* texture, const RECT* srcRect, const D3DXVECTOR3* center,
               const D3DXVECTOR3* position, D3DCOLOR colour) override {
    const D3DXVECTOR3 c = center ? *center : D3DXVECTOR3();
    const D3DXVECTOR3 p = position ? *position : D3DXVECTOR3();
    const float values[6] = {c.x, c.y, c.z, p.x, p.y, p.z};
    Record("ID3DXSprite::Draw",
           {srcRect ? 1u : 0u, srcRect ? static_cast<DWORD>(srcRect->left) : 0u,
            srcRect ? static_cast<DWORD>(srcRect->top) : 0u,
            srcRect ? static_cast<DWORD>(srcRect->right) : 0u,
            srcRect ? static_cast<DWORD>(srcRect->bottom) : 0u, colour},
           texture, values, 6);
    if (!texture || !begun_) return D3DERR_INVALIDCALL;

    D3DSURFACE_DESC desc{};
    if (FAILED(texture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0)
      return D3DERR_INVALIDCALL;
    RECT r = srcRect ? *srcRect
                     : RECT{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
    const float w = static_cast<float>(r.right - r.left);
    const float h = static_cast<float>(r.bottom - r.top);
    const float x0 = p.x - c.x, y0 = p.y - c.y, z = p.z - c.z;
    const float u0 = static_cast<float>(r.left) / desc.Width;
    const float u1 = static_cast<float>(r.right) / desc.Width;
    const float v0 = static_cast<float>(r.top) / desc.Height;
    const float v1 = static_cast<float>(r.bottom) / desc.Height;
    const float corners[4][4] = {
        {x0, y0, u0, v0}, {x0 + w, y0, u1, v0}, {x0 + w, y0 + h, u1, v1}, {x0, y0 + h, u0, v1}};

    Quad quad;
    quad.texture = texture;
    for (int i = 0; i < 4; ++i) {
      const D3DXVECTOR3 in(corners[i][0], corners[i][1], z);
      D3DXVECTOR3 out;
      D3DXVec3TransformCoord(&out, &in, &transform_);
      quad.corners[i] = {out.x, out.y, out.z, colour, corners[i][2], corners[i][3]};
    }
    texture->AddRef();
    queue_.push_back(quad);
    return D3D_OK;
  }

  HRESULT Flush() override {
    Record("ID3DXSprite::Flush", {});
    if (!begun_) return D3DERR_INVALIDCALL;
    return Send();
  }

  HRESULT End() override {
    Record("ID3DXSprite::End", {});
    if (!begun_) return D3DERR_INVALIDCALL;
    const HRESULT hr = Send();
    RestoreState();
    begun_ = false;
    return hr;
  }

  HRESULT OnLostDevice() override {
    Record("ID3DXSprite::OnLostDevice", {});
    // Nothing of the batch lives in device memory; a batch left open is dropped.
    ReleaseQueue();
    if (begun_) {
      RestoreState();
      begun_ = false;
    }
    return D3D_OK;
  }

  HRESULT OnResetDevice() override {
    Record("ID3DXSprite::OnResetDevice", {});
    return D3D_OK;
  }

 private:
  struct SavedState {
    enum Kind { kRender, kStage, kSampler } kind;
    DWORD a, b, value;
  };

  void SetRender(D3DRENDERSTATETYPE state, DWORD value) {
    if (saving_) {
      DWORD old = 0;
      if (SUCCEEDED(device_->GetRenderState(state, &old)))
        saved_.push_back({SavedState::kRender, state, 0, old});
    }
    device_->SetRenderState(state, value);
  }
  void SetStage(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (saving_) {
      DWORD old = 0;
      if (SUCCEEDED(device_->GetTextureStageState(stage, type, &old)))
        saved_.push_back({SavedState::kStage, stage, type, old});
    }
    device_->SetTextureStageState(stage, type, value);
  }
  void SetSampler(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    if (saving_) {
      DWORD old = 0;
      if (SUCCEEDED(device_->GetSamplerState(sampler, type, &old)))
        saved_.push_back({SavedState::kSampler, sampler, type, old});
    }
    device_->SetSamplerState(sampler, type, value);
  }

  void SetStates() {
    saving_ = !(flags_ & D3DXSPRITE_DONOTSAVESTATE);
    saved_.clear();
    D3DCAPS9 caps{};
    device_->GetDeviceCaps(&caps);

    if (saving_) {
      for (int i = 0; i < 3; ++i) device_->GetTransform(kTransforms[i], &savedTransforms_[i]);
      device_->GetFVF(&savedFVF_);
      device_->GetTexture(0, &savedTexture_);  // holds a reference until restored
      hasSavedExtras_ = true;
    }

    SetRender(D3DRS_ALPHABLENDENABLE, TRUE);
    SetRender(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    SetRender(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    SetRender(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    SetRender(D3DRS_ALPHATESTENABLE, (caps.AlphaCmpCaps & kAlphaCmpGreater) ? TRUE : FALSE);
    SetRender(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    SetRender(D3DRS_ALPHAREF, 0);
    SetRender(D3DRS_CLIPPING, TRUE);
    SetRender(D3DRS_CLIPPLANEENABLE, 0);
    SetRender(D3DRS_COLORWRITEENABLE, 0xF);
    SetRender(D3DRS_CULLMODE, D3DCULL_NONE);
    SetRender(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    SetRender(kAdaptiveTessellation, FALSE);
    SetRender(D3DRS_FILLMODE, D3DFILL_SOLID);
    SetRender(D3DRS_FOGENABLE, FALSE);
    SetRender(D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE);
    SetRender(D3DRS_LIGHTING, FALSE);
    SetRender(D3DRS_RANGEFOGENABLE, FALSE);
    SetRender(D3DRS_SEPARATEALPHABLENDENABLE, FALSE);
    SetRender(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    SetRender(D3DRS_SPECULARENABLE, FALSE);
    SetRender(D3DRS_SRGBWRITEENABLE, FALSE);
    SetRender(D3DRS_STENCILENABLE, FALSE);
    SetRender(D3DRS_VERTEXBLEND, 0);  // D3DVBF_DISABLE
    SetRender(D3DRS_WRAP0, 0);

    SetStage(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    SetStage(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    SetStage(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    SetStage(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    SetStage(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    SetStage(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    SetStage(0, D3DTSS_TEXCOORDINDEX, 0);
    SetStage(0, D3DTSS_TEXTURETRANSFORMFLAGS, 0);  // D3DTTFF_DISABLE
    SetStage(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    SetStage(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);

    const bool anisotropic = (caps.TextureFilterCaps & (kMinAnisotropic | kMagAnisotropic)) ==
                             (kMinAnisotropic | kMagAnisotropic);
    const DWORD filter = anisotropic ? D3DTEXF_ANISOTROPIC : D3DTEXF_LINEAR;
    SetSampler(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    SetSampler(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    SetSampler(0, D3DSAMP_MAGFILTER, filter);
    SetSampler(0, D3DSAMP_MINFILTER, filter);
    SetSampler(0, D3DSAMP_MIPFILTER,
               (caps.TextureFilterCaps & kMipLinear) ? D3DTEXF_LINEAR : D3DTEXF_POINT);
    SetSampler(0, D3DSAMP_MAXMIPLEVEL, 0);
    SetSampler(0, D3DSAMP_MIPMAPLODBIAS, 0);
    SetSampler(0, D3DSAMP_SRGBTEXTURE, 0);

    if (!(flags_ & D3DXSPRITE_OBJECTSPACE)) {
      D3DXMATRIX identity;
      D3DXMatrixIdentity(&identity);
      device_->SetTransform(D3DTS_WORLD, &identity);
      device_->SetTransform(D3DTS_VIEW, &identity);
      D3DVIEWPORT9 vp{};
      device_->GetViewport(&vp);
      // One unit is one pixel, origin top-left, y down; the half pixel lines texel
      // centres up with pixel centres under Direct3D's rasterisation rules.
      D3DXMATRIX projection;
      D3DXMatrixOrthoOffCenterLH(&projection, vp.X + 0.5f, vp.X + vp.Width + 0.5f,
                                 vp.Y + vp.Height + 0.5f, vp.Y + 0.5f, vp.MinZ, vp.MaxZ);
      device_->SetTransform(D3DTS_PROJECTION, &projection);
    }
  }

  void RestoreState() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      switch (it->kind) {
        case SavedState::kRender:
          device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(it->a), it->value);
          break;
        case SavedState::kStage:
          device_->SetTextureStageState(it->a, static_cast<D3DTEXTURESTAGESTATETYPE>(it->b),
                                        it->value);
          break;
        case SavedState::kSampler:
          device_->SetSamplerState(it->a, static_cast<D3DSAMPLERSTATETYPE>(it->b), it->value);
          break;
      }
    }
    saved_.clear();
    if (hasSavedExtras_) {
      for (int i = 0; i < 3; ++i) device_->SetTransform(kTransforms[i], &savedTransforms_[i]);
      device_->SetFVF(savedFVF_);
      device_->SetTexture(0, savedTexture_);
      if (savedTexture_) savedTexture_->Release();
      savedTexture_ = nullptr;
      hasSavedExtras_ = false;
    }
  }

  HRESULT Send() {
    HRESULT result = D3D_OK;
    if (!queue_.empty()) {
      device_->SetFVF(kSpriteFVF);
      std::size_t start = 0;
      while (start < queue_.size()) {
        std::size_t end = start + 1;
        while (end < queue_.size() && queue_[end].texture == queue_[start].texture) ++end;
        vertices_.clear();
        for (std::size_t q = start; q < end; ++q) {
          const SpriteVertex* v = queue_[q].corners;
          for (int i : {0, 1, 2, 3, 0, 2}) vertices_.push_back(v[i]);
        }
        device_->SetTexture(0, queue_[start].texture);
        const HRESULT hr =
            device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>((end - start) * 2),
                                     vertices_.data(), sizeof(SpriteVertex));
        if (FAILED(hr)) result = hr;
        start = end;
      }
      // The device must not keep pointing at a texture that may be released next.
      device_->SetTexture(0, nullptr);
    }
    ReleaseQueue();
    return result;
  }

  void ReleaseQueue() {
    for (Quad& q : queue_) q.texture->Release();
    queue_.clear();  // keeps its capacity: no allocation per frame once warmed up
  }

  static constexpr D3DTRANSFORMSTATETYPE kTransforms[3] = {D3DTS_WORLD, D3DTS_VIEW,
                                                           D3DTS_PROJECTION};

  IDirect3DDevice9* device_;  // holds a reference
  D3DXMATRIX transform_;
  bool begun_ = false;
  DWORD flags_ = 0;
  bool saving_ = false;
  std::vector<SavedState> saved_;
  D3DMATRIX savedTransforms_[3] = {};
  DWORD savedFVF_ = 0;
  IDirect3DBaseTexture9* savedTexture_ = nullptr;
  bool hasSavedExtras_ = false;
  std::vector<Quad> queue_;
  std::vector<SpriteVertex> vertices_;
};

}  // namespace

HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite) {
  if (!device || !sprite) return D3DERR_INVALIDCALL;
  *sprite = new Sprite9(device);
  return D3D_OK;
}
