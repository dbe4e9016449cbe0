// Items and item containers: the item table read at start-up with its picture
// sheet, the slot containers (carried, equipped, bank, a buffer for shops and
// lists, one temporary slot), the current slot that the item commands act on,
// and the moves between containers.
#pragma once

#include <cstdint>

#include "dx/bitmap.h"
#include "game/gamestate.h"

constexpr int kItemRecords = 1024;
constexpr int kItemBufferSlots = 64;

// One item. Texts point into the rows of item.csv, kept for the whole run.
struct ItemRecord {
  int32_t number;       // the item number that scripts use
  const char* name;
  const char* comment;  // "" when the column is absent
  const char* picture;
  int32_t price;        // negative: sold out in a shop; above 0: can be sold
  int32_t count;        // COUNT: stack maximum; 0 or less: one unit a slot
  int32_t equip;        // equipment class
  int32_t str;          // bonuses while equipped
  int32_t dex;
  int32_t hp;
  int32_t flag;
  int32_t attribute;
  int32_t event_use;
  int32_t event_battle;
  int32_t event_defense;
  int32_t event_attack;
};

// Entry i is row i of item.csv; slots hold entry indices.
extern ItemRecord ItemTable[kItemRecords];
// 640 wide, 32 x 32 cells, 20 to a row: entry i at column i % 20, row i / 20.
extern dx::bitmap* ItemPictureSheet;
extern ItemSlot ItemBuffer[kItemBufferSlots];
extern ItemSlot TempItemSlot;
extern ItemSlot* CurrentItemSlot;

// Selector numbers of the containers.
constexpr int32_t kSelCarried = 0;
constexpr int32_t kSelEquip = 100;
constexpr int32_t kSelBank = 200;
constexpr int32_t kSelBuffer = 10000;

// Reads item.csv and builds the picture sheet; any fault stops the program.
void ReadItemData();

// Kind 0 carried (0-31), 1 equipment (100 + position), 2 bank (200 + slot), a
// negative kind all three in that order, 3 the item table (entry index); -1
// for any other kind and for no hit.
int32_t FindItemSlot(int32_t number, int32_t kind);
int32_t SelectItemSlot(int32_t selector);
int32_t CompactItemLists();
// Units of the current slot's item into a container: n above 0 up to n units,
// negative all of them, 0 as many as the current slot holds without taking
// them. The number of units placed (1 for equipment and buffer), -1 for a
// selector that names no container.
int32_t AddItemToList(int32_t selector, int32_t n);
void SetTempItem(int32_t number, int32_t count);
// Equips item i of a list (0 carried, 1 bank, 2 the current slot) into a
// position and puts back what was there: 0 done, 1 refused (all restored),
// -1 for a bad position or item.
int32_t SwapEquipItem(int32_t list, int32_t i, int32_t position);
const char* EquipSlotItemName(int32_t position);
void DrawItemPicture(int32_t number, int x, int y);
void DrawEquipSlotPicture(int32_t position, int x, int y);
// The hero's base value plus the bonuses of the equipped items.
int32_t SumEquipStr();
int32_t SumEquipHpMax();
int32_t SumEquipDex();
// List 0 carried, 1 bank, any other the buffer.
int32_t CountItemList(int32_t list);
int32_t ClampItemCursor(int32_t list, int32_t page, int32_t row);

// The entry index of the first item with that number; -1 when none.
int32_t FindItemIndex(int32_t number);
// The record of a slot's item; null for an index outside the table.
const ItemRecord* SlotItem(const ItemSlot& slot);
