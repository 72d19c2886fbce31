// Test controls of the headless Win32 backend: a scripted clock, a message queue
// that tests feed, and a configurable window frame.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/Win32.h"

namespace platform::win32 {

// Sets the value GetTickCount returns until changed.
void HeadlessSetTickCount(DWORD ticks);
void HeadlessAdvanceTicks(DWORD ms);

// Frame thickness that headless windowed windows get around their client area
// (left, top, right, bottom), so tests can check client-area sizing.
void HeadlessSetFrame(int left, int top, int right, int bottom);

// Called by the headless PeekMessageA/GetMessageA whenever the queue is empty, before
// reporting "no message"; the test can post messages or quit from it. Null to clear.
using IdleHook = void (*)(void* user);
void HeadlessSetIdleHook(IdleHook hook, void* user);

struct MessageBoxRecord {
  std::string text;
  std::string caption;
  UINT type;
};
// Every box shown since the last reset, in order.
const std::vector<MessageBoxRecord>& HeadlessMessageBoxes();

// How many CoInitialize calls are still unmatched.
int HeadlessComDepth();

// Forgets all windows, classes, queued messages, boxes and hooks.
void HeadlessReset();

}  // namespace platform::win32
