// Compiler stages that work on node lists: constants, brackets and the folding
// of operators and statements into a tree; the compile driver; freeing and
// dumping trees.
#include <bitset>
#include <cstdio>
#include <cstring>
#include <vector>

#include "script/memory.h"
#include "script/script.h"
#include "script/script_internal.h"

using namespace script_internal;

namespace {

bool IsOperatorOrKeyword(const ScriptNode* node) { return (node->kind & 0xFF00) != 0; }

// Takes a node out of its list without freeing it.
void Detach(ScriptNode** head, ScriptNode* node) {
  if (node->prev)
    node->prev->next = node->next;
  else if (*head == node)
    *head = node->next;
  if (node->next) node->next->prev = node->prev;
  node->next = node->prev = nullptr;
}

// Frees one node that has been taken out of its list, with its subtree.
void FreeOne(ScriptNode* node) {
  node->next = nullptr;
  ScriptFreeNodes(node);
}

// Links the given nodes, in order, as a child list.
ScriptNode* MakeChildren(std::initializer_list<ScriptNode*> nodes) {
  ScriptNode* first = nullptr;
  ScriptNode* last = nullptr;
  for (ScriptNode* node : nodes) {
    if (!node) continue;
    node->prev = last;
    node->next = nullptr;
    if (last)
      last->next = node;
    else
      first = node;
    last = node;
  }
  return first;
}

ScriptNode* LastOf(ScriptNode* first) {
  while (first && first->next) first = first->next;
  return first;
}

void Append(ScriptNode** first, ScriptNode* list) {
  if (!list) return;
  if (!*first) {
    *first = list;
    list->prev = nullptr;
    return;
  }
  ScriptNode* last = LastOf(*first);
  last->next = list;
  list->prev = last;
}

int Fail(ScriptError* error, const ScriptNode* node, int code) {
  SetError(error, node);
  return code;
}

bool DigitsOnly(const char* text) {
  if (!*text) return false;
  for (; *text; ++text)
    if (*text < '0' || *text > '9') return false;
  return true;
}

int ParseList(ScriptNode** head, ScriptError* error, int nesting);

// constant := word that reads as a number, or integer "." digits
// group := "{" list "}" | "(" list ")" | "[" list "]"
int ConstantsAndBrackets(ScriptNode** head, ScriptError* error, int nesting) {
  for (ScriptNode* node = *head; node; node = node->next) {
    if (node->kind == NODE_WORD) {
      int number = ScriptParseNumber(node->text, nullptr, nullptr);
      if (number == SCRIPT_NUM_EMPTY) return Fail(error, node, SCRIPT_ERR_FIGURE);
      if (number == SCRIPT_NUM_FLOAT) node->kind = NODE_FLOAT;
      if (number != SCRIPT_NUM_INT) continue;
      node->kind = NODE_INT;
      ScriptNode* dot = node->next;
      ScriptNode* digits = dot ? dot->next : nullptr;
      if (dot && dot->kind == TOK_CONCAT && digits && digits->kind == NODE_WORD && DigitsOnly(digits->text)) {
        size_t a = std::strlen(node->text), b = std::strlen(digits->text);
        auto* joined = static_cast<char*>(VMalloc(a + b + 2));
        if (!joined) return SCRIPT_NOMEM;
        std::memcpy(joined, node->text, a);
        joined[a] = '.';
        std::memcpy(joined + a + 1, digits->text, b + 1);
        if (node->flags & NODE_OWNS_TEXT) VFree(node->text);
        node->text = joined;
        node->flags |= NODE_OWNS_TEXT;
        node->kind = NODE_FLOAT;
        Detach(head, dot);
        FreeOne(dot);
        Detach(head, digits);
        FreeOne(digits);
      }
      continue;
    }
    if (node->kind != TOK_LBRACE && node->kind != TOK_LPAREN && node->kind != TOK_LBRACKET) continue;
    int open = node->kind, close = open + 1, level = 0;
    ScriptNode* partner = node->next;
    for (; partner; partner = partner->next) {
      if (partner->kind == open) {
        ++level;
      } else if (partner->kind == close) {
        if (level == 0) break;
        --level;
      }
    }
    if (!partner) return Fail(error, node, SCRIPT_ERR_BRACKET);
    if (nesting >= SCRIPT_MAX_NESTING) return Fail(error, node, SCRIPT_ERR_DEPTH);
    if (node->next != partner) {
      ScriptNode* first = node->next;
      ScriptNode* last = partner->prev;
      first->prev = nullptr;
      last->next = nullptr;
      node->children = first;
      node->next = partner;
      partner->prev = node;
    }
    Detach(head, partner);
    FreeOne(partner);
    node->kind = NODE_BLOCK + (open - TOK_LBRACE) / 2;
    int rc = ParseList(&node->children, error, nesting + 1);
    if (rc) return rc;
  }
  return 0;
}

// names := { name | "," } -- every name becomes a declared name, commas go.
int DeclareNames(ScriptNode** list, ScriptError* error, const ScriptNode* at) {
  for (ScriptNode* node = *list; node;) {
    ScriptNode* next = node->next;
    if (node->kind == TOK_COMMA) {
      Detach(list, node);
      FreeOne(node);
    } else if (node->kind == NODE_WORD) {
      node->kind = NODE_DECLARED;
    } else {
      return Fail(error, node ? node : at, SCRIPT_ERR_MISSING);
    }
    node = next;
  }
  return 0;
}

// my := "my" "(" names ")"
int FoldMy(ScriptNode** head, ScriptNode* node, ScriptError* error) {
  ScriptNode* group = node->next;
  if (!group || group->kind != NODE_PAREN) return Fail(error, node, SCRIPT_ERR_MISSING);
  int rc = DeclareNames(&group->children, error, group);
  if (rc) return rc;
  Detach(head, group);
  node->children = group->children;
  group->children = nullptr;
  FreeOne(group);
  node->kind = NODE_MY;
  return 0;
}

// sub := "sub" name "(" names ")" "{" list "}" | "sub" name "[" "]" "(" names ")" "{" list "}"
int FoldSub(ScriptNode** head, ScriptNode* node, ScriptError* error) {
  ScriptNode* name = node->next;
  if (!name || name->kind != NODE_WORD) return Fail(error, node, SCRIPT_ERR_MISSING);
  ScriptNode* bracket = nullptr;
  ScriptNode* params = name->next;
  if (params && params->kind == NODE_BRACKET) {
    bracket = params;
    params = params->next;
  }
  ScriptNode* block = params ? params->next : nullptr;
  if (!params || params->kind != NODE_PAREN || !block || block->kind != NODE_BLOCK)
    return Fail(error, node, SCRIPT_ERR_MISSING);
  int rc = DeclareNames(&params->children, error, params);
  if (rc) return rc;
  node->text = name->text;
  Detach(head, name);
  FreeOne(name);
  if (bracket) Detach(head, bracket);
  Detach(head, params);
  Detach(head, block);
  // The body is the parameters and then the block's statements, so that the
  // sub's last value is the call's value.
  ScriptNode* body = MakeChildren({bracket});
  Append(&body, params->children);
  Append(&body, block->children);
  params->children = block->children = nullptr;
  FreeOne(params);
  FreeOne(block);
  if (!body) {
    // An empty sub still has a body, so that calling it is not "undefined".
    body = NewNode(const_cast<char*>(";"), node->line, node->column, NODE_STATEMENT_END, node->lines);
    if (!body) return SCRIPT_NOMEM;
  }
  node->children = body;
  node->kind = bracket ? NODE_SUB_BRACKET : NODE_SUB;
  return ScriptRegisterFunction(&MacroList, node->text, nullptr, body) ? SCRIPT_NOMEM : 0;
}

// call := name "(" list ")" | name "[" list "]" "(" list ")"; also name "[" "]", name "{" "}"
void FoldName(ScriptNode** head, ScriptNode* node) {
  ScriptNode* next = node->next;
  if (!next) return;
  if (next->kind == NODE_PAREN) {
    Detach(head, next);
    node->children = next;
    node->kind = NODE_CALL;
  } else if (next->kind == NODE_BRACKET) {
    ScriptNode* after = next->next;
    Detach(head, next);
    if (after && after->kind == NODE_PAREN) {
      Detach(head, after);
      node->children = MakeChildren({next, after});
      node->kind = NODE_CALL_BRACKET;
    } else {
      node->children = next;
      node->kind = NODE_NAME_BRACKET;
    }
  } else if (next->kind == NODE_BLOCK) {
    Detach(head, next);
    node->children = next;
    node->kind = NODE_NAME_BLOCK;
  }
}

// Nodes that push exactly one value and leave the values below alone. (A call
// gives whatever its command pushes.)
bool GivesOneValue(const ScriptNode* node) {
  switch (node->kind) {
    case NODE_WORD:
    case NODE_STRING:
    case NODE_STRING + 1:
    case NODE_STRING + 2:
    case NODE_INT:
    case NODE_FLOAT:
    case NODE_PAREN:
    case NODE_ASSIGN:
      return true;
    case NODE_FRAGMENT:
      return node->children != nullptr;
    default:
      return false;
  }
}

// Replaces the operator and its operands by a group holding them in postfix order.
ScriptNode* Group(ScriptNode** head, ScriptNode* op, ScriptNode* left, ScriptNode* right, int kind) {
  ScriptNode* group = NewNode(op->text, op->line, op->column, kind, op->lines);
  if (!group) return nullptr;
  ScriptNode* first = left ? left : op;
  ScriptNode* after = right->next;
  group->prev = first->prev;
  group->next = after;
  if (first->prev)
    first->prev->next = group;
  else
    *head = group;
  if (after) after->prev = group;
  if (kind == NODE_ASSIGN)
    group->children = MakeChildren({right, left, op});
  else if (left)
    group->children = MakeChildren({left, right, op});
  else
    group->children = MakeChildren({right, op});
  bool oneValue = true;
  for (ScriptNode* c = group->children; c; c = c->next) {
    c->flags |= NODE_FOLDED;
    if (c != op && !GivesOneValue(c)) oneValue = false;
  }
  if (oneValue) group->flags |= NODE_ONE_VALUE;
  return group;
}

// condition-statement := keyword "(" list ")" ( "{" list "}" | ";" )
int TakeGroupAndBody(ScriptNode** head, ScriptNode* node, ScriptError* error, ScriptNode** group,
                     ScriptNode** body) {
  *group = node->next;
  if (!*group || (*group)->kind != NODE_PAREN) return Fail(error, node, SCRIPT_ERR_NO_GROUP);
  *body = (*group)->next;
  if (!*body || ((*body)->kind != NODE_BLOCK && (*body)->kind != NODE_STATEMENT_END))
    return Fail(error, node, SCRIPT_ERR_NO_GROUP);
  (*body)->kind = NODE_BLOCK;  // a ";" body is an empty block
  Detach(head, *group);
  Detach(head, *body);
  return 0;
}

// Cuts "(" init ";" condition ";" step ")" into three groups.
int SplitFor(ScriptNode* group, ScriptNode* at, ScriptError* error, ScriptNode* parts[3]) {
  ScriptNode* cuts[2] = {nullptr, nullptr};
  int found = 0;
  for (ScriptNode* c = group->children; c && found < 2; c = c->next)
    if (c->kind == NODE_STATEMENT_END) cuts[found++] = c;
  if (found < 2) return Fail(error, at, SCRIPT_ERR_MISSING);
  ScriptNode* starts[3] = {group->children, cuts[0]->next, cuts[1]->next};
  for (int i = 0; i < 3; ++i) {
    parts[i] = NewNode(const_cast<char*>("("), at->line, at->column, NODE_PAREN, at->lines);
    if (!parts[i]) {
      for (int j = 0; j < i; ++j) FreeOne(parts[j]);
      return SCRIPT_NOMEM;
    }
  }
  for (int i = 0; i < 3; ++i) {
    ScriptNode* start = starts[i];
    if (i < 2 && start == cuts[i]) start = nullptr;
    if (start) {
      start->prev = nullptr;
      if (i < 2) cuts[i]->prev->next = nullptr;
    }
    parts[i]->children = start;
  }
  group->children = nullptr;
  cuts[0]->next = cuts[1]->next = nullptr;
  FreeOne(cuts[0]);
  FreeOne(cuts[1]);
  return 0;
}

// Folds one node of the row being walked; *node becomes the node to go on after.
int Fold(ScriptNode** head, ScriptNode** at, const ScriptToken* row, ScriptError* error) {
  ScriptNode* node = *at;
  ScriptNode* left = node->prev;
  ScriptNode* right = node->next;
  switch (row->operands) {
    case 2:
    case 1:
    case -1: {
      if (!right || (row->operands != 1 && !left)) return Fail(error, node, SCRIPT_ERR_MISSING);
      if (IsOperatorOrKeyword(right) || (row->operands != 1 && IsOperatorOrKeyword(left)))
        return Fail(error, node, SCRIPT_ERR_OPERAND);
      int kind = NODE_FRAGMENT;
      if (row->operands == -1) {
        bool variable = left->kind == NODE_WORD || left->kind == NODE_ASSIGN ||
                        (left->kind >= 48 && left->kind <= 63);
        if (!variable) return Fail(error, node, SCRIPT_ERR_CONSTANT);
        kind = NODE_ASSIGN;
      }
      ScriptNode* group = Group(head, node, row->operands == 1 ? nullptr : left, right, kind);
      if (!group) return SCRIPT_NOMEM;
      *at = group;
      return 0;
    }
    case 0:
      return 0;  // comma and ";" stay as they are
    default:
      break;
  }
  switch (row->code) {
    case TOK_IF:
    case TOK_WHILE: {
      ScriptNode *group, *body;
      int rc = TakeGroupAndBody(head, node, error, &group, &body);
      if (rc) return rc;
      node->children = MakeChildren({group, body});
      node->kind = row->code == TOK_IF ? NODE_IF : NODE_WHILE;
      return 0;
    }
    case TOK_ELSE: {
      if (!left || left->kind != NODE_IF || !left->children) return Fail(error, node, SCRIPT_ERR_ELSE);
      if (!right || !(right->kind == NODE_BLOCK || (right->kind == NODE_IF && right->children)))
        return Fail(error, node, SCRIPT_ERR_NO_GROUP);
      Detach(head, right);
      node->children = right;
      node->kind = NODE_ELSE;
      return 0;
    }
    case TOK_FOR: {
      ScriptNode *group, *body;
      int rc = TakeGroupAndBody(head, node, error, &group, &body);
      if (rc) {
        return rc;
      }
      ScriptNode* parts[3];
      rc = SplitFor(group, node, error, parts);
      if (rc) {
        // Put them back so that the tree is still whole when it is freed.
        node->children = MakeChildren({group, body});
        return rc;
      }
      FreeOne(group);
      node->children = MakeChildren({parts[0], parts[1], parts[2], body});
      node->kind = NODE_FOR;
      return 0;
    }
    case TOK_RETURN: {
      // return := "return" { node } ";" -- the ";" stays behind in the list,
      // so that it does not throw away the value being returned.
      ScriptNode* end = right;
      while (end && end->kind != NODE_STATEMENT_END) end = end->next;
      if (!right || right == end) return 0;
      ScriptNode* last = end ? end->prev : LastOf(right);
      right->prev = nullptr;
      last->next = nullptr;
      node->children = right;
      node->next = end;
      if (end) end->prev = node;
      return 0;
    }
    default:
      return 0;  // next, last, end stand alone
  }
}

int ParseList(ScriptNode** head, ScriptError* error, int nesting) {
  int rc = ConstantsAndBrackets(head, error, nesting);
  if (rc) return rc;
  // Names, "sub" and "my" are taken on the first walk, before any operator.
  for (ScriptNode* node = *head; node; node = node->next) {
    if (node->kind == NODE_WORD)
      FoldName(head, node);
    else if (node->kind == TOK_SUB_DEF)
      rc = FoldSub(head, node, error);
    else if (node->kind == TOK_MY)
      rc = FoldMy(head, node, error);
    if (rc) return rc;
  }
  // Folding never makes a token node, so a row whose code is absent now has
  // nothing to fold on its pass.
  std::bitset<0x600> present;
  for (ScriptNode* node = *head; node; node = node->next)
    if (node->kind >= 0 && node->kind < 0x600) present.set(static_cast<size_t>(node->kind));
  for (int g = 0; ScriptTokenTable[g][0].text; ++g) {
    for (int r = 0; ScriptTokenTable[g][r].text; ++r) {
      const ScriptToken* row = &ScriptTokenTable[g][r];
      if (row->code < 0x600 && !present.test(static_cast<size_t>(row->code))) continue;
      for (ScriptNode* node = *head; node; node = node->next) {
        if (node->kind != row->code) continue;
        rc = Fold(head, &node, row, error);
        if (rc) return rc;
      }
    }
  }
  return 0;
}

// Drops fragments that splitting or comments left empty.
void DropEmpty(ScriptNode** head) {
  for (ScriptNode* node = *head; node;) {
    ScriptNode* next = node->next;
    if (node->kind == NODE_FRAGMENT && node->text[0] == '\0') {
      Detach(head, node);
      FreeOne(node);
    }
    node = next;
  }
}

char** MakeLineTable(ScriptNode* head) {
  int32_t highest = 0;
  for (ScriptNode* node = head; node; node = node->next)
    if (node->line > highest) highest = node->line;
  size_t count = static_cast<size_t>(highest) + 2;
  auto* lines = static_cast<char**>(VMalloc(count * sizeof(char*)));
  if (!lines) return nullptr;
  for (size_t i = 0; i < count; ++i) lines[i] = nullptr;
  for (ScriptNode* node = head; node; node = node->next)
    if (!lines[node->line] && node->text[0]) lines[node->line] = node->text;
  bool ok = true;
  for (size_t i = 0; i + 1 < count; ++i) {
    lines[i] = ok ? VStrdup(lines[i] ? lines[i] : "") : nullptr;
    if (!lines[i]) ok = false;
  }
  if (!ok) {
    for (size_t i = 0; i + 1 < count; ++i)
      if (lines[i]) VFree(lines[i]);
    VFree(lines);
    return nullptr;
  }
  for (ScriptNode* node = head; node; node = node->next) node->lines = lines;
  return lines;
}

void FreeLineTable(char** lines) {
  if (!lines) return;
  for (char** p = lines; *p; ++p) VFree(*p);
  VFree(lines);
}

}  // namespace

int ScriptParse(ScriptNode** head, ScriptError* error) { return ParseList(head, error, 0); }

int ScriptCompile(char* text, ScriptNode** program, ScriptError* error) {
  if (program) *program = nullptr;
  if (!text || !program) return SCRIPT_ERR_MISSING;
  ScriptNode* head = NewNode(text, 0, 0, NODE_FRAGMENT, nullptr);
  if (!head) return SCRIPT_NOMEM;
  char** lines = nullptr;
  int rc = ScriptSplitText(head, error, SCRIPT_SPLIT_NEWLINE | SCRIPT_SPLIT_RETURN);
  if (!rc) rc = ScriptStripComments(head);
  if (!rc) {
    DropEmpty(&head);
    if (head) {
      lines = MakeLineTable(head);
      if (!lines) rc = SCRIPT_NOMEM;
    }
  }
  if (!rc) rc = ScriptSplitText(head, error, SCRIPT_SPLIT_BLANK | SCRIPT_SPLIT_TAB);
  if (!rc) {
    DropEmpty(&head);
    rc = ScriptTokenize(head, error);
  }
  if (!rc) {
    for (ScriptNode* node = head; node; node = node->next) {
      if (node->kind == NODE_FRAGMENT) {
        SetError(error, node);
        rc = SCRIPT_UNCLASSIFIED;
        break;
      }
    }
  }
  if (!rc) rc = ScriptParse(&head, error);
  if (rc) {
    // Nothing of a failed compile is kept: its subs are unregistered with it.
    ScriptFreeNodes(head);
    FreeLineTable(lines);
    return rc;
  }
  if (!head) {
    FreeLineTable(lines);
    return 0;
  }
  *program = head;
  return 0;
}

int ScriptFreeProgram(ScriptNode* program) {
  if (!program) return 0;
  char** lines = program->lines;
  ScriptFreeNodes(program);
  FreeLineTable(lines);
  return 0;
}

int ScriptFreeNodes(ScriptNode* first) {
  // A worklist instead of recursion: long operator chains nest deeply.
  std::vector<ScriptNode*> lists;
  if (first) lists.push_back(first);
  while (!lists.empty()) {
    ScriptNode* node = lists.back();
    lists.pop_back();
    while (node) {
      ScriptNode* next = node->next;
      if (node->kind == NODE_SUB || node->kind == NODE_SUB_BRACKET) ScriptUnregisterBody(node->children);
      if (node->children) lists.push_back(node->children);
      if (node->flags & NODE_OWNS_TEXT) VFree(node->text);
      VFree(node);
      node = next;
    }
  }
  return 0;
}

void ScriptDumpTree(const ScriptNode* first, int indent) {
  for (const ScriptNode* node = first; node; node = node->next) {
    const char* lineText = "";
    if (node->lines) {
      for (int32_t i = 0; node->lines[i]; ++i)
        if (i == node->line) lineText = node->lines[i];
    }
    char head[160];
    int n = std::snprintf(head, sizeof head, "%*s%d[", indent, "", node->line);
    ScriptOutput(head, static_cast<size_t>(n));
    ScriptOutput(node->text ? node->text : "", std::strlen(node->text ? node->text : ""));
    n = std::snprintf(head, sizeof head, ":%04x:%02d:%02d:", static_cast<unsigned>(node->kind), node->column,
                      node->flags);
    ScriptOutput(head, static_cast<size_t>(n));
    ScriptOutput(lineText, std::strlen(lineText));
    ScriptOutput("]\n", 2);
    if (node->children) ScriptDumpTree(node->children, indent + 2);
  }
}
