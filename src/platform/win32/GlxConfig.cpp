#include "platform/win32/GlxConfig.h"

#include <GL/glx.h>
#include <X11/Xlib.h>

#include <tuple>

namespace platform::win32 {

namespace {

// From the OML swap-method extension; not every header has them.
constexpr int kSwapMethod = 0x8060;  // GLX_SWAP_METHOD_OML
constexpr int kSwapCopy = 0x8062;    // GLX_SWAP_COPY_OML

int Attribute(Display* display, GLXFBConfig config, int name) {
  int value = 0;
  return glXGetFBConfigAttrib(display, config, name, &value) == Success ? value : 0;
}

unsigned long ChooseVisual(Display* display, int depthBits) {
  const int wanted[] = {GLX_X_RENDERABLE,
                        True,
                        GLX_DRAWABLE_TYPE,
                        GLX_WINDOW_BIT,
                        GLX_RENDER_TYPE,
                        GLX_RGBA_BIT,
                        GLX_X_VISUAL_TYPE,
                        GLX_TRUE_COLOR,
                        GLX_DOUBLEBUFFER,
                        True,
                        GLX_RED_SIZE,
                        8,
                        GLX_GREEN_SIZE,
                        8,
                        GLX_BLUE_SIZE,
                        8,
                        GLX_DEPTH_SIZE,
                        depthBits,
                        None};
  int count = 0;
  GLXFBConfig* configs = glXChooseFBConfig(display, DefaultScreen(display), wanted, &count);
  if (!configs) return 0;
  unsigned long best = 0;
  // Lower is better, compared in order: anything the driver marks slow or odd, then
  // multisampling, then the depth beyond what is needed, stencil, alpha, accumulation,
  // and last a back buffer not promised through the swap.
  std::tuple<int, int, int, int, int, int, int> bestScore{};
  for (int i = 0; i < count; ++i) {
    const GLXFBConfig c = configs[i];
    const auto visual = static_cast<unsigned long>(Attribute(display, c, GLX_VISUAL_ID));
    const int red = Attribute(display, c, GLX_RED_SIZE);
    const int green = Attribute(display, c, GLX_GREEN_SIZE);
    const int blue = Attribute(display, c, GLX_BLUE_SIZE);
    const int depth = Attribute(display, c, GLX_DEPTH_SIZE);
    if (!visual || red != 8 || green != 8 || blue != 8 || depth < depthBits ||
        Attribute(display, c, GLX_STEREO))
      continue;
    const std::tuple score{Attribute(display, c, GLX_CONFIG_CAVEAT) != GLX_NONE,
                           Attribute(display, c, GLX_SAMPLES),
                           depth - depthBits,
                           Attribute(display, c, GLX_STENCIL_SIZE),
                           Attribute(display, c, GLX_ALPHA_SIZE),
                           Attribute(display, c, GLX_ACCUM_RED_SIZE),
                           Attribute(display, c, kSwapMethod) != kSwapCopy};
    if (!best || score < bestScore) {
      best = visual;
      bestScore = score;
    }
  }
  XFree(configs);
  return best;
}

}  // namespace

unsigned long PreferredGlxVisual(int depthBits) {
  static const unsigned long visual = [depthBits] {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 0UL;
    int errorBase = 0, eventBase = 0;
    const unsigned long chosen =
        glXQueryExtension(display, &errorBase, &eventBase) ? ChooseVisual(display, depthBits) : 0;
    XCloseDisplay(display);
    return chosen;
  }();
  return visual;
}

bool CurrentContextKeepsBackBuffer() {
  Display* display = glXGetCurrentDisplay();
  GLXContext context = glXGetCurrentContext();
  if (!display || !context) return false;
  int screen = 0;
  if (glXQueryContext(display, context, GLX_SCREEN, &screen) != Success) screen = 0;
  // A context made from a visual rather than a configuration names no configuration:
  // every configuration of its visual must then promise it.
  int id = 0, visual = 0;
  if (glXQueryContext(display, context, GLX_FBCONFIG_ID, &id) != Success) id = 0;
  if (id <= 0 && glXQueryContext(display, context, GLX_VISUAL_ID_EXT, &visual) != Success)
    visual = 0;
  if (id <= 0 && visual <= 0) return false;
  int count = 0;
  GLXFBConfig* configs = glXGetFBConfigs(display, screen, &count);
  if (!configs) return false;
  bool found = false, keeps = true;
  for (int i = 0; i < count; ++i) {
    const bool match = id > 0 ? Attribute(display, configs[i], GLX_FBCONFIG_ID) == id
                              : Attribute(display, configs[i], GLX_VISUAL_ID) == visual;
    if (!match) continue;
    found = true;
    keeps = keeps && Attribute(display, configs[i], kSwapMethod) == kSwapCopy;
  }
  XFree(configs);
  return found && keeps;
}

}  // namespace platform::win32
