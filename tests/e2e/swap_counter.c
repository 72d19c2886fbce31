/* Preloaded into the game by the end-to-end scripts: counts the buffer swaps of an SDL2
 * program in an 8-byte file mapped shared ($SWAPCOUNT_FILE), so a script can read how many
 * frames were presented at any moment without asking the program anything.
 * Build: cc -O2 -shared -fPIC swap_counter.c -o swap_counter.so -ldl */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

static volatile uint64_t* count;

__attribute__((constructor)) static void OpenCounter(void) {
  const char* path = getenv("SWAPCOUNT_FILE");
  if (!path) return;
  int fd = open(path, O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  if (ftruncate(fd, sizeof(uint64_t)) == 0) {
    void* p = mmap(NULL, sizeof(uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p != MAP_FAILED) count = p;
  }
  close(fd);
}

void SDL_GL_SwapWindow(void* window) {
  static void (*real)(void*);
  if (!real) real = (void (*)(void*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
  real(window);
  if (count) __atomic_add_fetch(count, 1, __ATOMIC_RELAXED);
}
