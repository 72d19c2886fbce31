// Where everything sits in the 1024 × 1024 interface atlases (GUI_00_ES.png and
// GUI_00_EN.png share one layout). The screens cut these rectangles (x, y, width,
// height, in texels); the art is drawn to fit them, and the content tests read the same
// table to check that every cut holds art and that the two languages differ only where
// lettering is.
#pragma once

namespace atlas {

struct Rect {
  int x, y, w, h;
};

constexpr int kSize = 1024;

// Wide buttons, 321 × 40: normal look, then the highlighted look 40 rows below.
constexpr Rect kStart{0, 0, 321, 40}, kStartHi{0, 40, 321, 40};
constexpr Rect kQuit{0, 80, 321, 40}, kQuitHi{0, 120, 321, 40};
constexpr Rect kPlay{0, 160, 321, 40}, kPlayHi{0, 200, 321, 40};  // also "continue"
constexpr Rect kLanguage{0, 240, 321, 40}, kLanguageHi{0, 280, 321, 40};
constexpr Rect kBack{0, 320, 321, 40}, kBackHi{0, 360, 321, 40};
constexpr Rect kLeave{0, 400, 321, 40}, kLeaveHi{0, 440, 321, 40};

// Main menu.
constexpr Rect kCountCaption{0, 480, 320, 40};
constexpr Rect kMore{895, 0, 50, 49}, kMoreHi{959, 0, 50, 49};
constexpr Rect kFewer{895, 63, 50, 18}, kFewerHi{959, 63, 50, 18};
// The player-count strip: one 50-texel badge per player, 52 texels apart; the screen
// shows 50 + 52 × (count − 1) texels of it.
constexpr Rect kCountStrip{768, 167, 206, 54};
constexpr int kStripStep = 52;

// Player setup.
constexpr Rect kCaption[4] = {  // players 1, 2, 3, 4
    {382, 0, 164, 105}, {382, 112, 164, 105}, {558, 0, 164, 105}, {558, 112, 164, 105}};
constexpr Rect kSwitch{951, 87, 41, 42}, kSwitchHi{895, 87, 41, 42};
// The panel's last two screen rows lie past the atlas; the sampler clamps, so they
// repeat the panel's last row, which is therefore a plain frame row.
constexpr Rect kPlayerPanel{0, 776, 400, 250};
constexpr Rect kBottomBar{400, 671, 400, 106};
// Shares rows 774–776 with the bottom bar: those rows are the same plain frame line in
// both pictures (the bar's bottom edge and the cover's top edge).
constexpr Rect kInactiveCover{400, 774, 400, 250};
constexpr int kSharedRowsTop = 774, kSharedRowsBottom = 777;
// The controller symbol, shown on the panel of a player whom a game controller drives.
constexpr Rect kPadIcon{856, 240, 48, 32};

// Standings.
constexpr Rect kStandings{400, 225, 439, 445};  // lands at screen (180, 78)
constexpr Rect kRowHighlight{345, 225, 30, 40};
constexpr Rect kConfirm{0, 564, 400, 210};      // lands at screen (200, 213)
constexpr Rect kConfirmYes{72, 696, 112, 40}, kConfirmNo{216, 696, 112, 40};  // under the highlights
constexpr Rect kYesHi{768, 40, 112, 40}, kNoHi{768, 120, 112, 40};

// Score display: the bar row (one 20-texel cell per item, up to 16 items) and the four
// players' colour cells that fill it.
constexpr Rect kScoreBar{0, 530, 320, 25};
constexpr Rect kColourCell[4] = {{331, 503, 18, 16}, {359, 503, 18, 16}, {331, 483, 18, 16},
                                 {359, 483, 18, 16}};

// Every area that holds lettering. The Spanish and English atlases are drawn by the same
// code and differ only inside these; `differs` marks those whose wording differs.
struct TextArea {
  Rect r;
  bool differs;
};
constexpr TextArea kTextAreas[] = {
    // wide buttons: the label band of each look
    {{12, 3, 297, 34}, true},   {{12, 43, 297, 34}, true},  {{12, 83, 297, 34}, true},
    {{12, 123, 297, 34}, true}, {{12, 163, 297, 34}, true}, {{12, 203, 297, 34}, true},
    {{12, 243, 297, 34}, true}, {{12, 283, 297, 34}, true}, {{12, 323, 297, 34}, true},
    {{12, 363, 297, 34}, true}, {{12, 403, 297, 34}, true}, {{12, 443, 297, 34}, true},
    {{8, 483, 304, 34}, true},                  // count caption
    {{386, 4, 156, 22}, true},  {{386, 116, 156, 22}, true},  // captions' titles
    {{562, 4, 156, 22}, true},  {{562, 116, 156, 22}, true},
    {{186, 800, 190, 16}, true},                // player panel: name label
    {{430, 850, 340, 44}, true}, {{430, 900, 340, 40}, true},  // inactive cover
    {{420, 231, 399, 34}, true},                // standings title
    {{513, 266, 170, 15}, true}, {{688, 266, 140, 15}, true},  // column heads
    {{20, 586, 360, 96}, true},                 // confirmation question
    {{78, 700, 100, 32}, true}, {{222, 700, 100, 32}, false},  // yes, no
    {{774, 44, 100, 32}, true}, {{774, 124, 100, 32}, false},  // their highlights
};

}  // namespace atlas
