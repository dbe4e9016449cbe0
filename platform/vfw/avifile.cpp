#include "platform/vfw/avifile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/file.h"

namespace {

struct Chunk {
  size_t offset, size;
};

struct Stream {
  AVISTREAMINFOA info{};
  std::string format;
  std::vector<Chunk> chunks;
};

struct File {
  std::vector<uint8_t> bytes;
  std::vector<Stream> streams;
};

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
bool Is(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// The stream number of a data chunk ("00dc", "01wb", ...), or -1.
int StreamNumber(const uint8_t* id) {
  auto digit = [](uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  int hi = digit(id[0]), lo = digit(id[1]);
  return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

class Parser {
 public:
  explicit Parser(File& f) : f_(f) {}

  bool Run() {
    const std::vector<uint8_t>& b = f_.bytes;
    if (b.size() < 12 || !Is(b.data(), "RIFF") || !Is(b.data() + 8, "AVI ")) return false;
    size_t end = std::min<size_t>(b.size(), size_t{Le32(b.data() + 4)} + 8);
    Walk(12, end, 0);
    return !f_.streams.empty();
  }

 private:
  // Chunks between from and end; each one padded to an even size. A chunk that
  // runs past its parent is cut to it.
  void Walk(size_t from, size_t end, int depth) {
    const uint8_t* p = f_.bytes.data();
    for (size_t at = from; at + 8 <= end;) {
      const uint8_t* id = p + at;
      size_t size = std::min<size_t>(Le32(p + at + 4), end - (at + 8));
      size_t body = at + 8;
      if (Is(id, "LIST") && size >= 4) {
        const uint8_t* type = p + body;
        if (depth < 4) {
          if (Is(type, "strl")) {
            f_.streams.emplace_back();
            in_stream_ = true;
            Walk(body + 4, body + size, depth + 1);
            in_stream_ = false;
            FinishStream();
          } else if (Is(type, "movi") || Is(type, "rec ")) {
            in_movi_ = true;
            Walk(body + 4, body + size, depth + 1);
            in_movi_ = Is(type, "rec ");
          } else {
            Walk(body + 4, body + size, depth + 1);
          }
        }
      } else if (in_stream_ && Is(id, "strh") && size >= 48) {
        Header(p + body, size);
      } else if (in_stream_ && Is(id, "strf")) {
        f_.streams.back().format.assign(reinterpret_cast<const char*>(p + body), size);
      } else if (in_movi_) {
        int n = StreamNumber(id);
        if (n >= 0 && static_cast<size_t>(n) < f_.streams.size() && id[2] != 'p')  // not a palette change
          f_.streams[static_cast<size_t>(n)].chunks.push_back({body, size});
      }
      at = body + size + (size & 1);
    }
  }

  void Header(const uint8_t* h, size_t size) {
    AVISTREAMINFOA& i = f_.streams.back().info;
    i.fccType = Le32(h);
    i.fccHandler = Le32(h + 4);
    i.dwFlags = Le32(h + 8);
    i.wPriority = Le16(h + 12);
    i.wLanguage = Le16(h + 14);
    i.dwInitialFrames = Le32(h + 16);
    i.dwScale = Le32(h + 20);
    i.dwRate = Le32(h + 24);
    i.dwStart = Le32(h + 28);
    i.dwLength = Le32(h + 32);
    i.dwSuggestedBufferSize = Le32(h + 36);
    i.dwQuality = Le32(h + 40);
    i.dwSampleSize = Le32(h + 44);
    if (size >= 56) {
      i.rcFrame = {static_cast<int16_t>(Le16(h + 48)), static_cast<int16_t>(Le16(h + 50)),
                   static_cast<int16_t>(Le16(h + 52)), static_cast<int16_t>(Le16(h + 54))};
    }
  }

  // A video stream without a frame rectangle takes the size of its pictures.
  // A height of INT_MIN has no positive counterpart: it is held at LONG's
  // largest, which no frame opener accepts.
  void FinishStream() {
    Stream& s = f_.streams.back();
    if (s.info.fccType == streamtypeVIDEO && s.info.rcFrame.right == 0 && s.info.rcFrame.bottom == 0 &&
        s.format.size() >= sizeof(BITMAPINFOHEADER)) {
      const uint8_t* b = reinterpret_cast<const uint8_t*>(s.format.data());
      const int64_t height = std::abs(int64_t{static_cast<LONG>(Le32(b + 8))});
      s.info.rcFrame = {0, 0, static_cast<LONG>(Le32(b + 4)), static_cast<LONG>(std::min<int64_t>(height, INT32_MAX))};
    }
  }

  File& f_;
  bool in_stream_ = false, in_movi_ = false;
};

int g_open_streams = 0;

}  // namespace

struct AVISTREAM__ {
  std::shared_ptr<File> file;
  size_t index = 0;
  ULONG refs = 1;
  const Stream& s() const { return file->streams[index]; }
};

struct GETFRAME__ {
  PAVISTREAM stream;
  BITMAPINFOHEADER header;  // the decoded frames' header
  std::string table;        // colour table or masks
  size_t image = 0;         // bytes of pixels
  std::vector<uint8_t> dib;
};

void AVIFileInit() {}
void AVIFileExit() {}

HRESULT AVIStreamOpenFromFileA(PAVISTREAM* out, const char* name, DWORD type, LONG index, UINT, void*) {
  if (!out) return AVIERR_BADPARAM;
  *out = nullptr;
  if (!name || index < 0) return AVIERR_BADPARAM;
  std::ifstream in(win32::HostPath(name), std::ios::binary);
  if (!in) return AVIERR_FILEOPEN;
  auto file = std::make_shared<File>();
  file->bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return AVIERR_FILEREAD;
  if (!Parser(*file).Run()) return AVIERR_BADFORMAT;
  LONG seen = 0;
  for (size_t i = 0; i < file->streams.size(); ++i) {
    const Stream& s = file->streams[i];
    if (type && s.info.fccType != type) continue;
    if (seen++ != index) continue;
    // Without a rate there is no time in the stream.
    if (s.info.dwRate == 0 || s.info.dwScale == 0) return AVIERR_BADFORMAT;
    *out = new AVISTREAM__{file, i, 1};
    ++g_open_streams;
    return AVIERR_OK;
  }
  return AVIERR_NODATA;
}

ULONG AVIStreamAddRef(PAVISTREAM s) { return s ? ++s->refs : 0; }

ULONG AVIStreamRelease(PAVISTREAM s) {
  if (!s) return 0;
  ULONG left = --s->refs;
  if (left == 0) {
    --g_open_streams;
    delete s;
  }
  return left;
}

HRESULT AVIStreamInfoA(PAVISTREAM s, AVISTREAMINFOA* info, LONG size) {
  if (!s || !info || size < 0) return AVIERR_BADPARAM;
  AVISTREAMINFOA i = s->s().info;
  i.dwLength = static_cast<DWORD>(AVIStreamLength(s));
  std::memcpy(info, &i, std::min<size_t>(static_cast<size_t>(size), sizeof(i)));
  return AVIERR_OK;
}

namespace {
// Bytes of one audio sample (block); video samples are whole chunks.
size_t SampleBytes(const Stream& s) {
  if (s.format.size() >= 14) {
    uint16_t align = Le16(reinterpret_cast<const uint8_t*>(s.format.data()) + 12);
    if (align) return align;
  }
  return std::max<DWORD>(1, s.info.dwSampleSize);
}
size_t AudioBytes(const Stream& s) {
  size_t n = 0;
  for (const Chunk& c : s.chunks) n += c.size;
  return n;
}
}  // namespace

LONG AVIStreamLength(PAVISTREAM s) {
  if (!s) return -1;
  const Stream& st = s->s();
  if (st.info.fccType == streamtypeAUDIO)
    return static_cast<LONG>(std::min<size_t>(AudioBytes(st) / SampleBytes(st), 0x7FFFFFFF));
  return static_cast<LONG>(std::min<DWORD>(st.info.dwLength, 0x7FFFFFFF));
}

LONG AVIStreamStart(PAVISTREAM s) { return s ? static_cast<LONG>(s->s().info.dwStart & 0x7FFFFFFF) : -1; }

HRESULT AVIStreamReadFormat(PAVISTREAM s, LONG, void* format, LONG* size) {
  if (!s || !size) return AVIERR_BADPARAM;
  const std::string& f = s->s().format;
  if (!format) {
    *size = static_cast<LONG>(f.size());
    return AVIERR_OK;
  }
  if (*size < 0) return AVIERR_BADPARAM;
  size_t n = std::min<size_t>(static_cast<size_t>(*size), f.size());
  std::memcpy(format, f.data(), n);
  *size = static_cast<LONG>(n);
  return AVIERR_OK;
}

HRESULT AVIStreamRead(PAVISTREAM s, LONG start, LONG samples, void* buffer, LONG size, LONG* bytes,
                      LONG* samples_read) {
  if (bytes) *bytes = 0;
  if (samples_read) *samples_read = 0;
  if (!s || start < 0) return AVIERR_BADPARAM;
  const Stream& st = s->s();
  const uint8_t* base = s->file->bytes.data();
  std::vector<uint8_t> out;
  LONG count = 0;
  if (st.info.fccType == streamtypeAUDIO) {
    const size_t unit = SampleBytes(st);
    const size_t total = AudioBytes(st) / unit;
    const size_t first = std::min<size_t>(static_cast<size_t>(start), total);
    size_t n = samples == AVISTREAMREAD_CONVENIENT || samples < 0 ? total - first
                                                                  : std::min<size_t>(samples, total - first);
    if (buffer) n = std::min<size_t>(n, static_cast<size_t>(std::max<LONG>(size, 0)) / unit);
    size_t skip = first * unit, want = n * unit;
    for (const Chunk& c : st.chunks) {
      if (!want) break;
      if (skip >= c.size) {
        skip -= c.size;
        continue;
      }
      size_t k = std::min(c.size - skip, want);
      out.insert(out.end(), base + c.offset + skip, base + c.offset + skip + k);
      want -= k;
      skip = 0;
    }
    count = static_cast<LONG>(n);
  } else {
    size_t first = static_cast<size_t>(start);
    size_t n = samples < 0 ? 1 : static_cast<size_t>(samples);
    for (size_t i = first; i < st.chunks.size() && i < first + n; ++i) {
      const Chunk& c = st.chunks[i];
      if (buffer && out.size() + c.size > static_cast<size_t>(std::max<LONG>(size, 0))) break;
      out.insert(out.end(), base + c.offset, base + c.offset + c.size);
      ++count;
    }
  }
  if (out.size() > 0x7FFFFFFF) return AVIERR_BUFFERTOOSMALL;
  if (buffer && !out.empty()) std::memcpy(buffer, out.data(), out.size());
  if (bytes) *bytes = static_cast<LONG>(out.size());
  if (samples_read) *samples_read = count;
  return AVIERR_OK;
}

PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM s, BITMAPINFOHEADER* wanted) {
  if (!s) return nullptr;
  const Stream& st = s->s();
  if (st.info.fccType != streamtypeVIDEO || st.format.size() < sizeof(BITMAPINFOHEADER)) return nullptr;
  BITMAPINFOHEADER h;
  std::memcpy(&h, st.format.data(), sizeof(h));
  const int bits = h.biBitCount;
  const bool rgb = h.biCompression == BI_RGB &&
                   (bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
  const bool fields = h.biCompression == BI_BITFIELDS && (bits == 16 || bits == 32);
  // Anything else is a codec we do not have.
  if (!rgb && !fields) return nullptr;
  if (h.biSize < sizeof(h) || h.biSize > st.format.size() || h.biWidth <= 0 || h.biWidth > 16384 ||
      h.biHeight == 0 || h.biHeight < -16384 || h.biHeight > 16384 || h.biPlanes != 1)
    return nullptr;
  const char* extra = st.format.data() + h.biSize;
  const size_t extra_size = st.format.size() - h.biSize;
  std::string table;
  if (bits <= 8) {
    // A full table of 2^bits entries; entries the file lacks are black.
    table.assign(size_t{4} << bits, '\0');
    std::memcpy(table.data(), extra, std::min(extra_size, table.size()));
  } else if (fields) {
    if (extra_size < 12) return nullptr;
    table.assign(extra, 12);
  }
  if (wanted && wanted != AVIGETFRAMEF_BESTDISPLAYFMT &&
      (wanted->biBitCount != h.biBitCount || wanted->biCompression != h.biCompression ||
       wanted->biWidth != h.biWidth || wanted->biHeight != h.biHeight))
    return nullptr;  // no conversion between formats
  auto* g = new GETFRAME__{s, h, std::move(table), 0, {}};
  g->header.biSize = sizeof(BITMAPINFOHEADER);
  g->header.biClrUsed = g->header.biClrImportant = 0;
  const size_t stride = (static_cast<size_t>(h.biWidth) * bits + 31) / 32 * 4;
  g->image = stride * static_cast<size_t>(std::abs(h.biHeight));
  g->header.biSizeImage = static_cast<DWORD>(g->image);
  AVIStreamAddRef(s);
  return g;
}

void* AVIStreamGetFrame(PGETFRAME g, LONG pos) {
  if (!g) return nullptr;
  const Stream& st = g->stream->s();
  const int64_t index = static_cast<int64_t>(pos) - st.info.dwStart;
  if (pos < 0 || index < 0 || index >= static_cast<int64_t>(st.chunks.size())) return nullptr;
  // An empty chunk repeats the frame before it.
  int64_t i = index;
  while (i >= 0 && st.chunks[static_cast<size_t>(i)].size == 0) --i;
  if (i < 0) return nullptr;
  const Chunk& c = st.chunks[static_cast<size_t>(i)];
  if (c.size < g->image) return nullptr;
  g->dib.resize(sizeof(BITMAPINFOHEADER) + g->table.size() + g->image);
  std::memcpy(g->dib.data(), &g->header, sizeof(BITMAPINFOHEADER));
  std::memcpy(g->dib.data() + sizeof(BITMAPINFOHEADER), g->table.data(), g->table.size());
  std::memcpy(g->dib.data() + sizeof(BITMAPINFOHEADER) + g->table.size(), g->stream->file->bytes.data() + c.offset,
              g->image);
  return g->dib.data();
}

HRESULT AVIStreamGetFrameClose(PGETFRAME g) {
  if (!g) return AVIERR_BADPARAM;
  AVIStreamRelease(g->stream);
  delete g;
  return AVIERR_OK;
}

namespace platform {
int avi_stream_count() { return g_open_streams; }
}  // namespace platform
