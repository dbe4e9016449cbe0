// Drawing on the software device: vertices are transformed (world, view,
// projection), lit (emissive + ambient + the viewport's lights, per vertex),
// clipped at the near and far planes in clip space, mapped through the
// viewport, culled by their winding on the screen and handed to the rasteriser.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/d3d/d3d.h"
#include "platform/d3d/raster.h"

namespace soft3d {

const D3DMATERIAL* MaterialOf(D3DMATERIALHANDLE h);

namespace {

// A vertex in clip space with its colour (0..255 a channel) and texture place.
struct ClipVertex {
  double x, y, z, w;
  float r, g, b, a;
  float u, v;
};

ClipVertex Lerp(const ClipVertex& p, const ClipVertex& q, double t) {
  auto f = [t](float a, float b) { return static_cast<float>(a + (b - a) * t); };
  return {p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t, p.z + (q.z - p.z) * t, p.w + (q.w - p.w) * t,
          f(p.r, q.r),           f(p.g, q.g),           f(p.b, q.b),           f(p.a, q.a),
          f(p.u, q.u),           f(p.v, q.v)};
}

// The clip planes kept: in front of the near plane (z >= 0), behind the far
// plane (z <= w), and w above 0 so that every vertex can be divided.
constexpr int kPlanes = 3;
double Distance(const ClipVertex& p, int plane) {
  switch (plane) {
    case 0: return p.z;
    case 1: return p.w - p.z;
    default: return p.w - 1e-6;
  }
}

void ClipPolygon(std::vector<ClipVertex>& poly, std::vector<ClipVertex>& scratch) {
  for (int plane = 0; plane < kPlanes && !poly.empty(); ++plane) {
    scratch.clear();
    for (size_t i = 0; i < poly.size(); ++i) {
      const ClipVertex& p = poly[i];
      const ClipVertex& q = poly[(i + 1) % poly.size()];
      double dp = Distance(p, plane), dq = Distance(q, plane);
      if (dp >= 0) scratch.push_back(p);
      if ((dp >= 0) != (dq >= 0)) scratch.push_back(Lerp(p, q, dp / (dp - dq)));
    }
    poly.swap(scratch);
  }
}

struct Mapping {
  const D3DVIEWPORT2* vp;
  ScreenVertex operator()(const ClipVertex& c) const {
    const double iw = 1.0 / c.w;
    ScreenVertex s;
    s.x = static_cast<float>(vp->dwX + (c.x * iw - vp->dvClipX) / vp->dvClipWidth * vp->dwWidth);
    s.y = static_cast<float>(vp->dwY + (vp->dvClipY - c.y * iw) / vp->dvClipHeight * vp->dwHeight);
    s.z = static_cast<float>(vp->dvMinZ + c.z * iw * (vp->dvMaxZ - vp->dvMinZ));
    s.rhw = static_cast<float>(iw);
    s.r = c.r, s.g = c.g, s.b = c.b, s.a = c.a;
    s.u = c.u, s.v = c.v;
    return s;
  }
};

void Unpack(D3DCOLOR c, float& r, float& g, float& b, float& a) {
  a = static_cast<float>(c >> 24);
  r = static_cast<float>((c >> 16) & 0xFF);
  g = static_cast<float>((c >> 8) & 0xFF);
  b = static_cast<float>(c & 0xFF);
}

// p * M for a point (w = 1) giving four coordinates.
void Transform4(const D3DMATRIX& m, double x, double y, double z, double out[4]) {
  out[0] = x * m._11 + y * m._21 + z * m._31 + m._41;
  out[1] = x * m._12 + y * m._22 + z * m._32 + m._42;
  out[2] = x * m._13 + y * m._23 + z * m._33 + m._43;
  out[3] = x * m._14 + y * m._24 + z * m._34 + m._44;
}

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
  const float* pa = &a._11;
  const float* pb = &b._11;
  D3DMATRIX r;
  float* pr = &r._11;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += static_cast<double>(pa[i * 4 + k]) * pb[k * 4 + j];
      pr[i * 4 + j] = static_cast<float>(s);
    }
  return r;
}

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
void Normalise(double v[3]) {
  double l = std::sqrt(Dot(v, v));
  if (l > 0) v[0] /= l, v[1] /= l, v[2] /= l;
}

}  // namespace

class Device {
 public:
  static HRESULT Draw(IDirect3DDevice2& d, D3DPRIMITIVETYPE type, D3DVERTEXTYPE vtype, const void* vertices,
                      DWORD vcount, const WORD* indices, DWORD icount, DWORD flags);

 private:
  static PixelState States(const IDirect3DDevice2& d);
  static void Light(const IDirect3DDevice2& d, const D3DMATERIAL& m, const double pos[3], const double normal[3],
                    const double origin[3], ClipVertex& out);
};

PixelState Device::States(const IDirect3DDevice2& d) {
  const DWORD* r = d.render_;
  PixelState s;
  s.zenable = r[D3DRENDERSTATE_ZENABLE] != 0;
  s.zwrite = r[D3DRENDERSTATE_ZWRITEENABLE] != 0;
  s.zfunc = r[D3DRENDERSTATE_ZFUNC];
  s.gouraud = r[D3DRENDERSTATE_SHADEMODE] != D3DSHADE_FLAT;
  s.perspective = r[D3DRENDERSTATE_TEXTUREPERSPECTIVE] != 0;
  s.texblend = r[D3DRENDERSTATE_TEXTUREMAPBLEND];
  s.address_u = r[D3DRENDERSTATE_TEXTUREADDRESSU];
  s.address_v = r[D3DRENDERSTATE_TEXTUREADDRESSV];
  s.border = r[D3DRENDERSTATE_BORDERCOLOR];
  s.colorkey = r[D3DRENDERSTATE_COLORKEYENABLE] != 0;
  s.blend = r[D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
  s.srcblend = r[D3DRENDERSTATE_SRCBLEND];
  s.destblend = r[D3DRENDERSTATE_DESTBLEND];
  s.alphatest = r[D3DRENDERSTATE_ALPHATESTENABLE] != 0;
  s.alphafunc = r[D3DRENDERSTATE_ALPHAFUNC];
  // The reference is a 16.16 fraction of 1.
  s.alpharef = static_cast<int>(std::min<uint64_t>(255, (static_cast<uint64_t>(r[D3DRENDERSTATE_ALPHAREF]) * 255 + 32768) >> 16));
  s.fog = r[D3DRENDERSTATE_FOGENABLE] != 0 && r[D3DRENDERSTATE_FOGTABLEMODE] == D3DFOG_LINEAR;
  // Fog runs on device depth for a back buffer in system memory and on eye
  // distance for one in video memory.
  s.fog_eye = d.target_->in_video_memory();
  s.fogstart = D3DBitsFloat(r[D3DRENDERSTATE_FOGTABLESTART]);
  s.fogend = D3DBitsFloat(r[D3DRENDERSTATE_FOGTABLEEND]);
  s.fogcolor = r[D3DRENDERSTATE_FOGCOLOR];
  s.lastpixel = r[D3DRENDERSTATE_LASTPIXEL] != 0;
  return s;
}

void Device::Light(const IDirect3DDevice2& d, const D3DMATERIAL& m, const double pos[3], const double normal[3],
                   const double origin[3], ClipVertex& out) {
  const DWORD amb = d.light_[D3DLIGHTSTATE_AMBIENT];
  const double ar = ((amb >> 16) & 0xFF) / 255.0, ag = ((amb >> 8) & 0xFF) / 255.0, ab = (amb & 0xFF) / 255.0;
  double c[3] = {m.emissive.r + ar * m.ambient.r, m.emissive.g + ag * m.ambient.g, m.emissive.b + ab * m.ambient.b};
  if (d.current_) {
    for (const IDirect3DLight* lp : d.current_->lights()) {
      const D3DLIGHT2& l = lp->data();
      if (!(l.dwFlags & D3DLIGHT_ACTIVE)) continue;
      double dir[3];  // from the vertex toward the light
      double atten = 1;
      if (l.dltType == D3DLIGHT_DIRECTIONAL) {
        dir[0] = -l.dvDirection.x, dir[1] = -l.dvDirection.y, dir[2] = -l.dvDirection.z;
      } else {
        const double* from = l.dltType == D3DLIGHT_PARALLELPOINT ? origin : pos;
        dir[0] = l.dvPosition.x - from[0], dir[1] = l.dvPosition.y - from[1], dir[2] = l.dvPosition.z - from[2];
        double dist = std::sqrt(Dot(dir, dir));
        if (l.dltType != D3DLIGHT_PARALLELPOINT) {
          if (dist > l.dvRange) continue;
          double den = l.dvAttenuation0 + l.dvAttenuation1 * dist + l.dvAttenuation2 * dist * dist;
          atten = den > 0 ? 1.0 / den : 1.0;
        }
      }
      Normalise(dir);
      if (l.dltType == D3DLIGHT_SPOT) {
        double axis[3] = {l.dvDirection.x, l.dvDirection.y, l.dvDirection.z};
        Normalise(axis);
        double rho = -Dot(dir, axis);
        double inner = std::cos(l.dvTheta / 2), outer = std::cos(l.dvPhi / 2);
        if (rho <= outer) continue;
        if (rho < inner)
          atten *= l.dvFalloff == 0 ? 1.0 : std::pow((rho - outer) / (inner - outer), l.dvFalloff);
      }
      double lambert = Dot(normal, dir);
      if (lambert <= 0) continue;
      double k = atten * lambert;
      c[0] += k * l.dcvColor.r * m.diffuse.r;
      c[1] += k * l.dcvColor.g * m.diffuse.g;
      c[2] += k * l.dcvColor.b * m.diffuse.b;
    }
  }
  auto ch = [](double v) { return static_cast<float>(std::clamp(v, 0.0, 1.0) * 255.0); };
  out.r = ch(c[0]), out.g = ch(c[1]), out.b = ch(c[2]);
  out.a = ch(m.diffuse.a);  // alpha is held to 0..1
}

HRESULT Device::Draw(IDirect3DDevice2& d, D3DPRIMITIVETYPE type, D3DVERTEXTYPE vtype, const void* vertices,
                     DWORD vcount, const WORD* indices, DWORD icount, DWORD flags) {
  if (!d.in_scene_) return D3DERR_SCENE_NOT_IN_SCENE;
  if (vtype < D3DVT_VERTEX || vtype > D3DVT_TLVERTEX) return D3DERR_INVALIDVERTEXTYPE;
  if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) return D3DERR_INVALIDPRIMITIVETYPE;
  if ((!vertices && vcount) || (indices == nullptr && icount)) return D3DERR_INVALIDPARAMS;
  if (d.target_->IsLost() != DD_OK) return DDERR_SURFACELOST;
  for (DWORD i = 0; indices && i < icount; ++i)
    if (indices[i] >= vcount) return D3DERR_INVALIDPARAMS;
  const DWORD n = indices ? icount : vcount;
  if (n == 0) return D3D_OK;

  const D3DVIEWPORT2* vp = d.current_ && d.current_->has_data() ? &d.current_->data() : nullptr;
  if (vtype != D3DVT_TLVERTEX && !vp) return D3DERR_VIEWPORTDATANOTSET;

  Target t;
  t.color = d.target_->pixels();
  if (d.zbuffer_) t.depth = d.zbuffer_->pixels();
  t.clip = {0, 0, t.color.width, t.color.height};
  if (vp && !(flags & D3DDP_DONOTCLIP)) {
    t.clip = {static_cast<LONG>(vp->dwX), static_cast<LONG>(vp->dwY), static_cast<LONG>(vp->dwX + vp->dwWidth),
              static_cast<LONG>(vp->dwY + vp->dwHeight)};
  }
  const PixelState s = States(d);
  Texture tex;
  const Texture* texp = nullptr;
  if (IDirectDrawSurface* ts = d.TextureOf(d.render_[D3DRENDERSTATE_TEXTUREHANDLE])) {
    tex.pixels = ts->pixels();
    DDPIXELFORMAT pf{};
    pf.dwSize = sizeof pf;
    if (SUCCEEDED(ts->GetPixelFormat(&pf)) && (pf.dwFlags & DDPF_ALPHAPIXELS)) tex.amask = pf.dwRGBAlphaBitMask;
    texp = &tex;
  }

  // Vertices: on the screen already, or into clip space with their colours.
  // Kept between calls: the 3-D view draws hundreds of small meshes a frame.
  // Never destroyed, as the device they serve may draw from an exit handler.
  static auto& tl = *new std::vector<ScreenVertex>;
  static auto& screen = *new std::vector<ScreenVertex>;
  static auto& cv = *new std::vector<ClipVertex>;
  static auto& poly = *new std::vector<ClipVertex>;
  static auto& scratch = *new std::vector<ClipVertex>;
  if (vtype == D3DVT_TLVERTEX) {
    const auto* src = static_cast<const D3DTLVERTEX*>(vertices);
    tl.resize(vcount);
    for (DWORD i = 0; i < vcount; ++i) {
      ScreenVertex& o = tl[i];
      o.x = src[i].sx, o.y = src[i].sy, o.z = src[i].sz, o.rhw = src[i].rhw;
      Unpack(src[i].color, o.r, o.g, o.b, o.a);
      o.u = src[i].tu, o.v = src[i].tv;
    }
  } else {
    const D3DMATRIX wvp = Multiply(Multiply(d.world_, d.view_), d.projection_);
    cv.resize(vcount);
    const D3DMATERIAL* mat = MaterialOf(d.light_[D3DLIGHTSTATE_MATERIAL]);
    D3DMATERIAL white{};
    white.diffuse = white.ambient = {1, 1, 1, 1};
    if (!mat) mat = &white;
    const double origin[3] = {d.world_._41, d.world_._42, d.world_._43};
    for (DWORD i = 0; i < vcount; ++i) {
      ClipVertex& o = cv[i];
      double c[4];
      if (vtype == D3DVT_VERTEX) {
        const D3DVERTEX& v = static_cast<const D3DVERTEX*>(vertices)[i];
        Transform4(wvp, v.x, v.y, v.z, c);
        double pw[4];
        Transform4(d.world_, v.x, v.y, v.z, pw);
        const D3DMATRIX& w = d.world_;
        double nw[3] = {v.nx * w._11 + v.ny * w._21 + v.nz * w._31, v.nx * w._12 + v.ny * w._22 + v.nz * w._32,
                        v.nx * w._13 + v.ny * w._23 + v.nz * w._33};
        Normalise(nw);
        Light(d, *mat, pw, nw, origin, o);
        o.u = v.tu, o.v = v.tv;
      } else {
        const D3DLVERTEX& v = static_cast<const D3DLVERTEX*>(vertices)[i];
        Transform4(wvp, v.x, v.y, v.z, c);
        Unpack(v.color, o.r, o.g, o.b, o.a);
        o.u = v.tu, o.v = v.tv;
      }
      o.x = c[0], o.y = c[1], o.z = c[2], o.w = c[3];
    }
  }
  auto at = [&](DWORD k) -> DWORD { return indices ? indices[k] : k; };
  const DWORD cull = d.render_[D3DRENDERSTATE_CULLMODE];
  auto culled = [cull](const ScreenVertex* p, size_t count) {
    if (cull != D3DCULL_CW && cull != D3DCULL_CCW) return false;
    double area = 0;  // positive: clockwise on the screen (y downward)
    for (size_t i = 0; i < count; ++i) {
      const ScreenVertex& a = p[i];
      const ScreenVertex& b = p[(i + 1) % count];
      area += static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
    }
    return cull == D3DCULL_CCW ? area < 0 : area > 0;
  };

  const Mapping map{vp};
  auto triangle = [&](DWORD i0, DWORD i1, DWORD i2, DWORD flat) {
    if (vtype == D3DVT_TLVERTEX) {
      const ScreenVertex p[3] = {tl[i0], tl[i1], tl[i2]};
      if (!culled(p, 3)) DrawTriangle(t, s, texp, p[0], p[1], p[2], tl[flat]);
      return;
    }
    poly.assign({cv[i0], cv[i1], cv[i2]});
    ClipPolygon(poly, scratch);
    if (poly.size() < 3) return;
    screen.clear();
    for (const ClipVertex& c : poly) screen.push_back(map(c));
    if (culled(screen.data(), screen.size())) return;
    ClipVertex fc = cv[flat];
    fc.w = 1;
    const ScreenVertex fs = {0, 0, 0, 1, fc.r, fc.g, fc.b, fc.a, 0, 0};
    for (size_t k = 1; k + 1 < screen.size(); ++k) DrawTriangle(t, s, texp, screen[0], screen[k], screen[k + 1], fs);
  };
  auto line = [&](DWORD i0, DWORD i1) {
    if (vtype == D3DVT_TLVERTEX) {
      DrawLine(t, s, texp, tl[i0], tl[i1], tl[i0]);
      return;
    }
    ClipVertex a = cv[i0], b = cv[i1];
    for (int plane = 0; plane < kPlanes; ++plane) {
      double da = Distance(a, plane), db = Distance(b, plane);
      if (da < 0 && db < 0) return;
      if (da < 0) a = Lerp(a, b, da / (da - db));
      else if (db < 0) b = Lerp(a, b, da / (da - db));
    }
    const ScreenVertex fs = {0, 0, 0, 1, cv[i0].r, cv[i0].g, cv[i0].b, cv[i0].a, 0, 0};
    DrawLine(t, s, texp, map(a), map(b), fs);
  };

  switch (type) {
    case D3DPT_POINTLIST:
      for (DWORD k = 0; k < n; ++k) {
        if (vtype == D3DVT_TLVERTEX) {
          DrawPoint(t, s, texp, tl[at(k)]);
        } else {
          const ClipVertex& c = cv[at(k)];
          bool inside = true;
          for (int plane = 0; plane < kPlanes; ++plane) inside = inside && Distance(c, plane) >= 0;
          if (inside) DrawPoint(t, s, texp, map(c));
        }
      }
      break;
    case D3DPT_LINELIST:
      for (DWORD k = 0; k + 1 < n; k += 2) line(at(k), at(k + 1));
      break;
    case D3DPT_LINESTRIP:
      for (DWORD k = 0; k + 1 < n; ++k) line(at(k), at(k + 1));
      break;
    case D3DPT_TRIANGLELIST:
      for (DWORD k = 0; k + 2 < n; k += 3) triangle(at(k), at(k + 1), at(k + 2), at(k));
      break;
    case D3DPT_TRIANGLESTRIP:
      // Every other triangle is turned so that all keep the strip's winding.
      for (DWORD k = 0; k + 2 < n; ++k) {
        if (k % 2) triangle(at(k + 1), at(k), at(k + 2), at(k));
        else triangle(at(k), at(k + 1), at(k + 2), at(k));
      }
      break;
    case D3DPT_TRIANGLEFAN:
      for (DWORD k = 1; k + 1 < n; ++k) triangle(at(0), at(k), at(k + 1), at(k));
      break;
  }
  return D3D_OK;
}

}  // namespace soft3d

HRESULT IDirect3DDevice2::DrawPrimitive(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vtype, const void* vertices,
                                        DWORD count, DWORD flags) {
  return soft3d::Device::Draw(*this, type, vtype, vertices, count, nullptr, 0, flags);
}

HRESULT IDirect3DDevice2::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, D3DVERTEXTYPE vtype, const void* vertices,
                                               DWORD vcount, const WORD* indices, DWORD icount, DWORD flags) {
  if (!indices) return D3DERR_INVALIDPARAMS;
  return soft3d::Device::Draw(*this, type, vtype, vertices, vcount, indices, icount, flags);
}
