// Reading the generated Data folder in tests: parsed .X files, the meshes and frames
// in them, the outline file, and point-in-polygon for outlines.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/d3dx9/XFile.h"

namespace content3d {

std::string DataDir();  // <build>/Data/
// Parses a Data file; null (with a test failure) when it cannot be read or parsed.
std::unique_ptr<platform::d3dx9::XFile> ParseX(const std::string& file);
// Every Mesh of the file, in document order (inside frames too).
std::vector<platform::d3dx9::XMeshData> Meshes(const platform::d3dx9::XFile& file);
std::size_t Triangles(const platform::d3dx9::XMeshData& mesh);

struct Frame {
  std::string name;
  int parent = -1;
  D3DXMATRIX rest;
};
std::vector<Frame> Frames(const platform::d3dx9::XFile& file);

using Outline = std::vector<D3DXVECTOR3>;
// The outline file as its binary layout gives it; false when short or inconsistent.
bool ReadOutlineFile(const std::string& path, std::vector<Outline>* out);
bool Inside(const Outline& polygon, float x, float y);

}  // namespace content3d
