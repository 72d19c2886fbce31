#include "music/Carols.h"

namespace music {
namespace {

// --- Silent Night (3/4) ----------------------------------------------------------------
const Section kSilentNight{
    "G4:1.5 A4:0.5 G4 | E4:3 | G4:1.5 A4:0.5 G4 | E4:3 | D5:2 D5 | B4:3 | C5:2 C5 | G4:3 |"
    "A4:2 A4 | C5:1.5 B4:0.5 A4 | G4:1.5 A4:0.5 G4 | E4:3 |"
    "A4:2 A4 | C5:1.5 B4:0.5 A4 | G4:1.5 A4:0.5 G4 | E4:3 |"
    "D5:2 D5 | F5:1.5 D5:0.5 B4 | C5:3 | E5:3 | C5:1.5 G4:0.5 E4 | G4:1.5 F4:0.5 D4 |"
    "C4:3 | R:3",
    "C:12 G7:6 C:6 F:6 C:6 F:6 C:6 G7:6 C:3 Am:3 C:3 G7:3 C:6"};

// --- The First Noel (3/4) ---------------------------------------------------------------
const Section kNoelPickup{"R:2 E4:0.5 D4:0.5", "C:3"};
const Section kNoelVerse{
    "C4:1.5 D4:0.5 E4:0.5 F4:0.5 | G4:2 A4:0.5 B4:0.5 | C5 B4 A4 | G4:2 A4:0.5 B4:0.5 |"
    "C5 B4 A4 | G4 A4 B4 | C5 G4 F4 | E4:2 E4:0.5 D4:0.5 |"
    "C4:1.5 D4:0.5 E4:0.5 F4:0.5 | G4:2 A4:0.5 B4:0.5 | C5 B4 A4 | G4:2 A4:0.5 B4:0.5 |"
    "C5 B4 A4 | G4 A4 B4 | C5 G4 F4 | E4:2 E4:0.5 D4:0.5 |"
    "C4:1.5 D4:0.5 E4:0.5 F4:0.5 | G4:2 C5:0.5 B4:0.5 | A4:2 A4 | G4:3 |"
    "C5 B4 A4 | G4 A4 B4 | C5 G4 F4",
    "C:3 C:2 F:1 C:1 G:1 F:1 C:2 F:1 C:1 G:1 F:1 C:1 F:1 G:1 C:2 G7:1 C:3 "
    "C:3 C:2 F:1 C:1 G:1 F:1 C:2 F:1 C:1 G:1 F:1 C:1 F:1 G:1 C:2 G7:1 C:3 "
    "C:3 C:3 F:3 C:3 C:1 G:1 F:1 C:1 F:1 G:1 C:2 G7:1"};
const Section kNoelTurn{"E4:2 E4:0.5 D4:0.5", "C:3"};
const Section kNoelEnd{"E4:3", "C:3"};

// --- Jingle Bells (4/4) ---------------------------------------------------------------
const Section kJingleVerse{
    "G4 E5 D5 C5 | G4:3 G4:0.5 G4:0.5 | G4 E5 D5 C5 | A4:4 | A4 F5 E5 D5 | B4:4 |"
    "G5 G5 F5 D5 | E5:4 | G4 E5 D5 C5 | G4:4 | G4 E5 D5 C5 | A4:3 A4 | A4 F5 E5 D5 |"
    "G5 G5 G5 G5 | A5 G5 F5 D5 | C5:2 G5:2",
    "C:12 F:8 G:4 G7:4 C:4 C:12 F:8 G:4 G7:4 C:2 G7:2"};
const Section kJingleChorus{
    "E5 E5 E5:2 | E5 E5 E5:2 | E5 G5 C5:1.5 D5:0.5 | E5:4 | F5 F5 F5:1.5 F5:0.5 |"
    "F5 E5 E5 E5:0.5 E5:0.5 | E5 D5 D5 E5 | D5:2 G5:2 | E5 E5 E5:2 | E5 E5 E5:2 |"
    "E5 G5 C5:1.5 D5:0.5 | E5:4 | F5 F5 F5 F5 | F5 E5 E5 E5:0.5 E5:0.5 | G5 G5 F5 D5 | C5:4",
    "C:16 F:4 C:4 D7:4 G7:4 C:16 F:4 C:4 G7:4 C:4"};

// --- Deck the Halls (4/4) ---------------------------------------------------------------
const Section kDeck{
    "G4:1.5 F4:0.5 E4 D4 | C4 D4 E4 C4 | D4:0.5 E4:0.5 F4:0.5 D4:0.5 E4:1.5 D4:0.5 | C4 B3 C4:2 |"
    "G4:1.5 F4:0.5 E4 D4 | C4 D4 E4 C4 | D4:0.5 E4:0.5 F4:0.5 D4:0.5 E4:1.5 D4:0.5 | C4 B3 C4:2 |"
    "D4:1.5 E4:0.5 F4 D4 | E4:1.5 F4:0.5 G4 D4 | E4:0.5 F#4:0.5 G4 A4:0.5 B4:0.5 C5 | B4 A4 G4:2 |"
    "G4:1.5 F4:0.5 E4 D4 | C4 D4 E4 C4 | A4:0.5 A4:0.5 A4:0.5 A4:0.5 G4:1.5 F4:0.5 | E4 D4 C4:2",
    "C:3 G:1 C:1 G:1 C:2 G7:2 C:2 C:1 G7:1 C:2 "
    "C:3 G:1 C:1 G:1 C:2 G7:2 C:2 C:1 G7:1 C:2 "
    "Dm:4 C:2 G:2 C:1 G:1 D7:2 G:1 D7:1 G7:2 "
    "C:3 G:1 C:1 G:1 C:2 F:2 G7:2 C:1 G7:1 C:2"};

// --- We Wish You a Merry Christmas (3/4) --------------------------------------------------
const Section kWishPickup{"R:2 G4", "C:3"};
const Section kWishVerse{
    "C5 C5:0.5 D5:0.5 C5:0.5 B4:0.5 | A4 A4 A4 | D5 D5:0.5 E5:0.5 D5:0.5 C5:0.5 | B4 G4 G4 |"
    "E5 E5:0.5 F5:0.5 E5:0.5 D5:0.5 | C5 A4 G4:0.5 G4:0.5 | A4 D5 B4 | C5:2 G4",
    "C:3 F:3 D7:3 G:3 E7:3 Am:2 C:1 F:1 G7:2 C:3"};
const Section kWishRefrain{
    "C5 C5 C5 | B4:2 B4 | C5 B4 A4 | G4:2 D5 | E5 D5 C5 | G5 G4 G4:0.5 G4:0.5 | A4 D5 B4 |"
    "C5:2 G4",
    "C:3 G:3 Am:1 G:1 D7:1 G:3 C:1 G:1 C:1 C:3 F:1 G7:2 C:3"};
const Section kWishEnd{"C5 C5:0.5 D5:0.5 C5:0.5 B4:0.5 | A4 A4 A4 | D5 D5:0.5 E5:0.5 D5:0.5 C5:0.5 | B4 G4 G4 |"
                       "E5 E5:0.5 F5:0.5 E5:0.5 D5:0.5 | C5 A4 G4:0.5 G4:0.5 | A4 D5 B4 | C5:3",
                       "C:3 F:3 D7:3 G:3 E7:3 Am:2 C:1 F:1 G7:2 C:3"};

// General MIDI programs used (numbered from 0).
constexpr int kPiano = 0, kCelesta = 8, kGlockenspiel = 9, kMusicBox = 10, kAccordion = 21,
              kAcousticBass = 32, kFingerBass = 33, kPizzicato = 45, kHarp = 46, kStrings = 48,
              kSlowStrings = 49, kTrumpet = 56, kBrass = 61, kAltoSax = 65, kOboe = 68,
              kClarinet = 71, kFlute = 73, kRecorder = 74;

}  // namespace

const std::vector<Piece>& Pieces() {
  static const std::vector<Piece> pieces = {
      {"TemaInterfaz_0.mid", "Silent Night", 3, 76, false, kStrings, kAcousticBass, kCelesta,
       {{&kSilentNight, 0, 1, kFlute, 0}, {&kSilentNight, 0, 2, kOboe, 0}}},
      {"TemaInterfaz_1.mid", "The First Noel", 3, 104, false, kSlowStrings, kPizzicato, kHarp,
       {{&kNoelPickup, 2, 0, kRecorder, 12},
        {&kNoelVerse, 2, 0, kRecorder, 12},
        {&kNoelTurn, 2, 0, kRecorder, 12},
        {&kNoelVerse, 2, 1, kClarinet, 0},
        {&kNoelTurn, 2, 1, kClarinet, 0},
        {&kNoelVerse, 2, 2, kMusicBox, 12},
        {&kNoelEnd, 2, 2, kMusicBox, 12}}},
      {"TemaAccion_0.mid", "Jingle Bells", 4, 150, true, kPiano, kFingerBass, kBrass,
       {{&kJingleVerse, 0, 0, kTrumpet, 0},
        {&kJingleChorus, 0, 1, kTrumpet, 0},
        {&kJingleVerse, 2, 1, kAltoSax, 0},
        {&kJingleChorus, 2, 2, kTrumpet, 0}}},
      {"TemaAccion_1.mid", "Deck the Halls", 4, 138, true, kPiano, kFingerBass, kStrings,
       {{&kDeck, 0, 0, kAccordion, 12},
        {&kDeck, 0, 1, kClarinet, 12},
        {&kDeck, 2, 1, kTrumpet, 12},
        {&kDeck, 2, 2, kAccordion, 12}}},
      {"TemaAccion_2.mid", "We Wish You a Merry Christmas", 3, 176, true, kPiano, kAcousticBass,
       kBrass,
       {{&kWishPickup, 0, 0, kClarinet, 0},
        {&kWishVerse, 0, 0, kClarinet, 0},
        {&kWishRefrain, 0, 1, kClarinet, 0},
        {&kWishVerse, 0, 1, kTrumpet, 0},
        {&kWishRefrain, 0, 1, kTrumpet, 0},
        {&kWishVerse, 2, 2, kFlute, 12},
        {&kWishRefrain, 2, 2, kTrumpet, 0},
        {&kWishEnd, 2, 2, kTrumpet, 0}}},
  };
  return pieces;
}

}  // namespace music
