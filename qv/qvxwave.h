// WAVE and MP3 parsing: whole PCM sounds for static slots (QvWaveBlock), and the
// headers the decoder needs. Files are read through the package reader.
#pragma once

#include <cstdint>

#include "dx/package.h"
#include "platform/winmm/mmtypes.h"

// What a static slot keeps of the sound it was read from.
struct QvWaveInfo {
  uint32_t offset;  // from the start of the resource or file to the first sample
  uint32_t size;    // bytes of sample data
  WAVEFORMATEX format;  // the "fmt " chunk, extra size 0
};

// One allocation: the record, then the sample bytes.
struct QvWaveBlock {
  QvWaveInfo info;
  uint8_t* data;  // the samples, just after the record
};

struct QvChunkHeader {
  uint32_t code;
  uint32_t size;
};

struct QvMp3Info {
  uint32_t offset;  // the size of a leading ID3v2 tag, 0 without one
  uint32_t length;  // the file's size without either tag
  uint32_t header;  // the first frame header, as read (b0 in the low byte)
  uint32_t id3v1_size;  // 128 or 0
  uint8_t tail[128];    // the last 128 bytes of the file
  uint32_t id3v2_size;
  MPEGLAYER3WAVEFORMAT format;
};

constexpr uint32_t QvFourCC(char a, char b, char c, char d) {
  return static_cast<uint8_t>(a) | (static_cast<uint8_t>(b) << 8) | (static_cast<uint8_t>(c) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

QvWaveBlock* QvxWaveFromResource(HMODULE module, const char* name);
// The resource parse on bytes already in memory.
QvWaveBlock* QvxWaveFromMemory(const void* data, uint32_t size);
QvWaveBlock* QvxWaveFromFile(const char* name);
void QvxWaveFree(QvWaveBlock* block);
void QvxWaveRelease(QvWaveBlock* block);

int32_t QvxCheckRiff(PkgFile* f);
int32_t QvxFindChunk(PkgFile* f, uint32_t code, QvChunkHeader* header);
int32_t QvxWaveReadHeader(PkgFile* f, QvWaveInfo* head);
// The whole "fmt " chunk body (at least a full WAVEFORMATEX, with every extra byte
// it announces), or null.
WAVEFORMATEX* QvxReadFmtChunk(PkgFile* f);
// A WAVE file header (RIFF, fmt and an empty data chunk) for a format.
uint8_t* QvxMakeWaveHeader(const WAVEFORMATEX* format, uint32_t* size);
int32_t QvxMp3ReadHeader(PkgFile* f, QvMp3Info* info);
