// The headless backend: draws nothing. Device loss is driven by the test controls.
#include "platform/d3d9/D3D9Headless.h"
#include "platform/d3d9/Device9.h"

namespace platform::d3d9 {

namespace {

bool g_windowLost = false;
bool g_lossUnseen = false;  // away since the device last asked

class NullBackend final : public RenderBackend {
 public:
  bool Create(HWND, const D3DPRESENT_PARAMETERS&) override { return true; }
  bool Reset(const D3DPRESENT_PARAMETERS&) override {
    layerKept_ = false;
    return true;
  }
  bool IsWindowLost() override { return g_windowLost; }
  bool TakeWindowLoss() override {
    const bool lost = g_lossUnseen;
    g_lossUnseen = false;
    return lost;
  }
  void Clear(const DeviceState&, DWORD, D3DCOLOR, float, DWORD) override {}
  void Draw(const DeviceState&, const DrawCall&) override {}
  bool Present() override { return true; }
  void TextureChanged(Texture9*) override {}
  void TextureDestroyed(Texture9*) override {}
  void VertexBufferChanged(VertexBuffer9*) override {}
  void VertexBufferDestroyed(VertexBuffer9*) override {}
  void IndexBufferChanged(IndexBuffer9*) override {}
  void IndexBufferDestroyed(IndexBuffer9*) override {}
  // Nothing is held elsewhere, so the memory copy stays.
  void UploadTexture(Texture9*) override {}
  bool ReadTextureLevel(Texture9*, UINT, BYTE*) override { return false; }
  bool ReadBuffer(std::uint32_t, bool, UINT, BYTE*) override { return false; }
  // Nothing is drawn, so a kept layer holds nothing either; it is kept and lost as the
  // real one is, so that what the callers skip can be checked headless.
  bool SaveLayer(const DeviceState&) override {
    layerKept_ = true;
    return true;
  }
  bool RestoreLayer(const DeviceState&) override { return layerKept_; }
  void DropLayer() override { layerKept_ = false; }

 private:
  bool layerKept_ = false;
};

}  // namespace

RenderBackend* CreateNullBackend() { return new NullBackend(); }

void HeadlessLoseDevice() { g_windowLost = g_lossUnseen = true; }
void HeadlessMakeDeviceResettable() { g_windowLost = false; }
void HeadlessForgetDeviceLoss() { g_windowLost = g_lossUnseen = false; }

CallLog& Log() {
  static CallLog log;
  return log;
}

void Record(const char* name, std::initializer_list<DWORD> args, const void* object,
            const float* values, int valueCount) {
  CallLog& log = Log();
  if (!log.enabled) return;
  CallRecord r;
  r.name = name;
  for (DWORD a : args) {
    if (r.argCount == 8) break;
    r.args[r.argCount++] = a;
  }
  r.object = object;
  for (int i = 0; i < valueCount && i < 16; ++i) r.values[r.valueCount++] = values[i];
  log.Add(r);
}

}  // namespace platform::d3d9
