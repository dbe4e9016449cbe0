// Drawing shared by the pictures the layer draws itself (message boxes, the
// window's menu bar and its pop-ups): the 3-D face colours, filled rectangles,
// raised and sunken edges, and text in the game's font on a 32-bit buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"

namespace win32::paint {

// The game's face; the text stand-in draws it with the Japanese gothic.
constexpr char kFace[] = "ＭＳ ゴシック";
constexpr int kFontHeight = 16, kFontWidth = 8;

constexpr uint32_t kFaceColour = 0xD4D0C8, kLight = 0xFFFFFF, kShadow = 0x808080, kDark = 0x404040,
                   kHighlight = 0x0A246A, kText = 0x000000;

// Pixels of 0x00RRGGBB, `pw` to a row; rectangles are clipped to the buffer.
void Fill(std::vector<uint32_t>& p, int pw, int x, int y, int w, int h, uint32_t c);
// A raised (or sunken) edge two pixels wide around a rectangle.
void Edge(std::vector<uint32_t>& p, int pw, int x, int y, int w, int h, bool sunken);
// The same one pixel wide, as a menu bar marks its items.
void ThinEdge(std::vector<uint32_t>& p, int pw, int x, int y, int w, int h, bool sunken);

// A label without its "&" marks ("&&" stays one "&"), and the index in the result
// of the character that the first single "&" marks (-1: none).
std::u16string WithoutAmpersand(const std::u16string& s, int* marked = nullptr);

// A 32-bit buffer with a device context and the game's font selected, for
// measuring and drawing text.
class Canvas {
 public:
  Canvas(uint32_t* pixels, int w, int h, int font_height = kFontHeight, int font_width = kFontWidth,
         bool bold = false);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  int Width(const std::u16string& s) const;
  void Text(int x, int y, const std::u16string& s, uint32_t rgb);

 private:
  platform::PixelBuffer buffer_;
  HDC dc_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

}  // namespace win32::paint
