// The interpreter: a tree walker with one evaluation stack of StrList values
// per level, the registry of built-ins and subs, and the engine's messages.
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "script/memory.h"
#include "script/script.h"
#include "script/script_internal.h"

using namespace script_internal;

MacroEntry* MacroList = nullptr;
MacroEntry* MacroPrefixList = nullptr;

namespace {

ScriptOutputSink outputSink = nullptr;
void* outputUser = nullptr;

ScriptLimits limits = {0, SCRIPT_DEFAULT_MAX_DEPTH};
uint64_t steps = 0;
int levels = 0;                   // ScriptExec levels running now
StrList* returnValue = nullptr;   // the value of the "return" being carried out

// Value nodes of finished levels, kept for the next values of this run and
// given back when the outermost level ends: most values live for one
// operator, and this spares the allocator a block each time.
constexpr int kSpareLimit = 256;
constexpr int32_t kSpareRoom = 256;
StrList* spare = nullptr;
int spareCount = 0;

// Frees a chain of values, keeping those whose own block has the usual room.
void Recycle(StrList* chain) {
  while (chain) {
    StrList* node = chain;
    chain = node->next;
    node->next = nullptr;
    if (node->inlineCapacity != kSpareRoom || spareCount >= kSpareLimit) {
      StrListFree(node);
      continue;
    }
    if (node->text && node->text != node->inlineText) VFree(node->text);
    node->text = node->inlineText;
    node->capacity = kSpareRoom;
    node->ref = nullptr;
    node->depth = 0;
    node->next = spare;
    spare = node;
    ++spareCount;
  }
}

// A new value at the top of the stack: a spare node when the text fits one.
StrList* NewValue(StrList** stack, char tag, const char* text) {
  size_t length = std::strlen(text);
  if (!spare || length >= static_cast<size_t>(kSpareRoom)) {
    char name[2] = {tag, '\0'};
    return StrListPush(stack, name, text);
  }
  StrList* node = spare;
  spare = node->next;
  --spareCount;
  node->name[0] = tag;
  node->name[1] = '\0';
  std::memcpy(node->text, text, length + 1);
  node->next = *stack;
  *stack = node;
  return node;
}

// Under a step budget, reading or copying long texts costs steps too (one per
// 256 bytes), so that a loop over huge values ends as soon as one over many
// small ones. Without a budget nothing is measured.
void ChargeText(const StrList* value) {
  if (limits.maxSteps && value) steps += std::strlen(ScriptValueText(const_cast<StrList*>(value))) >> 8;
}

bool IsRef(const StrList* value) { return value->name[0] == 'V' && value->ref; }

// A node that holds a value of its own, so it can carry a result instead.
bool Reusable(const StrList* value) { return !IsRef(value); }

// A value as it leaves its level: a reference becomes a string copy.
int Settle(StrList* value) {
  if (!IsRef(value)) return 0;
  ChargeText(value);
  const char* text = value->ref && value->ref->text ? value->ref->text : "";
  if (StrListSet(value, text) != 0) return SCRIPT_NOMEM;
  value->name[0] = 'S';
  value->name[1] = '\0';
  value->ref = nullptr;
  return 0;
}

int PushText(StrList** stack, const char* tag, const char* text) {
  return NewValue(stack, tag[0], text) ? 0 : SCRIPT_NOMEM;
}

void FreeValue(StrList* value) { Recycle(value); }

// Pushes a result, reusing an operand's node when one holds a value of its own.
int PushResult(StrList** stack, StrList* left, StrList* right, char tag, const char* text) {
  StrList* keep = Reusable(left) ? left : (right && Reusable(right) ? right : nullptr);
  if (keep != left) FreeValue(left);
  if (keep != right) FreeValue(right);
  if (!keep) {
    char name[2] = {tag, '\0'};
    return PushText(stack, name, text);
  }
  keep->name[0] = tag;
  keep->name[1] = '\0';
  keep->next = *stack;
  *stack = keep;
  return StrListSet(keep, text) == 0 ? 0 : SCRIPT_NOMEM;
}

int PushInt(StrList** stack, StrList* left, StrList* right, int32_t v) {
  char text[12];
  ScriptFormatInt(v, text);
  return PushResult(stack, left, right, 'I', text);
}

int PushDouble(StrList** stack, StrList* left, StrList* right, double v) {
  char text[SCRIPT_NUMBER_TEXT];
  ScriptFormatDouble(v, text);
  return PushResult(stack, left, right, 'D', text);
}

int32_t Remainder(int32_t a, int32_t b) {
  if (b == 0 || (a == INT32_MIN && b == -1)) return 0;
  return a % b;
}

int Binary(int code, StrList** stack) {
  StrList* right = StrListPop(stack);
  StrList* left = StrListPop(stack);
  ChargeText(left);
  ChargeText(right);
  switch (code) {
    case TOK_CONCAT: {
      const char* add = ScriptValueText(right);
      if (Reusable(left)) {
        left->next = *stack;
        *stack = left;
        int rc = ScriptAppendText(left, add);
        FreeValue(right);
        return rc == 0 ? 0 : SCRIPT_NOMEM;
      }
      StrList* joined = StrListPush(stack, "S", nullptr);
      int rc = joined && StrListSetJoined(joined, ScriptValueText(left), add) == 0 ? 0 : SCRIPT_NOMEM;
      FreeValue(left);
      FreeValue(right);
      return rc;
    }
    case TOK_STREQ:
    case TOK_STRNE: {
      bool same = std::strcmp(ScriptValueText(left), ScriptValueText(right)) == 0;
      return PushInt(stack, left, right, (code == TOK_STREQ) == same ? 1 : 0);
    }
    case TOK_ADD:
    case TOK_SUB:
    case TOK_MUL:
    case TOK_DIV: {
      double a = ScriptValueDouble(left), b = ScriptValueDouble(right), v;
      if (code == TOK_ADD)
        v = a + b;
      else if (code == TOK_SUB)
        v = a - b;
      else if (code == TOK_MUL)
        v = a * b;
      else
        v = b == 0.0 ? 0.0 : a / b;  // no infinity or NaN from a division by zero
      return PushDouble(stack, left, right, v);
    }
    case TOK_MOD:
      return PushDouble(stack, left, right, Remainder(ScriptValueInt(left), ScriptValueInt(right)));
    case TOK_LT:
    case TOK_LE:
    case TOK_GT:
    case TOK_GE:
    case TOK_EQ:
    case TOK_NE: {
      double a = ScriptValueDouble(left), b = ScriptValueDouble(right);
      bool v = code == TOK_LT ? a < b
             : code == TOK_LE ? a <= b
             : code == TOK_GT ? a > b
             : code == TOK_GE ? a >= b
             : code == TOK_EQ ? a == b
                              : a != b;
      return PushInt(stack, left, right, v ? 1 : 0);
    }
    case TOK_BITAND:
    case TOK_BITOR:
    case TOK_BITXOR:
    case TOK_AND:
    case TOK_OR: {
      int32_t a = ScriptValueInt(left), b = ScriptValueInt(right), v;
      if (code == TOK_BITAND)
        v = a & b;
      else if (code == TOK_BITOR)
        v = a | b;
      else if (code == TOK_BITXOR)
        v = a ^ b;
      else if (code == TOK_AND)
        v = a && b;
      else
        v = a || b;
      return PushInt(stack, left, right, v);
    }
    default:
      FreeValue(left);
      FreeValue(right);
      return SCRIPT_ERR_COMMAND;
  }
}

int Assign(StrList** stack, const ScriptNode* node, ScriptError* error) {
  StrList* left = StrListPop(stack);
  StrList* right = StrListPop(stack);
  ChargeText(right);
  if (!IsRef(left)) {
    FreeValue(left);
    FreeValue(right);
    SetError(error, node);
    return SCRIPT_ERR_CONSTANT;
  }
  StrList* var = left->ref;
  FreeValue(left);
  if (StrListSet(var, ScriptValueText(right)) != 0) {
    FreeValue(right);
    return SCRIPT_NOMEM;
  }
  if (Reusable(right)) {
    // The right value already holds the new text.
    right->name[0] = 'S';
    right->name[1] = '\0';
    right->next = *stack;
    *stack = right;
    return 0;
  }
  FreeValue(right);
  return PushText(stack, "S", var->text ? var->text : "");
}

int StackSize(const StrList* stack, int enough) {
  int n = 0;
  for (; stack && n < enough; stack = stack->next) ++n;
  return n;
}

MacroEntry* FindEntry(MacroEntry* list, const char* name) {
  for (; list; list = list->next)
    if (list->name[0] == name[0] && std::strcmp(list->name, name) == 0) return list;
  return nullptr;
}

// Runs a sub's body or a handler with the given arguments (which it frees).
int Invoke(MacroEntry* entry, StrList* args, StrList** stack, ScriptError* error, int depth) {
  int rc;
  if (entry->body) {
    StrList* locals = nullptr;
    rc = ScriptExec(entry->body, &locals, &args, stack, error, 0, depth + 1);
    Recycle(locals);
    if (rc == SCRIPT_RETURN) {
      // "return expr" ends the sub; expr is the call's value.
      StrList* value = returnValue;
      returnValue = nullptr;
      if (value) {
        value->next = *stack;
        *stack = value;
      }
      rc = 0;
    } else if (rc == SCRIPT_LAST || rc == SCRIPT_NEXT) {
      // A "last" or "next" outside any loop ends the sub, not a loop of its caller.
      rc = PushText(stack, "I", "0");
    }
  } else if (entry->handler) {
    rc = entry->handler(&args, stack);
  } else {
    rc = SCRIPT_ERR_UNDEFINED;
  }
  Recycle(args);
  return rc;
}

int Call(const ScriptNode* node, StrList** locals, StrList** stack, ScriptError* error, int depth) {
  StrList* args = nullptr;
  const ScriptNode* group = node->children;
  int rc = ScriptExec(group ? group->children : nullptr, locals, nullptr, &args, error, 1, depth + 1);
  if (rc) {
    Recycle(args);
    return rc;
  }
  MacroEntry* entry = FindEntry(MacroList, node->text);
  if (!entry) {
    Recycle(args);
    SetError(error, node);
    return SCRIPT_ERR_UNDEFINED;
  }
  rc = Invoke(entry, args, stack, error, depth);
  // A sub's own errors carry their position; a built-in's stand at the call.
  if (rc < 0 && !entry->body) SetError(error, node);
  return rc;
}

int PrefixLine(const ScriptNode* node, StrList** stack, ScriptError* error, int depth) {
  for (MacroEntry* entry = MacroPrefixList; entry; entry = entry->next) {
    size_t n = std::strlen(entry->name);
    if (std::strncmp(node->text, entry->name, n) != 0) continue;
    StrList* args = nullptr;
    if (!StrListPush(&args, "S", node->text + n)) return SCRIPT_NOMEM;
    int rc = Invoke(entry, args, stack, error, depth);
    if (rc < 0 && !entry->body) SetError(error, node);
    return rc;
  }
  return 0;  // no registered prefix: the line is a note
}

// Whether a condition group's value is non-zero. With emptyIsTrue, a group
// with nothing in it is true (a "for" without its condition).
int Condition(const ScriptNode* group, StrList** locals, ScriptError* error, int depth, bool emptyIsTrue,
              bool* truth) {
  if (emptyIsTrue && !group->children) {
    *truth = true;
    return 0;
  }
  StrList* value = nullptr;
  int rc = ScriptExec(group->children, locals, nullptr, &value, error, 0, depth + 1);
  ChargeText(value);
  *truth = rc == 0 && ScriptValueDouble(value) != 0.0;
  Recycle(value);
  return rc;
}

bool CountStep(const ScriptNode* node, ScriptError* error) {
  ++steps;
  if (limits.maxSteps && steps > limits.maxSteps) {
    SetError(error, node);
    return false;
  }
  return true;
}

int Loop(const ScriptNode* node, StrList** locals, ScriptError* error, int depth) {
  bool isFor = node->kind == NODE_FOR;
  const ScriptNode* cond = isFor ? node->children->next : node->children;
  const ScriptNode* step = isFor ? cond->next : nullptr;
  const ScriptNode* body = isFor ? step->next : cond->next;
  int rc = 0;
  if (isFor) {
    rc = ScriptExec(node->children->children, locals, nullptr, nullptr, error, 0, depth + 1);
    if (rc) return rc;
  }
  for (;;) {
    if (!CountStep(node, error)) return SCRIPT_ERR_STEPS;
    bool truth;
    // "for (;;)" runs until "last", as its readers expect.
    rc = Condition(cond, locals, error, depth, isFor, &truth);
    if (rc) return rc;
    if (!truth) return 0;
    rc = body->children ? ScriptExec(body->children, locals, nullptr, nullptr, error, 0, depth + 1) : 0;
    if (rc == 0) {
      if (isFor) {
        rc = ScriptExec(step->children, locals, nullptr, nullptr, error, 0, depth + 1);
        if (rc) return rc;
      }
      continue;
    }
    if (rc == SCRIPT_NEXT) continue;  // in a "for" the step is not run for this pass
    if (rc == SCRIPT_LAST) return 0;
    return rc;
  }
}

// Frees the locals made at this depth or deeper.
void EndLocals(StrList** locals, int depth) {
  for (StrList** link = locals; *link;) {
    if ((*link)->depth >= depth) {
      StrList* node = *link;
      *link = node->next;
      node->next = nullptr;
      Recycle(node);
    } else {
      link = &(*link)->next;
    }
  }
}

int RunLevel(ScriptNode* first, StrList** locals, StrList** args, StrList** stack, ScriptError* error,
             int depth) {
  bool lastIf = false;
  for (ScriptNode* node = first; node; node = node->next) {
    if (!CountStep(node, error)) return SCRIPT_ERR_STEPS;
    int rc = 0;
    switch (node->kind) {
      case NODE_DECLARED: {
        StrList* arg = args ? StrListPop(args) : nullptr;
        StrList* local = StrListSetByName(locals, node->text, ScriptValueText(arg));
        FreeValue(arg);
        if (!local) return SCRIPT_NOMEM;
        local->depth = depth;
        break;
      }
      case NODE_MY:
        // New locals shadow outer ones of the same name until this level ends.
        for (const ScriptNode* name = node->children; name; name = name->next) {
          StrList* local = StrListPush(locals, name->text, "");
          if (!local) return SCRIPT_NOMEM;
          local->depth = depth;
        }
        break;
      case NODE_WORD: {
        StrList* var = ScriptLookupVar(*locals, node->text);
        StrList* ref = var ? NewValue(stack, 'V', "") : nullptr;
        if (!ref) return SCRIPT_NOMEM;
        ref->ref = var;
        break;
      }
      case NODE_INT:
        rc = PushText(stack, "I", node->text);
        break;
      case NODE_FLOAT:
        rc = PushText(stack, "D", node->text);
        break;
      case NODE_STRING:
        rc = PushText(stack, "S", node->text);
        break;
      case NODE_STRING + 1:
        rc = PushText(stack, "s", node->text);
        break;
      case NODE_STRING + 2:
        rc = PushText(stack, "b", node->text);
        break;
      case NODE_FRAGMENT:
      case NODE_PAREN:
      case NODE_ASSIGN:
        if (node->kind == NODE_FRAGMENT && !node->children) break;
        if (node->flags & NODE_ONE_VALUE) {
          // Its operands and operator leave one value on this stack, as a
          // level of its own would; still counted against the depth limit.
          if (levels >= limits.maxDepth) {
            SetError(error, node->children);
            return SCRIPT_ERR_DEPTH;
          }
          ++levels;
          rc = RunLevel(node->children, locals, nullptr, stack, error, depth + 1);
          --levels;
          break;
        }
        rc = ScriptExec(node->children, locals, nullptr, stack, error, 0, depth + 1);
        break;
      case NODE_BLOCK:
        rc = ScriptExec(node->children, locals, nullptr, nullptr, error, 0, depth + 1);
        break;
      case NODE_SUB:
      case TOK_COMMA:
        break;
      case NODE_STATEMENT_END:
        Recycle(*stack);
        *stack = nullptr;
        break;
      case NODE_CALL:
        rc = Call(node, locals, stack, error, depth);
        break;
      case NODE_PREFIX_LINE:
        rc = PrefixLine(node, stack, error, depth);
        break;
      case NODE_IF: {
        rc = Condition(node->children, locals, error, depth, false, &lastIf);
        if (!rc && lastIf)
          rc = ScriptExec(node->children->next->children, locals, nullptr, nullptr, error, 0, depth + 1);
        break;
      }
      case NODE_ELSE: {
        if (lastIf) break;
        ScriptNode* branch = node->children;
        rc = branch->kind == NODE_BLOCK
                 ? ScriptExec(branch->children, locals, nullptr, nullptr, error, 0, depth + 1)
                 : ScriptExec(branch, locals, nullptr, nullptr, error, 0, depth + 1);
        break;
      }
      case NODE_FOR:
      case NODE_WHILE:
        rc = Loop(node, locals, error, depth);
        break;
      case TOK_NEXT:
        return SCRIPT_NEXT;
      case TOK_LAST:
        return SCRIPT_LAST;
      case TOK_END:
        return SCRIPT_END;
      case TOK_RETURN: {
        StrList* value = nullptr;
        rc = ScriptExec(node->children, locals, nullptr, &value, error, 0, depth + 1);
        if (rc) {
          Recycle(value);
          return rc;
        }
        StrListFree(returnValue);
        returnValue = value;
        return SCRIPT_RETURN;
      }
      case TOK_NOT_BITS:
      case TOK_NOT: {
        if (!*stack) {
          SetError(error, node);
          return SCRIPT_ERR_MISSING;
        }
        StrList* operand = StrListPop(stack);
        ChargeText(operand);
        int32_t v = ScriptValueInt(operand);
        rc = PushInt(stack, operand, nullptr, node->kind == TOK_NOT ? (v == 0) : ~v);
        break;
      }
      case TOK_ASSIGN:
        if (StackSize(*stack, 2) < 2) {
          SetError(error, node);
          return SCRIPT_ERR_MISSING;
        }
        rc = Assign(stack, node, error);
        break;
      default:
        if ((node->kind >= TOK_DIV && node->kind <= TOK_MOD) || node->kind == TOK_EQ || node->kind == TOK_NE ||
            node->kind == TOK_BITAND || node->kind == TOK_BITOR || node->kind == TOK_BITXOR ||
            node->kind == TOK_AND || node->kind == TOK_OR) {
          if (StackSize(*stack, 2) < 2) {
            SetError(error, node);
            return SCRIPT_ERR_MISSING;
          }
          rc = Binary(node->kind, stack);
        } else {
          // Name forms and bracketed subs have no meaning when run.
          SetError(error, node);
          return SCRIPT_ERR_COMMAND;
        }
        break;
    }
    if (rc) return rc;
  }
  return 0;
}

int WriteLn(StrList** args, StrList**) {
  for (StrList* arg = *args; arg; arg = arg->next) {
    const char* text = ScriptValueText(arg);
    std::string line;
    line.reserve(std::strlen(text) + 3);
    line += '[';
    line += text;
    line += "]\n";
    ScriptOutput(line.data(), line.size());
  }
  return 0;
}

int IntOf(StrList** args, StrList** stack) {
  if (!*args) return 0;
  char text[12];
  ScriptFormatInt(ScriptAtoi(ScriptValueText(*args)), text);
  return PushText(stack, "I", text);
}

int DoubleOf(StrList** args, StrList** stack) {
  if (!*args) return 0;
  char text[SCRIPT_NUMBER_TEXT];
  ScriptFormatDouble(ScriptAtof(ScriptValueText(*args)), text);
  return PushText(stack, "F", text);
}

}  // namespace

int ScriptExec(ScriptNode* first, StrList** locals, StrList** args, StrList** result, ScriptError* error,
               int mode, int depth) {
  if (levels == 0) steps = 0;  // a new run gets the whole budget
  // An empty level runs nothing, so it cannot recurse; any other one past the
  // limit stops with the position of what it would have run.
  if (levels >= limits.maxDepth && first) {
    SetError(error, first);
    return SCRIPT_ERR_DEPTH;
  }
  ++levels;
  StrList* ownLocals = nullptr;
  if (!locals) locals = &ownLocals;
  StrList* stack = nullptr;
  int rc = RunLevel(first, locals, args, &stack, error, depth);
  if (depth == 0 && rc > 0 && (rc & 0x100)) {
    // "return" or a "last" outside any loop ends the script normally.
    if (rc == SCRIPT_RETURN && returnValue) {
      Recycle(stack);
      stack = returnValue;
      returnValue = nullptr;
    }
    rc = 0;
  }
  if (rc == 0 && result) {
    if (mode == 1) {
      // Every value, the first argument first.
      while (StrList* value = StrListPop(&stack)) {
        if (Settle(value) != 0) {
          Recycle(value);
          rc = SCRIPT_NOMEM;
          break;
        }
        value->next = *result;
        *result = value;
      }
    } else if (StrList* value = StrListPop(&stack)) {
      if (Settle(value) != 0) {
        Recycle(value);
        rc = SCRIPT_NOMEM;
      } else {
        value->next = *result;
        *result = value;
      }
    } else if (!NewValue(result, 'I', "0")) {
      rc = SCRIPT_NOMEM;
    }
  }
  Recycle(stack);
  EndLocals(locals, depth);
  Recycle(ownLocals);
  --levels;
  if (levels == 0) {
    StrListFree(returnValue);
    returnValue = nullptr;
    StrListFree(spare);
    spare = nullptr;
    spareCount = 0;
  }
  return rc;
}

// ---- limits and output ----

void ScriptSetLimits(const ScriptLimits& l) {
  limits = l;
  if (limits.maxDepth < 1) limits.maxDepth = 1;
}

ScriptLimits ScriptGetLimits() { return limits; }

uint64_t ScriptStepsUsed() { return steps; }

void ScriptSetOutput(ScriptOutputSink sink, void* user) {
  outputSink = sink;
  outputUser = user;
}

void ScriptOutput(const char* text, size_t length) {
  if (outputSink) {
    outputSink(text, length, outputUser);
    return;
  }
  std::fwrite(text, 1, length, stdout);
}

// ---- registry ----

int ScriptRegisterFunction(MacroEntry** list, const char* name, ScriptHandler handler, ScriptNode* body) {
  if (!list) return 1;
  auto* entry = static_cast<MacroEntry*>(VMalloc(sizeof(MacroEntry)));
  if (!entry) return 1;
  entry->name = VStrdup(name ? name : "");
  if (!entry->name) {
    VFree(entry);
    return 1;
  }
  entry->handler = handler;
  entry->body = body;
  entry->next = *list;
  *list = entry;
  return 0;
}

int ScriptFreeFunctions(MacroEntry* list) {
  while (list) {
    MacroEntry* next = list->next;
    VFree(list->name);
    VFree(list);
    list = next;
  }
  return 0;
}

int ScriptClearFunctions() {
  ScriptFreeFunctions(MacroList);
  ScriptFreeFunctions(MacroPrefixList);
  MacroList = MacroPrefixList = nullptr;
  return 0;
}

int ScriptRegisterOwn() {
  if (MacroList) {
    ScriptFreeFunctions(MacroList);
    MacroList = nullptr;
  }
  if (ScriptRegisterFunction(&MacroList, "writeln", WriteLn, nullptr) ||
      ScriptRegisterFunction(&MacroList, "int", IntOf, nullptr) ||
      ScriptRegisterFunction(&MacroList, "double", DoubleOf, nullptr))
    return 1;
  return 0;
}

int ScriptInitFunctions() { return ScriptRegisterOwn(); }

void ScriptUnregisterBody(const ScriptNode* body) {
  if (!body) return;
  for (MacroEntry** list : {&MacroList, &MacroPrefixList}) {
    for (MacroEntry** link = list; *link;) {
      if ((*link)->body == body) {
        MacroEntry* entry = *link;
        *link = entry->next;
        VFree(entry->name);
        VFree(entry);
      } else {
        link = &(*link)->next;
      }
    }
  }
}

// ---- messages ----

int ScriptErrorText(int code, const ScriptError* error, char* out, size_t size) {
  const char* format;
  switch (code) {
    case -14: format = "ERR(%02d) undefined function call; "; break;
    case -13: format = "ERR(%02d) Can't modify constant item ; "; break;
    case -12: format = "ERR(%02d) can't understand command; "; break;
    case -10: format = "ERR(%02d) memory over; "; break;
    case -9: format = "ERR(%02d) wrong constant figure; "; break;
    case -8: case -7: case -4: case -3: case -2: format = "ERR(%02d) Syntax error next char; "; break;
    case -1: format = "ERR(%02d) EOF in string; "; break;
    case 0: format = "NO ERROR\n"; break;
    case 1: format = "ERR(%02d) exit normal end\n"; break;
    case 2: case 4: case 5: case 6: format = "ERR(%02d) CodingError\n"; break;
    case 10: format = "ERR(%02d) Memory Over\n"; break;
    case 256: format = "ERR(%02d) Break stop\n"; break;
    default: format = "ERR(%02d) UnknownError\n"; break;
  }
  char head[64];
  std::snprintf(head, sizeof head, format, code < 0 ? 10 - code : code);
  std::string text = head;
  if (code < 0 && error) {
    std::snprintf(head, sizeof head, "line[%d]\n", error->line);
    text += head;
    text += "\t[";
    text += error->lineText;
    text += "]\n\t ";
    text.append(static_cast<size_t>(error->column > 0 ? error->column : 0), '-');
    text += "^\n";
  }
  if (out && size) {
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
  }
  return 0;
}

int ScriptWriteLog(const char* text) {
  static FILE* log = nullptr;
  if (!log) {
    std::remove("mist.log");
    log = std::fopen("mist.log", "w+");
    if (!log) return 1;
  }
  std::fprintf(log, "%s\n", text ? text : "");
  std::fflush(log);
  return 0;
}
