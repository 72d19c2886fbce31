// Processor time of the whole process, the software rasteriser's threads included: a
// figure that a loaded machine disturbs far less than wall-clock frame rates.
#pragma once

#include <sys/resource.h>

inline double ProcessSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}
