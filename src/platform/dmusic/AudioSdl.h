// What the real audio backend chose when it opened: whether it fell back to a silent
// output (no audio device) and which General MIDI soundfont renders the music; and how
// many voices its synthesiser has room for, against what a piece needs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform::dmusic {

// True when the output opened on the silent fallback because no device could be opened.
bool RealOutputIsSilent();
// The soundfont the synthesiser read: the game's own ("Data/Instrumentos.sf2") when it
// is present and sound, else the system's; empty when none could be read. Waits for the
// synthesiser while the output is open.
std::string RealSoundFont();
// The font cut for the piece playing now alone, read over that one; empty when the piece
// plays from it (no such font beside it, or a damaged one).
std::string RealPieceSoundFont();
// Output buffers the peak limiter had to turn down since the output opened; the mix
// levels are set so that the game's own loudest moment needs none.
std::uint64_t RealLimitedBuffers();

// The voices the music's synthesiser has room for. Each costs memory from the start,
// sounding or not, and a piece that needs more has notes cut: the game's busiest piece
// needs more than half of them, so fewer would not leave it room to spare (see
// PeakSynthVoices).
inline constexpr int kSynthPolyphony = 256;

// The most voices a piece (a Standard MIDI file's bytes) has sounding at once, rendered
// offline from `font` by a synthesiser set up as the music's at 44100 Hz (the game's
// rate), with room for many more voices than kSynthPolyphony, from its start through its
// last event and release tail; -1 when the font or the piece cannot be read.
int PeakSynthVoices(const std::string& font, const std::vector<std::uint8_t>& midi);

}  // namespace platform::dmusic
