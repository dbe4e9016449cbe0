#include "game/main.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "dx/dx.h"
#include "game/catalog.h"
#include "game/enemy.h"
#include "game/event.h"
#include "game/explore.h"
#include "game/fatal.h"
#include "game/gamestate.h"
#include "game/item.h"
#include "game/macro/macro.h"
#include "game/map.h"
#include "game/sound.h"
#include "script/strlist.h"
#include "game/view3d.h"
#include "platform/win32/display.h"
#include "platform/win32/file.h"
#include "platform/win32/msgbox.h"
#include "platform/win32/process.h"
#include "platform/win32/text.h"
#include "qv/qvsapi.h"

char BaseDir[kBaseDirSize];
const char GameTitle[] = "ダンジョン";

namespace {

// Copies at most size - 1 bytes of text, never splitting a two-byte character.
void CopyCut(char* out, size_t size, const std::string& text) {
  size_t keep = 0;
  while (keep < text.size()) {
    size_t step = win32::IsLeadByte(static_cast<uint8_t>(text[keep])) && keep + 1 < text.size() ? 2 : 1;
    if (keep + step > size - 1) break;
    keep += step;
  }
  std::memcpy(out, text.data(), keep);
  out[keep] = '\0';
}

void ReadCommandLine() {
  int argc = 0;
  char16_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return;
  if (argc > 1) CopyCut(BaseDir, sizeof BaseDir, win32::Utf16ToCp932(argv[1]));
  LocalFree(argv);
}

// A desktop deeper than 16 bits may be switched to 16 for this run, which
// draws faster.
void CheckDesktop() {
  // The screen's current settings: its size and depth.
  DEVMODEA screen{};
  screen.dmSize = sizeof screen;
  EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &screen);
  int width = static_cast<int>(screen.dmPelsWidth), height = static_cast<int>(screen.dmPelsHeight);
  int bits = static_cast<int>(screen.dmBitsPerPel);
  if (bits < 16) GAME_FATAL("ディスプレイの色数が16bit(HiColor)以上でなくては、ゲームを起動できません");
  if (bits == 16) return;
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  bool found = false;
  for (DWORD i = 0; EnumDisplaySettingsA(nullptr, i, &mode); ++i) {
    if (static_cast<int>(mode.dmPelsWidth) == width && static_cast<int>(mode.dmPelsHeight) == height &&
        mode.dmBitsPerPel == 16) {
      found = true;
      break;
    }
  }
  if (!found) return;
  if (MessageBoxA(nullptr, "ディスプレイの色数を一時的に16bit(HiColor)にしますか？\n色数を落とした方が描画速度が上がります",
                  "色数変更", MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  if (ChangeDisplaySettingsA(&mode, 0) != DISP_CHANGE_SUCCESSFUL) GAME_WARNING("動的解像度変更に失敗しました");
}

// A path as the player's system writes it (with "/"), for messages.
std::string ShownPath(const std::string& name) { return win32::Utf8ToCp932(win32::HostPath(name.c_str())); }

// Without the package every file comes from the folders beside the game; a
// package that is there but cannot be read is damaged, not missing.
void OpenPackage() {
  std::string package = PackageFileName();
  if (PackageOpen(package.c_str()) == 0) return;
  struct stat st;
  if (::stat(win32::HostPath(package.c_str()).c_str(), &st) == 0)
    GAME_WARNING("[%s]は壊れています", ShownPath(package).c_str());
  else
    GAME_WARNING("[%s]はありません", ShownPath(package).c_str());
}

// Saves and settings go to the folder named on the command line: the player
// hears at once when they cannot, not at the first failed save.
void CheckSaveFolder() {
  if (!BaseDir[0]) return;
  std::string host = win32::HostPath(BaseDir);
  struct stat st;
  if (::stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    GAME_WARNING("記録の保存先[%s]がありません\n記録と設定は保存できません", ShownPath(BaseDir).c_str());
  else if (::access(host.c_str(), W_OK | X_OK) != 0)
    GAME_WARNING("記録の保存先[%s]に書き込めません\n記録と設定は保存できません", ShownPath(BaseDir).c_str());
}

// The dungeon until the game leaves it. The key that ended the run there (the
// last picture of an ending, the pause menu's yes) is used up, so the title
// menu shows and waits for a key of its own.
void PlayDungeon() {
  ExploreMainLoop();
  dxclearchars();
  dxclearkeys();
}

}  // namespace

std::string BaseDirPath(const char* name) {
  std::string path = BaseDir;
  if (!path.empty()) path += '\\';
  path += name ? name : "";
  char cut[kBaseDirSize];
  CopyCut(cut, sizeof cut, path);
  return cut;
}

void DeleteSetupFile() { std::remove(win32::HostPath(BaseDirPath("setup.jpg").c_str()).c_str()); }

void InitGame() {
  ReadCommandLine();
  CheckDesktop();
  std::memset(static_cast<void*>(&GameStateBlock), 0, sizeof GameStateBlock);
  std::memset(static_cast<void*>(ItemTable), 0, sizeof ItemTable);
  RegisterMacros();
  if (!dxinit(GameTitle, 640, 480, 0, false)) {
    DeleteSetupFile();
    GAME_FATAL("DirectXの初期化に失敗\nDirectX7以上を入れていますか？");
  }
  OpenPackage();
  CheckSaveFolder();
  if (QvxSoundStartDefault(dxgetwindow()) != 0) {
    DeleteSetupFile();
    GAME_FATAL("DirectSound初期化に失敗\nDirectX7以上を入れていますか？");
  }
  ReadSoundData();
  ReadEventData();
  eventExec(1);

  SetupRecord.move_motion = GetVarInt("MOVE_MOTION");
  SetupRecord.full_screen = GetVarInt("FULL_SCREEN");
  SetupRecord.video_mode = GetVarInt("VIDEO_MODE");
  dxusevram(SetupRecord.video_mode != 0);
  dxddreinit(SetupRecord.full_screen != 0);
  eventExec(3);

  if (!dxd3dinit()) {
    DeleteSetupFile();
    GAME_FATAL("Direct3D初期化に失敗\nDirectX7以上を入れていますか？");
  }
  std::memset(&WorldMatrix, 0, sizeof WorldMatrix);
  ReadMapData("data/map/map.cfg");
  ReadMapChip();
  std::memset(PartIndexTable, 0, sizeof PartIndexTable);
  ReadItemData();
  ReadMonsterData();
  ReadMonsterGroups();
  ReadCatalog();
}

void TitlePass() {
  eventExec(4);
  int32_t choice = GetVarInt("RET");
  switch (choice) {
    case 3:
      eventExec(15);
      dxexit(0);
    case 2:
      eventExec(2);
      break;
    case 0:
      std::memset(static_cast<void*>(&GameStateBlock), 0, sizeof GameStateBlock);
      ResetMapFlags();
      eventExec(6);
      eventExec(5);
      eventExec(51);
      PlayDungeon();
      break;
    case 1:
      std::memset(static_cast<void*>(&GameStateBlock), 0, sizeof GameStateBlock);
      ResetMapFlags();
      eventExec(6);
      eventExec(12);
      if (GetVarInt("RET") == 0) {
        eventExec(51);
        PlayDungeon();
      }
      break;
    default:
      break;
  }
}

void TitleLoop() {
  for (;;) TitlePass();
}
