#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/win32/win32.h"
#include "tests/package/temp_dir.h"

namespace {

TEST(Win32Path, SeparatorsAndShiftJisTrailBytes) {
  EXPECT_EQ(win32::HostPath("data\\map\\map.cfg"), "data/map/map.cfg");
  // "ソ" is 0x83 0x5C in Shift-JIS: its trail byte is not a separator.
  EXPECT_EQ(win32::HostPath("data\\ソ\\a.txt"), "data/\xE3\x82\xBD/a.txt");
  EXPECT_EQ(win32::HostPathW(u"data\\ソ.txt"), "data/\xE3\x82\xBD.txt");
  EXPECT_EQ(win32::HostPath(nullptr), "");
}

TEST(Win32CreateFile, OpensByProgramNameCaseSensitively) {
  TempDir dir;
  TempDir::Write("data/\xE3\x82\xBD.txt", "hello");
  HANDLE h = CreateFileA("data\\ソ.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  char buf[16] = {};
  DWORD got = 99;
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &got, nullptr));  // the end: success, short count
  EXPECT_EQ(got, 5u);
  EXPECT_STREQ(buf, "hello");
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &got, nullptr));
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(CloseHandle(h));

  HANDLE w = CreateFileW(u"data/ソ.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(w, INVALID_HANDLE_VALUE);
  CloseHandle(w);

  EXPECT_EQ(CreateFileA("DATA\\ソ.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  // A folder is not a file.
  EXPECT_EQ(CreateFileA("data", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(Win32CreateFile, HandlesAreClosedOnce) {
  TempDir dir;
  TempDir::Write("a", "x");
  HANDLE h = CreateFileA("a", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  DWORD got = 7;
  char c;
  EXPECT_FALSE(ReadFile(h, &c, 1, &got, nullptr));
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(GetFileSize(INVALID_HANDLE_VALUE, nullptr), INVALID_FILE_SIZE);
}

TEST(Win32FilePointer, MovesWithinAndReportsFailures) {
  TempDir dir;
  TempDir::Write("f", "0123456789");
  HANDLE h = CreateFileA("f", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD high = 123;
  SetLastError(77);
  EXPECT_EQ(GetFileSize(h, &high), 10u);
  EXPECT_EQ(high, 0u);
  EXPECT_EQ(GetLastError(), NO_ERROR);

  EXPECT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
  EXPECT_EQ(SetFilePointer(h, 2, nullptr, FILE_CURRENT), 6u);
  EXPECT_EQ(SetFilePointer(h, -3, nullptr, FILE_END), 7u);
  char c = 0;
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(h, &c, 1, &got, nullptr));
  EXPECT_EQ(c, '7');
  EXPECT_EQ(SetFilePointer(h, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 8u);  // a failed move leaves it
  LONG hi = 1;  // 4 GiB + 2: past the end is allowed, as on Windows
  EXPECT_EQ(SetFilePointer(h, 2, &hi, FILE_BEGIN), 2u);
  EXPECT_EQ(hi, 1);
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
  CloseHandle(h);
}

TEST(Win32FileMapping, ViewsReadTheFileAndOutliveTheirHandles) {
  TempDir dir;
  TempDir::Write("m", "mapped bytes");
  TempDir::Write("empty", "");
  HANDLE f = CreateFileA("m", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE m = CreateFileMappingA(f, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(MapViewOfFile(m, FILE_MAP_READ, 0, 1, 4), nullptr);  // not on a 64 KiB boundary
  EXPECT_EQ(GetLastError(), ERROR_MAPPED_ALIGNMENT);
  EXPECT_EQ(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 13), nullptr);  // past the mapping
  auto* view = static_cast<const char*>(MapViewOfFile(m, FILE_MAP_READ, 0, 0, 12));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(CloseHandle(m));
  EXPECT_TRUE(CloseHandle(f));
  EXPECT_EQ(std::string(view, 12), "mapped bytes");
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_FALSE(UnmapViewOfFile(view));

  HANDLE e = CreateFileA("empty", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(CreateFileMappingA(e, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_INVALID);
  CloseHandle(e);
}

TEST(Win32Resources, TheProgramHasNone) {
  EXPECT_EQ(FindResourceA(GetModuleHandleA(nullptr), "SE01", RT_RCDATA), nullptr);
  EXPECT_EQ(FindResourceW(nullptr, u"SE01", MAKEINTRESOURCEW(10)), nullptr);
  EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
  EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
}

TEST(Win32SafeWrite, ReplacesWholeOrNotAtAll) {
  TempDir dir;
  TempDir::Write("save/\xE3\x82\xBD.dat", "old contents");
  ASSERT_TRUE(win32::WriteFileSafely("save\\ソ.dat", "new", 3));
  EXPECT_EQ(TempDir::Read("save/\xE3\x82\xBD.dat"), "new");

  // A writer that gives up half-way leaves the old file and no temporary.
  EXPECT_FALSE(win32::WriteFileSafely("save\\ソ.dat", [](std::FILE* out) {
    std::fputs("half", out);
    return false;
  }));
  EXPECT_EQ(TempDir::Read("save/\xE3\x82\xBD.dat"), "new");
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator("save")) (void)e, ++files;
  EXPECT_EQ(files, 1);

  // A missing folder fails cleanly.
  EXPECT_FALSE(win32::WriteFileSafely("nowhere\\x.dat", "x", 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

  std::FILE* f = win32::fopen("save\\ソ.dat", "rb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
}

}  // namespace
