// Icons. The executable carries one icon resource, number 101, also its first
// icon: the program's emblem, made here in a large (32 x 32) and a small
// (16 x 16) size. The system's stock icons are handles without a picture: a
// window showing one keeps the host's own icon.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win32/types.h"

namespace win32 {

constexpr int kProgramIconId = 101;

struct IconImage {
  int width = 0, height = 0;
  std::vector<uint32_t> argb;  // 0xAARRGGBB, rows top to bottom
};

// The program's icon resource of that number in either size; null for any
// other number.
HICON ProgramIcon(int id, bool small);
// The system's application icon.
HICON StockApplicationIcon();
// The picture of an icon handle; null for stock icons and for anything that
// is no icon.
const IconImage* IconPicture(HICON icon);

}  // namespace win32
