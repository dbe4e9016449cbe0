// The item table, the containers and the item commands.
#include <cstring>
#include <filesystem>

#include "game/explore.h"
#include "game/gamestate.h"
#include "game/item.h"
#include "game/macro/macro.h"
#include "game/macro/macro_item.h"
#include "tests/game/rpg/fixture.h"

namespace gamerpg_test {
namespace {

// number, picture, name, STR, DEX, HP, COUNT, equip, flag, use, battle, attack, defense, price, attribute, comment
std::string ItemRow(int number, int count, int price = 10, int equip = 0, int str = 0, const char* name = nullptr) {
  std::string n = name ? name : "item" + std::to_string(number);
  return std::to_string(number) + ",data/pic/i.png," + n + "," + std::to_string(str) + ",2,3," +
         std::to_string(count) + "," + std::to_string(equip) + ",8,9,10,11,12," + std::to_string(price) +
         ",14,note\n";
}

class ItemTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    std::memset(&GameStateBlock, 0, sizeof GameStateBlock);
    std::memset(ItemBuffer, 0, sizeof ItemBuffer);
    CurrentItemSlot = nullptr;
    TempItemSlot = ItemSlot{};
    TempDir::Write("data/pic/i.png", Png(32, 32, 200, 100, 50));
  }
  // Items: 1001 stacks to 10, 1002 does not stack, 1003 stacks to 99 and is worn
  // in class 3, 1004 is a class-1 armour.
  void Standard() {
    Write("data/item/item.csv", "# items\n" + ItemRow(1001, 10) + ItemRow(1002, 0) + ItemRow(1003, 99, 50, 3, 5) +
                                    ItemRow(1004, 0, -1, 1, 7));
    ReadItemData();
  }
  static ItemSlot Slot(int32_t index, int32_t count) { return ItemSlot{count, 0, 0, index}; }
  static void FillCarried(int32_t index) {
    for (ItemSlot& s : CarriedItems) s = Slot(index, 1);
  }
};

TEST_F(ItemTest, TheTableAndItsPictureSheet) {
  std::string rows;
  for (int i = 0; i < 21; ++i) rows += ItemRow(1000 + i, 1);
  Write("data/item/item.csv", rows);
  uint64_t frames = host_.frames_presented();
  ReadItemData();
  EXPECT_EQ(host_.frames_presented() - frames, 21u);
  ASSERT_NE(ItemPictureSheet, nullptr);
  EXPECT_EQ(dxbitmapwidth(ItemPictureSheet), 640);
  EXPECT_EQ(dxbitmapheight(ItemPictureSheet), 64);
  const ItemRecord& r = ItemTable[20];
  EXPECT_EQ(r.number, 1020);
  EXPECT_STREQ(r.name, "item1020");
  EXPECT_STREQ(r.picture, "data/pic/i.png");
  EXPECT_STREQ(r.comment, "note");
  EXPECT_EQ(r.dex, 2);
  EXPECT_EQ(r.hp, 3);
  EXPECT_EQ(r.flag, 8);
  EXPECT_EQ(r.event_use, 9);
  EXPECT_EQ(r.event_battle, 10);
  EXPECT_EQ(r.event_attack, 11);
  EXPECT_EQ(r.event_defense, 12);
  EXPECT_EQ(r.attribute, 14);
  EXPECT_EQ(ItemTable[21].number, 0);
  // Entry 20's picture sits in the second row of cells.
  dxpushtarget(ItemPictureSheet);
  EXPECT_EQ(dxgetpixel(5, 40), dxrgb(200, 100, 50));
  EXPECT_EQ(dxgetpixel(40, 40), 0u);
  dxpoptarget(false);

  // Column 15 may be missing.
  Write("data/item/item.csv", "5,data/pic/i.png,a,1,2,3,4,5,6,7,8,9,10,11,12\n");
  ReadItemData();
  EXPECT_STREQ(ItemTable[0].comment, "");
}

TEST_F(ItemTest, TheDebugSheetWaitsForAKey) {
  Write("data/item/item.csv", ItemRow(1, 0));
  SetVarInt("DEBUG_ITEM_LIST", 1);
  ResetKeyBits();
  uint64_t frames = host_.frames_presented();
  host_.key_press(frames + 30, host::key::Return);
  ReadItemData();
  SetVarInt("DEBUG_ITEM_LIST", 0);
  EXPECT_GE(host_.frames_presented(), frames + 30);
  const host::Frame* f = host_.last_frame();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->at(10, 10), 0xC86432u);  // the sheet
  EXPECT_EQ(f->at(10, 100), 0x0000FFu);  // on blue
}

TEST_F(ItemTest, MissingColumnsStopTheProgram) {
  const char8_t* whats[] = {u8"絵", u8"名前", u8"STR", u8"DEX", u8"HP", u8"COUNT", u8"装備", u8"フラグ",
                         u8"使用イベント", u8"戦闘イベント", u8"攻撃イベント", u8"防御イベント", u8"値段", u8"属性"};
  std::string full = "7,data/pic/i.png,a,1,2,3,4,5,6,7,8,9,10,11,12";
  for (int column = 1; column <= 14; ++column) {
    // Cut the row before `column`; an empty field ends it the same way.
    size_t cut = 0;
    for (int k = 0; k < column; ++k) cut = full.find(',', cut + 1);
    std::string row = full.substr(0, cut) + (column % 2 ? "" : ",,99");
    Write("data/item/item.csv", ItemRow(1, 0) + row + "\n");
    EXPECT_EQ(Fatal(ReadItemData), U8(u8"ITEM 1[7]の") + U8(whats[column - 1]) + U8(u8"はありません")) << column;
  }
  Write("data/item/item.csv", ",a\n");
  EXPECT_EQ(Fatal(ReadItemData), U8(u8"ITEM 0[]の番号はありません"));
  Write("data/item/item.csv", "3,data/pic/none.png,a,1,2,3,4,5,6,7,8,9,10,11,12\n");
  EXPECT_EQ(Fatal(ReadItemData), U8(u8"アイテム3の画像[data/pic/none.png]はありません"));
  std::string many;
  for (int i = 0; i < 1025; ++i) many += "1\n";
  Write("data/item/item.csv", many);
  EXPECT_NE(Fatal(ReadItemData).find("1025"), std::string::npos);
  std::filesystem::remove("data/item/item.csv");
  EXPECT_EQ(Fatal(ReadItemData), U8(u8"[data/item/item.csv]はありません"));
}

TEST_F(ItemTest, SelectorsNameTheContainers) {
  Standard();
  EXPECT_EQ(SelectItemSlot(5), 0);  // a free slot may be current
  EXPECT_EQ(CurrentItemSlot, &CarriedItems[5]);
  EXPECT_EQ(SelectItemSlot(118), 0);
  EXPECT_EQ(CurrentItemSlot, &EquipSlots[18]);
  EXPECT_EQ(SelectItemSlot(1223), 0);
  EXPECT_EQ(CurrentItemSlot, &BankItems[1023]);
  EXPECT_EQ(SelectItemSlot(10063), 0);
  EXPECT_EQ(CurrentItemSlot, &ItemBuffer[63]);
  BankItems[3].item = 1024;
  EXPECT_EQ(SelectItemSlot(203), -1);  // stays on the buffer slot
  EXPECT_EQ(CurrentItemSlot, &ItemBuffer[63]);
  for (int32_t s : {32, 99, 119, 199, 1224, 9999, 10064, -1}) {
    SelectItemSlot(0);
    EXPECT_EQ(SelectItemSlot(s), -1) << s;
    EXPECT_EQ(CurrentItemSlot, nullptr) << s;
  }
  EXPECT_EQ(FindItemSlot(1003, 3), 2);
  EXPECT_EQ(FindItemSlot(1003, 4), -1);
  EXPECT_EQ(FindItemSlot(1003, 0), -1);
  BankItems[0] = Slot(2, 1);
  EquipSlots[4] = Slot(2, 1);
  EXPECT_EQ(FindItemSlot(1003, 2), 200);
  EXPECT_EQ(FindItemSlot(1003, -1), 104);
  CarriedItems[3] = Slot(2, 1);
  EXPECT_EQ(FindItemSlot(1003, -1), 3);
}

TEST_F(ItemTest, MovingIntoTheCarriedList) {
  Standard();
  // A stack of 8 of a COUNT-10 item takes 2 of 5; 3 stay behind.
  CarriedItems[0] = Slot(0, 8);
  BankItems[0] = Slot(0, 5);
  SelectItemSlot(200);
  EXPECT_EQ(AddItemToList(0, 5), 2);
  EXPECT_EQ(CarriedItems[0].count, 10);
  EXPECT_EQ(BankItems[0].count, 3);
  EXPECT_EQ(AddItemToList(0, 5), 0);  // the stack is full

  // Three units of a non-stacking item with two free slots: two placed.
  for (int k = 1; k < 30; ++k) CarriedItems[k] = Slot(2, 1);
  BankItems[1] = Slot(1, 3);
  SelectItemSlot(201);
  EXPECT_EQ(AddItemToList(0, 3), 2);
  EXPECT_EQ(CarriedItems[30].item, 1);
  EXPECT_EQ(CarriedItems[31].count, 1);
  EXPECT_EQ(BankItems[1].count, 1);

  // A temporary slot gives without losing its units.
  std::memset(CarriedItems, 0, sizeof CarriedItems);
  SetTempItem(1001, 4);
  EXPECT_EQ(AddItemToList(0, 0), 4);
  EXPECT_EQ(CarriedItems[0].count, 4);
  EXPECT_EQ(TempItemSlot.count, 4);
  SetTempItem(1002, 3);
  EXPECT_EQ(AddItemToList(-5, -1), 3);  // a negative n takes every unit
  EXPECT_EQ(TempItemSlot.count, 0);
  EXPECT_EQ(CountItemList(0), 4);
  EXPECT_EQ(AddItemToList(0, -1), 0);  // nothing left to place
  EXPECT_EQ(AddItemToList(50, 1), -1);
  CurrentItemSlot = nullptr;
  EXPECT_EQ(AddItemToList(0, 1), 0);
}

TEST_F(ItemTest, TheBankAndTheBuffer) {
  Standard();
  SetTempItem(1003, 500);
  EXPECT_EQ(AddItemToList(150, 0), 500);  // 150 means the bank
  EXPECT_EQ(AddItemToList(200, 0), 500);
  EXPECT_EQ(BankItems[0].count, 1000);  // no stack limit
  EXPECT_EQ(CountItemList(1), 1);
  SetTempItem(1002, 3);
  EXPECT_EQ(AddItemToList(1223, 0), 3);
  EXPECT_EQ(CountItemList(1), 4);
  // Near the 32-bit limit the stack takes only what fits.
  BankItems[0].count = INT32_MAX - 1;
  SetTempItem(1003, 5);
  EXPECT_EQ(AddItemToList(200, 5), 1);
  EXPECT_EQ(BankItems[0].count, INT32_MAX);
  EXPECT_EQ(TempItemSlot.count, 4);

  SetTempItem(1001, 7);
  TempItemSlot.use = 3;
  EXPECT_EQ(AddItemToList(10005, 1), 1);
  EXPECT_EQ(ItemBuffer[5].count, 7);
  EXPECT_EQ(ItemBuffer[5].use, 3);
  EXPECT_EQ(TempItemSlot.count, 7);
  EXPECT_EQ(CountItemList(2), 0);  // not compacted
  CompactItemLists();
  EXPECT_EQ(CountItemList(2), 1);
  EXPECT_EQ(ClampItemCursor(2, 0, 5), 0);
  EXPECT_EQ(ClampItemCursor(0, 0, 0), -1);  // an empty list
  EXPECT_EQ(ClampItemCursor(1, 0, 3), 3);
  EXPECT_EQ(ClampItemCursor(1, 1, 0), 3);
}

TEST_F(ItemTest, EquippingSwapsWithTheList) {
  Standard();
  // One unit of a stack of 3 into an occupied position while the carried list
  // is full and the old item has no stack there: refused, all restored.
  FillCarried(1);
  CarriedItems[0] = Slot(0, 3);
  EquipSlots[1] = Slot(3, 1);
  ItemSlot carried[kCarriedSlots];
  std::memcpy(carried, CarriedItems, sizeof carried);
  EXPECT_EQ(SwapEquipItem(0, 0, 1), 1);
  EXPECT_EQ(std::memcmp(carried, CarriedItems, sizeof carried), 0);
  EXPECT_EQ(EquipSlots[1].item, 3);
  // With a count of 1 the slot it frees takes the old item.
  CarriedItems[0] = Slot(0, 1);
  EXPECT_EQ(SwapEquipItem(0, 0, 1), 0);
  EXPECT_EQ(EquipSlots[1].item, 0);
  EXPECT_EQ(EquipSlots[1].count, 1);
  EXPECT_EQ(CarriedItems[31].item, 3);
  EXPECT_EQ(CurrentItemSlot, nullptr);  // not left on the copy of the old item

  // No valid item: only takes off.
  std::memset(CarriedItems, 0, sizeof CarriedItems);
  EXPECT_EQ(SwapEquipItem(0, 5, 1), 0);
  EXPECT_EQ(EquipSlots[1].count, 0);
  EXPECT_EQ(CarriedItems[0].count, 1);
  EXPECT_EQ(SwapEquipItem(0, 0, 19), -1);
  EXPECT_EQ(SwapEquipItem(0, 0, 1), 0);  // nothing to take off: puts it on again
  EXPECT_EQ(EquipSlots[1].count, 1);
  EXPECT_EQ(CountItemList(0), 0);

  // From the bank, and from the current slot (list 2).
  BankItems[0] = Slot(2, 2);
  EXPECT_EQ(SwapEquipItem(1, 0, 3), 0);
  EXPECT_EQ(EquipSlots[3].item, 2);
  EXPECT_EQ(BankItems[0].count, 1);
  SetTempItem(1004, 1);
  EXPECT_EQ(SwapEquipItem(2, 0, 3), 0);
  EXPECT_EQ(EquipSlots[3].item, 3);
  EXPECT_EQ(BankItems[0].count, 1);
  EXPECT_EQ(CarriedItems[0].item, 2);  // list 2 puts back into the carried list
}

// Runs script text with the game's built-ins; the texts of the values it
// wrote with writeln are not needed, only its last value.
std::string RunWithMacros(const std::string& script) {
  RegisterMacros();
  std::string text = script;
  ScriptNode* program = nullptr;
  ScriptError error;
  std::string out = "(compile error)";
  if (ScriptCompile(text.data(), &program, &error) == 0) {
    StrList* result = nullptr;
    out = ScriptExec(program, nullptr, nullptr, &result, &error, 0, 0) == 0 && result ? ScriptValueText(result)
                                                                                      : "(run error)";
    StrListFree(result);
    ScriptFreeProgram(program);
  }
  ScriptClearFunctions();
  return out;
}

TEST_F(ItemTest, NothingIsEquippedFromAnEmptySlot) {
  Standard();
  // A cleared temporary slot (entry 0, count 0) offered for position 0.
  EXPECT_EQ(RunWithMacros("hero_clear(); item_set(); item_equip_swap()"), "-1");
  EXPECT_EQ(RunWithMacros("item_set_buff(100); item_count()"), "0");
  EXPECT_EQ(EquipSlots[0].count, 0);
  // Offered in place of a worn item: refused, the worn one stays.
  EquipSlots[0] = Slot(2, 1);
  SetTempItem(1001, 0);
  EXPECT_EQ(SwapEquipItem(2, 0, 0), -1);
  EXPECT_EQ(EquipSlots[0].item, 2);
  EXPECT_EQ(EquipSlots[0].count, 1);
  EXPECT_EQ(CountItemList(0), 0);
  TempItemSlot.count = -3;
  EXPECT_EQ(SwapEquipItem(2, 0, 0), -1);
  EXPECT_EQ(EquipSlots[0].item, 2);
  // One unit there is equipped.
  TempItemSlot.count = 1;
  EXPECT_EQ(SwapEquipItem(2, 0, 0), 0);
  EXPECT_EQ(EquipSlots[0].item, 0);
  EXPECT_EQ(TempItemSlot.count, 0);
  // Pushed straight into a position, an empty slot is refused the same way.
  EXPECT_EQ(RunWithMacros("hero_clear(); item_set(1001, 0); item_push(100, 1)"), "0");
  EXPECT_EQ(EquipSlots[0].count, 0);
  for (int32_t held : {0, -3})
    for (int32_t n : {1, 0, -1}) {
      SetTempItem(1001, held);
      EXPECT_EQ(AddItemToList(100, n), 0);
      EXPECT_EQ(EquipSlots[0].count, 0);
      EXPECT_EQ(TempItemSlot.count, held);
    }
}

TEST_F(ItemTest, TheSheetIsLetGoWhenTheDisplayCloses) {
  Standard();
  ASSERT_NE(ItemPictureSheet, nullptr);
  // The display deletes every bitmap: a pointer kept past that could later
  // name a new bitmap at the same address, which the next read would delete.
  testcommon::CloseGameDisplay();
  EXPECT_EQ(ItemPictureSheet, nullptr);
  ASSERT_NO_FATAL_FAILURE(testcommon::OpenGameDisplay(host_));
  std::filesystem::current_path(dir_.path());
  Standard();
  EXPECT_NE(ItemPictureSheet, nullptr);
}

TEST_F(ItemTest, EquipmentAddsToTheHero) {
  Standard();
  GameStateBlock.strength = 10;
  GameStateBlock.max_hp = 40;
  GameStateBlock.dexterity = 4;
  EquipSlots[0] = Slot(2, 1);   // STR 5, DEX 2, HP 3
  EquipSlots[18] = Slot(3, 1);  // STR 7
  EquipSlots[5] = Slot(1, 0);   // free: ignored
  EquipSlots[6] = Slot(2000, 1);
  EXPECT_EQ(SumEquipStr(), 22);
  EXPECT_EQ(SumEquipDex(), 8);
  EXPECT_EQ(SumEquipHpMax(), 46);
  EXPECT_STREQ(EquipSlotItemName(0), "item1003");
  EXPECT_STREQ(EquipSlotItemName(5), "");
  EXPECT_STREQ(EquipSlotItemName(6), "");
  EXPECT_STREQ(EquipSlotItemName(19), "");
}

TEST_F(ItemTest, Commands) {
  Standard();
  EXPECT_EQ(Call(macro_item_price, {}).text, "-1");
  Result name = Call(macro_item_name, {});
  EXPECT_EQ(name.tag, "S");
  EXPECT_EQ(name.text, "");
  EXPECT_EQ(Call(macro_item_price, {"1003"}).text, "50");
  EXPECT_EQ(Call(macro_item_price, {"4711"}).text, "-1");
  EXPECT_EQ(Call(macro_item_set, {"-1"}).text, "-1");
  EXPECT_EQ(CurrentItemSlot, nullptr);
  EXPECT_EQ(Call(macro_item_set, {"1002"}).text, "0");
  EXPECT_EQ(CurrentItemSlot, &TempItemSlot);
  EXPECT_EQ(TempItemSlot.count, 0);
  EXPECT_EQ(Call(macro_item_price, {"4711"}).text, "10");  // no such number: the current slot's
  EXPECT_EQ(Call(macro_item_name, {}).text, "item1002");
  EXPECT_EQ(Call(macro_item_comment, {"1004"}).text, "note");
  EXPECT_EQ(Call(macro_item_count_max, {"1003"}).text, "99");
  EXPECT_EQ(Call(macro_item_equip, {"1004"}).text, "1");
  EXPECT_EQ(Call(macro_item_str, {"1003"}).text, "5");
  EXPECT_EQ(Call(macro_item_event_defense, {}).text, "12");
  EXPECT_EQ(Call(macro_item_count, {"5"}).text, "5");
  EXPECT_EQ(Call(macro_item_count, {}).text, "5");
  EXPECT_EQ(Call(macro_item_use, {"9"}).text, "9");
  EXPECT_EQ(Call(macro_item_use, {"-3"}).text, "9");
  EXPECT_EQ(Call(macro_item_push, {"0", "2"}).text, "2");
  EXPECT_EQ(Call(macro_item_n, {}).text, "2");
  EXPECT_EQ(Call(macro_item_scan, {"1002"}).text, "0");
  EXPECT_EQ(Call(macro_item_scan, {"-1"}).text, "-1");
  EXPECT_EQ(Call(macro_item_set_buff, {"40"}).text, "-1");
  EXPECT_EQ(Call(macro_item_count, {}).text, "-1");
  EXPECT_EQ(Call(macro_item_sel, {"0", "0", "7"}).text, "1");
  EXPECT_EQ(Call(macro_item_garbagecollect, {}).text, "0");
  EXPECT_EQ(Call(macro_item_pic, {"1003", "8", "8"}).text, "0");
  EXPECT_EQ(Call(macro_item_equip_swap, {"0", "0", "2"}).text, "0");
  EXPECT_EQ(EquipSlots[2].item, 1);
  EXPECT_EQ(Call(macro_item_equip_str, {}).text, "0");
  EXPECT_EQ(Call(macro_item_equip_hp, {}).text, "3");
}

}  // namespace
}  // namespace gamerpg_test
