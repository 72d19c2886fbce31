// The OpenGL 2.1 (compatibility, fixed-function) drawing backend: the back buffer is the
// window's own when the window has exactly its size, otherwise an off-screen target drawn
// letterboxed into the window on Present (as a textured quad, which software GL draws
// faster than a scaled framebuffer blit); every draw is translated from the device state
// into GL state through a shadow that only touches GL when a value changes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/d3d9/Backend.h"
#include "platform/d3d9/gl/DirtyRects.h"
#include "platform/d3d9/gl/GLFunctions.h"

struct SDL_Window;
union SDL_Event;

namespace platform::d3d9::gl {

// How many texture stages are mapped onto GL texture units.
constexpr int kGLStages = 2;

// Last value sent to GL; Set reports whether GL must be told.
template <typename T>
class Shadow {
 public:
  bool Set(const T& value) {
    if (known_ && value == value_) return false;
    value_ = value;
    known_ = true;
    return true;
  }
  void Forget() { known_ = false; }

 private:
  T value_{};
  bool known_ = false;
};

// Where one vertex array points: the buffer bound when it was set (0: client memory),
// the pointer or offset, the stride and the component count.
struct ArrayPointer {
  GLuint buffer = 0;
  const void* pointer = nullptr;
  GLsizei stride = 0;
  GLint size = 0;
  bool operator==(const ArrayPointer&) const = default;
};

// The GL texture-environment combiner setup of one unit.
struct Combine {
  GLenum rgbMode = GL_MODULATE, alphaMode = GL_MODULATE;
  std::array<GLenum, 3> rgbSource{}, rgbOperand{}, alphaSource{}, alphaOperand{};
  GLfloat rgbScale = 1, alphaScale = 1;
  bool operator==(const Combine&) const = default;
};

// Sampler parameters that GL keeps per texture object rather than per unit.
struct TexParams {
  GLenum minFilter = 0, magFilter = 0, wrapS = 0, wrapT = 0;
  DWORD border = 0;
  GLint baseLevel = 0;
  float lodBias = 0;
  bool operator==(const TexParams&) const = default;
};

class GLBackend final : public RenderBackend {
 public:
  GLBackend() = default;
  ~GLBackend() override;

  bool Create(HWND window, const D3DPRESENT_PARAMETERS& params) override;
  bool Reset(const D3DPRESENT_PARAMETERS& params) override;
  bool IsWindowLost() override;
  bool TakeWindowLoss() override;
  void Clear(const DeviceState& state, DWORD flags, D3DCOLOR colour, float z,
             DWORD stencil) override;
  void Draw(const DeviceState& state, const DrawCall& call) override;
  bool Present() override;

  void TextureChanged(Texture9* texture) override;
  void TextureDestroyed(Texture9* texture) override;
  void VertexBufferChanged(VertexBuffer9* buffer) override;
  void VertexBufferDestroyed(VertexBuffer9* buffer) override;
  void IndexBufferChanged(IndexBuffer9* buffer) override;
  void IndexBufferDestroyed(IndexBuffer9* buffer) override;
  void UploadTexture(Texture9* texture) override;
  bool ReadTextureLevel(Texture9* texture, UINT level, BYTE* out) override;
  bool SaveLayer(const DeviceState& state) override;
  bool RestoreLayer(const DeviceState& state) override;
  void DropLayer() override;
  bool ReadBuffer(std::uint32_t gpuHandle, bool vertices, UINT length, BYTE* out) override;

  // The back buffer as ARGB words, top row first.
  bool ReadBack(std::vector<std::uint32_t>* argb, UINT* width, UINT* height);
  // The window's own colour buffer as ARGB words, top row first: right after Present on
  // software GL, which keeps it through the swap, the frame shown with its bars.
  bool ReadWindow(std::vector<std::uint32_t>* argb, int* width, int* height);
  // Whether the back buffer is the window's own (no off-screen target, no copy).
  bool DrawsIntoWindow() const { return width_ != 0 && framebuffer_ == 0; }
  // Pixels the last RestoreLayer put back: the whole target, or only what the frames since
  // the layer last matched it drew over.
  long long LastRestoredPixels() const { return lastRestoredPixels_; }

 private:
  struct FvfLayout {
    bool valid = false;
    bool pretransformed = false;
    GLint positionSize = 3;
    int normal = -1, diffuse = -1, specular = -1;
    int texCount = 0;
    std::array<int, 8> texOffset{};
    std::array<GLint, 8> texSize{};
    UINT size = 0;
  };

  // Makes this device's context current (another device may have taken it); false if none.
  bool MakeCurrent();
  // This device is about to draw into its window: any other device on the same window
  // can no longer tell what its back buffer holds.
  void TakeWindowOver();
  bool CreateBackBuffer(const D3DPRESENT_PARAMETERS& params);
  void DestroyBackBuffer();
  // Off-screen target of the back buffer's size, or none when drawing into the window.
  bool CreateTarget();
  void DestroyTarget();
  // Whether the window itself can serve as the back buffer: same size, same alpha.
  bool WindowFitsBackBuffer();
  // Moves to or from drawing into the window when the window's size no longer suits
  // the target in use; the back buffer's contents start afresh (black) after a move.
  bool FollowWindowSize();
  void ClearNewBackBuffer();
  // Carries out a whole-target clear held back by Clear (see there), if one is.
  void ClearHeldBack();
  // Draws the off-screen target into the window's rectangle (x, y, w, h), GL's origin.
  void DrawTargetIntoWindow(int x, int y, int w, int h, bool exact);
  void ApplyWindowMode(const D3DPRESENT_PARAMETERS& params);
  // The kept layer's framebuffer, in formats matching the target in use; false if the
  // target's depth format has no renderbuffer twin.
  bool CreateLayer();
  void DestroyLayer();
  // Whether the layer was kept from the target in use, at its size.
  bool LayerMatchesTarget() const;
  // Copies colour and depth from the target into the layer (the whole), or back (the
  // parts drawn over since the two last matched, or the whole when that is not known).
  void CopyLayer(bool intoLayer);
  void BlitLayerIntoWindow(const PixelRect& r);
  // The target matches the layer from here on: count what is drawn over it, as long as
  // what is drawn stays (an off-screen target, or a window whose back buffer a swap keeps).
  void StartTracking();
  void InitContextState();
  void ForgetShadows();

  // Draw helpers (GLDraw.cpp).
  static FvfLayout DecodeFvf(DWORD fvf);
  // A released vertex buffer's box around every position describes a draw that reads it
  // as its own format from its start.
  static bool WholeBoxServes(const VertexBuffer9& buffer, const DrawCall& call,
                             const FvfLayout& layout);
  static void KeepWhatDrawsRead(VertexBuffer9* buffer);
  static void KeepWhatDrawsRead(IndexBuffer9* buffer);
  // The pixels a draw may touch: its vertices [first, last] (from the source's first,
  // at vertices) bounded on the screen; the viewport where that cannot be told.
  static PixelRect DrawnRect(const DeviceState& state, const DrawCall& call,
                             const FvfLayout& layout, const BYTE* vertices, std::size_t first,
                             std::size_t last);
  void ApplyViewport(const D3DVIEWPORT9& vp);
  void ApplyRasterStates(const DeviceState& state);
  void ApplyTransforms(const DeviceState& state, bool pretransformed);
  void ApplyLighting(const DeviceState& state, const FvfLayout& layout);
  void ApplyFog(const DeviceState& state, bool pretransformed);
  void ApplyStages(const DeviceState& state, const FvfLayout& layout);
  void ApplyStage(int unit, const DeviceState& state, const FvfLayout& layout);
  void SetVertexArrays(const DeviceState& state, const FvfLayout& layout, GLuint vbo,
                       const BYTE* base, UINT stride);
  void ForgetArrayPointers();
  // Binds the stage's texture (or white when it has none usable); false for white.
  bool BindTextureObject(int unit, Texture9* texture, const DeviceState& state);
  GLuint PrepareTexture(Texture9* texture);
  template <class Buffer>
  GLuint PrepareBuffer(Buffer* buffer, GLenum target);
  GLuint PrepareVertexBuffer(VertexBuffer9* buffer);
  GLuint PrepareIndexBuffer(IndexBuffer9* buffer);
  void SelectUnit(int unit);
  void SelectClientUnit(int unit);
  void Enable(GLenum cap, bool on, Shadow<bool>& shadow);
  void ClientState(GLenum array, bool on, Shadow<bool>& shadow);
  void BindArrayBuffer(GLuint name);
  void BindElementBuffer(GLuint name);

  GLFunctions fn_;
  SDL_Window* window_ = nullptr;
  void* context_ = nullptr;
  D3DPRESENT_PARAMETERS params_{};
  GLuint framebuffer_ = 0, colourTexture_ = 0, depthBuffer_ = 0;  // 0: drawing into the window
  GLenum presentFilter_ = 0;  // the colour texture's filter as last set
  UINT width_ = 0, height_ = 0;  // 0: no back buffer
  bool alphaFormat_ = false;     // A8R8G8B8 rather than X8R8G8B8
  bool stencilFormat_ = false;   // the depth format has stencil bits
  // Letterbox bars are drawn for a few presents after the window's size changes (each
  // of the window's buffers needs them once), not every frame.
  int barsLeft_ = 0;
  int barsWidth_ = -1, barsHeight_ = -1;
  bool hadFocus_ = false;
  // The window's flags as last read; SDL changes them only while it queues a window
  // event, which marks them stale, so draws need not ask SDL each time.
  std::uint32_t windowFlags_ = 0;
  bool windowFlagsStale_ = true;
  // The full-screen window was minimised, hidden or left since the device last asked: a
  // spell away that ended before anyone asked still costs the device its reset.
  bool lossUnseen_ = false;
  static int WatchWindowEvents(void* backend, SDL_Event* event);
  int windowedWidth_ = 0, windowedHeight_ = 0;  // the window's size before full screen
  GLuint whiteTexture_ = 0;
  // The kept layer: a colour texture and a depth buffer, and for which target (by
  // generation, bumped whenever the target is made or destroyed) they were made and
  // last filled. With an off-screen target and image copies they are in the target's
  // own formats and copied whole (a plain memory copy in software GL); for the window
  // they are blitted through their own framebuffer.
  GLuint layerFramebuffer_ = 0, layerDepth_ = 0;
  GLuint layerColourTexture_ = 0;
  bool layerCopies_ = false;
  GLbitfield layerDepthBits_ = 0;
  GLint depthBitsAsked_ = 0;  // of the back buffer's depth format: 0, 16 or 24
  bool windowHasStencil_ = false;
  // Whether the window's configuration promises its back buffer through a swap.
  bool keepsBackBuffer_ = false;
  // While set, the target equals the kept layer outside drawnOver_.
  bool tracksLayer_ = false;
  DirtyRects drawnOver_;
  long long lastRestoredPixels_ = 0;  // depth, with stencil when the target has it
  std::uint64_t targetGeneration_ = 0;
  std::uint64_t layerGeneration_ = 0;  // the target generation the layer was made for
  bool layerKept_ = false;
  // A clear of the whole target not yet carried out: its GL mask (0: none) and values.
  GLbitfield heldClearMask_ = 0;
  GLfloat heldClearColour_[4] = {0, 0, 0, 0};
  GLdouble heldClearDepth_ = 1;
  GLint heldClearStencil_ = 0;
  bool layerBroken_ = false;  // GL refused a copy once: no layer from then on

  // Per-texture-object sampler parameters, indexed by GL name.
  std::vector<TexParams> texParams_;
  std::vector<std::uint8_t> texAllocated_;
  std::vector<std::uint8_t> bufferAllocated_;  // by GL buffer name: storage exists

  // Shadows of GL state.
  Shadow<bool> depthTest_, blend_, alphaTest_, cullFace_, lighting_, fog_, normalize_,
      colorMaterial_, stencilTest_, scissorTest_, colorSum_, polygonOffset_;
  std::array<Shadow<bool>, kMaxLights> lightOn_;
  Shadow<bool> vertexArray_, normalArray_, colorArray_, secondaryArray_;
  std::array<Shadow<bool>, kGLStages> texture2D_, texCoordArray_;
  std::array<Shadow<DWORD>, kGLStages> texGen_;
  std::array<Shadow<Combine>, kGLStages> combine_;
  std::array<Shadow<DWORD>, kGLStages> envColour_;
  std::array<Shadow<GLuint>, kGLStages> boundTexture_;
  std::array<Shadow<std::array<float, 16>>, kGLStages> texMatrix_;
  Shadow<int> activeUnit_, clientUnit_;
  Shadow<GLuint> arrayBuffer_, elementBuffer_;
  Shadow<bool> depthMask_;
  Shadow<std::array<bool, 4>> colourMask_;
  Shadow<GLenum> depthFunc_, cullSide_, shadeModel_, polygonMode_, colorMaterialMode_;
  Shadow<std::array<GLenum, 4>> blendFunc_;
  Shadow<std::array<GLenum, 2>> blendEquation_;
  Shadow<DWORD> blendColour_;
  Shadow<std::array<DWORD, 2>> alphaFunc_;
  Shadow<std::array<DWORD, 3>> stencilFunc_;
  Shadow<std::array<DWORD, 3>> stencilOp_;
  Shadow<DWORD> stencilWriteMask_;
  Shadow<std::array<DWORD, 2>> depthBias_;
  Shadow<std::array<GLint, 4>> viewport_;
  Shadow<std::array<float, 2>> depthRange_;
  Shadow<std::array<DWORD, 6>> fogParams_;
  Shadow<std::array<DWORD, 2>> lightModel_;
  Shadow<bool> specularOn_;
  Shadow<ArrayPointer> vertexPointer_, normalPointer_, colorPointer_, secondaryPointer_;
  std::array<Shadow<ArrayPointer>, kGLStages> texCoordPointer_;
  // GL's current normal is (0, 0, 0) / current colour is white; a draw with the
  // matching array enabled leaves the current value undefined, so these are forgotten.
  bool currentNormalZero_ = false;
  bool currentColourWhite_ = false;
  // Whether GL's eye space is camera space with z flipped (for a camera looking along +z).
  bool eyeFlip_ = true;
  bool lightsFlip_ = true;
  std::uint64_t lightsVersion_ = ~0ull;
  D3DMATRIX lightsView_{};
  D3DMATERIAL9 material_{};
  bool materialKnown_ = false;
  // The matrices GL holds: which transform version, and whether for screen-space vertices.
  std::uint64_t transformVersion_ = ~0ull;
  int transformMode_ = -1;  // 0: world/view/projection, 1: pre-transformed
  std::array<DWORD, 4> transformViewport_{};
  D3DMATRIX projection_{};                  // in GL's projection matrix (mode 0)
  std::array<D3DMATRIX, 2> modelView_{};  // view and world in GL's modelview (mode 0)
};

GLBackend* AsGLBackend(RenderBackend* backend);

}  // namespace platform::d3d9::gl
