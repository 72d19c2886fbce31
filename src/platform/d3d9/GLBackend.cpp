// The OpenGL backend's life cycle: context and back buffer, clears, presenting the back
// buffer letterboxed into the window, reading it back, and freeing GPU copies of resources.
// Drawing itself is in gl/GLDraw.cpp.
#include "platform/d3d9/gl/GLBackend.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/d3d9/Device9.h"
#include "platform/win32/GlxConfig.h"
#include "platform/win32/Win32Sdl.h"

namespace platform::d3d9 {

RenderBackend* CreateGLBackend() {
  return new gl::GLBackend();
}

bool QueryRealDesktopMode(D3DDISPLAYMODE* mode) {
  if (!mode) return false;
  // Video stays initialised once opened: the adapter asks often, and the window layer
  // shares the same subsystem (and its refusal of display-less drivers).
  if (!platform::win32::EnsureSdlVideo()) return false;
  SDL_DisplayMode dm{};
  if (SDL_GetDesktopDisplayMode(0, &dm) != 0 || dm.w <= 0 || dm.h <= 0) return false;
  mode->Width = static_cast<UINT>(dm.w);
  mode->Height = static_cast<UINT>(dm.h);
  mode->RefreshRate = dm.refresh_rate > 0 ? static_cast<UINT>(dm.refresh_rate) : 60;
  mode->Format = D3DFMT_X8R8G8B8;
  return true;
}

}  // namespace platform::d3d9

namespace platform::d3d9::gl {

GLBackend* AsGLBackend(RenderBackend* backend) {
  return dynamic_cast<GLBackend*>(backend);
}

namespace {

// Every backend with a context, so that one taking a window over can tell another on
// the same window that what it knew of its back buffer no longer holds.
std::vector<GLBackend*>& LiveBackends() {
  static std::vector<GLBackend*> live;
  return live;
}

}  // namespace

GLBackend::~GLBackend() {
  auto& live = LiveBackends();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  SDL_DelEventWatch(&GLBackend::WatchWindowEvents, this);
  if (!context_) return;
  SDL_GL_MakeCurrent(window_, context_);
  DestroyBackBuffer();
  if (whiteTexture_) glDeleteTextures(1, &whiteTexture_);
  SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
}

int GLBackend::WatchWindowEvents(void* backend, SDL_Event* event) {
  if (event->type != SDL_WINDOWEVENT) return 0;
  auto* self = static_cast<GLBackend*>(backend);
  self->windowFlagsStale_ = true;
  switch (event->window.event) {
    case SDL_WINDOWEVENT_MINIMIZED:
    case SDL_WINDOWEVENT_HIDDEN: self->lossUnseen_ = true; break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      if (self->hadFocus_) self->lossUnseen_ = true;
      break;
    default: break;
  }
  return 0;
}

bool GLBackend::Create(HWND window, const D3DPRESENT_PARAMETERS& params) {
  window_ = platform::win32::SdlWindowOf(window);
  if (!window_) return false;
  SDL_DelEventWatch(&GLBackend::WatchWindowEvents, this);
  SDL_AddEventWatch(&GLBackend::WatchWindowEvents, this);
  windowFlagsStale_ = true;
  if (!(SDL_GetWindowFlags(window_) & SDL_WINDOW_OPENGL)) return false;
  context_ = SDL_GL_CreateContext(window_);
  if (!context_) return false;
  if (SDL_GL_MakeCurrent(window_, context_) != 0 || !fn_.Load()) {
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    context_ = nullptr;
    return false;
  }
  InitContextState();
  keepsBackBuffer_ = platform::win32::CurrentContextKeepsBackBuffer();
  if (std::find(LiveBackends().begin(), LiveBackends().end(), this) == LiveBackends().end())
    LiveBackends().push_back(this);
  TakeWindowOver();
  ApplyWindowMode(params);
  if (!CreateBackBuffer(params)) {
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    context_ = nullptr;
    return false;
  }
  params_ = params;
  return true;
}

void GLBackend::TakeWindowOver() {
  for (GLBackend* other : LiveBackends())
    if (other != this && other->window_ == window_) other->tracksLayer_ = false;
}

bool GLBackend::MakeCurrent() {
  if (!context_) return false;
  if (SDL_GL_GetCurrentContext() == context_) return true;
  TakeWindowOver();
  return SDL_GL_MakeCurrent(window_, context_) == 0;
}

bool GLBackend::Reset(const D3DPRESENT_PARAMETERS& params) {
  if (!MakeCurrent()) return false;
  ApplyWindowMode(params);
  DestroyBackBuffer();
  if (!CreateBackBuffer(params)) return false;
  params_ = params;
  return true;
}

// As a Direct3D device does, the device puts its window in or out of full screen.
void GLBackend::ApplyWindowMode(const D3DPRESENT_PARAMETERS& params) {
  const bool fullscreen = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN) != 0;
  if (!params.Windowed && !fullscreen) {
    SDL_GetWindowSize(window_, &windowedWidth_, &windowedHeight_);
    // Without a window manager the X window keeps its size through the switch, so it is
    // made desktop-sized first.
    SDL_DisplayMode desktop{};
    const int display = std::max(0, SDL_GetWindowDisplayIndex(window_));
    if (SDL_GetDesktopDisplayMode(display, &desktop) == 0 && desktop.w > 0 && desktop.h > 0) {
      SDL_SetWindowPosition(window_, 0, 0);
      SDL_SetWindowSize(window_, desktop.w, desktop.h);
    }
    SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
  } else if (params.Windowed && fullscreen) {
    SDL_SetWindowFullscreen(window_, 0);
    if (windowedWidth_ > 0 && windowedHeight_ > 0)
      SDL_SetWindowSize(window_, windowedWidth_, windowedHeight_);
  }
  SDL_GL_SetSwapInterval(params.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
  windowFlagsStale_ = true;
}

bool GLBackend::CreateBackBuffer(const D3DPRESENT_PARAMETERS& params) {
  UINT w = params.BackBufferWidth, h = params.BackBufferHeight;
  if (w == 0 || h == 0) {
    // As Direct3D does: a zero size means the window's client size.
    int ww = 0, wh = 0;
    SDL_GetWindowSize(window_, &ww, &wh);
    if (w == 0) w = static_cast<UINT>(std::max(ww, 1));
    if (h == 0) h = static_cast<UINT>(std::max(wh, 1));
  }
  for (GLenum limit : {GL_MAX_RENDERBUFFER_SIZE, GL_MAX_TEXTURE_SIZE}) {
    GLint maxSize = 0;
    glGetIntegerv(limit, &maxSize);
    if (maxSize > 0 && (w > static_cast<UINT>(maxSize) || h > static_cast<UINT>(maxSize)))
      return false;
  }
  width_ = w;
  height_ = h;
  alphaFormat_ = params.BackBufferFormat == D3DFMT_A8R8G8B8;
  stencilFormat_ = params.AutoDepthStencilFormat == D3DFMT_D24S8;
  const bool sixteen = params.AutoDepthStencilFormat == D3DFMT_D16 ||
                       params.AutoDepthStencilFormat == D3DFMT_D16_LOCKABLE;
  depthBitsAsked_ = !params.EnableAutoDepthStencil ? 0 : sixteen ? 16 : 24;
  barsLeft_ = 0;
  barsWidth_ = barsHeight_ = -1;
  if (!WindowFitsBackBuffer() && !CreateTarget()) {
    width_ = height_ = 0;
    return false;
  }
  ClearNewBackBuffer();
  return true;
}

bool GLBackend::WindowFitsBackBuffer() {
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  if (dw != static_cast<int>(width_) || dh != static_cast<int>(height_)) return false;
  // An X8 back buffer has no alpha to blend against (Direct3D reads it as one); an A8
  // one needs stored alpha. The window's own buffer must agree, and its depth and stencil
  // must be at least what the device was asked for.
  if (framebuffer_) fn_.BindFramebuffer(GL_FRAMEBUFFER, 0);
  GLint alphaBits = 0, depthBits = 0, stencilBits = 0;
  glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
  glGetIntegerv(GL_DEPTH_BITS, &depthBits);
  glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
  if (framebuffer_) fn_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  windowHasStencil_ = stencilBits > 0;
  return (alphaBits > 0) == alphaFormat_ && depthBits >= depthBitsAsked_ &&
         (!stencilFormat_ || stencilBits >= 8);
}

bool GLBackend::CreateTarget() {
  ++targetGeneration_;
  tracksLayer_ = false;
  const GLenum colourFormat = alphaFormat_ ? GL_RGBA8 : GL_RGB8;
  const auto w = static_cast<GLsizei>(width_), h = static_cast<GLsizei>(height_);
  fn_.GenFramebuffers(1, &framebuffer_);
  fn_.GenRenderbuffers(1, &depthBuffer_);
  fn_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  // The colour is a texture so that Present can draw it as a quad. BGRA as the layout
  // hint gives software GL its native pixel order.
  glGenTextures(1, &colourTexture_);
  glBindTexture(GL_TEXTURE_2D, colourTexture_);
  glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(colourFormat), w, h, 0, GL_BGRA,
               GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  presentFilter_ = GL_LINEAR;
  glBindTexture(GL_TEXTURE_2D, 0);
  for (auto& bound : boundTexture_) bound.Forget();
  fn_.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colourTexture_, 0);
  // Stencil only when the format has it: clearing depth alone in a packed depth-stencil
  // buffer must keep the stencil bits, which software GL does the slow way.
  fn_.BindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
  fn_.RenderbufferStorage(GL_RENDERBUFFER, stencilFormat_ ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT24,
                          w, h);
  fn_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthBuffer_);
  if (stencilFormat_)
    fn_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                depthBuffer_);
  fn_.BindRenderbuffer(GL_RENDERBUFFER, 0);
  if (fn_.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    DestroyTarget();
    return false;
  }
  return true;
}

void GLBackend::DestroyTarget() {
  ++targetGeneration_;
  tracksLayer_ = false;
  if (framebuffer_) {
    fn_.BindFramebuffer(GL_FRAMEBUFFER, 0);
    fn_.DeleteFramebuffers(1, &framebuffer_);
  }
  if (colourTexture_) {
    glDeleteTextures(1, &colourTexture_);
    for (auto& bound : boundTexture_) bound.Forget();
  }
  if (depthBuffer_) fn_.DeleteRenderbuffers(1, &depthBuffer_);
  framebuffer_ = colourTexture_ = depthBuffer_ = 0;
}

bool GLBackend::FollowWindowSize() {
  if (!width_) return false;
  const bool fits = WindowFitsBackBuffer();
  if (fits == (framebuffer_ == 0)) return true;
  if (fits) {
    DestroyTarget();
  } else if (!CreateTarget()) {
    return false;
  }
  ClearNewBackBuffer();
  return true;
}

// A new back buffer starts black with a cleared depth buffer, like a fresh swap chain.
void GLBackend::ClearNewBackBuffer() {
  fn_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  scissorTest_.Set(false);
  glDisable(GL_SCISSOR_TEST);
  colourMask_.Set({true, true, true, true});
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  depthMask_.Set(true);
  glDepthMask(GL_TRUE);
  stencilWriteMask_.Set(0xFFFFFFFFu);
  glStencilMask(0xFFFFFFFFu);
  glClearColor(0, 0, 0, 1);
  glClearDepth(1);
  glClearStencil(0);
  glViewport(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_));
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  viewport_.Forget();
  transformMode_ = -1;
}

void GLBackend::DestroyBackBuffer() {
  heldClearMask_ = 0;
  DestroyLayer();
  DestroyTarget();
  width_ = height_ = 0;
}

void GLBackend::InitContextState() {
  ForgetShadows();
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  // Direct3D adds the specular colour after texturing.
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
  glFrontFace(GL_CCW);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  // Eye-linear planes are taken through the modelview in force now (identity), so they
  // yield camera-space positions.
  static const GLfloat kPlanes[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  for (int unit = 0; unit < kGLStages; ++unit) {
    fn_.ActiveTexture(GL_TEXTURE0 + unit);
    glTexGenfv(GL_S, GL_EYE_PLANE, kPlanes[0]);
    glTexGenfv(GL_T, GL_EYE_PLANE, kPlanes[1]);
    glTexGenfv(GL_R, GL_EYE_PLANE, kPlanes[2]);
    glTexGenfv(GL_Q, GL_EYE_PLANE, kPlanes[3]);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
  }
  fn_.ActiveTexture(GL_TEXTURE0);
  activeUnit_.Set(0);
  // A stage with no texture reads white, so it passes the colour it modulates.
  glGenTextures(1, &whiteTexture_);
  glBindTexture(GL_TEXTURE_2D, whiteTexture_);
  const GLubyte white[4] = {255, 255, 255, 255};
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  glEnableClientState(GL_VERTEX_ARRAY);
  vertexArray_.Set(true);
}

void GLBackend::ForgetShadows() {
  for (Shadow<bool>* s :
       {&depthTest_, &blend_, &alphaTest_, &cullFace_, &lighting_, &fog_, &normalize_,
        &colorMaterial_, &stencilTest_, &scissorTest_, &colorSum_, &polygonOffset_, &vertexArray_,
        &normalArray_, &colorArray_, &secondaryArray_, &depthMask_, &specularOn_})
    s->Forget();
  for (auto& s : lightOn_) s.Forget();
  for (int i = 0; i < kGLStages; ++i) {
    texture2D_[i].Forget();
    texCoordArray_[i].Forget();
    texGen_[i].Forget();
    combine_[i].Forget();
    envColour_[i].Forget();
    boundTexture_[i].Forget();
    texMatrix_[i].Forget();
  }
  activeUnit_.Forget();
  clientUnit_.Forget();
  arrayBuffer_.Forget();
  elementBuffer_.Forget();
  colourMask_.Forget();
  depthFunc_.Forget();
  cullSide_.Forget();
  shadeModel_.Forget();
  polygonMode_.Forget();
  colorMaterialMode_.Forget();
  blendFunc_.Forget();
  blendEquation_.Forget();
  blendColour_.Forget();
  alphaFunc_.Forget();
  stencilFunc_.Forget();
  stencilOp_.Forget();
  stencilWriteMask_.Forget();
  depthBias_.Forget();
  viewport_.Forget();
  depthRange_.Forget();
  fogParams_.Forget();
  lightModel_.Forget();
  ForgetArrayPointers();
  currentNormalZero_ = currentColourWhite_ = false;
  lightsVersion_ = ~0ull;
  materialKnown_ = false;
  transformVersion_ = ~0ull;
  transformMode_ = -1;
}

bool GLBackend::TakeWindowLoss() {
  const bool unseen = lossUnseen_ && !params_.Windowed;
  lossUnseen_ = false;
  return unseen;
}

bool GLBackend::IsWindowLost() {
  if (!window_) return true;
  if (params_.Windowed) return false;
  if (windowFlagsStale_) {
    windowFlagsStale_ = false;
    windowFlags_ = SDL_GetWindowFlags(window_);
  }
  const Uint32 flags = windowFlags_;
  if (flags & SDL_WINDOW_MINIMIZED) return true;
  // Without a window manager focus arrives only some time after the window is raised;
  // until it has come once, the start-up must not count as losing the device.
  if (flags & SDL_WINDOW_INPUT_FOCUS) {
    hadFocus_ = true;
    return false;
  }
  return hadFocus_;
}

void GLBackend::Clear(const DeviceState& state, DWORD flags, D3DCOLOR colour, float z,
                      DWORD stencil) {
  if (!width_ || !MakeCurrent()) return;
  ClearHeldBack();
  // A frame starts with a clear: the window may have changed size since the last one.
  if (!framebuffer_ && !FollowWindowSize()) return;
  ApplyViewport(state.viewport);
  GLbitfield mask = 0;
  if (flags & D3DCLEAR_TARGET) {
    mask |= GL_COLOR_BUFFER_BIT;
    if (colourMask_.Set({true, true, true, true})) glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClearColor(((colour >> 16) & 0xFF) / 255.0f, ((colour >> 8) & 0xFF) / 255.0f,
                 (colour & 0xFF) / 255.0f, ((colour >> 24) & 0xFF) / 255.0f);
  }
  if (flags & D3DCLEAR_ZBUFFER) {
    mask |= GL_DEPTH_BUFFER_BIT;
    if (depthMask_.Set(true)) glDepthMask(GL_TRUE);
    glClearDepth(std::clamp(z, 0.0f, 1.0f));
    // The window's depth buffer carries stencil bits the format does not have: clearing
    // them too keeps software GL on its fast whole-buffer path.
    if (!framebuffer_ && windowHasStencil_ && !stencilFormat_ && !(flags & D3DCLEAR_STENCIL)) {
      mask |= GL_STENCIL_BUFFER_BIT;
      if (stencilWriteMask_.Set(0xFFFFFFFFu)) glStencilMask(0xFFFFFFFFu);
      glClearStencil(0);
    }
  }
  if (flags & D3DCLEAR_STENCIL) {
    mask |= GL_STENCIL_BUFFER_BIT;
    if (stencilWriteMask_.Set(0xFFFFFFFFu)) glStencilMask(0xFFFFFFFFu);
    glClearStencil(static_cast<GLint>(stencil & 0xFF));
  }
  if (!mask) return;
  // A clear covers the viewport only; a whole-surface clear goes without the scissor,
  // which is the fast path in software GL.
  const D3DVIEWPORT9& vp = state.viewport;
  const bool whole = vp.X == 0 && vp.Y == 0 && vp.Width >= width_ && vp.Height >= height_;
  if (whole && (mask & GL_COLOR_BUFFER_BIT) && (mask & GL_DEPTH_BUFFER_BIT)) {
    // Held back until something draws, reads or shows the target: a frame that starts
    // from the kept layer overwrites all of it, and the clear is then never made.
    heldClearMask_ = mask;
    glGetFloatv(GL_COLOR_CLEAR_VALUE, heldClearColour_);
    glGetDoublev(GL_DEPTH_CLEAR_VALUE, &heldClearDepth_);
    glGetIntegerv(GL_STENCIL_CLEAR_VALUE, &heldClearStencil_);
    return;
  }
  if (tracksLayer_) {
    drawnOver_.Add({static_cast<int>(vp.X), static_cast<int>(vp.Y),
                    static_cast<int>(vp.X + vp.Width), static_cast<int>(vp.Y + vp.Height)});
  }
  Enable(GL_SCISSOR_TEST, !whole, scissorTest_);
  if (!whole) {
    const GLint top = static_cast<GLint>(vp.Y + vp.Height);
    glScissor(static_cast<GLint>(vp.X), static_cast<GLint>(height_) - top,
              static_cast<GLsizei>(vp.Width), static_cast<GLsizei>(vp.Height));
  }
  glClear(mask);
}

void GLBackend::ClearHeldBack() {
  if (!heldClearMask_) return;
  const GLbitfield mask = heldClearMask_;
  heldClearMask_ = 0;
  drawnOver_.AddAll();
  fn_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  Enable(GL_SCISSOR_TEST, false, scissorTest_);
  if (colourMask_.Set({true, true, true, true})) glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  if (depthMask_.Set(true)) glDepthMask(GL_TRUE);
  if ((mask & GL_STENCIL_BUFFER_BIT) && stencilWriteMask_.Set(0xFFFFFFFFu)) glStencilMask(0xFFFFFFFFu);
  glClearColor(heldClearColour_[0], heldClearColour_[1], heldClearColour_[2], heldClearColour_[3]);
  glClearDepth(heldClearDepth_);
  glClearStencil(heldClearStencil_);
  glClear(mask);
}

bool GLBackend::Present() {
  if (!width_ || !MakeCurrent()) return false;
  ClearHeldBack();
  if (!framebuffer_) {
    // Drawn straight into the window: nothing to copy.
    SDL_GL_SwapWindow(window_);
    if (!keepsBackBuffer_) tracksLayer_ = false;
    viewport_.Forget();
    FollowWindowSize();
    return true;
  }
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  Enable(GL_SCISSOR_TEST, false, scissorTest_);
  if (colourMask_.Set({true, true, true, true})) glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  fn_.BindFramebuffer(GL_FRAMEBUFFER, 0);
  if (dw > 0 && dh > 0) {
    // Scaled to fit with the aspect kept; the rest of the window is black.
    const double scale =
        std::min(static_cast<double>(dw) / width_, static_cast<double>(dh) / height_);
    const int w = std::max(1, static_cast<int>(width_ * scale + 0.5));
    const int h = std::max(1, static_cast<int>(height_ * scale + 0.5));
    const int x = (dw - w) / 2, y = (dh - h) / 2;
    if (dw != barsWidth_ || dh != barsHeight_) {
      barsWidth_ = dw;
      barsHeight_ = dh;
      barsLeft_ = 3;  // front, back and a third buffer if the window has one
    }
    if (barsLeft_ > 0 && (w != dw || h != dh)) {
      --barsLeft_;
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);
    }
    DrawTargetIntoWindow(x, y, w, h, w == static_cast<int>(width_) && h == static_cast<int>(height_));
  }
  SDL_GL_SwapWindow(window_);
  fn_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  viewport_.Forget();
  FollowWindowSize();
  return true;
}

void GLBackend::DrawTargetIntoWindow(int x, int y, int w, int h, bool exact) {
  // Everything the quad needs is set under a saved copy of GL's state, so the shadows
  // still hold afterwards.
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glDisable(GL_LIGHTING);
  glDisable(GL_FOG);
  glDisable(GL_COLOR_SUM);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glViewport(x, y, w, h);
  for (int unit = kGLStages - 1; unit >= 0; --unit) {
    fn_.ActiveTexture(GL_TEXTURE0 + unit);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glDisable(GL_TEXTURE_GEN_R);
    glDisable(GL_TEXTURE_GEN_Q);
    if (unit > 0) glDisable(GL_TEXTURE_2D);
  }
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, colourTexture_);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  // One to one needs no filtering, and nearest keeps every pixel exact.
  const GLenum filter = exact ? GL_NEAREST : GL_LINEAR;
  if (filter != presentFilter_) {
    presentFilter_ = filter;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(filter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(filter));
  }
  glMatrixMode(GL_TEXTURE);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(0, 0);
  glVertex2f(-1, -1);
  glTexCoord2f(1, 0);
  glVertex2f(1, -1);
  glTexCoord2f(0, 1);
  glVertex2f(-1, 1);
  glTexCoord2f(1, 1);
  glVertex2f(1, 1);
  glEnd();
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_TEXTURE);
  glPopMatrix();
  glPopAttrib();
}

bool GLBackend::CreateLayer() {
  DestroyLayer();
  // Depth (and stencil) are copied as they are, so the layer's format must be the
  // target's own.
  GLenum depthFormat = 0;
  layerDepthBits_ = GL_DEPTH_BUFFER_BIT;
  if (framebuffer_) {
    depthFormat = stencilFormat_ ? GL_DEPTH24_STENCIL8 : GL_DEPTH_COMPONENT24;
    if (stencilFormat_) layerDepthBits_ |= GL_STENCIL_BUFFER_BIT;
  } else {
    GLint depthBits = 0, stencilBits = 0;
    fn_.BindFramebuffer(GL_FRAMEBUFFER, 0);
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
    if (depthBits == 24 && stencilBits == 8) {
      depthFormat = GL_DEPTH24_STENCIL8;
      layerDepthBits_ |= GL_STENCIL_BUFFER_BIT;
    } else if (depthBits == 24 && stencilBits == 0) {
      depthFormat = GL_DEPTH_COMPONENT24;
    } else if (depthBits == 16 && stencilBits == 0) {
      depthFormat = GL_DEPTH_COMPONENT16;
    } else {
      return false;
    }
  }
  const auto w = static_cast<GLsizei>(width_), h = static_cast<GLsizei>(height_);
  layerCopies_ = framebuffer_ && fn_.CopyImageSubData;
  if (layerCopies_) {
    glGenTextures(1, &layerColourTexture_);
    glBindTexture(GL_TEXTURE_2D, layerColourTexture_);
    glTexImage2D(GL_TEXTURE_2D, 0, alphaFormat_ ? GL_RGBA8 : GL_RGB8, w, h, 0, GL_BGRA,
                 GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    for (auto& bound : boundTexture_) bound.Forget();
    fn_.GenRenderbuffers(1, &layerDepth_);
    fn_.BindRenderbuffer(GL_RENDERBUFFER, layerDepth_);
    fn_.RenderbufferStorage(GL_RENDERBUFFER, depthFormat, w, h);
    fn_.BindRenderbuffer(GL_RENDERBUFFER, 0);
    layerGeneration_ = targetGeneration_;
    return layerColourTexture_ && layerDepth_;
  }
  fn_.GenFramebuffers(1, &layerFramebuffer_);
  // The colour is a texture of the unsized format with blue first, as the window's own
  // buffer is laid out: the software renderer then puts it back by a copy of memory.
  // A sized format (a renderbuffer, or RGBA8) is stored red first and goes through a
  // shader, at over ten times the cost.
  glGenTextures(1, &layerColourTexture_);
  glBindTexture(GL_TEXTURE_2D, layerColourTexture_);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  glBindTexture(GL_TEXTURE_2D, 0);
  for (auto& bound : boundTexture_) bound.Forget();
  fn_.GenRenderbuffers(1, &layerDepth_);
  fn_.BindFramebuffer(GL_FRAMEBUFFER, layerFramebuffer_);
  fn_.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                           layerColourTexture_, 0);
  fn_.BindRenderbuffer(GL_RENDERBUFFER, layerDepth_);
  fn_.RenderbufferStorage(GL_RENDERBUFFER, depthFormat, w, h);
  fn_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, layerDepth_);
  if (layerDepthBits_ & GL_STENCIL_BUFFER_BIT)
    fn_.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, layerDepth_);
  fn_.BindRenderbuffer(GL_RENDERBUFFER, 0);
  const bool complete = fn_.CheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  fn_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  if (!complete) {
    DestroyLayer();
    return false;
  }
  layerGeneration_ = targetGeneration_;
  return true;
}

void GLBackend::StartTracking() {
  tracksLayer_ = framebuffer_ != 0 || keepsBackBuffer_;
  drawnOver_.Reset(static_cast<int>(width_), static_cast<int>(height_));
}

void GLBackend::DestroyLayer() {
  tracksLayer_ = false;
  if (layerFramebuffer_) fn_.DeleteFramebuffers(1, &layerFramebuffer_);
  if (layerColourTexture_) {
    glDeleteTextures(1, &layerColourTexture_);
    for (auto& bound : boundTexture_) bound.Forget();
  }
  layerColourTexture_ = 0;
  if (layerDepth_) fn_.DeleteRenderbuffers(1, &layerDepth_);
  layerFramebuffer_ = layerDepth_ = 0;
  layerKept_ = false;
}

bool GLBackend::LayerMatchesTarget() const {
  return layerColourTexture_ && layerGeneration_ == targetGeneration_;
}

void GLBackend::CopyLayer(bool intoLayer) {
  const auto w = static_cast<int>(width_), h = static_cast<int>(height_);
  const GLuint colour[2] = {colourTexture_, layerColourTexture_};
  const GLuint depth[2] = {depthBuffer_, layerDepth_};
  const int from = intoLayer ? 0 : 1, to = 1 - from;
  const bool whole = intoLayer || !tracksLayer_ || drawnOver_.All();
  const int count = whole ? 1 : drawnOver_.Count();
  lastRestoredPixels_ = 0;
  for (int i = 0; i < count; ++i) {
    const PixelRect r = whole ? PixelRect{0, 0, w, h} : drawnOver_[i];
    // The target keeps GL's rows, bottom first.
    const GLint x = r.left, y = h - r.bottom;
    const GLsizei rw = r.right - r.left, rh = r.bottom - r.top;
    fn_.CopyImageSubData(colour[from], GL_TEXTURE_2D, 0, x, y, 0, colour[to], GL_TEXTURE_2D, 0, x,
                         y, 0, rw, rh, 1);
    fn_.CopyImageSubData(depth[from], GL_RENDERBUFFER, 0, x, y, 0, depth[to], GL_RENDERBUFFER, 0,
                         x, y, 0, rw, rh, 1);
    if (!intoLayer) lastRestoredPixels_ += r.Area();
  }
}

void GLBackend::BlitLayerIntoWindow(const PixelRect& r) {
  // The layer holds the window's rows top first (see SaveLayer): the rectangle's rows in
  // the layer are its own, in the window they count from the bottom.
  const auto h = static_cast<GLint>(height_);
  fn_.BlitFramebuffer(r.left, r.bottom, r.right, r.top, r.left, h - r.bottom, r.right, h - r.top,
                      GL_COLOR_BUFFER_BIT | layerDepthBits_, GL_NEAREST);
  lastRestoredPixels_ += r.Area();
}

bool GLBackend::SaveLayer(const DeviceState&) {
  layerKept_ = false;
  if (layerBroken_ || !width_ || !MakeCurrent()) return false;
  ClearHeldBack();
  if (!LayerMatchesTarget() && !CreateLayer()) return false;
  while (glGetError() != GL_NO_ERROR) {
  }
  if (layerCopies_) {
    CopyLayer(true);
  } else {
    // A blit is clipped by the scissor, and only by it. The window keeps its rows from
    // the top and a framebuffer object from the bottom, so a blit between them that
    // keeps the picture upright turns it over in memory, and the software renderer then
    // draws it through a shader. The layer is kept upside down instead: both ways are
    // then straight copies of memory (the depth always; the colour where the formats
    // allow it).
    Enable(GL_SCISSOR_TEST, false, scissorTest_);
    const auto w = static_cast<GLint>(width_), h = static_cast<GLint>(height_);
    fn_.BindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
    fn_.BindFramebuffer(GL_DRAW_FRAMEBUFFER, layerFramebuffer_);
    fn_.BlitFramebuffer(0, 0, w, h, 0, h, w, 0, GL_COLOR_BUFFER_BIT | layerDepthBits_, GL_NEAREST);
    fn_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  }
  if (glGetError() != GL_NO_ERROR) {
    // The formats did not match after all: frames are drawn in full from now on.
    layerBroken_ = true;
    DestroyLayer();
    return false;
  }
  layerKept_ = true;
  StartTracking();
  return true;
}

bool GLBackend::RestoreLayer(const DeviceState&) {
  if (!layerKept_ || !width_ || !MakeCurrent()) return false;
  if (!LayerMatchesTarget()) {
    layerKept_ = false;
    return false;
  }
  // The layer overwrites every plane a held clear would have cleared.
  const GLbitfield restored =
      GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT |
      ((layerCopies_ ? stencilFormat_ : (layerDepthBits_ & GL_STENCIL_BUFFER_BIT) != 0)
           ? GL_STENCIL_BUFFER_BIT
           : 0);
  if ((heldClearMask_ & ~restored) == 0) heldClearMask_ = 0;
  ClearHeldBack();
  if (layerCopies_) {
    CopyLayer(false);
    StartTracking();
    return true;
  }
  // Turned upright again (see SaveLayer): the whole, or only what was drawn over since
  // the window last matched the layer.
  Enable(GL_SCISSOR_TEST, false, scissorTest_);
  fn_.BindFramebuffer(GL_READ_FRAMEBUFFER, layerFramebuffer_);
  fn_.BindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer_);
  lastRestoredPixels_ = 0;
  if (!tracksLayer_ || drawnOver_.All()) {
    BlitLayerIntoWindow({0, 0, static_cast<int>(width_), static_cast<int>(height_)});
  } else {
    for (int i = 0; i < drawnOver_.Count(); ++i) BlitLayerIntoWindow(drawnOver_[i]);
  }
  fn_.BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  StartTracking();
  return true;
}

void GLBackend::DropLayer() {
  layerKept_ = false;
  tracksLayer_ = false;
  if ((layerColourTexture_ || layerDepth_ || layerFramebuffer_) && MakeCurrent()) DestroyLayer();
}

bool GLBackend::ReadBack(std::vector<std::uint32_t>* argb, UINT* width, UINT* height) {
  if (!width_ || !argb || !MakeCurrent()) return false;
  ClearHeldBack();
  const std::size_t rowWords = width_;
  argb->resize(rowWords * height_);
  fn_.BindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
  glReadPixels(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), GL_BGRA,
               GL_UNSIGNED_INT_8_8_8_8_REV, argb->data());
  // GL's rows start at the bottom.
  for (UINT y = 0; y < height_ / 2; ++y)
    std::swap_ranges(argb->begin() + y * rowWords, argb->begin() + (y + 1) * rowWords,
                     argb->begin() + (height_ - 1 - y) * rowWords);
  if (width) *width = width_;
  if (height) *height = height_;
  return glGetError() == GL_NO_ERROR;
}

bool GLBackend::ReadWindow(std::vector<std::uint32_t>* argb, int* width, int* height) {
  if (!argb || !MakeCurrent()) return false;
  ClearHeldBack();
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(window_, &dw, &dh);
  if (dw <= 0 || dh <= 0) return false;
  const auto rowWords = static_cast<std::size_t>(dw);
  argb->resize(rowWords * static_cast<std::size_t>(dh));
  fn_.BindFramebuffer(GL_READ_FRAMEBUFFER, 0);
  glReadPixels(0, 0, dw, dh, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, argb->data());
  fn_.BindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
  for (int y = 0; y < dh / 2; ++y)
    std::swap_ranges(argb->begin() + y * dw, argb->begin() + (y + 1) * dw,
                     argb->begin() + (dh - 1 - y) * dw);
  if (width) *width = dw;
  if (height) *height = dh;
  return glGetError() == GL_NO_ERROR;
}

void GLBackend::TextureChanged(Texture9*) {
  // The texture marked itself dirty; it is uploaded when next bound.
}

void GLBackend::TextureDestroyed(Texture9* texture) {
  if (!texture->gpuHandle || !MakeCurrent()) return;
  const GLuint name = texture->gpuHandle;
  for (int unit = 0; unit < kGLStages; ++unit) boundTexture_[unit].Forget();
  glDeleteTextures(1, &name);
  if (name < texAllocated_.size()) texAllocated_[name] = 0;
  if (name < texParams_.size()) texParams_[name] = TexParams{};
  texture->gpuHandle = 0;
}

// The context lives as long as the device, through resets and window loss alike, so its
// copy of a texture is the only one needed.
void GLBackend::UploadTexture(Texture9* texture) {
  if (!texture->MayReleasePixels() || !MakeCurrent()) return;
  while (glGetError() != GL_NO_ERROR) {
  }
  if (!PrepareTexture(texture) || texture->gpuDirty || glGetError() != GL_NO_ERROR) return;
  texture->ReleasePixels();
}

bool GLBackend::ReadTextureLevel(Texture9* texture, UINT level, BYTE* out) {
  if (!texture->gpuHandle || texture->gpuDirty || level >= texture->Levels().size() ||
      !MakeCurrent())
    return false;
  if (texture->Format() != D3DFMT_A8R8G8B8 && texture->Format() != D3DFMT_X8R8G8B8) return false;
  while (glGetError() != GL_NO_ERROR) {
  }
  SelectUnit(0);
  boundTexture_[0].Forget();
  glBindTexture(GL_TEXTURE_2D, texture->gpuHandle);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glGetTexImage(GL_TEXTURE_2D, static_cast<GLint>(level), GL_BGRA, GL_UNSIGNED_BYTE, out);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  return glGetError() == GL_NO_ERROR;
}

bool GLBackend::ReadBuffer(std::uint32_t gpuHandle, bool vertices, UINT length, BYTE* out) {
  if (!gpuHandle || !fn_.GetBufferSubData || !MakeCurrent()) return false;
  while (glGetError() != GL_NO_ERROR) {
  }
  if (vertices)
    BindArrayBuffer(gpuHandle);
  else
    BindElementBuffer(gpuHandle);
  fn_.GetBufferSubData(vertices ? GL_ARRAY_BUFFER : GL_ELEMENT_ARRAY_BUFFER, 0, length, out);
  return glGetError() == GL_NO_ERROR;
}

void GLBackend::VertexBufferChanged(VertexBuffer9*) {}

void GLBackend::VertexBufferDestroyed(VertexBuffer9* buffer) {
  if (!buffer->gpuHandle || !MakeCurrent()) return;
  const GLuint name = buffer->gpuHandle;
  arrayBuffer_.Forget();
  ForgetArrayPointers();  // arrays drawing from a deleted buffer fall back to no buffer
  fn_.DeleteBuffers(1, &name);
  if (name < bufferAllocated_.size()) bufferAllocated_[name] = 0;
  buffer->gpuHandle = 0;
}

void GLBackend::IndexBufferChanged(IndexBuffer9*) {}

void GLBackend::IndexBufferDestroyed(IndexBuffer9* buffer) {
  if (!buffer->gpuHandle || !MakeCurrent()) return;
  const GLuint name = buffer->gpuHandle;
  elementBuffer_.Forget();
  fn_.DeleteBuffers(1, &name);
  if (name < bufferAllocated_.size()) bufferAllocated_[name] = 0;
  buffer->gpuHandle = 0;
}

void GLBackend::Enable(GLenum cap, bool on, Shadow<bool>& shadow) {
  if (!shadow.Set(on)) return;
  if (on) {
    glEnable(cap);
  } else {
    glDisable(cap);
  }
}

void GLBackend::ClientState(GLenum array, bool on, Shadow<bool>& shadow) {
  if (!shadow.Set(on)) return;
  if (on) {
    glEnableClientState(array);
  } else {
    glDisableClientState(array);
  }
}

void GLBackend::SelectUnit(int unit) {
  if (activeUnit_.Set(unit)) fn_.ActiveTexture(GL_TEXTURE0 + unit);
}

void GLBackend::SelectClientUnit(int unit) {
  if (clientUnit_.Set(unit)) fn_.ClientActiveTexture(GL_TEXTURE0 + unit);
}

void GLBackend::BindArrayBuffer(GLuint name) {
  if (arrayBuffer_.Set(name)) fn_.BindBuffer(GL_ARRAY_BUFFER, name);
}

void GLBackend::BindElementBuffer(GLuint name) {
  if (elementBuffer_.Set(name)) fn_.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, name);
}

}  // namespace platform::d3d9::gl
