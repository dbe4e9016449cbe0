#include "game/savefile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dx/package.h"
#include "platform/win32/file.h"

namespace {

constexpr uint8_t kHeader[6] = {0xFF, 0xD8, 0xFF, 0xFE, 0x00, 0x0A};

struct MoveToFront {
  uint8_t table[256];
  MoveToFront() {
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i);
  }
  void Move(int i) {
    uint8_t b = table[i];
    std::memmove(table + 1, table, static_cast<size_t>(i));
    table[0] = b;
  }
  int IndexOf(uint8_t b) const {
    int i = 0;
    while (table[i] != b) ++i;
    return i;
  }
  uint8_t Encode(uint8_t b) {
    int i = IndexOf(b);
    Move(i);
    return static_cast<uint8_t>(i);
  }
  uint8_t Decode(uint8_t code) {
    uint8_t b = table[code];
    Move(code);
    return b;
  }
  void Prime(uint8_t b) { Move(IndexOf(b)); }
};

void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t GetLE32(const uint8_t* p) {
  return p[0] | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

int WriteSaveFile(const char* path, const char* picture, const void* data, uint32_t length) {
  PkgFile* f = PkgFileOpen(picture, "rb");
  if (!f) return SAVE_NO_PICTURE;
  int32_t size = PkgFileSize(f);
  std::vector<uint8_t> pic(size > 0 ? static_cast<size_t>(size) : 0);
  int32_t got = pic.empty() ? 0 : PkgFileRead(f, pic.data(), size);
  PkgFileClose(f);
  // A picture has at least its two start bytes, which the header stands in for.
  if (got < 2) return SAVE_NO_PICTURE;
  pic.resize(static_cast<size_t>(got));

  std::vector<uint8_t> out(14 + pic.size() - 2 + length + 4);
  std::memcpy(out.data(), kHeader, 6);
  PutLE32(out.data() + 6, length);
  PutLE32(out.data() + 10, static_cast<uint32_t>(pic.size() - 2));
  std::memcpy(out.data() + 14, pic.data() + 2, pic.size() - 2);
  MoveToFront mtf;
  for (size_t i = 2; i < pic.size(); ++i) mtf.Prime(pic[i]);
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  uint8_t* coded = out.data() + 14 + pic.size() - 2;
  uint32_t sum = 0;
  for (uint32_t i = 0; i < length; ++i) {
    coded[i] = mtf.Encode(bytes[i]);
    sum += bytes[i];
  }
  PutLE32(coded + length, sum);
  return win32::WriteFileSafely(path, out.data(), out.size()) ? SAVE_OK : SAVE_CANNOT_CREATE;
}

int ReadSaveFile(const char* path, uint8_t** data, uint32_t* length) {
  *data = nullptr;
  std::FILE* f = win32::fopen(path, "rb");
  if (!f) return LOAD_CANNOT_OPEN;
  auto finish = [&](int code) {
    std::fclose(f);
    return code;
  };
  uint8_t head[14];
  size_t got = std::fread(head, 1, sizeof head, f);
  if (got < 6 || std::memcmp(head, kHeader, 6) != 0) return finish(LOAD_NOT_SAVE);
  if (got < sizeof head) return finish(LOAD_PICTURE_CUT);
  uint32_t d = GetLE32(head + 6), l = GetLE32(head + 10);

  // The stored lengths are checked against the file before anything is read
  // or allocated, so a damaged header costs nothing.
  std::fseek(f, 0, SEEK_END);
  long end = std::ftell(f);
  uint64_t rest = end > 14 ? static_cast<uint64_t>(end) - 14 : 0;
  std::fseek(f, 14, SEEK_SET);
  if (l > rest) return finish(LOAD_PICTURE_CUT);
  if (d > rest - l) return finish(LOAD_DATA_CUT);

  MoveToFront mtf;
  std::vector<uint8_t> chunk(64 * 1024);
  for (uint32_t left = l; left > 0;) {
    size_t n = std::fread(chunk.data(), 1, left < chunk.size() ? left : chunk.size(), f);
    if (n == 0) return finish(LOAD_PICTURE_CUT);
    for (size_t i = 0; i < n; ++i) mtf.Prime(chunk[i]);
    left -= static_cast<uint32_t>(n);
  }
  uint8_t* buffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(d) + 1));
  if (!buffer) return finish(LOAD_DATA_CUT);
  if (std::fread(buffer, 1, d, f) != d) {
    std::free(buffer);
    return finish(LOAD_DATA_CUT);
  }
  uint32_t sum = 0;
  for (uint32_t i = 0; i < d; ++i) {
    buffer[i] = mtf.Decode(buffer[i]);
    sum += buffer[i];
  }
  // A sum cut short cannot match.
  uint8_t stored[4];
  if (std::fread(stored, 1, 4, f) != 4 || GetLE32(stored) != sum) {
    std::free(buffer);
    return finish(LOAD_BAD_SUM);
  }
  buffer[d] = 0;
  *data = buffer;
  *length = d;
  return finish(LOAD_OK);
}
