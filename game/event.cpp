#include "game/event.h"

#include <cstdlib>
#include <cstring>

#include "dx/dx.h"
#include "game/csvfile.h"
#include "game/fatal.h"
#include "game/picture.h"
#include "script/strlist.h"
#include "game/win.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/time.h"
#include "platform/win32/window.h"

ScriptNode* EventScripts[kEventCount];
int32_t LastFailedEvent = 0;

namespace {

constexpr const char* kEventTable = "data/event/event.csv";
constexpr const char* kLoadingPicture = "data/system/loading.png";

// Events running one inside another (through "eval"), and whether the nest
// passed its limit.
int g_nesting = 0;
bool g_runaway = false;

// A running script reads the clock every kClockSteps steps (a built-in's call
// counts as many): seldom enough to cost nothing measurable in a loop of the
// cheapest steps, often enough that a loop of costly built-ins (a file
// written and flushed, the whole screen filled) still reads it several times
// a second.
constexpr uint64_t kClockSteps = 1024;
// The player's close is looked for once this much time has passed since the
// last look.
constexpr DWORD kCloseLookMs = 50;
// The headless host's clock moves only while the program waits, so there a
// script that never waits takes no time: a close is then looked for after
// this many reads of a clock that stood still (1 << 22 steps). A real clock
// never stands still that long.
constexpr uint32_t kStillReadsPerLook = 1u << 12;

DWORD g_lastLook = 0;
DWORD g_lastRead = 0;
uint32_t g_stillReads = 0;

// A script that loops without waiting never reaches the message pump; the
// player's close must still end the game, the way it does at any other time.
void LookForClose(void*) {
  DWORD now = GetTickCount();
  if (now != g_lastRead) {
    g_lastRead = now;
    g_stillReads = 0;
  } else if (++g_stillReads >= kStillReadsPerLook) {
    g_stillReads = 0;
    g_lastLook = now - kCloseLookMs;
  }
  if (now - g_lastLook < kCloseLookMs) return;
  g_lastLook = now;
  MSG msg;
  if (PeekMessageA(&msg, nullptr, WM_CLOSE, WM_CLOSE, PM_NOREMOVE)) dxpump();
}

// The script texts stay alive as long as their trees, which point into them.
char* g_texts[kEventCount];

void FreeEvent(int n) {
  ScriptFreeProgram(EventScripts[n]);
  EventScripts[n] = nullptr;
  std::free(g_texts[n]);
  g_texts[n] = nullptr;
}

void DrawProgress(int row, int count, const char* path) {
  dxblt(readIMG(kLoadingPicture), 0, 0);
  dxfillrectalpha(160, 180, 360, 48, dxrgb(255, 255, 255), 80);
  int width = count > 1 ? row * 360 / (count - 1) : 360;
  dxfillrectalpha(160, 180, width, 48, dxrgb(255, 60, 60), 50);
  dxsetfont(GameFontFace, 12, 6, 1, 0, 1);
  dxprintf(240, 188, dxrgb(0, 0, 0), "イベントデータの読み込み中");
  dxprintf(180, 208, dxrgb(0, 0, 0), "ReadEventData[%20s]", path);
  dxupdate();
}

// The whole file with a terminating zero; null when it cannot be opened.
char* ReadWholeFile(const char* path) {
  PkgFile* f = PkgFileOpen(path, "rb");
  if (!f) return nullptr;
  int32_t size = PkgFileSize(f);
  if (size < 0) size = 0;
  char* text = static_cast<char*>(std::malloc(static_cast<size_t>(size) + 1));
  if (!text) {
    PkgFileClose(f);
    GAME_FATAL("[%s]でエラー発生(メモリ確保失敗)", path);
  }
  int32_t got = PkgFileRead(f, text, size);
  text[got > 0 ? got : 0] = '\0';
  PkgFileClose(f);
  return text;
}

}  // namespace

void FreeEventData() {
  for (int n = 0; n < kEventCount; ++n) FreeEvent(n);
  ScriptSetStepHook(0, nullptr, nullptr);  // the look for a close goes with the events
}

void CompileEventTable(char*** rows, bool show_progress) {
  FreeEventData();
  int count = 0;
  while (rows[count]) ++count;
  for (int i = 0; i < count; ++i) {
    const char* number = CsvColumn(rows[i], 0);
    const char* file = CsvColumn(rows[i], 1);
    char path[1024];
    std::snprintf(path, sizeof path, "data/event/%s", file ? file : "");
    if (show_progress) DrawProgress(i, count, path);
    if (number && number[0] == '#') continue;
    if (!number) number = "";
    char* end = nullptr;
    long n = std::strtol(number, &end, 10);
    if (end == number) GAME_FATAL("[%s]でエラー発生\n>%s", kEventTable, number);
    if (n > kEventCount - 1) GAME_FATAL("[%s]でエラー発生\n(イベントナンバーが大きすぎる)\n>%s", kEventTable, number);
    if (n < 0) GAME_FATAL("[%s]でエラー発生\n(イベントナンバーが負の数)\n>%s", kEventTable, number);
    char* text = ReadWholeFile(path);
    if (!text) GAME_FATAL("[%s]の読み取りに失敗(ファイルが無い？)", path);
    ScriptNode* tree = nullptr;
    ScriptError error;
    int rc = ScriptCompile(text, &tree, &error);
    if (rc != 0) {
      char message[1024] = {};
      ScriptErrorText(rc, &error, message, sizeof message);
      ScriptFreeProgram(tree);
      std::free(text);
      GAME_FATAL("イベント記述に文法的誤りを発見[%s]\n%s", path, message);
    }
    // A later row for the same number replaces the earlier script.
    FreeEvent(static_cast<int>(n));
    EventScripts[n] = tree;
    g_texts[n] = text;
  }
}

void ReadEventData() {
  // The loading picture is needed for the progress screen: a missing one stops
  // here, with the picture's own message.
  if (!PkgFileExists(kLoadingPicture)) GAME_FATAL("[%s]エラー:PNGファイル読み込みに失敗", kLoadingPicture);
  readIMG(kLoadingPicture);
  char*** rows = ReadCsv(kEventTable);
  if (!rows) GAME_FATAL("[%s]はありません", kEventTable);
  // The rows go also when a stop is caught (the headless host's tests).
  struct Rows {
    char*** rows;
    ~Rows() { FreeCsv(rows); }
  } owned{rows};
  CompileEventTable(rows, true);
  g_lastLook = g_lastRead = GetTickCount();
  g_stillReads = 0;
  ScriptSetStepHook(kClockSteps, LookForClose, nullptr);
}

void eventExec(int32_t n) {
  FormatMsg("eventExec(EventNumber%d)", n);
  SetVarInt("RET", 0);
  if (n == LastFailedEvent) return;
  if (n < 0 || n >= kEventCount || !EventScripts[n]) {
    LastFailedEvent = n;
    GAME_WARNING("未定義のイベントナンバー[%d]を実行しようとしました\n", n);
    return;
  }
  if (g_nesting >= kMaxEventNesting || g_runaway) {
    // One box for a runaway nest; the rest of it is not started, so that an
    // event that runs itself twice cannot go on for ever either.
    if (!g_runaway) GAME_WARNING("イベントの入れ子が深すぎます(%d段まで)\nイベントナンバー[%d]は実行しませんでした", kMaxEventNesting, n);
    g_runaway = true;
    return;
  }
  struct Nest {
    Nest() { ++g_nesting; }
    ~Nest() {
      if (--g_nesting == 0) g_runaway = false;
    }
  } nest;
  ScriptError error;
  int rc = ScriptExec(EventScripts[n], nullptr, nullptr, nullptr, &error, 0, 0);
  if (rc != 0) {
    char message[1024] = {};
    ScriptErrorText(rc, &error, message, sizeof message);
    LastFailedEvent = n;
    GAME_WARNING("イベントナンバー[%d]に文法的誤りを発見\n%s", n, message);
    return;
  }
  LastFailedEvent = 0;
}
