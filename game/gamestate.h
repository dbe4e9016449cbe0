// The records the game saves: the hero, the containers, the position, the
// per-monster tables, story flags, the cells' dynamic flags and the placed
// objects. Their layout is the save file's, so every offset is pinned down.
#pragma once

#include <cstddef>
#include <cstdint>

// A position in the dungeon: cell column and row (0 to 24, fractional while
// moving), floor (0 to 14), heading and pitch in degrees.
struct ViewPos {
  double X, Y, N, T, P;
};
static_assert(sizeof(ViewPos) == 40);

// One inventory slot: count (above 0 = used), the scripts' use word, a word
// copied with the slot, and the item's index into ItemTable.
struct ItemSlot {
  int32_t count;
  int32_t use;
  int32_t extra;
  int32_t item;
};
static_assert(sizeof(ItemSlot) == 16);

// An object that scripts place in the dungeon: a billboard, a minimap part and
// an event that stands in for its cell's own.
struct ObjectRec {
  double X, Y, N;
  uint32_t active;
  uint32_t picture;
  uint32_t part;
  uint32_t event;
  double width, height;
  uint32_t alpha;
  uint32_t reserved;
};
static_assert(sizeof(ObjectRec) == 64);
static_assert(offsetof(ObjectRec, active) == 24 && offsetof(ObjectRec, width) == 40 &&
              offsetof(ObjectRec, alpha) == 56);

constexpr int kFloors = 15;
constexpr int kMapSize = 25;
constexpr int kEquipSlots = 19;
constexpr int kCarriedSlots = 32;
constexpr int kBankSlots = 1024;
constexpr int kMonsterSlots = 1024;  // index = monster number - 2000
constexpr int kStoryFlags = 1024;
constexpr int kObjects = 256;

struct GameState {
  char name[256];
  int32_t hp;
  int32_t max_hp;
  int32_t dexterity;
  int32_t strength;
  int32_t poison;
  int32_t gold;
  ItemSlot equip[kEquipSlots];
  ItemSlot carried[kCarriedSlots];
  ItemSlot bank[kBankSlots];
  ViewPos hero_pos;
  uint8_t reserved1[8];
  int32_t enemy_rip[kMonsterSlots];
  int32_t enemy_pic[kMonsterSlots];
  int32_t story_flags[kStoryFlags];
  uint32_t map_flags[kFloors][kMapSize][kMapSize];  // [floor][X][Y]
  uint32_t reserved2;
  ObjectRec objects[kObjects];
  int32_t group;
  uint32_t reserved3;
};
static_assert(sizeof(GameState) == 83712, "the saved block's size is fixed by the save format");
static_assert(offsetof(GameState, hp) == 0x100);
static_assert(offsetof(GameState, gold) == 0x114);
static_assert(offsetof(GameState, equip) == 0x118);
static_assert(offsetof(GameState, carried) == 0x248);
static_assert(offsetof(GameState, bank) == 0x448);
static_assert(offsetof(GameState, hero_pos) == 0x4448);
static_assert(offsetof(GameState, enemy_rip) == 0x4478);
static_assert(offsetof(GameState, enemy_pic) == 0x5478);
static_assert(offsetof(GameState, story_flags) == 0x6478);
static_assert(offsetof(GameState, map_flags) == 0x7478);
static_assert(offsetof(GameState, objects) == 0x106F8);
static_assert(offsetof(GameState, group) == 0x146F8);

// Everything a saved game holds, written and read whole.
extern GameState GameStateBlock;

// A block read from a save made usable without changing what the player
// owns or meets: the name ends inside its field, and of the hero's and the
// placed objects' places, headings and sizes a value that is not a number
// becomes 0 and one past the float range is held at its end; every other
// value stays as saved, on the map or off it. Everything that serves as an
// index or a count is checked where it is used.
void BringSavedStateIntoRange(GameState& state);

// The hero's position, kept inside the saved block.
inline ViewPos& HeroPos = GameStateBlock.hero_pos;
inline ItemSlot (&EquipSlots)[kEquipSlots] = GameStateBlock.equip;
inline ItemSlot (&CarriedItems)[kCarriedSlots] = GameStateBlock.carried;
inline ItemSlot (&BankItems)[kBankSlots] = GameStateBlock.bank;
inline int32_t (&StoryFlags)[kStoryFlags] = GameStateBlock.story_flags;
inline uint32_t (&MapFlags)[kFloors][kMapSize][kMapSize] = GameStateBlock.map_flags;
inline ObjectRec (&ObjectTable)[kObjects] = GameStateBlock.objects;

// The settings: kept outside the saved game, in "setup.jpg".
struct SetupRecordT {
  int32_t video_mode;   // VIDEO_MODE: bitmaps in video memory
  int32_t full_screen;  // FULL_SCREEN
  int32_t reserved;
  int32_t move_motion;  // MOVE_MOTION: no movement animation
};
static_assert(sizeof(SetupRecordT) == 16);
extern SetupRecordT SetupRecord;
