#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "game/gamestate.h"
#include "game/savefile.h"
#include "tests/game/game_fixture.h"

namespace {

using gametest::GameTest;

class SaveFileTest : public GameTest {
 protected:
  // A picture: FF D8, then bytes that differ between the two covers.
  static std::string Picture(uint8_t seed, size_t size) {
    std::string p = "\xFF\xD8";
    for (size_t i = 0; i < size; ++i) p += static_cast<char>((i * 7 + seed) & 0xFF);
    p += "\xFF\xD9";
    return p;
  }
  struct Loaded {
    int code;
    std::vector<uint8_t> data;
  };
  static Loaded Load(const char* path) {
    uint8_t* data = reinterpret_cast<uint8_t*>(1);
    uint32_t length = 0;
    Loaded out{ReadSaveFile(path, &data, &length), {}};
    if (out.code == LOAD_OK) {
      EXPECT_EQ(data[length], 0);
      out.data.assign(data, data + length);
      std::free(data);
    } else {
      EXPECT_EQ(data, nullptr);
    }
    return out;
  }
};

// Move-to-front coding, done by hand.
std::vector<uint8_t> Code(const std::string& picture, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> table(256);
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i);
  auto move = [&](uint8_t b) {
    size_t i = 0;
    while (table[i] != b) ++i;
    table.erase(table.begin() + static_cast<long>(i));
    table.insert(table.begin(), b);
    return static_cast<uint8_t>(i);
  };
  for (size_t i = 2; i < picture.size(); ++i) move(static_cast<uint8_t>(picture[i]));
  std::vector<uint8_t> out;
  for (uint8_t b : data) out.push_back(move(b));
  return out;
}

TEST_F(SaveFileTest, TheWholeBlockRoundTripsByteForByte) {
  std::string pic = Picture(3, 500);
  TempDir::Write("data/save_jpg/a.jpg", pic);
  std::srand(7);
  for (size_t i = 0; i < sizeof GameStateBlock; ++i)
    reinterpret_cast<uint8_t*>(&GameStateBlock)[i] = static_cast<uint8_t>(std::rand() >> 3);
  std::vector<uint8_t> block(reinterpret_cast<uint8_t*>(&GameStateBlock),
                             reinterpret_cast<uint8_t*>(&GameStateBlock) + sizeof GameStateBlock);
  ASSERT_EQ(WriteSaveFile("s1.jpg", "data/save_jpg/a.jpg", block.data(), 83712), SAVE_OK);
  std::string file = TempDir::Read("s1.jpg");
  ASSERT_EQ(file.size(), 14 + pic.size() - 2 + 83712 + 4);
  EXPECT_EQ(file.substr(0, 6), std::string("\xFF\xD8\xFF\xFE\x00\x0A", 6));
  uint32_t d, l, sum, expect_sum = 0;
  std::memcpy(&d, file.data() + 6, 4);
  std::memcpy(&l, file.data() + 10, 4);
  EXPECT_EQ(d, 83712u);
  EXPECT_EQ(l, pic.size() - 2);
  EXPECT_EQ(file.substr(14, l), pic.substr(2));
  std::vector<uint8_t> coded = Code(pic, block);
  EXPECT_EQ(0, std::memcmp(file.data() + 14 + l, coded.data(), coded.size()));
  for (uint8_t b : block) expect_sum += b;
  std::memcpy(&sum, file.data() + 14 + l + d, 4);
  EXPECT_EQ(sum, expect_sum);
  Loaded back = Load("s1.jpg");
  ASSERT_EQ(back.code, LOAD_OK);
  EXPECT_EQ(back.data, block);
}

TEST_F(SaveFileTest, TwoPicturesCodeDifferentlyAndReadTheSame) {
  TempDir::Write("p1.jpg", Picture(1, 300));
  TempDir::Write("p2.jpg", Picture(90, 300));
  std::vector<uint8_t> data = {1, 2, 3, 200, 200, 0, 7};
  ASSERT_EQ(WriteSaveFile("a.sav", "p1.jpg", data.data(), 7), SAVE_OK);
  ASSERT_EQ(WriteSaveFile("b.sav", "p2.jpg", data.data(), 7), SAVE_OK);
  std::string a = TempDir::Read("a.sav"), b = TempDir::Read("b.sav");
  EXPECT_NE(a.substr(a.size() - 11, 7), b.substr(b.size() - 11, 7));
  EXPECT_EQ(Load("a.sav").data, data);
  EXPECT_EQ(Load("b.sav").data, data);
}

TEST_F(SaveFileTest, DamagedFilesGiveTheirCodes) {
  TempDir::Write("p.jpg", Picture(5, 100));
  std::vector<uint8_t> data(50, 9);
  ASSERT_EQ(WriteSaveFile("s.sav", "p.jpg", data.data(), 50), SAVE_OK);
  std::string file = TempDir::Read("s.sav");
  EXPECT_EQ(Load("none.sav").code, LOAD_CANNOT_OPEN);
  TempDir::Write("cut_sum.sav", file.substr(0, file.size() - 1));
  EXPECT_EQ(Load("cut_sum.sav").code, LOAD_BAD_SUM);
  TempDir::Write("cut_data.sav", file.substr(0, file.size() - 10));
  EXPECT_EQ(Load("cut_data.sav").code, LOAD_DATA_CUT);
  TempDir::Write("cut_pic.sav", file.substr(0, 40));
  EXPECT_EQ(Load("cut_pic.sav").code, LOAD_PICTURE_CUT);
  std::string changed = file;
  changed[file.size() - 20] ^= 0x01;
  TempDir::Write("changed.sav", changed);
  EXPECT_EQ(Load("changed.sav").code, LOAD_BAD_SUM);
  std::string plain = file;
  plain[3] = '\xE0';
  TempDir::Write("plain.jpg", plain);
  EXPECT_EQ(Load("plain.jpg").code, LOAD_NOT_SAVE);
  plain = file;
  plain[5] = 12;
  TempDir::Write("plain2.jpg", plain);
  EXPECT_EQ(Load("plain2.jpg").code, LOAD_NOT_SAVE);
  // A header that claims far more data than the file holds is refused before
  // anything is allocated.
  std::string huge = file;
  huge[9] = '\x7F';
  TempDir::Write("huge.sav", huge);
  EXPECT_EQ(Load("huge.sav").code, LOAD_DATA_CUT);
  huge = file;
  huge[13] = '\x7F';
  TempDir::Write("huge2.sav", huge);
  EXPECT_EQ(Load("huge2.sav").code, LOAD_PICTURE_CUT);
}

TEST_F(SaveFileTest, EmptyDataAndWriteFailures) {
  TempDir::Write("p.jpg", Picture(5, 10));
  ASSERT_EQ(WriteSaveFile("empty.sav", "p.jpg", nullptr, 0), SAVE_OK);
  EXPECT_EQ(TempDir::Read("empty.sav").size(), 14 + 10 + 2 + 4);
  Loaded e = Load("empty.sav");
  EXPECT_EQ(e.code, LOAD_OK);
  EXPECT_TRUE(e.data.empty());
  EXPECT_EQ(WriteSaveFile("x.sav", "missing.jpg", "a", 1), SAVE_NO_PICTURE);
  EXPECT_EQ(WriteSaveFile("nodir/x.sav", "p.jpg", "a", 1), SAVE_CANNOT_CREATE);
  // A failed write leaves the old save whole.
  std::string before = TempDir::Read("empty.sav");
  EXPECT_EQ(WriteSaveFile("empty.sav", "missing.jpg", "a", 1), SAVE_NO_PICTURE);
  EXPECT_EQ(TempDir::Read("empty.sav"), before);
}

}  // namespace
