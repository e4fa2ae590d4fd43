#include "engine/arguments.h"

#include <cstring>

#include "engine/result_codes.h"
#include "engine/symbols.h"

namespace {

constexpr size_t kVersionReadChars = 50;

bool IsOperatorChar(char c) { return c == '=' || c == '!' || c == '<' || c == '>'; }

}  // namespace

int SplitAssignment(const char* text, char* name, size_t nameSize, char* value, size_t valueSize) {
  size_t n = 0;
  while (text[n] != '\0' && text[n] != '=' && n < nameSize - 1) {
    name[n] = text[n];
    ++n;
  }
  name[n] = '\0';
  if (text[n] != '=') return kResultNowhereToPutValue;
  if (!CopyText(value, valueSize, text + n + 1)) return kResultNoValueToSet;
  TrimText(name);
  TrimText(value);
  return kResultOk;
}

const char* NextField(const char* text, char* field, size_t fieldSize, char separator) {
  if (text == nullptr || *text == '\0') return nullptr;
  size_t n = 0;
  while (text[n] != '\0' && text[n] != separator && n < fieldSize - 1) {
    field[n] = text[n];
    ++n;
  }
  field[n] = '\0';
  TrimText(field);
  return text[n] == separator ? text + n + 1 : text + n;
}

int ParseClause(const char* clause, char* left, char* op, char* right) {
  left[0] = op[0] = right[0] = '\0';
  if (*clause == '\0') return kResultInvalidReturn;

  size_t n = 0;
  while (clause[n] != '\0' && !IsOperatorChar(clause[n]) && n < kPathChars - 1) {
    left[n] = clause[n];
    ++n;
  }
  left[n] = '\0';
  if (n == 0 || !IsOperatorChar(clause[n])) return kResultInvalidReturn;

  op[0] = clause[n++];
  op[1] = '\0';
  if (clause[n] == '=') {
    op[1] = '=';
    op[2] = '\0';
    ++n;
  }
  if (!CopyText(right, kPathChars, clause + n)) return kResultInvalidReturn;
  TrimText(left);
  TrimText(op);
  TrimText(right);
  return kResultOk;
}

bool IsComparisonOperator(const char* op) {
  static const char* const kOperators[] = {"=", "==", "!=", ">", ">=", "<", "<="};
  for (const char* known : kOperators) {
    if (std::strcmp(op, known) == 0) return true;
  }
  return false;
}

VersionKey ParseVersionKey(const char* operand) {
  VersionKey key = {0, 0};
  char text[kVersionReadChars + 1];
  CopyText(text, sizeof(text), operand);
  if (text[0] == '\0') return key;

  if (std::strchr(text, '.') == nullptr) {
    key.major = static_cast<uint32_t>(TextToLong(text));  // a negative value is its bit pattern
    return key;
  }
  uint32_t parts[4] = {0, 0, 0, 0};
  const char* p = text;
  for (int i = 0; i < 4 && p != nullptr; ++i) {
    parts[i] = static_cast<uint32_t>(TextToLong(p)) & 0xFFFFu;
    p = std::strchr(p, '.');
    if (p != nullptr) ++p;
  }
  key.major = (parts[0] << 16) | parts[1];
  key.minor = (parts[2] << 16) | parts[3];
  return key;
}

int CompareOperands(const char* left, const char* op, const char* right) {
  if (std::strcmp(op, "=") == 0 || std::strcmp(op, "==") == 0) return std::strcmp(left, right) == 0;
  if (std::strcmp(op, "!=") == 0) return std::strcmp(left, right) != 0;

  VersionKey a = ParseVersionKey(left);
  VersionKey b = ParseVersionKey(right);
  int order = a.major != b.major ? (a.major < b.major ? -1 : 1)
                                 : (a.minor != b.minor ? (a.minor < b.minor ? -1 : 1) : 0);
  if (std::strcmp(op, ">") == 0) return order > 0;
  if (std::strcmp(op, ">=") == 0) return order >= 0;
  if (std::strcmp(op, "<") == 0) return order < 0;
  if (std::strcmp(op, "<=") == 0) return order <= 0;
  return 0;
}

int EvaluateCondition(const ScriptContext* context, const char* condition) {
  int result = 0;
  const char* position = condition;
  for (;;) {
    char clause[kPathChars];
    position = NextField(position, clause, sizeof(clause), '|');
    if (position == nullptr || clause[0] == '\0') break;

    char left[kPathChars], op[kOperatorChars], right[kPathChars];
    if (ParseClause(clause, left, op, right) != kResultOk) break;
    // An undefined variable leaves the operand as written, %%NAME%% and all.
    char leftValue[kPathChars], rightValue[kPathChars];
    if (SubstituteVariables(context, left, leftValue, sizeof(leftValue)) != kResultOk) {
      CopyText(leftValue, sizeof(leftValue), left);
    }
    if (SubstituteVariables(context, right, rightValue, sizeof(rightValue)) != kResultOk) {
      CopyText(rightValue, sizeof(rightValue), right);
    }
    if (!IsComparisonOperator(op)) break;
    result = CompareOperands(leftValue, op, rightValue);
    if (result == 1) break;
  }
  return result;
}
