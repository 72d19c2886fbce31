// Puts the platform in headless mode with a clean slate: no windows, no queued messages,
// the default adapter, an empty call log, and a fresh frame clock.
#pragma once

#include <gtest/gtest.h>

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// Resets every headless platform control (for fixtures that cannot derive from HeadlessTest).
void ResetHeadlessPlatform();
