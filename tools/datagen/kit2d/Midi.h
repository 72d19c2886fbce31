// A Standard MIDI File writer (format 1): a conductor track with tempo and metre, then
// one track per part. Events are kept with absolute tick times and written sorted, with
// note-offs before note-ons at the same tick so that repeated notes retrigger cleanly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kit2d {

class MidiTrack {
 public:
  explicit MidiTrack(std::string name) : name_(std::move(name)) {}
  void Program(uint32_t tick, int channel, int program);
  void Control(uint32_t tick, int channel, int controller, int value);
  void Note(uint32_t tick, int channel, int key, int velocity, uint32_t length);
  // Ends the track at `tick` (or later, if an event comes later).
  void End(uint32_t tick) { end_ = tick; }
  // The track chunk's bytes ("MTrk" and length included).
  std::string Encode() const;

 private:
  struct Event {
    uint32_t tick;
    int order;  // 0 note-off, 1 control/program, 2 note-on: the order at equal ticks
    uint8_t bytes[3];
    int size;
  };
  std::string name_;
  std::vector<Event> events_;
  uint32_t end_ = 0;
};

struct TempoChange {
  uint32_t tick;
  double bpm;
};

// Writes a format-1 file: the conductor track (metre `beatsPerBar`/4 and the tempo map),
// then `tracks`; false with a message on failure.
bool WriteMidiFile(const std::string& path, int ppq, int beatsPerBar,
                   const std::vector<TempoChange>& tempi, const std::vector<MidiTrack>& tracks,
                   uint32_t endTick);

}  // namespace kit2d
