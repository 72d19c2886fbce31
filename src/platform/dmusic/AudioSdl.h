// What the real audio backend chose when it opened: whether it fell back to a silent
// output (no audio device) and which General MIDI soundfont renders the music.
#pragma once

#include <cstdint>
#include <string>

namespace platform::dmusic {

// True when the output opened on the silent fallback because no device could be opened.
bool RealOutputIsSilent();
// The soundfont the synthesiser read: the game's own ("Data/Instrumentos.sf2") when it
// is present and sound, else the system's; empty when none could be read. Waits for the
// synthesiser while the output is open.
std::string RealSoundFont();
// Output buffers the peak limiter had to turn down since the output opened; the mix
// levels are set so that the game's own loudest moment needs none.
std::uint64_t RealLimitedBuffers();

}  // namespace platform::dmusic
