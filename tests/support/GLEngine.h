// The engine's rendering services on a gl test's window device: the graphics device, the
// texture, render-state, material, model and mesh managers, the render queue and the
// scene, created and torn down in the engine's order, with the managers' folders saved
// and given back.
#pragma once

#include <string>

struct IDirect3DDevice9;

class GLEngineServices {
 public:
  ~GLEngineServices() { Stop(); }

  // Creates the services on `device` (which gains a reference); when `folder` is not
  // empty, the data root and every file-reading manager's folder become it.
  void Start(IDirect3DDevice9* device, const std::string& folder = "");
  // Destroys them and gives the folders back; nodes must be out of the scene first.
  // Does nothing when not started.
  void Stop();

 private:
  bool started_ = false;
  std::string saved_[6];
};
