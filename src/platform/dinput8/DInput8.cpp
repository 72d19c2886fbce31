// The DirectInput object and the keyboard and mouse devices, shared by both backends:
// cooperative levels, acquisition and its loss with the window's focus, data formats,
// immediate state and object names. Where the data comes from is the InputSource.
#include "platform/dinput8/DInput8.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/Platform.h"
#include "platform/dinput8/DInput8Headless.h"
#include "platform/dinput8/DInput8Source.h"

const GUID GUID_SysMouse = {
    0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysKeyboard = {
    0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInput8A = {
    0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
const GUID GUID_XAxis = {
    0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_YAxis = {
    0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_ZAxis = {
    0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Button = {
    0xA36D02F0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_Key = {
    0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// The devices recognise the two formats by their data size; the object lists are not
// needed because each device delivers exactly one layout.
const DIDATAFORMAT c_dfDIKeyboard = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0x2, 256, 0, nullptr};
const DIDATAFORMAT c_dfDIMouse = {
    sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0x2, sizeof(DIMOUSESTATE), 0, nullptr};

namespace platform::dinput8 {

platform::d3d9::CallLog& InputLog() {
  static platform::d3d9::CallLog log;
  return log;
}

namespace {

void Record(const char* name, std::initializer_list<DWORD> args, const void* object) {
  platform::d3d9::CallLog& log = InputLog();
  if (!log.enabled) return;
  platform::d3d9::CallRecord r;
  r.name = name;
  for (DWORD a : args) {
    if (r.argCount == 8) break;
    r.args[r.argCount++] = a;
  }
  r.object = object;
  log.Add(r);
}

InputSource& CurrentSource() {
  return GetBackend() == Backend::Headless ? HeadlessSource() : RealSource();
}

LONG ClampToLong(std::int64_t v) {
  return static_cast<LONG>(std::clamp<std::int64_t>(v, std::numeric_limits<LONG>::min(),
                                                    std::numeric_limits<LONG>::max()));
}

void CopyName(const char* name, char* out, std::size_t size) {
  if (size == 0) return;
  std::size_t n = std::min(std::strlen(name), size - 1);
  std::memcpy(out, name, n);
  out[n] = '\0';
}

class DirectInputObject;

class Device final : public RefCounted<IDirectInputDevice8A> {
 public:
  enum class Kind { Keyboard, Mouse };

  Device(Kind kind, InputSource& source, IUnknown* parent)
      : kind_(kind), source_(source), parent_(parent) {
    parent_->AddRef();
  }

  HRESULT SetDataFormat(LPCDIDATAFORMAT format) override {
    Record("SetDataFormat", {format ? format->dwDataSize : 0u}, this);
    if (!format) return DIERR_INVALIDPARAM;
    if (acquired_) return DIERR_ACQUIRED;
    if (InputLog().ShouldFail("SetDataFormat")) return DIERR_GENERIC;
    const DWORD wanted = kind_ == Kind::Keyboard ? 256u : sizeof(DIMOUSESTATE);
    if (format->dwDataSize != wanted) return DIERR_INVALIDPARAM;
    dataSize_ = wanted;
    return DI_OK;
  }

  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
    Record("SetCooperativeLevel", {flags}, this);
    if (acquired_) return DIERR_ACQUIRED;
    if (InputLog().ShouldFail("SetCooperativeLevel")) return DIERR_GENERIC;
    const bool exclusive = (flags & DISCL_EXCLUSIVE) != 0;
    const bool foreground = (flags & DISCL_FOREGROUND) != 0;
    if (exclusive == ((flags & DISCL_NONEXCLUSIVE) != 0)) return DIERR_INVALIDPARAM;
    if (foreground == ((flags & DISCL_BACKGROUND) != 0)) return DIERR_INVALIDPARAM;
    if (foreground && !source_.IsWindowHandle(window)) return DIERR_INVALIDPARAM;
    if (kind_ == Kind::Keyboard && exclusive && !foreground) return DIERR_UNSUPPORTED;
    window_ = window;
    exclusive_ = exclusive;
    foreground_ = foreground;
    return DI_OK;
  }

  HRESULT Acquire() override {
    Record("Acquire", {}, this);
    if (dataSize_ == 0) return DIERR_INVALIDPARAM;
    if (acquired_) return DI_NOEFFECT;
    if (InputLog().ShouldFail("Acquire")) return DIERR_OTHERAPPHASPRIO;
    const bool firstTry = !triedAcquire_;
    triedAcquire_ = true;
    if (foreground_ && !source_.WindowInFront(window_, firstTry)) return DIERR_OTHERAPPHASPRIO;
    acquired_ = true;
    focusLosses_ = source_.FocusLosses();
    if (kind_ == Kind::Mouse) {
      // Motion made while the device was not acquired is not reported.
      source_.MouseTotals(&totalX_, &totalY_, &totalZ_);
      if (exclusive_) source_.CaptureMouse(window_, true);
    }
    return DI_OK;
  }

  HRESULT Unacquire() override {
    Record("Unacquire", {}, this);
    if (!acquired_) return DI_NOEFFECT;
    Drop();
    return DI_OK;
  }

  HRESULT GetDeviceState(DWORD size, LPVOID data) override {
    Record("GetDeviceState", {size}, this);
    if (!data) return E_POINTER;
    if (!acquired_) return DIERR_NOTACQUIRED;
    if (foreground_ &&
        (source_.FocusLosses() != focusLosses_ || !source_.WindowInFront(window_, false))) {
      Drop();
      return DIERR_INPUTLOST;
    }
    if (InputLog().ShouldFail("GetDeviceState")) {
      Drop();
      return DIERR_INPUTLOST;
    }
    if (size != dataSize_) return DIERR_INVALIDPARAM;
    if (kind_ == Kind::Keyboard) {
      source_.ReadKeys(static_cast<BYTE*>(data));
      return DI_OK;
    }
    std::int64_t x = 0, y = 0, z = 0;
    source_.MouseTotals(&x, &y, &z);
    DIMOUSESTATE state{};
    state.lX = ClampToLong(x - totalX_);
    state.lY = ClampToLong(y - totalY_);
    state.lZ = ClampToLong(z - totalZ_);
    totalX_ = x;
    totalY_ = y;
    totalZ_ = z;
    source_.MouseButtons(state.rgbButtons);
    std::memcpy(data, &state, sizeof state);
    return DI_OK;
  }

  HRESULT GetObjectInfo(DIDEVICEOBJECTINSTANCEA* info, DWORD object, DWORD how) override {
    Record("GetObjectInfo", {object, how}, this);
    if (!info) return E_POINTER;
    if (info->dwSize != sizeof(DIDEVICEOBJECTINSTANCEA) &&
        info->dwSize != kDiDeviceObjectInstanceDx3Size)
      return DIERR_INVALIDPARAM;
    if (InputLog().ShouldFail("GetObjectInfo")) return DIERR_GENERIC;
    DWORD offset = 0;
    if (how == DIPH_BYOFFSET) {
      offset = object;
    } else if (how == DIPH_BYID) {
      offset = (object >> 8) & 0xFFFF;  // the instance number, which is the offset here
    } else {
      return DIERR_INVALIDPARAM;
    }
    // Offsets refer to the data format, so there are none before it is set.
    if (dataSize_ == 0 || offset >= dataSize_) return DIERR_OBJECTNOTFOUND;

    DIDEVICEOBJECTINSTANCEA found{};
    found.dwSize = info->dwSize;
    found.dwOfs = offset;
    if (kind_ == Kind::Keyboard) {
      if (!source_.KeyName(static_cast<BYTE>(offset), found.tszName, sizeof found.tszName))
        return DIERR_OBJECTNOTFOUND;
      found.guidType = GUID_Key;
      found.dwType = DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(offset);
    } else if (!DescribeMouseObject(offset, &found)) {
      return DIERR_OBJECTNOTFOUND;
    }
    // An older, shorter record gets only the fields it has room for.
    std::memcpy(info, &found, info->dwSize);
    return DI_OK;
  }

 protected:
  ~Device() override {
    if (acquired_) Drop();
    parent_->Release();
  }

 private:
  static bool DescribeMouseObject(DWORD offset, DIDEVICEOBJECTINSTANCEA* out) {
    const char* name = nullptr;
    if (offset == 0) {
      name = "X Axis";
      out->guidType = GUID_XAxis;
      out->dwType = DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(0);
    } else if (offset == 4) {
      name = "Y Axis";
      out->guidType = GUID_YAxis;
      out->dwType = DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(1);
    } else if (offset == 8) {
      name = "Wheel";
      out->guidType = GUID_ZAxis;
      out->dwType = DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(2);
    } else if (offset >= 12 && offset < 16) {
      static const char* const kButtons[4] = {"Button 0", "Button 1", "Button 2", "Button 3"};
      name = kButtons[offset - 12];
      out->guidType = GUID_Button;
      out->dwType = DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(offset - 12);
    } else {
      return false;
    }
    CopyName(name, out->tszName, sizeof out->tszName);
    return true;
  }

  void Drop() {
    if (acquired_ && kind_ == Kind::Mouse && exclusive_) source_.CaptureMouse(window_, false);
    acquired_ = false;
  }

  const Kind kind_;
  InputSource& source_;
  IUnknown* parent_;    // the DirectInput object, kept alive while the device lives
  DWORD dataSize_ = 0;  // 0 until SetDataFormat
  HWND window_ = nullptr;
  bool exclusive_ = false;
  bool foreground_ = false;  // without a cooperative level a device runs in the background
  bool acquired_ = false;
  bool triedAcquire_ = false;
  std::uint64_t focusLosses_ = 0;
  std::int64_t totalX_ = 0, totalY_ = 0, totalZ_ = 0;  // mouse totals at the last read
};

class DirectInputObject final : public RefCounted<IDirectInput8A> {
 public:
  explicit DirectInputObject(InputSource& source) : source_(source) {}

  HRESULT CreateDevice(REFGUID device, IDirectInputDevice8A** out, LPUNKNOWN outer) override {
    Record("CreateDevice", {device.Data1}, this);
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return DIERR_NOAGGREGATION;
    Device::Kind kind;
    if (IsEqualGUID(device, GUID_SysKeyboard)) {
      kind = Device::Kind::Keyboard;
    } else if (IsEqualGUID(device, GUID_SysMouse)) {
      kind = Device::Kind::Mouse;
    } else {
      return DIERR_DEVICENOTREG;
    }
    if (InputLog().ShouldFail("CreateDevice")) return DIERR_DEVICENOTREG;
    *out = new Device(kind, source_, this);
    return DI_OK;
  }

 private:
  InputSource& source_;
};

}  // namespace
}  // namespace platform::dinput8

HRESULT DirectInput8Create(HINSTANCE, DWORD version, REFIID iid, LPVOID* out, LPUNKNOWN outer) {
  using namespace platform::dinput8;
  Record("DirectInput8Create", {version}, nullptr);
  if (!out) return E_POINTER;
  *out = nullptr;
  if (version < DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
  if (version > DIRECTINPUT_VERSION) return DIERR_BETADIRECTINPUTVERSION;
  if (!IsEqualGUID(iid, IID_IDirectInput8A)) return DIERR_NOINTERFACE;
  if (outer) return DIERR_NOAGGREGATION;
  if (InputLog().ShouldFail("DirectInput8Create")) return DIERR_GENERIC;
  InputSource& source = CurrentSource();
  if (!source.Open()) return DIERR_GENERIC;
  *out = static_cast<IDirectInput8A*>(new DirectInputObject(source));
  return DI_OK;
}
