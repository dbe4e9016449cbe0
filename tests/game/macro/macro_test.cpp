#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "game/gamestate.h"
#include "game/main.h"
#include "game/map.h"
#include "game/position.h"
#include "game/savefile.h"
#include "tests/common/command_names.h"
#include "tests/game/game_fixture.h"

namespace {

using gametest::GameTest;

class MacroTest : public GameTest {};

TEST_F(MacroTest, RegistryKeepsTheEngineAndEveryCommandAnswersWithoutArguments) {
  EXPECT_EQ(Eval("int(\"12abc\");"), "12");  // the engine's own
  auto listed = [](MacroEntry* list, const char* name) {
    for (; list; list = list->next)
      if (std::strcmp(list->name, name) == 0) return true;
    return false;
  };
  EXPECT_TRUE(listed(MacroList, "writeln"));
  EXPECT_TRUE(listed(MacroList, "mes"));
  EXPECT_TRUE(listed(MacroPrefixList, "mes"));
  const char* commands[] = {"flag", "setflag", "hero_name", "hero_hp", "hero_hp_max", "hero_dex", "hero_str",
                            "hero_poison", "hero_gold", "map_event", "map_flag", "map_wall_door", "map_scan",
                            "pos", "walk", "move", "X", "Y", "N", "T", "P", "setX", "setT", "scan_event",
                            "scan_pushevent", "bill", "event_float", "save", "load"};
  for (const char* c : commands) {
    std::string script = std::string("a = ") + c + "(); 1;";
    EXPECT_EQ(Eval(script), "1") << c;
  }
}

using gametest::kCommandNames;

TEST_F(MacroTest, TheRegistryHoldsEveryCommandOnce) {
  // The list is walked from its last entry: the engine's own three first,
  // then every command once (no name hides another, so their order is not
  // seen by a script).
  std::vector<const MacroEntry*> entries;
  for (const MacroEntry* e = MacroList; e; e = e->next) entries.insert(entries.begin(), e);
  std::vector<std::string> names;
  for (const MacroEntry* e : entries) names.push_back(e->name);
  ASSERT_GE(names.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 3),
            (std::vector<std::string>{"writeln", "int", "double"}));
  std::vector<std::string> commands(names.begin() + 3, names.end());
  std::vector<std::string> want(std::begin(kCommandNames), std::end(kCommandNames));
  std::sort(commands.begin(), commands.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(commands, want);
  EXPECT_EQ(std::adjacent_find(want.begin(), want.end()), want.end());

  // One handler a name, except the three read-only "_set" names; "mes" is
  // also the one prefix command.
  std::map<ScriptHandler, std::vector<std::string>> by_handler;
  for (const MacroEntry* e : entries) {
    EXPECT_NE(e->handler, nullptr) << e->name;
    EXPECT_EQ(e->body, nullptr) << e->name;
    by_handler[e->handler].push_back(e->name);
  }
  std::set<std::vector<std::string>> shared;
  for (const auto& [handler, list] : by_handler)
    if (list.size() > 1) shared.insert(list);
  EXPECT_EQ(shared, (std::set<std::vector<std::string>>{
                        {"enemy_hp", "enemy_hp_set"}, {"enemy_str", "enemy_str_set"}, {"enemy_dex", "enemy_dex_set"}}));
  ASSERT_NE(MacroPrefixList, nullptr);
  EXPECT_STREQ(MacroPrefixList->name, "mes");
  EXPECT_EQ(MacroPrefixList->next, nullptr);
  for (const MacroEntry* e : entries)
    if (std::strcmp(e->name, "mes") == 0) {
      EXPECT_EQ(e->handler, MacroPrefixList->handler);
    }
}

TEST_F(MacroTest, StoryFlags) {
  EXPECT_EQ(Eval("flag(1024);"), "0");
  EXPECT_EQ(Eval("flag(\"-1\");"), "0");
  EXPECT_EQ(Eval("flag();"), "0");
  EXPECT_EQ(Eval("setflag(1024, 5);"), "0");
  EXPECT_EQ(Eval("setflag(\"-3\", 5);"), "0");
  EXPECT_EQ(Eval("setflag(10, 7);"), "7");
  EXPECT_EQ(Eval("flag(10);"), "7");
  EXPECT_EQ(StoryFlags[10], 7);
  EXPECT_EQ(Eval("setflag(11);"), "0");
}

TEST_F(MacroTest, HeroValues) {
  GameStateBlock.hp = 30;
  EXPECT_EQ(Eval("hero_hp();"), "30");
  EXPECT_EQ(Eval("hero_hp(\"\");"), "0");
  EXPECT_EQ(Eval("hero_gold(\"12abc\");"), "12");
  EXPECT_EQ(Eval("hero_gold(\"0x10\");"), "16");
  EXPECT_EQ(GameStateBlock.gold, 16);
  EXPECT_EQ(Eval("hero_str(5); hero_dex(6); hero_hp_max(7); hero_poison(8);"), "8");
  EXPECT_EQ(GameStateBlock.strength + GameStateBlock.dexterity + GameStateBlock.max_hp, 18);
  EXPECT_EQ(Eval("hero_name(\"アリス\");"), "アリス");
  EXPECT_EQ(last_tag_, "I");
  EXPECT_EQ(Eval("hero_name();"), "アリス");
  // A name longer than the field is cut before the character that would not fit.
  std::string longname;
  for (int i = 0; i < 200; ++i) longname += "あ";
  Eval("hero_name(\"x" + longname + "\");");
  EXPECT_EQ(std::strlen(GameStateBlock.name), 255u);
  Eval("hero_name(\"" + longname + "\");");
  EXPECT_EQ(std::strlen(GameStateBlock.name), 254u);
}

TEST_F(MacroTest, HeroClear) {
  auto fill = [] {
    std::memset(static_cast<void*>(&GameStateBlock), 1, sizeof GameStateBlock);
    DungeonMap[0].cells[1][1].w[CELL_FLAG] = 9;
  };
  fill();
  EXPECT_EQ(Eval("hero_clear(\"EQUIP\");"), "0");
  EXPECT_EQ(EquipSlots[0].count, 0x01010101);
  EXPECT_EQ(Eval("hero_clear(\"\");"), "0");
  EXPECT_EQ(GameStateBlock.hp, 0x01010101);
  Eval("hero_clear(\"QEUIP\");");
  EXPECT_EQ(EquipSlots[18].item, 0);
  EXPECT_EQ(CarriedItems[0].count, 0x01010101);
  Eval("hero_clear(\"ITEMS\"); hero_clear(\"BANK\");");
  EXPECT_EQ(CarriedItems[31].item, 0);
  EXPECT_EQ(BankItems[1023].item, 0);
  Eval("hero_clear(\"EVENT\");");
  EXPECT_EQ(StoryFlags[1023], 0);
  EXPECT_EQ(ObjectTable[255].alpha, 0u);
  Eval("hero_clear(\"ENEMY_RIP\"); hero_clear(\"ENEMY_PIC\");");
  EXPECT_EQ(GameStateBlock.enemy_rip[1023], 0);
  EXPECT_EQ(GameStateBlock.enemy_pic[0], 0);
  EXPECT_EQ(GameStateBlock.hp, 0x01010101);
  Eval("hero_clear(\"MAP\");");
  EXPECT_EQ(MapFlags[0][1][1], 9u);
  EXPECT_EQ(MapFlags[0][0][0], 0u);
  Eval("hero_clear();");
  for (size_t i = 0; i < sizeof GameStateBlock; ++i)
    ASSERT_EQ(reinterpret_cast<uint8_t*>(&GameStateBlock)[i], 0) << i;
}

TEST_F(MacroTest, MapCellAndFaceWords) {
  DungeonMap[0].cells[3][4].w[CELL_EVNT] = 12;
  EXPECT_EQ(Eval("map_event(3, 4, 0);"), "12");
  EXPECT_EQ(Eval("map_event(3, 4, 0, 17);"), "17");
  EXPECT_EQ(DungeonMap[0].cells[3][4].w[CELL_EVNT], 17);
  EXPECT_EQ(Eval("map_event(25, 0, 0);"), "0");
  EXPECT_EQ(Eval("map_event(3, 4);"), "0");
  EXPECT_EQ(Eval("map_event(3, 4, 15, 1);"), "0");
  EXPECT_EQ(Eval("map_wall_door(0, 0, 0, 6);"), "0");
  EXPECT_EQ(Eval("map_wall_push_event(2, 2, 1, 3, 400);"), "400");
  EXPECT_EQ(DungeonMap[1].cells[2][2].face(FACE_WEST, FACE_PEVE), 400);
  EXPECT_EQ(Eval("map_wall_img(2, 2, 1, 5, 130);"), "130");
  EXPECT_EQ(Eval("map_bg(2, 2, 1, 3);"), "3");
  EXPECT_EQ(Eval("map_flag(4, 5, 2, 1);"), "1");
  EXPECT_EQ(MapFlags[2][4][5], MAPFLAG_TREE);
  EXPECT_EQ(DungeonMap[2].cells[4][5].w[CELL_FLAG], 0);
}

TEST_F(MacroTest, MapScanSearchesTheBorderAroundTheHero) {
  HeroPos = {5, 5, 0, 0, 0};
  EXPECT_EQ(Eval("map_scan();"), "-1");
  EXPECT_EQ(Eval("map_scan(0, 3);"), "-1");
  DungeonMap[0].cells[7][4].w[CELL_EVNT] = 100;
  SetVarInt("X", -9);
  EXPECT_EQ(Eval("map_scan(2, \"-1\", 100);"), "3");
  EXPECT_EQ(GetVarInt("X"), 7);
  EXPECT_EQ(GetVarInt("Y"), 4);
  EXPECT_EQ(Eval("map_scan(1, \"-1\", 100);"), "-1");  // only the border at that distance
  // Features: a door on a side face, stairs; the first side searched is the row above.
  DungeonMap[0].cells[4][8].face(FACE_EAST, FACE_DOOR) = 1;
  DungeonMap[0].cells[8][2].w[CELL_STPD] = 1;
  EXPECT_EQ(Eval("map_scan(3, \"-1\", \"-1\", \"-1\", 1);"), "4");
  EXPECT_EQ(GetVarInt("Y"), 8);
  EXPECT_EQ(Eval("map_scan(3, \"-1\", \"-1\", \"-1\", 5);"), "6");
  EXPECT_EQ(GetVarInt("X"), 8);
  EXPECT_EQ(FindMapCells(8, 2, 0, 13), 0);
  // Near the map's corner the search stays inside it.
  HeroPos = {0, 24, 0, 0, 0};
  EXPECT_EQ(Eval("map_scan(30, 0);"), "-1");
}

TEST_F(MacroTest, PositionCommands) {
  EXPECT_EQ(Eval("setT(1);"), "0");
  EXPECT_EQ(HeroPos.T, 90);
  EXPECT_EQ(Eval("T();"), "1.000000");
  EXPECT_EQ(Eval("pos(1, 3, 4, 180);"), "");
  EXPECT_EQ(last_tag_, "S");
  EXPECT_EQ(HeroPos.N, 1);
  EXPECT_EQ(HeroPos.X, 3);
  EXPECT_EQ(HeroPos.T, 180);
  Eval("move(0, 3, 4, 5);");
  EXPECT_EQ(HeroPos.T, 90);
  EXPECT_EQ(HeroPos.N, 0);
  Eval("move(0, 3, 4, 4);");
  EXPECT_EQ(HeroPos.T, 360);
  Eval("move(0, 3, 4, \"-1\", 9);");
  EXPECT_EQ(HeroPos.T, 270);
  EXPECT_EQ(HeroPos.P, 90);
  ViewPos before = HeroPos;
  EXPECT_EQ(Eval("move(15, 0, 0);"), "");
  EXPECT_EQ(Eval("move(0, \"-1\", 0);"), "");
  EXPECT_EQ(PositionDiff(HeroPos, before), 0);
  HeroPos = {3, 4, 0, 0, 0};
  EXPECT_EQ(std::atof(Eval("Y(1);").c_str()), 5.0);
  EXPECT_EQ(HeroPos.Y, 4);
  EXPECT_EQ(Eval("walk(2);"), "0");
  EXPECT_EQ(HeroPos.Y, 6);
  Eval("setX(7); setY(); setN(2); setP(1);");
  EXPECT_EQ(HeroPos.X, 7);
  EXPECT_EQ(HeroPos.Y, 6);
  EXPECT_EQ(HeroPos.N, 2);
  EXPECT_EQ(HeroPos.P, 90);
  EXPECT_EQ(Eval("P();"), "1.000000");
}

TEST_F(MacroTest, ScansFromScripts) {
  HeroPos = {1, 1, 0, 0, 0};
  DungeonMap[0].cells[1][1].face(FACE_SOUTH, FACE_PEVE) = 42;
  DungeonMap[0].cells[2][3].w[CELL_EVNT] = 77;
  EXPECT_EQ(Eval("scan_pushevent(\"-1\", \"-1\", \"-1\", \"-1\", \"-1\");"), "42");
  EXPECT_EQ(Eval("scan_event(0, 2, 3);"), "77");
  EXPECT_EQ(GetVarInt("EVENT"), 77);
  EXPECT_EQ(GetVarInt("T"), 0);
  EXPECT_EQ(Eval("scan_event(0, 2, 3, 3);"), "77");
  EXPECT_EQ(GetVarInt("T"), 3);
}

TEST_F(MacroTest, Billboards) {
  ObjectTable[0].active = 1;
  EXPECT_EQ(Eval("bill();"), "0");
  EXPECT_EQ(ObjectTable[0].active, 0u);
  EXPECT_EQ(Eval("bill(300, 5);"), "1");
  EXPECT_EQ(Eval("bill(4, 5, 6);"), "0");
  const ObjectRec& o = ObjectTable[4];
  EXPECT_EQ(o.active, 1u);
  EXPECT_EQ(o.picture, 5u);
  EXPECT_EQ(o.part, 6u);
  EXPECT_EQ(o.X, 2);
  EXPECT_EQ(o.Y, 22);
  EXPECT_EQ(o.width, 2);
  EXPECT_EQ(o.alpha, 255u);
  EXPECT_EQ(o.event, 0u);
  EXPECT_EQ(Eval("bill(4, 5, 6, \"-1\");"), "0");
  EXPECT_EQ(ObjectTable[4].active, 0u);
}

TEST_F(MacroTest, FloatingEventsFindFreeCells) {
  std::srand(3);
  EXPECT_EQ(Eval("event_float(3, 200, 10);"), "0");
  const ObjectRec& o = ObjectTable[3];
  EXPECT_EQ(o.active, 1u);
  EXPECT_EQ(o.event, 200u);
  EXPECT_EQ(o.X, static_cast<int>(o.X));
  EXPECT_GE(o.N, 0);
  EXPECT_LT(o.N, 15);
  EXPECT_EQ(o.width, 2.0);
  EXPECT_EQ(Eval("event_float(256, 1, 1);"), "2");
  EXPECT_EQ(Eval("event_float(\"-1\", 1, 1);"), "2");
  EXPECT_EQ(Eval("event_float(3, \"-1\", 1);"), "0");
  EXPECT_EQ(ObjectTable[3].active, 0u);
  EXPECT_EQ(Eval("event_float(5, 9, 1, 2, 3.5, 4, 1, 1.5);"), "0");
  EXPECT_EQ(ObjectTable[5].X, 3.5);
  EXPECT_EQ(ObjectTable[5].width, 1.5);
  // Given X and Y with a random floor: no cell is ever drawn.
  EXPECT_EQ(Eval("event_float(6, 9, 1, 2, 3, 4);"), "1");
  // A floor outside the dungeon has no free cell.
  EXPECT_EQ(Eval("event_float(6, 9, 1, 2, \"-1\", \"-1\", 40);"), "1");

  // One floor with a single free cell: the second object never takes it.
  for (int f = 0; f < kFloors; ++f)
    for (int x = 0; x < kMapSize; ++x)
      for (int y = 0; y < kMapSize; ++y) DungeonMap[f].cells[x][y].w[CELL_EVNT] = 1;
  DungeonMap[2].cells[7][8].w[CELL_EVNT] = 0;
  std::memset(static_cast<void*>(ObjectTable), 0, sizeof ObjectTable);
  std::string first;
  for (int i = 0; i < 50 && first != "0"; ++i) first = Eval("event_float(1, 5, 1, 0, \"-1\", \"-1\", 2);");
  ASSERT_EQ(first, "0");
  EXPECT_EQ(ObjectTable[1].X, 7);
  EXPECT_EQ(ObjectTable[1].Y, 8);
  EXPECT_EQ(Eval("event_float(2, 5, 1, 0, \"-1\", \"-1\", 2);"), "1");
  EXPECT_EQ(ObjectTable[2].active, 0u);
  DungeonMap[2].cells[7][8].w[CELL_EVNT] = 1;
  EXPECT_EQ(Eval("event_float(1, 5, 1);"), "1");
}

TEST_F(MacroTest, SaveAndLoadCommands) {
  EXPECT_EQ(Eval("save(\"\");"), "-1");
  EXPECT_EQ(Eval("save();"), "-1");
  EXPECT_EQ(Eval("save(\"s1\");"), "-2");  // no list
  TempDir::Write("data/save_jpg/list.txt", "# covers\nmissing.jpg  a.jpg #b.jpg\r\n\n");
  TempDir::Write("data/save_jpg/a.jpg", std::string("\xFF\xD8picture a\xFF\xD9"));
  TempDir::Write("data/save_jpg/b.jpg", std::string("\xFF\xD8picture b\xFF\xD9"));
  GameStateBlock.gold = 1234;
  StoryFlags[5] = 6;
  EXPECT_EQ(Eval("save(\"s1\");"), "0");
  EXPECT_NE(TempDir::Read("s1").find("picture a"), std::string::npos);
  GameStateBlock.gold = 0;
  StoryFlags[5] = 0;
  EXPECT_EQ(Eval("load(\"s1\");"), "0");
  EXPECT_EQ(GameStateBlock.gold, 1234);
  EXPECT_EQ(StoryFlags[5], 6);
  EXPECT_EQ(Eval("load(\"none\");"), "1");
  EXPECT_EQ(Eval("load();"), "-1");

  // Settings round trip; a settings file is not a saved game.
  TempDir::Write("data/system/setup.jpg", std::string("\xFF\xD8setup\xFF\xD9"));
  SetupRecord = {1, 1, 0, 1};
  EXPECT_EQ(Eval("setupsave();"), "0");
  SetupRecord = {};
  SetVarInt("FULL_SCREEN", 0);
  SetVarInt("MOVE_MOTION", 0);
  EXPECT_EQ(Eval("setupload();"), "0");
  EXPECT_EQ(SetupRecord.move_motion, 1);
  EXPECT_EQ(GetVarInt("FULL_SCREEN"), 1);
  EXPECT_EQ(GetVarInt("VIDEO_MODE"), 1);
  EXPECT_EQ(GetVarInt("MOVE_MOTION"), 0);
  GameStateBlock.gold = 5;
  EXPECT_EQ(Eval("load(\"setup.jpg\");"), "-2");
  EXPECT_EQ(GameStateBlock.gold, 5);
  EXPECT_EQ(Eval("save(\"s1\") ; setupload();"), "0");
  TempDir::Write("setup.jpg", TempDir::Read("s1"));
  EXPECT_EQ(Eval("setupload();"), "1");
  // Settings that cannot be written say so: the output cannot be created.
  std::strcpy(BaseDir, "no-such-folder");
  EXPECT_EQ(Eval("setupsave();"), "3");
  BaseDir[0] = '\0';
}

TEST_F(MacroTest, SavesGoToTheBaseDirectory) {
  std::strcpy(BaseDir, "saves");
  TempDir::Write("saves/keep", "");
  TempDir::Write("data/save_jpg/list.txt", "a.jpg");
  TempDir::Write("data/save_jpg/a.jpg", std::string("\xFF\xD8" "a\xFF\xD9"));
  EXPECT_EQ(Eval("save(\"slot1\");"), "0");
  EXPECT_FALSE(TempDir::Read("saves/slot1").empty());
  EXPECT_EQ(BaseDirPath("x"), "saves\\x");
  BaseDir[0] = '\0';
  EXPECT_EQ(BaseDirPath("x"), "x");
}

}  // namespace
