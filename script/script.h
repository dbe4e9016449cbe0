// script/: the event-script engine, a library of its own that includes
// nothing of the game: script_tokens (the token table), script_parse (the
// compiler that folds script text into a statement tree), script_exec (the
// tree walker), strlist (the values every script and built-in works with) and
// memory (its tracked allocator). The game fills MacroList with its built-ins
// (game/macro) and runs its events through this header.
//
// This header: the compiler, the tree walker, and the registry of built-in
// commands and script subs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "script/strlist.h"

// ---- tokens ----

struct ScriptToken {
  const char* text;
  int32_t length;
  int32_t code;
  int32_t precedence;  // carried for reference; binding follows the table order
  int32_t operands;    // 2, 1, 0, -1 for "=", -2 for statement keywords
  int32_t keyword;     // needs non-word bytes on both sides
};

constexpr int SCRIPT_TOKEN_GROUPS = 15;
constexpr int SCRIPT_TOKEN_ROWS = 20;
// One more group and one more row than used, so that both end on an empty entry.
extern const ScriptToken ScriptTokenTable[SCRIPT_TOKEN_GROUPS + 1][SCRIPT_TOKEN_ROWS + 1];

// Token codes (a node made from a token has kind = code, until it is parsed).
enum : int32_t {
  TOK_DQUOTE = 0x100, TOK_SQUOTE = 0x101, TOK_BQUOTE = 0x102,
  TOK_LBRACE = 0x110, TOK_RBRACE = 0x111, TOK_LPAREN = 0x112, TOK_RPAREN = 0x113,
  TOK_LBRACKET = 0x114, TOK_RBRACKET = 0x115,
  TOK_NOT_BITS = 0x200, TOK_NOT = 0x201,
  TOK_DIV = 0x210, TOK_MUL = 0x211, TOK_ADD = 0x212, TOK_SUB = 0x213,
  TOK_LT = 0x214, TOK_LE = 0x215, TOK_GT = 0x216, TOK_GE = 0x217,
  TOK_CONCAT = 0x218, TOK_STREQ = 0x219, TOK_STRNE = 0x21A, TOK_MOD = 0x21B,
  TOK_EQ = 0x220, TOK_NE = 0x221,
  TOK_BITAND = 0x230, TOK_BITOR = 0x240, TOK_BITXOR = 0x250,
  TOK_AND = 0x260, TOK_OR = 0x270,
  TOK_COMMA = 0x300, TOK_ASSIGN = 0x301,
  TOK_IF = 0x400, TOK_ELSE = 0x401, TOK_FOR = 0x402, TOK_WHILE = 0x403,
  TOK_NEXT = 0x404, TOK_LAST = 0x405, TOK_END = 0x406, TOK_RETURN = 0x407,
  TOK_SUB_DEF = 0x500, TOK_MY = 0x501,
  TOK_SEMICOLON = 0xFFFF,
};

// ---- nodes ----

enum : int32_t {
  NODE_FRAGMENT = 0,  // unclassified text; after parsing, an expression group
  NODE_WORD = 1,
  NODE_STRING = 16,   // 16, 17, 18 for ", ' and `
  NODE_BLOCK = 32, NODE_PAREN = 33, NODE_BRACKET = 34,
  NODE_ASSIGN = 40,
  NODE_NAME_BRACKET = 49, NODE_NAME_BLOCK = 50,
  NODE_INT = 64, NODE_FLOAT = 65,
  NODE_CALL = 80, NODE_CALL_BRACKET = 81,
  NODE_SUB = 96, NODE_SUB_BRACKET = 97,
  NODE_DECLARED = 128, NODE_MY = 129,
  NODE_IF = 144, NODE_ELSE = 145, NODE_FOR = 146, NODE_WHILE = 147,
  NODE_PREFIX_LINE = 0xFFFE,
  NODE_STATEMENT_END = 0xFFFF,
};

// Node flags.
constexpr int32_t NODE_FOLDED = 1;     // taken into an expression group
constexpr int32_t NODE_OWNS_TEXT = 2;  // text is a block of its own (literals, joined constants)
// An operator group whose operands each give exactly one value (names,
// constants, strings, groups, parentheses, assignments): it can be run on
// its parent's stack, with the same outcome as a level of its own.
constexpr int32_t NODE_ONE_VALUE = 4;

// What runs learnt about a node, kept for its next runs; which part is in
// use depends on the node's kind. It is no part of the tree's meaning.
struct ScriptNodeCache {
  union {
    // Names and calls: the variable or registry entry found, good while the
    // stamp is current (0: none yet).
    struct {
      void* target;
      uint64_t stamp;
    } found;
    // Constants: their number and length (numberKind 0: not read yet).
    struct {
      double number;
      int32_t numberKind;
      int32_t length;
    } constant;
    // Operator groups that only compute a number: the nodes they count as
    // steps and the levels they nest (weight 0: not yet known, -1: not such a group).
    struct {
      int32_t weight;
      int32_t height;
    } group;
  };
};

struct ScriptNode {
  ScriptNode* next;
  ScriptNode* prev;
  ScriptNode* children;
  const ScriptToken* token;
  int32_t line;
  char* text;
  char** lines;  // the compile's line table, shared by its nodes
  int32_t column;
  int32_t kind;
  int32_t flags;
  int32_t op;  // what running the node does, by kind (0: not yet known)
  ScriptNodeCache cache;
};

// Where the first error stands. It keeps its own copies, so it outlives the
// compile or run that filled it.
struct ScriptError {
  int32_t line = 0;
  int32_t column = 0;
  int32_t kind = 0;
  std::string text;      // the offending node's text
  std::string lineText;  // its source line, comments removed
};

// ---- result codes ----

enum : int {
  SCRIPT_OK = 0,
  SCRIPT_END = 1,          // "end"
  SCRIPT_UNCLASSIFIED = 7, // a fragment no stage could classify
  SCRIPT_NOMEM = 10,
  SCRIPT_LAST = 256,       // "last"
  SCRIPT_NEXT = 512,       // "next"
  SCRIPT_RETURN = 0x300,   // "return": bit 0x100 set, yet never taken for "last" or "next"
  SCRIPT_ERR_EOF_STRING = -1,
  SCRIPT_ERR_MISSING = -2,
  SCRIPT_ERR_OPERAND = -3,
  SCRIPT_ERR_ATTACH = -4,
  SCRIPT_ERR_NO_GROUP = -6,
  SCRIPT_ERR_ELSE = -7,
  SCRIPT_ERR_BRACKET = -8,
  SCRIPT_ERR_FIGURE = -9,
  SCRIPT_ERR_DEPTH = -10,       // nesting or call depth beyond the limit ("memory over")
  SCRIPT_ERR_STEPS = -11,       // the run used up its step budget
  SCRIPT_ERR_COMMAND = -12,
  SCRIPT_ERR_CONSTANT = -13,
  SCRIPT_ERR_UNDEFINED = -14,
};

// ---- compiler ----

// Compiles script text in place: the text must outlive the tree unchanged.
int ScriptCompile(char* text, ScriptNode** program, ScriptError* error);
int ScriptSplitText(ScriptNode* first, ScriptError* error, int separators);
int ScriptStripComments(ScriptNode* first);
int ScriptTokenize(ScriptNode* first, ScriptError* error);
int ScriptParse(ScriptNode** head, ScriptError* error);
int ScriptFreeProgram(ScriptNode* program);
int ScriptFreeNodes(ScriptNode* first);
void ScriptDumpTree(const ScriptNode* first, int indent);

// Separator bits of ScriptSplitText.
constexpr int SCRIPT_SPLIT_BLANK = 1;
constexpr int SCRIPT_SPLIT_TAB = 2;
constexpr int SCRIPT_SPLIT_NEWLINE = 4;
constexpr int SCRIPT_SPLIT_RETURN = 8;

// Deepest bracket nesting the compiler accepts.
constexpr int SCRIPT_MAX_NESTING = 200;

// ---- registry ----

using ScriptHandler = int (*)(StrList** args, StrList** stack);

struct MacroEntry {
  char* name;
  ScriptHandler handler;
  ScriptNode* body;
  MacroEntry* next;
};

extern MacroEntry* MacroList;
extern MacroEntry* MacroPrefixList;

int ScriptRegisterFunction(MacroEntry** list, const char* name, ScriptHandler handler, ScriptNode* body);
int ScriptFreeFunctions(MacroEntry* list);
int ScriptClearFunctions();
int ScriptRegisterOwn();
int ScriptInitFunctions();
// Drops the sub entries whose body is this node list (its tree is going away).
void ScriptUnregisterBody(const ScriptNode* body);

// ---- interpreter ----

// Runs a node list as one level. locals: the running call's locals (none: a
// fresh list); args: the argument chain that declared names take from;
// result: where the level's value goes -- mode 0 moves the top value (or
// "I" "0" when there is none), mode 1 moves every value, first one first;
// a variable leaves as an "S" copy of its text. depth 0 is the outermost
// level, where "return" and a "last" outside any loop end the run with 0.
// Each nested level runs one depth deeper and frees, as it ends, the locals
// made at its depth or deeper: so a local given at a depth beyond the call's
// own ends with the first such level, and values that named it keep its text.
int ScriptExec(ScriptNode* first, StrList** locals, StrList** args, StrList** result,
               ScriptError* error, int mode, int depth);

// Limits of a run. Steps count every node evaluated (0 = no limit); running
// out ends the run with SCRIPT_ERR_STEPS. Levels nested deeper than maxDepth
// (blocks, groups and sub calls) end it with SCRIPT_ERR_DEPTH.
struct ScriptLimits {
  uint64_t maxSteps;
  int maxDepth;
};
// A level takes well under a kilobyte of stack, so this stays far inside the
// main thread's 8 MB, sanitizers included; it allows recursion some hundreds
// of calls deep and expressions of thousands of operators.
constexpr int SCRIPT_DEFAULT_MAX_DEPTH = 4000;
void ScriptSetLimits(const ScriptLimits& limits);
ScriptLimits ScriptGetLimits();
// Steps used by the running or last run (each outermost run starts from 0).
uint64_t ScriptStepsUsed();
// Calls hook(user) once every `every` steps of a run (null or 0: never), so
// that the user can look at the outside world while a long script runs; a
// call of a built-in handler counts as 64 steps toward it, as outside code
// may take long. The run goes on unchanged when the hook returns.
using ScriptStepHook = void (*)(void* user);
void ScriptSetStepHook(uint64_t every, ScriptStepHook hook, void* user);

// Where writeln and ScriptDumpTree print: standard output unless a sink is set.
using ScriptOutputSink = void (*)(const char* text, size_t length, void* user);
void ScriptSetOutput(ScriptOutputSink sink, void* user);
void ScriptOutput(const char* text, size_t length);

// Writes the message for a result code into out (at most size bytes, always terminated).
int ScriptErrorText(int code, const ScriptError* error, char* out, size_t size);
int ScriptWriteLog(const char* text);
