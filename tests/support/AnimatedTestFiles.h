// Small animated .X files for tests: a two-bone arm with a skinned strip, a rigid hand
// and three animation sets, written in any encoding through the test .X writer.
#pragma once

#include <string>
#include <vector>

#include "support/XFileWriter.h"

namespace testsupport {

struct ArmOptions {
  bool animations = true;
  bool ticks = true;             // write AnimTicksPerSecond (100)
  std::string texture;           // the strip's material texture; empty: none
  bool materials = true;         // false: no material lists at all
  std::string secondBone = "Hueso1";  // the bone name the strip's second weights name
};

// Frames: "Brazo" (root) → "Hueso0" (identity) → "Hueso1" (translation 2, 0, 0) →
// "Mano" (identity, a rigid triangle); "Malla" under "Brazo" holds the skinned strip of
// six vertices at x = 0, 2, 4 and y = 0, 1: the pair at x = 0 follows Hueso0, the pair
// at x = 4 Hueso1, the middle pair both by half.
// Sets (100 ticks a second): "correr" loops Hueso1 about +Z from 0 to 90 degrees over
// 1 s; "rotar" loops Hueso0 about +Z a quarter turn each 0.5 s over 2 s; "saltar" is
// open (plays once) and lifts Hueso0 from z 0 to 10 over 1 s.
std::vector<XNode> ArmFile(const ArmOptions& options = {});
std::string ArmText(const ArmOptions& options = {});

// A small figure standing on z = 0, facing +X, about 95 units tall: torso and head (with
// a nose pointing +X) on bone "Cadera", legs on "PiernaI" (y > 0) and "PiernaD", each a
// box of faces split `detail` × `detail`; all in one skinned mesh of three materials.
// Sets (4800 ticks a second, no AnimTicksPerSecond): "reposo" holds the rest pose,
// "correr" swings the legs 30 degrees about Y in opposition over 0.8 s.
std::vector<XNode> FigureFile(int detail = 1);
// A low arrowhead pointing +X, 50 units long, 30 units up in frame "Flecha", turning about +Z once every 2 s in
// its set "rotar".
std::vector<XNode> MarkerFile();

// The stored form of a rotation key turning by `degrees` about +Z: (w, x, y, z) of the
// conjugate quaternion, as files write their keys.
std::vector<float> StoredRotationZ(float degrees);

}  // namespace testsupport
