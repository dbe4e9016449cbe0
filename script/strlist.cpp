// Named string lists, number text and script variables.
#include "script/strlist.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "script/memory.h"

StrList* ScriptVars = nullptr;

namespace {

int32_t Capacity(size_t length) { return static_cast<int32_t>((length + 256) & ~size_t{255}); }

// No script value needs more: a runaway join ends as "out of memory" instead
// of taking the machine's memory.
constexpr size_t kMaxText = SCRIPT_MAX_TEXT;

bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int DigitValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

// A "V" value stands for its variable.
StrList* Target(StrList* node) {
  if (node && node->name && node->name[0] == 'V' && node->ref) return node->ref;
  return node;
}

// Gives a value node a one-letter tag (a name always has room for two bytes).
void Retag(StrList* node, char tag) {
  node->name[0] = tag;
  node->name[1] = '\0';
}

void FreeText(StrList* node) {
  if (node->text && node->text != node->inlineText) VFree(node->text);
}

// Stores text[0..length) as the node's value, in place when it fits.
int SetText(StrList* node, const char* text, size_t length) {
  if (length > kMaxText) return 10;
  int32_t need = Capacity(length);
  if (!node->text || need > node->capacity) {
    auto* buffer = static_cast<char*>(VMalloc(static_cast<size_t>(need)));
    if (!buffer) return 10;
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    FreeText(node);
    node->text = buffer;
    node->capacity = need;
    return 0;
  }
  std::memmove(node->text, text, length);
  node->text[length] = '\0';
  return 0;
}

const double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

// ---- lists ----

int StrListFree(StrList* first) {
  while (first) {
    StrList* next = first->next;
    FreeText(first);
    VFree(first);
    first = next;
  }
  return 0;
}

int StrListRemove(StrList** head, const char* name) {
  if (!head || !name) return 0;
  for (StrList** link = head; *link; link = &(*link)->next) {
    if (std::strcmp((*link)->name, name) == 0) {
      StrList* node = *link;
      *link = node->next;
      node->next = nullptr;
      StrListFree(node);
      break;
    }
  }
  return 0;
}

StrList* StrListPop(StrList** head) {
  if (!head || !*head) return nullptr;
  StrList* node = *head;
  *head = node->next;
  node->next = nullptr;
  return node;
}

StrList* StrListPush(StrList** head, const char* name, const char* value) {
  if (!head) return nullptr;
  if (!name) name = "";
  size_t nameLength = std::strlen(name);
  size_t nameRoom = nameLength < 2 ? 2 : nameLength + 1;
  size_t textLength = value ? std::strlen(value) : 0;
  if (textLength > kMaxText || nameLength > kMaxText) return nullptr;
  size_t textRoom = value ? static_cast<size_t>(Capacity(textLength)) : 0;
  auto* node = static_cast<StrList*>(VMalloc(sizeof(StrList) + nameRoom + textRoom));
  if (!node) return nullptr;
  *node = StrList{};
  node->name = reinterpret_cast<char*>(node + 1);
  std::memcpy(node->name, name, nameLength + 1);
  if (value) {
    node->inlineText = node->name + nameRoom;
    node->inlineCapacity = static_cast<int32_t>(textRoom);
    node->text = node->inlineText;
    node->capacity = static_cast<int32_t>(textRoom);
    std::memcpy(node->text, value, textLength + 1);
  }
  node->next = *head;
  *head = node;
  return node;
}

int StrListAppend(StrList* node, const char* text) {
  if (!node || !text) return -1;
  size_t add = std::strlen(text);
  if (!node->text) return SetText(node, text, add);
  size_t old = std::strlen(node->text);
  if (old + add > kMaxText) return 10;
  int32_t need = Capacity(old + add);
  if (need <= node->capacity) {
    std::memmove(node->text + old, text, add + 1);
    return 0;
  }
  auto* buffer = static_cast<char*>(VMalloc(static_cast<size_t>(need)));
  if (!buffer) return 10;
  std::memcpy(buffer, node->text, old);
  std::memcpy(buffer + old, text, add + 1);
  FreeText(node);
  node->text = buffer;
  node->capacity = need;
  return 0;
}

int StrListSet(StrList* node, const char* text) {
  if (!node || !text) return -1;
  return SetText(node, text, std::strlen(text));
}

int StrListSetJoined(StrList* node, const char* a, const char* b) {
  if (!node || !a || !b) return -1;
  size_t lengthA = std::strlen(a), lengthB = std::strlen(b);
  if (lengthA + lengthB > kMaxText) return 10;
  int32_t need = Capacity(lengthA + lengthB);
  if (node->text && need <= node->capacity && a != node->text && b != node->text) {
    std::memcpy(node->text, a, lengthA);
    std::memcpy(node->text + lengthA, b, lengthB + 1);
    return 0;
  }
  auto* buffer = static_cast<char*>(VMalloc(static_cast<size_t>(need)));
  if (!buffer) return 10;
  std::memcpy(buffer, a, lengthA);
  std::memcpy(buffer + lengthA, b, lengthB + 1);
  FreeText(node);
  node->text = buffer;
  node->capacity = need;
  return 0;
}

StrList* StrListSetByName(StrList** head, const char* name, const char* value) {
  if (!head) return nullptr;
  if (StrList* node = StrListFind(*head, name)) {
    if (value && StrListSet(node, value) != 0) return nullptr;
    return node;
  }
  return StrListPush(head, name, value);
}

StrList* StrListFind(StrList* first, const char* name) {
  if (!name) name = "";
  // Names are short: a plain loop beats a call per node.
  for (; first; first = first->next) {
    const char* a = first->name;
    const char* b = name;
    while (*a == *b && *a) ++a, ++b;
    if (*a == *b) return first;
  }
  return nullptr;
}

StrList* StrListNth(StrList* first, int n) {
  if (n < 0) return nullptr;
  while (first && n-- > 0) first = first->next;
  return first;
}

// ---- number text ----

int32_t ScriptStrtol(const char* text, const char** end, int base) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  if (end) *end = text;
  if (!p) return 0;
  while (IsSpace(*p)) ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  if (base == 0) {
    if (p[0] != '0')
      base = 10;
    else if (p[1] == 'x' || p[1] == 'X')
      base = 16;
    else
      base = 8;
  }
  if (base < 2 || base > 36) return 0;
  if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
  uint64_t value = 0;
  bool any = false, overflow = false;
  for (int d; (d = DigitValue(*p)) < base; ++p) {
    any = true;
    if (!overflow) {
      value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
      if (value > 0x80000000ull) overflow = true;
    }
  }
  if (!any) return 0;  // "0x" alone converts nothing
  if (end) *end = reinterpret_cast<const char*>(p);
  if (negative) {
    if (overflow) return INT32_MIN;
    return static_cast<int32_t>(-static_cast<int64_t>(value));
  }
  if (overflow || value > INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(value);
}

double ScriptStrtod(const char* text, const char** end) {
  const char* p = text;
  if (end) *end = text;
  if (!p) return 0.0;
  while (IsSpace(static_cast<unsigned char>(*p))) ++p;
  const char* start = p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  uint64_t mantissa = 0;
  int significant = 0, exponent = 0, digits = 0;
  for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
    if (mantissa == 0 && *p == '0') continue;
    if (significant < 19) {
      mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
      ++significant;
    } else {
      ++exponent;
      significant = 99;  // too many digits for the short way
    }
  }
  if (*p == '.') {
    ++p;
    for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
      if (mantissa == 0 && *p == '0') {
        --exponent;
        continue;
      }
      if (significant < 19) {
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        ++significant;
        --exponent;
      } else {
        significant = 99;
      }
    }
  }
  if (digits == 0) return 0.0;
  if (*p == 'e' || *p == 'E') {
    const char* q = p + 1;
    bool expNegative = false;
    if (*q == '-' || *q == '+') expNegative = *q++ == '-';
    if (*q >= '0' && *q <= '9') {
      long e = 0;
      for (; *q >= '0' && *q <= '9'; ++q)
        if (e < 100000) e = e * 10 + (*q - '0');
      exponent += static_cast<int>(expNegative ? -e : e);
      p = q;
    }
  }
  if (end) *end = p;
  // Exact operands give a correctly rounded result in one operation.
  if (significant <= 15 && exponent >= -22 && exponent <= 22) {
    double v = static_cast<double>(mantissa);
    v = exponent < 0 ? v / kPowersOfTen[-exponent] : v * kPowersOfTen[exponent];
    return negative ? -v : v;
  }
  // The span holds plain decimal syntax only, on which the C library agrees.
  std::string span(start, p);
  return std::strtod(span.c_str(), nullptr);
}

int32_t ScriptAtoi(const char* text) { return ScriptStrtol(text, nullptr, 10); }

double ScriptAtof(const char* text) { return ScriptStrtod(text, nullptr); }

int32_t ScriptDoubleToInt(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(v);
}

int ScriptFormatInt(int32_t v, char* out) {
  char digits[12];
  int n = 0;
  uint32_t u = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
  do {
    digits[n++] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u);
  int length = 0;
  if (v < 0) out[length++] = '-';
  while (n) out[length++] = digits[--n];
  out[length] = '\0';
  return length;
}

int ScriptFormatDouble(double v, char* out) {
  if (std::isnan(v)) return static_cast<int>(std::strlen(std::strcpy(out, "nan")));
  if (std::isinf(v)) return static_cast<int>(std::strlen(std::strcpy(out, v < 0 ? "-inf" : "inf")));
  if (v > -2147483648.0 && v < 2147483648.0) {
    auto whole = static_cast<int32_t>(v);
    if (whole == v && (whole != 0 || !std::signbit(v))) {
      int length = ScriptFormatInt(whole, out);
      std::memcpy(out + length, ".000000", 8);
      return length + 7;
    }
  }
  // When v * 1e6 lands on a whole number below 2^52 it is within a quarter
  // of the true product, so it is exactly what "%f" rounds to.
  double scaled = std::fabs(v) * 1e6;
  if (scaled < 4503599627370496.0 && scaled == std::floor(scaled)) {
    uint64_t n = static_cast<uint64_t>(scaled);
    char digits[24];
    int count = 0;
    do {
      digits[count++] = static_cast<char>('0' + n % 10);
      n /= 10;
    } while (n || count < 7);
    int length = 0;
    if (std::signbit(v)) out[length++] = '-';
    while (count > 6) out[length++] = digits[--count];
    out[length++] = '.';
    while (count) out[length++] = digits[--count];
    out[length] = '\0';
    return length;
  }
  return std::snprintf(out, SCRIPT_NUMBER_TEXT, "%f", v);
}

namespace {

// The common texts "12", "-3" and "2.500000", read in one pass. Anything else
// (prefixes, octal, exponents, trailing characters, long digit runs) is left
// to the full rules: returns 0 then.
int ParsePlainNumber(const char* text, int32_t* intOut, double* doubleOut) {
  const char* p = text;
  bool negative = *p == '-';
  if (negative) ++p;
  if (*p < '0' || *p > '9') return 0;
  if (p[0] == '0' && (p[1] == 'd' || p[1] == 'f' || p[1] == 'x')) return 0;
  uint64_t mantissa = 0;
  int digits = 0;
  const char* q = p;
  for (; *q >= '0' && *q <= '9' && digits < 15; ++q, ++digits) mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
  if (*q == '\0') {
    if (p[0] == '0' && digits > 1) return 0;  // octal
    int64_t v = negative ? -static_cast<int64_t>(mantissa) : static_cast<int64_t>(mantissa);
    int32_t i = v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
    if (intOut) *intOut = i;
    if (doubleOut) *doubleOut = i;
    return SCRIPT_NUM_INT;
  }
  if (*q != '.') return 0;
  // The "%f" text of a whole number ends in zeros: no division for those.
  const char* zeros = ++q;
  while (*q == '0') ++q;
  double v;
  if (*q == '\0') {
    v = static_cast<double>(mantissa);
  } else {
    int fraction = 0;
    for (q = zeros; *q >= '0' && *q <= '9' && digits < 15; ++q, ++digits, ++fraction)
      mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
    if (*q != '\0') return 0;
    // Both operands are exact, so the quotient is correctly rounded.
    v = static_cast<double>(mantissa) / kPowersOfTen[fraction];
  }
  if (negative) v = -v;
  if (intOut) *intOut = ScriptDoubleToInt(v);
  if (doubleOut) *doubleOut = v;
  return SCRIPT_NUM_FLOAT;
}

}  // namespace

int ScriptParseNumber(const char* text, int32_t* intOut, double* doubleOut) {
  if (!text) text = "";
  if (int kind = ParsePlainNumber(text, intOut, doubleOut)) return kind;
  const char* end = nullptr;
  if (text[0] == '0' && text[1] == 'd') {
    int32_t v = ScriptAtoi(text + 2);
    if (intOut) *intOut = v;
    if (doubleOut) *doubleOut = v;
    return SCRIPT_NUM_INT;
  }
  if (text[0] == '0' && text[1] == 'f') {
    double v = ScriptAtof(text + 2);
    if (intOut) *intOut = ScriptDoubleToInt(v);
    if (doubleOut) *doubleOut = v;
    return SCRIPT_NUM_FLOAT;
  }
  if (std::strchr(text, '.') && text[0] != '\0' && std::strchr("0123456789.-", text[0])) {
    double v = ScriptStrtod(text, &end);
    if (end == text) return SCRIPT_NUM_EMPTY;
    if (intOut) *intOut = ScriptDoubleToInt(v);
    if (doubleOut) *doubleOut = v;
    return SCRIPT_NUM_FLOAT;
  }
  int base;
  if (text[0] == '0' && text[1] == 'x') {
    base = 16;
  } else {
    char c = text[text[0] == '-' ? 1 : 0];
    if (c >= '1' && c <= '9')
      base = 10;
    else if (c == '0')
      base = 8;
    else
      return SCRIPT_NUM_NONE;
  }
  int32_t v = ScriptStrtol(text, &end, base);
  if (end == text) return SCRIPT_NUM_EMPTY;
  if (intOut) *intOut = v;
  if (doubleOut) *doubleOut = v;
  return SCRIPT_NUM_INT;
}

// ---- variables ----

int32_t StrToInt(const char* text) { return ScriptStrtol(text, nullptr, 0); }

int32_t GetVarInt(const char* name) {
  StrList* var = StrListFind(ScriptVars, name);
  return var && var->text ? StrToInt(var->text) : 0;
}

const char* GetVarStr(const char* name) {
  StrList* var = StrListFind(ScriptVars, name);
  return var && var->text ? var->text : "";
}

StrList* SetVarInt(const char* name, int32_t value) {
  char text[12];
  ScriptFormatInt(value, text);
  return StrListSetByName(&ScriptVars, name, text);
}

StrList* SetVarStr(const char* name, const char* text) {
  return StrListSetByName(&ScriptVars, name, text ? text : "");
}

// ---- values ----

int32_t ScriptValueInt(StrList* node) {
  node = Target(node);
  if (!node) return -1;
  int32_t v = 0;
  int kind = ScriptParseNumber(node->text, &v, nullptr);
  return kind == SCRIPT_NUM_INT || kind == SCRIPT_NUM_FLOAT ? v : 0;
}

double ScriptValueDouble(StrList* node) {
  node = Target(node);
  if (!node) return -1.0;
  double v = 0.0;
  int kind = ScriptParseNumber(node->text, nullptr, &v);
  return kind == SCRIPT_NUM_INT || kind == SCRIPT_NUM_FLOAT ? v : 0.0;
}

const char* ScriptValueText(StrList* node) {
  node = Target(node);
  return node && node->text ? node->text : "";
}

int ScriptSetInt(StrList* node, int32_t value) {
  if (!node) return -1;
  char text[12];
  int length = ScriptFormatInt(value, text);
  StrList* target = Target(node);
  if (target == node) Retag(node, 'I');
  return SetText(target, text, static_cast<size_t>(length));
}

int ScriptSetDouble(StrList* node, double value) {
  if (!node) return -1;
  char text[SCRIPT_NUMBER_TEXT];
  int length = ScriptFormatDouble(value, text);
  StrList* target = Target(node);
  if (target == node) Retag(node, 'D');
  return SetText(target, text, static_cast<size_t>(length));
}

int ScriptCopyValue(StrList* dest, StrList* src) {
  if (!dest) return -1;
  dest = Target(dest);
  const char* text = ScriptValueText(src);
  if (dest == Target(src)) return 0;
  return SetText(dest, text, std::strlen(text));
}

int ScriptAppendText(StrList* node, const char* text) {
  if (!node) return -1;
  StrList* target = Target(node);
  if (target == node) Retag(node, 'S');
  return StrListAppend(target, text ? text : "");
}

StrList* ScriptLookupVar(StrList* locals, const char* name) {
  if (StrList* local = StrListFind(locals, name)) return local;
  if (StrList* global = StrListFind(ScriptVars, name)) return global;
  return StrListPush(&ScriptVars, name, "");
}

int ScriptAssignVar(StrList* locals, const char* name, const char* text) {
  if (!text) text = "";
  if (StrList* local = StrListFind(locals, name)) return StrListSet(local, text) == 0 ? 0 : 1;
  return StrListSetByName(&ScriptVars, name, text) ? 0 : 1;
}
