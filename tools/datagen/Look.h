// The game's look, written down once: the palette, the four player colours and the four
// figure designs. The interface art (portraits, colour cells) and the 3D figures, markers
// and bases all read their colours and proportions from here, so they always agree.
#pragma once

#include <cstdint>

namespace look {

struct Rgb {
  uint8_t r, g, b;
  constexpr float R() const { return r / 255.0f; }
  constexpr float G() const { return g / 255.0f; }
  constexpr float B() const { return b / 255.0f; }
};

// --- Palette -----------------------------------------------------------------------
// A winter night: deep blue sky and shadows, warm lamp light, snow, and Christmas
// red, green and gold for decoration.
constexpr Rgb kNightDeep{12, 22, 48};
constexpr Rgb kNightBlue{28, 52, 98};
constexpr Rgb kSnow{240, 246, 252};
constexpr Rgb kSnowShade{184, 204, 228};
constexpr Rgb kIce{170, 214, 240};
constexpr Rgb kHollyRed{196, 30, 46};
constexpr Rgb kHollyGreen{22, 110, 62};
constexpr Rgb kFirGreen{20, 80, 52};
constexpr Rgb kGold{244, 190, 60};
constexpr Rgb kWarmLight{255, 214, 130};
constexpr Rgb kBark{92, 60, 38};
constexpr Rgb kInk{24, 28, 44};       // outlines and dark lettering
constexpr Rgb kPaper{255, 250, 240};  // light lettering

// --- Player colours ----------------------------------------------------------------
// One colour per player slot (0 … 3), used by the interface colour cells, the figures'
// clothes, the markers and the figure strips. They differ in lightness as well as hue,
// so they stay apart for colour-blind players: under simulated protanopia and
// deuteranopia (Machado et al. 2009, full severity) the closest pair keeps a CIELAB
// distance of about 38 (51 under protanopia, 84 with normal vision); a content test
// guards this.
constexpr Rgb kPlayer[4] = {
    {200, 30, 40},    // 1: red
    {80, 190, 245},   // 2: sky blue
    {250, 205, 40},   // 3: gold
    {120, 30, 170},   // 4: purple
};
// A darker shade of each player colour, for trims, shadows and outlines.
constexpr Rgb Darker(Rgb c, float f = 0.6f) {
  return Rgb{static_cast<uint8_t>(c.r * f), static_cast<uint8_t>(c.g * f),
             static_cast<uint8_t>(c.b * f)};
}

// --- Screen size -------------------------------------------------------------------
// The match camera (45 degrees high over 600 rows, 1,970 units from the nearest ground
// it sees) shows one unit of the field as at most 0.37 pixels: the models on the field
// are tessellated for that, with a little room.
constexpr float kFieldPixelsPerUnit = 0.4f;

// --- Figures -----------------------------------------------------------------------
// Four figure designs, index f = 0 … 3. Every figure stands on z = 0 facing +X, about
// 95 units tall in its own units; the player colour marks its clothes (or scarf) so the
// player is known at a glance. Portraits (115 × 160, face in the top 115 × 75) and the
// skinned 3D figures are both built from these descriptions.
enum Figure { kElf = 0, kSnowman = 1, kReindeer = 2, kPenguin = 3 };

struct FigureLook {
  const char* name;
  // Skin, fur or body colour (the parts that are not the player colour).
  Rgb body;
  // Second colour: belly, face, muzzle or buttons.
  Rgb accent;
  // Small details: nose, beak, eyes' whites, buttons.
  Rgb detail;
  // Proportions, in the figure's own units.
  float height;     // top of head (or hat) above the ground
  float headRadius; // the head is round
  float bodyRadius; // widest half-width of the torso
  const char* description;
};

constexpr FigureLook kFigures[4] = {
    {"elf", {250, 214, 180}, {34, 120, 60}, {214, 80, 70}, 96.0f, 15.0f, 17.0f,
     "A slim elf: peach face with pointed ears and rosy cheeks, a long pointed hat in the "
     "player colour with a white pompom, a tunic in the player colour with a gold belt and "
     "white collar, green leggings, dark pointed shoes curled at the toe. Arms and legs "
     "thin; hands in white gloves."},
    {"snowman", {244, 248, 255}, {30, 30, 36}, {240, 120, 30}, 94.0f, 17.0f, 26.0f,
     "A round snowman: two stacked snow balls for body and a smaller head, coal eyes and "
     "buttons, an orange carrot nose pointing forward (+X), a knitted scarf and a bobble "
     "beanie in the player colour, stubby twig arms. Legs are two short snow stumps so it "
     "can run."},
    {"reindeer", {150, 100, 62}, {226, 196, 158}, {210, 30, 30}, 98.0f, 15.0f, 18.0f,
     "An upright reindeer: brown fur, pale muzzle and belly, a red shiny nose, small "
     "branching antlers in tan, a knitted jumper in the player colour with a white "
     "snowflake band, a matching scarf and a small bobble hat (player colour, white brim "
     "and bobble) sitting between the antlers, dark hooves."},
    {"penguin", {26, 30, 44}, {248, 248, 250}, {250, 160, 30}, 90.0f, 15.0f, 22.0f,
     "A plump penguin: dark blue-black back and head, white belly and face mask, orange "
     "beak and feet, short flipper arms, a bobble hat and mittens in the player colour."},
};

}  // namespace look
