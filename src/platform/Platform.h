// Chooses which implementation stands behind the Windows-style platform calls.
// The game uses the real one (SDL2 window, OpenGL); tests choose the headless one
// (scripted messages and clock, a device that records every call and draws nothing).
#pragma once

namespace platform {

enum class Backend { Real, Headless };

// Must be called before the first window or device is created. Default: Real.
void SetBackend(Backend backend);
Backend GetBackend();

// Whether every thread allocates from one heap (set when the process starts).
bool SharesOneHeap();
// Whether large blocks are mapped apart from the heap and returned when freed.
bool MapsLargeBlocks();

}  // namespace platform
