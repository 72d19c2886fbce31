#include "engine/scene/TargetedNode.h"

void TargetedNode::OnUpdate() {
  target.Update();
}
