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

// Large blocks (decoded pictures, mip chains, the driver's textures and buffers) are
// mapped on their own and go back to the system when freed. Left to itself, glibc raises
// that threshold to the size of the first such block freed and serves later ones from the
// heap, where each load leaves holes too small for the next picture: the resident size
// then keeps every load's transient peak. No block this large is allocated per frame.
const bool g_largeBlocksMapped = mallopt(M_MMAP_THRESHOLD, 128 * 1024) == 1;
}  // namespace

void SetBackend(Backend backend) { g_backend = backend; }
Backend GetBackend() { return g_backend; }
bool SharesOneHeap() { return g_oneHeap; }
bool MapsLargeBlocks() { return g_largeBlocksMapped; }

}  // namespace platform
