// Shared by the static model writers: writing one model as text .X, and the terrains.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "kit3d/Mesh.h"

bool WriteModel(const std::string& dir, const std::string& file, const kit3d::Mesh& mesh);
bool WriteTerrains(const std::string& dir);
