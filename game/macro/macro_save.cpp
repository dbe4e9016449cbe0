// Saving and loading the game, and the settings file.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "game/gamestate.h"
#include "game/macro/macro.h"
#include "game/main.h"
#include "game/savefile.h"

namespace {

constexpr const char* kSetupFile = "setup.jpg";
constexpr const char* kSetupPicture = "data/system/setup.jpg";
constexpr size_t kMaxCovers = 100;

// The cover pictures listed in "data/save_jpg/list.txt" that exist.
std::vector<std::string> CoverPictures() {
  std::vector<std::string> covers;
  PkgFile* f = PkgFileOpen("data/save_jpg/list.txt", "rb");
  if (!f) return covers;
  int32_t size = PkgFileSize(f);
  std::vector<char> text(size > 0 ? static_cast<size_t>(size) : 0);
  int32_t got = text.empty() ? 0 : PkgFileRead(f, text.data(), size);
  PkgFileClose(f);
  size_t len = got > 0 ? static_cast<size_t>(got) : 0;
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  auto ends = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; };
  size_t i = 0;
  while (i < len && covers.size() < kMaxCovers) {
    while (i < len && (blank(text[i]) || text[i] == '\r' || text[i] == '\n')) ++i;
    if (i >= len) break;
    if (text[i] == '#') {
      while (i < len && text[i] != '\n') ++i;
      continue;
    }
    size_t start = i;
    while (i < len && !ends(text[i])) ++i;
    if (i == start) {
      ++i;  // a zero byte
      continue;
    }
    std::string name = "data/save_jpg/" + std::string(text.data() + start, i - start);
    if (name.size() > 1023) name.resize(1023);
    if (PkgFileExists(name.c_str())) covers.push_back(name);
  }
  return covers;
}

int macro_save(StrList** args, StrList** stack) {
  const char* name;
  if (!MacroArgReader(args).Text(name) || !*name) return MacroPushInt(stack, -1);
  std::vector<std::string> covers = CoverPictures();
  if (covers.empty()) return MacroPushInt(stack, -2);
  const std::string& cover = covers[static_cast<size_t>(dxrand(static_cast<int>(covers.size())))];
  std::string path = BaseDirPath(name);
  return MacroPushInt(stack, WriteSaveFile(path.c_str(), cover.c_str(), &GameStateBlock, sizeof GameStateBlock));
}

int macro_load(StrList** args, StrList** stack) {
  const char* name;
  if (!MacroArgReader(args).Text(name) || !*name) return MacroPushInt(stack, -1);
  std::string path = BaseDirPath(name);
  uint8_t* data = nullptr;
  uint32_t length = 0;
  int rc = ReadSaveFile(path.c_str(), &data, &length);
  if (rc != 0) return MacroPushInt(stack, rc);
  if (length != sizeof GameStateBlock) {
    std::free(data);
    return MacroPushInt(stack, -2);
  }
  std::memcpy(static_cast<void*>(&GameStateBlock), data, sizeof GameStateBlock);
  std::free(data);
  // A damaged or hand-made save still loads, with what would misbehave mended.
  BringSavedStateIntoRange(GameStateBlock);
  return MacroPushInt(stack, 0);
}

// The result is the writer's code, so that a script can tell the player that
// the settings were not kept (0 when they were).
int macro_setupsave(StrList**, StrList** stack) {
  return MacroPushInt(stack,
                      WriteSaveFile(BaseDirPath(kSetupFile).c_str(), kSetupPicture, &SetupRecord, sizeof SetupRecord));
}

int macro_setupload(StrList**, StrList** stack) {
  uint8_t* data = nullptr;
  uint32_t length = 0;
  if (ReadSaveFile(BaseDirPath(kSetupFile).c_str(), &data, &length) != 0) return MacroPushInt(stack, 1);
  if (length != sizeof SetupRecord) {
    std::free(data);
    return MacroPushInt(stack, 1);
  }
  std::memcpy(&SetupRecord, data, sizeof SetupRecord);
  std::free(data);
  SetVarInt("FULL_SCREEN", SetupRecord.full_screen);
  SetVarInt("VIDEO_MODE", SetupRecord.video_mode);
  return MacroPushInt(stack, 0);
}

}  // namespace

void RegisterSaveMacros() {
  RegisterMacro("setupload", macro_setupload);
  RegisterMacro("setupsave", macro_setupsave);
  RegisterMacro("save", macro_save);
  RegisterMacro("load", macro_load);
}
