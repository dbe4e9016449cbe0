#include "qv/qvxalloc.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/win32/debug.h"

namespace {

struct MemList {
  const char* name;
  QvxAllocHeader* head;
  QvxAllocHeader* tail;
};

MemList g_lists[MEMTYPE_END] = {{"Normal", nullptr, nullptr},
                                {"New(Normal)", nullptr, nullptr},
                                {"New(Dimension)", nullptr, nullptr}};
// The stream refill never allocates, but a lock keeps the lists whole whatever the caller.
std::mutex g_mutex;

// A caller's error: reported on the debugger output, and the call does what it safely can.
void AssertFailed(const char* what, int line) {
  char text[128];
  std::snprintf(text, sizeof text, "%s(%d) : Assertion failed: %s\n", __FILE_NAME__, line, what);
  OutputDebugStringA(text);
}

QvxAllocHeader* HeaderOf(void* p) { return static_cast<QvxAllocHeader*>(p) - 1; }

}  // namespace

void* QvxAlloc(size_t size, const char* file, int line, uint32_t memtype) {
  if (memtype >= MEMTYPE_END) {
    AssertFailed("memtype<MEMTYPE_END", __LINE__);
    return nullptr;
  }
  if (size > UINT32_MAX - sizeof(QvxAllocHeader)) return nullptr;
  auto* h = static_cast<QvxAllocHeader*>(std::malloc(sizeof(QvxAllocHeader) + size));
  if (!h) return nullptr;
  h->file = file;
  h->line = line;
  h->size = static_cast<uint32_t>(size);
  h->next = nullptr;
  std::lock_guard<std::mutex> lock(g_mutex);
  MemList& l = g_lists[memtype];
  if (l.tail)
    l.tail->next = h;
  else
    l.head = h;
  l.tail = h;
  return h + 1;
}

void* QvxCalloc(size_t count, size_t size, const char* file, int line, uint32_t memtype) {
  if (size && count > SIZE_MAX / size) return nullptr;
  void* p = QvxAlloc(count * size, file, line, memtype);
  if (p) std::memset(p, 0, count * size);
  return p;
}

void* QvxRealloc(void* p, size_t size, const char* file, int line, uint32_t memtype) {
  void* n = QvxAlloc(size, file, line, memtype);
  if (!n) return nullptr;
  if (p) {
    std::memcpy(n, p, std::min<size_t>(size, HeaderOf(p)->size));
    QvxFree(p, memtype);
  }
  return n;
}

void QvxFree(void* p, uint32_t memtype) {
  if (memtype >= MEMTYPE_END) {
    AssertFailed("memtype<MEMTYPE_END", __LINE__);
    return;
  }
  if (!p) return;
  QvxAllocHeader* h = HeaderOf(p);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    MemList& l = g_lists[memtype];
    // A block that is not on this list may be on another one, or not ours at all:
    // releasing it would leave that list pointing at freed memory, so it stays.
    if (!l.head) {
      AssertFailed("pStart", __LINE__);
      return;
    }
    if (l.head == h) {
      l.head = h->next;
      if (!l.head) l.tail = nullptr;
    } else {
      QvxAllocHeader* prev = l.head;
      while (prev->next && prev->next != h) prev = prev->next;
      if (prev->next != h) {
        AssertFailed("bFree", __LINE__);
        return;
      }
      prev->next = h->next;
      if (l.tail == h) l.tail = prev;
    }
  }
  std::free(h);
}

void QvxDumpAlloc() {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (const MemList& l : g_lists) {
    if (!l.head) continue;
    char text[512];
    std::snprintf(text, sizeof text, "-- Dump Alloc Memory (MemType : %s) --\n", l.name);
    OutputDebugStringA(text);
    for (const QvxAllocHeader* h = l.head; h; h = h->next) {
      std::snprintf(text, sizeof text, "%s(%d) : [Addr:0x%p, size:%d]\n", h->file, h->line,
                    static_cast<const void*>(h + 1), static_cast<int>(h->size));
      OutputDebugStringA(text);
    }
  }
}

const QvxAllocHeader* QvxAllocFirst(uint32_t memtype) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return memtype < MEMTYPE_END ? g_lists[memtype].head : nullptr;
}
