// The X window system's side of the OpenGL windows: which framebuffer configuration they
// are made with, and what it promises.
#pragma once

namespace platform::win32 {

// The X visual for the game's OpenGL windows, or 0 to leave the choice to SDL (no X
// display, or none that suits). Asked once per process: double-buffered true colour of
// 8 bits a channel with no alpha, at least depthBits of depth and no stencil, preferring
// the smallest depth that will do and a back buffer that a swap leaves as it was.
unsigned long PreferredGlxVisual(int depthBits);

// Whether the window of the calling thread's current OpenGL context keeps its back
// buffer through a swap, by its configuration's promise (not by what a driver happens to
// do); false when that is not known.
bool CurrentContextKeepsBackBuffer();

}  // namespace platform::win32
