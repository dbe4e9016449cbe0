#include <gtest/gtest.h>

#include <string>

#include "dx/dx.h"
#include "game/fatal.h"
#include "game/map.h"
#include "platform/win32/display.h"
#include "tests/bitmaps/png_writer.h"
#include "tests/game/game_fixture.h"

namespace {

using gametest::GameTest;
using gametest::U8;

class MapTest : public GameTest {
 protected:
  void Parse(const std::string& text) { ParseMapData(text.data(), text.size()); }
  // The header of floor f and its MAP line.
  static std::string Header(int f, const std::string& extra = "") {
    return "#MAP(" + std::to_string(f) + ")\n" + extra + std::to_string(f) + " MAP\n";
  }
  // Stops the program; the box's text.
  std::string Fatal(const std::string& text) {
    EXPECT_THROW(Parse(text), host::ProcessExit);
    return Boxes() ? host_.message_boxes().back().text : "";
  }
};

TEST_F(MapTest, EveryKeyOfAFloorAndACell) {
  std::string text = Header(0, "0 ENV forest\n0 TIT 地下一階\n0 TAL 12\n0 XYZ ignored\n") +
                     "0 3 4 2 12\n0 3 4 2 DOOR 1\n0 3 4 2 FIRE 2\n0 3 4 2 MESS 3\n0 3 4 2 PEVE 104\n0 3 4 2 PARA 5\n";
  const char* keys[] = {"STPU", "STPD", "WATR", "WARP", "EVNT", "PARA", "FOG",
                        "BOX",  "DESERT", "TOWER", "TREE", "KIND", "FLAG", "BG"};
  for (int i = 0; i < 14; ++i) text += "0 3 4 6 " + std::string(keys[i]) + " " + std::to_string(100 + i) + "\r\n";
  text += "0 5 4 5 7\n";
  Parse(text);
  const MapFloor& f = DungeonMap[0];
  EXPECT_STREQ(f.ENV, "forest");
  EXPECT_STREQ(f.TIT, "地下一階");
  EXPECT_EQ(f.TAL, 12);
  const MapCell& c = f.cells[3][4];
  EXPECT_EQ(c.face(FACE_SOUTH, FACE_TEXTURE), 12);
  EXPECT_EQ(c.face(FACE_SOUTH, FACE_DOOR), 1);
  EXPECT_EQ(c.face(FACE_SOUTH, FACE_FIRE), 2);
  EXPECT_EQ(c.face(FACE_SOUTH, FACE_MESS), 3);
  EXPECT_EQ(c.face(FACE_SOUTH, FACE_PEVE), 104);
  EXPECT_EQ(c.face(FACE_SOUTH, FACE_PARA), 5);
  int words[] = {CELL_STPU, CELL_STPD, CELL_WATR, CELL_WARP, CELL_EVNT, CELL_PARA, CELL_FOG,
                 CELL_BOX,  CELL_DESERT, CELL_TOWER, CELL_TREE, CELL_KIND, CELL_FLAG, CELL_BG};
  for (int i = 0; i < 14; ++i) EXPECT_EQ(c.w[words[i]], 100 + i) << keys[i];
  EXPECT_EQ(f.cells[5][4].face(FACE_DOWN, FACE_TEXTURE), 7);
  EXPECT_EQ(f.cells[3][3].w[CELL_EVNT], 0);
  EXPECT_EQ(DungeonMap[1].TIT, nullptr);  // the file ended: the rest stays empty
}

TEST_F(MapTest, LinesMustComeInCellOrder) {
  // Cell (3, 4) after cell (5, 4) is never matched: the next floor's header
  // check meets it and stops the program.
  std::string box = Fatal(Header(0) + "0 5 4 6 EVNT 1\n0 3 4 6 EVNT 2\n" + Header(1));
  EXPECT_NE(box.find(":MapReadError[4] "), std::string::npos) << box;
  EXPECT_NE(box.find("[0/1]\n0 3 4 6 EVNT 2"), std::string::npos) << box;
}

TEST_F(MapTest, AHeaderOfAnotherFloorStops) {
  std::string box = Fatal("1 ENV x\n");
  EXPECT_NE(box.find("MapReadError[1] "), std::string::npos) << box;
  EXPECT_NE(box.find("[1/0]\n1 ENV x"), std::string::npos) << box;
}

TEST_F(MapTest, KeysBelongToFacesOrCells) {
  EXPECT_NE(Fatal(Header(0) + "0 0 0 2 WARP 1\n").find(U8(u8"MAPデータの以下の部分に問題があります \n0 0 0 2 WARP 1")),
            std::string::npos);
  EXPECT_NE(Fatal(Header(0) + "0 0 0 6 DOOR 1\n").find(U8(u8"MAPデータの以下の部分に問題があります\n0 0 0 6 DOOR 1")),
            std::string::npos);
  // A negative face names no word: refused, not written before the cell.
  EXPECT_NE(Fatal(Header(0) + "0 0 0 -1 EVNT 1\n").find(U8(u8"問題があります\n0 0 0 -1")), std::string::npos);
  Parse(Header(0) + "0 0 0 6 WARP 9\n0 0 0 7 BG 3\n");
  EXPECT_EQ(DungeonMap[0].cells[0][0].w[CELL_WARP], 9);
  EXPECT_EQ(DungeonMap[0].cells[0][0].w[CELL_BG], 3);
}

TEST_F(MapTest, CommentsBlankLinesAndLongLines) {
  std::string longline = "0 1 0 6 EVNT 5" + std::string(1500, ' ') + "x\n";
  Parse("\n#x\n\r\n" + Header(0) + "0 0 0 6 EVNT 4\n\n" + longline);
  EXPECT_EQ(DungeonMap[0].cells[0][0].w[CELL_EVNT], 4);
  EXPECT_EQ(DungeonMap[0].cells[1][0].w[CELL_EVNT], 5);
}

TEST_F(MapTest, AMissingFileLeavesAnEmptyMap) {
  Parse(Header(0) + "0 0 0 6 EVNT 4\n");
  ReadMapData("data/map/none.cfg");
  EXPECT_EQ(DungeonMap[0].cells[0][0].w[CELL_EVNT], 0);
  EXPECT_EQ(Boxes(), 0u);
}

TEST_F(MapTest, WrittenMapsReadBackTheSame) {
  Parse(Header(0, "0 ENV cave\n0 TAL 3\n") + "0 3 4 2 12\n0 3 4 2 PEVE 104\n0 3 4 6 EVNT 105\n");
  DungeonMap[14].cells[24][24].w[CELL_BG] = -7;
  DungeonMap[7].cells[0][24].face(FACE_UP, FACE_MESS) = 2;
  DungeonMap[7].cells[0][24].face(FACE_UP, FACE_TEXTURE) = 101;
  TempDir::Write("data/map/out.cfg", "old");
  ASSERT_TRUE(WriteMapData("data/map/out.cfg"));
  // The writer stores the empty text for a floor without one.
  EXPECT_STREQ(DungeonMap[0].TIT, "");
  static MapFloor saved[kFloors];
  std::memcpy(static_cast<void*>(saved), DungeonMap, sizeof saved);
  ReadMapData("data/map/out.cfg");
  for (int f = 0; f < kFloors; ++f) {
    EXPECT_EQ(DungeonMap[f].TAL, saved[f].TAL);
    EXPECT_EQ(std::memcmp(DungeonMap[f].cells, saved[f].cells, sizeof saved[f].cells), 0) << f;
  }
  EXPECT_STREQ(DungeonMap[0].ENV, "cave");
  EXPECT_EQ(DungeonMap[14].cells[24][24].w[CELL_BG], -7);
  std::string text = TempDir::Read("data/map/out.cfg");
  EXPECT_EQ(text.rfind("#MAP(0)\n0 ENV cave\n0 TIT \n0 TAL 3\n0 MAP\n0 0 0 0 0\n", 0), 0u);
  EXPECT_NE(text.find("0 3 4 2 12\n0 3 4 2 PEVE 104\n0 3 4 3 0\n"), std::string::npos);
}

TEST_F(MapTest, ResetMapFlagsTakesTheFlagWords) {
  Parse(Header(0) + "0 2 3 6 FLAG 17\n");
  MapFlags[0][0][0] = 99;
  ResetMapFlags();
  EXPECT_EQ(MapFlags[0][2][3], 17u);
  EXPECT_EQ(MapFlags[0][0][0], 0u);
}

// The chip tables load pictures: they need a display.
class MapChipTest : public MapTest {
 protected:
  void SetUp() override {
    MapTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(OpenDisplay());
  }
  void TearDown() override {
    dxrelease();
    MapTest::TearDown();
  }
  static std::string Bmp() {
    // 2 x 2, 24 bits, bottom-up.
    std::string b = "BM";
    auto le = [&](uint32_t v, int n) {
      for (int i = 0; i < n; ++i) b += static_cast<char>(v >> (8 * i));
    };
    le(54 + 16, 4), le(0, 4), le(54, 4), le(40, 4), le(2, 4), le(2, 4), le(1, 2), le(24, 2);
    le(0, 4), le(16, 4), le(0, 4), le(0, 4), le(0, 4), le(0, 4);
    b += std::string(16, '\x40');
    return b;
  }
  static std::string Png() {
    auto b = testpng::Encode(2, 2, 2, 8, std::vector<uint8_t>(12, 0x50));
    return std::string(b.begin(), b.end());
  }
};

TEST_F(MapChipTest, TablesLoadAndALaterLineReplaces) {
  TempDir::Write("data/map_chip/chip.cfg", "# parts\n1 a.bmp\nnot a line\n1 b.bmp\n");
  TempDir::Write("data/map_chip/a.bmp", Bmp());
  TempDir::Write("data/map_chip/b.bmp", Bmp());
  TempDir::Write("data/map/chip.cfg", "5 w.png\n5 v.png\n");
  TempDir::Write("data/map/w.png", Png());
  TempDir::Write("data/map/v.png", Png());
  ReadMapChip();
  EXPECT_NE(MapPartTable[1], nullptr);
  EXPECT_STREQ(WallTextureTable[5].path, "data/map/v.png");
  EXPECT_EQ(WallTextureTable[5].picture, nullptr);  // loaded on first use
  EXPECT_EQ(LoadMapImage(&WallTextureTable[5]), 0);
  EXPECT_NE(WallTextureTable[5].picture, nullptr);
  EXPECT_EQ(LoadMapImage(&WallTextureTable[5]), 1);
  EXPECT_EQ(LoadMapImage(&WallTextureTable[6]), 1);
  FreeMapImages();
  EXPECT_EQ(WallTextureTable[5].picture, nullptr);
  EXPECT_STREQ(WallTextureTable[5].path, "data/map/v.png");
}

TEST_F(MapChipTest, BadTablesStop) {
  EXPECT_THROW(ReadMapChip(), host::ProcessExit);
  EXPECT_NE(host_.message_boxes().back().text.find(U8(u8"MAPチップ設定が読み込めません\n[data/map_chip/chip.cfg]")),
            std::string::npos);
  TempDir::Write("data/map_chip/chip.cfg", "300 a.bmp\n");
  EXPECT_THROW(ReadMapChip(), host::ProcessExit);
  EXPECT_NE(host_.message_boxes().back().text.find(U8(u8"MAPチップ設定の以下の部分に問題があります\n[data/map_chip/chip.cfg]\n300 a.bmp")),
            std::string::npos);
  TempDir::Write("data/map_chip/chip.cfg", "1 a.bmp\n");
  TempDir::Write("data/map_chip/a.bmp", Bmp());
  TempDir::Write("data/map/chip.cfg", "7 none.png\n");
  EXPECT_THROW(ReadMapChip(), host::ProcessExit);
  EXPECT_NE(host_.message_boxes().back().text.find(U8(u8"MAPイメージナンバー[7]ファイル[data/map/none.png]が読み込めませんでした\n[7 none.png]")),
            std::string::npos);
  TempDir::Write("data/map/chip.cfg", "-1 w.png\n");
  EXPECT_THROW(ReadMapChip(), host::ProcessExit);
  EXPECT_NE(host_.message_boxes().back().text.find(U8(u8"MAPイメージ設定の以下の部分に問題があります")), std::string::npos);
}

}  // namespace
