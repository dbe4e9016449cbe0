// The script engine's tracked allocator: every block carries a checked header
// and is known to a registry of live blocks, so that a wrong or stale pointer
// is refused instead of freed, and the live blocks can be counted and dumped.
#pragma once

#include <cstddef>
#include <cstdint>

// The 16 bytes in front of every block. The links are 32-bit slot numbers of
// the live list (0 = none), so the header keeps its size on a 64-bit machine.
struct VMallocHeader {
  uint32_t next;   // older live block
  uint32_t prev;   // newer live block
  uint32_t size;   // bytes the caller asked for
  uint32_t check;  // ~(header address) ^ size, low 32 bits
};
static_assert(sizeof(VMallocHeader) == 16, "the header is four 32-bit words");

// Result codes of VFree and VMallocCheck.
constexpr int VMALLOC_NULL = 11;       // no pointer
constexpr int VMALLOC_BADCHECK = 13;   // not a live block, or its header is damaged
constexpr int VMALLOC_UNDERFLOW = 14;  // the live count would drop below zero

void* VMalloc(size_t size);
int VFree(void* p);
void* VRealloc(void* p, size_t size);
char* VStrdup(const char* text);
int32_t VMallocSize(const void* p);
int VMallocCheck(const void* p);
int32_t VMallocCount();
void VMallocDump();
