// Matrices and the camera: rotations, look-at, inverse and the projection.
#include <gtest/gtest.h>

#include <cmath>

#include "dx/matrix.h"

namespace {

void ExpectVec(const D3DVECTOR& v, double x, double y, double z, double eps = 1e-5) {
  EXPECT_NEAR(v.x, x, eps);
  EXPECT_NEAR(v.y, y, eps);
  EXPECT_NEAR(v.z, z, eps);
}

dx::matrix Identity() {
  dx::matrix m;
  dxmatidentity(m);
  return m;
}

D3DVECTOR Row(const dx::matrix& m, int r) { return {m[r * 4], m[r * 4 + 1], m[r * 4 + 2]}; }

TEST(Matrix, RotationsGoInFrontAndUseDegrees) {
  dx::matrix m = Identity();
  dxmatrotatey(m, 90);
  // Ry row 0 is (c, 0, -s): the x axis turns to -z.
  ExpectVec(Row(m, 0), 0, 0, -1);
  D3DVECTOR p{1, 0, 0}, out;
  ExpectVec(dxvectransform(out, p, m), 0, 0, -1);
  // R * m: a rotation added later acts in m's own frame first.
  dx::matrix a = Identity(), b = Identity();
  dxmatrotatey(a, 30);
  dxmatrotatex(a, 40);
  dx::matrix rx = Identity(), ry = Identity();
  dxmatrotatex(rx, 40);
  dxmatrotatey(ry, 30);
  dxmatmultiply(b, rx, ry);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], 1e-6);
  dx::matrix z = Identity();
  dxmatrotatez(z, 90);
  ExpectVec(Row(z, 0), 0, 1, 0);
  dx::matrix ax = Identity();
  dxmatrotateaxis(ax, {0, 0, 1}, 90);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(ax[i], z[i], 1e-6);
}

TEST(Matrix, RotateKeepsScaleAndPosition) {
  dx::matrix m = Identity();
  dxmatscale(m, {2, 3, 4});
  dxmatsettranslation(m, {5, 6, 7});
  dxmatrotate(m, 0, 0, 0);
  D3DVECTOR s, t;
  dxmatgetscale(s, m);
  ExpectVec(s, 2, 3, 4);
  ExpectVec(dxmatgettranslation(t, m), 5, 6, 7);
  EXPECT_FLOAT_EQ(m[1], 0);
  dxmatrotate(m, 33, -12, 71);
  dxmatgetscale(s, m);
  ExpectVec(s, 2, 3, 4);
  ExpectVec(dxmatgettranslation(t, m), 5, 6, 7);
}

TEST(Matrix, LookAtMirrorsTheTurnAndFollowsTheTilt) {
  dx::matrix m = Identity();
  dxmatlookat(m, {1, 0, 0}, 0);
  ExpectVec(Row(m, 2), -1, 0, 0);
  m = Identity();
  dxmatlookat(m, {0, 0, 1}, 0);
  ExpectVec(Row(m, 2), 0, 0, 1);
  m = Identity();
  dxmatlookat(m, {0, 1, 1}, 0);
  ExpectVec(Row(m, 2), 0, 0.70710678, 0.70710678);
  // Straight above: a defined, finite result.
  m = Identity();
  dxmatlookat(m, {0, 5, 0}, 0);
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(std::isfinite(m[i]));
}

TEST(Matrix, MultiplyInPlaceAndInverse) {
  dx::matrix a = Identity(), b = Identity();
  dxmatrotatey(a, 25);
  dxmatsettranslation(a, {1, 2, 3});
  dxmatrotatex(b, -60);
  dxmatscale(b, {2, 2, 0.5f});
  dx::matrix sep, ina = a, inb = b;
  dxmatmultiply(sep, a, b);
  dxmatmultiply(ina, ina, b);
  dxmatmultiply(inb, a, inb);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(ina[i], sep[i]);
    EXPECT_EQ(inb[i], sep[i]);
  }
  dx::matrix t = Identity(), ti;
  dxmatsettranslation(t, {1, 2, 3});
  dxmatinverse(ti, t);
  D3DVECTOR v;
  ExpectVec(dxmatgettranslation(v, ti), -1, -2, -3);
  dx::matrix inv, prod;
  dxmatinverse(inv, sep);
  dxmatmultiply(prod, sep, inv);
  dx::matrix id = Identity();
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(prod[i], id[i], 1e-5) << i;
  // A singular matrix gives a finite (zero) orientation, not infinities.
  dx::matrix flat = Identity();
  dxmatscale(flat, {1, 0, 1});
  dxmatinverse(inv, flat);
  for (int i = 0; i < 16; ++i) EXPECT_TRUE(std::isfinite(inv[i]));
}

TEST(Matrix, ProjectionWithoutADeviceStillSetsNothingAndCameraIsKept) {
  // Without a device the transforms go nowhere, but the camera is remembered.
  dxsetcamera({0, 0, -20}, {0, 0, 0}, 0);
  D3DVECTOR t;
  ExpectVec(dxmatgettranslation(t, dxcameramatrix), 0, 0, -20);
  ExpectVec(Row(dxcameramatrix, 2), 0, 0, 1);
  EXPECT_FLOAT_EQ(dxveclength({3, 4, 12}), 13);
}

}  // namespace
