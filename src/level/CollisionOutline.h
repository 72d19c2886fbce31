// Obstacle outlines in the ground plane and the segment tests the players' moves are
// swept with: open polylines read from the terrain's outline file, plus the square
// "diamonds" that every player and base carries around with it.
#pragma once

#include <cstdio>
#include <vector>

#include "platform/d3dx9/D3DX9Math.h"

struct OutlineEdge {
  D3DXVECTOR3 start;
  D3DXVECTOR3 end;
  D3DXVECTOR3 delta;   // end − start
  D3DXVECTOR3 normal;  // unit, in the ground plane; its sign never matters
};

struct CollisionOutline {
  std::vector<D3DXVECTOR3> points;  // file order; a closed shape repeats its first point
  std::vector<OutlineEdge> edges;   // edge i joins point i and i + 1
};

struct SweepResult {
  D3DXVECTOR3 point;     // where the move first meets the obstacle
  float distance = 0.0f; // from the start of the move to point
  D3DXVECTOR3 normal;    // the met edge's normal
};

// Recomputes the edges from the points; fewer than two points give none.
void BuildEdges(CollisionOutline* outline);
// The square of corner distance 1.5 × r around centre, as nine points (the side
// midpoints between the corners, the first corner repeated last).
void BuildDiamond(CollisionOutline* outline, const D3DXVECTOR3& centre, float r);
// Whether the move from P by M crosses the edge (x and y only; both ends of both
// segments count). Parallel moves never hit. *hit gets P + M × t.
bool SegmentHitsEdge(const D3DXVECTOR3& P, const D3DXVECTOR3& M, const OutlineEdge& edge,
                     D3DXVECTOR3* hit);
// The hit nearest to P over all the outline's edges (the earliest edge on a tie).
bool OutlineHit(const CollisionOutline& outline, const D3DXVECTOR3& P, const D3DXVECTOR3& M,
                SweepResult* result);

// Reads outlines from an open outline file and appends them to *out in file order.
// Only outlines read completely are kept; a negative or absurd count reads nothing
// more, and storage grows with the bytes actually read, never from a count.
void ReadOutlines(std::FILE* file, std::vector<CollisionOutline>* out);
// The outline file of every terrain: ".\Data\Terreno_0.cln".
extern const char* const kOutlineFileName;
// Opens dataRoot + kOutlineFileName and reads it into *out (expected empty). False,
// with *out untouched, when the file cannot be opened.
bool LoadOutlineFile(std::vector<CollisionOutline>* out);
