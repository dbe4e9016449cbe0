// Named string lists, number text and script variables.
#include "script/strlist.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "script/memory.h"
#include "script/script_internal.h"

StrList* ScriptVars = nullptr;

namespace script_internal {

uint64_t stampCounter = 1;
uint64_t frameStamp = 1;
uint64_t globalsStamp = 1;

}  // namespace script_internal

using namespace script_internal;

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

// Gives a value node a one-letter tag (a name always has room for two bytes).
void Retag(StrList* node, char tag) {
  node->name[0] = tag;
  node->name[1] = '\0';
}

void FreeText(StrList* node) {
  if (node->text && node->text != node->inlineText) VFree(node->text);
}

// The text is about to change: what was known of it goes.
void Forget(StrList* node) {
  node->numberKind = 0;
  node->pending = 0;
}

// Stores text[0..length) as the node's value, in place when it fits.
int SetText(StrList* node, const char* text, size_t length) {
  Forget(node);
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
  // The chain may hold variables that names were resolved to.
  if (first) GlobalsChanged();
  while (first) {
    StrList* next = first->next;
    if (runningStacks) DetachReferences(first);  // a built-in removing a variable
    if (first->listed) Unlist(first);
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
      StrListFree(node);  // a new stamp for the globals
      break;
    }
  }
  return 0;
}

StrList* StrListPop(StrList** head) {
  if (!head || !*head) return nullptr;
  if (head == &ScriptVars) GlobalsChanged();
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
  if (head == &ScriptVars) GlobalsChanged();  // it may hide an older one of its name
  return node;
}

int StrListAppend(StrList* node, const char* text) {
  if (!node || !text) return -1;
  if (node->pending) WritePending(node);
  Forget(node);
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
  Forget(node);
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
  // Two digits a step, from the back of a scratch buffer.
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  char digits[12];
  char* p = digits + sizeof digits;
  uint32_t u = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
  while (u >= 100) {
    uint32_t pair = (u % 100) * 2;
    u /= 100;
    *--p = kPairs[pair + 1];
    *--p = kPairs[pair];
  }
  if (u >= 10) {
    *--p = kPairs[u * 2 + 1];
    *--p = kPairs[u * 2];
  } else {
    *--p = static_cast<char>('0' + u);
  }
  if (v < 0) *--p = '-';
  int length = static_cast<int>(digits + sizeof digits - p);
  std::memcpy(out, p, static_cast<size_t>(length));
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
  StrList* var = StrListSetByName(&ScriptVars, name, text);
  if (var) {
    var->numberKind = SCRIPT_NUM_INT;
    var->integer = value;
    var->number = value;
  }
  return var;
}

StrList* SetVarStr(const char* name, const char* text) {
  return StrListSetByName(&ScriptVars, name, text ? text : "");
}

// ---- values ----

namespace script_internal {

void ReadNumber(StrList* node) {
  int32_t i = 0;
  double d = 0.0;
  int kind = ScriptParseNumber(node->text, &i, &d);
  if (kind != SCRIPT_NUM_INT && kind != SCRIPT_NUM_FLOAT) {
    i = 0;
    d = 0.0;
  }
  node->numberKind = kind;
  node->integer = i;
  node->number = d;
}

int SetIntValue(StrList* node, int32_t v) {
  if (node->text && node->capacity >= kPendingRoom) {
    node->pending = 'I';
  } else {
    char text[12];
    int length = ScriptFormatInt(v, text);
    if (SetText(node, text, static_cast<size_t>(length)) != 0) return 10;
  }
  node->numberKind = SCRIPT_NUM_INT;
  node->integer = v;
  node->number = v;
  return 0;
}

int SetDoubleValue(StrList* node, double v) {
  // A whole value within 32 bits reads back from its "%f" text exactly
  // (-0.0 included), so its number is known before the text is written.
  if (v >= -2147483648.0 && v <= 2147483647.0 && v == static_cast<double>(static_cast<int32_t>(v)) &&
      node->text && node->capacity >= kPendingRoom) {
    node->pending = 'D';
    node->numberKind = SCRIPT_NUM_FLOAT;
    node->integer = static_cast<int32_t>(v);
    node->number = v;
    return 0;
  }
  char text[SCRIPT_NUMBER_TEXT];
  int length = ScriptFormatDouble(v, text);
  return SetText(node, text, static_cast<size_t>(length)) == 0 ? 0 : 10;
}

void WritePending(StrList* node) {
  char text[SCRIPT_NUMBER_TEXT];
  int length = node->pending == 'I' ? ScriptFormatInt(node->integer, text) : ScriptFormatDouble(node->number, text);
  // The buffer has room (kPendingRoom), so this cannot fail.
  std::memcpy(node->text, text, static_cast<size_t>(length) + 1);
  node->pending = 0;
}

int CopyText(StrList* dest, StrList* src) {
  src = ValueTarget(src);
  if (dest == src) return 0;
  if (src->pending) {
    // Written straight into the destination; the source stays as it is.
    char text[SCRIPT_NUMBER_TEXT];
    char* out = dest->text && dest->capacity >= kPendingRoom ? dest->text : text;
    int length = src->pending == 'I' ? ScriptFormatInt(src->integer, out) : ScriptFormatDouble(src->number, out);
    if (out == text && SetText(dest, text, static_cast<size_t>(length)) != 0) return 10;
    dest->pending = 0;
  } else {
    const char* text = src->text ? src->text : "";
    if (SetText(dest, text, std::strlen(text)) != 0) return 10;
  }
  dest->numberKind = src->numberKind;
  dest->integer = src->integer;
  dest->number = src->number;
  return 0;
}

namespace {
// Variables whose text is not written yet, newest last.
std::vector<StrList*> unwritten;
}  // namespace

size_t unwrittenCount = 0;

int AssignVariable(StrList* var, StrList* src) {
  src = ValueTarget(src);
  if (var == src) return 0;
  if (!src->pending || !var->text || var->capacity < kPendingRoom) return CopyText(var, src);
  var->pending = src->pending;
  var->numberKind = src->numberKind;
  var->integer = src->integer;
  var->number = src->number;
  ListVariable(var);
  return 0;
}

void ListVariable(StrList* var) {
  if (var->listed) return;
  try {
    unwritten.push_back(var);
  } catch (...) {
    WritePending(var);  // no room to remember it: written now
    return;
  }
  var->listed = 1;
  unwrittenCount = unwritten.size();
}

void WriteVariables() {
  for (StrList* var : unwritten) {
    if (var->pending) WritePending(var);
    var->listed = 0;
  }
  unwritten.clear();
  unwrittenCount = 0;
}

void Unlist(StrList* node) {
  // Locals end in the order they were made, so the search is short.
  for (size_t i = unwritten.size(); i-- > 0;) {
    if (unwritten[i] == node) {
      unwritten[i] = unwritten.back();
      unwritten.pop_back();
      break;
    }
  }
  unwrittenCount = unwritten.size();
  node->listed = 0;
}

void FreeValues(StrList* first) {
  while (first) {
    StrList* next = first->next;
    if (first->listed) Unlist(first);
    FreeText(first);
    VFree(first);
    first = next;
  }
}

StrList* NewValueNode() {
  constexpr int32_t room = 256;
  auto* node = static_cast<StrList*>(VMalloc(sizeof(StrList) + kValueNameRoom + room));
  if (!node) return nullptr;
  *node = StrList{};
  node->name = reinterpret_cast<char*>(node + 1);
  node->name[0] = '\0';
  node->inlineText = node->name + kValueNameRoom;
  node->inlineCapacity = room;
  node->text = node->inlineText;
  node->capacity = room;
  node->text[0] = '\0';
  return node;
}

}  // namespace script_internal

int32_t ScriptValueInt(StrList* node) {
  if (!node) return -1;
  return ValueInt(node);
}

double ScriptValueDouble(StrList* node) {
  if (!node) return -1.0;
  return ValueDouble(node);
}

const char* ScriptValueText(StrList* node) {
  if (!node) return "";
  node = ValueTarget(node);
  if (node->pending) WritePending(node);
  return node->text ? node->text : "";
}

int ScriptSetInt(StrList* node, int32_t value) {
  if (!node) return -1;
  char text[12];
  int length = ScriptFormatInt(value, text);
  StrList* target = ValueTarget(node);
  if (target == node) Retag(node, 'I');
  if (SetText(target, text, static_cast<size_t>(length)) != 0) return 10;
  target->numberKind = SCRIPT_NUM_INT;
  target->integer = value;
  target->number = value;
  return 0;
}

int ScriptSetDouble(StrList* node, double value) {
  if (!node) return -1;
  char text[SCRIPT_NUMBER_TEXT];
  int length = ScriptFormatDouble(value, text);
  StrList* target = ValueTarget(node);
  if (target == node) Retag(node, 'D');
  return SetText(target, text, static_cast<size_t>(length));
}

int ScriptCopyValue(StrList* dest, StrList* src) {
  if (!dest) return -1;
  dest = ValueTarget(dest);
  if (!src) return SetText(dest, "", 0);
  return CopyText(dest, src);
}

int ScriptAppendText(StrList* node, const char* text) {
  if (!node) return -1;
  StrList* target = ValueTarget(node);
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
