#include "dx/mesh.h"

#include <cmath>
#include <cstring>
#include <vector>

std::set<dx::mesh*> dxmeshes;

dx::mesh* dxcreatemesh() {
  auto* m = new dx::mesh;
  dxmeshes.insert(m);
  return m;
}

void dxcalcnormals(D3DVERTEX* v, int vertexcount, const uint16_t* idx, int indexcount) {
  for (int i = 0; i < vertexcount; ++i) v[i].nx = v[i].ny = v[i].nz = 0;
  for (int t = 0; t + 2 < indexcount; t += 3) {
    D3DVERTEX& a = v[idx[t]];
    D3DVERTEX& b = v[idx[t + 1]];
    D3DVERTEX& c = v[idx[t + 2]];
    double e1x = b.x - a.x, e1y = b.y - a.y, e1z = b.z - a.z;
    double e2x = c.x - b.x, e2y = c.y - b.y, e2z = c.z - b.z;
    double nx = e1y * e2z - e1z * e2y, ny = e1z * e2x - e1x * e2z, nz = e1x * e2y - e1y * e2x;
    double len = std::sqrt(nx * nx + ny * ny + nz * nz);
    // A triangle without area has no direction to give.
    if (!(len > 0)) continue;
    for (D3DVERTEX* p : {&a, &b, &c}) {
      p->nx = static_cast<float>(p->nx + nx / len);
      p->ny = static_cast<float>(p->ny + ny / len);
      p->nz = static_cast<float>(p->nz + nz / len);
    }
  }
  for (int i = 0; i < vertexcount; ++i) {
    double len = std::sqrt(static_cast<double>(v[i].nx) * v[i].nx + static_cast<double>(v[i].ny) * v[i].ny +
                           static_cast<double>(v[i].nz) * v[i].nz);
    if (len > 0) {  // a vertex whose normals cancel keeps the zero normal
      v[i].nx = static_cast<float>(v[i].nx / len);
      v[i].ny = static_cast<float>(v[i].ny / len);
      v[i].nz = static_cast<float>(v[i].nz / len);
    }
  }
}

void dxaddmeshgroup(dx::mesh* mesh, const D3DVERTEX* vertices, int vertexcount, const uint16_t* indices,
                    int indexcount, const D3DMATERIAL* material, dx::bitmap* texture) {
  if (indexcount < 0) indexcount = 0;
  std::vector<int> map(vertexcount > 0 ? static_cast<size_t>(vertexcount) : 0, -1);
  std::vector<D3DVERTEX> used;
  std::vector<uint16_t> idx;
  idx.reserve(static_cast<size_t>(indexcount));
  for (int i = 0; i < indexcount; ++i) {
    int s = indices[i];
    if (map[s] < 0) {
      map[s] = static_cast<int>(used.size());
      used.push_back(vertices[s]);
    }
    idx.push_back(static_cast<uint16_t>(map[s]));
  }
  dx::meshgroup g;
  g.material = *material;
  g.texture = texture;
  g.vertexcount = static_cast<int32_t>(used.size());
  g.indexcount = indexcount;
  g.vertices = new D3DVERTEX[used.size()];
  if (!used.empty()) std::memcpy(g.vertices, used.data(), used.size() * sizeof(D3DVERTEX));
  g.indices = new uint16_t[idx.size()];
  if (!idx.empty()) std::memcpy(g.indices, idx.data(), idx.size() * sizeof(uint16_t));
  // Only the first vertex tells whether normals were given. A group without
  // vertices has none to test.
  if (g.vertexcount > 0 && g.vertices[0].nx == 0 && g.vertices[0].ny == 0) {
    dxcalcnormals(g.vertices, g.vertexcount, g.indices, g.indexcount);
    g.smooth = false;
  } else {
    g.smooth = g.vertexcount > 0;
  }
  if (material->diffuse.a < 1.0f) mesh->translucent = true;
  mesh->groups.push_back(g);
}

void dxdeletemesh(dx::mesh* mesh) {
  if (!mesh || !dxmeshes.erase(mesh)) return;
  for (dx::meshgroup& g : mesh->groups) {
    delete[] g.vertices;
    delete[] g.indices;
  }
  delete mesh;
}

void dxdeleteallmeshes() {
  while (!dxmeshes.empty()) dxdeletemesh(*dxmeshes.begin());
}

void dxmeshbounds(const dx::mesh* mesh, D3DVECTOR* min, D3DVECTOR* max) {
  D3DVECTOR scratch;
  if (!min) min = &scratch;
  if (!max) max = &scratch;
  bool any = false;
  D3DVECTOR lo{}, hi{};
  for (const dx::meshgroup& g : mesh->groups)
    for (int i = 0; i < g.vertexcount; ++i) {
      const D3DVERTEX& v = g.vertices[i];
      if (!any) {
        lo = hi = {v.x, v.y, v.z};
        any = true;
        continue;
      }
      lo = {std::fmin(lo.x, v.x), std::fmin(lo.y, v.y), std::fmin(lo.z, v.z)};
      hi = {std::fmax(hi.x, v.x), std::fmax(hi.y, v.y), std::fmax(hi.z, v.z)};
    }
  if (!any) return;
  *min = lo;
  *max = hi;
}

double dxmeshradius(const dx::mesh* mesh) {
  double r = 0;
  for (const dx::meshgroup& g : mesh->groups)
    for (int i = 0; i < g.vertexcount; ++i) {
      const D3DVERTEX& v = g.vertices[i];
      r = std::fmax(r, std::sqrt(static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y +
                                 static_cast<double>(v.z) * v.z));
    }
  return r;
}

void dxsetmeshtexture(dx::mesh* mesh, dx::bitmap* bitmap, dxtexcoordfn fn) {
  for (dx::meshgroup& g : mesh->groups) {
    g.texture = bitmap;
    if (!fn) continue;
    for (int i = 0; i < g.vertexcount; ++i) {
      D3DVERTEX* v = &g.vertices[i];
      fn(&v, &g.vertices[i].tu, &g.vertices[i].tv);
    }
  }
}
