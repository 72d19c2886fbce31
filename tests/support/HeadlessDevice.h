// A headless window and an initialised global graphics device on the recording backend,
// for tests of anything that draws or sets state through g_graphicsDevice.
#pragma once

#include "support/Headless.h"

class HeadlessDeviceTest : public HeadlessTest {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// Creates the window and g_graphicsDevice (full screen, 800 × 600, 32 bits); false on failure.
bool CreateHeadlessGraphicsDevice();
void DestroyHeadlessGraphicsDevice();
