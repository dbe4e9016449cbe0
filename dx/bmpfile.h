// Finding the header and bits of a .bmp picture: a file image beginning with "BM"
// or a packed DIB (a header with its colour table, then the bits).
#pragma once

#include <cstddef>

#include "platform/gdi/dib.h"

// True when `data` holds a whole, well-formed picture; `out` then describes it.
// The file header's offset, the header, its masks and colour table and every
// row must lie inside the data.
bool dxparsebmp(const void* data, size_t size, gdi::Dib& out);
