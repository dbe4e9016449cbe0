#include "game/item.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "dx/dx.h"
#include "game/csvfile.h"
#include "game/enemy.h"
#include "game/explore.h"
#include "game/fatal.h"
#include "game/picture.h"
#include "script/strlist.h"

ItemRecord ItemTable[kItemRecords];
dx::bitmap* ItemPictureSheet = nullptr;
ItemSlot ItemBuffer[kItemBufferSlots];
ItemSlot TempItemSlot;
ItemSlot* CurrentItemSlot = nullptr;

namespace {

constexpr const char kItemFile[] = "data/item/item.csv";

// item.csv's rows: the table's texts point into them.
char*** g_item_rows = nullptr;

bool Used(const ItemSlot& s) { return s.count > 0; }
bool InTable(const ItemSlot& s) { return s.item >= 0 && s.item < kItemRecords; }

template <size_t N>
void Compact(ItemSlot (&list)[N]) {
  size_t to = 0;
  for (size_t from = 0; from < N; ++from)
    if (Used(list[from])) list[to++] = list[from];
  for (; to < N; ++to) list[to] = ItemSlot{};
}

template <size_t N>
int32_t CountUsed(const ItemSlot (&list)[N]) {
  int32_t n = 0;
  while (n < static_cast<int32_t>(N) && Used(list[n])) ++n;
  return n;
}

template <size_t N>
void ClearFreeAfter(ItemSlot (&list)[N], size_t filled) {
  for (size_t k = filled + 1; k < N; ++k)
    if (!Used(list[k])) list[k] = ItemSlot{};
}

// The first used slot holding the item, or the first free one.
template <size_t N>
ItemSlot* FindStack(ItemSlot (&list)[N], int32_t item) {
  for (ItemSlot& s : list)
    if (Used(s) && s.item == item) return &s;
  return nullptr;
}
template <size_t N>
int FirstFree(ItemSlot (&list)[N]) {
  for (size_t k = 0; k < N; ++k)
    if (!Used(list[k])) return static_cast<int>(k);
  return -1;
}

// Into the carried list: returns the units placed.
int32_t AddToCarried(ItemSlot* cur, int32_t a, int32_t n, int32_t stack) {
  if (stack > 0) {
    int32_t placed;
    if (ItemSlot* s = FindStack(CarriedItems, cur->item)) {
      placed = std::max(0, std::min(a, stack - s->count));
      s->count += placed;
    } else {
      int k = FirstFree(CarriedItems);
      if (k < 0) return 0;
      placed = std::min(a, stack);
      CarriedItems[k] = *cur;
      CarriedItems[k].count = placed;
      ClearFreeAfter(CarriedItems, k);
    }
    if (n != 0) cur->count -= placed;
    CompactItemLists();
    return placed;
  }
  int32_t placed = 0;
  while (placed < a && (n == 0 || cur->count > 0)) {
    int k = FirstFree(CarriedItems);
    if (k < 0) break;
    CarriedItems[k] = *cur;
    CarriedItems[k].count = 1;
    ClearFreeAfter(CarriedItems, k);
    ++placed;
    if (n != 0) --cur->count;
    CompactItemLists();
  }
  return placed;
}

// Into the bank: stacks without a maximum (but within a 32-bit count).
int32_t AddToBank(ItemSlot* cur, int32_t a, int32_t n, int32_t stack) {
  if (stack > 0) {
    Compact(BankItems);
    int32_t placed;
    if (ItemSlot* s = FindStack(BankItems, cur->item)) {
      placed = std::min<int32_t>(a, INT32_MAX - s->count);
      s->count += placed;
    } else {
      int k = FirstFree(BankItems);
      if (k < 0) return 0;
      placed = a;
      BankItems[k] = *cur;
      BankItems[k].count = a;
      ClearFreeAfter(BankItems, k);
    }
    if (n != 0) cur->count -= placed;
    CompactItemLists();
    return placed;
  }
  int32_t placed = 0;
  while (placed < a && (n == 0 || cur->count > 0)) {
    Compact(BankItems);
    int k = FirstFree(BankItems);
    if (k < 0) break;
    BankItems[k] = *cur;
    BankItems[k].count = 1;
    ClearFreeAfter(BankItems, k);
    ++placed;
    if (n != 0) --cur->count;
    CompactItemLists();
  }
  return placed;
}

}  // namespace

const ItemRecord* SlotItem(const ItemSlot& slot) { return InTable(slot) ? &ItemTable[slot.item] : nullptr; }

int32_t FindItemIndex(int32_t number) {
  for (int32_t i = 0; i < kItemRecords; ++i)
    if (ItemTable[i].number == number) return i;
  return -1;
}

void ReadItemData() {
  // Let go of the sheet before the layer deletes it at its release.
  dxaddreleasehook([] {
    dxdeletebitmap(ItemPictureSheet);
    ItemPictureSheet = nullptr;
  });
  dx::bitmap* loading = readIMG("data/system/loading.png");
  std::memset(ItemTable, 0, sizeof ItemTable);
  FreeCsv(g_item_rows);
  g_item_rows = nullptr;
  dxdeletebitmap(ItemPictureSheet);
  ItemPictureSheet = nullptr;

  char*** rows = ReadCsv(kItemFile);
  if (!rows) GAME_FATAL("[%s]はありません", kItemFile);
  g_item_rows = rows;
  int n = 0;
  while (rows[n]) ++n;
  if (n > kItemRecords) GAME_FATAL("[%s]のアイテムが多すぎます[%d]行(最大%d)", kItemFile, n, kItemRecords);
  if (n > 0) ItemPictureSheet = dxnewbitmap(640, 32 * ((n + 19) / 20));

  // The messages name the columns in the order they are read.
  static const struct {
    int column;
    const char* what;
  } kColumns[] = {{1, "絵"},          {2, "名前"},          {3, "STR"},           {4, "DEX"},
                  {5, "HP"},          {6, "COUNT"},         {7, "装備"},          {8, "フラグ"},
                  {9, "使用イベント"}, {10, "戦闘イベント"}, {11, "攻撃イベント"}, {12, "防御イベント"},
                  {13, "値段"},       {14, "属性"}};
  for (int i = 0; i < n; ++i) {
    char** row = rows[i];
    // An empty field ends the row: every later column is absent too.
    int fields = 0;
    while (row[fields]) ++fields;
    if (fields < 1) GAME_FATAL("ITEM %d[]の番号はありません", i);
    ItemRecord& r = ItemTable[i];
    r.number = SafeAtoi(row[0]);
    for (const auto& c : kColumns)
      if (fields <= c.column) GAME_FATAL("ITEM %d[%d]の%sはありません", i, r.number, c.what);
    r.picture = row[1];
    r.name = row[2];
    r.str = SafeAtoi(row[3]);
    r.dex = SafeAtoi(row[4]);
    r.hp = SafeAtoi(row[5]);
    r.count = SafeAtoi(row[6]);
    r.equip = SafeAtoi(row[7]);
    r.flag = SafeAtoi(row[8]);
    r.event_use = SafeAtoi(row[9]);
    r.event_battle = SafeAtoi(row[10]);
    r.event_attack = SafeAtoi(row[11]);
    r.event_defense = SafeAtoi(row[12]);
    r.price = SafeAtoi(row[13]);
    r.attribute = SafeAtoi(row[14]);
    r.comment = fields > 15 ? row[15] : "";

    char detail[64];
    std::snprintf(detail, sizeof detail, "ReadItemData[%d]", r.number);
    // A file of one row has its one step done at once.
    DrawLoadingProgress(loading, n > 1 ? i * 360 / (n - 1) : 360, "アイテムデータの読み込み中", detail);

    dx::bitmap* picture = LoadPngBitmap(r.picture);
    if (!picture) GAME_FATAL("アイテム%dの画像[%s]はありません", r.number, r.picture);
    dxpushtarget(ItemPictureSheet);
    dxbltnokey(picture, (i % 20) * 32, (i / 20) * 32);
    dxpoptarget(false);
    dxdeletebitmap(picture);
  }

  // The makers' look at the whole sheet, until a key.
  if (GetVarInt("DEBUG_ITEM_LIST") != 0) {
    dxcls(dxrgb(0, 0, 255));
    if (ItemPictureSheet) dxblt(ItemPictureSheet, 0, 0);
    dxupdate();
    while (GetKeyBits(200000) == 0) {
      dxupdate();
      dxtick(0);
    }
  }
}

int32_t FindItemSlot(int32_t number, int32_t kind) {
  auto holds = [number](const ItemSlot& s) { return Used(s) && InTable(s) && ItemTable[s.item].number == number; };
  if (kind == 0 || kind < 0)
    for (int32_t k = 0; k < kCarriedSlots; ++k)
      if (holds(CarriedItems[k])) return kSelCarried + k;
  if (kind == 1 || kind < 0)
    for (int32_t k = 0; k < kEquipSlots; ++k)
      if (holds(EquipSlots[k])) return kSelEquip + k;
  if (kind == 2 || kind < 0)
    for (int32_t k = 0; k < kBankSlots; ++k)
      if (holds(BankItems[k])) return kSelBank + k;
  if (kind == 3) return FindItemIndex(number);
  return -1;
}

int32_t SelectItemSlot(int32_t selector) {
  ItemSlot* slot = nullptr;
  if (selector >= kSelCarried && selector < kSelCarried + kCarriedSlots)
    slot = &CarriedItems[selector - kSelCarried];
  else if (selector >= kSelBank && selector < kSelBank + kBankSlots)
    slot = &BankItems[selector - kSelBank];
  else if (selector >= kSelEquip && selector < kSelEquip + kEquipSlots)
    slot = &EquipSlots[selector - kSelEquip];
  else if (selector >= kSelBuffer && selector < kSelBuffer + kItemBufferSlots)
    slot = &ItemBuffer[selector - kSelBuffer];
  if (!slot) {
    CurrentItemSlot = nullptr;
    return -1;
  }
  if (!InTable(*slot)) return -1;
  CurrentItemSlot = slot;
  return 0;
}

int32_t CompactItemLists() {
  Compact(ItemBuffer);
  Compact(CarriedItems);
  Compact(BankItems);
  return 0;
}

int32_t AddItemToList(int32_t selector, int32_t n) {
  ItemSlot* cur = CurrentItemSlot;
  if (!cur || !InTable(*cur)) return 0;
  int32_t stack = ItemTable[cur->item].count;
  int32_t a = n >= 1 ? std::min(n, cur->count) : cur->count;
  if (selector < kSelCarried + kCarriedSlots) return a > 0 ? AddToCarried(cur, a, n, stack) : 0;
  if (selector >= kSelEquip && selector < kSelEquip + kEquipSlots) {
    // A slot with no unit has nothing to wear, whatever n asks for.
    if (cur->count <= 0) return 0;
    ItemSlot& slot = EquipSlots[selector - kSelEquip];
    slot = *cur;
    slot.count = 1;
    if (n > 0)
      --cur->count;
    else if (n < 0)
      cur->count = 0;
    CompactItemLists();
    return 1;
  }
  if (selector >= kSelEquip + kEquipSlots && selector < kSelBank + kBankSlots)
    return a > 0 ? AddToBank(cur, a, n, stack) : 0;
  if (selector >= kSelBuffer && selector < kSelBuffer + kItemBufferSlots) {
    ItemBuffer[selector - kSelBuffer] = *cur;
    return 1;
  }
  return -1;
}

void SetTempItem(int32_t number, int32_t count) {
  if (number == 0) {
    TempItemSlot = ItemSlot{};
    CurrentItemSlot = &TempItemSlot;
    return;
  }
  int32_t index = FindItemIndex(number);
  if (index < 0) {
    CurrentItemSlot = nullptr;
    return;
  }
  TempItemSlot = ItemSlot{};
  TempItemSlot.item = index;
  TempItemSlot.count = count;
  CurrentItemSlot = &TempItemSlot;
}

int32_t SwapEquipItem(int32_t list, int32_t i, int32_t position) {
  static ItemSlot saved_equip[kEquipSlots], saved_carried[kCarriedSlots], saved_bank[kBankSlots];
  std::memcpy(saved_equip, EquipSlots, sizeof saved_equip);
  std::memcpy(saved_carried, CarriedItems, sizeof saved_carried);
  std::memcpy(saved_bank, BankItems, sizeof saved_bank);
  auto restore = [] {
    std::memcpy(EquipSlots, saved_equip, sizeof saved_equip);
    std::memcpy(CarriedItems, saved_carried, sizeof saved_carried);
    std::memcpy(BankItems, saved_bank, sizeof saved_bank);
  };
  const bool from_bank = list == 1;
  const int32_t back_to = from_bank ? kSelBank : kSelCarried;
  if (position < 0 || position >= kEquipSlots) return -1;

  ItemSlot aside{};
  bool set_aside = false;
  if (Used(EquipSlots[position])) {
    aside = EquipSlots[position];
    set_aside = true;
    EquipSlots[position] = ItemSlot{};
  }
  if (list != 2) {
    int32_t size = from_bank ? kBankSlots : kCarriedSlots;
    ItemSlot* source = from_bank ? BankItems : CarriedItems;
    CurrentItemSlot = i >= 0 && i < size && Used(source[i]) ? &source[i] : nullptr;
  }
  if (CurrentItemSlot) {
    const ItemRecord* item = SlotItem(*CurrentItemSlot);
    // An empty slot has no unit to equip.
    if (!item || item->number <= 0 || CurrentItemSlot->count <= 0) {
      restore();
      return -1;
    }
    if (AddItemToList(kSelEquip + position, 1) <= 0) {
      restore();
      return 1;
    }
  }
  if (!set_aside) return 0;
  // The old item goes back through a copy that dies with this call, so the
  // current slot must not stay on it.
  CurrentItemSlot = &aside;
  int32_t placed = AddItemToList(back_to, 1);
  CurrentItemSlot = nullptr;
  if (placed > 0) return 0;
  restore();
  return 1;
}

const char* EquipSlotItemName(int32_t position) {
  if (position < 0 || position >= kEquipSlots) return "";
  const ItemSlot& s = EquipSlots[position];
  const ItemRecord* item = Used(s) ? SlotItem(s) : nullptr;
  return item && item->name ? item->name : "";
}

namespace {
void DrawSheetCell(int32_t index, int x, int y) {
  if (index < 0 || index >= kItemRecords || !ItemPictureSheet) return;
  dxbltpart(ItemPictureSheet, x, y, (index % 20) * 32, (index / 20) * 32, 32, 32);
}
}  // namespace

void DrawItemPicture(int32_t number, int x, int y) { DrawSheetCell(FindItemIndex(number), x, y); }

void DrawEquipSlotPicture(int32_t position, int x, int y) {
  if (position < 0 || position >= kEquipSlots || !Used(EquipSlots[position])) return;
  DrawSheetCell(EquipSlots[position].item, x, y);
}

namespace {
int32_t SumEquip(int32_t base, int32_t ItemRecord::*bonus) {
  int64_t sum = base;
  for (const ItemSlot& s : EquipSlots) {
    const ItemRecord* item = Used(s) ? SlotItem(s) : nullptr;
    if (item && item->number != 0) sum += item->*bonus;
  }
  return static_cast<int32_t>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX));
}
}  // namespace

int32_t SumEquipStr() { return SumEquip(GameStateBlock.strength, &ItemRecord::str); }
int32_t SumEquipHpMax() { return SumEquip(GameStateBlock.max_hp, &ItemRecord::hp); }
int32_t SumEquipDex() { return SumEquip(GameStateBlock.dexterity, &ItemRecord::dex); }

int32_t CountItemList(int32_t list) {
  if (list == 0) return CountUsed(CarriedItems);
  if (list == 1) return CountUsed(BankItems);
  return CountUsed(ItemBuffer);
}

int32_t ClampItemCursor(int32_t list, int32_t page, int32_t row) {
  int64_t cursor = int64_t{page} * 8 + row;
  int32_t count = CountItemList(list);
  return cursor < count ? static_cast<int32_t>(cursor) : count - 1;
}
