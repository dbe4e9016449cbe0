// An item table of any bytes; the pictures it may name exist or not.
#include "fuzz/game/rpg/game_data_fuzz.h"
#include "game/item.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  gamefuzz::Start();
  gamefuzz::WriteFile("data/item/item.csv", data, size);
  gamefuzz::Run(ReadItemData);
  return 0;
}
