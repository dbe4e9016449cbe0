// The game's two readers of text tables, both through the package layer:
// ReadCsv turns a whole file into rows of fields, ReadPackLine reads a line.
#pragma once

#include <cstdint>

#include "dx/package.h"

// Rows of a CSV file: a null-terminated array of rows, each a null-terminated
// array of fields, each field its own heap string. An empty field is null, so a
// walk along a row stops at the first empty field; take columns by index with
// CsvColumn, which gives null for an empty or missing column. Null when the
// file cannot be opened.
//
// Lines: '#' at a line's start and empty lines are skipped; fields are
// separated by ','; blanks before a field are dropped, blanks after it kept; a
// '"' opens quoting anywhere in a field, and within quotes '""' is one '"' and
// commas and line ends are text. A last line without a line end is a row too.
char*** ReadCsv(const char* name);
// Frees every row and field of a ReadCsv result (empty fields included).
void FreeCsv(char*** rows);
// A row's field `index`; null when it is empty or the row is shorter.
const char* CsvColumn(char* const* row, int32_t index);

// One line into `buffer` (`size` bytes), terminated, without its LF and cut at
// its last CR. The result is the count of bytes read before the LF (CR
// included); a line longer than size - 1 bytes comes in pieces of size - 1. A
// last line without an LF is returned like any other; -1 only when the file
// has nothing more (the buffer then holds the empty text).
int32_t ReadPackLine(char* buffer, int32_t size, PkgFile* file);

// The scanner steps of ReadCsv over text[0, len): `pos` moves on.
void CsvSkipBlanks(int32_t& pos, const char* text, int32_t len);
void CsvSkipLineEnd(int32_t& pos, const char* text, int32_t len);
char* CsvReadField(int32_t& pos, const char* text, int32_t len);
