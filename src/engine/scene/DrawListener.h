// Hook that gameplay code attaches to a drawable node to act around its drawing:
// told when the node was not drawn this frame, and called right before and after
// each of the node's draw calls by the render queue.
#pragma once

class DrawListener {
 public:
  virtual ~DrawListener() = default;
  // The node was culled or hidden during this frame's update walk.
  virtual void OnCulled() {}
  virtual void BeforeDraw() {}
  virtual void AfterDraw() {}
};
