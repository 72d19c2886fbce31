// Base of everything a resource manager holds: the key it is stored under.
// Each resource type adds its own refCount and data; a default-constructed
// resource is empty and safe to use.
#pragma once

#include <string>

class Resource {
 public:
  virtual ~Resource() = default;

  std::string name;  // upper-cased key; empty until the entry is loaded
};
