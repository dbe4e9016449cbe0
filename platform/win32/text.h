// Text encodings. Narrow text is CP932 (Shift-JIS) everywhere inside the program;
// wide text is UTF-16 in char16_t; UTF-8 appears only at the host's edge (window
// title, message boxes, file names on disk). Conversions never split a character
// and never read past the end of their input; bytes that do not decode become "?".
#pragma once

#include <string>
#include <string_view>

#include "platform/win32/types.h"

namespace win32 {

// A CP932 lead byte: 0x81-0x9F or 0xE0-0xFC.
constexpr bool IsLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

std::u16string Cp932ToUtf16(std::string_view s);
std::string Utf16ToCp932(std::u16string_view s);
std::string Cp932ToUtf8(std::string_view s);
std::string Utf8ToCp932(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);
std::u16string Utf8ToUtf16(std::string_view s);

// The length of a char16_t string without its terminator.
size_t WideLength(const char16_t* s);

}  // namespace win32

constexpr UINT CP_ACP = 0;  // the program's code page: CP932
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_UTF8 = 65001;
constexpr UINT CP_SHIFT_JIS = 932;

BOOL IsDBCSLeadByte(BYTE b);
// As on Windows: a length of -1 converts through the terminator (and counts it);
// an output size of 0 asks for the length needed. Returns 0 when it does not fit.
int MultiByteToWideChar(UINT codepage, DWORD flags, const char* in, int in_len, char16_t* out, int out_len);
int WideCharToMultiByte(UINT codepage, DWORD flags, const char16_t* in, int in_len, char* out, int out_len,
                        const char* default_char, BOOL* used_default);
