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

}  // namespace script_internal
