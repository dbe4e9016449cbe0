#include "game/gamestate.h"

#include <algorithm>
#include <cmath>

#include "game/position.h"

GameState GameStateBlock;
SetupRecordT SetupRecord;

void BringSavedStateIntoRange(GameState& state) {
  state.name[sizeof state.name - 1] = '\0';
  // Standing outside the map, the hero would meet a fight every frame as the
  // position crept back a step at a time.
  auto on_map = [](double v, int count) { return std::isfinite(v) ? std::clamp(v, 0.0, count - 1.0) : 0.0; };
  ViewPos& p = state.hero_pos;
  p.X = on_map(p.X, kMapSize);
  p.Y = on_map(p.Y, kMapSize);
  p.N = on_map(p.N, kFloors);
  p.T = WrapDegrees(p.T);
  p.P = WrapDegrees(p.P);
}
