#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dx/dx.h"
#include "platform/win32/process.h"
#include "tests/package/temp_dir.h"
#include "tools/mkpack/packwriter.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Writes a package of the given entries to `file` with the writer of the tools.
void WritePackage(const std::string& file, const std::vector<packwriter::Entry>& entries) {
  std::string error;
  ASSERT_TRUE(packwriter::Write(entries, file, error)) << error;
}

std::string Read(PkgFile* f, int32_t n) {
  std::string s(static_cast<size_t>(n), '\0');
  int32_t got = PkgFileRead(f, s.data(), n);
  s.resize(static_cast<size_t>(std::max(got, 0)));
  return s;
}

class PackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WritePackage("test.pak", {{"data/map/map.cfg", Bytes("map config")},
                              {"data/event/ソ.txt", Bytes("0123456789ABCDEFGHIJ")},
                              {"data/empty", {}}});
    ASSERT_EQ(PackageOpen("test.pak"), 0);
  }
  void TearDown() override {
    dxfcloseall();
    PackageOpen(nullptr);  // no package for the next test
  }
  TempDir dir_;
};

TEST_F(PackageTest, NamesMatchExactly) {
  EXPECT_TRUE(PackageContains("data/map/map.cfg"));
  EXPECT_TRUE(PackageContains("data/event/ソ.txt"));
  EXPECT_FALSE(PackageContains("data/map/MAP.CFG"));
  EXPECT_FALSE(PackageContains("data\\map\\map.cfg"));
  EXPECT_FALSE(PackageContains("data/map/map.cf"));
  EXPECT_FALSE(PackageContains(nullptr));
  // Another spelling goes to the disk.
  TempDir::Write("data/map/MAP.CFG", "loose");
  PkgFile* f = PkgFileOpen("data\\map\\MAP.CFG", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->table, nullptr);
  EXPECT_EQ(Read(f, 100), "loose");
  EXPECT_EQ(PkgFileClose(f), 1);
  EXPECT_TRUE(PkgFileExists("data/map/MAP.CFG"));
  EXPECT_TRUE(PkgFileExists("data/empty"));
  EXPECT_FALSE(PkgFileExists("data/none"));
  // A folder on disk is no file: it neither exists as one nor opens.
  EXPECT_FALSE(PkgFileExists("data/map"));
  EXPECT_FALSE(PkgFileExists("data/map/"));
  EXPECT_EQ(PkgFileOpen("data/map", "rb"), nullptr);
}

TEST_F(PackageTest, WritingModesBypassThePackage) {
  TempDir::Write("data/map/map.cfg", "disk");
  PkgFile* r = PkgFileOpen("data/map/map.cfg", "rb");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(Read(r, 100), "map config");
  PkgFileClose(r);
  PkgFile* r2 = PkgFileOpen("data/map/map.cfg", "r+b");  // the package stream is read-only anyway
  ASSERT_NE(r2, nullptr);
  EXPECT_NE(r2->table, nullptr);
  PkgFileClose(r2);

  PkgFile* a = PkgFileOpen("data/map/map.cfg", "ab");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->table, nullptr);
  std::fputs("+", a->stream);
  PkgFileClose(a);
  EXPECT_EQ(TempDir::Read("data/map/map.cfg"), "disk+");
  PkgFile* w = PkgFileOpen("data/map/map.cfg", "wb");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->table, nullptr);
  PkgFileClose(w);
  EXPECT_EQ(TempDir::Read("data/map/map.cfg"), "");
}

TEST_F(PackageTest, ReadsStopAtTheEntryEnd) {
  PkgFile* f = PkgFileOpen("data/event/ソ.txt", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(PkgFileTell(f), 0);
  EXPECT_EQ(PkgFileSize(f), 20);
  ASSERT_EQ(PkgFileSeek(f, 10, 0), 0);
  EXPECT_EQ(Read(f, 100), "ABCDEFGHIJ");
  EXPECT_EQ(PkgFileRead(f, nullptr, 5), 0);
  char c;
  EXPECT_EQ(PkgFileRead(f, &c, 1), 0);
  EXPECT_EQ(PkgFileTell(f), 20);
  PkgFileClose(f);

  PkgFile* e = PkgFileOpen("data/empty", "rb");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(PkgFileSize(e), 0);
  EXPECT_EQ(PkgFileRead(e, &c, 1), 0);  // not the next entry's first byte
  PkgFileClose(e);
}

TEST_F(PackageTest, SeeksAreClampedToTheEntry) {
  PkgFile* f = PkgFileOpen("data/event/ソ.txt", "rb");
  ASSERT_NE(f, nullptr);
  // From the start: exactly the size is allowed; beyond it or before it is clamped.
  EXPECT_EQ(PkgFileSeek(f, 20, 0), 0);
  EXPECT_EQ(PkgFileTell(f), 20);
  EXPECT_EQ(PkgFileSeek(f, 21, 0), -1);
  EXPECT_EQ(PkgFileTell(f), 20);
  EXPECT_EQ(PkgFileSeek(f, -1, 0), -1);
  EXPECT_EQ(PkgFileTell(f), 0);
  // From the end or the current position, landing on the end is a clamp.
  EXPECT_EQ(PkgFileSeek(f, 0, 2), -1);
  EXPECT_EQ(PkgFileTell(f), 20);
  EXPECT_EQ(PkgFileSeek(f, -5, 2), 0);
  EXPECT_EQ(PkgFileTell(f), 15);
  EXPECT_EQ(Read(f, 1), "F");
  EXPECT_EQ(PkgFileSeek(f, -21, 2), -1);
  EXPECT_EQ(PkgFileTell(f), 0);
  EXPECT_EQ(PkgFileSeek(f, 7, 1), 0);
  EXPECT_EQ(PkgFileSeek(f, 3, 1), 0);
  EXPECT_EQ(PkgFileTell(f), 10);
  EXPECT_EQ(PkgFileSeek(f, 10, 1), -1);
  EXPECT_EQ(PkgFileTell(f), 20);
  EXPECT_EQ(PkgFileSeek(f, -30, 1), -1);
  EXPECT_EQ(PkgFileTell(f), 0);
  EXPECT_EQ(PkgFileSeek(f, 4, 0), 0);
  EXPECT_EQ(PkgFileSeek(f, 0, 3), -1);  // no such origin: the position stays
  EXPECT_EQ(PkgFileTell(f), 4);
  EXPECT_EQ(Read(f, 2), "45");
  PkgFileClose(f);
}

TEST_F(PackageTest, DiskFilesAreUnclamped) {
  TempDir::Write("loose.txt", "abcdef");
  PkgFile* f = PkgFileOpen("loose.txt", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(PkgFileSize(f), 6);
  EXPECT_EQ(PkgFileSeek(f, 0, 2), 0);
  EXPECT_EQ(PkgFileTell(f), 6);
  EXPECT_EQ(PkgFileSeek(f, 2, 0), 0);
  EXPECT_EQ(Read(f, 100), "cdef");
  PkgFileClose(f);
  EXPECT_EQ(PkgFileOpen("missing.txt", "rb"), nullptr);
}

TEST_F(PackageTest, APackageEntryThatCannotBeOpenedIsNotLookedForOnDisk) {
  TempDir::Write("data/map/map.cfg", "disk");
  std::filesystem::rename("test.pak", "moved.pak");
  EXPECT_EQ(PkgFileOpen("data/map/map.cfg", "rb"), nullptr);
  EXPECT_EQ(dxfopen("data/map/map.cfg"), nullptr);
  EXPECT_EQ(dxfopenw(u"data/map/map.cfg"), nullptr);
}

TEST_F(PackageTest, StreamsOutliveAReplacedIndex) {
  PkgFile* f = PkgFileOpen("data/map/map.cfg", "rb");
  ASSERT_NE(f, nullptr);
  WritePackage("other.pak", {{"x", Bytes("y")}});
  ASSERT_EQ(PackageOpen("other.pak"), 0);
  EXPECT_FALSE(PackageContains("data/map/map.cfg"));
  EXPECT_EQ(Read(f, 100), "map config");
  PkgFileClose(f);
}

TEST_F(PackageTest, DxfopenSharesByNameWithReferenceCounts) {
  TempDir::Write("data/map/map.cfg", "disk copy");
  TempDir::Write("loose.bin", "loose");
  dx::file* a = dxfopen("data/map/map.cfg");
  ASSERT_NE(a, nullptr);
  EXPECT_TRUE(a->frompack);  // the package comes before the disk
  EXPECT_EQ(std::string(static_cast<const char*>(dxfdata(a)), dxfsize(a)), "map config");
  dx::file* b = dxfopen("data/map/map.cfg");
  EXPECT_EQ(a, b);
  EXPECT_EQ(a->refs, 2);
  dxfclose(a);
  EXPECT_EQ(b->refs, 1);

  dx::file* l = dxfopen("loose.bin");
  ASSERT_NE(l, nullptr);
  EXPECT_FALSE(l->frompack);
  EXPECT_EQ(std::string(static_cast<const char*>(dxfdata(l)), dxfsize(l)), "loose");
  dxfclose(l);
  // Released: the next open reads the source again.
  TempDir::Write("loose.bin", "changed");
  l = dxfopen("loose.bin");
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(dxfdata(l)), dxfsize(l)), "changed");
  dxfclose(l);
  dxfclose(l);  // no longer known: nothing happens

  dx::file* e = dxfopen("data/empty");  // an empty entry is a file of no bytes
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(dxfsize(e), 0u);
  TempDir::Write("empty.bin", "");
  EXPECT_EQ(dxfopen("empty.bin"), nullptr);  // an empty disk file cannot be mapped
  EXPECT_EQ(dxfopen("missing.bin"), nullptr);
  EXPECT_EQ(dxfsize(nullptr), 0u);
  EXPECT_EQ(dxfdata(nullptr), nullptr);
  dxfclose(nullptr);
}

TEST_F(PackageTest, OtherOpenersAndCloseAll) {
  TempDir::Write("\xE3\x82\xBD.bin", "wide");
  dx::file* w = dxfopenw(u"ソ.bin");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(dxfdata(w)), dxfsize(w)), "wide");
  EXPECT_EQ(w->refs, 0);
  dx::file* p = dxfopenw(u"data/event/ソ.txt");  // the package under the CP932 name
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->frompack);
  EXPECT_EQ(dxfopenpack("ソ.bin"), nullptr);  // on disk only
  EXPECT_EQ(dxfopenres(nullptr, "data/map/map.cfg", RT_RCDATA), nullptr);
  static const char mem[] = "memory";
  dx::file* m = dxfopenmem(mem, 6);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(dxfdata(m), mem);

  dx::file* shared = dxfopen("data/map/map.cfg");
  dxfopen("data/map/map.cfg");
  dxfopen("data/map/map.cfg");
  ASSERT_EQ(shared->refs, 3);
  dxfcloseall();
  // Everything is gone, the cached name too.
  dx::file* again = dxfopen("data/map/map.cfg");
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->refs, 1);
}

// Packages with a damaged index, built by hand from a good one.
class DamagedPackage : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(packwriter::Build({{"a.txt", Bytes("AAAA")}, {"b.txt", Bytes("BB")}}, good_, error));
  }
  void TearDown() override { PackageOpen(nullptr); }

  static void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  }
  // Opens `bytes` as a package after a good one was loaded: a failure must
  // leave no package behind.
  int32_t Open(const std::vector<uint8_t>& bytes) {
    TempDir::Write("good.pak", std::string(good_.begin(), good_.end()));
    EXPECT_EQ(PackageOpen("good.pak"), 0);
    TempDir::Write("bad.pak", std::string(bytes.begin(), bytes.end()));
    int32_t r = PackageOpen("bad.pak");
    if (r != 0) {
      EXPECT_FALSE(PackageContains("a.txt"));
    }
    return r;
  }

  TempDir dir_;
  std::vector<uint8_t> good_;
  // Where the parts lie in the good package.
  static constexpr size_t kCount = packwriter::kPackageOffset + 17;
  static constexpr size_t kFirst = kCount + 4;  // offset, size, length, "a.txt\0"
};

TEST_F(DamagedPackage, TheGoodOneOpens) {
  EXPECT_EQ(Open(good_), 0);
  EXPECT_TRUE(PackageContains("a.txt"));
  EXPECT_TRUE(PackageContains("b.txt"));
  PkgFile* f = PkgFileOpen("b.txt", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(Read(f, 10), "BB");
  PkgFileClose(f);
}

TEST_F(DamagedPackage, HeaderProblemsFail) {
  EXPECT_EQ(PackageOpen("no such file"), 1);
  EXPECT_EQ(Open({}), 1);
  EXPECT_EQ(Open(std::vector<uint8_t>(good_.begin(), good_.begin() + 39)), 1);  // no whole offset word
  auto far = good_;
  Put32(far, 36, 0xFFFFFFF0);
  EXPECT_EQ(Open(far), 1);
  auto wrong = good_;
  wrong[packwriter::kPackageOffset + 2] = 'p';
  EXPECT_EQ(Open(wrong), 1);
  // The header and the count cut off.
  EXPECT_EQ(Open(std::vector<uint8_t>(good_.begin(), good_.begin() + kCount + 2)), 1);
}

TEST_F(DamagedPackage, IndexProblemsFail) {
  auto huge = good_;
  Put32(huge, kCount, 0x7FFFFFFF);
  EXPECT_EQ(Open(huge), 1);
  auto more = good_;
  Put32(more, kCount, 3);  // one entry more than the index holds
  EXPECT_EQ(Open(more), 1);
  auto long_name = good_;
  Put32(long_name, kFirst + 8, 1024);
  EXPECT_EQ(Open(long_name), 1);
  auto no_name = good_;
  Put32(no_name, kFirst + 8, 0);
  EXPECT_EQ(Open(no_name), 1);
  auto past_end = good_;
  Put32(past_end, kFirst + 8, 0xFFFFFF00);
  EXPECT_EQ(Open(past_end), 1);
  auto unterminated = good_;
  unterminated[kFirst + 12 + 5] = 'x';
  EXPECT_EQ(Open(unterminated), 1);
  auto big = good_;
  Put32(big, kFirst + 4, 5);  // overlaps its neighbour but stays inside the file: allowed
  EXPECT_EQ(Open(big), 0);
  Put32(big, kFirst + 4, static_cast<uint32_t>(good_.size()));
  EXPECT_EQ(Open(big), 1);
  auto wrapped = good_;
  Put32(wrapped, kFirst, 0xFFFFFFFF);
  EXPECT_EQ(Open(wrapped), 1);
  // A cut file loses the last entry's data.
  EXPECT_EQ(Open(std::vector<uint8_t>(good_.begin(), good_.end() - 1)), 1);
}

TEST_F(DamagedPackage, AnEmptyNameIsNeverShared) {
  auto blank = good_;
  blank[kFirst + 12] = 0xFF;  // the first name inverts to a zero byte: ""
  ASSERT_EQ(Open(blank), 0);
  EXPECT_TRUE(PackageContains(""));
  for (int i = 0; i < 2; ++i) {
    dx::file* f = dxfopen("");
    EXPECT_EQ(f, nullptr);
    dxfclose(f);
    dxfcloseall();
  }
}

TEST(PackageWriter, RefusesWhatTheReaderCannotTake) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_FALSE(packwriter::Build({{"a", {}}, {"a", {}}}, out, error));
  EXPECT_FALSE(packwriter::Build({{"", {}}}, out, error));
  EXPECT_FALSE(packwriter::Build({{std::string(1023, 'n'), {}}}, out, error));
  EXPECT_TRUE(packwriter::Build({{std::string(1022, 'n'), {}}}, out, error));
}

TEST(PackageWriter, NamesFilesAsTheGameAsksForThem) {
  TempDir dir;
  TempDir::Write("data/map/map.cfg", "m");
  TempDir::Write("data/\xE3\x82\xBD/b.txt", "b");
  std::vector<packwriter::Entry> entries;
  std::string error;
  ASSERT_TRUE(packwriter::Collect("data/", entries, error)) << error;
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "data/map/map.cfg");
  EXPECT_EQ(entries[1].name, "data/ソ/b.txt");  // CP932, as the game's literals are
  ASSERT_TRUE(packwriter::Write(entries, "out.pak", error));
  ASSERT_EQ(PackageOpen("out.pak"), 0);
  EXPECT_TRUE(PackageContains("data/ソ/b.txt"));
  PackageOpen(nullptr);
  EXPECT_FALSE(packwriter::Collect("nothing", entries, error));
}

TEST(PackageFile, BesideTheExecutable) {
  std::string exe = win32::ModulePath();
  std::string pak = PackageFileName();
  size_t cut = exe.rfind('\\');
  ASSERT_NE(cut, std::string::npos);
  EXPECT_EQ(pak, exe.substr(0, cut + 1) + "dolvicar.pak");
}

}  // namespace
