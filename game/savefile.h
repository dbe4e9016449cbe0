// Saved games and the settings file: the data rides behind a JPEG picture, so
// that the file is also a picture a viewer shows. The header is a JPEG comment
// segment holding the data's and the picture's lengths; the data is coded
// move-to-front over a table primed with the picture's bytes, and closed by
// the sum of its bytes.
#pragma once

#include <cstdint>

enum : int {
  SAVE_OK = 0,
  SAVE_NO_PICTURE = 1,  // writing: the picture cannot be opened
  SAVE_CANNOT_CREATE = 3,
};
enum : int {
  LOAD_OK = 0,
  LOAD_CANNOT_OPEN = 1,
  LOAD_NOT_SAVE = 2,       // the first six bytes are not the header's
  LOAD_PICTURE_CUT = 3,    // the file ends inside the picture
  LOAD_DATA_CUT = 5,       // the file ends inside the data (or its sum)
  LOAD_BAD_SUM = 6,
};

// Writes `data` behind `picture` (package or disk) to `path` on disk; the old
// file is replaced only by a whole new one.
int WriteSaveFile(const char* path, const char* picture, const void* data, uint32_t length);
// Reads a save file from disk. On LOAD_OK `*data` is a new buffer (free it with
// std::free) of `*length` bytes and a zero byte after them; otherwise it is null.
int ReadSaveFile(const char* path, uint8_t** data, uint32_t* length);
