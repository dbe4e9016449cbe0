#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/csvfile.h"
#include "tests/package/temp_dir.h"
#include "tools/mkpack/packwriter.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
constexpr const char* kNull = "<null>";

// The rows of a text as ReadCsv gives them, empty fields shown as <null>.
Rows Parse(const std::string& text) {
  TempDir::Write("t.csv", text);
  char*** rows = ReadCsv("t.csv");
  EXPECT_NE(rows, nullptr);
  Rows out;
  for (char*** r = rows; r && *r; ++r) {
    std::vector<std::string> row;
    for (int32_t i = 0; i < 64; ++i) row.push_back(CsvColumn(*r, i) ? CsvColumn(*r, i) : kNull);
    while (!row.empty() && row.back() == kNull) row.pop_back();
    out.push_back(row);
  }
  FreeCsv(rows);
  return out;
}

class CsvTest : public ::testing::Test {
  TempDir dir_;
};

TEST_F(CsvTest, CommentsAndEmptyLinesGiveNoRows) {
  EXPECT_EQ(Parse("# head\n\n1,a\n"), (Rows{{"1", "a"}}));
  EXPECT_EQ(Parse("  # indented comment\r\n\r\n\t\n1\r\n"), (Rows{{"1"}}));
  EXPECT_EQ(Parse("a,#b\n"), (Rows{{"a", "#b"}}));  // only at a line's start
  EXPECT_EQ(Parse(""), Rows{});
  EXPECT_EQ(ReadCsv("missing.csv"), nullptr);
}

TEST_F(CsvTest, QuotesProtectCommasQuotesAndLineEnds) {
  EXPECT_EQ(Parse("\"x,\"\"y\"\"\",z\n"), (Rows{{"x,\"y\"", "z"}}));
  EXPECT_EQ(Parse("\"a\r\nb\",c\nd\n"), (Rows{{"a\r\nb", "c"}, {"d"}}));
  EXPECT_EQ(Parse("ab\"c,d\"e,f\n"), (Rows{{"abc,de", "f"}}));  // a quote may open mid-field
  EXPECT_EQ(Parse("\"\",x\n"), (Rows{{kNull, "x"}}));            // nothing stored: empty
  EXPECT_EQ(Parse("\"open,to the end"), (Rows{{"open,to the end"}}));
}

TEST_F(CsvTest, EmptyFieldsAreNullAndBlanksLead) {
  TempDir::Write("e.csv", "1,,3\n");
  char*** rows = ReadCsv("e.csv");
  ASSERT_NE(rows, nullptr);
  ASSERT_NE(rows[0], nullptr);
  EXPECT_STREQ(rows[0][0], "1");
  EXPECT_EQ(rows[0][1], nullptr);  // a walk along the row stops here
  EXPECT_STREQ(CsvColumn(rows[0], 2), "3");
  EXPECT_EQ(CsvColumn(rows[0], 3), nullptr);
  EXPECT_EQ(CsvColumn(rows[0], 1000), nullptr);
  EXPECT_EQ(CsvColumn(rows[0], -1), nullptr);
  EXPECT_EQ(rows[1], nullptr);
  FreeCsv(rows);  // frees "3" too (the sanitizer build checks)

  EXPECT_EQ(Parse("  a  ,\t b \n"), (Rows{{"a  ", "b "}}));
  EXPECT_EQ(Parse("a, \nb"), (Rows{{"a"}, {"b"}}));
}

TEST_F(CsvTest, LineEndsOfEveryKindAndNoneAtTheEnd) {
  EXPECT_EQ(Parse("a\rb\r\nc\nd"), (Rows{{"a"}, {"b"}, {"c"}, {"d"}}));
  EXPECT_EQ(Parse("ア,イ\n"), (Rows{{"ア", "イ"}}));  // Shift-JIS text
}

TEST_F(CsvTest, ReadsFromThePackage) {
  std::string error;
  std::string text = "# items\n1,剣\n";
  ASSERT_TRUE(packwriter::Write({{"data/item/item.csv", std::vector<uint8_t>(text.begin(), text.end())}},
                                "t.pak", error));
  ASSERT_EQ(PackageOpen("t.pak"), 0);
  char*** rows = ReadCsv("data/item/item.csv");
  PackageOpen(nullptr);
  ASSERT_NE(rows, nullptr);
  EXPECT_STREQ(CsvColumn(rows[0], 1), "剣");
  EXPECT_EQ(rows[1], nullptr);
  FreeCsv(rows);
}

// The lines of a file as ReadPackLine gives them, with each result.
std::vector<std::pair<int32_t, std::string>> Lines(const std::string& text, int32_t size) {
  TempDir::Write("l.txt", text);
  PkgFile* f = PkgFileOpen("l.txt", "rb");
  EXPECT_NE(f, nullptr);
  std::vector<std::pair<int32_t, std::string>> out;
  std::vector<char> buf(static_cast<size_t>(size));
  for (int i = 0; i < 100; ++i) {
    int32_t n = ReadPackLine(buf.data(), size, f);
    out.emplace_back(n, buf.data());
    if (n < 0) break;
  }
  PkgFileClose(f);
  return out;
}

using LineList = std::vector<std::pair<int32_t, std::string>>;

TEST_F(CsvTest, PackLinesCountTheirBytesBeforeTheLineFeed) {
  EXPECT_EQ(Lines("abc\r\n", 256), (LineList{{4, "abc"}, {-1, ""}}));
  EXPECT_EQ(Lines("ab\rcd\n\nx", 256), (LineList{{5, "ab"}, {0, ""}, {1, "x"}, {-1, ""}}));
  // The last line without a line end is a line too.
  EXPECT_EQ(Lines("1 2 3\nlast", 256), (LineList{{5, "1 2 3"}, {4, "last"}, {-1, ""}}));
  EXPECT_EQ(Lines("", 256), (LineList{{-1, ""}}));
  EXPECT_EQ(Lines("abc", 1), (LineList{{-1, ""}}));
}

TEST_F(CsvTest, LongLinesComeInPieces) {
  std::string line(2000, 'x');
  line[1500] = 'y';
  auto got = Lines(line + "\n", 1024);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], std::make_pair(1023, line.substr(0, 1023)));
  EXPECT_EQ(got[1], std::make_pair(977, line.substr(1023)));
  EXPECT_EQ(got[2].first, -1);
}

}  // namespace
