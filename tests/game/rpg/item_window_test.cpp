// The item windows: choosing with scripted keys, what they leave on the screen.
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "game/enemy.h"
#include "game/explore.h"
#include "game/gamestate.h"
#include "game/item.h"
#include "game/item_window.h"
#include "game/macro/macro_item.h"
#include "game/win.h"
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
  // One before the list stands on no entry, as -1 does: none is chosen, and
  // down goes to the first.
  Keys({Return});
  EXPECT_EQ(ShowItemSellList(1, 0, 0, -9, 2), -1);
  Keys({host::key::Down, Return});
  EXPECT_EQ(ShowItemSellList(1, 0, 0, INT32_MIN, 2), 0);
  Keys({host::key::Down, Return});
  EXPECT_EQ(ShowItemEquipList(2, 0, 0, INT32_MIN, 3, 0), 0);
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

TEST_F(ItemWindowTest, TheChoosingCommandsOnTheirDefaults) {
  // Class-0 items 1001 and 1002 (priced 101 and 0) and class-3 item 1003.
  Write("data/item/item.csv",
        "1001,data/pic/i.png,aa,0,0,0,0,0,0,0,0,0,0,101,0\n"
        "1002,data/pic/i.png,bb,0,0,0,0,0,0,0,0,0,0,0,0\n"
        "1003,data/pic/i.png,cc,0,0,0,0,3,0,0,0,0,0,50,0\n");
  ReadItemData();
  CarriedItems[0] = ItemSlot{1, 0, 0, 2};
  CarriedItems[1] = ItemSlot{1, 0, 0, 1};
  CarriedItems[2] = ItemSlot{1, 0, 0, 0};
  BankItems[0] = ItemSlot{1, 0, 0, 2};
  using host::key::Down, host::key::Return;
  // The carried list of class 0 at (0, 0), no row chosen: the first Down
  // reaches the take-off entry, the next ones slots 1 and 2.
  Keys({Return});
  EXPECT_EQ(Call(macro_item_window_equip, {}).text, "-1");
  Keys({Down, Down, Return});
  EXPECT_EQ(Call(macro_item_window_equip, {}).text, "1");
  Keys({Down, Down, Down, Return});
  EXPECT_EQ(Call(macro_item_window_equip, {}).text, "2");
  const host::Frame* f = host_.last_frame();
  ASSERT_NE(f, nullptr);
  const int width = EquipListLayout.width;
  // The window stood at (0, 0): the chosen third row red, the first blue.
  uint32_t row0 = f->at(width / 2, 19 + 2), row2 = f->at(width / 2, 19 + 64 + 2);
  EXPECT_GT(row0 & 0xFF, row2 & 0xFF);
  EXPECT_LT(row0 >> 16 & 0xFF, row2 >> 16 & 0xFF);

  // Selling from the carried list at half price: only priced items (slots 0
  // and 2; 101 sells for 50), with the price in red at the row's right.
  Keys({Down, Down, Return});
  EXPECT_EQ(Call(macro_item_window_sell, {}).text, "2");
  f = host_.last_frame();
  ASSERT_NE(f, nullptr);
  auto red_in_row = [&](const host::Frame* frame, int r) {
    int red = 0;
    for (int y = 19 + 32 * r; y < 19 + 32 * r + 31; ++y)
      for (int x = SellListLayout.width - 60; x < SellListLayout.width - 8; ++x) red += frame->at(x, y) == 0xFF0101u;
    return red;
  };
  EXPECT_GT(red_in_row(f, 1), 0);
  // No divisor: no price, the same choice.
  Keys({Down, Down, Return});
  EXPECT_EQ(Call(macro_item_window_sell, {"0", "0", "0", "-1", "0"}).text, "2");
  EXPECT_EQ(red_in_row(host_.last_frame(), 1), 0);
}

// The dark runs of a list row's text band: each [first, last] column where
// the black text is, runs closer than a character cell joined.
std::vector<std::pair<int, int>> TextRuns(int x0, int x1, int top, int height) {
  std::vector<std::pair<int, int>> runs;
  for (int x = x0; x < x1; ++x) {
    bool dark = false;
    for (int y = top; y < top + height && !dark; ++y) {
      const uint32_t p = dxgetpixel(x, y);
      dark = (p >> 16 & 0xFF) < 48 && (p >> 8 & 0xFF) < 48 && (p & 0xFF) < 48;
    }
    if (!dark) continue;
    if (!runs.empty() && x - runs.back().second <= 6)
      runs.back().second = x;
    else
      runs.push_back({x, x});
  }
  return runs;
}

TEST_F(ItemWindowTest, TheShopShowsPricesInThePriceListAndCountsInTheOthers) {
  // Stacking items: 10G, 1000G and one sold out.
  Write("data/item/item.csv",
        "1001,data/pic/i.png,aa,0,0,0,9,0,0,0,0,0,0,10,0\n"
        "1002,data/pic/i.png,bb,0,0,0,99,0,0,0,0,0,0,1000,0\n"
        "1003,data/pic/i.png,cc,0,0,0,5,0,0,0,0,0,0,-1,0\n");
  ReadItemData();
  const ItemSlot slots[3] = {{3, 0, 0, 0}, {12, 0, 0, 1}, {3, 0, 0, 2}};
  for (int k = 0; k < 3; ++k) ItemBuffer[k] = BankItems[k] = slots[k];
  const int x = 16, y = 24;
  auto row_runs = [&](int r) {
    const ItemWindowLayout& l = ShopWindowLayout;
    return TextRuns(x + 36, x + l.width - 4, y + 19 + 32 * r + l.text_offset, 16);
  };
  dxcls(0);
  ShowItemShopWindow(2, x, y, -1);
  const int right = x + ShopWindowLayout.width - 8;
  dxsetfont(GameFontFace, 16, 8, 1, 0, 1);
  const char* prices[2] = {"10G", "1000G"};
  for (int r = 0; r < 2; ++r) {
    SCOPED_TRACE(prices[r]);
    auto runs = row_runs(r);
    std::string seen;
    for (auto [a, b] : runs) seen += " " + std::to_string(a - x) + "-" + std::to_string(b - x);
    // The name, then the price alone, right-aligned: no count over it.
    ASSERT_EQ(runs.size(), 2u) << seen;
    EXPECT_LE(runs[0].first, x + 42);
    EXPECT_GE(runs[1].first, right - dxtextwidth(prices[r]) - 1);
    EXPECT_LE(runs[1].second, right);
    EXPECT_GE(runs[1].second, right - 3);
  }
  // Sold out: the name alone in black, the word in red right-aligned.
  auto runs = row_runs(2);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_LE(runs[0].first, x + 42);
  int red_first = 640, red_last = -1;
  for (int py = y + 19 + 64; py < y + 19 + 95; ++py)
    for (int px = x + 36; px < x + ShopWindowLayout.width; ++px)
      if (dxgetpixel(px, py) == dxrgb(255, 1, 1)) {
        red_first = std::min(red_first, px);
        red_last = std::max(red_last, px);
      }
  EXPECT_GE(red_first, right - dxtextwidth("SoldOut") - 1);
  EXPECT_LE(red_last, right);
  EXPECT_GE(red_last, right - 3);

  // The bank shows its counts where the window puts them, and no price.
  dxcls(0);
  ShowItemShopWindow(1, x, y, -1);
  const int count_x = x + ShopWindowLayout.width - 56;
  for (int r = 0; r < 3; ++r) {
    auto runs = row_runs(r);
    std::string seen;
    for (auto [a, b] : runs) seen += " " + std::to_string(a - x) + "-" + std::to_string(b - x);
    ASSERT_EQ(runs.size(), 2u) << r << seen;
    EXPECT_GE(runs[1].first, count_x);
    EXPECT_LE(runs[1].first, count_x + 3);
    EXPECT_LT(runs[1].second, count_x + dxtextwidth("(12)"));
  }
}

}  // namespace
}  // namespace gamerpg_test
