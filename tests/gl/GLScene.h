// Small helpers for the OpenGL device tests: vertex layouts, hand-built matrices (so the
// tests do not lean on the maths library they would also be testing) and quad drawing.
#pragma once

#include <cmath>

#include "platform/d3d9/D3D9.h"

namespace gltest {

struct ScreenVertex {  // D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1
  float x, y, z, rhw;
  DWORD colour;
  float u, v;
};
constexpr DWORD kScreenFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct ColourVertex {  // D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1
  float x, y, z;
  DWORD colour;
  float u, v;
};
constexpr DWORD kColourFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct LitVertex {  // D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1
  float x, y, z;
  float nx, ny, nz;
  float u, v;
};
constexpr DWORD kLitFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;

inline D3DMATRIX Identity() {
  D3DMATRIX m{};
  m._11 = m._22 = m._33 = m._44 = 1;
  return m;
}

inline D3DMATRIX Translation(float x, float y, float z) {
  D3DMATRIX m = Identity();
  m._41 = x;
  m._42 = y;
  m._43 = z;
  return m;
}

// Left-handed perspective: z from zn..zf maps to 0..1.
inline D3DMATRIX PerspectiveLH(float fovy, float aspect, float zn, float zf) {
  D3DMATRIX m{};
  const float ys = 1.0f / std::tan(fovy / 2);
  m._11 = ys / aspect;
  m._22 = ys;
  m._33 = zf / (zf - zn);
  m._34 = 1;
  m._43 = -zn * zf / (zf - zn);
  return m;
}

// Screen pixels (y down) with z 0..1, as a sprite batch sets it up.
inline D3DMATRIX PixelOrtho(float w, float h) {
  D3DMATRIX m{};
  m._11 = 2 / w;
  m._22 = -2 / h;
  m._33 = 1;
  m._41 = -1;
  m._42 = 1;
  m._44 = 1;
  return m;
}

// A quad in pixels, two clockwise triangles as a strip.
inline void DrawScreenQuad(IDirect3DDevice9* d, float x0, float y0, float x1, float y1,
                           DWORD colour, float z = 0.5f, float u1 = 1, float v1 = 1) {
  const ScreenVertex v[4] = {{x0, y0, z, 1, colour, 0, 0},
                             {x1, y0, z, 1, colour, u1, 0},
                             {x0, y1, z, 1, colour, 0, v1},
                             {x1, y1, z, 1, colour, u1, v1}};
  d->SetFVF(kScreenFvf);
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ScreenVertex));
}

// A quad in the plane z = const, y up, clockwise as seen from -z.
inline void DrawWorldQuad(IDirect3DDevice9* d, float x0, float y0, float x1, float y1, float z,
                          DWORD colour) {
  const ColourVertex v[4] = {{x0, y1, z, colour, 0, 0},
                             {x1, y1, z, colour, 1, 0},
                             {x0, y0, z, colour, 0, 1},
                             {x1, y0, z, colour, 1, 1}};
  d->SetFVF(kColourFvf);
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(ColourVertex));
}

// Lighting, depth and culling off, so a test sees exactly the colours it draws.
inline void PlainStates(IDirect3DDevice9* d) {
  d->SetRenderState(D3DRS_LIGHTING, FALSE);
  d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

}  // namespace gltest
