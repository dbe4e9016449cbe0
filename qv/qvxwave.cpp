#include "qv/qvxwave.h"

#include <cstring>

#include "qv/qvxalloc.h"

namespace {

constexpr uint32_t kRiff = QvFourCC('R', 'I', 'F', 'F');
constexpr uint32_t kWave = QvFourCC('W', 'A', 'V', 'E');
constexpr uint32_t kFmt = QvFourCC('f', 'm', 't', ' ');
constexpr uint32_t kData = QvFourCC('d', 'a', 't', 'a');
constexpr int32_t kFindBlock = 16384;
// No real format record comes near this; a larger size is damage.
constexpr uint32_t kMaxFmtChunk = 65536;

uint32_t Word(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

QvWaveBlock* NewBlock(uint32_t size) {
  auto* b = static_cast<QvWaveBlock*>(QVX_ALLOC(sizeof(QvWaveBlock) + size));
  if (b) b->data = reinterpret_cast<uint8_t*>(b + 1);
  return b;
}

}  // namespace

QvWaveBlock* QvxWaveFromResource(HMODULE module, const char* name) {
  if (!name) return nullptr;
  HRSRC res = FindResourceA(module, name, "WAVE");
  if (!res) return nullptr;
  HGLOBAL loaded = LoadResource(module, res);
  DWORD size = SizeofResource(module, res);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return nullptr;
  return QvxWaveFromMemory(data, size);
}

QvWaveBlock* QvxWaveFromMemory(const void* data, uint32_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  if (!p || size < 20) return nullptr;
  if (Word(p) != kRiff || Word(p + 8) != kWave) return nullptr;
  // The first "fmt " with a whole format record after its chunk header.
  uint32_t fmt = 0;
  bool found = false;
  for (uint32_t at = 12; at + 8 + sizeof(WAVEFORMATEX) <= size; ++at) {
    if (Word(p + at) == kFmt) {
      fmt = at + 8;
      found = true;
      break;
    }
  }
  if (!found) return nullptr;
  WAVEFORMATEX format;
  std::memcpy(&format, p + fmt, sizeof format);
  if (format.wFormatTag != WAVE_FORMAT_PCM) return nullptr;
  // Then the first "data" after the format, whose samples must lie inside the bytes.
  for (uint32_t at = fmt; at + 8 <= size; ++at) {
    if (Word(p + at) != kData) continue;
    uint32_t samples = at + 8;
    uint32_t bytes = Word(p + at + 4);
    if (bytes > size - samples) return nullptr;
    QvWaveBlock* b = NewBlock(bytes);
    if (!b) return nullptr;
    b->info.format = format;
    b->info.format.cbSize = 0;
    b->info.offset = samples;
    b->info.size = bytes;
    std::memcpy(b->data, p + samples, bytes);
    return b;
  }
  return nullptr;
}

int32_t QvxCheckRiff(PkgFile* f) {
  uint8_t head[12];
  if (PkgFileSeek(f, 0, 0) != 0 || PkgFileRead(f, head, 12) != 12) return 0;
  return Word(head) == kRiff && Word(head + 8) == kWave;
}

int32_t QvxFindChunk(PkgFile* f, uint32_t code, QvChunkHeader* header) {
  if (PkgFileSeek(f, 0, 0) != 0) return 0;
  static thread_local uint8_t block[kFindBlock];
  int32_t start = 0;
  for (;;) {
    int32_t n = PkgFileRead(f, block, kFindBlock);
    if (n < 9) return 0;
    for (int32_t i = 0; i + 4 < n; ++i) {
      if (Word(block + i) != code) continue;
      // The first match anywhere wins, chunk boundary or not.
      QvChunkHeader h;
      if (PkgFileSeek(f, start + i, 0) != 0 || PkgFileRead(f, &h, 8) != 8) return 0;
      if (header) *header = h;
      return 1;
    }
    // Back four bytes, so a code across two blocks is found.
    start += n - 4;
    if (PkgFileSeek(f, start, 0) != 0) return 0;
  }
}

int32_t QvxWaveReadHeader(PkgFile* f, QvWaveInfo* head) {
  if (!QvxCheckRiff(f)) return 0;
  QvChunkHeader chunk;
  if (!QvxFindChunk(f, kFmt, &chunk)) return 0;
  WAVEFORMATEX format{};
  if (chunk.size < 16 || PkgFileRead(f, &format, 16) != 16 || format.wFormatTag != WAVE_FORMAT_PCM) return 0;
  if (!QvxFindChunk(f, kData, &chunk)) return 0;
  int32_t at = PkgFileTell(f);
  if (at < 0) return 0;
  head->offset = static_cast<uint32_t>(at);
  head->size = chunk.size;
  head->format = format;
  head->format.cbSize = 0;
  return 1;
}

QvWaveBlock* QvxWaveFromFile(const char* name) {
  PkgFile* f = name ? PkgFileOpen(name, "rb") : nullptr;
  if (!f) return nullptr;
  QvWaveBlock* b = nullptr;
  QvWaveInfo head;
  // A size beyond the end of the file could never be read: refuse it before allocating.
  if (QvxWaveReadHeader(f, &head) && PkgFileSize(f) >= 0 &&
      head.size <= static_cast<uint32_t>(PkgFileSize(f)) - head.offset) {
    b = NewBlock(head.size);
    if (b && (PkgFileSeek(f, static_cast<int32_t>(head.offset), 0) != 0 ||
              PkgFileRead(f, b->data, static_cast<int32_t>(head.size)) != static_cast<int32_t>(head.size))) {
      QVX_FREE(b);
      b = nullptr;
    }
    if (b) b->info = head;
  }
  PkgFileClose(f);
  return b;
}

void QvxWaveFree(QvWaveBlock* block) { QVX_FREE(block); }
void QvxWaveRelease(QvWaveBlock* block) { QVX_FREE(block); }

WAVEFORMATEX* QvxReadFmtChunk(PkgFile* f) {
  QvChunkHeader chunk;
  if (!QvxFindChunk(f, kFmt, &chunk) || chunk.size < 16 || chunk.size > kMaxFmtChunk) return nullptr;
  // Room for a whole WAVEFORMATEX even when the chunk is the 16-byte PCM record.
  uint32_t room = chunk.size < sizeof(WAVEFORMATEX) ? sizeof(WAVEFORMATEX) : chunk.size;
  auto* format = static_cast<WAVEFORMATEX*>(QVX_CALLOC(1, room));
  if (!format) return nullptr;
  if (PkgFileRead(f, format, static_cast<int32_t>(chunk.size)) != static_cast<int32_t>(chunk.size) ||
      (chunk.size >= sizeof(WAVEFORMATEX) && sizeof(WAVEFORMATEX) + format->cbSize > chunk.size)) {
    QVX_FREE(format);
    return nullptr;
  }
  if (chunk.size < sizeof(WAVEFORMATEX)) format->cbSize = 0;
  return format;
}

uint8_t* QvxMakeWaveHeader(const WAVEFORMATEX* format, uint32_t* size) {
  if (!format) return nullptr;
  uint32_t fmt = sizeof(WAVEFORMATEX) + format->cbSize;
  uint32_t total = fmt + 28;
  auto* p = static_cast<uint8_t*>(QVX_CALLOC(1, total));
  if (!p) return nullptr;
  auto put = [&](uint32_t at, uint32_t v) { std::memcpy(p + at, &v, 4); };
  put(0, kRiff);
  put(8, kWave);
  put(12, kFmt);
  put(16, fmt);
  std::memcpy(p + 20, format, fmt);
  put(20 + fmt, kData);
  if (size) *size = total;
  return p;
}

int32_t QvxMp3ReadHeader(PkgFile* f, QvMp3Info* info) {
  QvMp3Info m{};
  uint8_t head[10];
  if (PkgFileSeek(f, 0, 0) != 0 || PkgFileRead(f, head, 10) != 10) return 0;
  uint8_t b[4];
  if (head[0] == 'I' && head[1] == 'D' && head[2] == '3') {
    m.id3v2_size = 10 + ((head[6] & 0x7F) << 21 | (head[7] & 0x7F) << 14 | (head[8] & 0x7F) << 7 | (head[9] & 0x7F));
    if (PkgFileSeek(f, static_cast<int32_t>(m.id3v2_size), 0) != 0 || PkgFileRead(f, b, 4) != 4) return 0;
  } else {
    std::memcpy(b, head, 4);
  }
  if (b[0] != 0xFF || (b[1] & 0xF0) != 0xF0) return 0;
  m.header = Word(b);
  int32_t file_size = PkgFileSize(f);
  if (file_size < 0) return 0;
  if (file_size >= 128 && PkgFileSeek(f, -128, 2) == 0 && PkgFileRead(f, m.tail, 128) == 128 &&
      m.tail[0] == 'T' && m.tail[1] == 'A' && m.tail[2] == 'G')
    m.id3v1_size = 128;
  if (static_cast<uint64_t>(m.id3v1_size) + m.id3v2_size > static_cast<uint32_t>(file_size)) return 0;
  m.offset = m.id3v2_size;
  m.length = static_cast<uint32_t>(file_size) - m.id3v1_size - m.id3v2_size;

  bool mpeg1 = b[1] & 0x08;
  int layer = 4 - ((b[1] >> 1) & 3);
  int bitrate_index = b[2] >> 4;
  int rate_index = (b[2] >> 2) & 3;
  int channels = (b[3] >> 6) == 3 ? 1 : 2;
  if (!mpeg1 || layer == 4 || rate_index == 3) return 0;
  static const uint16_t kBitrates[3][16] = {
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}};
  static const uint32_t kRates[3] = {44100, 48000, 32000};
  uint32_t bitrate = kBitrates[layer - 1][bitrate_index];
  uint32_t rate = kRates[rate_index];

  WAVEFORMATEX& w = m.format.wfx;
  w.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  w.nChannels = static_cast<WORD>(channels);
  w.nSamplesPerSec = rate;
  w.nAvgBytesPerSec = bitrate * 1000 / 8;
  w.nBlockAlign = 1;
  w.wBitsPerSample = 0;
  w.cbSize = sizeof(MPEGLAYER3WAVEFORMAT) - sizeof(WAVEFORMATEX);
  m.format.wID = MPEGLAYER3_ID_MPEG;
  m.format.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
  m.format.nBlockSize = static_cast<WORD>(bitrate * 144000 / rate);
  m.format.nFramesPerBlock = 1;
  m.format.nCodecDelay = 1393;
  if (info) *info = m;
  return 1;
}
