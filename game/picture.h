// The picture cache: pictures by file name, the last eight kept, the most
// recently used first. The caller does not own the picture it gets; it stays
// valid at least until the end of the frame in which the cache drops it.
#pragma once

#include "dx/bitmap.h"

struct ImageCacheEntry {
  char* name;           // own heap copy
  dx::bitmap* picture;
};

constexpr int kImageCacheSize = 8;
extern ImageCacheEntry ImageCache[kImageCacheSize];

// Never null: a picture that cannot be loaded stops the program.
dx::bitmap* readIMG(const char* name);
// Empties every entry without freeing anything.
void ResetImageCache();
// Frees every entry's name and picture (and the pictures dropped earlier).
void FreeImageCache();
