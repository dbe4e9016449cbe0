#include "game/picture.h"

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "dx/display.h"
#include "dx/shell.h"
#include "dx/pngload.h"
#include "game/fatal.h"

ImageCacheEntry ImageCache[kImageCacheSize];

namespace {

bool g_initialised = false;

// A dropped picture may still be in a caller's hands for the rest of the frame
// (it asked for eight other pictures before drawing it): it is deleted only once
// a frame has been presented since it was dropped. The bound keeps a run that
// never presents from holding pictures without end.
constexpr size_t kMaxRetired = 64;
std::vector<std::pair<dx::bitmap*, DWORD>> g_retired;

void FreeRetired(bool all) {
  size_t keep = 0;
  for (size_t i = 0; i < g_retired.size(); ++i) {
    bool old = g_retired[i].second != dxpresentcount || g_retired.size() - i > kMaxRetired;
    if (all || old)
      dxdeletebitmap(g_retired[i].first);
    else
      g_retired[keep++] = g_retired[i];
  }
  g_retired.resize(keep);
}

char* CopyName(const char* name) {
  size_t n = std::strlen(name) + 1;
  char* copy = static_cast<char*>(std::malloc(n));
  if (copy) std::memcpy(copy, name, n);
  return copy;
}

}  // namespace

void ResetImageCache() {
  for (ImageCacheEntry& e : ImageCache) e = {nullptr, nullptr};
}

void FreeImageCache() {
  for (ImageCacheEntry& e : ImageCache) {
    std::free(e.name);
    dxdeletebitmap(e.picture);
    e = {nullptr, nullptr};
  }
  FreeRetired(true);
}

dx::bitmap* readIMG(const char* name) {
  if (!name) name = "";
  FormatMsg("readIMG(%s)", name);
  if (!g_initialised) {
    ResetImageCache();
    g_initialised = true;
    // The layer deletes every bitmap when it is released: the cache lets go
    // of its pictures first, so that it never holds a deleted one.
    dxaddreleasehook(FreeImageCache);
  }
  FreeRetired(false);
  for (int i = 0; i < kImageCacheSize; ++i) {
    ImageCacheEntry& e = ImageCache[i];
    if (!e.name) {
      // A new picture fills the first free entry, behind those already there.
      dx::bitmap* picture = LoadPngBitmap(name);
      if (!picture) GAME_FATAL("ファイルが見つかりません1\n[%s]", name);
      e = {CopyName(name), picture};
      return picture;
    }
    if (std::strcmp(e.name, name) == 0) {
      ImageCacheEntry hit = e;
      for (int j = i; j > 0; --j) ImageCache[j] = ImageCache[j - 1];
      ImageCache[0] = hit;
      return hit.picture;
    }
  }
  dx::bitmap* picture = LoadPngBitmap(name);
  if (!picture) GAME_FATAL("ファイルが見つかりません2\n[%s]", name);
  ImageCacheEntry& last = ImageCache[kImageCacheSize - 1];
  std::free(last.name);
  g_retired.emplace_back(last.picture, dxpresentcount);
  for (int j = kImageCacheSize - 1; j > 0; --j) ImageCache[j] = ImageCache[j - 1];
  ImageCache[0] = {CopyName(name), picture};
  FormatMsg("readIMG(%s)-End", name);
  return picture;
}
