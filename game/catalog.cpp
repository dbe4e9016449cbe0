#include "game/catalog.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "dx/dx.h"
#include "game/csvfile.h"
#include "game/enemy.h"
#include "game/explore.h"
#include "game/fatal.h"
#include "game/gamestate.h"
#include "game/picture.h"
#include "game/sound.h"
#include "script/strlist.h"
#include "game/win.h"

CatalogEntry CatalogTable[kCatalogRows][kCatalogColumns];

namespace {

constexpr const char kCatalogFile[] = "data/system/cata.txt";
constexpr int kCellW = 124, kCellH = 86, kGridX = 10, kGridY = 32;
constexpr int kGrid = 5;  // rows and columns of a page
constexpr uint32_t kKeyDelay = 200000;

}  // namespace

void ReadCatalog() {
  std::memset(CatalogTable, 0, sizeof CatalogTable);
  dx::bitmap* loading = readIMG("data/system/loading.png");
  char*** rows = ReadCsv(kCatalogFile);
  if (!rows) GAME_FATAL("[%s]はありません", kCatalogFile);
  int n = 0;
  while (rows[n]) ++n;
  // The messages quote the file's fields, which go with the rows.
  auto fail = [&] {
    FreeCsv(rows);
    FatalError(__FILE__, __LINE__);
  };
  if (n > kCatalogRows - 1) {
    FormatMsg("カタログ行が多すぎます[%d]行", n);
    fail();
  }
  for (auto& row : CatalogTable) row[0].monster = -1;

  for (int i = 0; i < n; ++i) {
    char** row = rows[i];
    for (int j = 0; row[j]; ++j) {
      if (j >= kCatalogColumns) {
        FormatMsg("カタログ列が多すぎます[%d]行", i);
        fail();
      }
      const char* field = row[j];
      const char* dash = std::strchr(field, '-');
      if (!dash) {
        FormatMsg("カタログ項不正(%d,%d)[%s]行", i, j, field);
        fail();
      }
      std::string number_text(field, dash), picture_text(dash + 1);
      const char* a = number_text.c_str();
      const char* b = picture_text.c_str();
      int32_t number = ScriptAtoi(a), picture_number = ScriptAtoi(b);
      if (number == 0) {
        CatalogTable[i][j] = {0, picture_number};
        continue;
      }
      int64_t index = int64_t{number} - kMonsterBase;
      int64_t picture = int64_t{picture_number} - 1;
      if (index < 0 || index > 1023 || picture < 0 || picture > 7) {
        FormatMsg("カタログ項不正(%d,%d)[%s-%s]行", i, j, a, b);
        fail();
      }
      const MonsterRec& m = MonsterTable[index];
      if (m.num != number) {
        FormatMsg("カタログ敵番号不正(%d,%d)[%s-%s](%d!=%d)行", i, j, a, b, m.num, number);
        fail();
      }
      if (!m.pic[picture] || !m.pic[picture][0]) {
        FormatMsg("カタログ絵番号不正(%d,%d)[%s-%s]行", i, j, a, b);
        fail();
      }
      CatalogTable[i][j] = {static_cast<int32_t>(index), static_cast<int32_t>(picture)};
    }
    char detail[32];
    std::snprintf(detail, sizeof detail, "ReadCatalog[%d]", i);
    // A catalogue of one row is done at its first step.
    DrawLoadingProgress(loading, n > 1 ? i * 360 / (n - 1) : 360, "カタログの読み込み中", detail);
  }
  FreeCsv(rows);
}

namespace {

// The catalogue screen's state.
struct Screen {
  dx::bitmap* page_bitmap = nullptr;
  dx::bitmap* cover = nullptr;    // np.png, for pictures not yet seen
  dx::bitmap* waiting = nullptr;  // catalog_wait.png, over a page being built
  int rows = 0;                   // catalogue rows up to the end mark
  int pages = 0;
  int first = 0;  // the built page's first catalogue row
  int shown = 0;  // the page number shown (0 on); differs while choosing on the page bar
  int column = 0, row = 0, button = 0;
};

const CatalogEntry* Place(int catalogue_row, int column) {
  if (catalogue_row < 0 || catalogue_row >= kCatalogRows) return nullptr;
  return &CatalogTable[catalogue_row][column];
}

// A place of the built page holding a monster.
bool Filled(const Screen& s, int r, int c) {
  const CatalogEntry* e = Place(s.first + r, c);
  return e && e->monster >= 1;
}

const char* PictureName(const CatalogEntry& e) {
  if (e.monster < 1 || e.monster > 1023 || e.picture < 0 || e.picture >= kMonsterPictures) return nullptr;
  const char* name = MonsterTable[e.monster].pic[e.picture];
  return name && name[0] ? name : nullptr;
}

bool Seen(const CatalogEntry& e) { return (GameStateBlock.enemy_pic[e.monster] >> e.picture) & 1; }

void BuildPage(Screen& s) {
  dxpushtarget(s.page_bitmap);
  dxcls(dxrgb(1, 1, 1));
  dxpoptarget(false);
  for (int r = 0; r < kGrid; ++r)
    for (int c = 0; c < kGrid; ++c) {
      const CatalogEntry* e = Place(s.first + r, c);
      const char* name = e ? PictureName(*e) : nullptr;
      if (!name) continue;
      // The small picture by the file's own name, else the full one squeezed.
      dx::bitmap* picture = nullptr;
      bool small = false;
      if (const char* slash = std::strrchr(name, '/')) {
        std::string small_name = std::string("data/mon_small/") + (slash + 1);
        picture = LoadPngBitmap(small_name.c_str());
        small = picture != nullptr;
      }
      if (!picture) picture = LoadPngBitmap(name);
      if (!picture) continue;
      const int x = kGridX + kCellW * c, y = kGridY + kCellH * r;
      auto draw = [&] {
        if (small)
          dxbltnokey(picture, x + 3, y + 3);
        else
          dxstretchblt(picture, x + 3, y + 3, 118, 80);
      };
      dxpushtarget(s.page_bitmap);
      dxfillrect(x + 1, y + 1, 122, 84, dxrgb(255, 255, 255));
      dxfillrect(x + 3, y + 3, 118, 80, dxrgb(1, 1, 1));
      if (Seen(*e)) {
        draw();
      } else if (s.cover) {
        dxblt(s.cover, x + 3, y + 3);
      } else {
        draw();
        dxfillrectalpha(x + 3, y + 3, 118, 80, dxrgb(0, 0, 0), 80);
      }
      dxpoptarget(false);
      dxdeletebitmap(picture);
      if (s.waiting) dxblt(s.waiting, 0, 0);
      dxfillrectalpha(356, 167, (kGrid * r + c) * 221 / 25, 33, dxrgb(255, 128, 128), 50);
      dxupdate();
    }
}

// Enters the page whose number (0 on) is given when one of its rows holds a
// monster; the cursor goes to the first such place unless it is on the page
// bar. False when the page was not entered.
bool EnterPage(Screen& s, int page) {
  Screen next = s;
  next.first = page * kGrid;
  for (int r = 0; r < kGrid; ++r) {
    const CatalogEntry* e = Place(next.first + r, 0);
    if (!e || e->monster == -1) break;
    for (int c = 0; c < kGrid; ++c) {
      if (!Filled(next, r, c)) continue;
      if (s.row != 5) {
        next.row = r;
        next.column = c;
      }
      next.shown = page;
      s = next;
      BuildPage(s);
      return true;
    }
  }
  return false;
}

void SelectButtonByColumn(Screen& s) {
  s.row = -1;
  s.button = s.column < 3 ? 0 : 1;
}

// The nearest place holding a monster in grid row r, looking from the
// cursor's column toward `first` and then toward the other side.
bool NearestInRow(Screen& s, int r, int first) {
  for (int pass = 0; pass < 2; ++pass) {
    int step = pass == 0 ? first : -first;
    for (int c = s.column + (pass == 0 ? 0 : step); c >= 0 && c < kGrid; c += step)
      if (Filled(s, r, c)) {
        s.row = r;
        s.column = c;
        return true;
      }
  }
  return false;
}

void KeyUp(Screen& s) {
  if (s.row == 5) s.shown = s.first / kGrid;  // an unconfirmed page choice lapses
  int target = s.row - 1;
  if (target < -1) target = 5;
  if (target == 5) {
    s.row = 5;
    return;
  }
  for (int r = target; r >= 0; --r)
    if (NearestInRow(s, r, -1)) return;
  SelectButtonByColumn(s);
}

void KeyDown(Screen& s) {
  if (s.row == 5) s.shown = s.first / kGrid;
  int target = s.row + 1;
  if (target > 5) return SelectButtonByColumn(s);
  for (int r = target; r < kGrid; ++r)
    if (NearestInRow(s, r, 1)) return;
  s.row = 5;
}

// Along the grid row: the next place holding a monster in that direction.
void KeySideways(Screen& s, int step) {
  for (int k = 1; k < kGrid; ++k) {
    int c = ((s.column + step * k) % kGrid + kGrid) % kGrid;
    if (Filled(s, s.row, c)) {
      s.column = c;
      return;
    }
  }
}

void ShowFullPicture(const Screen& s, const CatalogEntry& e) {
  dx::bitmap* picture = LoadPngBitmap(PictureName(e));
  if (!picture) return;
  do {
    dxbltnokey(s.page_bitmap, 0, 0);
    dxfillrectalpha(0, 0, 640, 480, dxrgb(1, 1, 1), 80);
    dxblt(picture, 0, 0);
    dxupdate();
  } while (GetKeyBits(kKeyDelay) == 0);
  dxdeletebitmap(picture);
}

void DrawFrame(const Screen& s, dx::bitmap* skin) {
  dxbltnokey(s.page_bitmap, 0, 0);
  dxfillrectalpha(0, 0, 640, 480, dxrgb(1, 1, 1), 40);
  if (s.row >= 0 && s.row < kGrid) {
    int x = kGridX + kCellW * s.column + 1, y = kGridY + kCellH * s.row + 1;
    dxbltpart(s.page_bitmap, x, y, x, y, 122, 84);
  }
  static const int kButtonX[3] = {2, 304, 510};
  static const char* const kCaptions[3] = {"PREV", "END", "NEXT"};
  for (int k = 0; k < 3; ++k)
    DrawTextButton(kButtonX[k], 2, 128, GetVarStr(kCaptions[k]), s.row == -1 && s.button == k ? 0 : 1);
  dxsetfont(GameFontFace, 24, 12, 1, 0, 1);
  dxprintf(146, 2, dxrgb(255, 255, 255), "PAGE(%d/%d)", s.shown + 1, s.pages);
  dxsetfont(GameFontFace, 12, 6, 1, 0, 1);
  for (int k = 1; k <= s.pages; ++k) {
    bool current = k == s.shown + 1;
    dxbltpart(skin, 16 * k, 464, current && s.row == 5 ? 0 : 16, 208, 16, 16);
    dxprintf(16 * k + 2, 466, current ? dxrgb(255, 0, 0) : dxrgb(255, 255, 255), "%02d", k);
  }
}

}  // namespace

void ShowCatalog() {
  Screen s;
  while (s.rows < kCatalogRows && CatalogTable[s.rows][0].monster != -1) ++s.rows;
  s.pages = (s.rows + 4) / 5;
  s.page_bitmap = dxnewbitmap(640, 480);
  s.cover = LoadPngBitmap("data/system/np.png");
  s.waiting = LoadPngBitmap("data/system/catalog_wait.png");
  dx::bitmap* skin = readIMG("data/system/win.png");
  BuildPage(s);

  for (bool done = false; !done;) {
    DrawFrame(s, skin);
    dxupdate();
    uint32_t keys = GetKeyBits(kKeyDelay);
    if (!keys) continue;
    if (keys & 0x11) {
      PlaySE(100);
      KeyUp(s);
    } else if (keys & 0x22) {
      PlaySE(100);
      if (s.row == -1)
        s.button = s.button < 2 ? s.button + 1 : 2;
      else if (s.row == 5)
        s.shown = s.shown + 1 < s.pages ? s.shown + 1 : 0;
      else
        KeySideways(s, 1);
    } else if (keys & 0x44) {
      PlaySE(100);
      KeyDown(s);
    } else if (keys & 0x88) {
      PlaySE(100);
      if (s.row == -1)
        s.button = s.button > 0 ? s.button - 1 : 0;
      else if (s.row == 5)
        s.shown = s.shown > 0 ? s.shown - 1 : s.pages - 1;
      else
        KeySideways(s, -1);
    } else if (keys & 0x200) {
      PlaySE(102);
      done = true;
    } else if (keys & 0x100) {
      PlaySE(101);
      int page = s.first / kGrid;
      if (s.row == -1) {
        if (s.button == 1)
          done = true;
        else if (s.pages > 0)
          EnterPage(s, s.button == 0 ? (page > 0 ? page - 1 : s.pages - 1) : (page + 1 < s.pages ? page + 1 : 0));
      } else if (s.row == 5) {
        EnterPage(s, s.shown);
      } else if (const CatalogEntry* e = Place(s.first + s.row, s.column); e && PictureName(*e) && Seen(*e)) {
        ShowFullPicture(s, *e);
      }
    }
  }
  dxdeletebitmap(s.page_bitmap);
  dxdeletebitmap(s.cover);
  dxdeletebitmap(s.waiting);
}
