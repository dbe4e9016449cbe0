// Frames, waits, settings and fades.
#include "game/macro/macro_wait.h"

#include "dx/dx.h"
#include "game/event.h"
#include "game/gamestate.h"
#include "game/macro/macro_draw.h"
#include "game/macro/macro_ui.h"
#include "game/opening.h"
#include "script/script.h"
#include "game/sound.h"

namespace {

constexpr int kScreenW = 640;
constexpr int kScreenH = 480;

// The four numbers of a fade: a time (not used) and the colour.
uint32_t FadeColour(StrList** args) {
  MacroArgReader a(args);
  int32_t time = 400, r = 1, g = 1, b = 1;
  a.Int(time), a.Int(r), a.Int(g), a.Int(b);
  return dxrgb(r, g, b);
}

}  // namespace

int macro_ref(StrList**, StrList** stack) {
  PlayMusic(-1);
  dxupdate();
  return MacroPushText(stack, "");
}

int macro_wait(StrList**, StrList** stack) {
  PlayMusic(-1);
  dxtick(1);
  dxupdate();
  return MacroPushText(stack, "");
}

int macro_fps(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  // Without a rate (or with one below 1) every frame is drawn.
  int32_t fps = 0;
  a.Int(fps);
  if (fps < 1) fps = 0;
  return MacroPushInt(stack, dxsync(fps) ? 1 : 0);
}

int macro_tick(StrList**, StrList** stack) { return MacroPushInt(stack, static_cast<int32_t>(dxgettime())); }

int macro_sleep(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t ms = 100;
  a.Int(ms);
  // A negative time has no length; an end beyond the clock's wrap is never
  // reached by a 32-bit count, so such a wait ends at once.
  const int64_t end = static_cast<int64_t>(dxgettime()) + static_cast<int64_t>(ms) * 1000;
  if (ms > 0 && end <= INT64_C(0xFFFFFFFF)) {
    while (static_cast<int64_t>(dxgettime()) < end) dxupdate();
  }
  return MacroPushText(stack, "");
}

int macro_textcolor(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t entry = 0, r = 1, g = 1, b = 1;
  a.Int(entry), a.Int(r), a.Int(g), a.Int(b);
  if (entry >= 0 && entry < kMarkupColors) MarkupPalette[entry] = {r, g, b};
  return MacroPushText(stack, "");
}

int macro_movemotion(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  a.Int(SetupRecord.move_motion);
  SetVarInt("MOVE_MOTION", SetupRecord.move_motion);
  return MacroPushText(stack, "");
}

int macro_videomode(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  a.Int(SetupRecord.video_mode);
  SetVarInt("VIDEO_MODE", SetupRecord.video_mode);
  dxusevram(SetupRecord.video_mode != 0);
  return MacroPushText(stack, "");
}

int macro_fullscreen(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  a.Int(SetupRecord.full_screen);
  SetVarInt("FULL_SCREEN", SetupRecord.full_screen);
  dxddreinit(SetupRecord.full_screen != 0);
  return MacroPushText(stack, "");
}

int macro_eval(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t event = 0;
  a.Int(event);
  // Nested in the running script; the event's own RET is not passed on.
  if (event != 0) eventExec(event);
  return MacroPushText(stack, "");
}

namespace {

// The demos' optional argument goes to their debug variable.
void DemoArgument(StrList** args, const char* variable) {
  MacroArgReader a(args);
  int32_t value = 0;
  if (a.Int(value)) SetVarInt(variable, value);
}

}  // namespace

int macro_opening_demo(StrList** args, StrList** stack) {
  DemoArgument(args, "OPENING_DEBUG");
  PlayOpeningDemo();
  return MacroPushText(stack, "");
}

int macro_ending_demo(StrList** args, StrList** stack) {
  DemoArgument(args, "ENDING_DEBUG");
  PlayEndingDemo();
  return MacroPushText(stack, "");
}

int macro_ending_demo2(StrList** args, StrList** stack) {
  DemoArgument(args, "ENDING_DEBUG");
  PlayStaffCredits();
  return MacroPushText(stack, "");
}

int macro_fadeout(StrList** args, StrList** stack) {
  const uint32_t colour = FadeColour(args);
  dx::bitmap* shot = dxcapture(0, 0, kScreenW, kScreenH, true);
  for (uint32_t pct = 0; pct < 100; pct += 10) {
    dxbltnokey(shot, 0, 0);
    dxfillrectalpha(0, 0, kScreenW, kScreenH, colour, pct);
    dxupdate();
  }
  dxcls(colour);
  dxupdate();
  dxdeletebitmap(shot);
  return MacroPushText(stack, "");
}

int macro_fadein(StrList** args, StrList** stack) {
  const uint32_t colour = FadeColour(args);
  // What is drawn now is the picture that is to appear.
  dx::bitmap* shot = dxcapture(0, 0, kScreenW, kScreenH, true);
  dxcls(colour);
  for (uint32_t pct = 0; pct < 100; pct += 10) {
    dxcls(colour);
    dxbltalpha(shot, 0, 0, pct);
    dxupdate();
  }
  dxblt(shot, 0, 0);
  dxupdate();
  dxdeletebitmap(shot);
  return MacroPushText(stack, "");
}

void RegisterWaitMacros() {
  ScriptRegisterFunction(&MacroList, "ref", macro_ref, nullptr);
  ScriptRegisterFunction(&MacroList, "wait", macro_wait, nullptr);
  ScriptRegisterFunction(&MacroList, "fps", macro_fps, nullptr);
  ScriptRegisterFunction(&MacroList, "textcolor", macro_textcolor, nullptr);
  ScriptRegisterFunction(&MacroList, "movemotion", macro_movemotion, nullptr);
  ScriptRegisterFunction(&MacroList, "videomode", macro_videomode, nullptr);
  ScriptRegisterFunction(&MacroList, "fullscreen", macro_fullscreen, nullptr);
  ScriptRegisterFunction(&MacroList, "eval", macro_eval, nullptr);
  ScriptRegisterFunction(&MacroList, "opening_demo", macro_opening_demo, nullptr);
  ScriptRegisterFunction(&MacroList, "ending_demo", macro_ending_demo, nullptr);
  ScriptRegisterFunction(&MacroList, "ending_demo2", macro_ending_demo2, nullptr);
  ScriptRegisterFunction(&MacroList, "fadeout", macro_fadeout, nullptr);
  ScriptRegisterFunction(&MacroList, "fadein", macro_fadein, nullptr);
  ScriptRegisterFunction(&MacroList, "tick", macro_tick, nullptr);
  ScriptRegisterFunction(&MacroList, "sleep", macro_sleep, nullptr);
}
