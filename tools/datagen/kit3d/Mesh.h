// Mesh building for the generated models: a small vector kit, transforms, and shapes
// (bevelled box, lathe and the solids made from it, torus, star, height grid, facets)
// with smooth normals, texture coordinates, vertex colours, materials and, for the
// skinned figures, the bone each vertex follows. Front faces are counter-clockwise seen
// from outside (right-handed, z up), as the game's culling expects.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kit3d {

constexpr float kPi = 3.14159265358979f;

struct V3 {
  float x = 0, y = 0, z = 0;
};
inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline V3 operator-(V3 a) { return {-a.x, -a.y, -a.z}; }
inline float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 Cross(V3 a, V3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Length(V3 a) { return std::sqrt(Dot(a, a)); }
inline V3 Normalise(V3 a) {
  const float l = Length(a);
  return l > 1e-12f ? a * (1.0f / l) : V3{0, 0, 1};
}

struct Rgba {
  float r = 1, g = 1, b = 1, a = 1;
  bool operator==(const Rgba&) const = default;
};
// A colour from 0..255 channels.
inline Rgba Rgb8(int r, int g, int b, float a = 1) { return {r / 255.f, g / 255.f, b / 255.f, a}; }
inline Rgba Mix(Rgba a, Rgba b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
          a.a + (b.a - a.a) * t};
}

// An affine map p' = M p + t (column vectors). Normals go through the inverse transpose.
struct Xf {
  float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  V3 t;
  V3 Point(V3 p) const {
    return {m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + t.x,
            m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + t.y,
            m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + t.z};
  }
  V3 Vector(V3 p) const { return Point(p) - t; }
  V3 Normal(V3 n) const;
  bool Mirrors() const;  // negative determinant: triangle winding must flip
};
Xf operator*(const Xf& a, const Xf& b);  // apply b, then a
Xf Translate(V3 t);
Xf Scale(V3 s);
inline Xf Scale(float s) { return Scale({s, s, s}); }
// The inverse map (xf must not be singular).
Xf Inverse(const Xf& xf);
Xf RotateX(float radians);
Xf RotateY(float radians);
Xf RotateZ(float radians);
// The rotation that turns +Z into the direction d.
Xf AlignZ(V3 d);

struct Vertex {
  V3 p, n;
  float u = 0, v = 0;
  Rgba c;
  int bone = 0;
};

struct Material {
  Rgba diffuse;  // alpha below 1 makes the subset see-through
  float power = 0;
  V3 specular, emissive;
  std::string texture;  // file beside the model, or empty
  bool operator==(const Material& o) const {
    return diffuse == o.diffuse && power == o.power && specular.x == o.specular.x &&
           specular.y == o.specular.y && specular.z == o.specular.z &&
           emissive.x == o.emissive.x && emissive.y == o.emissive.y &&
           emissive.z == o.emissive.z && texture == o.texture;
  }
};

// What the next shapes are made of: material, vertex colour and bone.
struct Pen {
  int material = 0;
  Rgba colour;
  int bone = 0;
};

// A profile point of a lathe: radius from the z axis, height.
struct RZ {
  float r, z;
};

class Mesh {
 public:
  std::vector<Vertex> vertices;
  std::vector<std::array<std::uint32_t, 3>> triangles;
  std::vector<int> triangleMaterial;
  std::vector<Material> materials;
  Pen pen;
  // The most screen pixels one unit covers wherever the model is seen (0: unknown). Round
  // shapes then get no more segments than keep their outline within half a pixel of the
  // true curve, and bevels too small to see get one step: the rasteriser pays for every
  // triangle, and several triangles per pixel add nothing to the picture.
  float pixelsPerUnit = 0;
  // The fewest segments a round shape gets when pixelsPerUnit asks for fewer. Six keeps
  // a hexagonal outline on every part; four lets parts a pixel or two across (eyes,
  // buttons, the caps of thin limbs) become the few triangles such a dot needs.
  int fewestSegments = 6;

  // Index of the material (an equal one is shared). Does not change the pen.
  int AddMaterial(const Material& m);
  // Sets the pen's material and colour in one go.
  void Use(const Material& m, Rgba colour) {
    pen.material = AddMaterial(m);
    pen.colour = colour;
  }
  void Colour(Rgba c) { pen.colour = c; }

  // A box of half-extents h around the origin whose edges are rounded with radius
  // `bevel` in `steps` steps (0 steps: sharp). UVs per face, 0..1.
  void Box(V3 h, float bevel, int steps, const Xf& xf);
  // A surface of revolution about z: the profile runs from bottom to top; ends on the
  // axis close the shape. Corners sharper than 40 degrees keep split normals.
  void Lathe(const std::vector<RZ>& profile, int segments, const Xf& xf);
  void Sphere(float r, int segments, int rings, const Xf& xf);
  // Closed cylinder and cone standing on z = 0.
  void Cylinder(float r, float h, int segments, const Xf& xf);
  void Cone(float r, float h, int segments, const Xf& xf);
  // A tube between two points, radius r0 at a and r1 at b, with closed ends.
  void Tube(V3 a, V3 b, float r0, float r1, int segments);
  // Ring of radius R around z, tube radius r.
  void Torus(float R, float r, int segments, int sides, const Xf& xf);
  // A puffy five-pointed star in the xz plane, facing -y and +y, faceted.
  void Star(float outer, float inner, float depth, int points, const Xf& xf);
  // A prism: the convex polygon (counter-clockwise in xy) extruded from z = 0 to h.
  void Prism(const std::vector<std::array<float, 2>>& polygon, float h, const Xf& xf);
  // A ground grid over [x0, x1] × [y0, y1] with nx × ny cells; height and colour per
  // point; normals from the height field.
  void Grid(float x0, float y0, float x1, float y1, int nx, int ny,
            const std::function<float(float, float)>& height,
            const std::function<Rgba(float, float, float)>& colour);
  // One flat triangle or quad (counter-clockwise seen from the front).
  void Facet(V3 a, V3 b, V3 c);
  void Facet(V3 a, V3 b, V3 c, V3 d);

  std::size_t TriangleCount() const { return triangles.size(); }
  // Merges vertices that are the same in everything drawn (position, normal, colour,
  // bone, and texture coordinates when some material has a texture), such as the copies
  // a lathe keeps at its poles and seam. The renderer then transforms, lights and
  // skins each point once. Triangles left with two equal corners are dropped.
  void Weld();
  // Drops the triangles that lie wholly inside a closed, opaque lathe solid (a sphere,
  // a tube, a closed body): a nose sunk into a head, the ends of a limb inside a shoe or
  // inside the body. Nothing of those is ever seen, yet each would be transformed, set up
  // and depth-tested every frame. A solid on the triangle's own bone hides it in every
  // pose; one on another bone only when it does so in each of `poses` (per pose, every
  // bone's map of rest model space, see Skeleton::Transforms). Returns how many went.
  std::size_t RemoveHidden(const std::vector<std::vector<Xf>>& poses = {});
  // Appends another mesh's geometry and materials.
  void Append(const Mesh& other);

 private:
  // A closed lathe as built: what RemoveHidden tests points against.
  struct Solid {
    Xf toLocal;
    std::vector<RZ> profile;
    int segments;
    int bone;
    std::size_t firstTriangle, endTriangle;
  };
  std::vector<Solid> solids_;
  // Inside the solid by more than `margin` (model units).
  bool Inside(const Solid& s, V3 p, float margin) const;

  // How many of `requested` segments a circle of `radius` (before xf) needs on screen.
  int Segments(int requested, float radius, const Xf& xf) const;
  std::uint32_t AddVertex(V3 p, V3 n, float u, float v);
  void AddTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c);
  // Adds the vertices of a local patch through xf, flipping winding if xf mirrors.
  void AddPatch(const std::vector<Vertex>& local, const std::vector<std::array<std::uint32_t, 3>>& tris,
                const Xf& xf);
};

}  // namespace kit3d
