#include "game/explore.h"

#include "dx/dx.h"
#include "game/editor.h"
#include "game/event.h"
#include "game/gamestate.h"
#include "game/map2d.h"
#include "game/position.h"
#include "game/sound.h"
#include "script/strlist.h"
#include "game/view3d.h"
#include "platform/winmm/time.h"

namespace {

struct KeyBit {
  int code;  // DirectInput key code
  uint32_t bit;
};
constexpr KeyBit kKeys[] = {
    {72, KEY_PAD_UP},  {77, KEY_PAD_RIGHT}, {80, KEY_PAD_DOWN}, {75, KEY_PAD_LEFT}, {200, KEY_UP},
    {205, KEY_RIGHT},  {208, KEY_DOWN},     {203, KEY_LEFT},    {28, KEY_ENTER},    {156, KEY_ENTER},
    {1, KEY_ESC},      {201, KEY_PAGEUP},   {209, KEY_PAGEDOWN}, {46, KEY_C},       {47, KEY_V},
    {48, KEY_B},       {15, KEY_TAB},       {199, KEY_HOME},    {207, KEY_END},     {210, KEY_INSERT},
};

bool g_reported = false;
DWORD g_last_report = 0;

constexpr DWORD kIdleMs = 2000;
constexpr uint32_t kKeyDelay = 200000;

dx::bitmap* g_inspector = nullptr;

void ForgetInspector() { g_inspector = nullptr; }

void DrawView(const ViewPos& pos) {
  Draw3D(pos, 0);
}

}  // namespace

uint32_t GetKeyBits(uint32_t delay) {
  DWORD now = dxgettime();
  if (g_reported && now >= g_last_report && now - g_last_report < delay) return 0;
  uint32_t bits = 0;
  for (const KeyBit& k : kKeys)
    if (dxkeystate(k.code)) bits |= k.bit;
  if (!bits) return 0;
  g_reported = true;
  g_last_report = now;
  return bits;
}

void ResetKeyBits() { g_reported = false; }

void ExploreMainLoop() {
  DWORD deadline = timeGetTime() + kIdleMs;
  bool inspector = false;
  InitMap2DSurface();
  DrawView(HeroPos);
  ViewPos remembered{-1, -1, -1, -1, -1};
  uint32_t flags = 0;
  ViewPos scratch{};

  auto run = [&](int32_t event) {
    eventExec(event);
    flags |= static_cast<uint32_t>(GetVarInt("RET"));
  };
  auto restart = [&] {
    flags &= ~EXPLORE_IDLE;
    deadline = timeGetTime() + kIdleMs;
  };
  // The hit-points test runs event 50 and, like the leave bit, ends the loop.
  auto over = [&] {
    if (GameStateBlock.hp < 1) {
      eventExec(50);
      return true;
    }
    return (flags & EXPLORE_LEAVE) != 0;
  };

  for (;;) {
    DWORD now = timeGetTime();
    if (now > deadline || deadline - now > kIdleMs) flags |= EXPLORE_IDLE;

    int diff = PositionDiff(HeroPos, remembered);
    if (diff) {
      SetVarInt("PX", ScriptDoubleToInt(remembered.X));
      SetVarInt("PY", ScriptDoubleToInt(remembered.Y));
      SetVarInt("PN", ScriptDoubleToInt(remembered.N));
      SetVarInt("PT", ScriptDoubleToInt(remembered.T / 90) % 4);
      SetVarInt("PP", ScriptDoubleToInt(remembered.P / 90) % 4);
    }
    if (diff & (POS_DIFF_N | POS_DIFF_X | POS_DIFF_Y)) {
      if (!(flags & EXPLORE_SKIP_EVENT8) && !inspector) run(8);
      if (over()) return;
      if (!(flags & EXPLORE_SKIP_CELL_EVENT) && !inspector) {
        for (int i = 0; i < 10; ++i) {
          int32_t event = ScanEvent(HeroPos);
          if (!event) break;
          eventExec(event);
          flags &= ~EXPLORE_IDLE;
          deadline = timeGetTime() + kIdleMs;
          uint32_t ret = static_cast<uint32_t>(GetVarInt("RET"));
          if (ret & EXPLORE_RUN_AGAIN) continue;
          flags |= ret;
          break;
        }
      }
      if (over()) return;
      if (!(flags & EXPLORE_SKIP_EVENT9) && !inspector) run(9);
      if (over()) return;
      if (!(flags & EXPLORE_KEEP_DEADLINE)) deadline = timeGetTime() + kIdleMs;
      remembered = HeroPos;
    }
    if (over()) return;

    flags &= 0xFFFF0000u;
    SetViewPosClamped(HeroPos);
    DrawView(HeroPos);
    if (flags & EXPLORE_IDLE) eventExec(13);

    if (inspector) {
      if (!g_inspector) {
        g_inspector = dxnewbitmap(352, 352);
        dxaddreleasehook(ForgetInspector);
      }
      DrawCellInfo(g_inspector, ScriptDoubleToInt(HeroPos.X), ScriptDoubleToInt(HeroPos.Y),
                   ScriptDoubleToInt(HeroPos.N), ScriptDoubleToInt(HeroPos.T));
      dxblt(g_inspector, 0, 100);
      dxprintf(0, 16, dxrgb(255, 0, 0), "(%d/%d)%08x", static_cast<int>(deadline), static_cast<int>(timeGetTime()),
               flags);
    }

    dxupdate();
    PlayMusic(-1);
    uint32_t keys = GetKeyBits(kKeyDelay);
    if (!keys) continue;

    if (keys & (KEY_PAD_UP | KEY_UP | KEY_PAD_DOWN | KEY_DOWN)) {
      int d = (keys & (KEY_PAD_UP | KEY_UP)) ? 1 : -1;
      int32_t push = ScanPushEvent(HeroPos, d);
      if (push && !inspector) run(push);
      if (!(flags & EXPLORE_BLOCK_MOVE)) {
        // A tree ahead runs its event; the look-ahead itself moves nothing.
        if (WalkForward(HeroPos, d * 1.0, &scratch) && GetCellTree(HeroPos) && (GetCellFlag(HeroPos) & 0x1)) {
          SetVarInt("x", GetPosX(HeroPos));
          SetVarInt("y", GetPosY(HeroPos));
          SetVarInt("n", GetPosFloor(HeroPos));
          eventExec(7);
        }
        HeroPos = scratch;
        if (!inspector) {
          ViewPos prev;
          if (TryMoveStep(HeroPos, d, &prev)) {
            if (!GetVarInt("MOVE_MOTION")) {
              scratch = prev;
              for (int i = 0; i < 5; ++i) {
                WalkForward(scratch, d * 0.2, nullptr);
                DrawView(scratch);
                dxupdate();
              }
            }
            restart();
          }
        } else {
          // The inspector walks through walls and trees.
          WalkForward(HeroPos, d * 1.0, nullptr);
          restart();
        }
        SetViewPosClamped(HeroPos);
      }
      if (!(flags & EXPLORE_KEEP_DEADLINE)) restart();
    } else if (keys & (KEY_PAD_RIGHT | KEY_RIGHT | KEY_PAD_LEFT | KEY_LEFT)) {
      double step = (keys & (KEY_PAD_RIGHT | KEY_RIGHT)) ? 18 : -18;
      scratch = HeroPos;
      if (!GetVarInt("MOVE_MOTION")) {
        for (int i = 0; i < 5; ++i) {
          scratch.T += step;
          DrawView(scratch);
          dxupdate();
        }
      }
      if (step > 0) {
        HeroPos.T += 90;
        if (HeroPos.T > 360) HeroPos.T -= 360;
      } else {
        HeroPos.T -= 90;
        if (HeroPos.T < 0) HeroPos.T += 360;
      }
      restart();
    } else if (keys & KEY_ENTER) {
      run(10);
      restart();
    } else if (keys & KEY_ESC) {
      run(11);
      restart();
    }

    if (GetVarInt("DEBUG")) {
      if (keys & KEY_HOME)
        MapEditor(20, 20, ScriptDoubleToInt(HeroPos.X), ScriptDoubleToInt(HeroPos.Y), ScriptDoubleToInt(HeroPos.N),
                  ScriptDoubleToInt(HeroPos.T));
      if (keys & KEY_END) inspector = !inspector;
      if (keys & KEY_INSERT) eventExec(14);
    }

    if (over()) return;
  }
}
