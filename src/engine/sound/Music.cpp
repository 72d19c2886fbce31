#include "engine/sound/Music.h"

#include "engine/resources/ResourceManager.h"
#include "engine/sound/Sound.h"
#include "engine/sound/SoundManagers.h"
#include "app/AppShell.h"

const char* const kMusicFileNames[kMusicPieceCount] = {
    "TemaInterfaz_0.mid", "TemaInterfaz_1.mid", "TemaAccion_0.mid", "TemaAccion_1.mid",
    "TemaAccion_2.mid"};

namespace {

bool Playing(Sound* piece) { return piece && piece->IsPlaying(); }

void StopIfPlaying(Sound* piece) {
  if (Playing(piece)) piece->Stop();
}

// Keeps one piece of [first, first + count) playing; the other pieces are stopped first.
void KeepGroupPlaying(Sound* const music[kMusicPieceCount], int first, int count) {
  for (int i = first; i < first + count; ++i)
    if (Playing(music[i])) return;
  for (int i = 0; i < kMusicPieceCount; ++i)
    if (i < first || i >= first + count) StopIfPlaying(music[i]);
  Sound* chosen = music[first + RandomInt(0, count - 1)];
  if (chosen) chosen->Start(false);
}

}  // namespace

void LoadMusicPieces(Sound* music[kMusicPieceCount]) {
  for (int i = 0; i < kMusicPieceCount; ++i)
    music[i] = g_musicManager ? g_musicManager->Acquire(dataRoot + kMusicFileNames[i]) : nullptr;
}

void UpdateMusic(std::int32_t musicMode, Sound* const music[kMusicPieceCount]) {
  switch (musicMode) {
    case kMusicInterface: KeepGroupPlaying(music, 0, 2); break;
    case kMusicAction: KeepGroupPlaying(music, 2, 3); break;
    case kMusicSilence:
      for (int i = 0; i < kMusicPieceCount; ++i) StopIfPlaying(music[i]);
      break;
    default: break;
  }
}
