#include "platform/win32/paint.h"

#include <algorithm>

namespace win32::paint {

void Fill(std::vector<uint32_t>& p, int pw, int x, int y, int w, int h, uint32_t c) {
  if (pw <= 0) return;
  int ph = static_cast<int>(p.size()) / pw;
  for (int yy = std::max(y, 0); yy < std::min(y + h, ph); ++yy)
    for (int xx = std::max(x, 0); xx < std::min(x + w, pw); ++xx) p[static_cast<size_t>(yy) * pw + xx] = c;
}

void Edge(std::vector<uint32_t>& p, int pw, int x, int y, int w, int h, bool sunken) {
  uint32_t tl1 = sunken ? kDark : kLight, br1 = sunken ? kLight : kDark;
  uint32_t tl2 = sunken ? kShadow : kFaceColour, br2 = sunken ? kFaceColour : kShadow;
  Fill(p, pw, x, y, w, 1, tl1);
  Fill(p, pw, x, y, 1, h, tl1);
  Fill(p, pw, x, y + h - 1, w, 1, br1);
  Fill(p, pw, x + w - 1, y, 1, h, br1);
  Fill(p, pw, x + 1, y + 1, w - 2, 1, tl2);
  Fill(p, pw, x + 1, y + 1, 1, h - 2, tl2);
  Fill(p, pw, x + 1, y + h - 2, w - 2, 1, br2);
  Fill(p, pw, x + w - 2, y + 1, 1, h - 2, br2);
}

void ThinEdge(std::vector<uint32_t>& p, int pw, int x, int y, int w, int h, bool sunken) {
  uint32_t tl = sunken ? kShadow : kLight, br = sunken ? kLight : kShadow;
  Fill(p, pw, x, y, w, 1, tl);
  Fill(p, pw, x, y, 1, h, tl);
  Fill(p, pw, x, y + h - 1, w, 1, br);
  Fill(p, pw, x + w - 1, y, 1, h, br);
}

std::u16string WithoutAmpersand(const std::u16string& s, int* marked) {
  std::u16string out;
  if (marked) *marked = -1;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == u'&' && i + 1 < s.size()) {
      ++i;
      if (s[i] != u'&' && marked && *marked < 0) *marked = static_cast<int>(out.size());
    } else if (s[i] == u'&') {
      continue;
    }
    out += s[i];
  }
  return out;
}

Canvas::Canvas(uint32_t* pixels, int w, int h, int font_height, int font_width, bool bold) {
  buffer_.bits = reinterpret_cast<uint8_t*>(pixels);
  buffer_.width = w;
  buffer_.height = h;
  buffer_.pitch = w * 4;
  dc_ = gdi::CreateBufferDC(buffer_);
  font_ = CreateFontA(font_height, font_width, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                      kFace);
  if (dc_ && font_) old_ = SelectObject(dc_, font_);
  if (dc_) SetBkMode(dc_, TRANSPARENT);
}

Canvas::~Canvas() {
  if (dc_ && old_) SelectObject(dc_, old_);
  if (font_) DeleteObject(font_);
  if (dc_) gdi::DeleteBufferDC(dc_);
}

int Canvas::Width(const std::u16string& s) const {
  SIZE size{0, 0};
  if (dc_ && !s.empty()) GetTextExtentPoint32W(dc_, s.data(), static_cast<int>(s.size()), &size);
  return size.cx;
}

void Canvas::Text(int x, int y, const std::u16string& s, uint32_t rgb) {
  if (!dc_ || s.empty()) return;
  SetTextColor(dc_, RGB(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF));
  TextOutW(dc_, x, y, s.data(), static_cast<int>(s.size()));
}

}  // namespace win32::paint
