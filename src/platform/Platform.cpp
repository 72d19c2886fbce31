#include "platform/Platform.h"

#include <malloc.h>

namespace platform {

namespace {
Backend g_backend = Backend::Real;

// The process's threads (audio, the software rasteriser's, the workers that read a
// piece's samples) would each get a heap of their own, and memory freed into one could
// not serve an allocation in another: after a few pieces the resident size grows by
// tens of megabytes that no one uses. One heap for every thread, set before any starts.
const bool g_oneHeap = mallopt(M_ARENA_MAX, 1) == 1;
}  // namespace

void SetBackend(Backend backend) { g_backend = backend; }
Backend GetBackend() { return g_backend; }
bool SharesOneHeap() { return g_oneHeap; }

}  // namespace platform
