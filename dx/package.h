// The data package and whole-file access.
//
// Game data comes from the package (a file laid out like an executable with
// the package appended: see tools/mkpack) or from loose files. The package
// reader serves the game's loaders and the sound library through PkgFile
// streams; dxfopen and its siblings give a file's bytes in memory, shared by
// name with a reference count.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/file.h"
#include "platform/win32/types.h"

struct PackageEntry {
  std::string name;  // as stored, after inversion
  uint32_t offset;   // of the data, from the start of the package file
  uint32_t size;
};

struct PackageTable {
  std::string file;  // the package file's name, as given to PackageOpen
  std::vector<PackageEntry> entries;
  int32_t count;
};

// A stream over a package entry (table set) or over a disk file (table null,
// offset and size 0). Owned by the caller from PkgFileOpen to PkgFileClose.
struct PkgFile {
  std::FILE* stream;
  const PackageTable* table;
  uint32_t offset;
  uint32_t size;
};

// Loads the package index of `name`: 0 when loaded, 1 when the file cannot be
// opened, holds no package header where its word at 36 points, or its index is
// damaged (a count, a name or an entry that does not fit the file). A failed
// open leaves no package loaded; a second successful one replaces the index
// (streams already open keep reading their entries).
int32_t PackageOpen(const char* name);
// The loaded index; null while no package is loaded.
const PackageTable* PackageIndex();
// The package file beside the executable ("dolvicar.pak"), as a program name.
std::string PackageFileName();

bool PackageContains(const char* name);
bool PkgFileExists(const char* name);
// A name the package holds is read from it unless the mode writes or appends
// ('w' or 'a'); when that stream cannot be opened the result is null (the disk
// is not tried). Any other name is opened on disk with the caller's mode.
PkgFile* PkgFileOpen(const char* name, const char* mode);
int32_t PkgFileClose(PkgFile* f);
// Reads at most to the end of the entry; the count read.
int32_t PkgFileRead(PkgFile* f, void* buffer, int32_t count);
// Origins 0, 1, 2 (set, current, end). Inside the package a target before the
// entry's start or past its end is clamped there and gives -1, as does a
// target exactly at the end except from origin 0; another origin gives -1
// without moving.
int32_t PkgFileSeek(PkgFile* f, int32_t offset, int32_t origin);
int32_t PkgFileTell(PkgFile* f);
int32_t PkgFileSize(PkgFile* f);

namespace dx {
// A file's bytes in memory (read-only), owned by the open-file set.
struct file {
  HANDLE hfile = nullptr;
  HANDLE hmap = nullptr;
  uint32_t size = 0;
  const void* data = nullptr;
  int32_t refs = 0;
  bool frompack = false;  // data is a heap copy of a package entry, owned here
  std::string name;       // empty unless the record is in the name cache
};
}  // namespace dx

// Shared by name: the name cache, then the executable's resource (type 10), the
// package, the disk. Each dxfopen takes one reference.
dx::file* dxfopen(const char* name);
// Not cached: the resource by wide name, the package (under the CP932 name),
// then the disk.
dx::file* dxfopenw(const char16_t* name);
dx::file* dxfopenres(HMODULE module, const char* name, const char* type);
dx::file* dxfopenresw(HMODULE module, const char16_t* name, const char16_t* type);
// A heap copy of a whole package entry; null when the package does not hold it.
dx::file* dxfopenpack(const char* name);
dx::file* dxfopenpackonly(const char* name);
// A read-only mapping of a disk file (at most its first 512 MiB).
dx::file* dxfopenfile(const char* name);
dx::file* dxfopenfilew(const char16_t* name);
// Over caller memory, which stays the caller's.
dx::file* dxfopenmem(const void* data, uint32_t size);
// Drops one reference; the last one releases the record. Null or an unknown
// record does nothing.
void dxfclose(dx::file* f);
void dxfcloseall();
uint32_t dxfsize(const dx::file* f);
const void* dxfdata(const dx::file* f);
