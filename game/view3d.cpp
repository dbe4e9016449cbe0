#include "game/view3d.h"
#include "game/viewframe.h"

#include "dx/dx.h"
#include "game/gamestate.h"
#include "game/main.h"
#include "game/win.h"
#include "game/map.h"
#include "game/position.h"
#include "game/scene3d.h"
#include "game/sound.h"
#include "script/strlist.h"

int FogPhase = 0;

namespace {

int LastFloorDrawn = -1;

// The display size the viewport's clip space is measured against.
constexpr float kDisplayWidth = 640.0f, kDisplayHeight = 480.0f;

const MapCell* CellAt(int x, int y, int floor) {
  if (x < 0 || x >= kMapSize || y < 0 || y >= kMapSize || floor < 0 || floor >= kFloors) return nullptr;
  return &DungeonMap[floor].cells[x][y];
}

// Culling projects into the 3-D view, whichever viewport is current.
void ProjectIntoView() {
  dxviewwidth = kViewWidth;
  dxviewheight = kViewHeight;
}

}  // namespace

void SetViewport3D(int width, int height) {
  D3DVIEWPORT2 vp{};
  vp.dwSize = sizeof vp;
  vp.dwX = 0, vp.dwY = 0;
  vp.dwWidth = static_cast<DWORD>(width), vp.dwHeight = static_cast<DWORD>(height);
  vp.dvClipX = -(kDisplayWidth / kDisplayHeight);
  vp.dvClipY = 1.0f;
  vp.dvClipWidth = 2 * kDisplayWidth / kDisplayHeight;
  vp.dvClipHeight = 2.0f;
  vp.dvMinZ = 0.0f, vp.dvMaxZ = 1.0f;
  if (dxviewport) dxviewport->SetViewport2(&vp);
  ProjectIntoView();
}

void DrawPanorama(int x, int y, int floor, float heading) {
  const MapCell* cell = CellAt(x, y, floor);
  const int32_t bg = cell ? cell->w[CELL_BG] : 0;
  if (bg == 0) {
    dxcls(dxrgb(1, 1, 1));
    return;
  }
  if (bg < 1 || bg > 255 || !WallTextureTable[bg].path) return;
  LoadMapImage(&WallTextureTable[bg]);
  dx::bitmap* pic = WallTextureTable[bg].picture;
  if (!pic) return;
  // A 720-pixel strip, two pixels a degree, wrapped round at its end.
  const int s = static_cast<int>(WrapDegrees(heading));
  int w1 = 720 - 2 * s;
  if (w1 > kViewWidth) w1 = kViewWidth;
  if (w1 > 0) dxbltpartnokey(pic, 0, 0, 2 * s, 0, w1, kViewHeight);
  if (w1 < kViewWidth) dxbltpartnokey(pic, w1 < 0 ? 0 : w1, 0, 0, 0, kViewWidth - (w1 < 0 ? 0 : w1), kViewHeight);
}

void DrawViewOverlays(int x, int y, int floor) {
  const MapCell* cell = CellAt(x, y, floor);
  if (!cell || !ViewCapture) return;
  // The pixel effects work on system-memory surfaces.
  if (SetupRecord.video_mode) dxusevram(false);
  if (cell->w[CELL_WATR] != 0) {
    dxpushtarget(ViewCapture);
    dxfillrectalpha(0, 0, kViewWidth, kViewHeight, dxrgb(0, 0, 255), 50);
    dxpoptarget(false);
  }
  if (cell->w[CELL_FOG] != 0) {
    WallTexture& entry = WallTextureTable[253];
    LoadMapImage(&entry);
    if (dx::bitmap* fog = entry.picture) {
      if (dxsync(300)) FogPhase += 2;
      if (FogPhase >= dxbitmapwidth(fog) / 2) FogPhase = 0;
      int percent = cell->w[CELL_FOG] * 100 / 256;
      if (percent < 0) percent = 0;
      if (percent > 100) percent = 100;
      dx::bitmap* layer = dxnewbitmap(kViewWidth, kViewHeight);
      dxpushtarget(layer);
      dxbltpartnokey(fog, 0, 0, FogPhase, 0, kViewWidth, kViewHeight);
      dxpoptarget(false);
      dxpushtarget(ViewCapture);
      dxbltalpha(layer, 0, 0, static_cast<uint32_t>(percent));
      dxpoptarget(false);
      dxdeletebitmap(layer);
    }
  }
  if (cell->w[CELL_DESERT] != 0) {
    const int32_t phase = static_cast<int32_t>(dxgettime() >> 13);
    dx::bitmap* copy = dxmirrorbitmap(ViewCapture, false, false);
    dxpushtarget(ViewCapture);
    dxbltwave(copy, 0, 0, 5, 50, phase);
    dxpoptarget(false);
    dxdeletebitmap(copy);
  }
  if (SetupRecord.video_mode) {
    dxusevram(true);
    ResetRenderState();
  }
}

void Draw3D(const ViewPos& position, int release) {
  ViewPos pos;
  CopyViewPos(pos, position);
  const int x = GetPosX(pos), y = GetPosY(pos), n = GetPosFloor(pos);
  // Wall pictures belong to a floor: a new floor loads its own on demand.
  if ((LastFloorDrawn >= 0 && LastFloorDrawn != n) || release) FreeMapImages();
  LastFloorDrawn = n;

  // The scene's culling needs the view's size before the first viewport is set.
  ProjectIntoView();
  BuildDungeonScene(static_cast<float>(2 * pos.X + 1), static_cast<float>(2 * pos.N + 1),
                    static_cast<float>(2 * pos.Y + 1), static_cast<float>(pos.T), static_cast<float>(pos.P));
  DrawPanorama(x, y, n, static_cast<float>(pos.T));
  double start, end;
  if (n == 0)
    start = dxvram ? 4.0 : 1.6, end = dxvram ? 10.0 : 2.0;
  else
    start = dxvram ? 3.0 : 1.4, end = dxvram ? 6.0 : 1.9;
  dxsetfog(0, start, end, false);
  // A switch of the display (full screen, video memory, a lost back buffer)
  // rebuilds the device with its own default states: the view's ambient light
  // and perspective are set again every frame, as its fog is.
  ResetRenderState();

  SetViewport3D(kViewWidth, kViewHeight);
  dxbeginscene();
  int drawn = 0;
  for (DrawItem* item = DrawList; item; item = item->next) {
    if (!item->visible) continue;
    if (item->transparency >= 1 && item->transparency <= 255)
      dxdrawmesh(WorldMatrix, item->mesh, 255 - item->transparency, item->additive != 0);
    else
      dxdrawmesh(WorldMatrix, item->mesh, 100, false);
    ++drawn;
  }
  dxendscene();
  SetViewport3D(static_cast<int>(kDisplayWidth), static_cast<int>(kDisplayHeight));

  ViewCapture = dxcapture(0, 0, kViewWidth, kViewHeight, false);
  DrawViewOverlays(x, y, n);
  dxcls(0);
  dxstretchblt(ViewCapture, 0, 0, 640, 480);
  dxdeletebitmap(ViewCapture);
  ViewCapture = nullptr;

  if (GetVarInt("DEBUG") != 0) {
    dxsetfont(GameFontFace, 16, 8, 0, 0, 1);
    dxprintf(0, 0, dxrgb(255, 255, 255), "%05d(%f,%f,%f,%f)SOUND[%d:%d|%d:%d]", drawn, pos.X, pos.Y, pos.N, pos.P,
             GetMusicNo(), GetMusicVolume(), GetPrevMusicNo(), GetPrevMusicVolume());
  }
}
