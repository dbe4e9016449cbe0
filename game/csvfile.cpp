#include "game/csvfile.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Every row array is preceded by its field count, so that FreeCsv and
// CsvColumn know where a row with empty (null) fields ends. Rows hold room for
// a multiple of 16 entries, all null past the fields.
struct RowHead {
  size_t fields;
  size_t capacity;
};
constexpr size_t kRowGrowth = 16;

RowHead* HeadOf(char* const* row) {
  return reinterpret_cast<RowHead*>(reinterpret_cast<char*>(const_cast<char**>(row)) - sizeof(RowHead));
}

char** MakeRow(const std::vector<char*>& fields) {
  size_t capacity = (fields.size() / kRowGrowth + 1) * kRowGrowth;  // always one null at least
  void* block = std::calloc(1, sizeof(RowHead) + capacity * sizeof(char*));
  if (!block) return nullptr;
  auto* head = static_cast<RowHead*>(block);
  head->fields = fields.size();
  head->capacity = capacity;
  auto** row = reinterpret_cast<char**>(head + 1);
  for (size_t i = 0; i < fields.size(); ++i) row[i] = fields[i];
  return row;
}

void FreeRow(char** row) {
  RowHead* head = HeadOf(row);
  for (size_t i = 0; i < head->fields; ++i) std::free(row[i]);
  std::free(head);
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

void CsvSkipBlanks(int32_t& pos, const char* text, int32_t len) {
  while (pos < len && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
}

void CsvSkipLineEnd(int32_t& pos, const char* text, int32_t len) {
  while (pos < len && !IsLineEnd(text[pos])) ++pos;
  if (pos < len && text[pos] == '\r') ++pos;
  else if (pos < len) {
    ++pos;
    return;
  }
  if (pos < len && text[pos] == '\n') ++pos;
}

namespace {

// A field as CsvReadField reads it; `failed` is set when it could not be stored.
char* ReadField(int32_t& pos, const char* text, int32_t len, bool& failed) {
  std::string field;
  bool quoted = false;
  while (pos < len) {
    char c = text[pos];
    if (quoted) {
      ++pos;
      if (c != '"') {
        field += c;
      } else if (pos < len && text[pos] == '"') {
        field += '"';
        ++pos;
      } else {
        quoted = false;
      }
    } else if (c == ',') {
      ++pos;
      break;
    } else if (IsLineEnd(c)) {
      break;
    } else {
      ++pos;
      if (c == '"') quoted = true;
      else field += c;
    }
  }
  if (field.empty()) return nullptr;
  char* out = static_cast<char*>(std::malloc(field.size() + 1));
  if (!out) {
    failed = true;
    return nullptr;
  }
  std::memcpy(out, field.c_str(), field.size() + 1);
  return out;
}

}  // namespace

char* CsvReadField(int32_t& pos, const char* text, int32_t len) {
  bool failed = false;
  return ReadField(pos, text, len, failed);
}

char*** ReadCsv(const char* name) {
  PkgFile* f = PkgFileOpen(name, "rb");
  if (!f) return nullptr;
  int32_t size = PkgFileSize(f);
  std::vector<char> text(static_cast<size_t>(size > 0 ? size : 0));
  int32_t len = 0;
  while (len < size) {
    int32_t got = PkgFileRead(f, text.data() + len, size - len);
    if (got <= 0) break;
    len += got;
  }
  PkgFileClose(f);

  std::vector<char**> rows;
  std::vector<char*> fields;
  bool failed = false;
  auto end_row = [&] {
    char** row = MakeRow(fields);
    if (!row) {
      for (char* s : fields) std::free(s);
      failed = true;
    } else {
      rows.push_back(row);
    }
    fields.clear();
  };
  const char* t = text.data();
  int32_t p = 0;
  while (p < len && !failed) {
    CsvSkipBlanks(p, t, len);
    if (p >= len) break;
    if (fields.empty() && (IsLineEnd(t[p]) || t[p] == '#')) {
      CsvSkipLineEnd(p, t, len);
      continue;
    }
    fields.push_back(ReadField(p, t, len, failed));
    if (p < len && IsLineEnd(t[p])) {
      end_row();
      CsvSkipLineEnd(p, t, len);
    }
  }
  if (!fields.empty() && !failed) end_row();
  auto*** out = failed ? nullptr : static_cast<char***>(std::calloc(rows.size() + 1, sizeof(char**)));
  if (!out) {
    for (char* s : fields) std::free(s);
    for (char** r : rows) FreeRow(r);
    return nullptr;
  }
  for (size_t i = 0; i < rows.size(); ++i) out[i] = rows[i];
  return out;
}

void FreeCsv(char*** rows) {
  if (!rows) return;
  for (char*** r = rows; *r; ++r) FreeRow(*r);
  std::free(rows);
}

const char* CsvColumn(char* const* row, int32_t index) {
  if (!row || index < 0 || static_cast<size_t>(index) >= HeadOf(row)->fields) return nullptr;
  return row[index];
}

int32_t ReadPackLine(char* buffer, int32_t size, PkgFile* file) {
  if (!buffer || size <= 0) return -1;
  buffer[0] = '\0';
  if (size < 2 || !file) return -1;  // no room for a single byte of a line
  int32_t n = 0;
  bool line_end = false;
  while (n < size - 1) {
    char c;
    if (PkgFileRead(file, &c, 1) != 1) break;
    if (c == '\n') {
      line_end = true;
      break;
    }
    buffer[n++] = c;
  }
  buffer[n] = '\0';
  // A CR LF line end, and anything after a stray CR, is dropped.
  if (void* cr = memrchr(buffer, '\r', static_cast<size_t>(n))) *static_cast<char*>(cr) = '\0';
  if (n == 0 && !line_end) return -1;
  return n;
}
