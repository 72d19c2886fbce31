// Test controls of the headless audio backend: sounds play for their real length on the
// headless tick count (platform/win32), nothing is heard, and every DirectMusic call is
// written to a log that can also be told to make a call fail.
#pragma once

#include "platform/d3d9/D3D9Headless.h"
#include "platform/dmusic/DMusic.h"

namespace platform::dmusic {

// Every DirectMusic call made while the headless backend is active: CoCreateInstance,
// InitAudio, CreateStandardAudioPath, GetDefaultAudioPath, GetObjectInPath,
// GetAllParameters, SetAllParameters, PlaySegmentEx, IsPlaying, Stop, SetGlobalParam,
// CloseDown, LoadObjectFromFile, ReleaseObjectByUnknown, SetSearchDirectory, SetParam,
// Download, Unload. FailCall(name) makes the next such call fail with E_FAIL.
platform::d3d9::CallLog& AudioLog();

// The master gain the mix runs at (1.0 is full scale) and the sample rate last opened.
float HeadlessMasterGain();
int HeadlessOutputRate();
// Effect voices and pieces sounding at the current tick.
int HeadlessVoicesPlaying();
bool HeadlessPiecePlaying();
// Makes the output impossible to open, not even silently, until reset.
void HeadlessSetOutputUnavailable(bool unavailable);

// Stops everything, forgets the output, empties the log and its failures and enables it.
void HeadlessResetAudio();

}  // namespace platform::dmusic
