// Meshes: lists of groups, each with one material, one texture and an indexed
// triangle list; and the loader of .x model files (text and binary).
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "platform/d3d/d3dtypes.h"

namespace dx {
struct bitmap;

struct meshgroup {
  D3DMATERIAL material;
  bitmap* texture;  // not owned
  int32_t vertexcount;
  int32_t indexcount;
  D3DVERTEX* vertices;  // owned
  uint16_t* indices;    // owned, three per triangle
  bool smooth;          // the normals came with the vertices (Gouraud), else computed (flat)
};

struct mesh {
  std::vector<meshgroup> groups;
  bool translucent = false;  // some group's diffuse alpha is below 1
};

}  // namespace dx

extern std::set<dx::mesh*> dxmeshes;

dx::mesh* dxcreatemesh();
// Keeps only the vertices the indices use, in the order of first use, and
// renumbers the indices; index values must lie below the vertex count.
void dxaddmeshgroup(dx::mesh* mesh, const D3DVERTEX* vertices, int vertexcount, const uint16_t* indices,
                    int indexcount, const D3DMATERIAL* material, dx::bitmap* texture);
void dxdeletemesh(dx::mesh* mesh);
void dxdeleteallmeshes();
void dxcalcnormals(D3DVERTEX* vertices, int vertexcount, const uint16_t* indices, int indexcount);
void dxmeshbounds(const dx::mesh* mesh, D3DVECTOR* min, D3DVECTOR* max);
double dxmeshradius(const dx::mesh* mesh);
using dxtexcoordfn = void (*)(D3DVERTEX** vertex, float* tu, float* tv);
void dxsetmeshtexture(dx::mesh* mesh, dx::bitmap* bitmap, dxtexcoordfn fn);
// Loads the Mesh object named `meshname` (the first one when null or empty)
// from a .x file; every failure stops the program.
dx::mesh* dxloadmesh(const char* filename, const char* meshname);
// The same on a file image in memory; `filename` names it in messages.
dx::mesh* dxloadmeshmem(const void* data, size_t size, const char* filename, const char* meshname);
