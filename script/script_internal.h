// Helpers shared by the engine's stages; not part of its interface.
#pragma once

#include <cstdint>

#include "script/script.h"

namespace script_internal {

bool IsLeadByte(unsigned char c);
// 2 for a Shift-JIS lead byte with its trail byte, else 1.
int PairLength(const char* p);

ScriptNode* NewNode(char* text, int32_t line, int32_t column, int32_t kind, char** lines);
void InsertAfter(ScriptNode* at, ScriptNode* node);
// Line and column of a byte of the node's text (the text may span lines).
void Position(const ScriptNode* node, const char* at, int32_t* line, int32_t* column);
void PositionFrom(const char* start, int32_t startLine, int32_t startColumn, const char* at,
                  int32_t* line, int32_t* column);

void SetError(ScriptError* error, const ScriptNode* node);
void SetErrorAt(ScriptError* error, int32_t line, int32_t column, int32_t kind, const char* text,
                char** lines);

// ---- values (strlist.cpp) ----

// Stamps tell a cached name resolution from a stale one. One counter hands
// them out; globalsStamp changes whenever the global list may have gained,
// lost or reordered a node.
extern uint64_t stampCounter;
inline uint64_t NewStamp() { return ++stampCounter; }
// A name node remembers the variable it found while the running call keeps
// this stamp. Each call, each change to its locals and each change to the
// globals gives it a new one, so no call sees another's resolution.
extern uint64_t frameStamp;
extern uint64_t globalsStamp;  // when the globals last changed
inline void GlobalsChanged() { frameStamp = globalsStamp = NewStamp(); }
// Back in a suspended call: its stamp holds unless the globals changed since.
inline void ResumeFrame(uint64_t stamp) { frameStamp = globalsStamp > stamp ? NewStamp() : stamp; }

// A "V" value stands for its variable.
inline StrList* ValueTarget(StrList* node) {
  return node->ref && node->name && node->name[0] == 'V' ? node->ref : node;
}

// Fills the number cache from the text.
void ReadNumber(StrList* node);

inline double ValueDouble(StrList* node) {
  node = ValueTarget(node);
  if (!node->numberKind) ReadNumber(node);
  return node->number;
}

inline int32_t ValueInt(StrList* node) {
  node = ValueTarget(node);
  if (!node->numberKind) ReadNumber(node);
  return node->integer;
}

// A pending text is written only into a buffer that holds any number text
// of an integral value, so writing it never allocates.
constexpr int32_t kPendingRoom = 32;

// Gives the node the "%d" text of v, written when first read.
int SetIntValue(StrList* node, int32_t v);
// Gives the node the "%f" text of v; written at once unless v is whole.
int SetDoubleValue(StrList* node, double v);
// Writes a pending text out (values leaving the interpreter).
void WritePending(StrList* node);
// The destination takes a copy of the source's text and its number.
int CopyText(StrList* dest, StrList* src);
// A variable takes the value's text and number; a text not yet written
// stays so, and the variable goes on the list that WriteVariables writes.
int AssignVariable(StrList* var, StrList* src);
// Lists a variable whose text is pending (its buffer has kPendingRoom).
void ListVariable(StrList* var);
// Writes every listed variable's text (before outside code runs).
void WriteVariables();
extern size_t unwrittenCount;
// Takes a node that is about to be freed or reused off the list.
void Unlist(StrList* node);
// Frees a chain of value or local nodes: their lists are the interpreter's
// own, so no global stamp changes.
void FreeValues(StrList* first);
// The evaluation stacks of the running levels, innermost first. Their
// values may refer to variables, so a variable that goes away during a run
// first hands its text to them.
struct RunningStack {
  StrList** stack;
  RunningStack* outer;
};
extern RunningStack* runningStacks;
// Every value on a running stack that refers to the variable becomes a copy
// of its text, as a value leaving its level does.
void DetachReferences(StrList* var);
// A node for the interpreter: room for a name of up to kValueNameRoom - 1
// bytes (so that an argument can become a local in place) and a text of
// under 256 bytes.
constexpr size_t kValueNameRoom = 16;
StrList* NewValueNode();

}  // namespace script_internal
