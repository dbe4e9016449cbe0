// The demo game's item, monster and group tables read by the game's own
// readers on a headless display: no fatal stop, no warning, and the values the
// scripts rely on.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "dx/dx.h"
#include "game/enemy.h"
#include "game/item.h"
#include "game/picture.h"
#include "tests/common/game_display.h"
#include "tests/data/data_files.h"


namespace {

class DemoReaders : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(testcommon::OpenGameDisplay(host_));
    // The first start-up makes the executable's folder the working directory.
    here_ = std::make_unique<datacheck::InRoot>();
  }
  void TearDown() override {
    here_.reset();
    testcommon::CloseGameDisplay();
  }
  // What the message boxes said, for the failure report.
  std::string Boxes() const {
    std::string out;
    for (const auto& box : host_.message_boxes()) out += box.text + "\n";
    return out;
  }
  host::HeadlessHost host_;
  std::unique_ptr<datacheck::InRoot> here_;
};

const ItemRecord* Item(int number) {
  for (const ItemRecord& r : ItemTable)
    if (r.number == number) return &r;
  return nullptr;
}

TEST_F(DemoReaders, ItemsLoadWithTheirPictures) {
  ASSERT_NO_THROW(ReadItemData()) << Boxes();
  EXPECT_TRUE(host_.message_boxes().empty()) << Boxes();
  ASSERT_NE(ItemPictureSheet, nullptr);
  // Row order is entry order: the first row is the starting weapon.
  EXPECT_EQ(ItemTable[0].number, 1001);
  const ItemRecord* herb = Item(1061);
  ASSERT_NE(herb, nullptr);
  EXPECT_EQ(herb->equip, -1);
  EXPECT_EQ(herb->count, 9);
  EXPECT_EQ(herb->event_use, 400);
  EXPECT_STRNE(herb->comment, "");
  const ItemRecord* spear = Item(1003);
  ASSERT_NE(spear, nullptr);
  EXPECT_LT(spear->price, 0);  // shown sold out in the shop
  EXPECT_EQ(spear->equip, 3);
  const ItemRecord* lamp = Item(1051);
  ASSERT_NE(lamp, nullptr);
  EXPECT_EQ(lamp->equip, 6);  // the further items' first position
}

TEST_F(DemoReaders, MonstersAndGroupsLoad) {
  ASSERT_NO_THROW(ReadMonsterData()) << Boxes();
  ASSERT_NO_THROW(ReadMonsterGroups()) << Boxes();
  EXPECT_TRUE(host_.message_boxes().empty()) << Boxes();
  for (int n = 2001; n <= 2008; ++n) {
    const MonsterRec& m = MonsterTable[n - 2000];
    SCOPED_TRACE(n);
    EXPECT_EQ(m.num, n);
    ASSERT_NE(m.name, nullptr);
    ASSERT_NE(m.pic[0], nullptr);
    EXPECT_GT(m.hp_max, 0);
    EXPECT_GT(m.gold, 0);
    ASSERT_NE(m.sound, nullptr);
    EXPECT_EQ(std::string(m.sound).rfind("data/sound/se_cry", 0), 0u);
  }
  // The guardian: two pictures, two weak points, kept out of the opening only.
  const MonsterRec& guardian = MonsterTable[8];
  EXPECT_NE(guardian.pic[1], nullptr);
  EXPECT_EQ(guardian.weak[0].point, 1003);
  EXPECT_EQ(guardian.weak[0].cg, 3);
  EXPECT_EQ(guardian.weak[1].point, 1002);
  EXPECT_EQ(guardian.demo, 1);
  // The bat calls more bats.
  EXPECT_EQ(MonsterTable[2].meta[0], 15);
  EXPECT_EQ(MonsterTable[2].meta[1], 2002);
  // Groups by floor, and the guardian's own.
  EXPECT_EQ(EncounterGroups[1][0], 2001);
  EXPECT_EQ(EncounterGroups[1][1], 2002);
  EXPECT_EQ(EncounterGroups[2][3], 2006);
  EXPECT_EQ(EncounterGroups[3][2], 2007);
  EXPECT_EQ(EncounterGroups[4][0], 2008);
  EXPECT_EQ(EncounterGroups[4][1], 0);
  EXPECT_EQ(EncounterGroups[0][0], 0);  // no encounters
}

}  // namespace
