// A catalogue file of any bytes over two loaded monsters.
#include "fuzz/game/rpg/game_data_fuzz.h"
#include "game/catalog.h"
#include "game/enemy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  gamefuzz::Start();
  static bool loaded = false;
  if (!loaded) {
    gamefuzz::WriteFile("data/mon_cfg/_mon.csv", "2001,x,m1.csv\n2002,x,m2.csv\n");
    gamefuzz::WriteFile("data/mon_cfg/m1.csv", "NAME,a\nPIC1,data/pic/a.png\n");
    gamefuzz::WriteFile("data/mon_cfg/m2.csv", "NAME,b\nPIC2,data/pic/a.png\n");
    ReadMonsterData();
    loaded = true;
  }
  gamefuzz::WriteFile("data/system/cata.txt", data, size);
  gamefuzz::Run(ReadCatalog);
  return 0;
}
