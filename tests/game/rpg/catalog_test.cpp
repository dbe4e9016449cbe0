// The monster catalogue: its file, its pages and the cursor, and the other
// commands of the family.
#include <cstring>

#include "game/catalog.h"
#include "game/enemy.h"
#include "game/explore.h"
#include "game/gamestate.h"
#include "game/macro/macro_misc.h"
#include "game/map.h"
#include "tests/game/rpg/fixture.h"

namespace gamerpg_test {
namespace {

class CatalogTest : public GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    std::memset(&GameStateBlock, 0, sizeof GameStateBlock);
    TempDir::Write("data/pic/red.png", Png(40, 40, 255, 0, 0));
    TempDir::Write("data/pic/green.png", Png(40, 40, 0, 255, 0));
    TempDir::Write("data/system/win.png", Png(96, 240, 90, 90, 90));
    Write("data/mon_cfg/_mon.csv", "2001,a,a.csv\n2002,b,b.csv\n2005,c,c.csv\n");
    Write("data/mon_cfg/a.csv", "NAME,a\nPIC1,data/pic/red.png\n");
    Write("data/mon_cfg/b.csv", "NAME,b\nPIC1,data/pic/green.png\n");
    Write("data/mon_cfg/c.csv", "NAME,c\nPIC3,data/pic/green.png\n");
    ReadMonsterData();
    ResetKeyBits();
  }
  void Catalog(const std::string& text) {
    Write("data/system/cata.txt", text);
    ReadCatalog();
  }
  void Keys(std::initializer_list<int> keys) {
    uint64_t frame = host_.frames_presented() + 15;
    for (int key : keys) {
      host_.key_press(frame, key);
      frame += 20;
    }
  }
  // The centre of a grid place in the last frame shown.
  uint32_t Place(int r, int c) const { return host_.last_frame()->at(10 + 124 * c + 60, 32 + 86 * r + 40); }
};

TEST_F(CatalogTest, TheFileLaysOutThePlaces) {
  Catalog("# catalogue\n2001-1,0-0,2005-3\n\n2002-1\n");
  EXPECT_EQ(CatalogTable[0][0].monster, 1);
  EXPECT_EQ(CatalogTable[0][0].picture, 0);
  EXPECT_EQ(CatalogTable[0][1].monster, 0);
  EXPECT_EQ(CatalogTable[0][2].monster, 5);
  EXPECT_EQ(CatalogTable[0][2].picture, 2);  // PIC3
  EXPECT_EQ(CatalogTable[1][0].monster, 2);
  EXPECT_EQ(CatalogTable[2][0].monster, -1);  // the end
  EXPECT_EQ(CatalogTable[399][0].monster, -1);

  std::string many;
  for (int i = 0; i < 399; ++i) many += "2001-1\n";
  Catalog(many);
  EXPECT_EQ(CatalogTable[398][0].monster, 1);
  EXPECT_EQ(CatalogTable[399][0].monster, -1);
  Write("data/system/cata.txt", many + "2001-1\n");
  EXPECT_EQ(Fatal(ReadCatalog), U8(u8"カタログ行が多すぎます[400]行"));
}

TEST_F(CatalogTest, BadPlacesStopTheProgram) {
  auto fails = [&](const std::string& text) {
    Write("data/system/cata.txt", text);
    return Fatal(ReadCatalog);
  };
  EXPECT_EQ(fails("2001-1,2001-1,2001-1,2001-1,2001-1,2001-1\n"), U8(u8"カタログ列が多すぎます[0]行"));
  EXPECT_EQ(fails("2001-1\n2001\n"), U8(u8"カタログ項不正(1,0)[2001]行"));
  EXPECT_EQ(fails("1999-1\n"), U8(u8"カタログ項不正(0,0)[1999-1]行"));
  EXPECT_EQ(fails("2001-1,2001-9\n"), U8(u8"カタログ項不正(0,1)[2001-9]行"));
  EXPECT_EQ(fails("2003-1\n"), U8(u8"カタログ敵番号不正(0,0)[2003-1](0!=2003)行"));
  EXPECT_EQ(fails("2001-2\n"), U8(u8"カタログ絵番号不正(0,0)[2001-2]行"));
  std::filesystem::remove("data/system/cata.txt");
  EXPECT_EQ(Fatal(ReadCatalog), U8(u8"[data/system/cata.txt]はありません"));
}

TEST_F(CatalogTest, SeenPicturesShowAndPagesTurn) {
  // Page 1: red monsters; page 2: green; page 3: nothing but empty places.
  std::string text;
  for (int i = 0; i < 5; ++i) text += "2001-1,2001-1\n";
  for (int i = 0; i < 5; ++i) text += "2002-1,2001-1\n";
  text += "0-0\n0-0\n";
  Catalog(text);
  GameStateBlock.enemy_pic[1] = 0;  // red not seen
  GameStateBlock.enemy_pic[2] = 1;  // green seen
  using host::key::Escape, host::key::Return, host::key::Right, host::key::Up, host::key::Down;
  // Up to the buttons (PREV), right twice to NEXT, decide: page 2.
  Keys({Up, Right, Right, Return, Escape});
  ShowCatalog();
  EXPECT_EQ(Place(0, 0), 0x00FF00u);  // seen, under the cursor: undimmed
  uint32_t unseen = Place(0, 1);      // red, darkened and dimmed
  EXPECT_LT(unseen >> 16 & 0xFF, 0x40u);
  EXPECT_GT(unseen >> 16 & 0xFF, 0u);

  // NEXT on page 2: page 3 holds no monster, so nothing happens.
  Keys({Up, Right, Right, Return, Up, Right, Right, Return, Escape});
  ShowCatalog();
  EXPECT_NEAR(static_cast<int>(Place(0, 0) >> 8 & 0xFF), 0x99, 1);  // page 2, dimmed 40%
  EXPECT_NEAR(static_cast<int>(Place(0, 0) & 0xFF), 0, 1);

  // From the page bar: right shows page 2, decide enters it.
  Keys({Down, Down, Down, Down, Down, Right, Return, Escape});
  ShowCatalog();
  EXPECT_NEAR(static_cast<int>(Place(0, 0) >> 8 & 0xFF), 0x99, 1);
}

TEST_F(CatalogTest, TheCoverHidesUnseenPictures) {
  Catalog("2001-1\n");
  TempDir::Write("data/system/np.png", Png(118, 80, 0, 0, 200));
  Keys({host::key::Escape});
  ShowCatalog();
  EXPECT_EQ(Place(0, 0), 0x0000C8u);
}

TEST_F(CatalogTest, OtherCommands) {
  EXPECT_EQ(Call(macro_map2dxchg, {"3", "12"}).text, "0");
  EXPECT_EQ(PartIndexTable[3], 12);
  EXPECT_EQ(Call(macro_map2dxchg, {"256", "1"}).text, "1");
  EXPECT_EQ(Call(macro_map2dxchg, {"3"}).text, "1");
  EXPECT_EQ(PartIndexTable[3], 12);
  PartIndexTable[3] = 0;

  Result r = Call(macro_sqrt, {"2"});
  EXPECT_EQ(r.tag, "F");
  EXPECT_EQ(r.text, "1.414214");
  EXPECT_EQ(Call(macro_pow, {"2", "10"}).text, "1024.000000");
  EXPECT_EQ(Call(macro_pow, {"3"}).text, "9.000000");
  EXPECT_EQ(Call(macro_log, {"anything"}).text, "0");

  dxcls(dxrgb(0, 0, 0));
  for (int x = 0; x < 100; ++x) dxsetpixel(x, 0, dxrgb(x * 2, 0, 0));
  EXPECT_EQ(Call(macro_mosaic, {"0", "0", "100"}).text, "1");
  EXPECT_EQ(dxgetpixel(5, 0), dxrgb(10, 0, 0));  // nothing drawn
  EXPECT_EQ(Call(macro_mosaic, {"0", "0", "100", "100"}).text, "0");
  EXPECT_EQ(dxgetpixel(5, 0), dxgetpixel(0, 0));  // blocks of 8
  EXPECT_NE(dxgetpixel(8, 0), dxgetpixel(0, 0));

  uint64_t frames = host_.frames_presented();
  EXPECT_EQ(Call(macro_effect, {}).text, "0");
  EXPECT_EQ(Call(macro_effect, {"data/pic/red.png", "11"}).text, "0");  // no such zoom
  EXPECT_EQ(host_.frames_presented(), frames);
  EXPECT_EQ(Call(macro_effect, {"data/pic/red.png", "10", "1"}).text, "0");  // the zoom: 80 frames
  EXPECT_EQ(host_.frames_presented(), frames + 80);
  // An empty name is no picture: nothing happens, with a table or the zoom.
  TempDir::Write("data/system/effect1.dat", std::string(16, '\0'));
  const size_t boxes = host_.message_boxes().size();
  EXPECT_EQ(Call(macro_effect, {""}).text, "0");
  EXPECT_EQ(Call(macro_effect, {"", "10", "1"}).text, "0");
  EXPECT_EQ(host_.frames_presented(), frames + 80);
  EXPECT_EQ(host_.message_boxes().size(), boxes);

  EXPECT_EQ(Call(macro_warn, {}).text, "0");
  ASSERT_FALSE(host_.message_boxes().empty());
  EXPECT_EQ(host_.message_boxes().back().text, "");
  EXPECT_EQ(host_.message_boxes().back().caption, U8(u8"警告"));
  std::string longer(2000, 'w');
  EXPECT_EQ(Call(macro_warn, {longer}).text, "0");
  EXPECT_EQ(host_.message_boxes().back().text, std::string(1023, 'w'));
  EXPECT_EQ(MsgBuf[0], '\0');
}

}  // namespace
}  // namespace gamerpg_test
