// SET, CALL, CALLIF, GOTOIF, RETURN, RETURNIF and CONTINUEIF. They differ on purpose in
// details that scripts rely on: which of them report a missing comma (their rows say), who
// substitutes the condition, and what RETURN and RETURNIF do with an undefined variable.
#include "engine/flow_commands.h"

#include <cstring>

#include "base/text.h"
#include "engine/acting_text.h"
#include "engine/argument_reader.h"
#include "engine/arguments.h"
#include "engine/executor.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"

namespace {

// What a CALL-type line runs: the section and the variable for its outcome, and whether
// the line's condition holds (CALL has none). Worked out in a frame of its own so that the
// argument's buffers are gone before the target section runs (GOTOIF loops nest one level
// per pass). GOTOIF substitutes its condition first: an undefined variable cuts it where it
// stood, and each operand is then substituted once more by the evaluator; CALLIF leaves
// that to the evaluator alone.
struct CallTarget {
  char section[kPathChars];
  char variable[kPathChars];
  bool named;  // a variable is named for the outcome
  bool holds;
};

// False with what the command returns in `end` when its form has a fault.
__attribute__((noinline)) bool ReadCallTarget(ScriptContext* context, const ScriptLine* line, CallTarget* target,
                                              int* end) {
  char text[kArgumentCopyChars];
  ArgumentFields fields;
  if (!ReadArgument(context, line, text, sizeof(text), &fields, end)) return false;
  const CommandRow& row = *CommandRowOf(line->opcode);
  target->holds = true;
  if (line->opcode == kOpGotoIf) {
    char condition[kArgumentCopyChars];
    SubstituteVariables(context, fields.field[0], condition, sizeof(condition));
    TrimText(condition);
    target->holds = EvaluateCondition(context, condition) == 1;
  } else if (line->opcode == kOpCallIf) {
    target->holds = EvaluateCondition(context, fields.field[0]) == 1;
  }
  CopyText(target->section, sizeof(target->section), fields.field[row.targetField]);
  CopyText(target->variable, sizeof(target->variable), row.setsField >= 0 ? fields.field[row.setsField] : "");
  target->named = fields.kind == kKindOptional;
  return true;
}

}  // namespace

int SetCommand(ScriptContext* context, const ScriptLine* line) {
  // An undefined variable (28) or a value that does not fit (24) leaves the variable as it was.
  LineArgument<> argument;
  char value[kSetValueChars];
  int end = kResultOk;
  if (!ReadAssignment(context, line, &argument, value, &end)) return end;
  return StoreOrFail(context, line, argument[0], value);
}

int CallCommand(ScriptContext* context, const ScriptLine* line) {
  CallTarget target;
  int end = kResultOk;
  if (!ReadCallTarget(context, line, &target, &end)) return end;
  return RunCalledSection(context, line, target.section, target.named ? target.variable : nullptr);
}

int CallIfCommand(ScriptContext* context, const ScriptLine* line) {
  CallTarget target;
  int end = kResultOk;
  if (!ReadCallTarget(context, line, &target, &end)) return end;
  if (!target.holds) return kResultOk;
  return RunCalledSection(context, line, target.section, target.named ? target.variable : nullptr);
}

int GotoIfCommand(ScriptContext* context, const ScriptLine* line) {
  CallTarget target;
  int end = kResultOk;
  if (!ReadCallTarget(context, line, &target, &end)) return end;  // not reported: its row says so
  if (!target.holds) return kResultOk;
  return RunCalledSection(context, line, target.section, nullptr);
}

int ContinueIfCommand(ScriptContext* context, const ScriptLine* line) {
  if (EvaluateCondition(context, line->argumentText) == 1) return kResultOk;
  context->stopLine = line->lineNumber;
  CopyText(context->errorText, sizeof(context->errorText), line->argumentText);
  return kResultConditionalStop;  // nothing is reported: the script ends as a success
}

int ReturnCommand(ScriptContext* context, const ScriptLine* line, char* value) {
  if (SubstituteVariables(context, line->argumentText, value, kReturnValueChars) != kResultOk) {
    CopyText(value, kReturnValueChars, line->argumentText);  // the text as written
  }
  return kResultOk;
}

int ReturnIfCommand(ScriptContext* context, const ScriptLine* line, char* value) {
  char text[kArgumentCopyChars];
  ArgumentFields fields;
  int end = kResultOk;
  if (!ReadArgument(context, line, text, sizeof(text), &fields, &end)) return end;
  if (EvaluateCondition(context, fields.field[0]) != 1) return kResultReturnIfFalse;
  int result = SubstituteVariables(context, fields.field[1], value, kReturnValueChars);
  if (result != kResultOk) return FailLine(context, line, result);
  return kResultOk;
}
