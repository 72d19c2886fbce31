/* The floor of a frame on this machine: an SDL2 full-screen OpenGL window that only
 * clears and swaps, for the given seconds; prints frames per second. With "fbo" it
 * clears an 800x600 off-screen colour+depth target and blits it to the window first,
 * as a scaled back buffer must.
 * The window is created at the desktop's size: without a window manager an X window keeps
 * the size it is created with whatever the full-screen flag says, so a window created at
 * 800x600 stays 800x600 on a larger screen while SDL reports the desktop's size, and every
 * figure would then be that of an 800x600 window.
 * Build: gcc -O2 floor.c -o floor $(pkg-config --cflags --libs sdl2) -lGL
 * Use:   floor SECONDS [fbo] */
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
int main(int argc, char **argv) {
  double secs = argc > 1 ? atof(argv[1]) : 3; int fbo = argc > 2 && !strcmp(argv[2], "fbo");
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_DisplayMode desk; int sw = 800, sh = 600;
  if (SDL_GetDesktopDisplayMode(0, &desk) == 0 && desk.w > 0 && desk.h > 0) { sw = desk.w; sh = desk.h; }
  SDL_Window *w = SDL_CreateWindow("floor", 0, 0, sw, sh, SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN_DESKTOP);
  SDL_GLContext c = SDL_GL_CreateContext(w); SDL_GL_SetSwapInterval(0); (void)c;
  int dw, dh; SDL_GL_GetDrawableSize(w, &dw, &dh);
  GLuint fb = 0, rb[2];
  if (fbo) {
    glGenFramebuffers(1, &fb); glBindFramebuffer(GL_FRAMEBUFFER, fb); glGenRenderbuffers(2, rb);
    glBindRenderbuffer(GL_RENDERBUFFER, rb[0]); glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, 800, 600);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb[0]);
    glBindRenderbuffer(GL_RENDERBUFFER, rb[1]); glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, 800, 600);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, rb[1]);
  }
  Uint64 f = SDL_GetPerformanceFrequency(), t0 = SDL_GetPerformanceCounter(); long frames = 0;
  for (;;) {
    SDL_Event e; while (SDL_PollEvent(&e)) {}
    if (fbo) glBindFramebuffer(GL_FRAMEBUFFER, fb);
    glClearColor(0.1f, 0.2f, 0.3f, 1); glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    if (fbo) {
      glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0); glBindFramebuffer(GL_READ_FRAMEBUFFER, fb);
      glBlitFramebuffer(0, 0, 800, 600, 0, 0, dw, dh, GL_COLOR_BUFFER_BIT, dw == 800 && dh == 600 ? GL_NEAREST : GL_LINEAR);
    }
    SDL_GL_SwapWindow(w); frames++;
    if ((double)(SDL_GetPerformanceCounter() - t0) / f >= secs) break;
  }
  printf("floor%s fps %.1f (%dx%d)\n", fbo ? " fbo+blit" : "", frames / ((double)(SDL_GetPerformanceCounter() - t0) / f), dw, dh);
  return 0;
}
