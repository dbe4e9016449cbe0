// 3-D maths of the layer: the matrix type and its operations, and the world,
// view and projection transforms of the Direct3D device. Matrices are
// row-major and used with row vectors (p' = p * M); angles are in degrees.
#pragma once

#include "platform/d3d/d3dtypes.h"

namespace dx {

// 16 floats; elements 12 to 14 are the translation. Left uninitialised.
struct matrix {
  float m[16];
  float& operator[](int i) { return m[i]; }
  float operator[](int i) const { return m[i]; }
};
static_assert(sizeof(matrix) == sizeof(D3DMATRIX));

}  // namespace dx

// The last camera matrix given to dxsetview (the camera's placement, not its inverse).
extern dx::matrix dxcameramatrix;

void dxmatidentity(dx::matrix& m);
void dxmatsettranslation(dx::matrix& m, const D3DVECTOR& v);
D3DVECTOR& dxmatgettranslation(D3DVECTOR& out, const dx::matrix& m);
// Moves along m's own axes.
void dxmattranslate(dx::matrix& m, const D3DVECTOR& v);
void dxmatscale(dx::matrix& m, const D3DVECTOR& s);
void dxmatgetscale(D3DVECTOR& out, const dx::matrix& m);
// out = a * b; out may be a or b.
void dxmatmultiply(dx::matrix& out, const dx::matrix& a, const dx::matrix& b);
// Each rotation goes in front: m = R * m.
void dxmatrotatey(dx::matrix& m, double degrees);
void dxmatrotatex(dx::matrix& m, double degrees);
void dxmatrotatez(dx::matrix& m, double degrees);
void dxmatrotateaxis(dx::matrix& m, const D3DVECTOR& axis, double degrees);
// Rebuilds the orientation as Rz * Rx * Ry, keeping position and scale.
void dxmatrotate(dx::matrix& m, double yaw, double pitch, double roll);
// Turns m at its position toward a point (the horizontal turn mirrored, as
// the 3-D view expects).
void dxmatlookat(dx::matrix& m, const D3DVECTOR& target, double roll);
// Affine inverse. A singular 3 x 3 part gives a zero 3 x 3 part.
void dxmatinverse(dx::matrix& out, const dx::matrix& m);
D3DVECTOR& dxvectransform(D3DVECTOR& out, const D3DVECTOR& v, const dx::matrix& m);
float dxveclength(const D3DVECTOR& v);

void dxsetworld(const dx::matrix& m);
void dxsetview(const dx::matrix& camera);
void dxsetcamera(const D3DVECTOR& eye, const D3DVECTOR& target, double roll);
void dxsetprojectionmatrix(const dx::matrix& m);
void dxsetprojection(double nearz, double farz, double fov);
