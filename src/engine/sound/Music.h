// The game's five MIDI pieces and the jukebox step that keeps one piece of the wanted
// group playing: two calm pieces for the menus, three for matches.
#pragma once

#include <cstdint>

class Sound;

constexpr int kMusicPieceCount = 5;

// File names in the order the game holds the pieces: 0-1 menus, 2-4 match.
extern const char* const kMusicFileNames[kMusicPieceCount];

// musicMode values.
constexpr std::int32_t kMusicInterface = 0;
constexpr std::int32_t kMusicAction = 1;
constexpr std::int32_t kMusicSilence = 2;

// Acquires the five pieces from the music manager by the data root and file name. A
// missing file gives the manager's silent default.
void LoadMusicPieces(Sound* music[kMusicPieceCount]);

// One jukebox step. Mode 0: when neither menu piece plays, stops the match pieces and
// starts a random menu piece; mode 1 likewise for the match pieces; mode 2 stops all five;
// any other mode does nothing. Null pieces count as silent.
void UpdateMusic(std::int32_t musicMode, Sound* const music[kMusicPieceCount]);
