// The .x model loader: the Mesh object of a text or binary file, with its
// material list, normals and texture coordinates, built into a mesh of one
// group per material. Every structural expectation is checked, and a file that
// breaks one stops the program with the expectation's text; nothing is read
// beyond the file's end.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dx/error.h"
#include "dx/mesh.h"
#include "dx/package.h"
#include "dx/texture.h"

namespace {

constexpr const char* kLoadFailed = "メッシュ \"%s\" のロードに失敗しました。";

[[noreturn]] void Check(const char* condition, int line) { dxassertfail(condition, "xfile.cpp", line); }
#define XCHECK(cond, text) \
  do {                     \
    if (!(cond)) Check(text, __LINE__); \
  } while (0)

struct XMaterial {
  D3DMATERIAL rec;
  std::string texture;
};

// What both parsers read.
struct XModel {
  std::vector<D3DVERTEX> vertices;
  std::vector<uint32_t> triangles;   // three vertex numbers each
  std::vector<int32_t> trianglemat;  // material number of each triangle
  std::vector<int32_t> facemat;      // per face, from the material list
  std::vector<uint32_t> facefirst;   // first triangle of each face
  std::vector<uint32_t> facecount;   // triangles of each face
  std::vector<XMaterial> materials;
  bool hasnormals = false;
};

XMaterial MakeMaterial(const double v[11]) {
  XMaterial m{};
  m.rec.dwSize = sizeof(D3DMATERIAL);
  D3DCOLORVALUE face = {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2]),
                        static_cast<float>(v[3])};
  m.rec.diffuse = face;
  m.rec.ambient = face;
  m.rec.power = static_cast<float>(v[4]);
  m.rec.specular = {static_cast<float>(v[5]), static_cast<float>(v[6]), static_cast<float>(v[7]), 0};
  m.rec.emissive = {static_cast<float>(v[8]), static_cast<float>(v[9]), static_cast<float>(v[10]), 0};
  m.rec.dwRampSize = 16;
  return m;
}

// Adds a face as a fan of triangles, checking its vertex numbers.
void AddFace(XModel& x, const std::vector<uint32_t>& corners) {
  x.facefirst.push_back(static_cast<uint32_t>(x.trianglemat.size()));
  uint32_t count = 0;
  for (uint32_t c : corners) XCHECK(c < x.vertices.size(), "index < numVertices");
  for (size_t k = 2; k < corners.size(); ++k) {
    x.triangles.insert(x.triangles.end(), {corners[0], corners[k - 1], corners[k]});
    x.trianglemat.push_back(0);
    ++count;
  }
  x.facecount.push_back(count);
}

void NewVertices(XModel& x, uint32_t n) {
  // Group indices are 16 bits wide.
  XCHECK(n <= 65536, "numVertices <= 65536");
  x.vertices.assign(n, D3DVERTEX{});
}

// --- Binary files ---

class Binary {
 public:
  Binary(const uint8_t* d, size_t n, bool doubles) : d_(d), n_(n), doubles_(doubles) {}

  uint16_t Word(size_t at) const {
    if (at > n_ || n_ - at < 2) return 0xFFFF;
    return static_cast<uint16_t>(d_[at] | d_[at + 1] << 8);
  }
  uint32_t Dword(size_t at) const {
    if (at > n_ || n_ - at < 4) return 0xFFFFFFFF;
    return d_[at] | d_[at + 1] << 8 | d_[at + 2] << 16 | static_cast<uint32_t>(d_[at + 3]) << 24;
  }
  size_t FloatSize() const { return doubles_ ? 8 : 4; }
  double Float(size_t at) const {
    if (doubles_) {
      double v;
      std::memcpy(&v, d_ + at, 8);
      return v;
    }
    float v;
    std::memcpy(&v, d_ + at, 4);
    return v;
  }
  // A name token at `at` (its bytes and the position after it), if whole.
  bool Name(size_t at, std::string& name, size_t& next) const {
    if (Word(at) != 1) return false;
    uint32_t len = Dword(at + 2);
    if (len == 0xFFFFFFFF || len > n_ - (at + 6)) return false;
    name.assign(reinterpret_cast<const char*>(d_ + at + 6), len);
    next = at + 6 + len;
    return true;
  }
  // A list token of `code` at `at` whose items all lie inside the data.
  bool List(size_t at, uint16_t code, uint32_t& count) const {
    if (Word(at) != code) return false;
    count = Dword(at + 2);
    if (count == 0xFFFFFFFF) return false;
    size_t item = code == 7 ? FloatSize() : 4;
    return count <= (n_ - (at + 6)) / item;
  }
  size_t size() const { return n_; }

 private:
  const uint8_t* d_;
  size_t n_;
  bool doubles_;
};

// The position after the open brace of the `templ` object named `instance`
// (the first one when instance is empty); npos when there is none.
size_t dxfindxbin(const Binary& b, const std::string& templ, const std::string& instance) {
  std::string name;
  size_t next;
  for (size_t i = 0; i < b.size(); ++i) {
    if (!b.Name(i, name, next) || name != templ) continue;
    std::string inst;
    size_t after;
    if (b.Name(next, inst, after)) {
      if ((instance.empty() || inst == instance) && b.Word(after) == 10) return after + 2;
    } else if (b.Word(next) == 10 && instance.empty()) {
      return next + 2;
    }
  }
  return std::string::npos;
}

// The 11 values of a material at p (a float list), then an optional texture file.
XMaterial BinaryMaterialValues(const Binary& b, size_t& p, bool texture) {
  uint32_t count;
  XCHECK(b.Word(p) == 7, "*(WORD*)(p+2) == 7");
  XCHECK(b.List(p, 7, count) && count == 11, "*(int*)(p+4) == 11");
  double v[11];
  for (int i = 0; i < 11; ++i) v[i] = b.Float(p + 6 + i * b.FloatSize());
  p += 6 + 11 * b.FloatSize();
  XMaterial m = MakeMaterial(v);
  std::string name;
  size_t next;
  if (texture && b.Name(p, name, next) && name == "TextureFilename") {
    size_t pm = next;
    XCHECK(b.Word(pm) == 10, "*(WORD*)pm == 10");
    XCHECK(b.Name(pm + 2, m.texture, pm), "*(WORD*)(pm+2) == 1");
    XCHECK(b.Word(pm) == 11, "*(WORD*)pm == 11");
    p = pm + 2;
  }
  return m;
}

bool ParseBinary(const Binary& b, const std::string& meshname, XModel& x) {
  size_t p = dxfindxbin(b, "Mesh", meshname);
  if (p == std::string::npos) return false;
  uint32_t count;
  XCHECK(b.Word(p) == 6, "*(WORD*)p == 6");
  XCHECK(b.List(p, 6, count) && count == 1, "*(int*)(p+2) == 1");
  const uint32_t numVertices = b.Dword(p + 6);
  p += 10;
  XCHECK(b.Word(p) == 7, "*(WORD*)p == 7");
  XCHECK(b.List(p, 7, count) && count / 3 >= numVertices, "numValues >= numVertices * 3");
  const size_t values = p + 6;
  p += 6 + static_cast<size_t>(count) * b.FloatSize();
  XCHECK(b.List(p, 6, count), "*(WORD*)p == 6");
  XCHECK(numVertices >= 3, "numVertices >= 3");
  NewVertices(x, numVertices);
  for (uint32_t i = 0; i < numVertices; ++i) {
    D3DVERTEX& v = x.vertices[i];
    v.x = static_cast<float>(b.Float(values + (3 * i) * b.FloatSize()));
    v.y = static_cast<float>(b.Float(values + (3 * i + 1) * b.FloatSize()));
    v.z = static_cast<float>(b.Float(values + (3 * i + 2) * b.FloatSize()));
    v.tu = -v.x;
    v.tv = -v.y;
  }
  // Faces, read inside the integer list only.
  {
    const size_t start = p + 6;
    const uint32_t items = count;
    uint32_t k = 0;
    auto next = [&]() {
      XCHECK(k < items, "face list length");
      return b.Dword(start + 4 * static_cast<size_t>(k++));
    };
    const uint32_t numFaces = next();
    std::vector<uint32_t> corners;
    for (uint32_t f = 0; f < numFaces; ++f) {
      uint32_t n = next();
      XCHECK(n <= items - k, "face list length");
      corners.resize(n);
      for (uint32_t& c : corners) c = next();
      AddFace(x, corners);
    }
    p = start + 4 * static_cast<size_t>(items);
  }
  const uint32_t numFaces = static_cast<uint32_t>(x.facecount.size());
  std::string name;
  size_t next;
  while (b.Word(p) != 11) {
    XCHECK(b.Name(p, name, next), "*(WORD*)p == 1");
    p = next;
    XCHECK(b.Word(p) == 10, "*(WORD*)p == 10");
    if (name == "MeshMaterialList") {
      XCHECK(b.List(p + 2, 6, count), "*(WORD*)(p+2) == 6");
      XCHECK(count >= 2, "*(WORD*)(p+2) == 6");
      const size_t list = p + 8;
      const uint32_t numMaterials = b.Dword(list);
      const uint32_t nFaces = b.Dword(list + 4);
      XCHECK(static_cast<int32_t>(nFaces) >= 1, "nFaces >= 1");
      XCHECK(nFaces <= numFaces, "nFaces <= numFaces");
      XCHECK(nFaces <= count - 2, "nFaces <= numValues - 2");
      x.facemat.assign(numFaces, 0);
      for (uint32_t f = 0; f < numFaces; ++f)
        x.facemat[f] = static_cast<int32_t>(b.Dword(list + 8 + 4 * static_cast<size_t>(f < nFaces ? f : nFaces - 1)));
      p = list + 4 * static_cast<size_t>(count);
      x.materials.clear();
      for (uint32_t m = 0; m < numMaterials; ++m) {
        if (b.Word(p) == 10) {
          std::string ref;
          XCHECK(b.Name(p + 2, ref, p), "*(WORD*)p == 1");
          XCHECK(b.Word(p) == 11, "*(WORD*)p == 11");
          p += 2;
          size_t pm = dxfindxbin(b, "Material", ref);
          XCHECK(pm != std::string::npos, "pm != NULL");
          x.materials.push_back(BinaryMaterialValues(b, pm, true));
        } else {
          XCHECK(b.Word(p) == 1, "*(WORD*)p == 1");
          XCHECK(b.Dword(p + 2) == 8, "len == 8");
          XCHECK(b.Name(p, name, next) && name == "Material", "memcmp(p, \"Material\", 8) == 0");
          p = next;
          XCHECK(b.Word(p) == 10, "*(WORD*)p == 10");
          p += 2;
          x.materials.push_back(BinaryMaterialValues(b, p, false));
          XCHECK(b.Word(p) == 11, "*(WORD*)p == 11");
          p += 2;
        }
      }
      XCHECK(b.Word(p) == 11, "*(WORD*)p == 11");
      p += 2;
    } else if (name == "MeshNormals") {
      XCHECK(b.List(p + 2, 6, count) && count == 1, "*(int*)(p+4) == 1");
      const uint32_t numNormals = b.Dword(p + 8);
      p += 12;
      XCHECK(b.List(p, 7, count) && count / 3 == numNormals && count % 3 == 0, "numValues == numNormals * 3");
      if (numNormals == numVertices) {
        for (uint32_t i = 0; i < numVertices; ++i) {
          D3DVERTEX& v = x.vertices[i];
          v.nx = static_cast<float>(b.Float(p + 6 + (3 * i) * b.FloatSize()));
          v.ny = static_cast<float>(b.Float(p + 6 + (3 * i + 1) * b.FloatSize()));
          v.nz = static_cast<float>(b.Float(p + 6 + (3 * i + 2) * b.FloatSize()));
        }
        x.hasnormals = true;
      }
      p += 6 + static_cast<size_t>(count) * b.FloatSize();
      if (b.List(p, 6, count)) p += 6 + 4 * static_cast<size_t>(count);
      XCHECK(b.Word(p) == 11, "*(WORD*)p == 11");
      p += 2;
    } else if (name == "MeshTextureCoords") {
      XCHECK(b.List(p + 2, 6, count) && count == 1, "*(int*)(p+4) == 1");
      const uint32_t numCoords = b.Dword(p + 8);
      p += 12;
      XCHECK(numCoords <= numVertices, "numCoords <= numVertices");
      XCHECK(b.List(p, 7, count) && count / 2 == numCoords && count % 2 == 0, "numValues == numCoords * 2");
      for (uint32_t i = 0; i < numCoords; ++i) {
        x.vertices[i].tu = static_cast<float>(b.Float(p + 6 + (2 * i) * b.FloatSize()));
        x.vertices[i].tv = static_cast<float>(b.Float(p + 6 + (2 * i + 1) * b.FloatSize()));
      }
      p += 6 + static_cast<size_t>(count) * b.FloatSize();
      XCHECK(b.Word(p) == 11, "*(WORD*)p == 11");
      p += 2;
    } else {
      Check("!\"unknown object type\"", __LINE__);
    }
  }
  return true;
}

// --- Text files ---

bool isspaceX(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';' || c == ','; }

class Text {
 public:
  Text(const char* d, size_t n) : d_(d), n_(n) {}
  char At(size_t p) const { return p < n_ ? d_[p] : '\0'; }
  size_t size() const { return n_; }

  // Separators and the comments that follow them.
  size_t Skip(size_t p) const {
    for (;;) {
      while (p < n_ && isspaceX(d_[p])) ++p;
      if (At(p) == '#' || (At(p) == '/' && At(p + 1) == '/')) {
        while (p < n_ && d_[p] != '\n') ++p;
        continue;
      }
      return p;
    }
  }
  bool Starts(size_t p, const char* word) const {
    size_t len = std::strlen(word);
    return p <= n_ && n_ - p >= len && std::memcmp(d_ + p, word, len) == 0;
  }
  // A word: the characters up to a separator or a brace.
  std::string Word(size_t& p) const {
    size_t s = p;
    while (p < n_ && !isspaceX(d_[p]) && d_[p] != '{' && d_[p] != '}') ++p;
    return std::string(d_ + s, p - s);
  }
  // Numbers need at least one character of their own; a number that is not
  // there would otherwise let a count spin on the same place.
  int64_t Int(size_t& p) const {
    p = Skip(p);
    size_t s = p;
    if (At(p) == '-' || At(p) == '+') ++p;
    int64_t v = 0;
    bool digits = false;
    while (At(p) >= '0' && At(p) <= '9') {
      if (v < (int64_t{1} << 40)) v = v * 10 + (At(p) - '0');
      ++p;
      digits = true;
    }
    XCHECK(digits, "number expected");
    return At(s) == '-' ? -v : v;
  }
  double Float(size_t& p) const {
    p = Skip(p);
    size_t s = p;
    while (p < n_ && std::strchr("0123456789.Ee+-", d_[p]) && d_[p] != '\0') ++p;
    XCHECK(p > s, "number expected");
    return std::strtod(std::string(d_ + s, p - s).c_str(), nullptr);
  }
  // From an open brace at p, the position after its matching close brace.
  size_t SkipBlock(size_t p) const {
    int depth = 0;
    for (; p < n_; ++p) {
      if (d_[p] == '{') ++depth;
      if (d_[p] == '}' && --depth == 0) return p + 1;
    }
    Check("*p == '}'", __LINE__);
  }

 private:
  const char* d_;
  size_t n_;
};

// The position after the open brace of the `templ` object named `instance`
// (the first one when instance is empty); npos when there is none.
size_t dxfindxtext(const Text& t, const std::string& templ, const std::string& instance) {
  for (size_t i = 0; i < t.size(); ++i) {
    if (!t.Starts(i, templ.c_str()) || !isspaceX(t.At(i + templ.size()))) continue;
    size_t p = t.Skip(i + templ.size());
    if (t.At(p) == '{') {
      if (instance.empty()) return p + 1;
      continue;
    }
    std::string name = t.Word(p);
    if (!instance.empty() && (name != instance || !(isspaceX(t.At(p)) || t.At(p) == '{'))) continue;
    p = t.Skip(p);
    if (t.At(p) == '{') return p + 1;
  }
  return std::string::npos;
}

// A material body from after its open brace: 11 numbers and an optional
// texture file name.
XMaterial TextMaterialValues(const Text& t, size_t pm) {
  double v[11];
  for (double& d : v) d = t.Float(pm);
  XMaterial m = MakeMaterial(v);
  pm = t.Skip(pm);
  if (t.Starts(pm, "TextureFilename")) {
    pm = t.Skip(pm + 15);
    XCHECK(t.At(pm) == '{', "*pm == '{'");
    pm = t.Skip(pm + 1);
    XCHECK(t.At(pm) == '"', "*pm == '\\\"'");
    size_t s = ++pm;
    while (pm < t.size() && t.At(pm) != '"') ++pm;
    XCHECK(pm < t.size(), "*pm == '\\\"'");
    m.texture.clear();
    for (size_t i = s; i < pm; ++i) m.texture.push_back(t.At(i));
    pm = t.Skip(pm + 1);
    XCHECK(t.At(pm) == '}', "*pm == '}'");
  }
  return m;
}

bool ParseText(const Text& t, const std::string& meshname, XModel& x) {
  size_t p = dxfindxtext(t, "Mesh", meshname);
  if (p == std::string::npos) return false;
  const int64_t numVertices = t.Int(p);
  XCHECK(numVertices >= 3, "numVertices >= 3");
  NewVertices(x, static_cast<uint32_t>(std::min<int64_t>(numVertices, 65537)));
  for (D3DVERTEX& v : x.vertices) {
    v.x = static_cast<float>(t.Float(p));
    v.y = static_cast<float>(t.Float(p));
    v.z = static_cast<float>(t.Float(p));
    v.tu = -v.x;
    v.tv = -v.y;
  }
  const int64_t numFaces = t.Int(p);
  std::vector<uint32_t> corners;
  for (int64_t f = 0; f < numFaces; ++f) {
    int64_t n = t.Int(p);
    corners.clear();
    for (int64_t k = 0; k < n; ++k) {
      int64_t c = t.Int(p);
      XCHECK(c >= 0 && c < numVertices, "index < numVertices");
      corners.push_back(static_cast<uint32_t>(c));
    }
    AddFace(x, corners);
  }
  const uint32_t faces = static_cast<uint32_t>(x.facecount.size());
  for (;;) {
    p = t.Skip(p);
    if (t.At(p) == '}' || p >= t.size()) break;
    auto child = [&](const char* name) {
      size_t len = std::strlen(name);
      return t.Starts(p, name) && (isspaceX(t.At(p + len)) || t.At(p + len) == '{');
    };
    size_t open;
    auto enter = [&](const char* name) {
      p = t.Skip(p + std::strlen(name));
      if (t.At(p) != '{') t.Word(p);  // an instance name
      p = t.Skip(p);
      XCHECK(t.At(p) == '{', "*p == '{'");
      open = p;
      ++p;
    };
    if (child("MeshMaterialList")) {
      enter("MeshMaterialList");
      const int64_t numMaterials = t.Int(p);
      const int64_t nFaces = t.Int(p);
      XCHECK(nFaces >= 1, "nFaces >= 1");
      XCHECK(nFaces <= faces, "nFaces <= numFaces");
      x.facemat.assign(faces, 0);  // faces beyond the list take material 0
      for (int64_t f = 0; f < nFaces; ++f) x.facemat[static_cast<size_t>(f)] = static_cast<int32_t>(t.Int(p));
      x.materials.clear();
      for (int64_t m = 0; m < numMaterials; ++m) {
        p = t.Skip(p);
        if (t.At(p) == '{') {
          p = t.Skip(p + 1);
          std::string ref = t.Word(p);
          p = t.Skip(p);
          XCHECK(t.At(p) == '}', "*p == '}'");
          ++p;
          size_t pm = dxfindxtext(t, "Material", ref);
          XCHECK(pm != std::string::npos, "pm != NULL");
          x.materials.push_back(TextMaterialValues(t, pm));
        } else {
          XCHECK(t.Starts(p, "Material") && (isspaceX(t.At(p + 8)) || t.At(p + 8) == '{'),
                 "memcmp(p, \"Material\", 8) == 0 && (isspaceX(p[8]) || p[8] == '{')");
          size_t pm = t.Skip(p + 8);
          if (t.At(pm) != '{') t.Word(pm);
          pm = t.Skip(pm);
          XCHECK(t.At(pm) == '{', "*pm == '{'");
          x.materials.push_back(TextMaterialValues(t, pm + 1));
          p = t.SkipBlock(pm);
        }
      }
      p = t.Skip(p);
      XCHECK(t.At(p) == '}', "*p == '}'");
      ++p;
    } else if (child("MeshNormals")) {
      enter("MeshNormals");
      const int64_t numNormals = t.Int(p);
      std::vector<double> n;
      for (int64_t i = 0; i < numNormals * 3; ++i) n.push_back(t.Float(p));
      if (numNormals == numVertices) {
        for (size_t i = 0; i < x.vertices.size(); ++i) {
          x.vertices[i].nx = static_cast<float>(n[3 * i]);
          x.vertices[i].ny = static_cast<float>(n[3 * i + 1]);
          x.vertices[i].nz = static_cast<float>(n[3 * i + 2]);
        }
        x.hasnormals = true;
      }
      p = t.SkipBlock(open);  // the face normals are not used
    } else if (child("MeshTextureCoords")) {
      enter("MeshTextureCoords");
      const int64_t numCoords = t.Int(p);
      XCHECK(numCoords <= numVertices, "numCoords <= numVertices");
      for (int64_t i = 0; i < numCoords; ++i) {
        x.vertices[static_cast<size_t>(i)].tu = static_cast<float>(t.Float(p));
        x.vertices[static_cast<size_t>(i)].tv = static_cast<float>(t.Float(p));
      }
      p = t.SkipBlock(open);
    } else {
      Check("!\"unknown object type\"", __LINE__);
    }
  }
  return true;
}

dx::mesh* Build(XModel& x) {
  if (x.materials.empty()) {
    const double white[11] = {1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
    x.materials.push_back(MakeMaterial(white));
    x.facemat.assign(x.facecount.size(), 0);
  }
  if (x.facemat.size() < x.facecount.size()) x.facemat.resize(x.facecount.size(), 0);
  for (size_t f = 0; f < x.facecount.size(); ++f) {
    const int32_t m = x.facemat[f];
    // A material number beyond the list would index past it.
    XCHECK(m >= 0 && static_cast<size_t>(m) < x.materials.size(), "nMaterial < numMaterials");
    for (uint32_t k = 0; k < x.facecount[f]; ++k) x.trianglemat[x.facefirst[f] + k] = m;
  }
  dx::mesh* mesh = dxcreatemesh();
  try {
    std::vector<uint16_t> idx;
    for (size_t m = 0; m < x.materials.size(); ++m) {
      idx.clear();
      for (size_t tri = 0; tri < x.trianglemat.size(); ++tri)
        if (x.trianglemat[tri] == static_cast<int32_t>(m))
          for (int k = 0; k < 3; ++k) idx.push_back(static_cast<uint16_t>(x.triangles[3 * tri + k]));
      dx::bitmap* tex = x.materials[m].texture.empty() ? nullptr : dxloadtexture(x.materials[m].texture.c_str());
      dxaddmeshgroup(mesh, x.vertices.data(), static_cast<int>(x.vertices.size()), idx.data(),
                     static_cast<int>(idx.size()), &x.materials[m].rec, tex);
    }
  } catch (...) {
    dxdeletemesh(mesh);
    throw;
  }
  return mesh;
}

struct FileGuard {
  dx::file* f;
  ~FileGuard() { dxfclose(f); }
};

}  // namespace

dx::mesh* dxloadmeshmem(const void* data, size_t size, const char* filename, const char* meshname) {
  const char* fname = filename ? filename : "";
  const auto* d = static_cast<const uint8_t*>(data);
  if (size < 16 || std::memcmp(d, "xof ", 4) != 0) dxerror(kLoadFailed, fname);
  const bool binary = std::memcmp(d + 8, "bin ", 4) == 0;
  if (!binary && std::memcmp(d + 8, "txt ", 4) != 0) dxerror(kLoadFailed, fname);
  const bool doubles = std::memcmp(d + 12, "0064", 4) == 0;
  if (!doubles && std::memcmp(d + 12, "0032", 4) != 0) dxerror(kLoadFailed, fname);
  const std::string wanted = meshname ? meshname : "";
  XModel x;
  bool found = binary ? ParseBinary(Binary(d + 16, size - 16, doubles), wanted, x)
                      : ParseText(Text(reinterpret_cast<const char*>(d + 16), size - 16), wanted, x);
  if (!found) {
    if (wanted.empty()) dxerror("メッシュ \"%s\" にメッシュデータが見つかりません。", fname);
    dxerror("メッシュ \"%s\" の \"%s\" は見つかりません。", fname, wanted.c_str());
  }
  return Build(x);
}

dx::mesh* dxloadmesh(const char* filename, const char* meshname) {
  dx::file* f = dxfopen(filename);
  if (!f) dxerror(kLoadFailed, filename ? filename : "");
  FileGuard guard{f};
  return dxloadmeshmem(dxfdata(f), dxfsize(f), filename, meshname);
}
