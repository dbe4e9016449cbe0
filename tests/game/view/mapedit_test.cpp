// The map editor: its cursor, its pickers and saving the map.
#include "game/mapedit.h"

#include <filesystem>

#include "game/editor.h"
#include "game/explore.h"
#include "tests/game/view/fixture.h"

namespace gameview_test {
namespace {

class MapEditing : public ViewTest {
 protected:
  void SetUp() override {
    ViewTest::SetUp();
    MapEditorRow = 0;
    ResetKeyBits();
    MapPartTable[255] = Part(0x808080);
    Texture(255, 0x404040);
  }
  // Keys far enough apart for the key-repeat delay (also after the last key
  // the editor read); a window closed well after the last key turns an editor
  // that missed its Esc into a failure instead of a hang.
  void Keys(std::initializer_list<int> keys) {
    uint64_t frame = host_.frames_presented() + 20;
    for (int k : keys) {
      host_.key_press(frame, k);
      frame += 20;
    }
    host_.close(frame + 200);
  }
  MapCell& cell_ = DungeonMap[0].cells[12][12];
};

TEST_F(MapEditing, TheCursorWrapsAndEscLeaves) {
  Keys({host::key::Up, host::key::Escape});
  MapEditor(20, 20, 12, 12, 0, 0);
  EXPECT_EQ(MapEditorRow, 22);
  Keys({host::key::Down, host::key::Down, host::key::Escape});
  MapEditor(20, 20, 12, 12, 0, 0);
  EXPECT_EQ(MapEditorRow, 1);
}

TEST_F(MapEditing, TheWallAheadFollowsTheHeading) {
  MapEditorRow = 3;
  Keys({host::key::Return, host::key::Right, host::key::Down, host::key::Return, host::key::Escape});
  MapEditor(20, 20, 12, 12, 0, -90);
  EXPECT_EQ(cell_.face(FACE_WEST, FACE_TEXTURE), 17);
  Keys({host::key::Return, host::key::Left, host::key::Return, host::key::Escape});
  MapEditor(20, 20, 12, 12, 0, 360);
  EXPECT_EQ(cell_.face(FACE_NORTH, FACE_TEXTURE), 15);  // column 0 wraps to 15
}

TEST_F(MapEditing, EscInAPickerKeepsTheValueButTheBitEditorKeepsItsChanges) {
  cell_.w[CELL_KIND] = 33;
  Keys({host::key::Return, host::key::Down, host::key::Escape, host::key::Escape});
  MapEditor(20, 20, 12, 12, 0, 0);
  EXPECT_EQ(cell_.w[CELL_KIND], 33);

  MapEditorRow = 21;
  Keys({host::key::Return, host::key::Up, host::key::Right, host::key::Right, host::key::Up, host::key::Left,
        host::key::Left, host::key::Down, host::key::Escape, host::key::Escape});
  MapEditor(20, 20, 12, 12, 0, 0);
  EXPECT_EQ(cell_.w[CELL_FLAG], 0x4);
  EXPECT_EQ(MapFlags[0][12][12], 0x4u);
}

TEST_F(MapEditing, ChoosingTreasureShowsIt) {
  MapEditorRow = 16;
  Keys({host::key::Return, host::key::Right, host::key::Return, host::key::Escape});
  MapEditor(20, 20, 12, 12, 0, 0);
  EXPECT_EQ(cell_.w[CELL_BOX], 1);
  EXPECT_EQ(cell_.w[CELL_FLAG] & MAPFLAG_TREASURE, MAPFLAG_TREASURE);
  EXPECT_EQ(MapFlags[0][12][12] & MAPFLAG_TREASURE, MAPFLAG_TREASURE);
}

TEST_F(MapEditing, SavingKeepsTheOldMapAsideAndWritesOneThatReadsBack) {
  TempDir::Write("data/map/map.cfg", "# the old map\n");
  cell_.w[CELL_EVNT] = 42;
  DungeonMap[3].cells[1][2].face(FACE_EAST, FACE_DOOR) = 7;
  MapEditorRow = 22;
  Keys({host::key::Return, host::key::Escape});
  MapEditor(20, 20, 12, 12, 0, 0);
  ASSERT_FALSE(host_.message_boxes().empty());
  EXPECT_EQ(host_.message_boxes().back().text, U8("セーブ完了しました"));
  EXPECT_EQ(host_.message_boxes().back().caption, U8("インフォメーション"));
  EXPECT_EQ(MsgBuf[0], 0);
  int backups = 0;
  for (const auto& e : std::filesystem::directory_iterator("data/map")) {
    const std::string name = e.path().filename().string();
    if (name.rfind("map_", 0) == 0 && name.size() == std::string("map_20261207_085800.cfg").size()) {
      ++backups;
      EXPECT_EQ(TempDir::Read("data/map/" + name), "# the old map\n");
    }
  }
  EXPECT_EQ(backups, 1);
  ClearMapData();
  ReadMapData("data/map/map.cfg");
  EXPECT_EQ(DungeonMap[0].cells[12][12].w[CELL_EVNT], 42);
  EXPECT_EQ(DungeonMap[3].cells[1][2].face(FACE_EAST, FACE_DOOR), 7);
}

TEST_F(MapEditing, AMapThatCannotBeWrittenIsReportedAndTheOldOneStays) {
  // A folder in the map's place cannot be replaced by a file.
  TempDir::Write("data/map/map.cfg/keep", "x");
  MapEditorRow = 22;
  Keys({host::key::Return, host::key::Escape});
  MapEditor(20, 20, 12, 12, 0, 0);
  ASSERT_FALSE(host_.message_boxes().empty());
  EXPECT_EQ(host_.message_boxes().back().text, U8("セーブに失敗しました"));
  EXPECT_EQ(TempDir::Read("data/map/map.cfg/keep"), "x");
}

}  // namespace
}  // namespace gameview_test
