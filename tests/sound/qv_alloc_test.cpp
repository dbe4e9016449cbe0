#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/debug.h"
#include "qv/qvxalloc.h"

namespace {

std::vector<const void*> Live(uint32_t type) {
  std::vector<const void*> out;
  for (const QvxAllocHeader* h = QvxAllocFirst(type); h; h = h->next) out.push_back(h + 1);
  return out;
}

class Allocator : public ::testing::Test {
 protected:
  void SetUp() override { platform::set_debug_capture(&debug_); }
  void TearDown() override {
    platform::set_debug_capture(nullptr);
    for (uint32_t t = 0; t < MEMTYPE_END; ++t) EXPECT_TRUE(Live(t).empty());
  }
  std::string debug_;
};

TEST_F(Allocator, ListsKeepOrderThroughEveryKindOfFree) {
  void* a = QvxAlloc(10, "a.cpp", 1, MEMTYPE_NORMAL);
  void* b = QvxAlloc(20, "b.cpp", 2, MEMTYPE_NORMAL);
  void* c = QvxAlloc(30, "c.cpp", 3, MEMTYPE_NORMAL);
  void* other = QvxAlloc(5, "d.cpp", 4, MEMTYPE_NEW_DIMENSION);
  EXPECT_EQ(Live(MEMTYPE_NORMAL), (std::vector<const void*>{a, b, c}));
  EXPECT_EQ(Live(MEMTYPE_NEW_DIMENSION), (std::vector<const void*>{other}));
  QvxFree(c, MEMTYPE_NORMAL);  // the tail: the tail moves back
  void* d = QvxAlloc(40, "e.cpp", 5, MEMTYPE_NORMAL);
  EXPECT_EQ(Live(MEMTYPE_NORMAL), (std::vector<const void*>{a, b, d}));
  QvxFree(b, MEMTYPE_NORMAL);  // the middle
  QvxFree(a, MEMTYPE_NORMAL);  // the head
  EXPECT_EQ(Live(MEMTYPE_NORMAL), (std::vector<const void*>{d}));
  QvxFree(d, MEMTYPE_NORMAL);  // the only block empties the list
  QvxFree(nullptr, MEMTYPE_NORMAL);
  void* e = QvxAlloc(1, "f.cpp", 6, MEMTYPE_NORMAL);  // and it takes new blocks again
  EXPECT_EQ(Live(MEMTYPE_NORMAL), (std::vector<const void*>{e}));
  QvxFree(e, MEMTYPE_NORMAL);
  QvxFree(other, MEMTYPE_NEW_DIMENSION);
  EXPECT_EQ(debug_, "");
}

TEST_F(Allocator, CallocZeroesAndReallocKeepsTheContents) {
  auto* p = static_cast<uint8_t*>(QvxCalloc(4, 8, "x.cpp", 1, MEMTYPE_NORMAL));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 32; ++i) ASSERT_EQ(p[i], 0);
  std::memcpy(p, "abcdefgh", 8);
  auto* q = static_cast<char*>(QvxRealloc(p, 4, "x.cpp", 2, MEMTYPE_NORMAL));
  EXPECT_EQ(std::string(q, 4), "abcd");
  EXPECT_EQ(Live(MEMTYPE_NORMAL).size(), 1u);
  QvxFree(q, MEMTYPE_NORMAL);
  EXPECT_EQ(QvxCalloc(SIZE_MAX / 2, 4, "x.cpp", 3, MEMTYPE_NORMAL), nullptr);  // count × size overflows
}

TEST_F(Allocator, DumpListsLiveBlocksAndCallerErrorsAreReported) {
  QvxDumpAlloc();
  EXPECT_EQ(debug_, "");  // nothing allocated: nothing written
  void* p = QvxAlloc(12, "qvscommon.cpp", 77, MEMTYPE_NEW_NORMAL);
  QvxDumpAlloc();
  char line[128];
  std::snprintf(line, sizeof line, "qvscommon.cpp(77) : [Addr:0x%p, size:12]\n", p);
  EXPECT_EQ(debug_, "-- Dump Alloc Memory (MemType : New(Normal)) --\n" + std::string(line));
  debug_.clear();
  EXPECT_EQ(QvxAlloc(1, "x.cpp", 1, MEMTYPE_END), nullptr);
  EXPECT_NE(debug_.find("memtype<MEMTYPE_END"), std::string::npos);
  debug_.clear();
  QvxFree(p, MEMTYPE_NORMAL);  // the wrong list, which is empty: reported, and the block stays
  EXPECT_NE(debug_.find("qvxalloc.cpp("), std::string::npos);
  EXPECT_NE(debug_.find("pStart"), std::string::npos);
  EXPECT_EQ(Live(MEMTYPE_NEW_NORMAL), (std::vector<const void*>{p}));
  QvxFree(p, MEMTYPE_NEW_NORMAL);
  void* a = QvxAlloc(1, "x.cpp", 1, MEMTYPE_NORMAL);
  void* b = QvxAlloc(1, "x.cpp", 1, MEMTYPE_NEW_NORMAL);
  debug_.clear();
  QvxFree(b, MEMTYPE_NORMAL);  // not on that list
  EXPECT_NE(debug_.find("bFree"), std::string::npos);
  EXPECT_EQ(Live(MEMTYPE_NORMAL), (std::vector<const void*>{a}));
  EXPECT_EQ(Live(MEMTYPE_NEW_NORMAL), (std::vector<const void*>{b}));
  QvxFree(a, MEMTYPE_NORMAL);
  QvxFree(b, MEMTYPE_NEW_NORMAL);
}

}  // namespace
