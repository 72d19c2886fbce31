// Drawing with the fixed-function pipeline: the device state turned into GL state (only
// what changed is sent), vertex and index sources, and textures uploaded when bound.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/d3d9/Device9.h"
#include "platform/d3d9/gl/GLBackend.h"

namespace platform::d3d9::gl {

namespace {

constexpr DWORD kTTFFProjected = 256;  // D3DTTFF_PROJECTED
// Stencil render states, by their Direct3D numbers.
constexpr DWORD kStencilFail = 53, kStencilZFail = 54, kStencilPass = 55, kStencilFunc = 56,
                kStencilRef = 57, kStencilMask = 58, kStencilWriteMask = 59;
constexpr float kPi = 3.14159265358979f;
// Direct3D's pixel centres are on whole numbers, GL's half a pixel further right and down
// (as seen). The shift stops just short of half a pixel so that edges on whole numbers fall
// the way Direct3D's top-left rule has them, not onto GL's ties, which break the other way
// vertically.
constexpr float kCentreShift = 0.5f - 1.0f / 128.0f;

GLenum CompareFunc(DWORD cmp) {
  switch (cmp) {
    case D3DCMP_NEVER:
      return GL_NEVER;
    case D3DCMP_LESS:
      return GL_LESS;
    case D3DCMP_EQUAL:
      return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
      return GL_LEQUAL;
    case D3DCMP_GREATER:
      return GL_GREATER;
    case D3DCMP_NOTEQUAL:
      return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
      return GL_GEQUAL;
    default:
      return GL_ALWAYS;
  }
}

GLenum BlendFactor(DWORD blend) {
  switch (blend) {
    case D3DBLEND_ZERO:
      return GL_ZERO;
    case D3DBLEND_ONE:
      return GL_ONE;
    case D3DBLEND_SRCCOLOR:
      return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR:
      return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA:
      return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA:
      return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA:
      return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA:
      return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR:
      return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR:
      return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT:
      return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR:
      return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR:
      return GL_ONE_MINUS_CONSTANT_COLOR;
    default:
      return GL_ONE;
  }
}

// BOTHSRCALPHA / BOTHINVSRCALPHA set both factors from the source one.
void BlendPair(DWORD src, DWORD dst, GLenum* glSrc, GLenum* glDst) {
  if (src == D3DBLEND_BOTHSRCALPHA) {
    *glSrc = GL_SRC_ALPHA;
    *glDst = GL_ONE_MINUS_SRC_ALPHA;
  } else if (src == D3DBLEND_BOTHINVSRCALPHA) {
    *glSrc = GL_ONE_MINUS_SRC_ALPHA;
    *glDst = GL_SRC_ALPHA;
  } else {
    *glSrc = BlendFactor(src);
    *glDst = BlendFactor(dst);
  }
}

GLenum BlendEquation(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT:
      return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT:
      return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN:
      return GL_MIN;
    case D3DBLENDOP_MAX:
      return GL_MAX;
    default:
      return GL_FUNC_ADD;
  }
}

GLenum StencilOp(DWORD op) {
  switch (op) {
    case 2:
      return GL_ZERO;
    case 3:
      return GL_REPLACE;
    case 4:
      return GL_INCR;
    case 5:
      return GL_DECR;
    case 6:
      return GL_INVERT;
    case 7:
      return GL_INCR_WRAP;
    case 8:
      return GL_DECR_WRAP;
    default:
      return GL_KEEP;
  }
}

GLenum PrimitiveMode(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST:
      return GL_POINTS;
    case D3DPT_LINELIST:
      return GL_LINES;
    case D3DPT_LINESTRIP:
      return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
      return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
      return GL_TRIANGLE_FAN;
    default:
      return GL_TRIANGLES;
  }
}

void ColourToFloats(D3DCOLOR c, GLfloat out[4]) {
  out[0] = ((c >> 16) & 0xFF) / 255.0f;
  out[1] = ((c >> 8) & 0xFF) / 255.0f;
  out[2] = (c & 0xFF) / 255.0f;
  out[3] = ((c >> 24) & 0xFF) / 255.0f;
}

const GLfloat* Floats(const D3DCOLORVALUE& c) {
  return &c.r;
}

// One texture-stage argument as a GL combiner source and operand.
void MapArgument(DWORD arg, bool alpha, GLenum* source, GLenum* operand) {
  switch (arg & D3DTA_SELECTMASK) {
    case D3DTA_DIFFUSE:
      *source = GL_PRIMARY_COLOR;
      break;
    case D3DTA_TEXTURE:
      *source = GL_TEXTURE;
      break;
    case D3DTA_TFACTOR:
    case D3DTA_CONSTANT:
      *source = GL_CONSTANT;
      break;
    // GL's combiners cannot read the specular colour; diffuse is the nearest input.
    case D3DTA_SPECULAR:
      *source = GL_PRIMARY_COLOR;
      break;
    default:
      *source = GL_PREVIOUS;
      break;  // CURRENT, TEMP
  }
  const bool complement = (arg & D3DTA_COMPLEMENT) != 0;
  if (alpha || (arg & D3DTA_ALPHAREPLICATE)) {
    *operand = complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
  } else {
    *operand = complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
  }
}

// One texture-stage operation (colour or alpha) as a GL combiner function.
void MapOperation(DWORD op, DWORD arg1, DWORD arg2, bool alpha, GLenum* mode,
                  std::array<GLenum, 3>* source, std::array<GLenum, 3>* operand, GLfloat* scale) {
  const GLenum srcOperand = alpha ? GL_SRC_ALPHA : GL_SRC_COLOR;
  *scale = 1;
  (*source)[2] = GL_PREVIOUS;
  (*operand)[2] = GL_SRC_ALPHA;
  MapArgument(arg1, alpha, &(*source)[0], &(*operand)[0]);
  MapArgument(arg2, alpha, &(*source)[1], &(*operand)[1]);
  switch (op) {
    case D3DTOP_DISABLE:
      *mode = GL_REPLACE;
      (*source)[0] = GL_PREVIOUS;
      (*operand)[0] = srcOperand;
      break;
    case D3DTOP_SELECTARG1:
      *mode = GL_REPLACE;
      break;
    case D3DTOP_SELECTARG2:
      *mode = GL_REPLACE;
      (*source)[0] = (*source)[1];
      (*operand)[0] = (*operand)[1];
      break;
    case D3DTOP_MODULATE:
      *mode = GL_MODULATE;
      break;
    case D3DTOP_MODULATE2X:
      *mode = GL_MODULATE;
      *scale = 2;
      break;
    case D3DTOP_MODULATE4X:
      *mode = GL_MODULATE;
      *scale = 4;
      break;
    case D3DTOP_ADDSIGNED:
      *mode = GL_ADD_SIGNED;
      break;
    case D3DTOP_ADDSIGNED2X:
      *mode = GL_ADD_SIGNED;
      *scale = 2;
      break;
    case D3DTOP_SUBTRACT:
      *mode = GL_SUBTRACT;
      break;
    case D3DTOP_BLENDDIFFUSEALPHA:
      *mode = GL_INTERPOLATE;
      (*source)[2] = GL_PRIMARY_COLOR;
      break;
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDTEXTUREALPHAPM:
      *mode = GL_INTERPOLATE;
      (*source)[2] = GL_TEXTURE;
      break;
    case D3DTOP_BLENDFACTORALPHA:
      *mode = GL_INTERPOLATE;
      (*source)[2] = GL_CONSTANT;
      break;
    case D3DTOP_BLENDCURRENTALPHA:
      *mode = GL_INTERPOLATE;
      (*source)[2] = GL_PREVIOUS;
      break;
    default:
      *mode = GL_ADD;
      break;  // ADD, and ADDSMOOTH as its nearest
  }
}

bool ReadsTexture(DWORD op, DWORD arg1, DWORD arg2) {
  const bool t1 = (arg1 & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
  const bool t2 = (arg2 & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
  switch (op) {
    case D3DTOP_DISABLE:
      return false;
    case D3DTOP_SELECTARG1:
      return t1;
    case D3DTOP_SELECTARG2:
      return t2;
    case D3DTOP_BLENDTEXTUREALPHA:
    case D3DTOP_BLENDTEXTUREALPHAPM:
      return true;
    default:
      return t1 || t2;
  }
}

// Direct3D's 2D texture coordinates enter the texture matrix as (u, v, 1, 0), GL's as
// (s, t, 0, 1); and GL always divides by the fourth output, Direct3D only when projected.
std::array<float, 16> TextureMatrixFor(const D3DMATRIX& m, DWORD flags, bool twoDInput) {
  D3DMATRIX r = m;
  const DWORD count = flags & 0xFF;
  if (twoDInput) {
    r._41 = m._31;
    r._42 = m._32;
    r._43 = m._33;
    r._44 = m._34;
  }
  if (!(flags & kTTFFProjected)) {
    r._14 = r._24 = r._34 = 0;
    r._44 = 1;
  } else if (count == 3) {
    r._14 = r._13;
    r._24 = r._23;
    r._34 = r._33;
    r._44 = r._43;
  }
  std::array<float, 16> out;
  std::memcpy(out.data(), &r, sizeof out);
  return out;
}

constexpr std::array<float, 16> kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
// GL's fixed-function eye space looks along -z, which sphere maps and the non-local viewer
// rely on. A left-handed camera space (Direct3D's usual one) looks along +z: then the
// modelview ends in this flip and the projection starts by undoing it.
constexpr std::array<float, 16> kFlipZ = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1};

// Whether the projection looks along +z of camera space: w grows with z (perspective) or
// depth does (orthographic).
bool LooksAlongPlusZ(const D3DMATRIX& projection) {
  return projection._34 != 0 ? projection._34 > 0 : projection._33 > 0;
}

}  // namespace

GLBackend::FvfLayout GLBackend::DecodeFvf(DWORD fvf) {
  FvfLayout l;
  int offset = 0;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
      offset = 12;
      break;
    case D3DFVF_XYZRHW:
      offset = 16;
      l.pretransformed = true;
      break;
    case D3DFVF_XYZB1:
      offset = 16;
      break;
    case D3DFVF_XYZB2:
      offset = 20;
      break;
    case D3DFVF_XYZB3:
      offset = 24;
      break;
    case D3DFVF_XYZB4:
      offset = 28;
      break;
    case D3DFVF_XYZB5:
      offset = 32;
      break;
    case D3DFVF_XYZW:
      offset = 16;
      l.positionSize = 4;
      break;
    default:
      return l;  // no position: nothing can be drawn
  }
  if (fvf & D3DFVF_NORMAL) {
    l.normal = offset;
    offset += 12;
  }
  if (fvf & D3DFVF_PSIZE) offset += 4;
  if (fvf & D3DFVF_DIFFUSE) {
    l.diffuse = offset;
    offset += 4;
  }
  if (fvf & D3DFVF_SPECULAR) {
    l.specular = offset;
    offset += 4;
  }
  l.texCount = static_cast<int>(std::min<DWORD>((fvf & D3DFVF_TEXCOUNT_MASK) >> 8, 8));
  for (int i = 0; i < l.texCount; ++i) {
    static constexpr GLint kSizes[4] = {2, 3, 4, 1};
    l.texSize[i] = kSizes[(fvf >> (16 + 2 * i)) & 3];
    l.texOffset[i] = offset;
    offset += 4 * l.texSize[i];
  }
  l.size = static_cast<UINT>(offset);
  l.valid = true;
  return l;
}

namespace {

// The lowest and highest of count indices of indexSize bytes (lo > hi when count is 0).
std::pair<unsigned long long, unsigned long long> IndexRange(const BYTE* bytes, std::size_t count,
                                                              std::size_t indexSize) {
  std::uint32_t lo = 0xFFFFFFFFu, hi = 0;
  if (indexSize == 4) {
    for (std::size_t i = 0; i < count; ++i) {
      std::uint32_t v;
      std::memcpy(&v, bytes + 4 * i, 4);
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      std::uint16_t v;
      std::memcpy(&v, bytes + 2 * i, 2);
      lo = std::min<std::uint32_t>(lo, v);
      hi = std::max<std::uint32_t>(hi, v);
    }
  }
  if (count == 0) return {1, 0};
  return {lo, hi};
}

// The smallest and largest x, y and z of the positions of vertices [first, last].
void PositionBounds(const BYTE* vertices, UINT stride, std::size_t first, std::size_t last,
                    float lo[3], float hi[3]) {
  for (int k = 0; k < 3; ++k) {
    lo[k] = std::numeric_limits<float>::max();
    hi[k] = std::numeric_limits<float>::lowest();
  }
  for (std::size_t v = first; v <= last; ++v) {
    float p[3];
    std::memcpy(p, vertices + v * stride, sizeof p);
    for (int k = 0; k < 3; ++k) {
      lo[k] = std::min(lo[k], p[k]);
      hi[k] = std::max(hi[k], p[k]);
    }
  }
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  D3DMATRIX r{};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) sum += a.m[i][k] * b.m[k][j];
      r.m[i][j] = sum;
    }
  return r;
}

}  // namespace

PixelRect GLBackend::DrawnRect(const DeviceState& state, const DrawCall& call,
                               const FvfLayout& layout, const BYTE* vertices, std::size_t first,
                               std::size_t last) {
  const D3DVIEWPORT9& vp = state.viewport;
  const PixelRect all{static_cast<int>(vp.X), static_cast<int>(vp.Y),
                      static_cast<int>(vp.X + vp.Width), static_cast<int>(vp.Y + vp.Height)};
  // What cannot be bounded from the positions alone counts as the whole viewport: sizes
  // per point, blended world matrices, positions with their own w.
  if (first > last || (call.fvf & D3DFVF_PSIZE) || state.renderStates[D3DRS_VERTEXBLEND] != 0 ||
      (!layout.pretransformed && layout.positionSize != 3))
    return all;
  float lo[3], hi[3];
  VertexBuffer9* buffer = call.vertexBuffer;
  if (buffer && buffer->BytesReleased()) {
    // Only the box around all its positions is left (Draw brings the bytes back where
    // that box does not describe the draw's vertices).
    if (!WholeBoxServes(*buffer, call, layout)) return all;
    std::memcpy(lo, buffer->wholeLo, sizeof lo);
    std::memcpy(hi, buffer->wholeHi, sizeof hi);
  } else if (buffer && buffer->boundsKnown && buffer->boundsOffset == call.vertexOffset &&
      buffer->boundsStride == call.stride && buffer->boundsFirst == first &&
      buffer->boundsLast == last) {
    std::memcpy(lo, buffer->boundsLo, sizeof lo);
    std::memcpy(hi, buffer->boundsHi, sizeof hi);
  } else {
    PositionBounds(vertices, call.stride, first, last, lo, hi);
    if (buffer) {
      buffer->boundsKnown = true;
      buffer->boundsOffset = call.vertexOffset;
      buffer->boundsStride = call.stride;
      buffer->boundsFirst = first;
      buffer->boundsLast = last;
      std::memcpy(buffer->boundsLo, lo, sizeof lo);
      std::memcpy(buffer->boundsHi, hi, sizeof hi);
    }
  }
  float x0 = lo[0], y0 = lo[1], x1 = hi[0], y1 = hi[1];
  if (!layout.pretransformed) {
    // The box's corners through world, view and projection, onto the viewport; a box
    // reaching behind the eye could land anywhere.
    const D3DMATRIX m = Multiply(Multiply(state.world, state.view), state.projection);
    x0 = y0 = std::numeric_limits<float>::max();
    x1 = y1 = std::numeric_limits<float>::lowest();
    for (int c = 0; c < 8; ++c) {
      const float p[3] = {(c & 1) ? hi[0] : lo[0], (c & 2) ? hi[1] : lo[1],
                          (c & 4) ? hi[2] : lo[2]};
      float clip[4];
      for (int j = 0; j < 4; ++j)
        clip[j] = p[0] * m.m[0][j] + p[1] * m.m[1][j] + p[2] * m.m[2][j] + m.m[3][j];
      if (!(clip[3] > 1e-6f)) return all;
      const float sx = static_cast<float>(vp.X) + (1.0f + clip[0] / clip[3]) * 0.5f * vp.Width;
      const float sy = static_cast<float>(vp.Y) + (1.0f - clip[1] / clip[3]) * 0.5f * vp.Height;
      x0 = std::min(x0, sx);
      x1 = std::max(x1, sx);
      y0 = std::min(y0, sy);
      y1 = std::max(y1, sy);
    }
  }
  // Pixel centres sit on whole numbers; a margin of two pixels each way covers the centre
  // shift, rounding and lines and points of a pixel's width. Far outside the viewport (or
  // not a number) is clamped to it first.
  const auto pixel = [](float v, float lowest, float highest) {
    return static_cast<int>(std::floor(std::clamp(v, lowest, highest)));
  };
  const float left = static_cast<float>(all.left) - 4, right = static_cast<float>(all.right) + 4;
  const float top = static_cast<float>(all.top) - 4, bottom = static_cast<float>(all.bottom) + 4;
  if (!(x0 <= x1) || !(y0 <= y1)) return all;
  PixelRect r{pixel(x0, left, right) - 2, pixel(y0, top, bottom) - 2,
              pixel(x1, left, right) + 3, pixel(y1, top, bottom) + 3};
  r.left = std::max(r.left, all.left);
  r.top = std::max(r.top, all.top);
  r.right = std::min(r.right, all.right);
  r.bottom = std::min(r.bottom, all.bottom);
  return r;
}

void GLBackend::Draw(const DeviceState& state, const DrawCall& call) {
  if (!width_ || call.primitiveCount == 0 || !MakeCurrent()) return;
  ClearHeldBack();
  const FvfLayout layout = DecodeFvf(call.fvf);
  // A stride shorter than the format would read past each vertex.
  if (!layout.valid || call.stride < layout.size) return;
  const UINT indexCount = VertexCountFor(call.type, call.primitiveCount);
  const bool indexed = call.indexBuffer || call.userIndices;

  // The vertex source, and for indexed draws a check that every index stays inside it.
  std::size_t available = 0;  // vertices readable from the source's first vertex
  const BYTE* clientBase = nullptr;
  GLuint vbo = 0;
  if (call.vertexBuffer) {
    const std::size_t size = call.vertexBuffer->Length();
    if (call.vertexOffset > size) return;
    available = (size - call.vertexOffset) / call.stride;
    if (call.vertexBuffer->Pool() == D3DPOOL_SYSTEMMEM) {
      clientBase = call.vertexBuffer->Bytes().data() + call.vertexOffset;
    } else {
      vbo = PrepareVertexBuffer(call.vertexBuffer);
      if (!vbo) return;
    }
  } else if (call.userVertices) {
    clientBase = call.userVertices;
    available =
        indexed ? static_cast<std::size_t>(call.minIndex) + call.vertexCount : call.vertexCount;
  } else {
    return;
  }

  const BYTE* indexData = nullptr;
  GLuint ibo = 0;
  GLenum indexType = call.indexFormat == D3DFMT_INDEX32 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
  const std::size_t indexSize = indexType == GL_UNSIGNED_INT ? 4 : 2;
  long long base = 0;  // vertex index added to every index
  // The vertices the draw may read, from the source's first: for what it draws over.
  std::size_t firstUsed = call.startVertex, lastUsed = call.startVertex + indexCount - 1;
  if (indexed) {
    if (call.indexBuffer &&
        (static_cast<std::size_t>(call.startIndex) + indexCount) * indexSize >
            call.indexBuffer->Length())
      return;
    // The draw's own indices; a buffer whose memory copy went reads it back first.
    auto drawIndices = [&]() -> const BYTE* {
      if (!call.indexBuffer) return call.userIndices;
      if (!call.indexBuffer->RestoreBytes()) return nullptr;
      return call.indexBuffer->Bytes().data() + static_cast<std::size_t>(call.startIndex) * indexSize;
    };
    // Indices out of range would make GL read outside the vertex data. A buffer's whole
    // range is kept with it, so a draw from an unchanged buffer whose every index fits
    // needs no reading; otherwise the draw's own indices decide.
    base = call.userIndices ? 0 : call.baseVertex;
    auto fits = [&](unsigned long long lo, unsigned long long hi) {
      return lo <= hi && base + static_cast<long long>(lo) >= 0 &&
             base + static_cast<long long>(hi) < static_cast<long long>(available);
    };
    bool safe = false;
    if (call.indexBuffer) {
      IndexBuffer9* buffer = call.indexBuffer;
      if (buffer->rangeIndexSize != indexSize) {
        if (!buffer->RestoreBytes()) return;
        const auto& all = buffer->Bytes();
        const auto [lo, hi] = IndexRange(all.data(), all.size() / indexSize, indexSize);
        buffer->rangeLo = static_cast<std::uint32_t>(lo);
        buffer->rangeHi = static_cast<std::uint32_t>(hi);
        buffer->rangeIndexSize = static_cast<UINT>(indexSize);
      }
      safe = fits(buffer->rangeLo, buffer->rangeHi);
      if (safe) {
        firstUsed = static_cast<std::size_t>(base + buffer->rangeLo);
        lastUsed = static_cast<std::size_t>(base + buffer->rangeHi);
      }
    }
    if (!safe) {
      const BYTE* bytes = drawIndices();
      if (!bytes) return;
      const auto [lo, hi] = IndexRange(bytes, indexCount, indexSize);
      if (!fits(lo, hi)) return;
      firstUsed = static_cast<std::size_t>(base + static_cast<long long>(lo));
      lastUsed = static_cast<std::size_t>(base + static_cast<long long>(hi));
    }
    if (call.indexBuffer && call.indexBuffer->Pool() != D3DPOOL_SYSTEMMEM) {
      ibo = PrepareIndexBuffer(call.indexBuffer);
      if (!ibo) return;
    } else {
      indexData = drawIndices();
      if (!indexData) return;
    }
  } else if (static_cast<std::size_t>(call.startVertex) + indexCount > available) {
    return;
  }

  if (tracksLayer_ && !drawnOver_.All()) {
    const BYTE* source = clientBase;
    if (VertexBuffer9* vb = call.vertexBuffer) {
      if (vb->BytesReleased() && !WholeBoxServes(*vb, call, layout)) vb->RestoreBytes();
      source = vb->BytesReleased() ? nullptr : vb->Bytes().data() + call.vertexOffset;
    }
    drawnOver_.Add(DrawnRect(state, call, layout, source, firstUsed, lastUsed));
  }
  ApplyRasterStates(state);
  ApplyTransforms(state, layout.pretransformed);
  ApplyLighting(state, layout);
  ApplyFog(state, layout.pretransformed);
  ApplyStages(state, layout);

  // Negative base vertices are left to GL's own base-vertex draw where the pointer
  // cannot move back.
  long long pointerBase = base;
  GLint glBase = 0;
  if (base < 0 && vbo) {
    if (!fn_.DrawElementsBaseVertex) return;
    pointerBase = 0;
    glBase = static_cast<GLint>(base);
  }
  BindArrayBuffer(vbo);
  const std::uintptr_t start =
      vbo ? call.vertexOffset : reinterpret_cast<std::uintptr_t>(clientBase);
  const BYTE* vertices = reinterpret_cast<const BYTE*>(
      start + static_cast<std::uintptr_t>(pointerBase * static_cast<long long>(call.stride)));
  SetVertexArrays(state, layout, vbo, vertices, call.stride);

  const GLenum mode = PrimitiveMode(call.type);
  if (!indexed) {
    glDrawArrays(mode, static_cast<GLint>(call.startVertex), static_cast<GLsizei>(indexCount));
    return;
  }
  BindElementBuffer(ibo);
  const void* indices =
      ibo ? reinterpret_cast<const void*>(static_cast<std::uintptr_t>(call.startIndex) * indexSize)
          : static_cast<const void*>(indexData);
  if (glBase != 0) {
    fn_.DrawElementsBaseVertex(mode, static_cast<GLsizei>(indexCount), indexType, indices, glBase);
  } else {
    glDrawElements(mode, static_cast<GLsizei>(indexCount), indexType, indices);
  }
}

void GLBackend::ApplyViewport(const D3DVIEWPORT9& vp) {
  // Direct3D's viewport origin is the top left; GL's the bottom left.
  const std::array<GLint, 4> v = {
      static_cast<GLint>(vp.X), static_cast<GLint>(height_) - static_cast<GLint>(vp.Y + vp.Height),
      static_cast<GLint>(vp.Width), static_cast<GLint>(vp.Height)};
  if (viewport_.Set(v)) glViewport(v[0], v[1], v[2], v[3]);
  if (depthRange_.Set({vp.MinZ, vp.MaxZ})) glDepthRange(vp.MinZ, vp.MaxZ);
}

void GLBackend::ApplyRasterStates(const DeviceState& state) {
  const auto& rs = state.renderStates;
  ApplyViewport(state.viewport);

  const bool depth = rs[D3DRS_ZENABLE] != D3DZB_FALSE;
  Enable(GL_DEPTH_TEST, depth, depthTest_);
  if (depth) {
    if (depthMask_.Set(rs[D3DRS_ZWRITEENABLE] != 0))
      glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    const GLenum func = CompareFunc(rs[D3DRS_ZFUNC]);
    if (depthFunc_.Set(func)) glDepthFunc(func);
  }

  const bool blend = rs[D3DRS_ALPHABLENDENABLE] != 0;
  Enable(GL_BLEND, blend, blend_);
  if (blend) {
    std::array<GLenum, 4> f{};
    BlendPair(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND], &f[0], &f[1]);
    std::array<GLenum, 2> eq = {BlendEquation(rs[D3DRS_BLENDOP]), 0};
    if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
      BlendPair(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA], &f[2], &f[3]);
      eq[1] = BlendEquation(rs[D3DRS_BLENDOPALPHA]);
    } else {
      f[2] = f[0];
      f[3] = f[1];
      eq[1] = eq[0];
    }
    if (blendFunc_.Set(f)) fn_.BlendFuncSeparate(f[0], f[1], f[2], f[3]);
    if (blendEquation_.Set(eq)) fn_.BlendEquationSeparate(eq[0], eq[1]);
    if (blendColour_.Set(rs[D3DRS_BLENDFACTOR])) {
      GLfloat c[4];
      ColourToFloats(rs[D3DRS_BLENDFACTOR], c);
      fn_.BlendColor(c[0], c[1], c[2], c[3]);
    }
  }

  const bool alphaTest = rs[D3DRS_ALPHATESTENABLE] != 0;
  Enable(GL_ALPHA_TEST, alphaTest, alphaTest_);
  if (alphaTest && alphaFunc_.Set({rs[D3DRS_ALPHAFUNC], rs[D3DRS_ALPHAREF] & 0xFF}))
    glAlphaFunc(CompareFunc(rs[D3DRS_ALPHAFUNC]), (rs[D3DRS_ALPHAREF] & 0xFF) / 255.0f);

  const bool stencil = rs[D3DRS_STENCILENABLE] != 0;
  Enable(GL_STENCIL_TEST, stencil, stencilTest_);
  if (stencil) {
    if (stencilFunc_.Set({rs[kStencilFunc], rs[kStencilRef], rs[kStencilMask]}))
      glStencilFunc(CompareFunc(rs[kStencilFunc]), static_cast<GLint>(rs[kStencilRef]),
                    rs[kStencilMask]);
    if (stencilOp_.Set({rs[kStencilFail], rs[kStencilZFail], rs[kStencilPass]}))
      glStencilOp(StencilOp(rs[kStencilFail]), StencilOp(rs[kStencilZFail]),
                  StencilOp(rs[kStencilPass]));
    if (stencilWriteMask_.Set(rs[kStencilWriteMask])) glStencilMask(rs[kStencilWriteMask]);
  }

  // Direct3D's front faces are clockwise; GL's stay counter-clockwise here, so culling
  // clockwise triangles culls GL's back faces.
  const DWORD cull = rs[D3DRS_CULLMODE];
  Enable(GL_CULL_FACE, cull == D3DCULL_CW || cull == D3DCULL_CCW, cullFace_);
  if (cull == D3DCULL_CW || cull == D3DCULL_CCW) {
    const GLenum side = cull == D3DCULL_CW ? GL_BACK : GL_FRONT;
    if (cullSide_.Set(side)) glCullFace(side);
  }

  const GLenum shade = rs[D3DRS_SHADEMODE] == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH;
  if (shadeModel_.Set(shade)) glShadeModel(shade);
  const GLenum fill = rs[D3DRS_FILLMODE] == D3DFILL_POINT       ? GL_POINT
                      : rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE
                                                                : GL_FILL;
  if (polygonMode_.Set(fill)) glPolygonMode(GL_FRONT_AND_BACK, fill);

  const DWORD write = rs[D3DRS_COLORWRITEENABLE];
  const std::array<bool, 4> mask = {(write & 1) != 0, (write & 2) != 0, (write & 4) != 0,
                                    (write & 8) != 0};
  if (colourMask_.Set(mask)) glColorMask(mask[0], mask[1], mask[2], mask[3]);

  // Direct3D's bias is in units of the depth range; GL's in steps of the 24-bit buffer.
  const DWORD bias = rs[D3DRS_DEPTHBIAS], slope = rs[D3DRS_SLOPESCALEDEPTHBIAS];
  Enable(GL_POLYGON_OFFSET_FILL, bias != 0 || slope != 0, polygonOffset_);
  if ((bias != 0 || slope != 0) && depthBias_.Set({bias, slope}))
    glPolygonOffset(DWORDToFloat(slope), DWORDToFloat(bias) * 16777215.0f);
}

void GLBackend::ApplyTransforms(const DeviceState& state, bool pretransformed) {
  const D3DVIEWPORT9& vp = state.viewport;
  const std::array<DWORD, 4> vpKey = {vp.X, vp.Y, vp.Width, vp.Height};
  const int mode = pretransformed ? 1 : 0;
  const bool newFrame = mode != transformMode_ || vpKey != transformViewport_;
  if (!newFrame && (pretransformed || transformVersion_ == state.transformVersion)) return;
  transformMode_ = mode;
  transformViewport_ = vpKey;
  transformVersion_ = state.transformVersion;
  const float w = static_cast<float>(std::max<DWORD>(vp.Width, 1));
  const float h = static_cast<float>(std::max<DWORD>(vp.Height, 1));
  if (pretransformed) {
    // Screen pixels of the render target, pixel centres on integers as in Direct3D,
    // z straight into the depth range.
    GLfloat m[16] = {};
    m[0] = 2.0f / w;
    m[5] = -2.0f / h;
    m[10] = 2.0f;
    m[12] = 2.0f * (kCentreShift - static_cast<float>(vp.X)) / w - 1.0f;
    m[13] = 1.0f - 2.0f * (kCentreShift - static_cast<float>(vp.Y)) / h;
    m[14] = -1.0f;
    m[15] = 1.0f;
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(m);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return;
  }
  // The version moves with any transform; only the matrices that really differ from
  // what GL holds are sent again (most changes are a new world matrix alone).
  const bool projectionChanged =
      newFrame || std::memcmp(&projection_, &state.projection, sizeof projection_) != 0;
  if (projectionChanged) {
    projection_ = state.projection;
    // Direct3D's clip z runs 0..w, GL's -w..w; and Direct3D's pixel centres sit half a
    // pixel up and left of GL's.
    GLfloat adjust[16] = {};
    adjust[0] = 1.0f;
    adjust[5] = 1.0f;
    adjust[10] = 2.0f;
    adjust[15] = 1.0f;
    adjust[12] = 2.0f * kCentreShift / w;
    adjust[13] = -2.0f * kCentreShift / h;
    adjust[14] = -1.0f;
    eyeFlip_ = LooksAlongPlusZ(state.projection);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(adjust);
    glMultMatrixf(&state.projection._11);
    if (eyeFlip_) glMultMatrixf(kFlipZ.data());
    glMatrixMode(GL_MODELVIEW);
  }
  if (projectionChanged || std::memcmp(&modelView_[0], &state.view, sizeof(D3DMATRIX)) != 0 ||
      std::memcmp(&modelView_[1], &state.world, sizeof(D3DMATRIX)) != 0) {
    modelView_[0] = state.view;
    modelView_[1] = state.world;
    // Row vectors times world then view equal, in GL's reading of the same memory,
    // view times world; then the flip into GL's eye space when needed.
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(eyeFlip_ ? kFlipZ.data() : kIdentity.data());
    glMultMatrixf(&state.view._11);
    glMultMatrixf(&state.world._11);
  }
}

void GLBackend::ApplyLighting(const DeviceState& state, const FvfLayout& layout) {
  const auto& rs = state.renderStates;
  const bool lit = rs[D3DRS_LIGHTING] != 0 && !layout.pretransformed;
  Enable(GL_LIGHTING, lit, lighting_);
  const bool vertexColour = layout.diffuse >= 0;
  if (!lit) {
    Enable(GL_COLOR_MATERIAL, false, colorMaterial_);
    if (!vertexColour && !currentColourWhite_) {
      glColor4f(1, 1, 1, 1);
      currentColourWhite_ = true;
    }
    return;
  }
  Enable(GL_NORMALIZE, rs[D3DRS_NORMALIZENORMALS] != 0, normalize_);
  if (lightModel_.Set({rs[D3DRS_AMBIENT], rs[D3DRS_LOCALVIEWER]})) {
    GLfloat ambient[4];
    ColourToFloats(rs[D3DRS_AMBIENT], ambient);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, rs[D3DRS_LOCALVIEWER] ? GL_TRUE : GL_FALSE);
  }

  // Lights are given in world space: GL takes positions through the modelview in force,
  // so they are sent with the view matrix alone.
  if (lightsVersion_ != state.lightsVersion || lightsFlip_ != eyeFlip_ ||
      std::memcmp(&lightsView_, &state.view, sizeof lightsView_) != 0) {
    lightsVersion_ = state.lightsVersion;
    lightsView_ = state.view;
    lightsFlip_ = eyeFlip_;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadMatrixf(eyeFlip_ ? kFlipZ.data() : kIdentity.data());
    glMultMatrixf(&state.view._11);
    for (int i = 0; i < kMaxLights; ++i) {
      const LightSlot& slot = state.lights[i];
      const GLenum id = GL_LIGHT0 + i;
      const bool on = slot.set && slot.enabled;
      if (lightOn_[i].Set(on)) {
        if (on) {
          glEnable(id);
        } else {
          glDisable(id);
        }
      }
      if (!on) continue;
      const D3DLIGHT9& l = slot.light;
      glLightfv(id, GL_DIFFUSE, Floats(l.Diffuse));
      glLightfv(id, GL_SPECULAR, Floats(l.Specular));
      glLightfv(id, GL_AMBIENT, Floats(l.Ambient));
      if (l.Type == D3DLIGHT_DIRECTIONAL) {
        // Direct3D gives the direction the light travels; GL the direction towards it.
        const GLfloat position[4] = {-l.Direction.x, -l.Direction.y, -l.Direction.z, 0};
        glLightfv(id, GL_POSITION, position);
        glLightf(id, GL_SPOT_CUTOFF, 180);
        glLightf(id, GL_CONSTANT_ATTENUATION, 1);
        glLightf(id, GL_LINEAR_ATTENUATION, 0);
        glLightf(id, GL_QUADRATIC_ATTENUATION, 0);
        continue;
      }
      const GLfloat position[4] = {l.Position.x, l.Position.y, l.Position.z, 1};
      glLightfv(id, GL_POSITION, position);
      const bool noAttenuation = l.Attenuation0 <= 0 && l.Attenuation1 <= 0 && l.Attenuation2 <= 0;
      glLightf(id, GL_CONSTANT_ATTENUATION, noAttenuation ? 1.0f : std::max(l.Attenuation0, 0.0f));
      glLightf(id, GL_LINEAR_ATTENUATION, std::max(l.Attenuation1, 0.0f));
      glLightf(id, GL_QUADRATIC_ATTENUATION, std::max(l.Attenuation2, 0.0f));
      if (l.Type == D3DLIGHT_SPOT) {
        const GLfloat direction[3] = {l.Direction.x, l.Direction.y, l.Direction.z};
        glLightfv(id, GL_SPOT_DIRECTION, direction);
        const float phi = std::clamp(l.Phi, 0.0f, kPi);
        const float theta = std::clamp(l.Theta, 0.0f, phi);
        glLightf(id, GL_SPOT_CUTOFF, phi * 90.0f / kPi);
        // GL's cosine power falls off smoothly; pick the power that gives half intensity
        // midway between the inner and the outer cone.
        const float mid = std::cos((theta + phi) * 0.25f);
        const float exponent = mid > 0.0f && mid < 0.9999f ? std::log(0.5f) / std::log(mid) : 0.0f;
        glLightf(id, GL_SPOT_EXPONENT, std::clamp(exponent, 0.0f, 128.0f));
      } else {
        glLightf(id, GL_SPOT_CUTOFF, 180);
      }
    }
    glPopMatrix();
  }

  // Which material colours follow the vertex colour.
  const bool follow = rs[D3DRS_COLORVERTEX] != 0 && vertexColour;
  const bool diffuse = follow && rs[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR1;
  const bool ambient = follow && rs[D3DRS_AMBIENTMATERIALSOURCE] == D3DMCS_COLOR1;
  const bool emissive = follow && rs[D3DRS_EMISSIVEMATERIALSOURCE] == D3DMCS_COLOR1;
  GLenum cm = 0;
  if (diffuse && ambient) {
    cm = GL_AMBIENT_AND_DIFFUSE;
  } else if (diffuse) {
    cm = GL_DIFFUSE;
  } else if (ambient) {
    cm = GL_AMBIENT;
  } else if (emissive) {
    cm = GL_EMISSION;
  }
  if (colorMaterialMode_.Set(cm)) {
    // Colour tracking overwrote the material; send it again.
    Enable(GL_COLOR_MATERIAL, false, colorMaterial_);
    materialKnown_ = false;
    if (cm) glColorMaterial(GL_FRONT_AND_BACK, cm);
  }
  const bool specular = rs[D3DRS_SPECULARENABLE] != 0;
  if (specularOn_.Set(specular)) materialKnown_ = false;
  if (!materialKnown_ || std::memcmp(&material_, &state.material, sizeof material_) != 0) {
    material_ = state.material;
    materialKnown_ = true;
    const D3DMATERIAL9& m = state.material;
    static const GLfloat kBlack[4] = {0, 0, 0, 0};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, Floats(m.Ambient));
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, Floats(m.Diffuse));
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular ? Floats(m.Specular) : kBlack);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, Floats(m.Emissive));
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(m.Power, 0.0f, 128.0f));
  }
  Enable(GL_COLOR_MATERIAL, cm != 0, colorMaterial_);
}

void GLBackend::ApplyFog(const DeviceState& state, bool pretransformed) {
  const auto& rs = state.renderStates;
  DWORD mode =
      rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE ? rs[D3DRS_FOGTABLEMODE] : rs[D3DRS_FOGVERTEXMODE];
  // Screen-space vertices get no vertex fog.
  if (pretransformed && rs[D3DRS_FOGTABLEMODE] == D3DFOG_NONE) mode = D3DFOG_NONE;
  const bool on = rs[D3DRS_FOGENABLE] != 0 && mode != D3DFOG_NONE;
  Enable(GL_FOG, on, fog_);
  if (!on) return;
  const bool table = rs[D3DRS_FOGTABLEMODE] != D3DFOG_NONE;
  // Range fog measures the distance from the eye rather than the depth; it applies to
  // vertex fog only.
  const bool range = !table && rs[D3DRS_RANGEFOGENABLE] != 0;
  if (fogParams_.Set({mode, rs[D3DRS_FOGCOLOR], rs[D3DRS_FOGSTART], rs[D3DRS_FOGEND],
                      rs[D3DRS_FOGDENSITY], (table ? 1u : 0u) | (range ? 2u : 0u)})) {
    if (fn_.fogDistance)
      glFogi(GL_FOG_DISTANCE_MODE_NV, range ? GL_EYE_RADIAL_NV : GL_EYE_PLANE_ABSOLUTE_NV);
    glFogi(GL_FOG_MODE, mode == D3DFOG_EXP ? GL_EXP : mode == D3DFOG_EXP2 ? GL_EXP2 : GL_LINEAR);
    GLfloat colour[4];
    ColourToFloats(rs[D3DRS_FOGCOLOR], colour);
    glFogfv(GL_FOG_COLOR, colour);
    glFogf(GL_FOG_START, DWORDToFloat(rs[D3DRS_FOGSTART]));
    glFogf(GL_FOG_END, DWORDToFloat(rs[D3DRS_FOGEND]));
    glFogf(GL_FOG_DENSITY, DWORDToFloat(rs[D3DRS_FOGDENSITY]));
    glHint(GL_FOG_HINT, table ? GL_NICEST : GL_FASTEST);
  }
}

void GLBackend::ApplyStages(const DeviceState& state, const FvfLayout& layout) {
  // The first disabled stage ends the cascade.
  bool active = true;
  for (int unit = 0; unit < kGLStages; ++unit) {
    active = active && state.stageStates[unit][D3DTSS_COLOROP] != D3DTOP_DISABLE;
    if (!active) {
      SelectUnit(unit);
      Enable(GL_TEXTURE_2D, false, texture2D_[unit]);
      if (texGen_[unit].Set(0)) {
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        glDisable(GL_TEXTURE_GEN_R);
      }
      continue;
    }
    ApplyStage(unit, state, layout);
  }
}

void GLBackend::ApplyStage(int unit, const DeviceState& state, const FvfLayout& layout) {
  const auto& ts = state.stageStates[unit];
  SelectUnit(unit);
  Enable(GL_TEXTURE_2D, true, texture2D_[unit]);
  const bool textured = BindTextureObject(unit, state.textures[unit], state);

  // Without a texture, an operation that reads it passes the current value on.
  DWORD colourOp = ts[D3DTSS_COLOROP], alphaOp = ts[D3DTSS_ALPHAOP];
  if (!textured) {
    if (ReadsTexture(colourOp, ts[D3DTSS_COLORARG1], ts[D3DTSS_COLORARG2]))
      colourOp = D3DTOP_DISABLE;
    if (ReadsTexture(alphaOp, ts[D3DTSS_ALPHAARG1], ts[D3DTSS_ALPHAARG2])) alphaOp = D3DTOP_DISABLE;
  }
  Combine c;
  MapOperation(colourOp, ts[D3DTSS_COLORARG1], ts[D3DTSS_COLORARG2], false, &c.rgbMode,
               &c.rgbSource, &c.rgbOperand, &c.rgbScale);
  MapOperation(alphaOp, ts[D3DTSS_ALPHAARG1], ts[D3DTSS_ALPHAARG2], true, &c.alphaMode,
               &c.alphaSource, &c.alphaOperand, &c.alphaScale);
  if (combine_[unit].Set(c)) {
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, static_cast<GLint>(c.rgbMode));
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, static_cast<GLint>(c.alphaMode));
    static const GLenum kSrcRGB[3] = {GL_SRC0_RGB, GL_SRC1_RGB, GL_SRC2_RGB};
    static const GLenum kOpRGB[3] = {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB};
    static const GLenum kSrcA[3] = {GL_SRC0_ALPHA, GL_SRC1_ALPHA, GL_SRC2_ALPHA};
    static const GLenum kOpA[3] = {GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA, GL_OPERAND2_ALPHA};
    for (int i = 0; i < 3; ++i) {
      glTexEnvi(GL_TEXTURE_ENV, kSrcRGB[i], static_cast<GLint>(c.rgbSource[i]));
      glTexEnvi(GL_TEXTURE_ENV, kOpRGB[i], static_cast<GLint>(c.rgbOperand[i]));
      glTexEnvi(GL_TEXTURE_ENV, kSrcA[i], static_cast<GLint>(c.alphaSource[i]));
      glTexEnvi(GL_TEXTURE_ENV, kOpA[i], static_cast<GLint>(c.alphaOperand[i]));
    }
    glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE, c.rgbScale);
    glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, c.alphaScale);
  }
  const DWORD factor = state.renderStates[D3DRS_TEXTUREFACTOR];
  if (envColour_[unit].Set(factor)) {
    GLfloat colour[4];
    ColourToFloats(factor, colour);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
  }

  // Generated coordinates: camera-space normal, position, reflection vector, sphere map.
  const DWORD tci = ts[D3DTSS_TEXCOORDINDEX];
  const DWORD gen = layout.pretransformed ? 0 : (tci & 0xFFFF0000u);
  if (texGen_[unit].Set(gen)) {
    GLint glMode = 0;
    switch (gen) {
      case D3DTSS_TCI_SPHEREMAP:
        glMode = GL_SPHERE_MAP;
        break;
      case D3DTSS_TCI_CAMERASPACENORMAL:
        glMode = GL_NORMAL_MAP;
        break;
      case D3DTSS_TCI_CAMERASPACEPOSITION:
        glMode = GL_EYE_LINEAR;
        break;
      case D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR:
        glMode = GL_REFLECTION_MAP;
        break;
      default:
        break;
    }
    if (glMode) {
      glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, glMode);
      glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, glMode);
      glEnable(GL_TEXTURE_GEN_S);
      glEnable(GL_TEXTURE_GEN_T);
      if (glMode != GL_SPHERE_MAP) {
        glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, glMode);
        glEnable(GL_TEXTURE_GEN_R);
      } else {
        glDisable(GL_TEXTURE_GEN_R);
      }
    } else {
      glDisable(GL_TEXTURE_GEN_S);
      glDisable(GL_TEXTURE_GEN_T);
      glDisable(GL_TEXTURE_GEN_R);
    }
  }

  const DWORD flags = ts[D3DTSS_TEXTURETRANSFORMFLAGS];
  const DWORD set = tci & 0xFFFF;
  const bool twoD = gen == 0 && static_cast<int>(set) < layout.texCount && layout.texSize[set] == 2;
  std::array<float, 16> m = (flags & 0xFF) == 0 || layout.pretransformed
                                ? kIdentity
                                : TextureMatrixFor(state.textureTransforms[unit], flags, twoD);
  // Generated camera-space vectors come out of GL's eye space: bring z back to Direct3D's.
  if (eyeFlip_ && (gen == D3DTSS_TCI_CAMERASPACENORMAL || gen == D3DTSS_TCI_CAMERASPACEPOSITION ||
                   gen == D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR)) {
    for (int i = 8; i < 12; ++i) m[i] = -m[i];
  }
  if (texMatrix_[unit].Set(m)) {
    glMatrixMode(GL_TEXTURE);
    glLoadMatrixf(m.data());
    glMatrixMode(GL_MODELVIEW);
  }
}

void GLBackend::ForgetArrayPointers() {
  vertexPointer_.Forget();
  normalPointer_.Forget();
  colorPointer_.Forget();
  secondaryPointer_.Forget();
  for (auto& p : texCoordPointer_) p.Forget();
}

void GLBackend::SetVertexArrays(const DeviceState& state, const FvfLayout& layout, GLuint vbo,
                                const BYTE* base, UINT stride) {
  // Pointers are sent only when they differ from what GL holds: consecutive draws from
  // one buffer with one format change none of them.
  const auto s = static_cast<GLsizei>(stride);
  auto at = [&](int offset, GLint size) { return ArrayPointer{vbo, base + offset, s, size}; };
  ClientState(GL_VERTEX_ARRAY, true, vertexArray_);
  if (vertexPointer_.Set(at(0, layout.positionSize)))
    glVertexPointer(layout.positionSize, GL_FLOAT, s, base);
  const bool normals = layout.normal >= 0 && !layout.pretransformed;
  ClientState(GL_NORMAL_ARRAY, normals, normalArray_);
  if (normals) {
    if (normalPointer_.Set(at(layout.normal, 3))) glNormalPointer(GL_FLOAT, s, base + layout.normal);
    currentNormalZero_ = false;
  } else if (!currentNormalZero_) {
    glNormal3f(0, 0, 0);
    currentNormalZero_ = true;
  }
  ClientState(GL_COLOR_ARRAY, layout.diffuse >= 0, colorArray_);
  if (layout.diffuse >= 0) {
    if (colorPointer_.Set(at(layout.diffuse, 4)))
      glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, s, base + layout.diffuse);
    currentColourWhite_ = false;
  }

  // Unlit vertices bring their own specular colour, added after texturing.
  const auto& rs = state.renderStates;
  const bool lit = rs[D3DRS_LIGHTING] != 0 && !layout.pretransformed;
  const bool specular = layout.specular >= 0 && rs[D3DRS_SPECULARENABLE] != 0 && !lit;
  ClientState(GL_SECONDARY_COLOR_ARRAY, specular, secondaryArray_);
  Enable(GL_COLOR_SUM, specular, colorSum_);
  if (specular && secondaryPointer_.Set(at(layout.specular, 4)))
    fn_.SecondaryColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, s, base + layout.specular);

  bool active = true;
  for (int unit = 0; unit < kGLStages; ++unit) {
    active = active && state.stageStates[unit][D3DTSS_COLOROP] != D3DTOP_DISABLE;
    const DWORD tci = state.stageStates[unit][D3DTSS_TEXCOORDINDEX];
    const int set = static_cast<int>(tci & 0xFFFF);
    const bool generated = (tci & 0xFFFF0000u) != 0 && !layout.pretransformed;
    const bool use = active && !generated && set < layout.texCount;
    SelectClientUnit(unit);
    ClientState(GL_TEXTURE_COORD_ARRAY, use, texCoordArray_[unit]);
    if (use && texCoordPointer_[unit].Set(at(layout.texOffset[set], layout.texSize[set])))
      glTexCoordPointer(layout.texSize[set], GL_FLOAT, s, base + layout.texOffset[set]);
  }
}

bool GLBackend::BindTextureObject(int unit, Texture9* texture, const DeviceState& state) {
  GLuint name = texture ? PrepareTexture(texture) : 0;
  if (!name) {
    if (boundTexture_[unit].Set(whiteTexture_)) glBindTexture(GL_TEXTURE_2D, whiteTexture_);
    return false;
  }
  if (boundTexture_[unit].Set(name)) glBindTexture(GL_TEXTURE_2D, name);

  const auto& ss = state.samplerStates[unit];
  const GLint levels = static_cast<GLint>(texture->Levels().size());
  TexParams p;
  p.magFilter = ss[D3DSAMP_MAGFILTER] == D3DTEXF_POINT || ss[D3DSAMP_MAGFILTER] == D3DTEXF_NONE
                    ? GL_NEAREST
                    : GL_LINEAR;
  const bool minLinear =
      ss[D3DSAMP_MINFILTER] != D3DTEXF_POINT && ss[D3DSAMP_MINFILTER] != D3DTEXF_NONE;
  const DWORD mip = levels > 1 ? ss[D3DSAMP_MIPFILTER] : D3DTEXF_NONE;
  if (mip == D3DTEXF_NONE) {
    p.minFilter = minLinear ? GL_LINEAR : GL_NEAREST;
  } else if (mip == D3DTEXF_POINT) {
    p.minFilter = minLinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  } else {
    p.minFilter = minLinear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
  }
  auto wrap = [this](DWORD address) -> GLenum {
    switch (address) {
      case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
      case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
      case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
      case D3DTADDRESS_MIRRORONCE:
        return fn_.mirrorClamp ? GL_MIRROR_CLAMP_TO_EDGE_EXT : GL_CLAMP_TO_EDGE;
      default:
        return GL_REPEAT;
    }
  };
  p.wrapS = wrap(ss[D3DSAMP_ADDRESSU]);
  p.wrapT = wrap(ss[D3DSAMP_ADDRESSV]);
  p.border = ss[D3DSAMP_BORDERCOLOR];
  p.baseLevel = std::min<GLint>(static_cast<GLint>(ss[D3DSAMP_MAXMIPLEVEL]), levels - 1);
  p.lodBias = DWORDToFloat(ss[D3DSAMP_MIPMAPLODBIAS]);
  TexParams& have = texParams_[name];
  if (have == p) return true;
  if (have.magFilter != p.magFilter)
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(p.magFilter));
  if (have.minFilter != p.minFilter)
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(p.minFilter));
  if (have.wrapS != p.wrapS)
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLint>(p.wrapS));
  if (have.wrapT != p.wrapT)
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLint>(p.wrapT));
  if (have.border != p.border || have.minFilter == 0) {
    GLfloat colour[4];
    ColourToFloats(p.border, colour);
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, colour);
  }
  if (have.baseLevel != p.baseLevel || have.minFilter == 0)
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, p.baseLevel);
  if (have.lodBias != p.lodBias || have.minFilter == 0)
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_LOD_BIAS, p.lodBias);
  have = p;
  return true;
}

GLuint GLBackend::PrepareTexture(Texture9* texture) {
  GLenum internal = 0, format = 0, type = 0;
  switch (texture->Format()) {
    case D3DFMT_A8R8G8B8:
      internal = GL_RGBA8, format = GL_BGRA, type = GL_UNSIGNED_BYTE;
      break;
    // Formats without alpha sample an alpha of one.
    case D3DFMT_X8R8G8B8:
      internal = GL_RGB8, format = GL_BGRA, type = GL_UNSIGNED_BYTE;
      break;
    case D3DFMT_R5G6B5:
      internal = GL_RGB5, format = GL_RGB, type = GL_UNSIGNED_SHORT_5_6_5;
      break;
    case D3DFMT_X1R5G5B5:
      internal = GL_RGB5, format = GL_BGRA, type = GL_UNSIGNED_SHORT_1_5_5_5_REV;
      break;
    case D3DFMT_A1R5G5B5:
      internal = GL_RGB5_A1, format = GL_BGRA, type = GL_UNSIGNED_SHORT_1_5_5_5_REV;
      break;
    case D3DFMT_A4R4G4B4:
      internal = GL_RGBA4, format = GL_BGRA, type = GL_UNSIGNED_SHORT_4_4_4_4_REV;
      break;
    case D3DFMT_X4R4G4B4:
      internal = GL_RGB4, format = GL_BGRA, type = GL_UNSIGNED_SHORT_4_4_4_4_REV;
      break;
    case D3DFMT_A8:
      internal = GL_ALPHA8, format = GL_ALPHA, type = GL_UNSIGNED_BYTE;
      break;
    case D3DFMT_L8:
      internal = GL_LUMINANCE8, format = GL_LUMINANCE, type = GL_UNSIGNED_BYTE;
      break;
    default:
      return 0;
  }
  GLuint name = texture->gpuHandle;
  if (!name) {
    glGenTextures(1, &name);
    if (!name) return 0;
    texture->gpuHandle = name;
    texture->gpuDirty = true;
    if (name >= texParams_.size()) {
      texParams_.resize(name + 64);
      texAllocated_.resize(name + 64, 0);
    }
    texParams_[name] = TexParams{};
    texAllocated_[name] = 0;
  }
  if (!texture->gpuDirty) return name;
  glBindTexture(GL_TEXTURE_2D, name);
  for (Shadow<GLuint>& b : boundTexture_) b.Forget();
  const auto& levels = texture->Levels();
  const bool allocated = texAllocated_[name] != 0;
  if (!allocated)
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels.size()) - 1);
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const auto& l = levels[i];
    const auto level = static_cast<GLint>(i);
    const auto w = static_cast<GLsizei>(l.width), h = static_cast<GLsizei>(l.height);
    if (allocated) {
      glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, format, type, l.pixels.data());
    } else {
      glTexImage2D(GL_TEXTURE_2D, level, static_cast<GLint>(internal), w, h, 0, format, type,
                   l.pixels.data());
    }
  }
  texAllocated_[name] = 1;
  texture->gpuDirty = false;
  return name;
}

// Once a static buffer is on the GPU its memory copy goes, with what draws read from it
// kept beside it: an index buffer's range, a vertex buffer's box around every position
// (for buffers of the format's own vertices; others keep no box, and a draw tracked for
// the layer brings their bytes back).
bool GLBackend::WholeBoxServes(const VertexBuffer9& buffer, const DrawCall& call,
                               const FvfLayout& layout) {
  return buffer.wholeBoxKnown && call.vertexOffset == 0 && call.fvf == buffer.Fvf() &&
         call.stride == layout.size;
}

void GLBackend::KeepWhatDrawsRead(VertexBuffer9* buffer) {
  if (!buffer->MayReleaseBytes()) return;
  const FvfLayout layout = DecodeFvf(buffer->Fvf());
  const auto& bytes = buffer->Bytes();
  if (layout.valid && !layout.pretransformed && layout.positionSize == 3 && layout.size > 0 &&
      bytes.size() >= layout.size) {
    PositionBounds(bytes.data(), layout.size, 0, bytes.size() / layout.size - 1,
                   buffer->wholeLo, buffer->wholeHi);
    buffer->wholeBoxKnown = true;
  }
  buffer->ReleaseBytes();
}

void GLBackend::KeepWhatDrawsRead(IndexBuffer9* buffer) {
  if (!buffer->MayReleaseBytes()) return;
  const std::size_t indexSize = buffer->Format() == D3DFMT_INDEX32 ? 4 : 2;
  const auto& bytes = buffer->Bytes();
  const auto [lo, hi] = IndexRange(bytes.data(), bytes.size() / indexSize, indexSize);
  buffer->rangeLo = static_cast<std::uint32_t>(lo);
  buffer->rangeHi = static_cast<std::uint32_t>(hi);
  buffer->rangeIndexSize = static_cast<UINT>(indexSize);
  buffer->ReleaseBytes();
}

// Vertex and index buffers share one path: a GL buffer object named by the buffer's
// gpuHandle, filled from its bytes whenever they changed.
template <class Buffer>
GLuint GLBackend::PrepareBuffer(Buffer* buffer, GLenum target) {
  GLuint name = buffer->gpuHandle;
  if (!name) {
    fn_.GenBuffers(1, &name);
    if (!name) return 0;
    buffer->gpuHandle = name;
    buffer->gpuDirty = true;
    if (name >= bufferAllocated_.size()) bufferAllocated_.resize(name + 64, 0);
    bufferAllocated_[name] = 0;
  }
  if (buffer->gpuDirty) {
    if (target == GL_ARRAY_BUFFER) {
      BindArrayBuffer(name);
    } else {
      BindElementBuffer(name);
    }
    const auto& bytes = buffer->Bytes();
    if (bufferAllocated_[name]) {
      // Rewritten in place: only the bytes locked for writing since the last upload.
      const UINT end = std::min<UINT>(buffer->dirtyEnd, static_cast<UINT>(bytes.size()));
      if (buffer->dirtyBegin < end)
        fn_.BufferSubData(target, buffer->dirtyBegin, end - buffer->dirtyBegin,
                          bytes.data() + buffer->dirtyBegin);
    } else {
      while (glGetError() != GL_NO_ERROR) {
      }
      fn_.BufferData(target, static_cast<GLsizeiptr>(bytes.size()), bytes.data(), GL_STATIC_DRAW);
      bufferAllocated_[name] = 1;
      // Only a copy the GPU holds in full replaces the memory one.
      if (glGetError() == GL_NO_ERROR && fn_.GetBufferSubData) KeepWhatDrawsRead(buffer);
    }
    buffer->dirtyBegin = buffer->dirtyEnd = 0;
    buffer->gpuDirty = false;
  }
  return name;
}

GLuint GLBackend::PrepareVertexBuffer(VertexBuffer9* buffer) {
  return PrepareBuffer(buffer, GL_ARRAY_BUFFER);
}

GLuint GLBackend::PrepareIndexBuffer(IndexBuffer9* buffer) {
  return PrepareBuffer(buffer, GL_ELEMENT_ARRAY_BUFFER);
}

}  // namespace platform::d3d9::gl
