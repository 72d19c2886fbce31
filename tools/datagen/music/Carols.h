// Five public-domain carols, written out as data: each section is a melody and its
// chords. A melody is a list of notes "pitch:beats" (pitch as C4, F#4, Bb3, or R for a
// rest; beats in quarter notes, 1 when left out) with "|" between bars; chords are
// "name:beats" (C, Dm, G7, F#m, Bb, …). The arranger checks that every bar is full and
// that the chords span the melody.
#pragma once

#include <vector>

namespace music {

struct Section {
  const char* melody;
  const char* chords;
};

// One pass through a section: its key (semitones above the written key), how full the
// arrangement is (0 sparse, 1 full, 2 full with the melody doubled an octave higher), and
// the melody's General MIDI program and octave shift.
struct Pass {
  const Section* section;
  int transpose;
  int intensity;
  int melodyProgram;
  int melodyOctave;
};

struct Piece {
  const char* file;
  const char* title;
  int beatsPerBar;
  double bpm;
  bool lively;
  int harmonyProgram;  // chords
  int bassProgram;
  int counterProgram;  // arpeggios (calm) or sustained pad (lively)
  std::vector<Pass> passes;
};

// The five pieces in the game's order: two calm menu pieces, three lively match pieces.
const std::vector<Piece>& Pieces();

}  // namespace music
