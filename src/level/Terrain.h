// The round's static scenery: one of the three terrain models with the shared obstacle
// outlines, the players' bases with their turning markers, and the snowman that grows
// part by part.
#pragma once

#include <cstdint>

class GameMode;
class Player;

// Draws which of the three terrain models the round shows and adds it to the scene.
void LoadTerrain(GameMode* mode);
// Reads the outline file into the mode's (empty) outline list; false when it is missing.
bool LoadOutlines(GameMode* mode);
// The base model (bag or tree) and the slot's own marker, added to the scene.
void SetUpOwnBase(Player* player, std::int32_t slot, const char* baseModel);
// Player 0's base records show the one shared snowman and its marker.
void SetUpSnowman(Player* first);
// The snowman model showing the first partsBuilt + 1 parts; partsBuilt then grows.
void GrowSnowman(Player* first, std::int32_t* partsBuilt);
