#include "support/Headless.h"

#include "app/AppShell.h"
#include "platform/Platform.h"
#include "platform/d3d9/D3D9Headless.h"
#include "platform/dinput8/DInput8Headless.h"
#include "platform/dmusic/DMusicHeadless.h"
#include "platform/win32/Win32Headless.h"

void ResetHeadlessPlatform() {
  platform::SetBackend(platform::Backend::Headless);
  platform::win32::HeadlessReset();
  platform::d3d9::HeadlessResetD3D();
  platform::dinput8::HeadlessResetInput();
  platform::dmusic::HeadlessResetAudio();
  ResetFrameClock();
}

void HeadlessTest::SetUp() { ResetHeadlessPlatform(); }
void HeadlessTest::TearDown() { ResetHeadlessPlatform(); }
