// A playable sound: one DirectMusic segment loaded from a file and the audio path it
// plays on. Three kinds: wave sounds (effects mixed over everything), 3D wave sounds,
// and music segments (MIDI pieces played as the one primary piece).
#pragma once

#include <cstdint>
#include <string>

#include "engine/resources/Resource.h"
#include "platform/dmusic/DMusic.h"

class Sound : public Resource {
 public:
  Sound() = default;
  Sound(const Sound&) = delete;
  Sound& operator=(const Sound&) = delete;
  ~Sound() override;  // Unload, and the path is let go

  // Obtains the audio path this kind plays on.
  virtual bool PreparePath() = 0;
  // Runs after the segment is read; the base accepts it.
  virtual bool AfterLoad();
  // Starts the loaded segment the way this kind plays.
  virtual bool Play() = 0;
  // Plays the segment, stopping its playing instances first when stopFirst; false when
  // nothing is loaded (a default sound) or the performance refuses.
  virtual bool Start(bool stopFirst);
  // Stops and drops the segment; the path stays.
  virtual void Unload();

  // Reads a WAV or Standard MIDI file into this sound, dropping anything loaded before.
  // False when the file is missing, there is no initialised sound system, or the file
  // cannot be read or prepared for playing.
  bool LoadFromFile(const std::string& path);

  // False when nothing is loaded; otherwise whether any instance is playing now.
  bool IsPlaying() const;
  // Stops every playing instance; false when nothing is loaded.
  bool Stop();

  bool IsLoaded() const { return segment != nullptr; }

  std::int32_t refCount = 0;

 protected:
  // The sound system's performance and loader, copied when loading; the sound holds a
  // reference to each until it unloads.
  IDirectMusicPerformance8* performance = nullptr;
  IDirectMusicAudioPath8* path = nullptr;   // owned reference
  IDirectMusicSegment8* segment = nullptr;  // owned; null when nothing is loaded
  IDirectMusicLoader8* loader = nullptr;

  // Releases the path held from an earlier load before a new one is obtained.
  void ReleasePath();
};

// A sound effect: its own dynamic stereo path, played as a secondary segment so that it
// mixes over the music and over itself.
class WaveSound : public Sound {
 public:
  bool PreparePath() override;
  bool Play() override;
};

// A sound effect on its own 3D path, with the path's 3D buffer at hand.
class WaveSound3D : public Sound {
 public:
  ~WaveSound3D() override;
  bool PreparePath() override;
  bool Play() override;

  IDirectSound3DBuffer* GetBuffer3D() const { return buffer3D; }

 private:
  IDirectSound3DBuffer* buffer3D = nullptr;  // owned reference
};

// A MIDI piece on the performance's default path, played as the primary segment: starting
// one replaces the piece that is playing.
class MusicSegment : public Sound {
 public:
  bool PreparePath() override;
  bool AfterLoad() override;
  bool Play() override;
};
