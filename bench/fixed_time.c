/* Preloaded into the game by bench/memory.sh: the clock that seeds the game's random draw
   reads the same second in every run, so that each binary compared plays the same round
   (its mode decides which models load). */
#include <time.h>

time_t time(time_t* out) {
  const time_t fixed = 1765000000;
  if (out) *out = fixed;
  return fixed;
}
