// A monster key file of any bytes, listed by a good index.
#include "fuzz/game/rpg/game_data_fuzz.h"
#include "game/enemy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  gamefuzz::Start();
  gamefuzz::WriteFile("data/mon_cfg/_mon.csv", "2001,x,m.csv\n");
  gamefuzz::WriteFile("data/mon_cfg/m.csv", data, size);
  gamefuzz::Run(ReadMonsterData);
  return 0;
}
