// An encounter group file of any bytes over three loaded monsters.
#include "fuzz/game/rpg/game_data_fuzz.h"
#include "game/enemy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  gamefuzz::Start();
  static bool loaded = false;
  if (!loaded) {
    gamefuzz::WriteFile("data/mon_cfg/m1.csv", "NAME,a\n");
    gamefuzz::WriteFile("data/mon_cfg/_mon.csv", "2001,x,m1.csv\n2002,x,m2.csv\n2003,x,m3.csv\n");
    gamefuzz::WriteFile("data/mon_cfg/m2.csv", "NAME,b\n");
    gamefuzz::WriteFile("data/mon_cfg/m3.csv", "NAME,c\n");
    ReadMonsterData();
    loaded = true;
  }
  gamefuzz::WriteFile("data/mon_cfg/group.csv", data, size);
  gamefuzz::Run(ReadMonsterGroups);
  for (int g = 0; g < kEncounterGroups; ++g) PickRandomEnemy(g, 100);
  return 0;
}
