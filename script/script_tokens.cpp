// Compiler stages that work on text: splitting into lines and words, comments,
// and the tokeniser with its table.
#include <cstring>

#include "script/memory.h"
#include "script/script.h"
#include "script/script_internal.h"

// Binding follows the table order, group by group and row by row; the
// parser's folding walks it exactly so.
constexpr ScriptToken ScriptTokenTable[SCRIPT_TOKEN_GROUPS + 1][SCRIPT_TOKEN_ROWS + 1] = {
    {{"\"", 1, TOK_DQUOTE, 0, 0, 0}, {"'", 1, TOK_SQUOTE, 0, 0, 0}, {"`", 1, TOK_BQUOTE, 0, 0, 0}},
    {{"{", 1, TOK_LBRACE, 10, 0, 0},
     {"}", 1, TOK_RBRACE, 10, 0, 0},
     {"(", 1, TOK_LPAREN, 10, 0, 0},
     {")", 1, TOK_RPAREN, 10, 0, 0},
     {"[", 1, TOK_LBRACKET, 10, 0, 0},
     {"]", 1, TOK_RBRACKET, 10, 0, 0}},
    {{"/", 1, TOK_DIV, 30, 2, 0},
     {"*", 1, TOK_MUL, 30, 2, 0},
     {"+", 1, TOK_ADD, 30, 2, 0},
     {"-", 1, TOK_SUB, 30, 2, 0},
     {"<", 1, TOK_LT, 30, 2, 0},
     {"<=", 2, TOK_LE, 30, 2, 0},
     {">", 1, TOK_GT, 30, 2, 0},
     {">=", 2, TOK_GE, 30, 2, 0},
     {".", 1, TOK_CONCAT, 30, 2, 0},
     {"_eq_", 4, TOK_STREQ, 30, 2, 0},
     {"_ne_", 4, TOK_STRNE, 30, 2, 0},
     {"%", 1, TOK_MOD, 30, 2, 0}},
    {{"==", 2, TOK_EQ, 40, 2, 0}, {"!=", 2, TOK_NE, 40, 2, 0}},
    {{"~", 1, TOK_NOT_BITS, 20, 1, 0}, {"!", 1, TOK_NOT, 20, 1, 0}},
    {{"&&", 2, TOK_AND, 53, 2, 0}},
    {{"||", 2, TOK_OR, 54, 2, 0}},
    {{"&", 1, TOK_BITAND, 50, 2, 0}},
    {{"|", 1, TOK_BITOR, 51, 2, 0}},
    {{"^", 1, TOK_BITXOR, 52, 2, 0}},
    {{",", 1, TOK_COMMA, 90, 0, 0}},
    {{"=", 1, TOK_ASSIGN, 91, -1, 0}},
    {{"if", 2, TOK_IF, 100, -2, 1},
     {"else", 4, TOK_ELSE, 100, -2, 1},
     {"for", 3, TOK_FOR, 100, -2, 1},
     {"while", 5, TOK_WHILE, 100, -2, 1},
     {"next", 4, TOK_NEXT, 100, -2, 1},
     {"last", 4, TOK_LAST, 100, -2, 1},
     {"end", 3, TOK_END, 100, -2, 1},
     {"return", 6, TOK_RETURN, 100, -2, 1}},
    {{"sub", 3, TOK_SUB_DEF, 110, 0, 1}, {"my", 2, TOK_MY, 110, 0, 1}},
    {{";", 1, TOK_SEMICOLON, 200, 0, 0}},
    {},
};

namespace {

constexpr int RowsIn(int group) {
  int n = 0;
  while (ScriptTokenTable[group][n].text) ++n;
  return n;
}

constexpr bool LengthsMatch() {
  for (int g = 0; g < SCRIPT_TOKEN_GROUPS; ++g)
    for (int r = 0; ScriptTokenTable[g][r].text; ++r) {
      int n = 0;
      while (ScriptTokenTable[g][r].text[n]) ++n;
      if (n != ScriptTokenTable[g][r].length) return false;
    }
  return true;
}

}  // namespace

// Binding is the table order, so the order is part of the language.
static_assert(RowsIn(SCRIPT_TOKEN_GROUPS) == 0 && RowsIn(SCRIPT_TOKEN_GROUPS - 1) == 1, "15 groups, ';' last");
static_assert(RowsIn(2) == 12 && ScriptTokenTable[2][0].code == TOK_DIV && ScriptTokenTable[2][1].code == TOK_MUL &&
                  ScriptTokenTable[2][2].code == TOK_ADD && ScriptTokenTable[2][3].code == TOK_SUB &&
                  ScriptTokenTable[2][4].code == TOK_LT && ScriptTokenTable[2][8].code == TOK_CONCAT &&
                  ScriptTokenTable[2][11].code == TOK_MOD,
              "arithmetic rows: / * + - < <= > >= . _eq_ _ne_ %");
static_assert(ScriptTokenTable[3][0].code == TOK_EQ && ScriptTokenTable[4][1].code == TOK_NOT &&
                  ScriptTokenTable[5][0].code == TOK_AND && ScriptTokenTable[6][0].code == TOK_OR &&
                  ScriptTokenTable[7][0].code == TOK_BITAND && ScriptTokenTable[8][0].code == TOK_BITOR &&
                  ScriptTokenTable[9][0].code == TOK_BITXOR && ScriptTokenTable[10][0].code == TOK_COMMA &&
                  ScriptTokenTable[11][0].code == TOK_ASSIGN && ScriptTokenTable[12][0].code == TOK_IF &&
                  ScriptTokenTable[13][0].code == TOK_SUB_DEF,
              "then groups: == !=, ~ !, &&, ||, &, |, ^, comma, =, statement keywords, sub my");
static_assert(LengthsMatch(), "every row's length is its text's");
static_assert(RowsIn(1) == 6 && RowsIn(12) == 8 && RowsIn(13) == 2);

// The codes of the table are tied to the node kinds that the stages test.
static_assert((TOK_DQUOTE & 15) + NODE_STRING == 16 && (TOK_BQUOTE & 15) + NODE_STRING == 18);
static_assert(TOK_LBRACE + 2 == TOK_LPAREN && TOK_LPAREN + 2 == TOK_LBRACKET);
static_assert(static_cast<int>(TOK_SEMICOLON) == static_cast<int>(NODE_STATEMENT_END));

namespace script_internal {

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF); }

// A lead byte takes whatever byte follows it, except the end of the text.
int PairLength(const char* p) { return IsLeadByte(static_cast<unsigned char>(p[0])) && p[1] ? 2 : 1; }

ScriptNode* NewNode(char* text, int32_t line, int32_t column, int32_t kind, char** lines) {
  auto* node = static_cast<ScriptNode*>(VMalloc(sizeof(ScriptNode)));
  if (!node) return nullptr;
  *node = ScriptNode{};
  node->text = text;
  node->line = line;
  node->column = column;
  node->kind = kind;
  node->lines = lines;
  return node;
}

void InsertAfter(ScriptNode* at, ScriptNode* node) {
  node->prev = at;
  node->next = at->next;
  if (at->next) at->next->prev = node;
  at->next = node;
}

void Position(const ScriptNode* node, const char* at, int32_t* line, int32_t* column) {
  PositionFrom(node->text, node->line, node->column, at, line, column);
}

void PositionFrom(const char* start, int32_t startLine, int32_t startColumn, const char* at,
                  int32_t* line, int32_t* column) {
  int32_t l = startLine, c = startColumn;
  for (const char* p = start; p < at; ++p) {
    if (*p == '\n') {
      ++l;
      c = 0;
    } else {
      ++c;
    }
  }
  *line = l;
  *column = c;
}

void SetError(ScriptError* error, const ScriptNode* node) {
  if (!error || !node) return;
  SetErrorAt(error, node->line, node->column, node->kind, node->text, node->lines);
}

void SetErrorAt(ScriptError* error, int32_t line, int32_t column, int32_t kind, const char* text,
                char** lines) {
  if (!error) return;
  error->line = line;
  error->column = column;
  error->kind = kind;
  error->text = text ? text : "";
  error->lineText.clear();
  if (lines && line >= 0) {
    for (int32_t i = 0; lines[i]; ++i) {
      if (i == line) {
        error->lineText = lines[i];
        break;
      }
    }
  }
}

}  // namespace script_internal

using namespace script_internal;

namespace {

bool IsSeparator(unsigned char c, int mask) {
  return ((mask & SCRIPT_SPLIT_BLANK) && c == ' ') || ((mask & SCRIPT_SPLIT_TAB) && c == '\t') ||
         ((mask & SCRIPT_SPLIT_NEWLINE) && c == '\n') || ((mask & SCRIPT_SPLIT_RETURN) && c == '\r');
}

bool IsQuote(char c) { return c == '"' || c == '\'' || c == '`'; }

bool IsWordByte(unsigned char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// What a byte is to SplitNode: the separator bits it matches, or kSpecial.
constexpr uint8_t kSpecial = 0x10;
struct ByteClasses {
  uint8_t of[256];
  constexpr ByteClasses() : of{} {
    of[static_cast<unsigned char>(' ')] = SCRIPT_SPLIT_BLANK;
    of[static_cast<unsigned char>('\t')] = SCRIPT_SPLIT_TAB;
    of[static_cast<unsigned char>('\n')] = SCRIPT_SPLIT_NEWLINE;
    of[static_cast<unsigned char>('\r')] = SCRIPT_SPLIT_RETURN;
    of[0] = of[static_cast<unsigned char>('"')] = of[static_cast<unsigned char>('\'')] =
        of[static_cast<unsigned char>('`')] = kSpecial;
    for (int c = 0x81; c <= 0x9F; ++c) of[c] = kSpecial;
    for (int c = 0xE0; c <= 0xEF; ++c) of[c] = kSpecial;
  }
};
constexpr ByteClasses kByteClasses{};  // lead bytes as IsLeadByte tells them

// Splits one fragment into pieces. The node keeps the first piece; the others
// follow it as new fragments.
int SplitNode(ScriptNode* node, ScriptError* error, int mask) {
  char* p = node->text;
  int32_t line = node->line;
  int32_t column = node->column;  // column of p
  ScriptNode* last = node;
  bool first = true, inPiece = false;
  auto newline = [&]() {
    ++line;
    column = 0;
  };
  while (*p) {
    auto c = static_cast<unsigned char>(*p);
    if (IsSeparator(c, mask)) {
      *p++ = '\0';
      if (c == '\n') newline(); else ++column;
      inPiece = false;
      continue;
    }
    if (!inPiece) {
      if (first) {
        node->text = p;
        node->line = line;
        node->column = column;
        first = false;
      } else {
        ScriptNode* piece = NewNode(p, line, column, NODE_FRAGMENT, node->lines);
        if (!piece) return SCRIPT_NOMEM;
        InsertAfter(last, piece);
        last = piece;
      }
      inPiece = true;
    }
    if (IsQuote(static_cast<char>(c))) {
      // A quoted string keeps its separators; lines inside it still count.
      ++p, ++column;
      while (*p && *p != static_cast<char>(c)) {
        int step = (*p == '\\' && p[1]) ? 2 : PairLength(p);
        for (int i = 0; i < step; ++i, ++p) {
          if (*p == '\n') newline(); else ++column;
        }
      }
      if (!*p) {
        SetErrorAt(error, line, 0, node->kind, "", node->lines);
        return SCRIPT_ERR_EOF_STRING;
      }
      ++p, ++column;
      continue;
    }
    int step = PairLength(p);
    p += step;
    column += step;
    // Bytes that are no separator, quote, lead byte or end run on in the piece.
    while ((kByteClasses.of[static_cast<unsigned char>(*p)] & (mask | kSpecial)) == 0) ++p, ++column;
  }
  if (first) node->text = p;  // nothing but separators: an empty fragment
  return 0;
}

// Removes a node from its list and frees it (a fragment owns nothing else).
ScriptNode* Unlink(ScriptNode* node) {
  ScriptNode* next = node->next;
  if (node->prev) node->prev->next = next;
  if (next) next->prev = node->prev;
  VFree(node);
  return next;
}

// Rows of the token table by their first byte, in table order.
struct RowIndex {
  const ScriptToken* rows[256][8];
  int count[256];
  RowIndex() : rows{}, count{} {
    for (int g = 0; ScriptTokenTable[g][0].text; ++g)
      for (int r = 0; ScriptTokenTable[g][r].text; ++r) {
        auto c = static_cast<unsigned char>(ScriptTokenTable[g][r].text[0]);
        rows[c][count[c]++] = &ScriptTokenTable[g][r];
      }
  }
};

// The earliest match in the text; at one position the longest, then the first row.
const ScriptToken* FindToken(const char* text, const char** at) {
  static const RowIndex index;
  for (const char* p = text; *p; ++p) {
    auto c = static_cast<unsigned char>(*p);
    const ScriptToken* best = nullptr;
    for (int i = 0; i < index.count[c]; ++i) {
      const ScriptToken* row = index.rows[c][i];
      if (std::strncmp(p, row->text, static_cast<size_t>(row->length)) != 0) continue;
      if (row->keyword) {
        if (p > text && IsWordByte(static_cast<unsigned char>(p[-1]))) continue;
        if (IsWordByte(static_cast<unsigned char>(p[row->length]))) continue;
      }
      if (!best || row->length > best->length) best = row;
    }
    if (best) {
      *at = p;
      return best;
    }
  }
  return nullptr;
}

}  // namespace

int ScriptSplitText(ScriptNode* first, ScriptError* error, int separators) {
  for (ScriptNode* node = first; node;) {
    ScriptNode* after = node->next;
    if (node->kind == NODE_FRAGMENT) {
      int rc = SplitNode(node, error, separators);
      if (rc) return rc;
    }
    node = after;
  }
  return 0;
}

int ScriptStripComments(ScriptNode* first) {
  for (ScriptNode* node = first; node; node = node->next) {
    if (node->kind != NODE_FRAGMENT) continue;
    if (char* slash = std::strstr(node->text, "//")) *slash = '\0';
    if (char* hash = std::strchr(node->text, '#')) {
      int32_t line, column;
      Position(node, hash + 1, &line, &column);
      ScriptNode* prefix = NewNode(hash + 1, line, column, NODE_PREFIX_LINE, node->lines);
      if (!prefix) return SCRIPT_NOMEM;
      *hash = '\0';
      InsertAfter(node, prefix);
    }
    char* open = std::strstr(node->text, "/*");
    if (!open) continue;
    if (char* close = std::strstr(open + 2, "*/")) {
      int32_t line, column;
      Position(node, close + 2, &line, &column);
      ScriptNode* rest = NewNode(close + 2, line, column, NODE_FRAGMENT, node->lines);
      if (!rest) return SCRIPT_NOMEM;
      *open = '\0';
      InsertAfter(node, rest);
      continue;
    }
    *open = '\0';
    // The comment runs on over whole nodes (a prefix text that began inside
    // it included) until one holds its end, which keeps what follows.
    ScriptNode* next = node->next;
    while (next) {
      if (char* close = std::strstr(next->text, "*/")) {
        int32_t line, column;
        Position(next, close + 2, &line, &column);
        next->text = close + 2;
        next->line = line;
        next->column = column;
        next->kind = NODE_FRAGMENT;
        break;
      }
      next = Unlink(next);
    }
  }
  return 0;
}

int ScriptTokenize(ScriptNode* first, ScriptError* error) {
  for (ScriptNode* node = first; node; node = node->next) {
    if (node->kind != NODE_FRAGMENT || !node->text[0]) continue;
    char* text = node->text;
    const int32_t textLine = node->line, textColumn = node->column;
    const char* found = nullptr;
    const ScriptToken* row = FindToken(text, &found);
    if (!row) {
      node->kind = NODE_WORD;
      continue;
    }
    char* at = text + (found - text);
    char* rest = at + row->length;
    int32_t line, column;
    Position(node, at, &line, &column);
    ScriptNode* token = node;
    if (at > text) {
      token = NewNode(nullptr, line, column, 0, node->lines);
      if (!token) return SCRIPT_NOMEM;
      InsertAfter(node, token);
      node->kind = NODE_WORD;
    } else {
      token->line = line;
      token->column = column;
    }
    token->token = row;
    if (row->code == TOK_DQUOTE || row->code == TOK_SQUOTE || row->code == TOK_BQUOTE) {
      // Find the partner first: the content is copied before anything is cut.
      char* end = at + 1;
      size_t length = 0;
      while (*end && *end != *at) {
        int step = (*end == '\\' && end[1]) ? 2 : PairLength(end);
        length += (*end == '\\' && end[1]) ? 1 : static_cast<size_t>(step);
        end += step;
      }
      if (!*end) {
        SetErrorAt(error, line, 0, token->kind, "", node->lines);
        return SCRIPT_ERR_EOF_STRING;
      }
      auto* content = static_cast<char*>(VMalloc(length + 1));
      if (!content) return SCRIPT_NOMEM;
      char* out = content;
      for (char* p = at + 1; p < end;) {
        if (*p == '\\' && p[1]) {
          *out++ = p[1];
          p += 2;
        } else {
          int step = PairLength(p);
          for (int i = 0; i < step; ++i) *out++ = *p++;
        }
      }
      *out = '\0';
      token->text = content;
      token->flags |= NODE_OWNS_TEXT;
      token->kind = (row->code & 15) | NODE_STRING;
      rest = end + 1;
    } else {
      token->text = const_cast<char*>(row->text);  // table text: never written
      token->kind = row->code;
    }
    if (*rest) {
      int32_t restLine, restColumn;
      PositionFrom(text, textLine, textColumn, rest, &restLine, &restColumn);
      ScriptNode* more = NewNode(rest, restLine, restColumn, NODE_FRAGMENT, node->lines);
      if (!more) return SCRIPT_NOMEM;
      InsertAfter(token, more);
    }
    if (at > text) *at = '\0';
    node = token;  // the rest, if any, is tokenised next
  }
  return 0;
}
