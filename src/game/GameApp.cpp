#include "game/GameApp.h"

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "app/GraphicsDevice.h"
#include "engine/gui/Font.h"
#include "engine/gui/Texture.h"
#include "engine/input/InputSystem.h"
#include "engine/input/Keyboard.h"
#include "engine/input/Mouse.h"
#include "engine/resources/ResourceManagers.h"
#include "engine/scene/RenderQueue.h"
#include "engine/scene/Scene.h"
#include "engine/sound/Music.h"
#include "engine/sound/SoundSystem.h"
#include "gameplay/MatchWorld.h"
#include "platform/FileSystem.h"
#include "platform/Random.h"
#include "platform/d3dx9/D3DX9Sprite.h"
#include "platform/d3dx9/D3DX9Texture.h"
#include "platform/dinput8/DInput8.h"

namespace {

// The sixteen steering keys: player i's actions up, down, left, right are 100·i … 100·i + 3.
constexpr BYTE kPlayerKeys[4][4] = {
    {DIK_W, DIK_S, DIK_A, DIK_D},
    {DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT},
    {DIK_U, DIK_J, DIK_H, DIK_K},
    {DIK_NUMPAD8, DIK_NUMPAD5, DIK_NUMPAD4, DIK_NUMPAD6},
};

Texture* AcquireTexture(const char* file) { return g_textureManager->Acquire(dataRoot + file); }

void Place(Sprite& sprite, Texture* texture, ScreenRect source, float x, float y) {
  sprite.SetTexture(texture);
  sprite.SetSourceRect(source);
  sprite.SetPosition(x, y, 0.0f);
}

void Place(GameApp::Button& button, Texture* texture, ScreenRect normal, ScreenRect highlighted,
           float x, float y) {
  button.normal = normal;
  button.highlighted = highlighted;
  Place(button.sprite, texture, normal, x, y);
}

ScreenRect R(int x, int y, int w, int h) { return MakeScreenRect(x, y, w, h); }

bool Hovered(const ScreenRect& r) { return g_mouse->IsInside(r.left, r.top, r.right, r.bottom); }

bool Clicked() { return g_mouse->ButtonClicked(0); }

bool Released(int key) { return g_keyboard->WasReleased(key); }

// Any controller's Start button pauses and resumes a match, as Escape does there.
bool PauseReleased() { return Released(DIK_ESCAPE) || g_inputSystem->Pads().StartReleased(); }

// Hit rectangles of the screens, (x, y, width, height) in back-buffer pixels.
const ScreenRect kStartRect = R(64, 192, 321, 40);
const ScreenRect kQuitRect = R(64, 495, 321, 40);
const ScreenRect kMoreRect = R(318, 314, 58, 57);
const ScreenRect kFewerRect = R(63, 329, 58, 57);
const ScreenRect kLanguageRect = R(64, 423, 321, 40);
const ScreenRect kPlayRect = R(440, 528, 321, 40);
const ScreenRect kBackRect = R(40, 528, 321, 40);
const ScreenRect kFigureRects[4] = {R(42, 42, 128, 170), R(443, 42, 128, 170),
                                    R(42, 293, 128, 170), R(443, 293, 128, 170)};
const ScreenRect kNameRects[4] = {R(190, 50, 180, 50), R(595, 50, 180, 50),
                                  R(190, 301, 180, 50), R(595, 301, 180, 50)};
const ScreenRect kContinueRect = R(239, 382, 381, 41);
const ScreenRect kLeaveRect = R(239, 437, 381, 41);
const ScreenRect kYesRect = R(272, 345, 126, 44);
const ScreenRect kNoRect = R(416, 345, 126, 44);

const char* const kDefaultNames[4] = {"WINKY", "DINKY", "PLINKY", "TINKY"};
constexpr std::int32_t kDefaultFigures[4] = {0, 0, 2, 3};
constexpr std::size_t kMaxNameLength = 6;

}  // namespace

GameApp::GameApp() {
  // Every asset is read straight from the data folder.
  dataRoot = ".\\Data\\";
  textureFolder = materialFolder = renderStateFolder = modelFolder = meshFolder =
      waveSoundFolder = waveSound3DFolder = musicFolder = dataRoot;
}

// Sprites are members and go with the object; the managers that own their textures are
// already gone by now, and a sprite never touches its texture when destroyed.
GameApp::~GameApp() = default;

bool GameApp::OnInit() {
  platform::SeedRandom(static_cast<std::uint32_t>(std::time(nullptr)));
  if (g_mouse) g_mouse->sensitivity = 1.2f;
  // The main menu's pictures are decoded on another core while the device starts.
  ReadLanguage();
  std::vector<std::string> menuPictures = {dataRoot + "GUI.png", dataRoot + "GUI_Fondo.jpg"};
  if (const char* atlasName = AtlasName(language))
    menuPictures.insert(menuPictures.begin(), dataRoot + atlasName);
  for (int i = 0; i < 4; ++i)
    menuPictures.push_back(dataRoot + "GUI_FigurasJugador_" + std::to_string(i) + ".png");
  platform::d3dx9::PrefetchTextureFiles(menuPictures);
  if (!g_graphicsDevice || !g_graphicsDevice->Init(hwnd, settings))
    return Fail("the graphics device could not start");
  if (!g_soundSystem || !g_soundSystem->Init(hwnd, 44100, L""))
    return Fail("the sound system could not start");

  delete g_matchWorld;
  g_matchWorld = new MatchWorld();
  g_matchWorld->Init(static_cast<std::uint32_t>(settings.width),
                     static_cast<std::uint32_t>(settings.height));

  if (!StartInput()) return Fail("the keyboard or the mouse could not be acquired");
  for (int player = 0; player < 4; ++player)
    for (int action = 0; action < 4; ++action)
      g_inputSystem->BindKey(100 * player + action, kPlayerKeys[player][action]);
  // The controller in slot k steers player k alongside the keys.
  for (int player = 0; player < 4; ++player)
    for (int action = 0; action < 4; ++action)
      g_inputSystem->BindPad(100 * player + action, player, action);

  if (!g_fontManager) return Fail("the font could not be created");
  font = g_fontManager->Acquire("System Font");
  if (!font || !font->Create("Verdana", 24, 3)) return Fail("the font could not be created");
  font->SetPosition(5, 5);
  font->SetColour(0.0f, 0.0f, 1.0f, 1.0f);

  CreateSprites();
  platform::d3dx9::DropPrefetchedTextures();
  LoadMusicPieces(music);
  screen = kMainMenu;
  return true;
}

void GameApp::OnFrame() {
  g_keyboard->Update();
  g_mouse->Update();
  g_inputSystem->UpdatePads();
  switch (screen) {
    case kMainMenu:
      musicMode = kInterfaceMusic;
      MainMenuFrame();
      break;
    case kPlayerSetup:
      musicMode = kInterfaceMusic;
      PlayerSetupFrame();
      break;
    case kStandings:
      musicMode = kActionMusic;
      StandingsFrame();
      break;
    case kMatch:
      musicMode = kActionMusic;
      MatchFrame();
      break;
    default: break;
  }
}

void GameApp::OnShutdown() {
  platform::d3dx9::DropPrefetchedTextures();
  musicMode = kSilence;
  UpdateMusic();
  // The world's nodes live in the scene and its resources in the managers, all of which
  // are torn down after this; so the world goes first, leaving the scene as it found it.
  if (g_matchWorld) {
    if (g_matchWorld->mode) g_matchWorld->EndRound();
    g_matchWorld->RemovePlayersFromScene();
    delete g_matchWorld;
    g_matchWorld = nullptr;
  }
}

// ---------------------------------------------------------------------------------------
// Language file

std::string GameApp::LanguageFilePath() { return dataRoot + "Idioma"; }

const char* GameApp::AtlasName(std::int32_t value) {
  switch (value) {
    case 0: return "GUI_00_ES.png";
    case 1: return "GUI_00_EN.png";
    default: return nullptr;
  }
}

bool GameApp::ReadLanguage() {
  std::FILE* file = platform::OpenFile(LanguageFilePath(), "rb");
  if (!file) return false;
  unsigned char bytes[4];
  const bool whole = std::fread(bytes, 1, 4, file) == 4;
  std::fclose(file);
  if (!whole) return false;
  const std::int32_t value = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
      static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24);
  // A short or unknown value would leave every text sprite without an atlas.
  if (!AtlasName(value)) return false;
  language = value;
  return true;
}

bool GameApp::WriteLanguage() {
  const std::uint32_t value = static_cast<std::uint32_t>(language);
  const unsigned char bytes[4] = {static_cast<unsigned char>(value),
                                  static_cast<unsigned char>(value >> 8),
                                  static_cast<unsigned char>(value >> 16),
                                  static_cast<unsigned char>(value >> 24)};
  return platform::ReplaceFile(LanguageFilePath(), bytes, sizeof bytes);
}

void GameApp::SwitchLanguage() {
  if (language != 0 && language != 1) return;
  language = 1 - language;
  WriteLanguage();
  ApplyLanguage();
}

void GameApp::ApplyLanguage() {
  const char* name = AtlasName(language);
  if (!name) return;
  Texture* atlas = AcquireTexture(name);
  Sprite* sprites[] = {
      &startButton.sprite,    &quitButton.sprite,    &countCaption,          &moreButton.sprite,
      &fewerButton.sprite,    &countStrip,           &languageButton.sprite, &bottomBar[0],
      &bottomBar[1],          &playButton.sprite,    &backButton.sprite,     &caption[0],
      &caption[1],            &caption[2],           &caption[3],            &figureSwitch[0].sprite,
      &figureSwitch[1].sprite, &figureSwitch[2].sprite, &figureSwitch[3].sprite, &panel[0],
      &panel[1],              &panel[2],             &panel[3],              &cover[0],
      &cover[1],              &cover[2],             &standingsPanel,        &continueButton.sprite,
      &leaveButton.sprite,    &rowHighlight[0],      &rowHighlight[1],       &rowHighlight[2],
      &rowHighlight[3],       &confirmPanel,         &noHighlight,           &yesHighlight,
      &padIcon[0],            &padIcon[1],           &padIcon[2],            &padIcon[3],
  };
  for (Sprite* sprite : sprites) sprite->SetTexture(atlas);
}

// ---------------------------------------------------------------------------------------
// Sprites

void GameApp::CreateSprites() {
  const char* atlasName = AtlasName(language);
  Texture* atlas = atlasName ? AcquireTexture(atlasName) : nullptr;
  Texture* gui = AcquireTexture("GUI.png");
  Texture* background = AcquireTexture("GUI_Fondo.jpg");

  Place(cursor, gui, R(0, 0, 88, 126), 0.0f, 0.0f);
  cursor.centre = D3DXVECTOR3(21.0f, 17.0f, 0.0f);

  Place(menuBackground, background, R(0, 0, 800, 600), 0.0f, 0.0f);
  Place(startButton, atlas, R(0, 0, 321, 40), R(0, 40, 321, 40), 64, 192);
  Place(quitButton, atlas, R(0, 80, 321, 40), R(0, 120, 321, 40), 64, 495);
  Place(countCaption, atlas, R(0, 480, 320, 40), 64, 247);
  Place(moreButton, atlas, R(895, 0, 50, 49), R(959, 0, 50, 49), 326, 322);
  Place(fewerButton, atlas, R(895, 63, 50, 18), R(959, 63, 50, 18), 71, 337);
  Place(countStrip, atlas, R(768, 167, 102, 54), 120, 310);
  SetStripWidth();
  Place(languageButton, atlas, R(0, 240, 321, 40), R(0, 280, 321, 40), 64, 423);

  for (int i = 0; i < 2; ++i) Place(bottomBar[i], atlas, R(400, 671, 400, 106), 400.0f * i, 494);
  const float columnX[4] = {0, 400, 0, 400};
  const float rowY[4] = {0, 0, 250, 250};
  const float switchX[4] = {127, 528, 127, 528};
  const float switchY[4] = {168, 168, 419, 419};
  for (int i = 0; i < 4; ++i) {
    Place(panel[i], atlas, R(0, 776, 400, 250), columnX[i], rowY[i]);
    const std::string strip = "GUI_FigurasJugador_" + std::to_string(i) + ".png";
    Place(figure[i], AcquireTexture(strip.c_str()), R(0, 0, 115, 164), columnX[i] + 46,
          rowY[i] + 45);
    Place(figureSwitch[i], atlas, R(951, 87, 41, 42), R(895, 87, 41, 42), switchX[i],
          switchY[i]);
  }
  Place(caption[0], atlas, R(382, 0, 164, 105), 195, 109);
  Place(caption[1], atlas, R(558, 0, 164, 105), 195, 359);
  Place(caption[2], atlas, R(382, 112, 164, 105), 600, 109);
  Place(caption[3], atlas, R(558, 112, 164, 105), 600, 359);
  // Beside the top key of each player's key legend.
  const float padX[4] = {301, 706, 301, 706};
  const float padY[4] = {138, 138, 388, 388};
  for (int i = 0; i < 4; ++i) Place(padIcon[i], atlas, R(856, 240, 48, 32), padX[i], padY[i]);
  for (int k = 0; k < 3; ++k)
    Place(cover[k], atlas, R(400, 774, 400, 250), columnX[k + 1], rowY[k + 1]);
  Place(playButton, atlas, R(0, 160, 321, 40), R(0, 200, 321, 40), 440, 528);
  Place(backButton, atlas, R(0, 320, 321, 40), R(0, 360, 321, 40), 40, 528);

  Place(standingsPanel, atlas, R(400, 225, 439, 445), 400, 300);
  standingsPanel.centre = D3DXVECTOR3(220.0f, 222.0f, 0.0f);
  Place(continueButton, atlas, R(0, 160, 321, 40), R(0, 200, 321, 40), 239, 382);
  Place(leaveButton, atlas, R(0, 400, 321, 40), R(0, 440, 321, 40), 239, 437);
  for (int i = 0; i < 4; ++i) Place(rowHighlight[i], atlas, R(345, 225, 30, 40), 260, 135.0f + 40 * i);
  Place(confirmPanel, atlas, R(0, 564, 400, 210), 400, 318);
  confirmPanel.centre = D3DXVECTOR3(200.0f, 105.0f, 0.0f);
  Place(noHighlight, atlas, R(768, 120, 112, 40), 416, 345);
  Place(yesHighlight, atlas, R(768, 40, 112, 40), 272, 345);
  noHighlight.visible = yesHighlight.visible = false;
}

void GameApp::SetStripWidth() {
  const std::int32_t count = g_matchWorld ? g_matchWorld->playerCount : 2;
  countStrip.SetSourceRect(R(768, 167, 50 + 52 * (count - 1), 54));
}

// The figure strips stay: the match's score display shows the players' portraits.
void GameApp::UnloadMenuPictures() {
  if (menuBackground.texture) menuBackground.texture->Unload();
  menuPicturesAway = true;
}

// Once per return: a file that can no longer be read is not tried again every frame.
void GameApp::RestoreMenuPictures() {
  if (!menuPicturesAway) return;
  menuPicturesAway = false;
  if (menuBackground.texture) menuBackground.texture->Restore();
}

// ---------------------------------------------------------------------------------------
// The common frame

void GameApp::MoveCursor() {
  cursor.SetPosition(static_cast<float>(g_mouse->x), static_cast<float>(g_mouse->y), 0.0f);
}

void GameApp::UpdateMusic() { ::UpdateMusic(musicMode, music); }

bool GameApp::PrepareDevice(bool* wasReset) {
  if (wasReset) *wasReset = false;
  switch (g_graphicsDevice->GetState()) {
    case GraphicsDevice::kUsable: return true;
    case GraphicsDevice::kReadyToReset:
      if (g_graphicsDevice->Reset() != GraphicsDevice::kResetDone) return false;
      if (g_matchWorld) g_matchWorld->InvalidateCamera();
      // The frame that brings the device back carries all the time spent away (minimised
      // or in the background). That time was not played: the world and its animations
      // stand still in this frame, which is only drawn.
      g_frameTime = 0.0f;
      if (wasReset) *wasReset = true;
      return true;
    default: return false;
  }
}

void GameApp::DrawFrame(bool withWorld, void (GameApp::*drawSprites)()) {
  if (!PrepareDevice()) return;
  if (withWorld) g_scene->Update();
  g_graphicsDevice->Clear();
  if (!g_graphicsDevice->BeginScene()) {
    // The walk filled the queue with nodes that may be gone by the next frame.
    if (withWorld) g_renderQueue->Discard();
    return;
  }
  if (withWorld) g_scene->Render();
  if (g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND)) {
    (this->*drawSprites)();
    g_graphicsDevice->EndSprites();
  }
  g_graphicsDevice->EndSceneAndPresent();
}

void GameApp::DrawText(const std::string& text, int x, int y, bool red) {
  if (!font) return;
  font->SetPosition(x, y);
  if (red)
    font->SetColour(0.7843138f, 0.0f, 0.0f, 1.0f);
  else
    font->SetColour(0.0f, 0.0f, 1.0f, 1.0f);
  font->DrawText(text);
  font->SetColour(0.0f, 0.0f, 1.0f, 1.0f);
}

bool GameApp::PlayerTakesPart(int player) const {
  return player == 0 || g_matchWorld->playerCount > player;
}

// ---------------------------------------------------------------------------------------
// Main menu

void GameApp::MainMenuFrame() {
  RestoreMenuPictures();
  MoveCursor();
  UpdateMusic();
  if (Released(DIK_ESCAPE)) {
    Quit();
    return;
  }
  Button* buttons[] = {&startButton, &quitButton, &moreButton, &fewerButton, &languageButton};
  const ScreenRect* rects[] = {&kStartRect, &kQuitRect, &kMoreRect, &kFewerRect, &kLanguageRect};
  int hovered = -1;
  for (int i = 0; i < 5 && hovered < 0; ++i)
    if (Hovered(*rects[i])) hovered = i;
  for (int i = 0; i < 5; ++i) buttons[i]->Highlight(i == hovered);

  if (hovered >= 0 && Clicked()) {
    std::int32_t& count = g_matchWorld->playerCount;
    switch (hovered) {
      case 0:
        for (int i = 0; i < 4; ++i) {
          g_matchWorld->players[i].figureIndex = figureChoice[i] = kDefaultFigures[i];
          g_matchWorld->players[i].name = kDefaultNames[i];
        }
        editingPlayer = -1;
        screen = kPlayerSetup;
        return;
      case 1: Quit(); return;
      case 2:
        if (count < 4) ++count;
        SetStripWidth();
        break;
      case 3:
        if (count > 1) --count;
        SetStripWidth();
        break;
      case 4: SwitchLanguage(); break;
    }
  }
  DrawFrame(false, &GameApp::DrawMainMenu);
}

void GameApp::DrawMainMenu() {
  menuBackground.Draw();
  startButton.sprite.Draw();
  quitButton.sprite.Draw();
  countCaption.Draw();
  moreButton.sprite.Draw();
  fewerButton.sprite.Draw();
  countStrip.Draw();
  languageButton.sprite.Draw();
  cursor.Draw();
}

// ---------------------------------------------------------------------------------------
// Player setup

void GameApp::PlayerSetupFrame() {
  MoveCursor();
  UpdateMusic();
  if (editingPlayer < 0) {
    if (Released(DIK_ESCAPE)) {
      screen = kMainMenu;
      return;
    }
    // Elements in test order: play, back, four figures, four names.
    int hovered = -1;
    if (Hovered(kPlayRect)) {
      hovered = 0;
    } else if (Hovered(kBackRect)) {
      hovered = 1;
    } else {
      for (int i = 0; i < 4 && hovered < 0; ++i)
        if (PlayerTakesPart(i) && Hovered(kFigureRects[i])) hovered = 2 + i;
      for (int i = 0; i < 4 && hovered < 0; ++i)
        if (PlayerTakesPart(i) && Hovered(kNameRects[i])) hovered = 6 + i;
    }
    playButton.Highlight(hovered == 0);
    backButton.Highlight(hovered == 1);
    for (int i = 0; i < 4; ++i) figureSwitch[i].Highlight(hovered == 2 + i);

    if (hovered >= 0 && Clicked()) {
      if (hovered == 0) {
        UnloadMenuPictures();
        g_matchWorld->NewMatch();
        screen = kMatch;
        return;
      }
      if (hovered == 1) {
        screen = kMainMenu;
        return;
      }
      if (hovered < 6) {
        Player& player = g_matchWorld->players[hovered - 2];
        // C++'s remainder keeps the dividend's sign, so 2 and 3 become 1 and 0.
        player.figureIndex = (player.figureIndex + 1) % 2;
        figureChoice[hovered - 2] = player.figureIndex;
      } else {
        editingPlayer = hovered - 6;
        savedName = g_matchWorld->players[editingPlayer].name;
        g_matchWorld->players[editingPlayer].name.clear();
      }
    }
  } else {
    TypeName();
  }
  for (int i = 0; i < 4; ++i) figure[i].SetSourceRect(R(115 * figureChoice[i], 0, 115, 160));
  DrawFrame(false, &GameApp::DrawPlayerSetup);
}

void GameApp::TypeName() {
  std::string& name = g_matchWorld->players[editingPlayer].name;
  if (Released(DIK_ESCAPE)) {
    name = savedName;
    editingPlayer = -1;
    return;
  }
  if (Clicked() || Released(DIK_RETURN)) {
    if (name.empty()) name = savedName;
    editingPlayer = -1;
    return;
  }
  if (Released(DIK_BACK)) {
    if (!name.empty()) name.pop_back();
    return;
  }
  if (name.size() >= kMaxNameLength) return;
  static constexpr BYTE kLetterKeys[26] = {
      DIK_A, DIK_B, DIK_C, DIK_D, DIK_E, DIK_F, DIK_G, DIK_H, DIK_I, DIK_J, DIK_K, DIK_L, DIK_M,
      DIK_N, DIK_O, DIK_P, DIK_Q, DIK_R, DIK_S, DIK_T, DIK_U, DIK_V, DIK_W, DIK_X, DIK_Y, DIK_Z};
  for (int letter = 0; letter < 26; ++letter) {
    if (Released(kLetterKeys[letter])) {
      name += static_cast<char>('A' + letter);
      return;
    }
  }
}

void GameApp::DrawPlayerSetup() {
  bottomBar[0].Draw();
  bottomBar[1].Draw();
  for (Sprite& p : panel) p.Draw();
  for (Sprite& f : figure) f.Draw();
  for (Sprite& c : caption) c.Draw();
  for (Button& s : figureSwitch) s.sprite.Draw();
  for (int i = 0; i < 4; ++i)
    if (PlayerTakesPart(i) && g_inputSystem->Pads().Connected(i)) padIcon[i].Draw();
  for (int i = 0; i < 4; ++i) {
    const Player& player = g_matchWorld->players[i];
    const ScreenRect& r = kNameRects[i];
    if (i == editingPlayer) {
      DrawText(player.name + "_", r.left, r.top, false);
    } else {
      DrawText(player.name, r.left, r.top, PlayerTakesPart(i) && Hovered(r));
    }
  }
  for (int k = 0; k < 3; ++k)
    if (g_matchWorld->playerCount < k + 2) cover[k].Draw();
  playButton.sprite.Draw();
  backButton.sprite.Draw();
  cursor.Draw();
}

// ---------------------------------------------------------------------------------------
// Match

void GameApp::MatchFrame() {
  UpdateMusic();
  MatchWorld& world = *g_matchWorld;
  if (PauseReleased()) {
    for (int i = 0; i < world.playerCount; ++i) world.players[i].SetAnimation("reposo");
    screen = kStandings;
    return;
  }
  if (world.IsRoundOver()) {
    EndOfRound();
    screen = kStandings;
    return;
  }
  // The frame that brings the device back is only drawn (see PrepareDevice).
  bool wasReset = false;
  if (!PrepareDevice(&wasReset)) return;
  if (!wasReset) world.Update();
  g_scene->Update();
  g_graphicsDevice->Clear();
  if (!g_graphicsDevice->BeginScene()) {
    g_renderQueue->Discard();
    return;
  }
  g_scene->Render();
  if (g_graphicsDevice->BeginSprites(D3DXSPRITE_ALPHABLEND)) {
    DrawMatch();
    g_graphicsDevice->EndSprites();
  }
  g_graphicsDevice->EndSceneAndPresent();
}

void GameApp::EndOfRound() {
  MatchWorld& world = *g_matchWorld;
  world.AwardRoundWins();
  for (int i = 0; i < world.playerCount; ++i) world.players[i].SetAnimation("reposo");
}

void GameApp::DrawMatch() {
  if (g_matchWorld->mode) g_matchWorld->mode->DrawScoreDisplay();
}

// ---------------------------------------------------------------------------------------
// Standings

void GameApp::StandingsFrame() {
  MoveCursor();
  UpdateMusic();
  MatchWorld& world = *g_matchWorld;
  if (confirmOpen) {
    const bool overYes = Hovered(kYesRect);
    const bool overNo = !overYes && Hovered(kNoRect);
    yesHighlight.visible = overYes;
    noHighlight.visible = overNo;
    continueButton.Highlight(false);
    leaveButton.Highlight(false);
    if (Released(DIK_ESCAPE)) {
      confirmOpen = false;
    } else if (overYes && Clicked()) {
      world.EndRound();
      world.RemovePlayersFromScene();
      // The menus draw no scenery: the layer's memory is better spent elsewhere there.
      g_renderQueue->DropLayer();
      confirmOpen = false;
      screen = kMainMenu;
      return;
    } else if (overNo && Clicked()) {
      confirmOpen = false;
    }
  } else {
    if (PauseReleased()) {
      if (!world.IsRoundOver()) {
        screen = kMatch;
        return;
      }
    }
    const bool overContinue = Hovered(kContinueRect);
    const bool overLeave = !overContinue && Hovered(kLeaveRect);
    continueButton.Highlight(overContinue);
    leaveButton.Highlight(overLeave);
    if (overContinue && Clicked()) {
      if (world.IsRoundOver()) {
        world.EndRound();
        world.NewRound();
      }
      screen = kMatch;
      return;
    }
    if (overLeave && Clicked()) confirmOpen = true;
  }
  DrawFrame(true, &GameApp::DrawStandings);
}

void GameApp::DrawStandings() {
  MatchWorld& world = *g_matchWorld;
  if (world.mode) world.mode->DrawScoreDisplay();
  standingsPanel.Draw();
  continueButton.sprite.Draw();
  leaveButton.sprite.Draw();
  const std::int32_t topWins = world.byWins[0]->wins;
  for (int i = 0; i < world.playerCount; ++i) {
    const Player& player = *world.byWins[i];
    const bool top = player.wins == topWins;
    if (top) rowHighlight[i].Draw();
    const int y = 145 + 40 * i;
    DrawText(player.name, 295, y, top);
    DrawText(std::to_string(player.wins), 470, y, top);
  }
  if (confirmOpen) {
    confirmPanel.Draw();
    noHighlight.Draw();
    yesHighlight.Draw();
  }
  cursor.Draw();
}
