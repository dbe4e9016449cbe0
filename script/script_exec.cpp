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
uint64_t stepBudget = UINT64_MAX;  // limits.maxSteps, or no limit for 0
// The step count at which a run next needs a look: the budget, or the step
// hook's next turn when that comes first. One compare a step covers both.
// A run of numbers counted in bulk keeps to the budget only: it may pass the
// hook's turn, and the hook then comes at the next step.
uint64_t stepLimit = UINT64_MAX;
uint64_t hookEvery = 0;
// Outside code can take long (a file written, the whole screen drawn): each
// handler's call brings the hook's next turn nearer by this many steps.
constexpr uint64_t kHandlerHookSteps = 64;
ScriptStepHook stepHook = nullptr;
void* stepHookUser = nullptr;
int levels = 0;                   // levels running now
StrList* returnValue = nullptr;   // the value of the "return" being carried out

// A call node remembers its registry entry while the registry keeps this stamp.
uint64_t registryStamp = 1;

// The running outside call gave locals that its own levels end (made at a
// depth below its own). Each level then ends as a level, in order, so that
// they end where their depth says; and a name read before one ended keeps
// its text.
bool givenLocalsEnd = false;
// Groups run inline, without a level's end, while fewer levels than this
// run: the depth limit, or none while given locals end with levels.
int inlineDepth = SCRIPT_DEFAULT_MAX_DEPTH;

void SetInlineDepth() { inlineDepth = givenLocalsEnd ? 0 : limits.maxDepth; }

// Value nodes of finished levels, kept for the next values of this run and
// given back when the outermost level ends: most values live for one
// operator, and this spares the allocator a block each time.
constexpr int kSpareLimit = 256;
constexpr int32_t kSpareRoom = 256;
StrList* spare = nullptr;
int spareCount = 0;

// A node that is not simply a spare as it stands: one whose text moved out
// of its block, or of another size, or one too many.
void KeepOrFree(StrList* node) {
  if (node->listed) Unlist(node);
  if (node->inlineCapacity != kSpareRoom || spareCount >= kSpareLimit) {
    FreeValues(node);
    return;
  }
  if (node->text != node->inlineText) {
    VFree(node->text);
    node->text = node->inlineText;
  }
  node->capacity = kSpareRoom;
  node->next = spare;
  spare = node;
  ++spareCount;
}

// Frees a chain of values or locals, keeping those whose own block has the
// usual room. (A spare's ref and depth are set again when it is taken.)
inline void Recycle(StrList* chain) {
  while (chain) {
    StrList* node = chain;
    chain = node->next;
    node->next = nullptr;
    if (node->inlineCapacity == kSpareRoom && node->text == node->inlineText && !node->listed &&
        spareCount < kSpareLimit) {
      node->next = spare;
      spare = node;
      ++spareCount;
    } else {
      KeepOrFree(node);
    }
  }
}

inline void FreeValue(StrList* value) { Recycle(value); }

inline StrList* TakeNode() {
  if (!spare) return NewValueNode();
  StrList* node = spare;
  spare = node->next;
  node->next = nullptr;
  --spareCount;
  return node;
}

// A new value at the top of the stack, its text not yet set. Its block has
// kSpareRoom bytes of text room.
inline StrList* PushNode(StrList** stack, char tag) {
  StrList* node = TakeNode();
  if (!node) return nullptr;
  node->name[0] = tag;
  node->name[1] = '\0';
  node->numberKind = 0;
  node->pending = 0;
  node->ref = nullptr;
  node->next = *stack;
  *stack = node;
  return node;
}

StrList* NewValue(StrList** stack, char tag, const char* text, size_t length) {
  if (length >= static_cast<size_t>(kSpareRoom)) {
    char name[2] = {tag, '\0'};
    return StrListPush(stack, name, text);
  }
  StrList* node = PushNode(stack, tag);
  if (node) std::memcpy(node->text, text, length + 1);
  return node;
}

int PushText(StrList** stack, const char* tag, const char* text) {
  return NewValue(stack, tag[0], text, std::strlen(text)) ? 0 : SCRIPT_NOMEM;
}

inline StrList* Pop(StrList** stack) {
  StrList* node = *stack;
  *stack = node->next;
  node->next = nullptr;
  return node;
}

// Under a step budget, reading or copying long texts costs steps too (one per
// 256 bytes), so that a loop over huge values ends as soon as one over many
// small ones. Without a budget nothing is measured. A buffer of 256 bytes
// or a number not yet written holds under 256 bytes, which cost nothing.
void ChargeText(StrList* value) {
  if (!limits.maxSteps || !value) return;
  value = ValueTarget(value);
  if (value->pending || !value->text || value->capacity <= 256) return;
  steps += std::strlen(value->text) >> 8;
}

bool IsRef(const StrList* value) { return value->name[0] == 'V' && value->ref; }

// A value as it leaves its level: a reference becomes a string copy; one
// that leaves the interpreter also has its text written.
int Settle(StrList* value, bool external) {
  if (IsRef(value)) {
    ChargeText(value);
    StrList* var = value->ref;
    value->ref = nullptr;
    value->name[0] = 'S';
    value->name[1] = '\0';
    return CopyText(value, var) == 0 ? 0 : SCRIPT_NOMEM;
  }
  if (external && value->pending) WritePending(value);
  return 0;
}

}  // namespace

namespace script_internal {

RunningStack* runningStacks = nullptr;

// Rare: only given locals that end, and nodes that built-ins free during a run, come here.
[[gnu::cold]] void DetachReferences(StrList* var) {
  for (RunningStack* s = runningStacks; s; s = s->outer) {
    for (StrList* value = *s->stack; value; value = value->next) {
      if (value->ref != var || !IsRef(value)) continue;
      value->ref = nullptr;
      value->name[0] = 'S';
      value->name[1] = '\0';
      if (CopyText(value, var) != 0) StrListSet(value, "");  // no room for a long text: in place
    }
  }
}

}  // namespace script_internal

namespace {

// A node for a result: an operand's own node when one holds a value of its own.
StrList* ResultNode(StrList** stack, StrList* left, StrList* right, char tag) {
  StrList* keep = !IsRef(left) ? left : (right && !IsRef(right) ? right : nullptr);
  if (keep != left) FreeValue(left);
  if (keep != right) FreeValue(right);
  if (!keep) return PushNode(stack, tag);
  keep->name[0] = tag;
  keep->name[1] = '\0';
  keep->next = *stack;
  *stack = keep;
  return keep;
}

int PushInt(StrList** stack, StrList* left, StrList* right, int32_t v) {
  StrList* node = ResultNode(stack, left, right, 'I');
  return node && SetIntValue(node, v) == 0 ? 0 : SCRIPT_NOMEM;
}

int PushDouble(StrList** stack, StrList* left, StrList* right, double v) {
  StrList* node = ResultNode(stack, left, right, 'D');
  return node && SetDoubleValue(node, v) == 0 ? 0 : SCRIPT_NOMEM;
}

// A constant's length and number, read once per node.
void ReadConstant(ScriptNode* node) {
  auto& c = node->cache.constant;
  if (!c.numberKind) {
    c.length = static_cast<int32_t>(std::strlen(node->text));
    int32_t i = 0;
    double d = 0.0;
    int kind = ScriptParseNumber(node->text, &i, &d);
    if (kind != SCRIPT_NUM_INT && kind != SCRIPT_NUM_FLOAT) {
      i = 0;
      d = 0.0;
    }
    c.number = d;
    c.numberKind = kind;
  }
}

// A constant's value: its text, with its number.
int PushConstant(StrList** stack, ScriptNode* node, char tag) {
  ReadConstant(node);
  const auto& c = node->cache.constant;
  StrList* value = NewValue(stack, tag, node->text, static_cast<size_t>(c.length));
  if (!value) return SCRIPT_NOMEM;
  value->numberKind = c.numberKind;
  value->integer = ScriptDoubleToInt(c.number);  // what the text reads as, either kind
  value->number = c.number;
  return 0;
}

int32_t Remainder(int32_t a, int32_t b) {
  if (b == 0 || (a == INT32_MIN && b == -1)) return 0;
  return a % b;
}

int Binary(int code, StrList** stack) {
  StrList* right = Pop(stack);
  StrList* left = Pop(stack);
  ChargeText(left);
  ChargeText(right);
  switch (code) {
    case TOK_CONCAT: {
      const char* add = ScriptValueText(right);
      if (!IsRef(left)) {
        left->next = *stack;
        *stack = left;
        int rc = ScriptAppendText(left, add);
        FreeValue(right);
        return rc == 0 ? 0 : SCRIPT_NOMEM;
      }
      StrList* joined = PushNode(stack, 'S');
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
      double a = ValueDouble(left), b = ValueDouble(right), v;
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
      return PushDouble(stack, left, right, Remainder(ValueInt(left), ValueInt(right)));
    case TOK_LT:
    case TOK_LE:
    case TOK_GT:
    case TOK_GE:
    case TOK_EQ:
    case TOK_NE: {
      double a = ValueDouble(left), b = ValueDouble(right);
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
      int32_t a = ValueInt(left), b = ValueInt(right), v;
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

int AssignTo(StrList** stack, StrList* var, StrList* right);

int Assign(StrList** stack, const ScriptNode* node, ScriptError* error) {
  StrList* left = Pop(stack);
  StrList* right = Pop(stack);
  ChargeText(right);
  if (!IsRef(left)) {
    FreeValue(left);
    FreeValue(right);
    SetError(error, node);
    return SCRIPT_ERR_CONSTANT;
  }
  StrList* var = left->ref;
  FreeValue(left);
  return AssignTo(stack, var, right);
}

// The variable takes the right value's text; the value of the assignment
// is that text.
int AssignTo(StrList** stack, StrList* var, StrList* right) {
  if (AssignVariable(var, right) != 0) {
    FreeValue(right);
    return SCRIPT_NOMEM;
  }
  if (!IsRef(right)) {
    // The right value already holds the new text.
    right->name[0] = 'S';
    right->name[1] = '\0';
    right->next = *stack;
    *stack = right;
    return 0;
  }
  FreeValue(right);
  StrList* copy = PushNode(stack, 'S');
  return copy && CopyText(copy, var) == 0 ? 0 : SCRIPT_NOMEM;
}

MacroEntry* FindEntry(MacroEntry* list, const char* name) {
  for (; list; list = list->next)
    if (list->name[0] == name[0] && std::strcmp(list->name, name) == 0) return list;
  return nullptr;
}

int Exec(ScriptNode* first, StrList** locals, StrList** args, StrList** result, ScriptError* error, int mode,
         int depth, bool external);

// Runs a sub's body or a handler with the given arguments (which it frees).
int Invoke(MacroEntry* entry, StrList* args, StrList** stack, ScriptError* error, int depth) {
  int rc;
  if (entry->body) {
    StrList* locals = nullptr;
    uint64_t caller = frameStamp;
    frameStamp = NewStamp();
    rc = Exec(entry->body, &locals, &args, stack, error, 0, depth + 1, false);
    Recycle(locals);
    ResumeFrame(caller);
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
    // A handler is outside code: every value and variable it can reach has its text.
    if (unwrittenCount) WriteVariables();
    for (StrList* value = args; value; value = value->next)
      if (value->pending) WritePending(value);
    for (StrList* value = *stack; value; value = value->next)
      if (value->pending) WritePending(value);
    rc = entry->handler(&args, stack);
    if (stepHook) stepLimit = stepLimit > steps + kHandlerHookSteps ? stepLimit - kHandlerHookSteps : steps;
  } else {
    rc = SCRIPT_ERR_UNDEFINED;
  }
  Recycle(args);
  return rc;
}

int Call(ScriptNode* node, StrList** locals, StrList** stack, ScriptError* error, int depth) {
  StrList* args = nullptr;
  const ScriptNode* group = node->children;
  int rc = Exec(group ? group->children : nullptr, locals, nullptr, &args, error, 1, depth + 1, false);
  if (rc) {
    Recycle(args);
    return rc;
  }
  auto& c = node->cache.found;
  MacroEntry* entry;
  if (c.target && c.stamp == registryStamp) {
    entry = static_cast<MacroEntry*>(c.target);
  } else {
    entry = FindEntry(MacroList, node->text);
    c.target = entry;
    c.stamp = registryStamp;
  }
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
  int rc = Exec(group->children, locals, nullptr, &value, error, 0, depth + 1, false);
  ChargeText(value);
  *truth = rc == 0 && ScriptValueDouble(value) != 0.0;
  Recycle(value);
  return rc;
}

void SetStepLimit() {
  stepLimit = stepBudget;
  if (stepHook && steps < stepBudget && stepBudget - steps > hookEvery) stepLimit = steps + hookEvery;
}

// The step count passed stepLimit: the budget ran out, or the hook is due.
[[gnu::noinline]] bool StepLimitPassed(const ScriptNode* node, ScriptError* error) {
  if (steps > stepBudget) {
    SetError(error, node);
    return false;
  }
  SetStepLimit();
  stepHook(stepHookUser);
  return true;
}

inline bool CountStep(const ScriptNode* node, ScriptError* error) {
  if (++steps <= stepLimit) return true;
  return StepLimitPassed(node, error);
}

int Loop(const ScriptNode* node, StrList** locals, ScriptError* error, int depth) {
  bool isFor = node->kind == NODE_FOR;
  const ScriptNode* cond = isFor ? node->children->next : node->children;
  const ScriptNode* step = isFor ? cond->next : nullptr;
  const ScriptNode* body = isFor ? step->next : cond->next;
  int rc = 0;
  if (isFor) {
    rc = Exec(node->children->children, locals, nullptr, nullptr, error, 0, depth + 1, false);
    if (rc) return rc;
  }
  for (;;) {
    if (!CountStep(node, error)) return SCRIPT_ERR_STEPS;
    bool truth;
    // "for (;;)" runs until "last", as its readers expect.
    rc = Condition(cond, locals, error, depth, isFor, &truth);
    if (rc) return rc;
    if (!truth) return 0;
    rc = body->children ? Exec(body->children, locals, nullptr, nullptr, error, 0, depth + 1, false) : 0;
    if (rc == 0) {
      if (isFor) {
        rc = Exec(step->children, locals, nullptr, nullptr, error, 0, depth + 1, false);
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
  bool removed = false;
  for (StrList** link = locals; *link;) {
    if ((*link)->depth >= depth) {
      StrList* node = *link;
      *link = node->next;
      node->next = nullptr;
      Recycle(node);
      removed = true;
    } else {
      link = &(*link)->next;
    }
  }
  if (removed) frameStamp = NewStamp();
}

// Before given locals end: the values of outer levels that name them keep
// their texts. (A local made in a run is named only by its own level and
// those inside it, which have ended.)
[[gnu::cold]] void DetachEndingLocals(StrList* locals, int depth) {
  for (; locals; locals = locals->next)
    if (locals->depth >= depth) DetachReferences(locals);
}

// A new local of the running call, with the empty text.
StrList* NewLocal(StrList** locals, const char* name, int depth) {
  size_t length = std::strlen(name);
  StrList* local = nullptr;
  if (length < kValueNameRoom) {
    local = TakeNode();
    if (local && static_cast<size_t>(local->inlineText - local->name) <= length) {
      Recycle(local);  // a block with a smaller name room
      local = nullptr;
    }
  }
  if (local) {
    std::memcpy(local->name, name, length + 1);
    local->text[0] = '\0';
    local->numberKind = 0;
    local->pending = 0;
    local->ref = nullptr;
    local->next = *locals;
    *locals = local;
  } else {
    local = StrListPush(locals, name, "");
    if (!local) return nullptr;
  }
  local->depth = depth;
  frameStamp = NewStamp();
  return local;
}

// A sub parameter: a local that takes the next argument's text (or the empty
// text when none is left). An argument value becomes the local itself when
// its block has room for the name, so its text is not copied.
int Declare(StrList** locals, const char* name, StrList* arg, int depth) {
  StrList* local = StrListFind(*locals, name);
  if (!local && arg && !IsRef(arg) && arg->inlineText &&
      static_cast<size_t>(arg->inlineText - arg->name) > std::strlen(name)) {
    std::strcpy(arg->name, name);
    if (arg->pending) ListVariable(arg);
    arg->depth = depth;
    arg->next = *locals;
    *locals = arg;
    frameStamp = NewStamp();
    return 0;
  }
  int rc = 0;
  if (!local) {
    local = NewLocal(locals, name, depth);
    if (!local) rc = SCRIPT_NOMEM;
  }
  if (local) {
    if (arg ? AssignVariable(local, arg) != 0 : StrListSet(local, "") != 0) rc = SCRIPT_NOMEM;
    local->depth = depth;
  }
  FreeValue(arg);
  return rc;
}

// The variable a name stands for: the local of the running call, else the
// global, else a new empty global. Kept at the node while it holds.
StrList* Resolve(ScriptNode* node, StrList** locals) {
  auto& c = node->cache.found;
  if (c.stamp == frameStamp) return static_cast<StrList*>(c.target);
  StrList* var = ScriptLookupVar(*locals, node->text);  // may add a global: a new stamp
  if (!var) return nullptr;
  c.target = var;
  c.stamp = frameStamp;
  return var;
}

// ---- groups that compute one number ----
// A group of one arithmetic, comparison or bit operator over names,
// constants and such groups (in parentheses or not) gives a number that no
// one else sees on its way up. It is computed without a value node per
// operand, with the steps, levels, variables and result of the general way.

bool IsNumberOperator(int32_t kind) {
  return (kind >= TOK_DIV && kind <= TOK_MOD && kind != TOK_CONCAT && kind != TOK_STREQ && kind != TOK_STRNE) ||
         kind == TOK_EQ || kind == TOK_NE || kind == TOK_BITAND || kind == TOK_BITOR || kind == TOK_BITXOR ||
         kind == TOK_AND || kind == TOK_OR;
}

// Classifying looks this many groups deep at most; deeper chains take the
// general way, which keeps to the depth limit.
constexpr int kClassifyDepth = 64;

void Classify(ScriptNode* group, int budget);

// Steps and levels of an operand (-1 steps: not a number operand).
void OperandShape(ScriptNode* node, int32_t* weight, int32_t* height, int budget) {
  *weight = 0;
  *height = 0;
  if (budget <= 0) {
    *weight = -1;
    return;
  }
  switch (node->kind) {
    case NODE_WORD:
      return;
    case NODE_INT:
    case NODE_FLOAT:
    case NODE_STRING:
    case NODE_STRING + 1:
    case NODE_STRING + 2:
      // A long text costs steps when read under a budget: the general way counts them.
      ReadConstant(node);
      if (node->cache.constant.length >= kSpareRoom) *weight = -1;
      return;
    case NODE_PAREN:
      // A level of its own around one operand.
      if (node->children && !node->children->next) {
        OperandShape(node->children, weight, height, budget - 1);
        if (*weight >= 0) {
          *weight += 1;
          *height += 1;
        }
        return;
      }
      *weight = -1;
      return;
    case NODE_FRAGMENT:
      if (node->flags & NODE_ONE_VALUE) {
        if (!node->cache.group.weight) Classify(node, budget - 1);
        *weight = node->cache.group.weight;
        *height = node->cache.group.height;
        return;
      }
      [[fallthrough]];
    default:
      *weight = -1;
  }
}

// Sets weight (the steps its children count) and height (the levels it
// nests, itself included), or weight -1.
void Classify(ScriptNode* group, int budget) {
  auto& c = group->cache.group;
  c.weight = -1;
  ScriptNode* a = group->children;
  if (group->kind != NODE_FRAGMENT || !(group->flags & NODE_ONE_VALUE) || !a || !a->next) return;
  ScriptNode* b = a->next;
  ScriptNode* op = b->next;
  int32_t weight = 0, height = 0;
  if (!op) {
    if (b->kind != TOK_NOT && b->kind != TOK_NOT_BITS) return;
    OperandShape(a, &weight, &height, budget);
    if (weight < 0) return;
    c.weight = 2 + weight;
  } else {
    if (op->next || !IsNumberOperator(op->kind)) return;
    int32_t weightB, heightB;
    OperandShape(a, &weight, &height, budget);
    OperandShape(b, &weightB, &heightB, budget);
    if (weight < 0 || weightB < 0) return;
    c.weight = 3 + weight + weightB;
    if (heightB > height) height = heightB;
  }
  c.height = 1 + height;
}

// The number that a value of this "%f" text reads as. false: its text is
// long enough to cost steps under a budget, which the general way counts.
bool ReadBack(double v, double* d, int32_t* i) {
  if (v >= -2147483648.0 && v <= 2147483647.0 && v == static_cast<double>(static_cast<int32_t>(v))) {
    *d = v;
    *i = static_cast<int32_t>(v);
    return true;
  }
  char text[SCRIPT_NUMBER_TEXT];
  if (ScriptFormatDouble(v, text) >= kSpareRoom && limits.maxSteps) return false;
  int kind = ScriptParseNumber(text, i, d);
  if (kind != SCRIPT_NUM_INT && kind != SCRIPT_NUM_FLOAT) {
    *i = 0;
    *d = 0.0;
  }
  return true;
}

bool GroupNumber(ScriptNode* group, StrList** locals, double* raw, bool* isDouble);

// An operand's number as the operator would read it. false: take the general way.
bool OperandNumber(ScriptNode* node, StrList** locals, double* d, int32_t* i) {
  switch (node->kind) {
    case NODE_WORD: {
      StrList* var = Resolve(node, locals);
      // A long text costs steps when read under a budget: the general way counts them.
      if (!var || (limits.maxSteps && var->text && var->capacity > kSpareRoom)) return false;
      if (!var->numberKind) ReadNumber(var);
      *d = var->number;
      *i = var->integer;
      return true;
    }
    case NODE_PAREN:
      return OperandNumber(node->children, locals, d, i);
    case NODE_FRAGMENT: {
      double v;
      bool isDouble;
      if (!GroupNumber(node, locals, &v, &isDouble)) return false;
      if (isDouble) return ReadBack(v, d, i);
      *d = v;
      *i = static_cast<int32_t>(v);
      return true;
    }
    default:
      *d = node->cache.constant.number;
      *i = ScriptDoubleToInt(*d);
      return true;
  }
}

// The group's result before its text is written: an "I" value (isDouble
// false, v whole) or a "D" value.
bool GroupNumber(ScriptNode* group, StrList** locals, double* raw, bool* isDouble) {
  ScriptNode* a = group->children;
  ScriptNode* op = a->next->next;
  double ad, bd;
  int32_t ai, bi;
  if (!OperandNumber(a, locals, &ad, &ai)) return false;
  *isDouble = false;
  if (!op) {
    *raw = a->next->kind == TOK_NOT ? (ai == 0) : ~ai;
    return true;
  }
  if (!OperandNumber(a->next, locals, &bd, &bi)) return false;
  switch (op->kind) {
    case TOK_ADD: *raw = ad + bd; *isDouble = true; return true;
    case TOK_SUB: *raw = ad - bd; *isDouble = true; return true;
    case TOK_MUL: *raw = ad * bd; *isDouble = true; return true;
    case TOK_DIV: *raw = bd == 0.0 ? 0.0 : ad / bd; *isDouble = true; return true;
    case TOK_MOD: *raw = Remainder(ai, bi); *isDouble = true; return true;
    case TOK_LT: *raw = ad < bd; return true;
    case TOK_LE: *raw = ad <= bd; return true;
    case TOK_GT: *raw = ad > bd; return true;
    case TOK_GE: *raw = ad >= bd; return true;
    case TOK_EQ: *raw = ad == bd; return true;
    case TOK_NE: *raw = ad != bd; return true;
    case TOK_BITAND: *raw = ai & bi; return true;
    case TOK_BITOR: *raw = ai | bi; return true;
    case TOK_BITXOR: *raw = ai ^ bi; return true;
    case TOK_AND: *raw = ai && bi; return true;
    default: *raw = ai || bi; return true;
  }
}

// Runs a number group whole when its steps and levels fit the limits, as
// the general way would without stopping. false: nothing was pushed, and
// the general way is to run it (names it created are found again).
bool TryNumberGroup(ScriptNode* group, StrList** locals, StrList** stack, int* rc) {
  auto& c = group->cache.group;
  if (!c.weight) Classify(group, kClassifyDepth);
  if (c.weight < 0 || levels + c.height > limits.maxDepth || steps + static_cast<uint64_t>(c.weight) > stepBudget)
    return false;
  double v;
  bool isDouble;
  if (!GroupNumber(group, locals, &v, &isDouble)) return false;
  steps += static_cast<uint64_t>(c.weight);
  StrList* value = PushNode(stack, isDouble ? 'D' : 'I');
  if (!value) {
    *rc = SCRIPT_NOMEM;
  } else {
    *rc = (isDouble ? SetDoubleValue(value, v) : SetIntValue(value, static_cast<int32_t>(v))) == 0 ? 0 : SCRIPT_NOMEM;
  }
  return true;
}

// A level that holds nothing but a number group, with a result list: its
// value goes there as the general way would leave it. false: nothing has
// happened but names created, and the general way is to run the level.
bool TryNumberLevel(ScriptNode* first, StrList** locals, StrList** result, int depth, bool external, int* rc) {
  if (first->next || first->kind != NODE_FRAGMENT || !(first->flags & NODE_ONE_VALUE)) return false;
  auto& c = first->cache.group;
  if (!c.weight) Classify(first, kClassifyDepth);
  // The level, its group and the group's own levels; the group's step and its children's.
  if (c.weight < 0 || levels + 1 + c.height > inlineDepth ||
      steps + 1 + static_cast<uint64_t>(c.weight) > stepBudget)
    return false;
  double v;
  bool isDouble;
  if (!GroupNumber(first, locals, &v, &isDouble)) return false;
  steps += 1 + static_cast<uint64_t>(c.weight);
  StrList* value = PushNode(result, isDouble ? 'D' : 'I');
  if (!value) {
    *rc = SCRIPT_NOMEM;
  } else {
    *rc = (isDouble ? SetDoubleValue(value, v) : SetIntValue(value, static_cast<int32_t>(v))) == 0 ? 0 : SCRIPT_NOMEM;
    if (!*rc && external && value->pending) WritePending(value);
  }
  if (*locals) EndLocals(locals, depth);
  return true;
}

// What running a node does, numbered densely so that dispatch is one jump.
enum Op : int32_t {
  OP_UNKNOWN, OP_DECLARED, OP_MY, OP_WORD, OP_INT, OP_FLOAT, OP_STRING, OP_STRING_SINGLE, OP_STRING_BACK,
  OP_ONE_VALUE_GROUP, OP_GROUP, OP_BLOCK, OP_NOTHING, OP_STATEMENT_END, OP_CALL, OP_PREFIX_LINE, OP_IF,
  OP_ELSE, OP_LOOP, OP_NEXT, OP_LAST, OP_END, OP_RETURN, OP_NOT, OP_ASSIGN, OP_BINARY, OP_CANNOT_RUN,
};

bool IsBinary(int32_t kind) {
  return (kind >= TOK_DIV && kind <= TOK_MOD) || kind == TOK_EQ || kind == TOK_NE || kind == TOK_BITAND ||
         kind == TOK_BITOR || kind == TOK_BITXOR || kind == TOK_AND || kind == TOK_OR;
}

int32_t OpOf(const ScriptNode* node) {
  switch (node->kind) {
    case NODE_DECLARED: return OP_DECLARED;
    case NODE_MY: return OP_MY;
    case NODE_WORD: return OP_WORD;
    case NODE_INT: return OP_INT;
    case NODE_FLOAT: return OP_FLOAT;
    case NODE_STRING: return OP_STRING;
    case NODE_STRING + 1: return OP_STRING_SINGLE;
    case NODE_STRING + 2: return OP_STRING_BACK;
    case NODE_FRAGMENT:
    case NODE_PAREN:
    case NODE_ASSIGN:
      if (node->kind == NODE_FRAGMENT && !node->children) return OP_NOTHING;
      return node->flags & NODE_ONE_VALUE ? OP_ONE_VALUE_GROUP : OP_GROUP;
    case NODE_BLOCK: return OP_BLOCK;
    case NODE_SUB:
    case TOK_COMMA: return OP_NOTHING;
    case NODE_STATEMENT_END: return OP_STATEMENT_END;
    case NODE_CALL: return OP_CALL;
    case NODE_PREFIX_LINE: return OP_PREFIX_LINE;
    case NODE_IF: return OP_IF;
    case NODE_ELSE: return OP_ELSE;
    case NODE_FOR:
    case NODE_WHILE: return OP_LOOP;
    case TOK_NEXT: return OP_NEXT;
    case TOK_LAST: return OP_LAST;
    case TOK_END: return OP_END;
    case TOK_RETURN: return OP_RETURN;
    case TOK_NOT_BITS:
    case TOK_NOT: return OP_NOT;
    case TOK_ASSIGN: return OP_ASSIGN;
    default: return IsBinary(node->kind) ? OP_BINARY : OP_CANNOT_RUN;
  }
}

int RunLevel(ScriptNode* first, StrList** locals, StrList** args, StrList** stack, ScriptError* error,
             int depth, const ScriptNode* stop = nullptr);

// "right name =" as a level of its own whose right side may give any number
// of values (a call): the level that Exec would run, without a value for
// the name. Its value goes to the stack.
int AssignLevel(ScriptNode* group, StrList** locals, StrList** stack, ScriptError* error, int depth) {
  ScriptNode* right = group->children;
  ScriptNode* name = right->next;
  if (levels >= limits.maxDepth) {
    SetError(error, right);
    return SCRIPT_ERR_DEPTH;
  }
  ++levels;
  StrList* own = nullptr;
  RunningStack frame = {&own, runningStacks};
  runningStacks = &frame;
  int rc = RunLevel(right, locals, nullptr, &own, error, depth, name);
  StrList* var = nullptr;
  if (!rc && !CountStep(name, error)) rc = SCRIPT_ERR_STEPS;
  if (!rc && !(var = Resolve(name, locals))) rc = SCRIPT_NOMEM;
  if (!rc && !CountStep(name->next, error)) rc = SCRIPT_ERR_STEPS;
  if (!rc && !own) {
    // Only the name's value would be there for "=".
    SetError(error, name->next);
    rc = SCRIPT_ERR_MISSING;
  }
  if (!rc) {
    StrList* value = Pop(&own);
    ChargeText(value);
    rc = AssignTo(&own, var, value);
  }
  if (!rc) {
    StrList* value = Pop(&own);
    value->next = *stack;
    *stack = value;
  }
  if (own) Recycle(own);
  runningStacks = frame.outer;
  if (*locals) {
    if (givenLocalsEnd) DetachEndingLocals(*locals, depth);
    EndLocals(locals, depth);
  }
  --levels;
  return rc;
}

// Runs the nodes from first up to stop (none: to the end of the list).
int RunLevel(ScriptNode* first, StrList** locals, StrList** args, StrList** stack, ScriptError* error,
             int depth, const ScriptNode* stop) {
  bool lastIf = false;
  for (ScriptNode* node = first; node != stop; node = node->next) {
    if (!CountStep(node, error)) return SCRIPT_ERR_STEPS;
    int rc = 0;
    int32_t op = node->op;
    if (op == OP_UNKNOWN) op = node->op = OpOf(node);
    switch (op) {
      case OP_DECLARED:
        rc = Declare(locals, node->text, args && *args ? Pop(args) : nullptr, depth);
        break;
      case OP_MY:
        // New locals shadow outer ones of the same name until this level ends.
        for (const ScriptNode* name = node->children; name; name = name->next)
          if (!NewLocal(locals, name->text, depth)) return SCRIPT_NOMEM;
        break;
      case OP_WORD: {
        StrList* var = Resolve(node, locals);
        if (!var) return SCRIPT_NOMEM;
        StrList* ref = PushNode(stack, 'V');
        if (!ref) return SCRIPT_NOMEM;
        ref->ref = var;
        ref->text[0] = '\0';
        break;
      }
      case OP_INT:
        rc = PushConstant(stack, node, 'I');
        break;
      case OP_FLOAT:
        rc = PushConstant(stack, node, 'D');
        break;
      case OP_STRING:
        rc = PushConstant(stack, node, 'S');
        break;
      case OP_STRING_SINGLE:
        rc = PushConstant(stack, node, 's');
        break;
      case OP_STRING_BACK:
        rc = PushConstant(stack, node, 'b');
        break;
      case OP_ONE_VALUE_GROUP:
        // Its operands and operator leave one value on this stack, as a
        // level of its own would. Past the depth limit, or when given
        // locals end with levels, it runs as a level (which stops at the limit).
        if (levels < inlineDepth) {
          if (node->kind == NODE_FRAGMENT && TryNumberGroup(node, locals, stack, &rc)) break;
          ++levels;
          if (node->kind == NODE_ASSIGN && node->children->next->kind == NODE_WORD) {
            // right, name, "=": the name needs no value of its own.
            ScriptNode* name = node->children->next;
            rc = RunLevel(node->children, locals, nullptr, stack, error, depth + 1, name);
            if (!rc && !CountStep(name, error)) rc = SCRIPT_ERR_STEPS;
            StrList* var = rc ? nullptr : Resolve(name, locals);
            if (!rc && !var) rc = SCRIPT_NOMEM;
            if (!rc && !CountStep(name->next, error)) rc = SCRIPT_ERR_STEPS;
            if (!rc) {
              StrList* right = Pop(stack);
              ChargeText(right);
              rc = AssignTo(stack, var, right);
            }
          } else {
            rc = RunLevel(node->children, locals, nullptr, stack, error, depth + 1);
          }
          --levels;
          break;
        }
        [[fallthrough]];
      case OP_GROUP:
        if (node->kind == NODE_ASSIGN && node->children->next->kind == NODE_WORD) {
          rc = AssignLevel(node, locals, stack, error, depth + 1);
          break;
        }
        rc = Exec(node->children, locals, nullptr, stack, error, 0, depth + 1, false);
        break;
      case OP_BLOCK:
        rc = Exec(node->children, locals, nullptr, nullptr, error, 0, depth + 1, false);
        break;
      case OP_NOTHING:
        break;
      case OP_STATEMENT_END:
        Recycle(*stack);
        *stack = nullptr;
        break;
      case OP_CALL:
        rc = Call(node, locals, stack, error, depth);
        break;
      case OP_PREFIX_LINE:
        rc = PrefixLine(node, stack, error, depth);
        break;
      case OP_IF: {
        rc = Condition(node->children, locals, error, depth, false, &lastIf);
        if (!rc && lastIf)
          rc = Exec(node->children->next->children, locals, nullptr, nullptr, error, 0, depth + 1, false);
        break;
      }
      case OP_ELSE: {
        if (lastIf) break;
        ScriptNode* branch = node->children;
        rc = branch->kind == NODE_BLOCK
                 ? Exec(branch->children, locals, nullptr, nullptr, error, 0, depth + 1, false)
                 : Exec(branch, locals, nullptr, nullptr, error, 0, depth + 1, false);
        break;
      }
      case OP_LOOP:
        rc = Loop(node, locals, error, depth);
        break;
      case OP_NEXT:
        return SCRIPT_NEXT;
      case OP_LAST:
        return SCRIPT_LAST;
      case OP_END:
        return SCRIPT_END;
      case OP_RETURN: {
        StrList* value = nullptr;
        rc = Exec(node->children, locals, nullptr, &value, error, 0, depth + 1, false);
        if (rc) {
          Recycle(value);
          return rc;
        }
        Recycle(returnValue);
        returnValue = value;
        return SCRIPT_RETURN;
      }
      case OP_NOT: {
        if (!*stack) {
          SetError(error, node);
          return SCRIPT_ERR_MISSING;
        }
        StrList* operand = Pop(stack);
        ChargeText(operand);
        int32_t v = ValueInt(operand);
        rc = PushInt(stack, operand, nullptr, node->kind == TOK_NOT ? (v == 0) : ~v);
        break;
      }
      case OP_ASSIGN:
        if (!*stack || !(*stack)->next) {
          SetError(error, node);
          return SCRIPT_ERR_MISSING;
        }
        rc = Assign(stack, node, error);
        break;
      case OP_BINARY:
        if (!*stack || !(*stack)->next) {
          SetError(error, node);
          return SCRIPT_ERR_MISSING;
        }
        rc = Binary(node->kind, stack);
        break;
      default:
        // Name forms and bracketed subs have no meaning when run.
        SetError(error, node);
        return SCRIPT_ERR_COMMAND;
    }
    if (rc) return rc;
  }
  return 0;
}

// One level: its own stack, whose top (mode 0) or every value (mode 1) goes
// to the result list. external: the result list leaves the interpreter.
int Exec(ScriptNode* first, StrList** locals, StrList** args, StrList** result, ScriptError* error, int mode,
         int depth, bool external) {
  // An empty level runs nothing, so it cannot recurse; any other one past the
  // limit stops with the position of what it would have run.
  if (levels >= limits.maxDepth && first) {
    SetError(error, first);
    return SCRIPT_ERR_DEPTH;
  }
  int rc = 0;
  if (result && first && locals && TryNumberLevel(first, locals, result, depth, external, &rc)) return rc;
  ++levels;
  StrList* ownLocals = nullptr;
  if (!locals) locals = &ownLocals;
  StrList* stack = nullptr;
  RunningStack frame = {&stack, runningStacks};
  runningStacks = &frame;
  rc = RunLevel(first, locals, args, &stack, error, depth);
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
      while (stack) {
        StrList* value = Pop(&stack);
        if (Settle(value, external) != 0) {
          Recycle(value);
          rc = SCRIPT_NOMEM;
          break;
        }
        value->next = *result;
        *result = value;
      }
    } else if (stack) {
      StrList* value = Pop(&stack);
      if (Settle(value, external) != 0) {
        Recycle(value);
        rc = SCRIPT_NOMEM;
      } else {
        value->next = *result;
        *result = value;
      }
    } else if (StrList* zero = NewValue(result, 'I', "0", 1)) {
      zero->numberKind = SCRIPT_NUM_INT;
      zero->integer = 0;
      zero->number = 0.0;
    } else {
      rc = SCRIPT_NOMEM;
    }
  }
  if (stack) Recycle(stack);
  runningStacks = frame.outer;
  if (*locals) {
    if (givenLocalsEnd) DetachEndingLocals(*locals, depth);
    EndLocals(locals, depth);
  }
  if (ownLocals) Recycle(ownLocals);
  --levels;
  return rc;
}

// A call from outside code. What it changes is put back when it ends, also
// when a built-in leaves it by an exception (the headless host's process exit
// does), so that the engine is whole for the next call; the values of the
// levels left so are lost.
class OutsideCall {
 public:
  // A call of its own: the locals given may have changed since they were last seen.
  OutsideCall()
      : caller_(frameStamp), levels_(levels), stacks_(runningStacks), localsEnd_(givenLocalsEnd) {
    frameStamp = NewStamp();
  }
  OutsideCall(const OutsideCall&) = delete;
  OutsideCall& operator=(const OutsideCall&) = delete;
  ~OutsideCall() {
    levels = levels_;
    runningStacks = stacks_;
    givenLocalsEnd = localsEnd_;
    SetInlineDepth();
    // The caller is outside code.
    if (unwrittenCount) WriteVariables();
    ResumeFrame(caller_);
    if (levels == 0) {
      Recycle(returnValue);
      returnValue = nullptr;
      FreeValues(spare);
      spare = nullptr;
      spareCount = 0;
    }
  }

 private:
  uint64_t caller_;
  int levels_;
  RunningStack* stacks_;
  bool localsEnd_;
};

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
  StrList* value = PushNode(stack, 'I');
  return value && SetIntValue(value, ScriptAtoi(ScriptValueText(*args))) == 0 ? 0 : SCRIPT_NOMEM;
}

int DoubleOf(StrList** args, StrList** stack) {
  if (!*args) return 0;
  StrList* value = PushNode(stack, 'F');
  return value && SetDoubleValue(value, ScriptAtof(ScriptValueText(*args))) == 0 ? 0 : SCRIPT_NOMEM;
}

}  // namespace

int ScriptExec(ScriptNode* first, StrList** locals, StrList** args, StrList** result, ScriptError* error,
               int mode, int depth) {
  if (levels == 0) {
    steps = 0;  // a new run gets the whole budget
    SetStepLimit();
    GlobalsChanged();  // the globals may have been changed in any way since the last run
  }
  OutsideCall call;
  givenLocalsEnd = false;
  for (StrList* local = locals ? *locals : nullptr; local && !givenLocalsEnd; local = local->next)
    givenLocalsEnd = local->depth > depth;
  SetInlineDepth();
  return Exec(first, locals, args, result, error, mode, depth, true);
}

// ---- limits and output ----

void ScriptSetLimits(const ScriptLimits& l) {
  limits = l;
  if (limits.maxDepth < 1) limits.maxDepth = 1;
  stepBudget = limits.maxSteps ? limits.maxSteps : UINT64_MAX;
  SetStepLimit();
  SetInlineDepth();
}

ScriptLimits ScriptGetLimits() { return limits; }

uint64_t ScriptStepsUsed() { return steps; }

void ScriptSetStepHook(uint64_t every, ScriptStepHook hook, void* user) {
  stepHook = every ? hook : nullptr;
  hookEvery = every;
  stepHookUser = user;
  SetStepLimit();
}

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
  ++registryStamp;  // the new entry may hide an older one of its name
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
  ++registryStamp;
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
  ++registryStamp;
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
