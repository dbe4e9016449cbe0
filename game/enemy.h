// Monsters and encounter groups: the monster table read from the monster
// index and one key file per monster, the encounter groups, and the monster
// a fight works on.
#pragma once

#include <cstdint>

#include "dx/bitmap.h"

constexpr int kMonsterBase = 2000;     // monster number of table entry 0
constexpr int kMonsterLast = 3023;     // the highest monster number
constexpr int kMonsterPictures = 8;    // PIC1 to PIC8
constexpr int kMonsterMessages = 32;   // MSG0 to MSG31
constexpr int kMonsterTreasures = 16;  // TREASURE / ITEMS pairs
constexpr int kMonsterWeakPoints = 2;  // WEAKPOINT / WEAKCG pairs
constexpr int kMonsterMeta = 17;       // META: the chance and 16 monster numbers
constexpr int kEncounterGroups = 32;
constexpr int kGroupSize = 32;

// One monster. Texts point into the rows of the key file, which are kept for
// the whole run; sound is a copy of its own. The current values are 0 in the
// table and filled from the maxima when the monster becomes CurrentEnemy.
struct MonsterRec {
  int32_t num;
  const char* name;
  int32_t hp_max, hp;
  int32_t str_max, str;
  int32_t dex_max, dex;
  const char* auth;
  char* sound;  // "data/sound/" + the key's value
  int32_t effect;
  const char* pic[kMonsterPictures];
  int32_t thief[2];
  int32_t meta[kMonsterMeta];  // [0] the chance, [1..16] the monsters called
  int32_t magic[3];
  int32_t back;
  int32_t illness[2];
  int32_t suicide;
  int32_t poison[2];
  int32_t pregist;
  int32_t mregist;
  int32_t heal[2];
  int32_t soldier;
  int32_t away[2];
  int32_t attack1[2];
  int32_t attack2[2];
  struct { int32_t chance, item; } treasure[kMonsterTreasures];
  struct { int32_t point, cg; } weak[kMonsterWeakPoints];
  const char* msg[kMonsterMessages];
  int32_t demo;  // bit 0: not in the opening; bit 1: not in the ending and credits
  int32_t gold;
};

// Indexed by monster number - 2000; an entry is in use when its num is
// 2000 + its index.
extern MonsterRec MonsterTable[1024];
extern MonsterRec CurrentEnemy;
extern int32_t EncounterGroups[kEncounterGroups][kGroupSize];

// atoi of the text; 0 for no text.
int32_t SafeAtoi(const char* text);
// Cuts the text's trailing blanks in place and returns it past its leading
// blanks; null for null or for a text of blanks only.
char* TrimRight(char* text);

// Start-up loaders: any fault in the data stops the program.
void ReadMonsterData();
void ReadMonsterFile(int32_t number, char*** rows, const char* path);
void ReadMonsterGroups();

int32_t SelectEnemyGroup(int32_t group);
int32_t PickRandomEnemy(int32_t group, int32_t percent);
int32_t SetCurrentEnemy(int32_t number);

// The table entry of a monster number that is loaded; null otherwise.
MonsterRec* FindMonster(int32_t number);

// The loaders' progress screen: the loading picture, a bar of `bar` pixels
// out of 360, a heading and a line of detail; presented at once.
void DrawLoadingProgress(dx::bitmap* picture, int bar, const char* heading, const char* detail);
