// The sound library's allocator: every block carries the source file and line
// that allocated it and sits on the list of its memory type, so the blocks still
// alive can be listed (QvxDumpAlloc).
#pragma once

#include <cstddef>
#include <cstdint>

enum QvxMemType : uint32_t {
  MEMTYPE_NORMAL = 0,
  MEMTYPE_NEW_NORMAL = 1,
  MEMTYPE_NEW_DIMENSION = 2,
  MEMTYPE_END = 3,
};

// In front of every block; the caller's pointer is the address just after it.
struct QvxAllocHeader {
  const char* file;
  int32_t line;
  uint32_t size;
  QvxAllocHeader* next;
};

void* QvxAlloc(size_t size, const char* file, int line, uint32_t memtype);
void* QvxCalloc(size_t count, size_t size, const char* file, int line, uint32_t memtype);
void* QvxRealloc(void* p, size_t size, const char* file, int line, uint32_t memtype);
void QvxFree(void* p, uint32_t memtype);
// Writes the live blocks of every type to the debugger output.
void QvxDumpAlloc();

// The live blocks of a type, head first; for tests and the dump.
const QvxAllocHeader* QvxAllocFirst(uint32_t memtype);

#define QVX_ALLOC(size) QvxAlloc((size), __FILE_NAME__, __LINE__, MEMTYPE_NORMAL)
#define QVX_CALLOC(count, size) QvxCalloc((count), (size), __FILE_NAME__, __LINE__, MEMTYPE_NORMAL)
#define QVX_FREE(p) QvxFree((p), MEMTYPE_NORMAL)
