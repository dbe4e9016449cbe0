#include "dx/matrix.h"

#include <cmath>
#include <cstring>

#include "dx/d3d.h"

dx::matrix dxcameramatrix = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

namespace {

constexpr double kPi = 3.141592653589793;

double Radians(double degrees) { return degrees * kPi / 180; }

// m = r * m, with r the 3 x 3 rotation given by rows.
void Premultiply(dx::matrix& m, const double r[3][3]) {
  dx::matrix rm;
  std::memset(&rm, 0, sizeof rm);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) rm[i * 4 + j] = static_cast<float>(r[i][j]);
  rm[15] = 1;
  dxmatmultiply(m, rm, m);
}

void SetTransform(D3DTRANSFORMSTATETYPE state, const dx::matrix& m) {
  if (!dxd3ddevice) return;
  D3DMATRIX d;
  std::memcpy(&d, &m, sizeof d);
  dxd3ddevice->SetTransform(state, &d);
}

}  // namespace

void dxmatidentity(dx::matrix& m) {
  std::memset(&m, 0, sizeof m);
  m[0] = m[5] = m[10] = m[15] = 1;
}

void dxmatsettranslation(dx::matrix& m, const D3DVECTOR& v) {
  m[12] = v.x;
  m[13] = v.y;
  m[14] = v.z;
}

D3DVECTOR& dxmatgettranslation(D3DVECTOR& out, const dx::matrix& m) {
  out = {m[12], m[13], m[14]};
  return out;
}

void dxmattranslate(dx::matrix& m, const D3DVECTOR& v) {
  m[12] += v.x * m[0] + v.y * m[4] + v.z * m[8];
  m[13] += v.x * m[1] + v.y * m[5] + v.z * m[9];
  m[14] += v.x * m[2] + v.y * m[6] + v.z * m[10];
}

void dxmatscale(dx::matrix& m, const D3DVECTOR& s) {
  for (int i = 0; i < 4; ++i) {
    m[i] *= s.x;
    m[4 + i] *= s.y;
    m[8 + i] *= s.z;
  }
}

void dxmatgetscale(D3DVECTOR& out, const dx::matrix& m) {
  auto len = [&](int r) {
    return static_cast<float>(std::sqrt(static_cast<double>(m[r]) * m[r] + static_cast<double>(m[r + 1]) * m[r + 1] +
                                        static_cast<double>(m[r + 2]) * m[r + 2]));
  };
  out = {len(0), len(4), len(8)};
}

void dxmatmultiply(dx::matrix& out, const dx::matrix& a, const dx::matrix& b) {
  dx::matrix t;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      t[i * 4 + j] = a[i * 4] * b[j] + a[i * 4 + 1] * b[4 + j] + a[i * 4 + 2] * b[8 + j] + a[i * 4 + 3] * b[12 + j];
  out = t;
}

void dxmatrotatey(dx::matrix& m, double degrees) {
  double c = std::cos(Radians(degrees)), s = std::sin(Radians(degrees));
  const double r[3][3] = {{c, 0, -s}, {0, 1, 0}, {s, 0, c}};
  Premultiply(m, r);
}

void dxmatrotatex(dx::matrix& m, double degrees) {
  double c = std::cos(Radians(degrees)), s = std::sin(Radians(degrees));
  const double r[3][3] = {{1, 0, 0}, {0, c, s}, {0, -s, c}};
  Premultiply(m, r);
}

void dxmatrotatez(dx::matrix& m, double degrees) {
  double c = std::cos(Radians(degrees)), s = std::sin(Radians(degrees));
  const double r[3][3] = {{c, s, 0}, {-s, c, 0}, {0, 0, 1}};
  Premultiply(m, r);
}

void dxmatrotateaxis(dx::matrix& m, const D3DVECTOR& axis, double degrees) {
  double c = std::cos(Radians(degrees)), s = std::sin(Radians(degrees)), t = 1 - c;
  double x = axis.x, y = axis.y, z = axis.z;
  const double r[3][3] = {{x * x * t + c, x * y * t + z * s, x * z * t - y * s},
                          {x * y * t - z * s, y * y * t + c, y * z * t + x * s},
                          {x * z * t + y * s, y * z * t - x * s, z * z * t + c}};
  Premultiply(m, r);
}

void dxmatrotate(dx::matrix& m, double yaw, double pitch, double roll) {
  D3DVECTOR pos, scale;
  dxmatgettranslation(pos, m);
  dxmatgetscale(scale, m);
  dxmatidentity(m);
  if (yaw != 0) dxmatrotatey(m, yaw);
  if (pitch != 0) dxmatrotatex(m, pitch);
  if (roll != 0) dxmatrotatez(m, roll);
  dxmatscale(m, scale);
  dxmatsettranslation(m, pos);
}

void dxmatlookat(dx::matrix& m, const D3DVECTOR& target, double roll) {
  double dx = static_cast<double>(target.x) - m[12], dy = static_cast<double>(target.y) - m[13],
         dz = static_cast<double>(target.z) - m[14];
  double h = std::sqrt(dx * dx + dz * dz);
  double yaw = std::atan2(-dx, dz) * 180 / kPi;
  double pitch = -std::atan2(dy, h) * 180 / kPi;
  dxmatrotate(m, yaw, pitch, roll);
}

void dxmatinverse(dx::matrix& out, const dx::matrix& m) {
  const double m0 = m[0], m1 = m[1], m2 = m[2], m4 = m[4], m5 = m[5], m6 = m[6], m8 = m[8], m9 = m[9], m10 = m[10];
  double det = m0 * (m5 * m10 - m9 * m6) + m4 * (m9 * m2 - m1 * m10) + m8 * (m1 * m6 - m5 * m2);
  dx::matrix r;
  std::memset(&r, 0, sizeof r);
  // A singular 3 x 3 part has no inverse: its result stays zero rather than
  // filling the device with infinities.
  if (det != 0 && std::isfinite(det)) {
    double k = 1 / det;
    r[0] = static_cast<float>((m5 * m10 - m6 * m9) * k);
    r[1] = static_cast<float>((m2 * m9 - m1 * m10) * k);
    r[2] = static_cast<float>((m1 * m6 - m2 * m5) * k);
    r[4] = static_cast<float>((m6 * m8 - m4 * m10) * k);
    r[5] = static_cast<float>((m0 * m10 - m2 * m8) * k);
    r[6] = static_cast<float>((m2 * m4 - m0 * m6) * k);
    r[8] = static_cast<float>((m4 * m9 - m5 * m8) * k);
    r[9] = static_cast<float>((m1 * m8 - m0 * m9) * k);
    r[10] = static_cast<float>((m0 * m5 - m1 * m4) * k);
  }
  for (int j = 0; j < 3; ++j)
    r[12 + j] = -(m[12] * r[j] + m[13] * r[4 + j] + m[14] * r[8 + j]);
  r[15] = 1;
  out = r;
}

D3DVECTOR& dxvectransform(D3DVECTOR& out, const D3DVECTOR& v, const dx::matrix& m) {
  D3DVECTOR r = {v.x * m[0] + v.y * m[4] + v.z * m[8] + m[12], v.x * m[1] + v.y * m[5] + v.z * m[9] + m[13],
                 v.x * m[2] + v.y * m[6] + v.z * m[10] + m[14]};
  out = r;
  return out;
}

float dxveclength(const D3DVECTOR& v) {
  return static_cast<float>(std::sqrt(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y +
                                      static_cast<double>(v.z) * v.z));
}

void dxsetworld(const dx::matrix& m) { SetTransform(D3DTRANSFORMSTATE_WORLD, m); }

void dxsetview(const dx::matrix& camera) {
  dxcameramatrix = camera;
  dx::matrix v;
  dxmatinverse(v, camera);
  SetTransform(D3DTRANSFORMSTATE_VIEW, v);
}

void dxsetcamera(const D3DVECTOR& eye, const D3DVECTOR& target, double roll) {
  dx::matrix camera;
  dxmatidentity(camera);
  dxmatsettranslation(camera, eye);
  dxmatlookat(camera, target, roll);
  dxsetview(camera);
}

void dxsetprojectionmatrix(const dx::matrix& m) { SetTransform(D3DTRANSFORMSTATE_PROJECTION, m); }

void dxsetprojection(double nearz, double farz, double fov) {
  double h = fov * kPi / 180 * 0.5;
  double c = std::cos(h), s = std::sin(h);
  double q = s / (1 - nearz / farz);
  dx::matrix m;
  dxmatidentity(m);
  m[0] = static_cast<float>(c);
  m[5] = static_cast<float>(c);
  m[10] = static_cast<float>(q);
  m[11] = static_cast<float>(s);
  m[14] = static_cast<float>(-q * nearz);
  m[15] = 0;
  dxsetprojectionmatrix(m);
}
