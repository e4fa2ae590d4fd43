// The shared argument routines: the NAME=VALUE form, the field reader and conditions.
// There is no quoting and no escape character: separators are found by plain search.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/script.h"
#include "base/text.h"

// NAME=VALUE: 0; 23 without "=" (or a name too long); 25 when the value does not fit.
int SplitAssignment(const char* text, char* name, size_t nameSize, char* value, size_t valueSize);

// Reads one trimmed field up to `separator`; gives where reading goes on, nullptr when
// `text` is empty.
const char* NextField(const char* text, char* field, size_t fieldSize, char separator);

// Clauses joined by "|", OR-ed left to right; 1 when the condition holds, otherwise 0.
int EvaluateCondition(const ScriptContext* context, const char* condition);

constexpr size_t kOperatorChars = 3;

// Splits "left op right"; 0, or 37 when the clause is malformed.
int ParseClause(const char* clause, char* left, char* op, char* right);
bool IsComparisonOperator(const char* op);
int CompareOperands(const char* left, const char* op, const char* right);

struct VersionKey {
  uint32_t major;
  uint32_t minor;
};
// A plain number (atol), or a.b.c.d with 16-bit components: major a.b, minor c.d.
VersionKey ParseVersionKey(const char* operand);
