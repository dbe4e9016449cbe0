// Position, view and movement commands. Headings and pitches cross this
// interface in quarter turns, except in pos, which takes degrees.
#include <cmath>

#include "dx/dx.h"
#include "game/gamestate.h"
#include "game/macro/macro.h"
#include "game/map2d.h"
#include "game/position.h"
#include "game/view3d.h"

namespace {

int macro_pos(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  arg.Double(HeroPos.N);
  arg.Double(HeroPos.X);
  arg.Double(HeroPos.Y);
  arg.Double(HeroPos.T);
  arg.Double(HeroPos.P);
  return MacroPushString(stack, "");
}

int macro_move(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  ViewPos v = HeroPos;
  arg.Double(v.N);
  arg.Double(v.X);
  arg.Double(v.Y);
  if (arg.Double(v.T)) v.T *= 90;
  if (arg.Double(v.P)) v.P *= 90;
  v.T = WrapDegrees(v.T);
  v.P = WrapDegrees(v.P);
  // A place outside the dungeon has no meaning: such a move changes nothing.
  if (v.N >= 0 && v.N < kFloors && v.X >= 0 && v.X < kMapSize && v.Y >= 0 && v.Y < kMapSize) HeroPos = v;
  return MacroPushString(stack, "");
}

int macro_walk(StrList** args, StrList** stack) {
  double d = 0;
  MacroArgReader(args).Double(d);
  if (d != 0) WalkForward(HeroPos, d, nullptr);
  return MacroPushInt(stack, 0);
}

// A copy of the hero's position, walked by the argument's distance.
ViewPos Ahead(StrList** args) {
  ViewPos v = HeroPos;
  double d = 0;
  MacroArgReader(args).Double(d);
  if (d != 0) WalkForward(v, d, nullptr);
  return v;
}

int macro_X(StrList** args, StrList** stack) { return MacroPushDouble(stack, Ahead(args).X); }
int macro_Y(StrList** args, StrList** stack) { return MacroPushDouble(stack, Ahead(args).Y); }
int macro_N(StrList** args, StrList** stack) { return MacroPushDouble(stack, Ahead(args).N); }
int macro_T(StrList** args, StrList** stack) { return MacroPushDouble(stack, WrapDegrees(Ahead(args).T) / 90); }
int macro_P(StrList** args, StrList** stack) { return MacroPushDouble(stack, WrapDegrees(Ahead(args).P) / 90); }

int SetField(StrList** args, StrList** stack, double& field, double scale) {
  double v;
  if (MacroArgReader(args).Double(v)) field = v * scale;
  return MacroPushInt(stack, 0);
}

int macro_setX(StrList** args, StrList** stack) { return SetField(args, stack, HeroPos.X, 1); }
int macro_setY(StrList** args, StrList** stack) { return SetField(args, stack, HeroPos.Y, 1); }
int macro_setN(StrList** args, StrList** stack) { return SetField(args, stack, HeroPos.N, 1); }
int macro_setT(StrList** args, StrList** stack) { return SetField(args, stack, HeroPos.T, 90); }
int macro_setP(StrList** args, StrList** stack) { return SetField(args, stack, HeroPos.P, 90); }

// N, X, Y and T from the next four arguments; a missing or negative one is the hero's.
ViewPos ScanPosition(MacroArgReader& arg) {
  int32_t n = -1, x = -1, y = -1, t = -1;
  arg.Int(n);
  arg.Int(x);
  arg.Int(y);
  arg.Int(t);
  if (n < 0) n = ScriptDoubleToInt(HeroPos.N);
  if (x < 0) x = ScriptDoubleToInt(HeroPos.X);
  if (y < 0) y = ScriptDoubleToInt(HeroPos.Y);
  if (t < 0) t = ScriptDoubleToInt(HeroPos.T) / 90;
  return {static_cast<double>(x), static_cast<double>(y), static_cast<double>(n), t * 90.0, 0};
}

int macro_scan_event(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  return MacroPushInt(stack, ScanEvent(ScanPosition(arg)));
}

int macro_scan_pushevent(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  ViewPos at = ScanPosition(arg);
  int32_t direction = 1;
  arg.Int(direction);
  return MacroPushInt(stack, ScanPushEvent(at, direction));
}

int macro_draw3d(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  ViewPos v = HeroPos;
  int32_t i;
  if (arg.Int(i)) v.N = i;
  if (arg.Int(i)) v.X = i;
  if (arg.Int(i)) v.Y = i;
  if (arg.Int(i)) v.T = i * 90.0;
  if (arg.Int(i)) v.P = i * 90.0;
  Draw3D(v, 0);
  return MacroPushInt(stack, 0);
}

int macro_draw2d(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t sx = 280, sy = 10, percent = 60, n = -1, x = -1, y = -1, t = -1;
  arg.Int(sx);
  arg.Int(sy);
  arg.Int(percent);
  arg.Int(n);
  arg.Int(x);
  arg.Int(y);
  arg.Int(t);
  if (n < 0) n = ScriptDoubleToInt(HeroPos.N);
  if (x < 0) x = ScriptDoubleToInt(HeroPos.X);
  if (y < 0) y = ScriptDoubleToInt(HeroPos.Y);
  if (t < 0) t = ScriptDoubleToInt(HeroPos.T) / 90;
  if (!Map2DSurface) InitMap2DSurface();
  // t % 4 turns the same way as t and cannot overflow when multiplied.
  DrawMiniMap(Map2DSurface, x, y, n, t % 4 * 90);
  dxbltalpha(Map2DSurface, sx, sy, static_cast<uint32_t>(percent));
  return MacroPushInt(stack, 0);
}

int macro_draw2dall(StrList** args, StrList** stack) {
  MacroArgReader arg(args);
  int32_t sx = 280, sy = 10, floor = -1;
  arg.Int(sx);
  arg.Int(sy);
  arg.Int(floor);
  DrawFloorMap(sx, sy, floor);
  return MacroPushInt(stack, 0);
}

}  // namespace

void RegisterPositionMacros() {
  RegisterMacro("pos", macro_pos);
  RegisterMacro("walk", macro_walk);
  RegisterMacro("move", macro_move);
  RegisterMacro("X", macro_X);
  RegisterMacro("Y", macro_Y);
  RegisterMacro("N", macro_N);
  RegisterMacro("T", macro_T);
  RegisterMacro("P", macro_P);
  RegisterMacro("setX", macro_setX);
  RegisterMacro("setY", macro_setY);
  RegisterMacro("setN", macro_setN);
  RegisterMacro("setT", macro_setT);
  RegisterMacro("setP", macro_setP);
  RegisterMacro("scan_event", macro_scan_event);
  RegisterMacro("scan_pushevent", macro_scan_pushevent);
  RegisterMacro("draw3d", macro_draw3d);
  RegisterMacro("draw2d", macro_draw2d);
  RegisterMacro("draw2dall", macro_draw2dall);
}
