// The game object that the shell drives: starts the devices in OnInit and runs the
// common frame of the screens in OnFrame.
#pragma once

#include "app/AppShell.h"

class GameApp : public AppShell {
 public:
  GameApp();
  ~GameApp() override;

  bool OnInit() override;
  void OnFrame() override;
  void OnShutdown() override;

 private:
  // Checks the device: false when the frame must be skipped (lost, or a reset failed).
  bool PrepareDevice();
};
