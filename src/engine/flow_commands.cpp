// SET, CALL, CALLIF, GOTOIF, RETURN, RETURNIF and CONTINUEIF. They differ on purpose in
// details that scripts rely on: which of them report a missing comma, who substitutes the
// condition, and what RETURN and RETURNIF do with an undefined variable.
#include "engine/flow_commands.h"

#include <cstring>

#include "engine/acting_text.h"
#include "engine/arguments.h"
#include "engine/executor.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "engine/text.h"

namespace {

constexpr size_t kSetValueChars = 1024;

// A copy of the argument text cut at its first comma: the condition and what follows it.
struct ConditionAndTarget {
  char text[kArgumentCopyChars];
  char* target;  // after the comma; nullptr when there is none
};

void SplitAtComma(const ScriptLine* line, ConditionAndTarget* parts) {
  CopyText(parts->text, sizeof(parts->text), line->argumentText);
  char* comma = std::strchr(parts->text, ',');
  parts->target = nullptr;
  if (comma == nullptr) return;
  *comma = '\0';
  parts->target = comma + 1;
}

// "Section" or "VAR=Section", both parts trimmed; `variable` is empty when none is named.
void SplitTarget(const char* target, char* variable, char* section, bool* named) {
  const char* equals = std::strchr(target, '=');
  *named = equals != nullptr;
  variable[0] = '\0';
  if (equals != nullptr) {
    CopyText(variable, kPathChars, target, static_cast<size_t>(equals - target));
    TrimText(variable);
    target = equals + 1;
  }
  CopyText(section, kPathChars, target);
  TrimText(section);
}

// GOTOIF's condition and target, worked out in a frame of its own so its buffers are
// gone before the target section runs (GOTOIF loops nest one level per pass).
__attribute__((noinline)) int ReadGotoIf(ScriptContext* context, const ScriptLine* line,
                                         char* section, bool* holds) {
  ConditionAndTarget parts;
  SplitAtComma(line, &parts);
  if (parts.target == nullptr) return kResultBadSwitch;  // not reported
  CopyText(section, kPathChars, parts.target);
  TrimText(section);
  // An undefined variable cuts the condition where it stood; each operand is then
  // substituted once more by the evaluator.
  char condition[kArgumentCopyChars];
  SubstituteVariables(context, parts.text, condition, sizeof(condition));
  TrimText(condition);
  *holds = EvaluateCondition(context, condition) == 1;
  return kResultOk;
}

__attribute__((noinline)) int ReadCallIf(ScriptContext* context, ScriptLine* line, char* variable,
                                         char* section, bool* named, bool* holds) {
  ConditionAndTarget parts;
  SplitAtComma(line, &parts);
  if (parts.target == nullptr) return FailLine(context, line, kResultBadSwitch);
  TrimText(parts.text);
  *holds = EvaluateCondition(context, parts.text) == 1;
  if (*holds) SplitTarget(parts.target, variable, section, named);
  return kResultOk;
}

}  // namespace

int SetCommand(ScriptContext* context, ScriptLine* line) {
  char name[kPathChars];
  char value[kSetValueChars];
  int result = SplitAssignment(line->argumentText, name, sizeof(name), value, sizeof(value));
  if (result != kResultOk) return FailLine(context, line, result);

  // An undefined variable (28) or a value that does not fit (24) leaves the variable as it was.
  char substituted[kSetValueChars];
  result = SubstituteActingText(context, line, value, substituted, sizeof(substituted));
  if (result != kResultOk) return result;

  return StoreOrFail(context, line, name, substituted);
}

int CallCommand(ScriptContext* context, ScriptLine* line) {
  char variable[kPathChars];
  char section[kPathChars];
  if (std::strchr(line->argumentText, '=') == nullptr) {
    TrimText(line->argumentText);
    CopyText(section, sizeof(section), line->argumentText);
    return RunCalledSection(context, line, section, nullptr);
  }
  int result = SplitAssignment(line->argumentText, variable, sizeof(variable), section, sizeof(section));
  if (result != kResultOk) return FailLine(context, line, result);
  return RunCalledSection(context, line, section, variable);
}

int CallIfCommand(ScriptContext* context, ScriptLine* line) {
  char variable[kPathChars];
  char section[kPathChars];
  bool named = false;
  bool holds = false;
  int result = ReadCallIf(context, line, variable, section, &named, &holds);
  if (result != kResultOk || !holds) return result;
  return RunCalledSection(context, line, section, named ? variable : nullptr);
}

int GotoIfCommand(ScriptContext* context, ScriptLine* line) {
  char section[kPathChars];
  bool holds = false;
  int result = ReadGotoIf(context, line, section, &holds);
  if (result != kResultOk || !holds) return result;
  return RunCalledSection(context, line, section, nullptr);
}

int ContinueIfCommand(ScriptContext* context, ScriptLine* line) {
  if (EvaluateCondition(context, line->argumentText) == 1) return kResultOk;
  context->lineCounter = line->lineNumber;
  CopyText(context->errorText, sizeof(context->errorText), line->argumentText);
  return kResultConditionalStop;  // nothing is reported: the script ends as a success
}

int ReturnCommand(ScriptContext* context, ScriptLine* line, char* value) {
  TrimText(line->argumentText);
  if (SubstituteVariables(context, line->argumentText, value, kReturnValueChars) != kResultOk) {
    CopyText(value, kReturnValueChars, line->argumentText);  // the text as written
  }
  return kResultOk;
}

int ReturnIfCommand(ScriptContext* context, ScriptLine* line, char* value) {
  ConditionAndTarget parts;
  SplitAtComma(line, &parts);
  if (parts.target == nullptr) return FailLine(context, line, kResultBadSwitch);
  TrimText(parts.text);
  TrimText(parts.target);
  if (EvaluateCondition(context, parts.text) != 1) return kResultReturnIfFalse;
  int result = SubstituteVariables(context, parts.target, value, kReturnValueChars);
  if (result != kResultOk) return FailLine(context, line, result);
  return kResultOk;
}
