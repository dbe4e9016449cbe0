// The item windows: choosing with scripted keys, what they leave on the screen.
#include <cstring>
#include <vector>

#include "game/enemy.h"
#include "game/explore.h"
#include "game/gamestate.h"
#include "game/item.h"
#include "game/item_window.h"
#include "game/macro/macro_item.h"
#include "tests/game/rpg/fixture.h"

namespace gamerpg_test {
namespace {

class ItemWindowTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    std::memset(&GameStateBlock, 0, sizeof GameStateBlock);
    std::memset(ItemBuffer, 0, sizeof ItemBuffer);
    std::memset(&CurrentEnemy, 0, sizeof CurrentEnemy);
    TempDir::Write("data/pic/i.png", Png(32, 32, 200, 100, 50));
    TempDir::Write("data/system/win.png", Png(96, 240, 90, 90, 90));
    // Entry k: item 1000 + k of class 3; entry 30 has no price, 31 is of class 7.
    std::string rows;
    for (int k = 0; k < 32; ++k) {
      int price = k == 30 ? 0 : 100 + k;
      int equip = k == 31 ? 7 : 3;
      rows += std::to_string(1000 + k) + ",data/pic/i.png,n" + std::to_string(k) + ",1,2,3,0," +
              std::to_string(equip) + ",0,0,0,0,0," + std::to_string(price) + ",0\n";
    }
    Write("data/item/item.csv", rows);
    ReadItemData();
    ResetKeyBits();
  }
  // Keys pressed one after another, far enough apart for the repeat delay.
  void Keys(std::initializer_list<int> keys) {
    uint64_t frame = host_.frames_presented() + 15;  // past the last report's delay
    for (int key : keys) {
      host_.key_press(frame, key);
      frame += 20;
    }
  }
  static void Bank(int count) {
    for (int k = 0; k < count; ++k) BankItems[k] = ItemSlot{1, 0, 0, k};
  }
};

TEST_F(ItemWindowTest, TheCursorWrapsOverPages) {
  Bank(20);
  using host::key::Down, host::key::Escape, host::key::Left, host::key::Return, host::key::Right, host::key::Up;
  Keys({Up, Return});
  EXPECT_EQ(ShowItemEquipList(2, 0, 0, 0, 3, 0), 19);  // page 2, row 3
  Keys({Left, Return});
  EXPECT_EQ(ShowItemEquipList(2, 0, 0, 0, 3, 0), 8);  // from page 0 to page 1
  Keys({Down, Return});
  EXPECT_EQ(ShowItemEquipList(2, 0, 0, 19, 3, 0), 0);
  Keys({Right, Right, Return});
  EXPECT_EQ(ShowItemEquipList(2, 0, 0, 5, 3, 0), 19);  // page 2 has four: the last
  Keys({Down, Down, Return});
  EXPECT_EQ(ShowItemEquipList(2, 0, 0, 6, 3, 0), 8);
  Keys({Escape});
  EXPECT_EQ(ShowItemEquipList(2, 0, 0, 3, 3, 0), -2);
  Keys({Return});
  EXPECT_EQ(ShowItemEquipList(2, 0, 0, -1, 3, 0), -1);
  // Only items of the class asked for; a kind below -1 takes classes above 5.
  Bank(32);
  Keys({Return});
  EXPECT_EQ(ShowItemEquipList(2, 0, 0, 0, -2, 0), 31);
  Keys({Up, Return});
  EXPECT_EQ(ShowItemEquipList(2, 0, 0, 0, 3, 0), 30);
}

TEST_F(ItemWindowTest, ShortListsStayOnTheirPage) {
  Bank(5);
  using host::key::Left, host::key::Return;
  // Left on a list of one page stays on it (no page -1, no cursor before the list).
  Keys({Left, Return});
  EXPECT_EQ(ShowItemEquipList(2, 0, 0, 2, 3, 0), 2);
  // A cursor past the end comes back to the last entry.
  Keys({Return});
  EXPECT_EQ(ShowItemEquipList(2, 0, 0, 50, 3, 0), 4);
  // The carried list starts with the take-off entry.
  CarriedItems[0] = ItemSlot{1, 0, 0, 7};
  CarriedItems[1] = ItemSlot{1, 0, 0, 9};
  Keys({Return});
  EXPECT_EQ(ShowItemEquipList(0, 0, 0, 0, 3, 0), -1);
  Keys({Return});
  EXPECT_EQ(ShowItemEquipList(0, 0, 0, 2, 3, 0), 1);
  Keys({host::key::Escape});
  EXPECT_EQ(ShowItemEquipList(0, 0, 0, 0, 3, 0), -2);
  std::memset(BankItems, 0, sizeof BankItems);
  Keys({Return});
  EXPECT_EQ(ShowItemEquipList(2, 0, 0, 0, 3, 0), -1);  // an empty list
}

TEST_F(ItemWindowTest, TheScreenIsLeftAsFound) {
  Bank(3);
  dxcls(dxrgb(10, 200, 30));
  Keys({host::key::Return});
  ShowItemEquipList(2, 20, 30, 0, 3, 0);
  EXPECT_EQ(dxgetpixel(60, 60), dxrgb(10, 200, 30));
  EXPECT_EQ(dxgetpixel(20, 30), dxrgb(10, 200, 30));
  // While it ran, the cursor row was tinted red and the others blue.
  const host::Frame* f = host_.last_frame();
  ASSERT_NE(f, nullptr);
  uint32_t cursor_row = f->at(20 + 100, 30 + 19 + 20), other_row = f->at(20 + 100, 30 + 19 + 32 + 20);
  EXPECT_GT(cursor_row >> 16 & 0xFF, other_row >> 16 & 0xFF);
  EXPECT_LT(cursor_row & 0xFF, other_row & 0xFF);
}

TEST_F(ItemWindowTest, SellingListsPricedItems) {
  for (int k = 0; k < 32; ++k) CarriedItems[k] = ItemSlot{1, 0, 0, 29 + (k % 3)};  // 29, 30 (no price), 31
  using host::key::Down, host::key::Return;
  Keys({Down, Return});
  EXPECT_EQ(ShowItemSellList(0, 0, 0, 0, 2), 2);  // the second priced slot
  Keys({Return});
  EXPECT_EQ(ShowItemSellList(0, 0, 0, 0, 0), 0);  // no divisor: no price, still a choice
  Keys({Return});
  EXPECT_EQ(ShowItemSellList(1, 0, 0, 0, 2), -1);  // the bank is empty
}

TEST_F(ItemWindowTest, TheShopAndEquipmentWindowsDrawOnce) {
  Bank(8);
  uint64_t frames = host_.frames_presented();
  EXPECT_EQ(ShowItemShopWindow(1, 0, 0, -1), 0);
  EXPECT_EQ(ShowItemShopWindow(2, 0, 0, 3), 0);
  EXPECT_EQ(host_.frames_presented(), frames);  // nothing presented
  EXPECT_EQ(Call(macro_item_window, {}).text, "0");

  EquipSlots[3] = ItemSlot{1, 0, 0, 4};
  dxcls(dxrgb(0, 0, 0));
  EXPECT_EQ(ShowEquipmentWindow(0, 10, 10, 0), 3);  // the weapon block, shown first
  uint32_t lit = dxgetpixel(10 + 60, 10 + 37 + 30), plain = dxgetpixel(10 + 60, 10 + 37 + 48 + 30);
  EXPECT_GT(lit >> 8 & 0xFF, plain >> 8 & 0xFF);
  EXPECT_EQ(ShowEquipmentWindow(0, 0, 0, 4), 4);
  EXPECT_EQ(ShowEquipmentWindow(0, 0, 0, 12), 12);
  EXPECT_EQ(Call(macro_item_equip_window, {"100", "50"}).text, "-1");
  Keys({host::key::Escape});
  EXPECT_EQ(Call(macro_item_window_equip, {"2", "0", "0", "0", "3"}).text, "-2");
  Keys({host::key::Return});
  EXPECT_EQ(Call(macro_item_window_sell, {"1"}).text, "-1");  // default cursor -1
}

}  // namespace
}  // namespace gamerpg_test
