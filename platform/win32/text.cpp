#include "platform/win32/text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace win32 {

namespace {

// One cached converter per direction and thread: opening one costs far more than
// a short conversion.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in` (units of in_unit bytes); an undecodable unit or sequence
  // becomes `bad` (bad_len bytes) and the input moves on by one unit.
  std::string Run(const char* in, size_t in_bytes, size_t in_unit, const char* bad, size_t bad_len) {
    std::string out;
    if (cd_ == reinterpret_cast<iconv_t>(-1) || in_bytes == 0) return out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.resize(in_bytes * 4 + 16);
    char* src = const_cast<char*>(in);
    size_t src_left = in_bytes;
    size_t done = 0;
    while (src_left > 0) {
      char* dst = out.data() + done;
      size_t dst_left = out.size() - done;
      size_t r = iconv(cd_, &src, &src_left, &dst, &dst_left);
      done = out.size() - dst_left;
      if (r != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      // EILSEQ (undecodable) or EINVAL (cut off at the end): replace one unit.
      if (out.size() - done < bad_len) out.resize(out.size() * 2);
      std::memcpy(out.data() + done, bad, bad_len);
      done += bad_len;
      size_t skip = std::min(in_unit, src_left);
      src += skip;
      src_left -= skip;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(done);
    return out;
  }

 private:
  iconv_t cd_;
};

const char16_t kBad16 = u'?';

std::u16string ToU16(const std::string& bytes) {
  std::u16string r(bytes.size() / 2, u'\0');
  std::memcpy(r.data(), bytes.data(), r.size() * 2);
  return r;
}

}  // namespace

std::u16string Cp932ToUtf16(std::string_view s) {
  thread_local Converter c("UTF-16LE", "CP932");
  return ToU16(c.Run(s.data(), s.size(), 1, reinterpret_cast<const char*>(&kBad16), 2));
}

std::string Utf16ToCp932(std::u16string_view s) {
  thread_local Converter c("CP932", "UTF-16LE");
  return c.Run(reinterpret_cast<const char*>(s.data()), s.size() * 2, 2, "?", 1);
}

std::string Cp932ToUtf8(std::string_view s) {
  thread_local Converter c("UTF-8", "CP932");
  return c.Run(s.data(), s.size(), 1, "?", 1);
}

std::string Utf8ToCp932(std::string_view s) {
  thread_local Converter c("CP932", "UTF-8");
  return c.Run(s.data(), s.size(), 1, "?", 1);
}

std::string Utf16ToUtf8(std::u16string_view s) {
  thread_local Converter c("UTF-8", "UTF-16LE");
  return c.Run(reinterpret_cast<const char*>(s.data()), s.size() * 2, 2, "?", 1);
}

std::u16string Utf8ToUtf16(std::string_view s) {
  thread_local Converter c("UTF-16LE", "UTF-8");
  return ToU16(c.Run(s.data(), s.size(), 1, reinterpret_cast<const char*>(&kBad16), 2));
}

size_t WideLength(const char16_t* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

}  // namespace win32

BOOL IsDBCSLeadByte(BYTE b) { return win32::IsLeadByte(b) ? TRUE : FALSE; }

int MultiByteToWideChar(UINT codepage, DWORD, const char* in, int in_len, char16_t* out, int out_len) {
  if (!in || in_len < -1 || out_len < 0) return 0;
  size_t n = in_len == -1 ? std::strlen(in) + 1 : static_cast<size_t>(in_len);
  std::string_view src(in, n);
  std::u16string w = codepage == CP_UTF8 ? win32::Utf8ToUtf16(src) : win32::Cp932ToUtf16(src);
  if (out_len == 0) return static_cast<int>(w.size());
  if (w.size() > static_cast<size_t>(out_len) || !out) return 0;
  std::memcpy(out, w.data(), w.size() * 2);
  return static_cast<int>(w.size());
}

int WideCharToMultiByte(UINT codepage, DWORD, const char16_t* in, int in_len, char* out, int out_len,
                        const char*, BOOL* used_default) {
  if (used_default) *used_default = FALSE;
  if (!in || in_len < -1 || out_len < 0) return 0;
  size_t n = in_len == -1 ? win32::WideLength(in) + 1 : static_cast<size_t>(in_len);
  std::u16string_view src(in, n);
  std::string m = codepage == CP_UTF8 ? win32::Utf16ToUtf8(src) : win32::Utf16ToCp932(src);
  if (out_len == 0) return static_cast<int>(m.size());
  if (m.size() > static_cast<size_t>(out_len) || !out) return 0;
  std::memcpy(out, m.data(), m.size());
  return static_cast<int>(m.size());
}
