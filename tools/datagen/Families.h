// The asset families the generator writes. Each writes its files into the folder it is
// given (which exists) and returns false after printing what failed.
#pragma once

#include <string>

// Interface pictures: atlases, cursor, menu background, figure strips.
bool WriteInterfaceArt(const std::string& dataDir);
// Sound effects (WAV).
bool WriteSoundEffects(const std::string& dataDir);
// Music (Standard MIDI files).
bool WriteMusic(const std::string& dataDir);
// Static models: items, bases, snowman stages, terrains, with their companion files.
bool WriteStaticModels(const std::string& dataDir);
// Skinned, animated models: the figures and the markers.
bool WriteAnimatedModels(const std::string& dataDir);
// The terrain outline file.
bool WriteOutline(const std::string& dataDir);
// The launcher icon for the desktop's applications menu.
bool WriteIcon(const std::string& dataDir);
