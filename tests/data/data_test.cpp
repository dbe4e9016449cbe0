// The demo game's data: every table parses with the game's reader, every event
// script compiles and calls only commands the game registers, every picture is
// an 8-bit RGB PNG the game's loader takes, and every file a table names exists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "dx/pngload.h"
#include "game/macro/macro.h"
#include "script/script.h"
#include "tests/common/command_names.h"
#include "tests/data/data_files.h"
#include "tools/mkpack/packwriter.h"

namespace {

using namespace datacheck;

// The commands the game registers for scripts, and the engine's own three.
const std::set<std::string>& Commands() {
  static const std::set<std::string> names = [] {
    std::set<std::string> all = {"writeln", "int", "double"};
    all.insert(std::begin(gametest::kCommandNames), std::end(gametest::kCommandNames));
    return all;
  }();
  return names;
}

bool ValidUtf8WithHighBytes(const std::string& s) {
  bool high = false;
  for (size_t i = 0; i < s.size();) {
    uint8_t c = static_cast<uint8_t>(s[i]);
    int n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (int k = 1; k < n; ++k)
      if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) return false;
    high |= n > 1;
    i += n;
  }
  return high;
}

void ExpectCp932(const std::string& name) {
  std::string text = ReadFile(name);
  EXPECT_EQ(Cp932Problem(text), "") << name;
  EXPECT_FALSE(ValidUtf8WithHighBytes(text)) << name << " looks like UTF-8, not CP932";
}

// Events by number, from the event table.
std::map<int, std::string> Events() {
  std::map<int, std::string> out;
  for (auto& row : Csv("data/event/event.csv"))
    if (row.size() >= 2) out[std::atoi(row[0].c_str())] = row[1];
  return out;
}

// Every call in a compiled tree: the name node of each call node.
void CollectCalls(const ScriptNode* node, std::set<std::string>& calls, std::vector<std::string>& prefixLines) {
  for (; node; node = node->next) {
    if (node->kind == NODE_CALL && node->text) calls.insert(node->text);
    if (node->kind == NODE_PREFIX_LINE && node->text) prefixLines.push_back(node->text);
    CollectCalls(node->children, calls, prefixLines);
  }
}

TEST(DemoData, TablesAreCp932WithLineFeeds) {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Root() / "data")) {
    std::string ext = entry.path().extension().string();
    if (ext != ".txt" && ext != ".csv" && ext != ".cfg") continue;
    ExpectCp932(std::filesystem::relative(entry.path(), Root()).string());
  }
}

TEST(DemoData, EventTableNamesCompilableScripts) {
  std::map<int, std::string> events = Events();
  ASSERT_FALSE(events.empty());
  // The events the game itself runs.
  for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 50, 51}) {
    EXPECT_TRUE(events.count(n)) << n;
  }
  for (auto& [n, file] : events) {
    SCOPED_TRACE(file);
    EXPECT_GE(n, 1);
    EXPECT_LE(n, 1023);
    std::string path = "data/event/" + file;
    ASSERT_TRUE(Exists(path));
    std::string text = ReadFile(path);
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    ScriptNode* program = nullptr;
    ScriptError error;
    int code = ScriptCompile(buffer.data(), &program, &error);
    EXPECT_EQ(code, 0) << "line " << error.line + 1 << ": " << error.lineText;
    if (code != 0) continue;
    std::set<std::string> calls;
    std::vector<std::string> prefixLines;
    CollectCalls(program, calls, prefixLines);
    for (const std::string& c : calls) {
      EXPECT_TRUE(Commands().count(c)) << "unknown command " << c;
    }
    // A "#" line is a message only when it begins with mes; anything else is
    // silently skipped, which hides typing mistakes.
    for (const std::string& p : prefixLines) {
      EXPECT_EQ(p.rfind("mes", 0), 0u) << p;
    }
    ScriptFreeProgram(program);
  }
}

// Stand-ins for the game's commands: neutral answers that let every script
// run to its end (keys answer Enter and Esc together, menus are cancelled).
int Neutral(StrList**, StrList** stack) { return MacroPushText(stack, "0"); }
// Enter and Esc held, then let go, in turn: waits for a key to be let go end too.
int Keys(StrList**, StrList** stack) {
  static bool held = false;
  held = !held;
  return MacroPushText(stack, held ? "768" : "0");
}
int KeyWait(StrList**, StrList** stack) { return MacroPushText(stack, "256"); }
int Cancelled(StrList**, StrList** stack) { return MacroPushText(stack, "-1"); }
int No(StrList**, StrList** stack) { return MacroPushString(stack, "1"); }
int Typed(StrList**, StrList** stack) { return MacroPushString(stack, ""); }

TEST(DemoData, EveryEventRunsToItsEndWithNeutralCommands) {
  ScriptInitFunctions();
  for (const std::string& name : Commands()) {
    if (name == "writeln" || name == "int" || name == "double") continue;
    ScriptHandler h = Neutral;
    if (name == "key" || name == "keywait") h = Keys;
    if (name == "mes_key") h = KeyWait;
    if (name == "selecth" || name == "selectw") h = Cancelled;
    if (name == "yesno") h = No;
    if (name == "input") h = Typed;
    ASSERT_EQ(ScriptRegisterFunction(&MacroList, name.c_str(), h, nullptr), 0);
  }
  ASSERT_EQ(ScriptRegisterFunction(&MacroPrefixList, "mes", Neutral, nullptr), 0);
  ScriptLimits old = ScriptGetLimits();
  ScriptSetLimits({200000, SCRIPT_DEFAULT_MAX_DEPTH});
  for (auto& [n, file] : Events()) {
    SCOPED_TRACE(file);
    std::string text = ReadFile("data/event/" + file);
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    ScriptNode* program = nullptr;
    ScriptError error;
    ASSERT_EQ(ScriptCompile(buffer.data(), &program, &error), 0);
    int code = ScriptExec(program, nullptr, nullptr, nullptr, &error, 0, 0);
    EXPECT_TRUE(code == 0 || code == SCRIPT_END) << "code " << code << " at line " << error.line + 1 << ": " << error.lineText;
    ScriptFreeProgram(program);
  }
  ScriptSetLimits(old);
  ScriptClearFunctions();
}

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// A "$" in a message shows the variable whose name follows; a misspelt name
// would show as plain text. Every name shown must be one some script sets (or
// one the game sets before an event).
TEST(DemoData, MessagesShowVariablesThatAreSet) {
  std::set<std::string> set = {"PARAM", "EVENT", "X", "Y", "N", "T", "PX", "PY", "PN", "PT", "PP", "x", "y", "n", "RET"};
  std::map<std::string, std::string> texts;
  for (auto& [n, file] : Events()) texts[file] = ReadFile("data/event/" + file);
  for (auto& [file, text] : texts) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
      size_t eq = line.find(" = ");
      if (eq == std::string::npos) continue;
      size_t start = line.find_first_not_of(' ');
      std::string name = line.substr(start, eq - start);
      if (!name.empty() && std::all_of(name.begin(), name.end(), IsNameChar)) set.insert(name);
    }
  }
  for (auto& [file, text] : texts) {
    for (size_t at = text.find('$'); at != std::string::npos; at = text.find('$', at + 1)) {
      size_t end = at + 1;
      while (end < text.size() && IsNameChar(text[end])) ++end;
      std::string name = text.substr(at + 1, end - at - 1);
      EXPECT_TRUE(set.count(name)) << file << " shows $" << name;
    }
  }
}

// Operators bind by the order of the engine's table, not by arithmetic habit:
// a - b + c is a - (b + c), a % b + c is a % (b + c), x & 16 == 16 is
// x & (16 == 16), !a == b is !(a == b). The scripts put brackets wherever such
// a pair meets, so any unbracketed pair of these is a slip.
int OperatorOf(const ScriptNode* node) {
  if (!node || node->kind != NODE_FRAGMENT || !node->children) return 0;
  const ScriptNode* last = node->children;
  while (last->next) last = last->next;
  return last->kind >= 0x200 && last->kind <= 0x270 ? last->kind : 0;
}

bool Arithmetic(int op) { return op >= TOK_DIV && op <= TOK_SUB; }
bool Comparison(int op) { return (op >= TOK_LT && op <= TOK_GE) || op == TOK_EQ || op == TOK_NE; }

void CheckBinding(const ScriptNode* node, const std::string& file) {
  for (; node; node = node->next) {
    int op = OperatorOf(node);
    if (op) {
      for (const ScriptNode* operand = node->children; operand && operand->next; operand = operand->next) {
        int inner = OperatorOf(operand);
        if (!inner) continue;
        bool slip = (op == TOK_SUB && (inner == TOK_ADD || inner == TOK_SUB) && operand != node->children) ||
                    (op == TOK_MOD && Arithmetic(inner)) || (inner == TOK_MOD && Arithmetic(op)) ||
                    ((op == TOK_BITAND || op == TOK_BITOR || op == TOK_BITXOR) && Comparison(inner)) ||
                    ((op == TOK_NOT || op == TOK_NOT_BITS) && (Comparison(inner) || Arithmetic(inner))) ||
                    ((op == TOK_CONCAT || op == TOK_STREQ || op == TOK_STRNE) && Comparison(inner));
        EXPECT_FALSE(slip) << file << " line " << node->line + 1 << ": " << (node->lines ? node->lines[node->line] : "");
      }
    }
    CheckBinding(node->children, file);
  }
}

TEST(DemoData, ScriptsBracketOperatorsThatBindUnexpectedly) {
  for (auto& [n, file] : Events()) {
    std::string text = ReadFile("data/event/" + file);
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    ScriptNode* program = nullptr;
    ScriptError error;
    ASSERT_EQ(ScriptCompile(buffer.data(), &program, &error), 0) << file;
    CheckBinding(program, file);
    ScriptFreeProgram(program);
  }
}

TEST(DemoData, ScriptsNameExistingFilesAndEvents) {
  std::map<int, std::string> events = Events();
  for (auto& [n, file] : events) {
    std::string text = ReadFile("data/event/" + file);
    // Every quoted data path exists.
    for (size_t at = text.find("\"data/"); at != std::string::npos; at = text.find("\"data/", at + 1)) {
      size_t end = text.find('"', at + 1);
      ASSERT_NE(end, std::string::npos);
      EXPECT_TRUE(Exists(text.substr(at + 1, end - at - 1))) << file << ": " << text.substr(at + 1, end - at - 1);
    }
    // Every eval(number) names an event of the table.
    for (size_t at = text.find("eval("); at != std::string::npos; at = text.find("eval(", at + 1)) {
      int target = std::atoi(text.c_str() + at + 5);
      if (target > 0) {
        EXPECT_TRUE(events.count(target)) << file << " runs event " << target;
      }
    }
  }
}

TEST(DemoData, EveryPictureIsAnRgbPngTheLoaderTakes) {
  InRoot here;
  int count = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Root() / "data")) {
    if (entry.path().extension() != ".png") continue;
    std::string name = std::filesystem::relative(entry.path(), Root()).string();
    std::string bytes = ReadFile(name);
    SCOPED_TRACE(name);
    ASSERT_GE(bytes.size(), 33u);
    EXPECT_EQ(bytes.substr(12, 4), "IHDR");
    EXPECT_EQ(static_cast<uint8_t>(bytes[24]), 8) << "bit depth";
    EXPECT_EQ(static_cast<uint8_t>(bytes[25]), 2) << "colour type";
    PngImage* image = PngLoadImage(name.c_str());
    ASSERT_NE(image, nullptr);
    EXPECT_GT(image->width, 0);
    PngFreeImage(image);
    ++count;
  }
  EXPECT_GT(count, 50);
}

// Pure black is the colour key: only pictures drawn over something may hold it.
TEST(DemoData, OnlyKeyedPicturesHoldPureBlack) {
  static const std::set<std::string> keyed = {
      "system/win.png",    "system/hitanykey.png", "system/catalog_wait.png", "map/door_wood.png",
      "map/door_iron.png", "map/tree.png",         "map/chest.png",           "map/tower.png",
      "map/spirit.png",    "map/statue.png",       "map/sign.png"};
  InRoot here;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Root() / "data")) {
    if (entry.path().extension() != ".png") continue;
    std::string name = std::filesystem::relative(entry.path(), Root() / "data").string();
    bool mayBeKeyed = keyed.count(name) || name.rfind("mon/", 0) == 0 || name.rfind("map/torch", 0) == 0 ||
                      name.rfind("map/warp", 0) == 0;
    PngImage* image = PngLoadImage(("data/" + name).c_str());
    ASSERT_NE(image, nullptr) << name;
    bool black = false;
    for (int y = 0; y < image->height && !black; ++y)
      for (int x = 0; x < image->width && !black; ++x) black = (GetPngPixel(image, x, y) & 0xFFFFFF) == 0;
    PngFreeImage(image);
    if (mayBeKeyed) {
      EXPECT_TRUE(black) << name << " has no transparent part";
    } else {
      EXPECT_FALSE(black) << name << " holds pure black, which would show through";
    }
  }
}

std::pair<int, int> PngSize(const std::string& name) {
  PngImage* image = PngLoadImage((Root() / name).c_str());
  if (!image) return {0, 0};
  std::pair<int, int> size{image->width, image->height};
  PngFreeImage(image);
  return size;
}

TEST(DemoData, PicturesHaveTheSizesTheirScreensUse) {
  using Size = std::pair<int, int>;
  // Whole screens.
  for (const char* name : {"system/loading.png", "system/title.png", "system/catalog_wait.png", "system/credit.png",
                           "system/credit2.png", "system/grad.png", "system/end1.png", "system/end6.png"})
    EXPECT_EQ(PngSize(std::string("data/") + name), Size(640, 480)) << name;
  for (const auto& entry : std::filesystem::directory_iterator(Root() / "data/bg"))
    EXPECT_EQ(PngSize("data/bg/" + entry.path().filename().string()), Size(640, 480)) << entry.path();
  // The catalogue's cover of an unseen picture fills one place.
  EXPECT_EQ(PngSize("data/system/np.png"), Size(118, 80));
  // Item pictures are cut into the 32 x 32 cells of one sheet.
  for (auto& row : Csv("data/item/item.csv")) EXPECT_EQ(PngSize(row[1]), Size(32, 32)) << row[1];
  // Backgrounds of the 3-D view are strips of 2 pixels a degree.
  auto textures = NumberedTable("data/map/chip.cfg");
  std::istringstream map(ReadFile("data/map/map.cfg"));
  std::string line;
  std::set<int> backgrounds;
  while (std::getline(map, line)) {
    int f, x, y, face, value;
    char key[16];
    if (std::sscanf(line.c_str(), "%d %d %d %d %15s %d", &f, &x, &y, &face, key, &value) == 6 && std::string(key) == "BG")
      backgrounds.insert(value);
  }
  EXPECT_FALSE(backgrounds.empty());
  for (int bg : backgrounds) EXPECT_EQ(PngSize("data/map/" + textures[bg]), Size(720, 240)) << bg;
}

TEST(DemoData, TablesListEachNumberOnce) {
  std::set<int> events;
  for (auto& row : Csv("data/event/event.csv")) EXPECT_TRUE(events.insert(std::atoi(row[0].c_str())).second) << row[0];
  // A second sound with one number is refused by the sound library.
  std::set<int> sounds;
  for (const std::string& line : Lines("data/sound/sound.cfg")) EXPECT_TRUE(sounds.insert(std::atoi(line.c_str())).second) << line;
  std::set<int> monsters;
  for (auto& row : Csv("data/mon_cfg/_mon.csv")) {
    if (std::isdigit(static_cast<unsigned char>(row[0][0]))) {
      EXPECT_TRUE(monsters.insert(std::atoi(row[0].c_str())).second) << row[0];
    }
  }
}

TEST(DemoData, MapChipsAreTwentyFourBitBitmaps) {
  auto chips = NumberedTable("data/map_chip/chip.cfg");
  ASSERT_FALSE(chips.empty());
  for (int arrow = 251; arrow <= 255; ++arrow) {
    EXPECT_TRUE(chips.count(arrow)) << arrow;
  }
  for (auto& [n, file] : chips) {
    EXPECT_GE(n, 0);
    EXPECT_LE(n, 255);
    std::string bytes = ReadFile("data/map_chip/" + file);
    ASSERT_GE(bytes.size(), 54u) << file;
    EXPECT_EQ(bytes.substr(0, 2), "BM") << file;
    EXPECT_EQ(static_cast<uint8_t>(bytes[28]), 24) << file;
    // One 32-pixel place of the minimap.
    EXPECT_EQ(static_cast<uint8_t>(bytes[18]), 32) << file;
    EXPECT_EQ(static_cast<uint8_t>(bytes[22]), 32) << file;
  }
}

TEST(DemoData, WallTexturesExist) {
  auto textures = NumberedTable("data/map/chip.cfg");
  // The numbers the 3-D view takes by itself: stairs, torch and warp frames,
  // fog, the message mark and the fallback.
  for (int n : {11, 30, 240, 241, 242, 243, 244, 245, 246, 250, 251, 252, 253, 254, 255}) {
    EXPECT_TRUE(textures.count(n)) << n;
  }
  for (auto& [n, file] : textures) {
    EXPECT_TRUE(Exists("data/map/" + file)) << n << " " << file;
  }
  // The fog slides through half its width and shows 320 columns.
  PngImage* fog = PngLoadImage((Root() / "data/map" / textures[253]).c_str());
  ASSERT_NE(fog, nullptr);
  EXPECT_GE(fog->width, 640);
  PngFreeImage(fog);
}

TEST(DemoData, SoundTableFilesExistAndMenusHaveTheirSounds) {
  auto table = NumberedTable("data/sound/sound.cfg");
  for (int n : {100, 101, 102, 21, 41}) {
    EXPECT_TRUE(table.count(n)) << n;
  }
  bool mp3 = false, adpcm = false;
  for (auto& [n, file] : table) {
    EXPECT_LE(n, 254);
    std::string bytes = ReadFile("data/sound/" + file);
    ASSERT_FALSE(bytes.empty()) << file;
    if (file.size() > 4 && file.substr(file.size() - 4) == ".mp3") mp3 = true;
    if (bytes.size() > 22 && bytes.substr(0, 4) == "RIFF" && static_cast<uint8_t>(bytes[20]) == 0x11) adpcm = true;
  }
  EXPECT_TRUE(mp3);
  EXPECT_TRUE(adpcm);
  // Every line gives the four values the reader asks for.
  for (const std::string& line : Lines("data/sound/sound.cfg")) {
    int n, s, l;
    char name[256];
    EXPECT_EQ(std::sscanf(line.c_str(), "%d %255s %d %d", &n, name, &s, &l), 4) << line;
  }
}

TEST(DemoData, ItemTableIsComplete) {
  auto rows = Csv("data/item/item.csv");
  ASSERT_FALSE(rows.empty());
  std::set<int> positions;
  for (auto& row : rows) {
    ASSERT_GE(row.size(), 15u) << row[0];
    EXPECT_TRUE(Exists(row[1])) << row[1];
    positions.insert(std::atoi(row[7].c_str()));
    for (int c : {9, 10}) {
      int ev = std::atoi(row[c].c_str());
      if (ev) {
        EXPECT_TRUE(Events().count(ev)) << row[0] << " uses event " << ev;
      }
    }
  }
  // Something for each main equipment position: helmet, armour, shield, weapon, accessory.
  for (int p = 0; p <= 4; ++p) {
    EXPECT_TRUE(positions.count(p)) << p;
  }
}

std::set<int> MonsterNumbers() {
  std::set<int> out;
  for (auto& row : Csv("data/mon_cfg/_mon.csv"))
    if (!row.empty() && std::isdigit(static_cast<unsigned char>(row[0][0]))) out.insert(std::atoi(row[0].c_str()));
  return out;
}

TEST(DemoData, MonsterFilesUseKnownKeysAndExistingFiles) {
  static const std::set<std::string> keys = {
      "NUM",     "NAME",  "HP",      "STR",     "DEX",  "AUTH",    "SOUND",   "EFFECT", "THIEF",
      "META",    "MAGIC", "BACK",    "ILLNESS", "SUICIDE", "POISON", "PREGIST", "MREGIST", "HEAL",
      "SOLDIER", "AWAY",  "ATTACK1", "ATTACK2", "ITEMS", "TREASURE", "WEAKPOINT", "WEAKCG", "GOLD", "DEMO"};
  auto rows = Csv("data/mon_cfg/_mon.csv");
  int monsters = 0;
  for (auto& row : rows) {
    if (row.empty() || !std::isdigit(static_cast<unsigned char>(row[0][0]))) continue;
    ASSERT_GE(row.size(), 3u);
    int number = std::atoi(row[0].c_str());
    EXPECT_GT(number, 2000);
    EXPECT_LE(number, 3023);
    std::string path = "data/mon_cfg/" + row[2];
    ASSERT_TRUE(Exists(path)) << path;
    ++monsters;
    bool pic1 = false;
    for (auto& key : Csv(path)) {
      std::string k = key[0];
      SCOPED_TRACE(path + " " + k);
      if (k.rfind("PIC", 0) == 0) {
        int n = std::atoi(k.c_str() + 3);
        EXPECT_GE(n, 1);
        EXPECT_LE(n, 8);
        ASSERT_GE(key.size(), 2u);
        EXPECT_TRUE(Exists(key[1]));
        // The catalogue's small picture under the same name.
        EXPECT_TRUE(Exists("data/mon_small/" + key[1].substr(key[1].rfind('/') + 1)));
        pic1 |= n == 1;
      } else if (k.rfind("MSG", 0) == 0) {
        int n = std::atoi(k.c_str() + 3);
        EXPECT_TRUE(n >= 0 && n <= 31);
      } else {
        EXPECT_TRUE(keys.count(k));
      }
      if (k == "NUM") {
        EXPECT_EQ(std::atoi(key[1].c_str()), number);
      }
      if (k == "SOUND") {
        EXPECT_TRUE(Exists("data/sound/" + key[1]));
      }
    }
    EXPECT_TRUE(pic1) << path;
  }
  EXPECT_GE(monsters, 5);
}

TEST(DemoData, GroupsAndCatalogueNameDefinedMonsters) {
  std::set<int> defined = MonsterNumbers();
  auto groups = Csv("data/mon_cfg/group.csv");
  EXPECT_GE(groups.size(), 3u);
  for (auto& row : groups) {
    int g = std::atoi(row[0].c_str());
    EXPECT_TRUE(g >= 1 && g <= 31);
    for (size_t k = 1; k < row.size() && row[k][0] != '#'; ++k) {
      EXPECT_TRUE(defined.count(std::atoi(row[k].c_str()))) << row[k];
    }
  }
  auto catalogue = Csv("data/system/cata.txt");
  ASSERT_GE(catalogue.size(), 2u);  // the loading bar divides by rows - 1
  EXPECT_LT(catalogue.size(), 400u);
  for (auto& row : catalogue) {
    EXPECT_LE(row.size(), 5u);
    for (auto& field : row) {
      size_t dash = field.find('-');
      ASSERT_NE(dash, std::string::npos) << field;
      int number = std::atoi(field.c_str()), pic = std::atoi(field.c_str() + dash + 1);
      if (number == 0) continue;
      EXPECT_TRUE(defined.count(number)) << field;
      // The picture must be one the monster has.
      std::string key = "PIC" + std::to_string(pic);
      bool found = false;
      for (auto& row2 : Csv("data/mon_cfg/_mon.csv"))
        if (std::atoi(row2[0].c_str()) == number)
          for (auto& k : Csv("data/mon_cfg/" + row2[2])) found |= k[0] == key && k.size() > 1;
      EXPECT_TRUE(found) << field;
    }
  }
}

TEST(DemoData, ScreensTheGameLoadsByNameExist) {
  for (const char* name :
       {"data/system/loading.png", "data/system/win.png", "data/system/np.png", "data/system/catalog_wait.png",
        "data/system/title.png", "data/system/hitanykey.png", "data/system/credit.png", "data/system/credit2.png",
        "data/system/grad.png", "data/system/setup.jpg", "data/system/end1.png", "data/system/end2.png",
        "data/system/end3.png", "data/system/end4.png", "data/system/end5.png", "data/system/end6.png"})
    EXPECT_TRUE(Exists(name)) << name;
  for (int n = 1; n <= 6; ++n) {
    std::string name = "data/system/effect" + std::to_string(n) + ".dat";
    ASSERT_TRUE(Exists(name)) << name;
    EXPECT_EQ(std::filesystem::file_size(Root() / name), 6144000u) << name;
  }
  // The window skin holds every piece the windows, buttons, key mark and page marks take.
  PngImage* skin = PngLoadImage((Root() / "data/system/win.png").c_str());
  ASSERT_NE(skin, nullptr);
  EXPECT_GE(skin->width, 128);
  EXPECT_GE(skin->height, 240);
  PngFreeImage(skin);
}

TEST(DemoData, SaveCoversAreJpegPictures) {
  int covers = 0;
  std::istringstream in(ReadFile("data/save_jpg/list.txt"));
  std::string word;
  while (in >> word) {
    if (word[0] == '#') {
      std::getline(in, word);
      continue;
    }
    std::string bytes = ReadFile("data/save_jpg/" + word);
    ASSERT_GE(bytes.size(), 4u) << word;
    EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(bytes[1]), 0xD8);
    EXPECT_EQ(static_cast<uint8_t>(bytes[bytes.size() - 2]), 0xFF);
    EXPECT_EQ(static_cast<uint8_t>(bytes[bytes.size() - 1]), 0xD9);
    ++covers;
  }
  EXPECT_GE(covers, 1);
}


TEST(DemoData, PacksWholeUnderTheNamesTheGameAsks) {
  std::vector<packwriter::Entry> entries;
  std::string error;
  ASSERT_TRUE(packwriter::Collect(datacheck::Root() / "data", entries, error)) << error;
  std::set<std::string> names;
  for (const auto& e : entries) names.insert(e.name);
  for (const char* name : {"data/map/map.cfg", "data/event/event.csv", "data/item/item.csv", "data/mon_cfg/_mon.csv",
                           "data/mon_cfg/group.csv", "data/sound/sound.cfg", "data/system/cata.txt",
                           "data/system/effect6.dat", "data/save_jpg/list.txt", "data/system/setup.jpg"})
    EXPECT_TRUE(names.count(name)) << name;
  std::vector<uint8_t> package;
  EXPECT_TRUE(packwriter::Build(entries, package, error)) << error;
}

}  // namespace
