// The monster catalogue: pages of 5 x 5 monster pictures laid out by
// "data/system/cata.txt", showing which pictures the player has seen (the
// ENEMY_PIC bits of the saved game).
#pragma once

#include <cstdint>

constexpr int kCatalogRows = 400;
constexpr int kCatalogColumns = 5;

struct CatalogEntry {
  int32_t monster;  // monster number - 2000; 0 an empty place, -1 in column 0 the end
  int32_t picture;  // 0 to 7: PIC1 to PIC8
};
extern CatalogEntry CatalogTable[kCatalogRows][kCatalogColumns];

// Reads the catalogue file and checks it against MonsterTable; any fault
// stops the program.
void ReadCatalog();
// Runs the catalogue screen until the player leaves it.
void ShowCatalog();
