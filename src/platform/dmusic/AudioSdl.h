// What the real audio backend chose when it opened: whether it fell back to a silent
// output (no audio device) and which General MIDI soundfont renders the music.
#pragma once

#include <string>

namespace platform::dmusic {

// True when the output opened on the silent fallback because no device could be opened.
bool RealOutputIsSilent();
// The soundfont file given to the synthesiser; empty when none was found.
std::string RealSoundFont();

}  // namespace platform::dmusic
