// Test controls of the headless Direct3D backend: the log of every device call with
// its arguments, failure injection, device loss and the adapter's mode list.
// Other stand-ins (sprite, font, mesh) write their own calls into the same log.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d9/D3D9.h"

namespace platform::d3d9 {

struct CallRecord {
  const char* name = "";       // the call's name, e.g. "SetRenderState"; a static string
  DWORD args[8] = {};          // integer arguments in order (floats as their bit pattern)
  int argCount = 0;
  float values[16] = {};       // a matrix, colour or vector argument, when the call has one
  int valueCount = 0;
  const void* object = nullptr;  // a texture, buffer or other object argument
};

class CallLog {
 public:
  // Whether calls are written at all; on for the headless backend, off for the real one.
  bool enabled = false;

  void Add(const CallRecord& record) {
    if (enabled) records_.push_back(record);
  }
  void Clear() { records_.clear(); }
  const std::vector<CallRecord>& Records() const { return records_; }
  // How many records carry this name.
  int Count(const char* name) const {
    int n = 0;
    for (const auto& r : records_)
      if (std::strcmp(r.name, name) == 0) ++n;
    return n;
  }
  std::vector<CallRecord> Named(const char* name) const {
    std::vector<CallRecord> out;
    for (const auto& r : records_)
      if (std::strcmp(r.name, name) == 0) out.push_back(r);
    return out;
  }

  // Makes the next `times` calls with this name fail (times < 0: every call until cleared).
  void FailCall(const char* name, int times = 1) { failures_.push_back({name, times}); }
  void ClearFailures() { failures_.clear(); }
  // Consumes one failure for this call name; true when the call must fail.
  bool ShouldFail(const char* name) {
    for (auto& f : failures_) {
      if (f.times != 0 && f.name == name) {
        if (f.times > 0) --f.times;
        return true;
      }
    }
    return false;
  }

 private:
  struct Failure {
    std::string name;
    int times;
  };
  std::vector<CallRecord> records_;
  std::vector<Failure> failures_;
};

// The one log all headless stand-ins write to.
CallLog& Log();

// Helper for stand-ins: records a call with integer arguments.
void Record(const char* name, std::initializer_list<DWORD> args, const void* object = nullptr,
            const float* values = nullptr, int valueCount = 0);

// Device loss, as a full-screen device sees it when its window goes to the background:
// LoseDevice makes TestCooperativeLevel report D3DERR_DEVICELOST; MakeDeviceResettable
// brings the window back, after which the device reports D3DERR_DEVICENOTRESET (also when
// it was never asked while away); a successful Reset then makes it usable.
// ForgetDeviceLoss brings the window back with no loss left to answer.
void HeadlessLoseDevice();
void HeadlessMakeDeviceResettable();
void HeadlessForgetDeviceLoss();

// The adapter's display modes (per format) and desktop mode; defaults: desktop
// 1024 × 768 X8R8G8B8, and 640 × 480, 800 × 600, 1024 × 768 in X8R8G8B8 and R5G6B5.
void HeadlessSetAdapterModes(const std::vector<D3DDISPLAYMODE>& modes);
void HeadlessSetDesktopMode(const D3DDISPLAYMODE& mode);
// Makes Direct3DCreate9 return null until cleared.
void HeadlessFailDirect3DCreate(bool fail);

// A headless 800 × 600 device with no window behind it, for fuzzers and benchmarks that
// need a device but no graphics device around it. Null if the headless backend is not
// selected.
IDirect3DDevice9* HeadlessCreateDevice();

// Restores every default above and empties the log.
void HeadlessResetD3D();

}  // namespace platform::d3d9
