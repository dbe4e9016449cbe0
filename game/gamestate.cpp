#include "game/gamestate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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
  // Objects keep their pictures and events and stand on the map as the hero
  // does, so that the view can turn them into places and sizes. A size that
  // is not a number has nothing to draw; any other is held to what "bill" can
  // give.
  auto size = [](double v) {
    return std::isfinite(v) ? std::clamp(v, double{INT32_MIN}, double{INT32_MAX}) : 0.0;
  };
  for (ObjectRec& o : state.objects) {
    o.X = on_map(o.X, kMapSize);
    o.Y = on_map(o.Y, kMapSize);
    o.N = on_map(o.N, kFloors);
    o.width = size(o.width);
    o.height = size(o.height);
  }
}
