// The skinned figures (four designs in each player's colour) and the base markers.
// Figures stand on z = 0 facing +X, each part bound to one bone of a small skeleton
// (hips, torso, head, two arms, two legs), with a breathing, looking-around "reposo"
// and a run cycle "correr" whose planted foot keeps still on the ground while the
// figure moves at 35.3 of its own units per second. Markers spin with "rotar".
#include <algorithm>
#include <cmath>
#include <string>

#include "Families.h"
#include "Look.h"
#include "figures/Figures.h"
#include "kit3d/XWriter.h"
#include "models/Props.h"

using namespace kit3d;
using props::Colour;
using props::Glow;
using props::Plain;

namespace figures {

namespace {

const Rgba kCoal{0.08f, 0.08f, 0.1f, 1};
const Rgba kWhite = Colour(look::kPaper);

struct Rig {
  Skeleton skeleton;
  int hips, torso, head, armL, armR, legL, legR;
  float legLength;
};

// Hips at height `hipZ` (also the legs' length), legs `hipY` either side; head pivot
// at `neckZ`; shoulders `shoulderY` either side at `shoulderZ` (model space).
Rig MakeRig(float hipZ, float hipY, float neckZ, float shoulderY, float shoulderZ) {
  Rig r;
  Skeleton& s = r.skeleton;
  r.hips = s.Add("Cadera", -1, {0, 0, hipZ});
  r.torso = s.Add("Torso", r.hips, {0, 0, 0});
  r.head = s.Add("Cabeza", r.torso, {0, 0, neckZ - hipZ});
  r.armL = s.Add("BrazoI", r.torso, {0, shoulderY, shoulderZ - hipZ});
  r.armR = s.Add("BrazoD", r.torso, {0, -shoulderY, shoulderZ - hipZ});
  r.legL = s.Add("PiernaI", r.hips, {0, hipY, 0});
  r.legR = s.Add("PiernaD", r.hips, {0, -hipY, 0});
  r.legLength = hipZ;
  return r;
}

void Bone(Mesh& m, int bone) { m.pen.bone = bone; }

// --- The four designs --------------------------------------------------------------

Rig Elf(Mesh& m, look::Rgb player) {
  const look::FigureLook& f = look::kFigures[look::kElf];
  Rig r = MakeRig(34, 6, 64, 15, 58);
  for (int side : {1, -1}) {
    Bone(m, side > 0 ? r.legL : r.legR);
    m.Use(Plain(), Colour(f.accent));
    m.Tube({0, 6.0f * side, 34}, {0, 6.0f * side, 7}, 4.5f, 4, 8);
    m.Colour(Colour(look::kInk));
    m.Sphere(1, 8, 5, Translate({3, 6.0f * side, 4}) * Scale({9, 4.5f, 4}));
    m.Sphere(2.2f, 6, 3, Translate({11.5f, 6.0f * side, 7.5f}));
    Bone(m, side > 0 ? r.armL : r.armR);
    m.Colour(Colour(player));
    m.Tube({0, 15.0f * side, 58}, {1, 18.5f * side, 39}, 4.2f, 3.6f, 8);
    m.Colour(kWhite);
    m.Sphere(4.6f, 8, 5, Translate({1.5f, 19.0f * side, 35}));
  }
  Bone(m, r.torso);
  m.Use(Plain(), Colour(player));
  m.Lathe({{0, 28}, {18, 29}, {14, 40}, {12.5f, 46}, {13.5f, 55}, {9, 62}, {0, 63}}, 12, Xf{});
  m.Colour(Colour(look::kGold));
  m.Torus(13, 2.2f, 14, 4, Translate({0, 0, 42}));
  m.Colour(kWhite);
  m.Torus(7.5f, 2.6f, 12, 4, Translate({0, 0, 61}));
  Bone(m, r.head);
  const V3 head{1, 0, 72};
  m.Use(Glow(f.body, 0.4f), Colour(f.body));
  m.Sphere(14, 12, 7, Translate(head));
  for (int side : {1, -1}) {
    m.Lathe({{0, 0}, {3.5f, 0}, {0, 10}}, 6, Translate(head + V3{-1, 12.5f * side, 0}) * AlignZ({-0.3f, 1.0f * side, 0.5f}));
    m.Colour(kCoal);
    m.Sphere(1.8f, 6, 3, Translate(head + V3{12.3f, 4.6f * side, 2.5f}));
    m.Colour(Colour(f.detail));
    m.Sphere(1, 6, 4, Translate(head + V3{11.5f, 7.8f * side, -2.5f}) * Scale({1.5f, 3, 2}));
    m.Colour(Colour(f.body));
  }
  m.Sphere(2.6f, 6, 3, Translate(head + V3{14, 0, -1}));
  // The long hat, bending back, with its pompom.
  m.Colour(Colour(player));
  m.Lathe({{0, 0}, {14.8f, 0}, {10, 6}, {4, 13}, {0, 18}}, 12, Translate(head + V3{0, 0, 6}) * AlignZ({-0.35f, 0, 1}));
  m.Colour(kWhite);
  m.Torus(14.2f, 2.2f, 14, 4, Translate(head + V3{0, 0, 6.5f}) * AlignZ({-0.35f, 0, 1}));
  m.Sphere(3.6f, 8, 5, Translate(head + V3{-5.9f, 0, 6 + 17}));
  return r;
}

Rig Snowman(Mesh& m, look::Rgb player) {
  const look::FigureLook& f = look::kFigures[look::kSnowman];
  Rig r = MakeRig(18, 8, 66, 14, 56);
  for (int side : {1, -1}) {
    Bone(m, side > 0 ? r.legL : r.legR);
    m.Use(Plain(), Colour(f.body));
    m.Tube({0, 8.0f * side, 18}, {1, 8.0f * side, 6}, 6.5f, 6.5f, 8);
    Bone(m, side > 0 ? r.armL : r.armR);
    m.Colour(Colour(look::kBark));
    m.Tube({0, 14.0f * side, 56}, {2, 30.0f * side, 66}, 1.6f, 1.3f, 5);
    m.Tube({1.2f, 24.0f * side, 62.5f}, {3, 28.0f * side, 72}, 1.1f, 0.9f, 5);
  }
  Bone(m, r.torso);
  m.Use(Plain(), Colour(f.body));
  m.Sphere(22, 12, 8, Translate({0, 0, 28}));
  m.Sphere(16.5f, 12, 7, Translate({0, 0, 54}));
  m.Colour(Colour(f.accent));
  for (const V3 b : {V3{16.3f, 0, 57}, V3{16.4f, 0, 50}, V3{21.6f, 0, 33}, V3{20.8f, 0, 24}})
    m.Sphere(2, 6, 3, Translate(b));
  m.Colour(Colour(player));
  m.Torus(10.5f, 4, 12, 4, Translate({0, 0, 68.5f}));
  m.Box({2.5f, 4, 9}, 1.5f, 1, Translate({8, -8, 60}) * RotateX(0.3f));
  Bone(m, r.head);
  const V3 head{0, 0, 78};
  m.Colour(Colour(f.body));
  m.Sphere(12.5f, 12, 8, Translate(head));
  m.Colour(Colour(f.accent));
  for (int side : {1, -1}) m.Sphere(1.7f, 6, 3, Translate(head + V3{11, 4.2f * side, 3}));
  for (int i = -2; i <= 2; ++i) m.Sphere(1.1f, 5, 3, Translate(head + V3{11.3f, 2.2f * i, -5 + 0.4f * i * i}));
  m.Colour(Colour(f.detail));
  m.Cone(2.6f, 11, 8, Translate(head + V3{11, 0, -0.5f}) * AlignZ({1, 0, 0}));
  // Bobble beanie.
  m.Colour(Colour(player));
  m.Lathe({{12.9f, 0}, {12.6f, 4}, {9, 10}, {0, 12}}, 12, Translate(head + V3{0, 0, 3}));
  m.Colour(kWhite);
  m.Torus(12.6f, 2, 12, 4, Translate(head + V3{0, 0, 3.5f}));
  m.Sphere(3.4f, 8, 5, Translate(head + V3{0, 0, 15.5f}));
  return r;
}

Rig Reindeer(Mesh& m, look::Rgb player) {
  const look::FigureLook& f = look::kFigures[look::kReindeer];
  Rig r = MakeRig(36, 6.5f, 66, 15, 60);
  const Rgba antler = Rgb8(212, 178, 120);
  for (int side : {1, -1}) {
    Bone(m, side > 0 ? r.legL : r.legR);
    m.Use(Glow(f.body, 0.35f), Colour(f.body));
    m.Tube({0, 6.5f * side, 36}, {0.5f, 6.5f * side, 8}, 5.2f, 4.4f, 8);
    m.Use(Plain(), Colour(look::kInk));
    m.Cylinder(5.2f, 6, 8, Translate({1.5f, 6.5f * side, 0}));
    Bone(m, side > 0 ? r.armL : r.armR);
    m.Colour(Colour(player));
    m.Tube({0, 15.0f * side, 60}, {2, 18.5f * side, 41}, 4.4f, 3.8f, 8);
    m.Colour(Colour(look::kInk));
    m.Sphere(4.3f, 8, 5, Translate({2.5f, 19.0f * side, 37}));
  }
  Bone(m, r.torso);
  m.Use(Plain(), Colour(player));
  m.Lathe({{0, 33}, {15, 34}, {16.5f, 44}, {17, 54}, {14, 62}, {8, 66}, {0, 67}}, 14, Xf{});
  m.Colour(kWhite);
  m.Torus(16.8f, 2.4f, 16, 4, Translate({0, 0, 50}));
  m.Colour(Colour(f.accent));
  m.Sphere(4.5f, 8, 5, Translate({-15, 0, 40}));
  Bone(m, r.head);
  const V3 head{1, 0, 77};
  m.Use(Glow(f.body, 0.35f), Colour(f.body));
  m.Sphere(12.5f, 12, 8, Translate(head));
  for (int side : {1, -1})
    m.Sphere(1, 6, 4, Translate(head + V3{-3, 11.5f * side, 7}) * RotateX(0.6f * side) * Scale({3, 6, 2}));
  m.Colour(Colour(f.accent));
  m.Sphere(1, 10, 6, Translate(head + V3{10, 0, -4}) * Scale({9, 7.5f, 6.5f}));
  m.Use(Glow(f.detail, 0.45f), Colour(f.detail));
  m.Sphere(3.4f, 8, 5, Translate(head + V3{19, 0, -2.5f}));
  m.Use(Plain(), Colour(look::kInk));
  for (int side : {1, -1}) m.Sphere(1.8f, 6, 3, Translate(head + V3{9.6f, 5.6f * side, 4}));
  m.Colour(antler);
  for (int side : {1, -1}) {
    const V3 base = head + V3{-2, 5.5f * side, 7.5f};
    const V3 tip = base + V3{-4, 6.0f * side, 9.5f};
    m.Tube(base, tip, 1.7f, 1.3f, 5);
    m.Tube(base + V3{-1.5f, 2.5f * side, 4}, base + V3{3, 6.5f * side, 8}, 1.2f, 1.0f, 5);
    m.Tube(tip, tip + V3{-3, 3.5f * side, 1.5f}, 1.2f, 1.0f, 5);
  }
  return r;
}

Rig Penguin(Mesh& m, look::Rgb player) {
  const look::FigureLook& f = look::kFigures[look::kPenguin];
  Rig r = MakeRig(20, 8, 62, 20, 56);
  for (int side : {1, -1}) {
    Bone(m, side > 0 ? r.legL : r.legR);
    m.Use(Plain(), Colour(f.body));
    m.Tube({0, 8.0f * side, 20}, {1, 8.0f * side, 5}, 4.2f, 3.8f, 6);
    m.Colour(Colour(f.detail));
    m.Sphere(1, 10, 5, Translate({3, 8.0f * side, 2.6f}) * Scale({7.5f, 5.5f, 2.6f}));
    Bone(m, side > 0 ? r.armL : r.armR);
    m.Colour(Colour(f.body));
    m.Sphere(1, 8, 6, Translate({0, 21.0f * side, 44}) * RotateX(-0.2f * side) * Scale({5, 3, 15}));
    m.Colour(Colour(player));
    m.Sphere(4.4f, 8, 5, Translate({0.5f, 23.5f * side, 29.5f}));
  }
  Bone(m, r.torso);
  m.Use(Plain(), Colour(f.body));
  m.Lathe({{0, 9}, {14, 10}, {21, 21}, {22.5f, 36}, {19, 52}, {12, 62}, {0, 65}}, 14, Xf{});
  m.Colour(Colour(f.accent));
  m.Sphere(1, 12, 8, Translate({15.5f, 0, 33}) * Scale({9, 16, 22}));
  Bone(m, r.head);
  const V3 head{1, 0, 71};
  m.Colour(Colour(f.body));
  m.Sphere(13.5f, 12, 8, Translate(head));
  m.Colour(Colour(f.accent));
  m.Sphere(1, 10, 6, Translate(head + V3{7.5f, 0, -1}) * Scale({7, 10, 8.5f}));
  m.Colour(Colour(look::kInk));
  for (int side : {1, -1}) m.Sphere(1.7f, 6, 3, Translate(head + V3{13.4f, 4.2f * side, 2}));
  m.Colour(Colour(f.detail));
  m.Cone(3.4f, 10, 8, Translate(head + V3{13, 0, -2.5f}) * AlignZ({1, 0, -0.15f}));
  m.Colour(Colour(player));
  m.Lathe({{13.9f, 0}, {13.5f, 4}, {9.5f, 10}, {0, 12}}, 12, Translate(head + V3{0, 0, 3}));
  m.Colour(kWhite);
  m.Torus(13.6f, 2.1f, 12, 4, Translate(head + V3{0, 0, 3.5f}));
  m.Sphere(3.5f, 8, 5, Translate(head + V3{0, 0, 15.5f}));
  return r;
}

// --- Clips -------------------------------------------------------------------------

Clip Idle(const Rig& r) {
  Clip c;
  c.name = "reposo";
  const float period = 2.4f;
  const int keys = 12;
  for (int k = 0; k <= keys; ++k) {
    const float t = period * k / keys, a = 2 * kPi * t / period;
    Pose p = r.skeleton.Rest();
    const float breath = std::sin(a);
    p.scale[r.torso] = {1 + 0.025f * breath, 1 + 0.025f * breath, 1 + 0.018f * breath};
    p.rotation[r.head] = AxisAngle({0, 0, 1}, 0.45f * std::sin(a)) * AxisAngle({0, 1, 0}, 0.06f * std::sin(2 * a));
    p.rotation[r.armL] = AxisAngle({1, 0, 0}, -0.06f - 0.04f * breath);
    p.rotation[r.armR] = AxisAngle({1, 0, 0}, 0.06f + 0.04f * breath);
    c.times.push_back(t);
    c.poses.push_back(k == keys ? c.poses.front() : p);
  }
  return c;
}

}  // namespace

// The run: each foot is planted for half the cycle, moving back under the hips at exactly
// the figure's ground speed, then swings forward lifted clear; the hips ride on the
// planted leg so that its foot stays on the ground.
Clip Run(const Rig& r, float period) {
  Clip c;
  c.name = "correr";
  const float L = r.legLength, A = kRunSpeed * period / 4, lift = 0.22f * L;
  const int keys = 16;
  auto footX = [&](float phase) {  // foot ahead of the hip; planted for phase < 0.5
    phase -= std::floor(phase);
    return phase < 0.5f ? A * (1 - 4 * phase) : -A * std::cos(2 * kPi * (phase - 0.5f));
  };
  for (int k = 0; k <= keys; ++k) {
    const float t = period * k / keys, phase = static_cast<float>(k) / keys;
    Pose p = r.skeleton.Rest();
    float stanceCos = 1;
    for (int leg = 0; leg < 2; ++leg) {
      const float ph = phase + 0.5f * leg, local = ph - std::floor(ph);
      const float theta = -std::asin(std::clamp(footX(ph) / L, -1.0f, 1.0f));
      const int bone = leg == 0 ? r.legL : r.legR;
      p.rotation[bone] = AxisAngle({0, 1, 0}, theta);
      if (local < 0.5f) stanceCos = std::cos(theta);
    }
    const float hipZ = L * stanceCos;
    p.offset[r.hips].z = hipZ;
    for (int leg = 0; leg < 2; ++leg) {
      const float ph = phase + 0.5f * leg, local = ph - std::floor(ph);
      if (local <= 0.5f) continue;
      const int bone = leg == 0 ? r.legL : r.legR;
      // Shorten the swinging leg along itself so that its foot clears the ground.
      const float theta = -std::asin(std::clamp(footX(ph) / L, -1.0f, 1.0f));
      const float h = lift * std::sin(2 * kPi * (local - 0.5f));
      p.scale[bone].z = (hipZ - h) / (L * std::cos(theta));
    }
    const float swing = std::sin(2 * kPi * phase);
    // A forward lean, less for short legs so the body stays clear of the ground.
    const float lean = 0.12f * std::min(1.0f, L / 30);
    p.rotation[r.torso] = AxisAngle({0, 1, 0}, lean) * AxisAngle({0, 0, 1}, 0.1f * swing);
    p.rotation[r.head] = AxisAngle({0, 1, 0}, -0.1f) * AxisAngle({0, 0, 1}, -0.08f * swing);
    p.rotation[r.armL] = AxisAngle({0, 1, 0}, -0.6f * swing);
    p.rotation[r.armR] = AxisAngle({0, 1, 0}, 0.6f * swing);
    c.times.push_back(t);
    c.poses.push_back(k == keys ? c.poses.front() : p);
  }
  return c;
}

Clip Spin(const Skeleton& s, int bone) {
  Clip c;
  c.name = "rotar";
  const float period = 2.0f;
  const int keys = 8;
  for (int k = 0; k <= keys; ++k) {
    const float t = period * k / keys, a = 2 * kPi * k / keys;
    Pose p = s.Rest();
    p.rotation[bone] = AxisAngle({0, 0, 1}, a);
    p.offset[bone].z += 6 * std::sin(a);
    c.times.push_back(t);
    c.poses.push_back(k == keys ? c.poses.front() : p);
  }
  return c;
}

Figure BuildFigure(int design, int player) {
  Figure fig;
  fig.mesh.pixelsPerUnit = look::kFieldPixelsPerUnit;
  fig.mesh.fewestSegments = 4;
  const look::Rgb colour = look::kPlayer[player];
  Rig r;
  float period = 1.0f;
  switch (design) {
    case look::kElf: r = Elf(fig.mesh, colour); period = 1.1f; break;
    case look::kSnowman: r = Snowman(fig.mesh, colour); period = 0.8f; break;
    case look::kReindeer: r = Reindeer(fig.mesh, colour); period = 1.1f; break;
    default: r = Penguin(fig.mesh, colour); period = 0.8f; break;
  }
  fig.skeleton = r.skeleton;
  fig.clips = {Idle(r), Run(r, period)};
  // Parts on other bones hide a surface only if they do so all through both clips.
  std::vector<std::vector<Xf>> poses;
  for (const Pose& p : fig.skeleton.Sample(fig.clips, 3)) poses.push_back(fig.skeleton.Transforms(p));
  fig.mesh.RemoveHidden(poses);
  fig.mesh.Weld();
  return fig;
}

Figure BuildMarker(int player) {
  Figure fig;
  const bool neutral = player < 0;
  const look::Rgb colour = neutral ? look::kSnow : look::kPlayer[player];
  const float z = neutral ? 325 : 262;
  const int bone = fig.skeleton.Add("Giro", -1, {0, 0, z});
  Mesh& m = fig.mesh;
  m.pixelsPerUnit = look::kFieldPixelsPerUnit;
  m.pen.bone = bone;
  m.Use(Glow(colour, 0.35f), Colour(colour));
  // A gem pointing down at the base, faceted so it glints as it turns.
  m.Lathe({{0, z - 48}, {30, z + 8}, {20, z + 22}, {0, z + 25}}, 6, Xf{});
  m.Use(Glow(look::kGold, 0.4f), Colour(look::kGold));
  // A hoop under three pixels thick: a square section is as round as it can look.
  m.Torus(35, 3.4f, 20, 4, Translate({0, 0, z + 8}));
  m.Star(13, 5.5f, 4, 5, Translate({0, 0, z + 42}));
  m.Weld();
  fig.clips = {Spin(fig.skeleton, bone)};
  return fig;
}

}  // namespace figures

bool WriteAnimatedModels(const std::string& dataDir) {
  const std::string dir = dataDir + "/";
  bool ok = true;
  for (int i = 0; i < 4; ++i)
    for (int f = 0; f < 4; ++f) {
      const figures::Figure fig = figures::BuildFigure(f, i);
      ok &= WriteText(dir + "Jugador" + std::to_string(i) + "_Figura" + std::to_string(f) + ".X",
                      SkinnedX(fig.mesh, fig.skeleton, fig.clips));
    }
  for (int i = 0; i < 4; ++i) {
    const figures::Figure m = figures::BuildMarker(i);
    ok &= WriteText(dir + "Marcador" + std::to_string(i) + ".X", SkinnedX(m.mesh, m.skeleton, m.clips));
  }
  const figures::Figure neutral = figures::BuildMarker(-1);
  ok &= WriteText(dir + "Marcador.X", SkinnedX(neutral.mesh, neutral.skeleton, neutral.clips));
  return ok;
}
