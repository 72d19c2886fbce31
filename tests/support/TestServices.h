// Engine services for tests, created and torn down in the engine's order with the
// managers' folders saved and given back: the file-reading resource managers alone (for
// tests on the headless device), or with the graphics device, render queue and scene on a
// given device (for tests that draw).
#pragma once

#include <string>

struct IDirect3DDevice9;

// The texture, render-state, material, model and mesh managers.
class ResourceServices {
 public:
  ~ResourceServices() { Stop(); }

  // Creates the managers; when `folder` is not empty, the data root and every file-reading
  // manager's folder become it.
  void Start(const std::string& folder = "");
  // Destroys them, frees the skinning scratch and gives the folders back. Does nothing
  // when not started.
  void Stop();

 private:
  bool started_ = false;
  std::string saved_[6];
};

// The graphics device on `device` (which gains a reference), the resource managers, the
// render queue and the scene.
class GLEngineServices {
 public:
  ~GLEngineServices() { Stop(); }

  void Start(IDirect3DDevice9* device, const std::string& folder = "");
  // Nodes must be out of the scene first. Does nothing when not started.
  void Stop();

 private:
  bool started_ = false;
  ResourceServices resources_;
};
