#include "game/gamestate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

GameState GameStateBlock;
SetupRecordT SetupRecord;

void BringSavedStateIntoRange(GameState& state) {
  state.name[sizeof state.name - 1] = '\0';
  // A script may put the hero and the objects anywhere, off the map and
  // between cells included, and a save keeps them there. Only what no float
  // can carry into the view is mended: a value that is no number becomes 0,
  // one past the float range, infinity included, is held at its end, so a
  // place far off the map stays far off it and matches no cell.
  auto held = [](double& v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    v = std::isnan(v) ? 0.0 : std::clamp(v, -kMax, kMax);
  };
  ViewPos& p = state.hero_pos;
  for (double* v : {&p.X, &p.Y, &p.N, &p.T, &p.P}) held(*v);
  for (ObjectRec& o : state.objects)
    for (double* v : {&o.X, &o.Y, &o.N, &o.width, &o.height}) held(*v);
}
