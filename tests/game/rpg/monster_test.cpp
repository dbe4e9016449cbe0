// Monster tables, encounter groups and the monster commands.
#include <cstring>

#include "game/enemy.h"
#include "game/gamestate.h"
#include "game/item.h"
#include "game/macro/macro_monster.h"
#include "game/sound.h"
#include "platform/win32/crt.h"
#include "tests/game/rpg/fixture.h"

namespace gamerpg_test {
namespace {

class MonsterTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    std::memset(&GameStateBlock, 0, sizeof GameStateBlock);
    TempDir::Write("data/pic/a.png", Png(4, 4, 1, 2, 3));
    TempDir::Write("data/sound/roar.wav", "RIFF");
  }
  // An index of the given monsters, each with its key file text.
  void Monsters(std::initializer_list<std::pair<int, std::string>> list) {
    std::string index = "番号,名前,ファイル\n";
    for (const auto& [number, keys] : list) {
      std::string file = "m" + std::to_string(number) + ".csv";
      index += std::to_string(number) + ",x," + file + "\n";
      Write("data/mon_cfg/" + file, keys);
    }
    Write("data/mon_cfg/_mon.csv", index);
  }
  std::string LoadFails(const std::string& keys, int number = 2001) {
    Monsters({{number, keys}});
    return Fatal(ReadMonsterData);
  }
};

TEST_F(MonsterTest, KeyFilesFillTheTable) {
  Monsters({{2001,
             "NUM,2001\nNAME,スライム  \nHP,30\nSTR,5\nDEX,7\nAUTH,  作者 \nSOUND,roar.wav\nEFFECT,3\n"
             "PIC1,data/pic/a.png  \nPIC3,data/pic/a.png\nTHIEF,40,50\nMETA,90,2002,2003\nMAGIC,20,35,2\n"
             "ITEMS,5,,7\nTREASURE,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20\nWEAKPOINT,8,9,10\n"
             "WEAKCG,1\nMSG3, hello \nGOLD,120\nDEMO,2\n,ignored\nHP,31\n"},
            {2002, "NUM,2002\nNAME,A\nITEMS,1,2,3\nITEMS,9\n"}});
  uint64_t frames = host_.frames_presented();
  ReadMonsterData();
  const MonsterRec& m = MonsterTable[1];
  EXPECT_EQ(m.num, 2001);
  EXPECT_EQ(U8(u8"スライム"), win32::Cp932ToUtf8(m.name));
  EXPECT_EQ(U8(u8"作者"), win32::Cp932ToUtf8(m.auth));
  EXPECT_EQ(m.hp_max, 31);  // the later row wins
  EXPECT_EQ(m.hp, 0);       // current values come with CurrentEnemy
  EXPECT_EQ(m.str_max, 5);
  EXPECT_EQ(m.dex_max, 7);
  EXPECT_STREQ(m.sound, "data/sound/roar.wav");
  EXPECT_EQ(m.effect, 3);
  EXPECT_STREQ(m.pic[0], "data/pic/a.png");
  EXPECT_EQ(m.pic[1], nullptr);
  EXPECT_STREQ(m.pic[2], "data/pic/a.png");
  EXPECT_EQ(m.thief[0], 40);
  EXPECT_EQ(m.thief[1], 50);
  EXPECT_EQ(m.meta[0], 90);
  EXPECT_EQ(m.meta[2], 2003);
  EXPECT_EQ(m.meta[3], 0);
  EXPECT_EQ(m.magic[1], 35);
  // The empty field ends the row: only item 1.
  EXPECT_EQ(m.treasure[0].item, 5);
  EXPECT_EQ(m.treasure[1].item, 0);
  EXPECT_EQ(m.treasure[2].item, 0);
  // Twenty chances: the first sixteen.
  EXPECT_EQ(m.treasure[15].chance, 16);
  EXPECT_EQ(m.weak[0].point, 8);
  EXPECT_EQ(m.weak[1].point, 9);
  EXPECT_EQ(m.weak[0].cg, 1);
  EXPECT_STREQ(m.msg[3], "hello ");  // not trimmed (ReadCsv drops leading blanks)
  EXPECT_EQ(m.gold, 120);
  EXPECT_EQ(m.demo, 2);
  // A later ITEMS row overwrites only what it supplies; a one-letter name stays.
  EXPECT_STREQ(MonsterTable[2].name, "A");
  EXPECT_EQ(MonsterTable[2].treasure[0].item, 9);
  EXPECT_EQ(MonsterTable[2].treasure[1].item, 2);
  EXPECT_EQ(MonsterTable[3].num, 0);
  // One progress frame per index row, the heading row included.
  EXPECT_EQ(host_.frames_presented() - frames, 3u);
}

TEST_F(MonsterTest, TrimRightCutsBlanks) {
  char a[] = "  ab  ";
  EXPECT_STREQ(TrimRight(a), "ab");
  char b[] = "x   ";
  EXPECT_STREQ(TrimRight(b), "x");
  char c[] = "    ";
  EXPECT_EQ(TrimRight(c), nullptr);
  char d[] = "";
  EXPECT_EQ(TrimRight(d), d);
  EXPECT_EQ(TrimRight(nullptr), nullptr);
  EXPECT_EQ(SafeAtoi(nullptr), 0);
  EXPECT_EQ(SafeAtoi("12x"), 12);
}

TEST_F(MonsterTest, BadKeyFilesStopTheProgram) {
  EXPECT_EQ(LoadFails("PIC0,data/pic/a.png\n"), U8(u8"[data/mon_cfg/m2001.csv]エラー:PIC番号が<0"));
  EXPECT_EQ(LoadFails("PICX,data/pic/a.png\n"), U8(u8"[data/mon_cfg/m2001.csv]エラー:PIC番号が<0"));
  EXPECT_EQ(LoadFails("PICTURE,x\n"), U8(u8"[data/mon_cfg/m2001.csv]エラー:PIC番号が<0"));
  EXPECT_EQ(LoadFails("PIC9,data/pic/a.png\n"), U8(u8"[data/mon_cfg/m2001.csv]エラー:PIC番号が>8"));
  EXPECT_EQ(LoadFails("PIC2,data/pic/none.png\n"),
            U8(u8"[data/mon_cfg/m2001.csv]エラー:PIC[data/pic/none.png]が存在しない"));
  EXPECT_EQ(LoadFails("MSG32,x\n"), U8(u8"[data/mon_cfg/m2001.csv]エラー:MSG番号が>=32"));
  EXPECT_EQ(LoadFails("MSG-1,x\n"), U8(u8"[data/mon_cfg/m2001.csv]エラー:MSG番号が<0"));
  EXPECT_EQ(LoadFails("SOUND,none.wav\n"),
            U8(u8"[data/mon_cfg/m2001.csv]エラー:SOUND[data/sound/none.wav]が存在しない"));
  EXPECT_EQ(LoadFails("NAME,x\nSPEED,3\n"), U8(u8"[data/mon_cfg/m2001.csv]エラー:不明なデータ名[SPEED]"));
  EXPECT_EQ(LoadFails("NUM,2005\n"), U8(u8"[data/mon_cfg/m2001.csv]でエラー:番号の食い違い[1][2005]"));
  EXPECT_EQ(LoadFails("NAME,x\n", 2000), U8(u8"[data/mon_cfg/m2000.csv]でエラー発生:NUMが0"));
  EXPECT_EQ(LoadFails("NAME,x\n", 3024), U8(u8"[data/mon_cfg/m3024.csv]でエラー発生:NUMが最大値を超えた"));
  // Below the table: refused instead of written before it.
  EXPECT_EQ(LoadFails("NAME,x\n", 1999), U8(u8"[data/mon_cfg/m1999.csv]でエラー発生:NUMが2000より小さい"));

  Write("data/mon_cfg/_mon.csv", "2001,x,gone.csv\n");
  EXPECT_EQ(Fatal(ReadMonsterData), U8(u8"[data/mon_cfg/gone.csv]でエラー発生"));
  // No key file named, the field empty or absent: the path is the folder.
  Write("data/mon_cfg/_mon.csv", "2001,x,\"\"\n");
  EXPECT_EQ(Fatal(ReadMonsterData), U8(u8"[data/mon_cfg/]でエラー発生"));
  Write("data/mon_cfg/_mon.csv", "2001,x\n");
  EXPECT_EQ(Fatal(ReadMonsterData), U8(u8"[data/mon_cfg/]でエラー発生"));
  // Pictures and cries that name a folder are checked at start-up like missing ones.
  EXPECT_EQ(LoadFails("PIC1,data/pic\n"), U8(u8"[data/mon_cfg/m2001.csv]エラー:PIC[data/pic]が存在しない"));
  EXPECT_EQ(LoadFails("PIC1,data/pic/\n"), U8(u8"[data/mon_cfg/m2001.csv]エラー:PIC[data/pic/]が存在しない"));
  std::filesystem::create_directories("data/sound/cries");
  EXPECT_EQ(LoadFails("SOUND,cries\n"),
            U8(u8"[data/mon_cfg/m2001.csv]エラー:SOUND[data/sound/cries]が存在しない"));
  std::filesystem::remove("data/mon_cfg/_mon.csv");
  EXPECT_EQ(Fatal(ReadMonsterData), U8(u8"[data/mon_cfg/_mon.csv]はありません"));
  std::filesystem::remove("data/system/loading.png");
  FreeImageCache();
  EXPECT_NE(Fatal(ReadMonsterData).find("loading.png"), std::string::npos);
}

TEST_F(MonsterTest, GroupsListLoadedMonsters) {
  Monsters({{2001, "NAME,a\n"}, {2002, "NAME,b\n"}, {2003, "NAME,c\n"}});
  ReadMonsterData();
  Write("data/mon_cfg/group.csv",
        "# groups\n1,2001,2002\n3,2001,#2002,2003\n0x4,0x7D1,03721\n,2003\n5,2000,2003\n");
  ReadMonsterGroups();
  EXPECT_EQ(EncounterGroups[1][0], 2001);
  EXPECT_EQ(EncounterGroups[1][1], 2002);
  EXPECT_EQ(EncounterGroups[1][2], 0);
  EXPECT_EQ(EncounterGroups[3][0], 2001);
  EXPECT_EQ(EncounterGroups[3][1], 0);  // the rest of the row is a comment
  EXPECT_EQ(EncounterGroups[4][0], 2001);  // hexadecimal
  EXPECT_EQ(EncounterGroups[4][1], 2001);  // octal
  EXPECT_EQ(EncounterGroups[5][0], 2000);  // taken without a check
  EXPECT_EQ(EncounterGroups[5][1], 2003);

  Write("data/mon_cfg/group.csv", "x,2001\n");
  EXPECT_EQ(Fatal(ReadMonsterGroups), U8(u8"[data/mon_cfg/group.csv]に異常値\nx"));
  Write("data/mon_cfg/group.csv", "1,1999\n");
  EXPECT_EQ(Fatal(ReadMonsterGroups), U8(u8"[data/mon_cfg/group.csv]に異常値2\n1999"));
  Write("data/mon_cfg/group.csv", "1,2001,abc\n");
  EXPECT_EQ(Fatal(ReadMonsterGroups), U8(u8"[data/mon_cfg/group.csv]に異常値2\nabc"));
  Write("data/mon_cfg/group.csv", "2,2001,2009\n");
  EXPECT_EQ(Fatal(ReadMonsterGroups), U8(u8"未設定のモンスター番号 2009/0 (null) [2,1]"));
  // A group outside the table is refused rather than written past it.
  Write("data/mon_cfg/group.csv", "32,2001\n");
  EXPECT_NE(Fatal(ReadMonsterGroups).find(U8(u8"異常値")), std::string::npos);
  Write("data/mon_cfg/group.csv", "-1,2001\n");
  EXPECT_NE(Fatal(ReadMonsterGroups).find(U8(u8"異常値")), std::string::npos);
  std::filesystem::remove("data/mon_cfg/group.csv");
  EXPECT_EQ(Fatal(ReadMonsterGroups), U8(u8"[data/mon_cfg/group.csv]はありません"));
}

TEST_F(MonsterTest, EncounterChoiceFollowsTheRoll) {
  Monsters({{2001, "NAME,a\n"}, {2002, "NAME,b\n"}, {2003, "NAME,c\n"}});
  ReadMonsterData();
  Write("data/mon_cfg/group.csv", "0,2001\n1,2001,2002,2003\n2,2002\n");
  ReadMonsterGroups();

  EXPECT_EQ(SelectEnemyGroup(1), 1);
  EXPECT_EQ(SelectEnemyGroup(32), 0);  // nothing changes
  EXPECT_EQ(SelectEnemyGroup(-1), 1);

  for (unsigned seed = 1; seed < 200; ++seed) {
    srand(seed);
    int roll = rand() % 100;
    int pick = rand() % 3;
    srand(seed);
    int32_t got = PickRandomEnemy(-1, 30);
    EXPECT_EQ(got, roll <= 30 ? 2001 + pick : 0) << seed;
  }
  // Percent 0 still meets a monster on a roll of 0; 99 always does.
  for (unsigned seed = 1; seed < 300; ++seed) {
    srand(seed);
    int roll = rand() % 100;
    srand(seed);
    EXPECT_EQ(PickRandomEnemy(2, 0), roll == 0 ? 2002 : 0);
    EXPECT_EQ(PickRandomEnemy(2, 99), 2002);
  }
  EXPECT_EQ(PickRandomEnemy(0, 100), 0);   // group 0: no encounters
  EXPECT_EQ(PickRandomEnemy(5, 100), 0);   // an empty group
  EXPECT_EQ(PickRandomEnemy(32, 100), 0);
  GameStateBlock.group = 77;  // as a damaged save might hold
  EXPECT_EQ(PickRandomEnemy(-1, 100), 0);
}

TEST_F(MonsterTest, CurrentEnemyIsACopyAtFullStrength) {
  Monsters({{2001, "NAME,a\nHP,30\nSTR,4\nDEX,6\n"}});
  ReadMonsterData();
  EXPECT_EQ(SetCurrentEnemy(-1), 0);
  EXPECT_EQ(SetCurrentEnemy(2001), 2001);
  EXPECT_EQ(CurrentEnemy.hp, 30);
  EXPECT_EQ(CurrentEnemy.str, 4);
  EXPECT_EQ(CurrentEnemy.dex, 6);
  EXPECT_EQ(SetCurrentEnemy(2002), -1);
  EXPECT_EQ(SetCurrentEnemy(3024), -1);
  EXPECT_EQ(SetCurrentEnemy(-1), 2001);
  EXPECT_EQ(SetCurrentEnemy(2000), 2001);
  EXPECT_EQ(SetCurrentEnemy(0), 0);
  EXPECT_EQ(CurrentEnemy.num, 0);
  EXPECT_EQ(CurrentEnemy.name, nullptr);
}

class MonsterCommandTest : public MonsterTest {
 protected:
  void SetUp() override {
    MonsterTest::SetUp();
    Monsters({{2001,
               "NAME,a\nHP,30\nAUTH,me\nPIC1,data/pic/a.png\nMSG31,last\nTHIEF,100,0\nSUICIDE,100\n"
               "META,100\nWEAKPOINT,5,6\nWEAKCG,50,60\nTREASURE,10,20\nITEMS,1005,1006\nHEAL,0,9\n"
               "ATTACK1,1,77\nMAGIC,100,31,3\nGOLD,9\n"},
              {2005, "NAME,b\nMETA,100,2005\nSUICIDE,0\nTHIEF,99,100\nPOISON,100,-1\nMAGIC,100,1,268435456\n"}});
    ReadMonsterData();
    std::memset(ItemTable, 0, sizeof ItemTable);
    ItemTable[0].number = 1005;
  }
};

TEST_F(MonsterCommandTest, TheTargetRule) {
  EXPECT_EQ(Call(macro_enemy_NUM, {"1999"}).text, "0");
  EXPECT_EQ(Call(macro_enemy_NUM, {"3024"}).text, "0");
  EXPECT_EQ(Call(macro_enemy_NUM, {"2000"}).text, "0");
  EXPECT_EQ(Call(macro_enemy_NUM, {}).text, "0");  // no current enemy
  EXPECT_EQ(Call(macro_enemy_cur, {"2001"}).text, "2001");
  EXPECT_EQ(Call(macro_enemy_NUM, {}).text, "2001");
  EXPECT_EQ(Call(macro_enemy_hp, {}).text, "30");
  EXPECT_EQ(Call(macro_enemy_hp, {"2001"}).text, "0");  // the table's current words are 0
  Result name = Call(macro_enemy_NAME, {"1999"});
  EXPECT_EQ(name.tag, "S");
  EXPECT_EQ(name.text, "");
  EXPECT_EQ(Call(macro_enemy_NAME, {"2005"}).text, "b");
  EXPECT_EQ(Call(macro_enemy_AUTH, {}).text, "me");
  EXPECT_EQ(Call(macro_enemy_GOLD, {"0x7D1"}).text, "9");
  EXPECT_EQ(Call(macro_enemy_WEAK, {"5", "1999"}).text, "-1");
  EXPECT_EQ(Call(macro_enemy_WEAK, {"6"}).text, "60");
  EXPECT_EQ(Call(macro_enemy_WEAK, {"7"}).text, "-1");
  EXPECT_EQ(Call(macro_enemy_PIC, {}).text, "data/pic/a.png");
  EXPECT_EQ(Call(macro_enemy_PIC, {"8"}).text, "");
  EXPECT_EQ(Call(macro_enemy_MSG, {"31"}).text, "last");
  EXPECT_EQ(Call(macro_enemy_MSG, {"32", "2001"}).text, "");
  // The _set names only read.
  EXPECT_EQ(Call(macro_enemy_hp, {"", "5"}).text, Call(macro_enemy_hp, {""}).text);
  EXPECT_EQ(Call(macro_enemy_cur, {"0"}).text, "0");
  EXPECT_EQ(Call(macro_enemy_NAME, {}).text, "");
}

TEST_F(MonsterCommandTest, Rolls) {
  Call(macro_enemy_cur, {"2001"});
  for (unsigned seed = 1; seed < 100; ++seed) {
    srand(seed);
    EXPECT_EQ(Call(macro_enemy_SUICIDE, {}).text, "1");  // chance 100 always
    EXPECT_EQ(Call(macro_enemy_SUICIDE, {"2005"}).text, "0");
    EXPECT_EQ(Call(macro_enemy_THEF, {}).text, "-1");  // first always, second never
    EXPECT_EQ(Call(macro_enemy_META, {}).text, "-1");  // no monsters to call
    EXPECT_EQ(Call(macro_enemy_META, {"2005"}).text, "2005");
    EXPECT_EQ(Call(macro_enemy_HEAL, {}).text, "0");
    EXPECT_EQ(Call(macro_enemy_ATTACK1, {}).text, "77");  // one in one
    EXPECT_EQ(Call(macro_enemy_ATTACK2, {}).text, "0");
    EXPECT_EQ(Call(macro_enemy_MAGIC, {}).text, "63");  // 3 * 16 + (31 & 15)
    EXPECT_EQ(Call(macro_enemy_MAGIC, {"2005"}).text, "1");  // 2^28 * 16 wraps in 32 bits
    EXPECT_EQ(Call(macro_enemy_POISON, {"2005"}).text, "-1");
    EXPECT_EQ(Call(macro_enemy_AWAY, {}).text, "0");

    srand(seed);
    int roll = rand() % 100;
    srand(seed);
    EXPECT_EQ(Call(macro_enemy_THEF, {"2005"}).text, roll < 99 ? "1" : "0");

    srand(seed);
    roll = rand() % 100;
    srand(seed);
    // Chances {10, 20}: rolls 0-10 give pair 0, 11-29 pair 1 (no such item), 30 on nothing.
    EXPECT_EQ(Call(macro_enemy_ITEMS, {}).text, roll <= 10 ? "1005" : roll < 30 ? "-1" : "0") << roll;
  }
  EXPECT_EQ(Call(macro_enemy_THEF, {"1999"}).text, "0");
}

TEST_F(MonsterCommandTest, TheCryIsFoundInTheSoundTable) {
  Monsters({{2001, "NAME,a\nSOUND,roar.wav\n"}, {2002, "NAME,b\n"}});
  ReadMonsterData();
  EXPECT_EQ(Call(macro_enemy_SOUND, {"2001"}).text, "0");  // not in the table
  char roar[] = "data/sound/roar.wav";
  char other[] = "data/sound/other.wav";
  SoundTable[3].file = other;
  SoundTable[7].file = roar;
  EXPECT_EQ(Call(macro_enemy_SOUND, {"2001"}).text, "7");
  EXPECT_EQ(Call(macro_enemy_SOUND, {"2002"}).text, "0");  // no SOUND
  EXPECT_EQ(Call(macro_enemy_SOUND, {"1999"}).text, "0");
  SoundTable[3].file = nullptr;
  SoundTable[7].file = nullptr;
}

TEST_F(MonsterCommandTest, SelectionAndDefeatCounts) {
  Write("data/mon_cfg/group.csv", "2,2005\n");
  ReadMonsterGroups();
  EXPECT_EQ(Call(macro_enemy_group, {"2"}).text, "2");
  EXPECT_EQ(Call(macro_enemy_group, {}).text, "2");
  EXPECT_EQ(Call(macro_enemy_rnd, {"100"}).text, "2005");
  EXPECT_EQ(Call(macro_enemy_rnd, {"100", "0"}).text, "0");
  EXPECT_EQ(Call(macro_enemy_rip, {"2005", "3"}).text, "3");
  EXPECT_EQ(GameStateBlock.enemy_rip[5], 3);
  EXPECT_EQ(Call(macro_enemy_rip, {"2005"}).text, "3");
  EXPECT_EQ(Call(macro_enemy_rip, {}).text, "0");
  EXPECT_EQ(Call(macro_enemy_rip, {"2006", "4"}).text, "0");
  EXPECT_EQ(GameStateBlock.enemy_rip[6], 0);
}

TEST_F(MonsterCommandTest, RegisteredUnderTheirNames) {
  ScriptClearFunctions();
  RegisterMonsterMacros();
  int n = 0;
  for (MacroEntry* e = MacroList; e; e = e->next) ++n;
  EXPECT_EQ(n, 36);
  for (MacroEntry* e = MacroList; e; e = e->next)
    if (std::strcmp(e->name, "enemy_hp_set") == 0) {
      EXPECT_EQ(e->handler, macro_enemy_hp);
    }
  ScriptClearFunctions();
}

}  // namespace
}  // namespace gamerpg_test
