#include "gameplay/Player.h"

#include <cmath>

#include "app/AppShell.h"
#include "engine/input/InputSystem.h"
#include "gameplay/Sounds.h"
#include "level/Collision.h"

Player::Player(MatchWorld* owner) : world(owner) {
  pickSound = AcquireWaveSound("RecogerItem.wav");
  stealSound = AcquireWaveSound("RobarItem.wav");
  deliverSound = AcquireWaveSound("DepositarItem.wav");
  BuildDiamond(&diamond, position, radius);
  // A carried item goes under the figure during play; its list is made here instead.
  figure.children.reserve(1);
}

void Player::ResetForRound() {
  position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  heading = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
  speed = 0.0f;
  animation.clear();
  roundScore = 0;
  carried = nullptr;
  stealCooldown = 0.0f;
  blinkPhase = 0.0f;
  base.deliveries = 0;
}

void Player::SetAnimation(const std::string& newAnimation) {
  if (animation == newAnimation) return;
  figure.SetAnimation(newAnimation, true);
  animation = newAnimation;
}

void Player::ReadInput() {
  static const D3DXVECTOR3 kDirections[4] = {
      {0.0f, 1.0f, 0.0f}, {0.0f, -1.0f, 0.0f}, {-1.0f, 0.0f, 0.0f}, {1.0f, 0.0f, 0.0f}};
  if (g_inputSystem) {
    for (int i = 0; i < 4; ++i) {
      if (!g_inputSystem->ActionReleased(actions[i])) continue;
      const D3DXVECTOR3& d = kDirections[i];
      if (d != heading)
        heading = d;
      else
        speed += kTapSpeed;
      break;
    }
  }
  static const std::string kRun = "correr";
  static const std::string kRest = "reposo";
  if (speed > 0.0f) {
    figure.SetAnimationSpeed(kRun, speed / kTapSpeed);
    SetAnimation(kRun);
  } else {
    SetAnimation(kRest);
  }
}

void Player::Move() {
  const float t = g_frameTime;
  if (speed > 0.0f) {
    D3DXVECTOR3 displacement = heading * speed * t;
    slideCount = 0;
    if (world) displacement = ResolveMove(*world, this, position, displacement);
    speed -= kDrain * t;
    if (speed < 0.0f) speed = 0.0f;
    position += displacement;
    figure.rotation.z =
        (heading.x == 0.0f && heading.y == 0.0f) ? 0.0f : std::atan2(heading.y, heading.x);
    figure.rotationChanged = true;
    figure.SetPosition(position);
    BuildDiamond(&diamond, position, radius);
  }
  if (stealCooldown > 0.0f) {
    stealCooldown -= t;
    if (stealCooldown <= 0.0f) {
      stealCooldown = 0.0f;
      blinkPhase = 0.0f;
      figure.visible = true;
    } else {
      // A robbed figure blinks for as long as it cannot steal or be robbed. The frame
      // is shorter than the cooldown here, so the count of whole phases stays small.
      blinkPhase += t;
      const int phases = static_cast<int>(blinkPhase / kBlinkPhase);
      blinkPhase -= static_cast<float>(phases) * kBlinkPhase;
      if (phases & 1) figure.visible = !figure.visible;
    }
  }
}

bool Player::IsAtBase() const {
  const float limit = base.reach + radius;
  const D3DXVECTOR3 d = position - base.position;
  return limit * limit >= D3DXVec3LengthSq(&d);
}

void Player::PickUp(Item* item) {
  PlayEffect(pickSound);
  carried = item;
}

void Player::TakeStolen(Item* item) {
  PlayEffect(stealSound);
  carried = item;
}
