// Drawing built-ins and the mark-up text drawer.
#include "game/macro/macro_draw.h"

#include <cstring>

#include "dx/dx.h"
#include "game/enemy.h"
#include "game/gamestate.h"
#include "game/macro/macro_ui.h"
#include "game/picture.h"
#include "script/script.h"
#include "game/win.h"

namespace {

constexpr MesTextState kMesTextStart{0, 0, 0, 1, 1, 1, 16, 8};
constexpr MarkupColor kPaletteStart[kMarkupColors] = {
    {1, 1, 1},     {0, 0, 255},   {255, 0, 0},     {255, 0, 255}, {0, 255, 0},
    {0, 255, 255}, {255, 255, 0}, {255, 255, 255}, {0, 0, 0},     {0, 0, 0},
};

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF); }

// One run of plain text, drawn at the cursor when it is flushed.
class RunBuffer {
 public:
  static constexpr size_t kRoom = 1023;  // bytes, before the terminator

  explicit RunBuffer(int32_t* line_height) : line_height_(line_height) {}

  // Adds one character (one or two bytes); a full buffer is drawn first.
  void Add(const char* c, size_t n) {
    if (used_ + n > kRoom) Flush();
    std::memcpy(text_ + used_, c, n);
    used_ += n;
  }
  // Adds a whole text, a character at a time.
  void AddText(const char* s) {
    while (*s) {
      size_t n = (IsLeadByte(static_cast<unsigned char>(*s)) && s[1]) ? 2 : 1;
      Add(s, n);
      s += n;
    }
  }
  void Flush() {
    SelectMesFont();
    if (used_) {
      text_[used_] = '\0';
      int w = dxtextwidth(text_);
      dxtextout(MesText.x, MesText.y, text_, dxrgb(MesText.r, MesText.g, MesText.b));
      // The cursor only moves on: held at the end of the range, it stays off the screen.
      MesText.x = HeldPlace(int64_t{MesText.x} + w);
    }
    *line_height_ = dxfontheight();
    used_ = 0;
  }

 private:
  char text_[kRoom + 1];
  size_t used_ = 0;
  int32_t* line_height_;
};

// A decimal number after a mark-up letter: blanks and a sign allowed.
bool ReadMarkupNumber(const char*& p, int32_t& value) {
  const char* end = p;
  int32_t v = ScriptStrtol(p, &end, 10);
  if (end == p) return false;
  value = v;
  p = end;
  return true;
}

// The global variable with the longest name that `p` begins with.
StrList* LongestVarAt(const char* p) {
  StrList* best = nullptr;
  size_t best_len = 0;
  for (StrList* v = ScriptVars; v; v = v->next) {
    if (!v->name) continue;
    size_t n = std::strlen(v->name);
    if (n > best_len && std::strncmp(v->name, p, n) == 0) {
      best = v;
      best_len = n;
    }
  }
  return best;
}

}  // namespace

MesTextState MesText = kMesTextStart;
MarkupColor MarkupPalette[kMarkupColors] = {
    {1, 1, 1},     {0, 0, 255},   {255, 0, 0},     {255, 0, 255}, {0, 255, 0},
    {0, 255, 255}, {255, 255, 0}, {255, 255, 255}, {0, 0, 0},     {0, 0, 0},
};

void ResetMesText() {
  MesText = kMesTextStart;
  std::memcpy(MarkupPalette, kPaletteStart, sizeof MarkupPalette);
}

void SelectMesFont() {
  dxsetfont(GameFontFace, MesText.font_height, MesText.font_width, MesText.bold, 0, 1);
}

void DrawMarkupText(const char* text, int x, int y) {
  if (!text) return;
  if (x >= 0) MesText.x = x;
  if (y >= 0) MesText.y = y;
  const int32_t line_start = MesText.x;
  int32_t line_height = 0;
  RunBuffer run(&line_height);
  auto new_line = [&] {
    MesText.x = line_start;
    MesText.y = HeldPlace(int64_t{MesText.y} + line_height);
  };
  const char* p = text;
  for (;;) {
    while (*p && *p != '\n' && *p != '%' && *p != '$' && *p != '\\') {
      if (*p == '\r') {
        ++p;
      } else if (IsLeadByte(static_cast<unsigned char>(*p)) && p[1]) {
        run.Add(p, 2);
        p += 2;
      } else {
        run.Add(p, 1);
        ++p;
      }
    }
    run.Flush();
    if (!*p) return;
    switch (*p) {
      case '\n':
        ++p;
        new_line();
        break;
      case '\\':
        ++p;
        if (*p == 'n') {
          ++p;
          new_line();
        }
        break;
      case '%': {
        char code = p[1];
        int32_t n;
        if (code == 'B' || code == 'b' || code == 'n' || code == 'c' || code == 'h' || code == 'w') p += 2;
        else {
          ++p;
          break;
        }
        if (code == 'B') MesText.bold = 1;
        else if (code == 'b') MesText.bold = 0;
        else if (code == 'n') new_line();
        else if (ReadMarkupNumber(p, n)) {
          if (code == 'c') {
            if (n >= 0 && n < kMarkupColors) {
              MesText.r = MarkupPalette[n].r;
              MesText.g = MarkupPalette[n].g;
              MesText.b = MarkupPalette[n].b;
            }
          } else if (code == 'h') {
            MesText.font_height = n;
          } else {
            MesText.font_width = n;
          }
        }
        break;
      }
      case '$': {
        ++p;
        if (StrList* var = LongestVarAt(p)) {
          p += std::strlen(var->name);
          run.AddText(var->text ? var->text : "");
        }
        break;
      }
    }
  }
}

void BlitPicture(dx::bitmap* pic, int x, int y, int sx, int sy, int w, int h, int alpha) {
  if (!pic) return;
  const bool source = !(sx < 0 && sy < 0);
  const bool size = !(w < 0 && h < 0);
  if (source) {
    if (sx < 0) sx = 0;
    if (sy < 0) sy = 0;
  } else if (size) {
    if (w < 0) w = dxbitmapwidth(pic);
    if (h < 0) h = dxbitmapheight(pic);
  }
  if (alpha < 0) {
    if (source)
      dxbltpart(pic, x, y, sx, sy, w, h);
    else if (size)
      dxstretchblt(pic, x, y, w, h);
    else
      dxblt(pic, x, y);
    return;
  }
  if (!source && !size) {
    dxbltalpha(pic, x, y, static_cast<uint32_t>(alpha));
    return;
  }
  // Stretch or cut into a bitmap of its own first, then blend that.
  dx::bitmap* temp = dxnewbitmap(w, h);
  dxpushtarget(temp);
  if (source)
    dxbltpart(pic, 0, 0, sx, sy, w, h);
  else
    dxstretchblt(pic, 0, 0, w, h);
  dxpoptarget(false);
  dxbltalpha(temp, x, y, static_cast<uint32_t>(alpha));
  dxdeletebitmap(temp);
}

int macro_win(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t x = 0, y = 0, w = 128, h = 128, t = 100;
  a.Int(x), a.Int(y), a.Int(w), a.Int(h), a.Int(t);
  DrawWindowFrame(x, y, w, h, t);
  return MacroPushInt(stack, 0);
}

int macro_btn(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  const char* caption = "";
  int32_t x = 0, y = 0, w = 128, normal = 0;
  a.Text(caption), a.Int(x), a.Int(y), a.Int(w), a.Int(normal);
  DrawTextButton(x, y, w, caption, normal);
  return MacroPushInt(stack, 0);
}

int macro_blt(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  const char* file = nullptr;
  int32_t x = 0, y = 0, w = -1, h = -1, sx = -1, sy = -1, alpha = -1;
  a.Text(file), a.Int(x), a.Int(y), a.Int(w), a.Int(h), a.Int(sx), a.Int(sy), a.Int(alpha);
  // An empty name names no file, as a missing one.
  if (file && *file) BlitPicture(readIMG(file), x, y, sx, sy, w, h, alpha);
  return MacroPushInt(stack, 0);
}

int macro_mon_pic(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t number = 0, index = 0, x = 0, y = 0, w = -1, h = -1, sx = -1, sy = -1, alpha = -1;
  a.Int(number), a.Int(index), a.Int(x), a.Int(y), a.Int(w), a.Int(h), a.Int(sx), a.Int(sy), a.Int(alpha);
  if (number > kMonsterBase && number <= kMonsterLast && index >= 0 && index < kMonsterPictures) {
    const char* file = MonsterTable[number - kMonsterBase].pic[index];
    if (file && *file) {
      // The catalogue shows the pictures a player has seen.
      GameStateBlock.enemy_pic[number - kMonsterBase] |= 1 << index;
      BlitPicture(readIMG(file), x, y, sx, sy, w, h, alpha);
    }
  }
  return MacroPushInt(stack, 0);
}

int macro_fill(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  int32_t r = 255, g = 15, b = 255, x = 0, y = 0, w = -1, h = -1, alpha = -1;
  a.Int(r), a.Int(g), a.Int(b), a.Int(x), a.Int(y), a.Int(w), a.Int(h), a.Int(alpha);
  if (x >= 0 && y >= 0 && w >= 1 && h >= 1) {
    uint32_t colour = dxrgb(r, g, b);
    if (alpha >= 0)
      dxfillrectalpha(x, y, w, h, colour, static_cast<uint32_t>(alpha));
    else
      dxfillrect(x, y, w, h, colour);
  }
  return MacroPushInt(stack, 0);
}

int macro_key(StrList**, StrList** stack) {
  dxclearchars();
  return MacroPushInt(stack, MacroKeyBits());
}

int macro_txt(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  const char* text = nullptr;
  int32_t x = 0, y = 0;
  a.Text(text), a.Int(x), a.Int(y);
  DrawMarkupText(text, x, y);
  return MacroPushText(stack, "");
}

int macro_txtwidth(StrList** args, StrList** stack) {
  MacroArgReader a(args);
  const char* text = "";
  a.Text(text);
  SelectMesFont();
  return MacroPushInt(stack, dxtextwidth(text));
}

void RegisterDrawMacros() {
  ScriptRegisterFunction(&MacroList, "win", macro_win, nullptr);
  ScriptRegisterFunction(&MacroList, "btn", macro_btn, nullptr);
  ScriptRegisterFunction(&MacroList, "blt", macro_blt, nullptr);
  ScriptRegisterFunction(&MacroList, "mon_pic", macro_mon_pic, nullptr);
  ScriptRegisterFunction(&MacroList, "fill", macro_fill, nullptr);
  ScriptRegisterFunction(&MacroList, "key", macro_key, nullptr);
  ScriptRegisterFunction(&MacroList, "txt", macro_txt, nullptr);
  ScriptRegisterFunction(&MacroList, "txtwidth", macro_txtwidth, nullptr);
}
