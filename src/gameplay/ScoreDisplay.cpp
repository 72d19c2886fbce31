#include "gameplay/ScoreDisplay.h"

#include <string>

#include "engine/resources/ResourceManagers.h"
#include "gameplay/MatchWorld.h"

namespace {

Texture* AcquireTexture(const char* name) {
  return g_textureManager ? g_textureManager->Acquire(name) : nullptr;
}

}  // namespace

void ScoreDisplay::SetUp(const MatchWorld& world, std::int32_t T) {
  bar.SetTexture(AcquireTexture("GUI_00_ES.PNG"));
  bar.SetSourceRect(MakeScreenRect(0, 530, 20 * T, 25));
  bar.centre = D3DXVECTOR3(10.0f * static_cast<float>(T), 0.0f, 0.0f);
  bar.SetPosition(400.0f, 10.0f, 0.0f);
  for (int k = 0; k < kMarkerCount; ++k) {
    markers[k].SetTexture(AcquireTexture("GUI_00_ES.PNG"));
    markers[k].SetSourceRect(ScreenRect{});
    markers[k].SetPosition(static_cast<float>(401 - (20 * T) / 2 + 20 * k), 14.0f, 0.0f);
  }
  delivered = 0;
  for (int i = 0; i < 4; ++i) {
    const std::string name = "GUI_FigurasJugador_" + std::to_string(i) + ".png";
    icons[i].SetTexture(AcquireTexture(name.c_str()));
    icons[i].SetSourceRect(MakeScreenRect(world.players[i].figureIndex * 115, 0, 115, 75));
    icons[i].centre = D3DXVECTOR3(56.0f, 37.0f, 0.0f);
    icons[i].SetPosition(30.0f, 40.0f + 80.0f * static_cast<float>(i), 0.0f);
  }
}

void ScoreDisplay::ShowDelivery(const Player& player) {
  // A round never has more than 16 items; a full bar must not write past its cells.
  if (delivered < 0 || delivered >= kMarkerCount) return;
  markers[delivered].SetSourceRect(player.markerRect);
  ++delivered;
}

void ScoreDisplay::Draw(const MatchWorld& world) {
  bar.Draw();
  for (int k = 0; k < delivered && k < kMarkerCount; ++k) markers[k].Draw();
  const std::int32_t lead = world.byRoundScore[0] ? world.byRoundScore[0]->roundScore : 0;
  for (int i = 0; i < world.ActiveCount(); ++i) {
    const float s = world.players[i].roundScore == lead ? 1.0f : 0.6f;
    icons[i].scale = D3DXVECTOR2{s, s};
    icons[i].Draw();
  }
}
