#include "dx/package.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <set>

#include "platform/win32/process.h"
#include "platform/win32/text.h"

namespace {

constexpr char kMagic[] = "--PackageHeader--";
constexpr size_t kMagicSize = sizeof kMagic - 1;
constexpr uint32_t kOffsetAt = 36;
constexpr uint32_t kMaxNameBytes = 1023;  // stored name bytes, the final zero included
constexpr uint32_t kEntryHeader = 12;
constexpr uint32_t kMapLimit = 0x20000000;  // only the first 512 MiB of a disk file is mapped

std::unique_ptr<PackageTable> g_package;

bool Read32(std::FILE* f, uint32_t& v) {
  uint8_t b[4];
  if (std::fread(b, 1, 4, f) != 4) return false;
  v = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
  return true;
}

// The index as the file holds it. Every count, name and entry must fit the file:
// a damaged package is refused whole rather than served in part.
std::unique_ptr<PackageTable> ReadIndex(std::FILE* f, const char* name) {
  struct stat st;
  if (::fstat(fileno(f), &st) != 0) return nullptr;
  const uint64_t file_size = static_cast<uint64_t>(st.st_size);
  uint32_t at = 0;
  if (std::fseek(f, kOffsetAt, SEEK_SET) != 0 || !Read32(f, at)) return nullptr;
  if (uint64_t{at} + kMagicSize + 4 > file_size) return nullptr;
  char magic[kMagicSize];
  if (std::fseek(f, static_cast<long>(at), SEEK_SET) != 0 || std::fread(magic, 1, kMagicSize, f) != kMagicSize ||
      std::memcmp(magic, kMagic, kMagicSize) != 0)
    return nullptr;
  uint32_t count = 0;
  if (!Read32(f, count)) return nullptr;
  // Each entry header takes at least 13 bytes (a name of its zero alone).
  uint64_t left = file_size - (uint64_t{at} + kMagicSize + 4);
  if (count > left / (kEntryHeader + 1) || count > INT32_MAX) return nullptr;

  auto table = std::make_unique<PackageTable>();
  table->entries.reserve(count);
  char buf[kMaxNameBytes + 1];
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t offset, size, len;
    if (!Read32(f, offset) || !Read32(f, size) || !Read32(f, len)) return nullptr;
    if (len == 0 || len > kMaxNameBytes || std::fread(buf, 1, len, f) != len || buf[len - 1] != '\0')
      return nullptr;
    if (uint64_t{offset} + size > file_size) return nullptr;
    for (uint32_t k = 0; k + 1 < len; ++k) buf[k] = static_cast<char>(~buf[k]);
    table->entries.push_back({std::string(buf, strnlen(buf, len)), offset, size});
  }
  table->file = name;
  table->count = static_cast<int32_t>(count);
  return table;
}

const PackageEntry* FindEntry(const char* name) {
  if (!g_package || !name) return nullptr;
  for (const PackageEntry& e : g_package->entries)
    if (e.name == name) return &e;
  return nullptr;
}

// The open-file set and the name cache of dxfopen (main thread only).
std::set<dx::file*> g_open;
std::map<std::string, dx::file*> g_names;

dx::file* Enter(std::unique_ptr<dx::file> f) {
  dx::file* p = f.release();
  g_open.insert(p);
  return p;
}

dx::file* MapHandle(HANDLE h) {
  if (!h || h == INVALID_HANDLE_VALUE) return nullptr;
  SetLastError(NO_ERROR);
  DWORD high = 0;
  DWORD size = GetFileSize(h, &high);
  if (GetLastError() != NO_ERROR) {
    CloseHandle(h);
    return nullptr;
  }
  if (high != 0 || size >= kMapLimit) size = kMapLimit;
  HANDLE map = CreateFileMappingA(h, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!map) {
    CloseHandle(h);
    return nullptr;
  }
  void* view = MapViewOfFile(map, FILE_MAP_READ, 0, 0, size);
  if (!view) {
    CloseHandle(map);
    CloseHandle(h);
    return nullptr;
  }
  auto f = std::make_unique<dx::file>();
  f->hfile = h;
  f->hmap = map;
  f->size = size;
  f->data = view;
  return Enter(std::move(f));
}

// The byte length of the longest prefix of `s` within `limit` bytes that does
// not split a Shift-JIS character.
size_t Cp932Prefix(const std::string& s, size_t limit) {
  size_t i = 0;
  while (i < s.size()) {
    size_t step = win32::IsLeadByte(static_cast<uint8_t>(s[i])) && i + 1 < s.size() ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

}  // namespace

int32_t PackageOpen(const char* name) {
  g_package.reset();
  if (!name) return 1;
  std::FILE* f = win32::fopen(name, "rb");
  if (!f) return 1;
  std::unique_ptr<PackageTable> table = ReadIndex(f, name);
  std::fclose(f);
  if (!table) return 1;
  g_package = std::move(table);
  return 0;
}

const PackageTable* PackageIndex() { return g_package.get(); }

std::string PackageFileName() {
  std::string path = win32::ModulePath();
  // The last separator, found character by character: a Shift-JIS trail byte
  // may be 0x5C.
  size_t cut = 0;
  for (size_t i = 0; i < path.size();) {
    if (path[i] == '\\' || path[i] == '/') cut = i + 1;
    i += win32::IsLeadByte(static_cast<uint8_t>(path[i])) && i + 1 < path.size() ? 2 : 1;
  }
  return path.substr(0, cut) + "dolvicar.pak";
}

bool PackageContains(const char* name) { return FindEntry(name) != nullptr; }

bool PkgFileExists(const char* name) {
  if (!name) return false;
  if (PackageContains(name)) return true;
  // A folder is no file: callers check names they are about to read.
  struct stat st;
  return ::stat(win32::HostPath(name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

PkgFile* PkgFileOpen(const char* name, const char* mode) {
  if (!name || !mode) return nullptr;
  if (!std::strpbrk(mode, "wa")) {
    if (const PackageEntry* e = FindEntry(name)) {
      // Each stream has its own handle on the package, so streams may be read
      // on different threads.
      std::FILE* s = win32::fopen(g_package->file.c_str(), "rb");
      if (!s) return nullptr;
      if (std::fseek(s, static_cast<long>(e->offset), SEEK_SET) != 0) {
        std::fclose(s);
        return nullptr;
      }
      return new PkgFile{s, g_package.get(), e->offset, e->size};
    }
  }
  std::FILE* s = win32::fopen(name, mode);
  if (!s) return nullptr;
  return new PkgFile{s, nullptr, 0, 0};
}

int32_t PkgFileClose(PkgFile* f) {
  if (!f) return 0;
  if (f->stream) std::fclose(f->stream);
  *f = PkgFile{};
  delete f;
  return 1;
}

int32_t PkgFileRead(PkgFile* f, void* buffer, int32_t count) {
  if (!f || !f->stream || !buffer || count <= 0) return 0;
  int64_t n = count;
  if (f->table) {
    int64_t pos = std::ftell(f->stream) - int64_t{f->offset};
    n = std::clamp<int64_t>(int64_t{f->size} - pos, 0, n);
  }
  return static_cast<int32_t>(std::fread(buffer, 1, static_cast<size_t>(n), f->stream));
}

int32_t PkgFileSeek(PkgFile* f, int32_t offset, int32_t origin) {
  if (!f || !f->stream) return -1;
  if (!f->table) return std::fseek(f->stream, offset, origin);
  const int64_t start = f->offset, end = start + f->size;
  int64_t target;
  switch (origin) {
    case 0:
      if (offset < 0) return std::fseek(f->stream, static_cast<long>(start), SEEK_SET), -1;
      if (offset > int64_t{f->size}) return std::fseek(f->stream, static_cast<long>(end), SEEK_SET), -1;
      return std::fseek(f->stream, static_cast<long>(start + offset), SEEK_SET);
    case 1: target = std::ftell(f->stream) + int64_t{offset}; break;
    case 2: target = end + offset; break;
    default: return -1;
  }
  if (target < start) return std::fseek(f->stream, static_cast<long>(start), SEEK_SET), -1;
  if (target >= end) return std::fseek(f->stream, static_cast<long>(end), SEEK_SET), -1;
  return std::fseek(f->stream, static_cast<long>(target), SEEK_SET);
}

int32_t PkgFileTell(PkgFile* f) {
  if (!f || !f->stream) return -1;
  long pos = std::ftell(f->stream);
  return static_cast<int32_t>(f->table ? pos - static_cast<long>(f->offset) : pos);
}

int32_t PkgFileSize(PkgFile* f) {
  if (!f || !f->stream) return 0;
  if (f->table) return static_cast<int32_t>(f->size);
  struct stat st;
  return ::fstat(fileno(f->stream), &st) == 0 ? static_cast<int32_t>(st.st_size) : 0;
}

dx::file* dxfopen(const char* name) {
  if (!name || !*name) return nullptr;  // an empty name marks records outside the cache
  auto hit = g_names.find(name);
  if (hit != g_names.end()) {
    ++hit->second->refs;
    return hit->second;
  }
  dx::file* f = dxfopenres(GetModuleHandleA(nullptr), name, RT_RCDATA);
  if (!f) f = PackageContains(name) ? dxfopenpack(name) : dxfopenfile(name);
  if (!f) return nullptr;
  f->name = name;
  f->refs = 1;
  g_names[f->name] = f;
  return f;
}

dx::file* dxfopenw(const char16_t* name) {
  if (!name) return nullptr;
  if (dx::file* f = dxfopenresw(GetModuleHandleA(nullptr), name, RT_RCDATAW)) return f;
  std::string narrow = win32::Utf16ToCp932(name);
  if (PackageContains(narrow.c_str())) return dxfopenpack(narrow.c_str());
  return dxfopenfilew(name);
}

namespace {
dx::file* FromResource(HMODULE module, HRSRC res) {
  if (!res) return nullptr;
  HGLOBAL loaded = LoadResource(module, res);
  DWORD size = SizeofResource(module, res);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return nullptr;
  auto f = std::make_unique<dx::file>();
  f->size = size;
  f->data = data;
  return Enter(std::move(f));
}
}  // namespace

dx::file* dxfopenres(HMODULE module, const char* name, const char* type) {
  return FromResource(module, FindResourceA(module, name, type));
}

dx::file* dxfopenresw(HMODULE module, const char16_t* name, const char16_t* type) {
  return FromResource(module, FindResourceW(module, name, type));
}

dx::file* dxfopenpack(const char* name) {
  if (!PackageContains(name)) return nullptr;
  PkgFile* pf = PkgFileOpen(name, "rb");
  if (!pf) return nullptr;
  const uint32_t size = pf->size;
  std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size ? size : 1]);
  uint32_t done = 0;
  if (data) {
    // Reads in pieces: an entry may pass the largest count of one read.
    while (done < size) {
      int32_t got = PkgFileRead(pf, data.get() + done, static_cast<int32_t>(std::min<uint32_t>(size - done, 1u << 30)));
      if (got <= 0) break;
      done += static_cast<uint32_t>(got);
    }
  }
  PkgFileClose(pf);
  if (!data || done != size) return nullptr;  // a package cut short since it was opened
  auto f = std::make_unique<dx::file>();
  f->size = size;
  f->data = data.release();
  f->frompack = true;
  return Enter(std::move(f));
}

dx::file* dxfopenpackonly(const char* name) { return dxfopenpack(name); }

dx::file* dxfopenfile(const char* name) {
  if (!name) return nullptr;
  return MapHandle(CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

dx::file* dxfopenfilew(const char16_t* name) {
  if (!name) return nullptr;
  HANDLE h = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    // The multibyte name, within MAX_PATH bytes.
    std::string narrow = win32::Utf16ToCp932(name);
    narrow.resize(Cp932Prefix(narrow, MAX_PATH - 1));
    h = CreateFileA(narrow.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  }
  return MapHandle(h);
}

dx::file* dxfopenmem(const void* data, uint32_t size) {
  if (!data && size) return nullptr;
  auto f = std::make_unique<dx::file>();
  f->size = size;
  f->data = data;
  return Enter(std::move(f));
}

void dxfclose(dx::file* f) {
  if (!f || !g_open.count(f)) return;
  if (f->refs >= 1) --f->refs;
  if (f->refs != 0) return;
  g_open.erase(f);
  auto it = g_names.find(f->name);
  if (it != g_names.end() && it->second == f) g_names.erase(it);
  if (f->hmap) {
    if (f->data) UnmapViewOfFile(f->data);
    CloseHandle(f->hmap);
  }
  if (f->hfile) CloseHandle(f->hfile);
  if (f->frompack) delete[] static_cast<const uint8_t*>(f->data);
  delete f;
}

void dxfcloseall() {
  while (!g_open.empty()) dxfclose(*g_open.begin());
}

uint32_t dxfsize(const dx::file* f) { return f ? f->size : 0; }

const void* dxfdata(const dx::file* f) { return f ? f->data : nullptr; }
