#include "script/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

namespace {

TEST(VMalloc, ZeroSizeBlockIsValidAndCounted) {
  int32_t base = VMallocCount();
  void* p = VMalloc(0);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(VMallocSize(p), 0);
  EXPECT_EQ(VMallocCheck(p), 0);
  EXPECT_EQ(VMallocCount(), base + 1);
  EXPECT_EQ(VFree(p), 0);
  EXPECT_EQ(VMallocCount(), base);
}

TEST(VMalloc, RefusesNullStaleAndForeignPointers) {
  EXPECT_EQ(VFree(nullptr), VMALLOC_NULL);
  EXPECT_EQ(VMallocCheck(nullptr), VMALLOC_NULL);
  EXPECT_EQ(VMallocSize(nullptr), -1);

  int32_t base = VMallocCount();
  void* p = VMalloc(24);
  ASSERT_EQ(VFree(p), 0);
  // The second free is refused without touching the freed block.
  EXPECT_EQ(VFree(p), VMALLOC_BADCHECK);
  EXPECT_EQ(VMallocCheck(p), VMALLOC_BADCHECK);
  EXPECT_EQ(VMallocSize(p), -2);
  EXPECT_EQ(VRealloc(p, 100), nullptr);
  EXPECT_EQ(VMallocCount(), base);

  // Memory that never came from the allocator, and an address inside a block.
  char foreign[64] = {};
  EXPECT_EQ(VFree(foreign + 16), VMALLOC_BADCHECK);
  EXPECT_EQ(VRealloc(foreign + 16, 8), nullptr);
  char* q = static_cast<char*>(VMalloc(64));
  EXPECT_EQ(VFree(q + 16), VMALLOC_BADCHECK);
  EXPECT_EQ(VMallocCount(), base + 1);
  EXPECT_EQ(VFree(q), 0);
}

TEST(VMalloc, DamagedHeaderIsRefusedAndNothingChanges) {
  int32_t base = VMallocCount();
  auto* p = static_cast<char*>(VMalloc(8));
  auto* header = reinterpret_cast<VMallocHeader*>(p) - 1;
  header->size += 1;  // the check word no longer matches
  EXPECT_EQ(VMallocCheck(p), VMALLOC_BADCHECK);
  EXPECT_EQ(VFree(p), VMALLOC_BADCHECK);
  EXPECT_EQ(VMallocCount(), base + 1);
  header->size -= 1;
  EXPECT_EQ(VFree(p), 0);
}

TEST(VMalloc, HeaderHoldsSizeAndCheckWord) {
  auto* p = static_cast<char*>(VMalloc(40));
  const auto* header = reinterpret_cast<const VMallocHeader*>(p) - 1;
  EXPECT_EQ(header->size, 40u);
  EXPECT_EQ(header->check, ~static_cast<uint32_t>(reinterpret_cast<uintptr_t>(header)) ^ 40u);
  EXPECT_EQ(header->prev, 0u);  // the newest block
  VFree(p);
}

TEST(VMalloc, ReallocKeepsContentAndCount) {
  int32_t base = VMallocCount();
  auto* p = static_cast<char*>(VMalloc(5));
  std::memcpy(p, "abcd", 5);
  auto* q = static_cast<char*>(VRealloc(p, 4000));
  ASSERT_NE(q, nullptr);
  EXPECT_STREQ(q, "abcd");
  EXPECT_EQ(VMallocSize(q), 4000);
  EXPECT_EQ(VMallocCount(), base + 1);
  EXPECT_EQ(VFree(q), 0);
  EXPECT_EQ(VMallocCount(), base);
}

TEST(VMalloc, AnyFreeOrderEmptiesTheList) {
  int32_t base = VMallocCount();
  std::vector<void*> blocks;
  for (int i = 0; i < 3000; ++i) blocks.push_back(VMalloc(static_cast<size_t>(i % 97)));
  std::mt19937 rng(7);
  std::shuffle(blocks.begin(), blocks.end(), rng);
  for (size_t i = 0; i < blocks.size(); ++i) {
    ASSERT_EQ(VMallocCheck(blocks[i]), 0) << i;
    ASSERT_EQ(VFree(blocks[i]), 0) << i;
  }
  EXPECT_EQ(VMallocCount(), base);
  for (void* p : blocks) EXPECT_EQ(VMallocCheck(p), VMALLOC_BADCHECK);
}

TEST(VMalloc, FreeingTheNewestMovesTheHead) {
  void* older = VMalloc(1);
  void* newer = VMalloc(1);
  const auto* olderHeader = reinterpret_cast<const VMallocHeader*>(older) - 1;
  EXPECT_NE(olderHeader->prev, 0u);
  VFree(newer);
  EXPECT_EQ(olderHeader->prev, 0u);
  VFree(older);
}

TEST(VMalloc, DumpListsLiveBlocksNewestFirst) {
  // Only this test's blocks may be live for an exact layout.
  if (VMallocCount() != 0) GTEST_SKIP() << "other blocks are live";
  auto* a = static_cast<char*>(VMalloc(3));
  std::memcpy(a, "ab\n", 3);
  auto* b = static_cast<char*>(VMalloc(17));
  for (int i = 0; i < 17; ++i) b[i] = static_cast<char>('A' + i);
  testing::internal::CaptureStdout();
  VMallocDump();
  std::string out = testing::internal::GetCapturedStdout();
  auto address = [](const void* p) {
    return std::to_string(static_cast<int>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p))));
  };
  std::string expected = "VMallocRecycleNum 2\n";
  expected += " 0 MemoryRecycle " + address(b) + " size 17 \n";
  expected += "41 42 43 44 45 46 47 48 49 4a 4b 4c 4d 4e 4f 50 ABCDEFGHIJKLMNOP\n";
  expected += "51 Q\n\n";
  expected += " 1 MemoryRecycle " + address(a) + " size 3 \n";
  expected += "61 62 0a ab.\n\n";
  EXPECT_EQ(out, expected);
  VFree(a);
  VFree(b);
}

TEST(VMalloc, OversizedRequestIsOutOfMemory) {
  EXPECT_EQ(VMalloc(SIZE_MAX - 8), nullptr);
  void* p = VMalloc(4);
  EXPECT_EQ(VRealloc(p, SIZE_MAX - 8), nullptr);
  EXPECT_EQ(VMallocCheck(p), 0);
  VFree(p);
}

TEST(VStrdup, CopiesIntoATrackedBlock) {
  EXPECT_EQ(VStrdup(nullptr), nullptr);
  char* s = VStrdup("hello");
  EXPECT_STREQ(s, "hello");
  EXPECT_EQ(VMallocSize(s), 6);
  VFree(s);
}

}  // namespace
