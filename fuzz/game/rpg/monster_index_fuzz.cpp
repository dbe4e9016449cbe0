// A monster index of any bytes; the key file it may name is a good one.
#include "fuzz/game/rpg/game_data_fuzz.h"
#include "game/enemy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  gamefuzz::Start();
  gamefuzz::WriteFile("data/mon_cfg/m.csv", "NAME,a\nHP,3\nPIC1,data/pic/a.png\n");
  gamefuzz::WriteFile("data/mon_cfg/_mon.csv", data, size);
  gamefuzz::Run(ReadMonsterData);
  return 0;
}
