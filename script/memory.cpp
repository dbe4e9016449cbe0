// Tracked allocator over malloc. Live blocks form a doubly linked list (newest
// first) whose links are slot numbers, and a hash table of header addresses
// tells a live block from any other pointer without reading memory that may
// not be ours: a stale or foreign pointer is refused, never dereferenced.
#include "script/memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

std::vector<VMallocHeader*> slotPtr(1, nullptr);  // slot 0 means "none"
std::vector<uint32_t> freeSlots;
uint32_t head = 0;
int32_t liveCount = 0;

// Open addressing with linear probing; deletion shifts followers back, so no
// tombstones. Kept at most half full.
struct Entry {
  VMallocHeader* key;
  uint32_t slot;
};
std::vector<Entry> table;
size_t tableUsed = 0;

size_t Hash(const void* p, size_t mask) {
  uint64_t v = reinterpret_cast<uintptr_t>(p) >> 4;
  v *= 0x9E3779B97F4A7C15ull;
  return static_cast<size_t>(v >> 32) & mask;
}

void Grow() {
  std::vector<Entry> old;
  old.swap(table);
  table.assign(old.empty() ? 1024 : old.size() * 2, Entry{nullptr, 0});
  size_t mask = table.size() - 1;
  for (const Entry& e : old) {
    if (!e.key) continue;
    size_t i = Hash(e.key, mask);
    while (table[i].key) i = (i + 1) & mask;
    table[i] = e;
  }
}

// Returns false when the table cannot grow.
bool Insert(VMallocHeader* h, uint32_t slot) {
  if ((tableUsed + 1) * 2 > table.size()) {
    try {
      Grow();
    } catch (...) {
      return false;
    }
  }
  size_t mask = table.size() - 1;
  size_t i = Hash(h, mask);
  while (table[i].key) i = (i + 1) & mask;
  table[i] = Entry{h, slot};
  ++tableUsed;
  return true;
}

// The table index of a live header, or SIZE_MAX.
size_t Find(const void* h) {
  if (table.empty()) return SIZE_MAX;
  size_t mask = table.size() - 1;
  for (size_t i = Hash(h, mask);; i = (i + 1) & mask) {
    if (!table[i].key) return SIZE_MAX;
    if (table[i].key == h) return i;
  }
}

void EraseAt(size_t i) {
  size_t mask = table.size() - 1;
  table[i].key = nullptr;
  --tableUsed;
  // Move back every follower whose home lies at or before the hole.
  for (size_t j = (i + 1) & mask; table[j].key; j = (j + 1) & mask) {
    size_t home = Hash(table[j].key, mask);
    bool movable = (i <= j) ? (home <= i || home > j) : (home <= i && home > j);
    if (movable) {
      table[i] = table[j];
      table[j].key = nullptr;
      i = j;
    }
  }
}

uint32_t CheckWord(const VMallocHeader* h, uint32_t size) {
  return ~static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)) ^ size;
}

VMallocHeader* HeaderOf(const void* p) {
  return reinterpret_cast<VMallocHeader*>(const_cast<char*>(static_cast<const char*>(p)) -
                                          sizeof(VMallocHeader));
}

// Links a fresh header at the head of the live list and registers it.
void* Attach(VMallocHeader* h, uint32_t size) {
  uint32_t slot;
  try {
    if (!freeSlots.empty()) {
      slot = freeSlots.back();
      freeSlots.pop_back();
    } else {
      // Room for every slot to come back, so that freeing never allocates.
      if (freeSlots.capacity() < slotPtr.size() + 1) freeSlots.reserve(2 * (slotPtr.size() + 1));
      slotPtr.push_back(nullptr);
      slot = static_cast<uint32_t>(slotPtr.size() - 1);
    }
  } catch (...) {
    std::free(h);
    return nullptr;
  }
  if (!Insert(h, slot)) {
    freeSlots.push_back(slot);
    std::free(h);
    return nullptr;
  }
  slotPtr[slot] = h;
  h->next = head;
  h->prev = 0;
  if (head) slotPtr[head]->prev = slot;
  head = slot;
  h->size = size;
  h->check = CheckWord(h, size);
  ++liveCount;
  return h + 1;
}

// Takes a registered block off the live list and the registry.
void Detach(size_t index) {
  VMallocHeader* h = table[index].key;
  uint32_t slot = table[index].slot;
  if (h->prev)
    slotPtr[h->prev]->next = h->next;
  else
    head = h->next;
  if (h->next) slotPtr[h->next]->prev = h->prev;
  slotPtr[slot] = nullptr;
  freeSlots.push_back(slot);  // within the room reserved in Attach
  EraseAt(index);
  --liveCount;
}

}  // namespace

void* VMalloc(size_t size) {
  if (size > UINT32_MAX - sizeof(VMallocHeader)) return nullptr;
  auto* h = static_cast<VMallocHeader*>(std::malloc(size + sizeof(VMallocHeader)));
  if (!h) return nullptr;
  return Attach(h, static_cast<uint32_t>(size));
}

int VFree(void* p) {
  if (!p) return VMALLOC_NULL;
  VMallocHeader* h = HeaderOf(p);
  size_t index = Find(h);
  if (index == SIZE_MAX || h->check != CheckWord(h, h->size)) return VMALLOC_BADCHECK;
  if (liveCount <= 0) return VMALLOC_UNDERFLOW;
  Detach(index);
  // The registry is what refuses a second free; the cleared header keeps a
  // stale copy of the block from passing for a live one.
  std::memset(h, 0, sizeof(VMallocHeader));
  std::free(h);
  return 0;
}

void* VRealloc(void* p, size_t size) {
  if (!p) return VMalloc(size);
  if (size > UINT32_MAX - sizeof(VMallocHeader)) return nullptr;
  VMallocHeader* h = HeaderOf(p);
  size_t index = Find(h);
  if (index == SIZE_MAX || h->check != CheckWord(h, h->size)) return nullptr;
  // Grow first, so that a failed realloc leaves the block live and listed.
  auto* n = static_cast<VMallocHeader*>(std::malloc(size + sizeof(VMallocHeader)));
  if (!n) return nullptr;
  std::memcpy(n + 1, p, size < h->size ? size : h->size);
  Detach(index);
  std::free(h);
  return Attach(n, static_cast<uint32_t>(size));
}

char* VStrdup(const char* text) {
  if (!text) return nullptr;
  size_t n = std::strlen(text) + 1;
  auto* copy = static_cast<char*>(VMalloc(n));
  if (copy) std::memcpy(copy, text, n);
  return copy;
}

int32_t VMallocSize(const void* p) {
  if (!p) return -1;
  if (VMallocCheck(p) != 0) return -2;
  return static_cast<int32_t>(HeaderOf(p)->size);
}

int VMallocCheck(const void* p) {
  if (!p) return VMALLOC_NULL;
  const VMallocHeader* h = HeaderOf(p);
  if (Find(h) == SIZE_MAX || h->check != CheckWord(h, h->size)) return VMALLOC_BADCHECK;
  return 0;
}

int32_t VMallocCount() { return liveCount; }

void VMallocDump() {
  std::printf("VMallocRecycleNum %d\n", liveCount);
  int index = 0;
  for (uint32_t s = head; s; s = slotPtr[s]->next, ++index) {
    const VMallocHeader* h = slotPtr[s];
    const auto* bytes = reinterpret_cast<const unsigned char*>(h + 1);
    std::printf("%2d MemoryRecycle %d size %d \n", index,
                static_cast<int>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(bytes))),
                static_cast<int>(h->size));
    for (uint32_t at = 0; at < h->size; at += 16) {
      uint32_t end = at + 16 < h->size ? at + 16 : h->size;
      for (uint32_t i = at; i < end; ++i) std::printf("%02x ", bytes[i]);
      for (uint32_t i = at; i < end; ++i)
        std::printf("%c", bytes[i] >= 32 && bytes[i] <= 126 ? bytes[i] : '.');
      std::printf("\n");
    }
    std::printf("\n");
  }
}
