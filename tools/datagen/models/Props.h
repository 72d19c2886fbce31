// Scenery and decoration pieces shared by the models: fir trees, houses, lamp posts,
// rocks, the well, fences, baubles. Each adds its geometry to a mesh at a place.
#pragma once

#include "Look.h"
#include "kit3d/Mesh.h"

namespace props {

using kit3d::Mesh;
using kit3d::Rgba;
using kit3d::V3;

Rgba Colour(look::Rgb c, float alpha = 1);
// Materials: plain (vertex colours carry the colour), glowing, textured.
kit3d::Material Plain();
kit3d::Material Glow(look::Rgb c, float strength = 0.9f);
kit3d::Material Textured(const char* file);

// A snowy fir tree standing at p, `height` tall; seed varies its shape a little.
void FirTree(Mesh& m, V3 p, float height, int seed, bool snowy = true);
// Radius of a fir's lowest boughs for its height.
inline float FirRadius(float height) { return 0.36f * height; }
// A house facing -y with lit windows: width (x), depth (y), wall height.
void House(Mesh& m, V3 p, float w, float d, float h, look::Rgb wall, int seed);
void LampPost(Mesh& m, V3 p, float height);
// A cluster of rocks of about `radius` around p.
void Rocks(Mesh& m, V3 p, float radius, int seed);
void Well(Mesh& m, V3 p, float radius);
// A fence along x from x0 to x1 at y.
void Fence(Mesh& m, float x0, float x1, float y);
// A bauble with a gold cap and hook, centre at c.
void Bauble(Mesh& m, V3 c, float r, Rgba colour, int segments);

}  // namespace props
