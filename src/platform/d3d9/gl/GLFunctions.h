// The OpenGL entry points past version 1.1 that the drawing backend calls, loaded once a
// context is current. Framebuffer objects come from the core names or the EXT ones.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

namespace platform::d3d9::gl {

struct GLFunctions {
  PFNGLACTIVETEXTUREPROC ActiveTexture = nullptr;
  PFNGLCLIENTACTIVETEXTUREARBPROC ClientActiveTexture = nullptr;
  PFNGLBLENDEQUATIONPROC BlendEquation = nullptr;
  PFNGLBLENDFUNCSEPARATEPROC BlendFuncSeparate = nullptr;
  PFNGLBLENDEQUATIONSEPARATEPROC BlendEquationSeparate = nullptr;
  PFNGLBLENDCOLORPROC BlendColor = nullptr;
  PFNGLSECONDARYCOLORPOINTERPROC SecondaryColorPointer = nullptr;
  PFNGLGENBUFFERSPROC GenBuffers = nullptr;
  PFNGLDELETEBUFFERSPROC DeleteBuffers = nullptr;
  PFNGLBINDBUFFERPROC BindBuffer = nullptr;
  PFNGLBUFFERDATAPROC BufferData = nullptr;
  PFNGLBUFFERSUBDATAPROC BufferSubData = nullptr;
  PFNGLGETBUFFERSUBDATAPROC GetBufferSubData = nullptr;  // optional: buffers keep their bytes
  PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
  PFNGLFRAMEBUFFERTEXTURE2DPROC FramebufferTexture2D = nullptr;
  PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;
  PFNGLBLITFRAMEBUFFERPROC BlitFramebuffer = nullptr;
  PFNGLDRAWELEMENTSBASEVERTEXPROC DrawElementsBaseVertex = nullptr;  // optional
  PFNGLCOPYIMAGESUBDATAPROC CopyImageSubData = nullptr;  // optional: GL_ARB_copy_image
  bool mirrorClamp = false;  // GL_EXT_texture_mirror_clamp / ATI_texture_mirror_once
  bool fogDistance = false;  // GL_NV_fog_distance: fog by the distance from the eye

  // Loads every entry point; false when a required one is missing.
  bool Load();
};

}  // namespace platform::d3d9::gl
