// Meshes: groups keep only the vertices they use, normals, translucency,
// bounds; the .x loader on text and binary files and its failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dx/error.h"
#include "dx/mesh.h"
#include "dx/texture.h"

namespace {

D3DMATERIAL Material(float alpha) {
  D3DMATERIAL m{};
  m.dwSize = sizeof m;
  m.diffuse = {1, 1, 1, alpha};
  return m;
}

class MeshTest : public ::testing::Test {
 protected:
  void SetUp() override { dx::dxexceptionmode = true; }
  void TearDown() override {
    dxdeleteallmeshes();
    dx::dxexceptionmode = false;
  }
  // The text of the fatal error that loading `data` stops with ("" when it loads).
  static std::string Failure(const std::string& data, const char* meshname = nullptr) {
    try {
      dxloadmeshmem(data.data(), data.size(), "m.x", meshname);
    } catch (const dx::dx_runtime_error& e) {
      return e.what();
    }
    return "";
  }
};

TEST_F(MeshTest, GroupsKeepTheVerticesTheyUseInOrderOfFirstUse) {
  std::vector<D3DVERTEX> v(6);
  for (int i = 0; i < 6; ++i) v[i] = {static_cast<float>(i), 0, 0, 0, 0, 1, 0, 0};
  const D3DMATERIAL m = Material(1);
  dx::mesh* mesh = dxcreatemesh();
  const uint16_t quad[6] = {0, 1, 2, 0, 2, 3};
  dxaddmeshgroup(mesh, v.data(), 4, quad, 6, &m, nullptr);
  const uint16_t odd[3] = {5, 4, 5};
  dxaddmeshgroup(mesh, v.data(), 6, odd, 3, &m, nullptr);
  ASSERT_EQ(mesh->groups.size(), 2u);
  EXPECT_EQ(mesh->groups[0].vertexcount, 4);
  EXPECT_EQ(mesh->groups[0].indexcount, 6);
  const dx::meshgroup& g = mesh->groups[1];
  ASSERT_EQ(g.vertexcount, 2);
  EXPECT_EQ(g.vertices[0].x, 5);
  EXPECT_EQ(g.vertices[1].x, 4);
  EXPECT_EQ(g.indices[0], 0);
  EXPECT_EQ(g.indices[1], 1);
  EXPECT_EQ(g.indices[2], 0);
  EXPECT_FALSE(mesh->translucent);
  D3DVECTOR lo, hi;
  dxmeshbounds(mesh, &lo, nullptr);
  dxmeshbounds(mesh, nullptr, &hi);
  EXPECT_EQ(lo.x, 0);
  EXPECT_EQ(hi.x, 5);
  EXPECT_DOUBLE_EQ(dxmeshradius(mesh), 5);
  // A group without vertices has nothing to test or compute.
  dxaddmeshgroup(mesh, v.data(), 6, nullptr, 0, &m, nullptr);
  EXPECT_EQ(mesh->groups[2].vertexcount, 0);
  EXPECT_FALSE(mesh->groups[2].smooth);
}

TEST_F(MeshTest, OnlyTheFirstNormalDecidesAndTranslucency) {
  D3DVERTEX v[3] = {{0, 0, 0, 0, 0, 1, 0, 0}, {1, 0, 0, 0, 0, 1, 0, 0}, {0, 1, 0, 0, 0, 1, 0, 0}};
  const uint16_t tri[3] = {0, 1, 2};
  const D3DMATERIAL half = Material(0.5f), full = Material(1);
  dx::mesh* a = dxcreatemesh();
  dxaddmeshgroup(a, v, 3, tri, 3, &full, nullptr);
  EXPECT_FALSE(a->groups[0].smooth);  // (0, 0, 1) counts as absent: computed
  // e1 = (1, 0, 0), e2 = (-1, 1, 0): e1 x e2 = (0, 0, 1).
  EXPECT_FLOAT_EQ(a->groups[0].vertices[2].nz, 1);
  EXPECT_FALSE(a->translucent);
  v[0].nx = 0.6f, v[0].nz = 0.8f;
  dx::mesh* b = dxcreatemesh();
  dxaddmeshgroup(b, v, 3, tri, 3, &half, nullptr);
  EXPECT_TRUE(b->groups[0].smooth);
  EXPECT_FLOAT_EQ(b->groups[0].vertices[0].nx, 0.6f);
  EXPECT_TRUE(b->translucent);
  // Deleting twice, or something that is not a mesh, does nothing.
  dxdeletemesh(b);
  dxdeletemesh(b);
  dxdeletemesh(nullptr);
  EXPECT_EQ(dxmeshes.size(), 1u);
}

TEST_F(MeshTest, TextureFunctionRewritesCoordinates) {
  D3DVERTEX v[3] = {{0, 0, 0, 0, 0, 1, 0, 0}, {1, 0, 0, 0, 0, 1, 0, 0}, {0, 1, 0, 0, 0, 1, 0, 0}};
  const uint16_t tri[3] = {0, 1, 2};
  const D3DMATERIAL m = Material(1);
  dx::mesh* mesh = dxcreatemesh();
  dxaddmeshgroup(mesh, v, 3, tri, 3, &m, nullptr);
  dxsetmeshtexture(mesh, nullptr, [](D3DVERTEX** vx, float* tu, float* tv) {
    *tu = (*vx)->x * 2;
    *tv = 7;
  });
  EXPECT_EQ(mesh->groups[0].vertices[1].tu, 2);
  EXPECT_EQ(mesh->groups[0].vertices[1].tv, 7);
}

const char kText[] =
    "xof 0302txt 0032\n"
    "// a red material, referenced by name\n"
    "Material Red {\n 1.0;0.0;0.0;1.0;;\n 5.0;\n 0.0;0.0;0.0;;\n 0.0;0.0;0.0;;\n}\n"
    "Mesh Box {\n 5;\n 0;0;0;, 1;0;0;, 1;1;0;, 0;1;0;, 2;2;2;;\n"
    " 3;\n 4;0,1,2,3;,\n 3;0,1,4;,\n 3;1,2,4;;\n"
    " MeshMaterialList {\n  2;\n  2;\n  1,\n  1;;\n  {Red}\n"
    "  Material {\n   0.0;1.0;0.0;0.5;;\n   0.0;\n   0.0;0.0;0.0;;\n   0.0;0.0;0.0;;\n  }\n }\n"
    " MeshTextureCoords {\n 2;\n 0.25;0.75;, 0.5;0.5;;\n }\n"
    "}\n";

TEST_F(MeshTest, TextFileFacesFansAndMaterials) {
  const std::string text = kText;
  dx::mesh* m = dxloadmeshmem(text.data(), text.size(), "box.x", nullptr);
  ASSERT_EQ(m->groups.size(), 2u);
  // Material 0 (Red): only the third face, beyond the two listed.
  EXPECT_EQ(m->groups[0].indexcount, 3);
  EXPECT_EQ(m->groups[0].material.diffuse.r, 1);
  EXPECT_EQ(m->groups[0].material.power, 5);
  EXPECT_EQ(m->groups[0].material.dwRampSize, 16u);
  // Material 1: the quad as two triangles (0 1 2, 0 2 3) and the second face.
  const dx::meshgroup& g = m->groups[1];
  ASSERT_EQ(g.indexcount, 9);
  EXPECT_EQ(g.material.diffuse.a, 0.5f);
  EXPECT_TRUE(m->translucent);
  EXPECT_FALSE(g.smooth);  // no normals in the file
  // Texture coordinates: given for the first two vertices, -x and -y after.
  EXPECT_EQ(g.vertices[0].tu, 0.25f);
  EXPECT_EQ(g.vertices[1].tv, 0.5f);
  EXPECT_EQ(g.vertices[2].tu, -1.0f);
  EXPECT_EQ(g.vertices[2].tv, -1.0f);
}

// Binary tokens.
struct Bin {
  std::string s = std::string("xof 0302bin 0032", 16);
  void Word(uint16_t w) { s.append(reinterpret_cast<const char*>(&w), 2); }
  void Dword(uint32_t d) { s.append(reinterpret_cast<const char*>(&d), 4); }
  void Name(const std::string& n) {
    Word(1);
    Dword(static_cast<uint32_t>(n.size()));
    s += n;
  }
  void Ints(const std::vector<uint32_t>& v) {
    Word(6);
    Dword(static_cast<uint32_t>(v.size()));
    for (uint32_t x : v) Dword(x);
  }
  void Floats(const std::vector<float>& v) {
    Word(7);
    Dword(static_cast<uint32_t>(v.size()));
    for (float f : v) s.append(reinterpret_cast<const char*>(&f), 4);
  }
  void Open() { Word(10); }
  void Close() { Word(11); }
};

Bin BinaryBox(const std::vector<uint32_t>& faces = {3, 4, 0, 1, 2, 3, 3, 0, 1, 4, 3, 1, 2, 4}) {
  Bin b;
  b.Name("Material");
  b.Name("Red");
  b.Open();
  b.Floats({1, 0, 0, 1, 5, 0, 0, 0, 0, 0, 0});
  b.Name("TextureFilename");
  b.Open();
  b.Name("red.bmp");
  b.Close();
  b.Close();
  b.Name("Mesh");
  b.Name("Box");
  b.Open();
  b.Ints({5});
  b.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 2, 2, 2});
  b.Ints(faces);
  b.Name("MeshMaterialList");
  b.Open();
  b.Ints({2, 2, 1, 0});
  b.Open();
  b.Name("Green");
  b.Close();
  b.Name("Material");
  b.Open();
  b.Floats({0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0});
  b.Close();
  b.Close();
  b.Name("MeshNormals");
  b.Open();
  b.Ints({5});
  b.Floats({0.6f, 0, -0.8f, 0.6f, 0, -0.8f, 0.6f, 0, -0.8f, 0.6f, 0, -0.8f, 0.6f, 0, -0.8f});
  b.Ints({0});
  b.Close();
  b.Close();
  b.Name("Material");
  b.Name("Green");
  b.Open();
  b.Floats({0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0});
  b.Close();
  return b;
}

TEST_F(MeshTest, BinaryFileFacesBeyondTheListTakeTheLastListed) {
  Bin b = BinaryBox();
  dx::mesh* m = dxloadmeshmem(b.s.data(), b.s.size(), "box.x", "Box");
  ASSERT_EQ(m->groups.size(), 2u);
  // Faces: 0 -> material 1, 1 -> material 0, 2 -> the last listed, 0.
  EXPECT_EQ(m->groups[0].indexcount, 6);
  EXPECT_EQ(m->groups[1].indexcount, 6);
  EXPECT_EQ(m->groups[0].material.diffuse.g, 1);  // Green, by reference
  EXPECT_EQ(m->groups[1].material.diffuse.b, 1);  // the inline one
  EXPECT_TRUE(m->groups[0].smooth);               // normals for every vertex
  EXPECT_FALSE(m->translucent);
}

TEST_F(MeshTest, HeaderWordsAndMissingMeshes) {
  std::string text = kText;
  text.replace(4, 4, "\x01\x02\x03\x04");  // the version is not checked
  EXPECT_EQ(Failure(text), "");
  std::string zip = kText;
  zip.replace(8, 4, "tzip");
  EXPECT_EQ(Failure(zip), "メッシュ \"m.x\" のロードに失敗しました。");
  std::string wide = kText;
  wide.replace(12, 4, "0016");
  EXPECT_EQ(Failure(wide), "メッシュ \"m.x\" のロードに失敗しました。");
  EXPECT_EQ(Failure("xof 03"), "メッシュ \"m.x\" のロードに失敗しました。");
  EXPECT_EQ(Failure(kText, "Sphere"), "メッシュ \"m.x\" の \"Sphere\" は見つかりません。");
  EXPECT_EQ(Failure("xof 0302txt 0032 Material X {}"), "メッシュ \"m.x\" にメッシュデータが見つかりません。");
}

TEST_F(MeshTest, StructuralFailuresNameTheirCheck) {
  auto has = [](const std::string& failure, const char* cond) {
    return failure.find(cond) != std::string::npos;
  };
  // A face that names a vertex that does not exist.
  Bin bad = BinaryBox({1, 3, 0, 1, 9});
  EXPECT_TRUE(has(Failure(bad.s), "index < numVertices")) << Failure(bad.s);
  // The data ends inside the mesh.
  Bin whole = BinaryBox();
  for (size_t cut : {size_t{60}, size_t{90}, size_t{150}, whole.s.size() - 80})
    EXPECT_NE(Failure(whole.s.substr(0, cut)), "") << cut;
  // Too few vertices.
  std::string few = kText;
  few.replace(few.find(" 5;\n"), 4, " 2;\n");
  EXPECT_TRUE(has(Failure(few), "numVertices >= 3"));
  // A reference to a material that is nowhere.
  std::string ref = kText;
  ref.replace(ref.find("{Red}"), 5, "{Blue}");
  EXPECT_TRUE(has(Failure(ref), "pm != NULL"));
  // An unknown child object.
  std::string unknown = kText;
  unknown.replace(unknown.find(" MeshTextureCoords"), 18, " VertexDuplication");
  EXPECT_TRUE(has(Failure(unknown), "unknown object type"));
  // A material number beyond the list.
  std::string mat = kText;
  mat.replace(mat.find("  1,\n  1;;"), 10, "  7,\n  1;;");
  EXPECT_TRUE(has(Failure(mat), "nMaterial < numMaterials"));
  // A count with no numbers after it.
  EXPECT_TRUE(has(Failure("xof 0302txt 0032 Mesh { 40000; 1;2;3;"), "number expected"));
}

}  // namespace

namespace {

std::string Slurp(const std::string& path) {
  std::string out;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
  }
  return out;
}

TEST(MeshSeeds, TheFuzzSeedsLoad) {
  dx::dxexceptionmode = true;
  dxaddtextureloader([](const char*) -> dx::bitmap* { return nullptr; });
  for (const char* name : {"box_text.x", "box_bin32.x", "box_bin64.x"}) {
    std::string data = Slurp(std::string(DOLVICAR_SOURCE_DIR) + "/fuzz/corpus/xfile/" + name);
    ASSERT_FALSE(data.empty()) << name;
    dx::mesh* m = dxloadmeshmem(data.data(), data.size(), name, "Box");
    ASSERT_EQ(m->groups.size(), 2u) << name;
    EXPECT_EQ(m->groups[0].indexcount + m->groups[1].indexcount, 12) << name;
    EXPECT_EQ(m->groups[1].vertices[0].tu, 0.25f) << name;
    EXPECT_TRUE(m->groups[1].smooth) << name;
  }
  dxdeleteallmeshes();
  dxtextureloaders.clear();
  dx::dxexceptionmode = false;
}

}  // namespace
