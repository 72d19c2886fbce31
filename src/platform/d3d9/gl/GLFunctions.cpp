#include "platform/d3d9/gl/GLFunctions.h"

#include <SDL.h>

#include <cstring>

namespace platform::d3d9::gl {

namespace {

template <typename F>
bool LoadOne(F* out, const char* name, const char* fallback = nullptr) {
  *out = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
  if (!*out && fallback) *out = reinterpret_cast<F>(SDL_GL_GetProcAddress(fallback));
  return *out != nullptr;
}

}  // namespace

bool GLFunctions::Load() {
  bool ok = true;
  ok &= LoadOne(&ActiveTexture, "glActiveTexture", "glActiveTextureARB");
  ok &= LoadOne(&ClientActiveTexture, "glClientActiveTexture", "glClientActiveTextureARB");
  ok &= LoadOne(&BlendEquation, "glBlendEquation", "glBlendEquationEXT");
  ok &= LoadOne(&BlendFuncSeparate, "glBlendFuncSeparate", "glBlendFuncSeparateEXT");
  ok &= LoadOne(&BlendEquationSeparate, "glBlendEquationSeparate", "glBlendEquationSeparateEXT");
  ok &= LoadOne(&BlendColor, "glBlendColor", "glBlendColorEXT");
  ok &= LoadOne(&SecondaryColorPointer, "glSecondaryColorPointer", "glSecondaryColorPointerEXT");
  ok &= LoadOne(&GenBuffers, "glGenBuffers", "glGenBuffersARB");
  ok &= LoadOne(&DeleteBuffers, "glDeleteBuffers", "glDeleteBuffersARB");
  ok &= LoadOne(&BindBuffer, "glBindBuffer", "glBindBufferARB");
  ok &= LoadOne(&BufferData, "glBufferData", "glBufferDataARB");
  ok &= LoadOne(&BufferSubData, "glBufferSubData", "glBufferSubDataARB");
  LoadOne(&GetBufferSubData, "glGetBufferSubData", "glGetBufferSubDataARB");
  ok &= LoadOne(&GenFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT");
  ok &= LoadOne(&DeleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT");
  ok &= LoadOne(&BindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT");
  ok &= LoadOne(&CheckFramebufferStatus, "glCheckFramebufferStatus", "glCheckFramebufferStatusEXT");
  ok &= LoadOne(&FramebufferRenderbuffer, "glFramebufferRenderbuffer",
                "glFramebufferRenderbufferEXT");
  ok &= LoadOne(&FramebufferTexture2D, "glFramebufferTexture2D", "glFramebufferTexture2DEXT");
  ok &= LoadOne(&GenRenderbuffers, "glGenRenderbuffers", "glGenRenderbuffersEXT");
  ok &= LoadOne(&DeleteRenderbuffers, "glDeleteRenderbuffers", "glDeleteRenderbuffersEXT");
  ok &= LoadOne(&BindRenderbuffer, "glBindRenderbuffer", "glBindRenderbufferEXT");
  ok &= LoadOne(&RenderbufferStorage, "glRenderbufferStorage", "glRenderbufferStorageEXT");
  ok &= LoadOne(&BlitFramebuffer, "glBlitFramebuffer", "glBlitFramebufferEXT");
  LoadOne(&DrawElementsBaseVertex, "glDrawElementsBaseVertex");
  CopyImageSubData = nullptr;
  if (SDL_GL_ExtensionSupported("GL_ARB_copy_image"))
    LoadOne(&CopyImageSubData, "glCopyImageSubData");
  mirrorClamp = SDL_GL_ExtensionSupported("GL_EXT_texture_mirror_clamp") ||
                SDL_GL_ExtensionSupported("GL_ATI_texture_mirror_once") ||
                SDL_GL_ExtensionSupported("GL_ARB_texture_mirror_clamp_to_edge");
  fogDistance = SDL_GL_ExtensionSupported("GL_NV_fog_distance");
  return ok;
}

}  // namespace platform::d3d9::gl
