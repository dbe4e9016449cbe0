#include "platform/pixels.h"

#include <memory>
#include <mutex>
#include <vector>

namespace platform {

const uint32_t* Colours16(const PixelFormat& f) {
  struct Table {
    uint32_t rmask, gmask, bmask;
    std::unique_ptr<uint32_t[]> colours;
  };
  // Never destroyed, and never made again: a pointer handed out stays good.
  static auto& mutex = *new std::mutex;
  static auto& tables = *new std::vector<Table>;
  std::lock_guard<std::mutex> lock(mutex);
  for (const Table& t : tables)
    if (t.rmask == f.rmask && t.gmask == f.gmask && t.bmask == f.bmask) return t.colours.get();
  std::unique_ptr<uint32_t[]> colours(new uint32_t[65536]);
  for (uint32_t v = 0; v < 65536; ++v) colours[v] = PixelColour(v, f);
  tables.push_back({f.rmask, f.gmask, f.bmask, std::move(colours)});
  return tables.back().colours.get();
}

}  // namespace platform
