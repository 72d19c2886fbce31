// A resource that holds device memory and must be told when the Direct3D device is
// lost and when it has been reset (the fonts). The graphics device keeps a list.
#pragma once

#include "engine/resources/Resource.h"

class DeviceResource : public Resource {
 public:
  virtual void OnLostDevice() = 0;
  virtual void OnResetDevice() = 0;
};
