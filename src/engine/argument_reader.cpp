#include "engine/argument_reader.h"

#include "engine/acting_text.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "base/text.h"

bool ReadArgument(ScriptContext* context, const ScriptLine* line, char* text, size_t size, ArgumentFields* fields,
                  int* end) {
  const CommandRow* row = CommandRowOf(line->opcode);
  *end = kResultOk;
  if (row == nullptr) return false;
  if (row->whole == FieldUse::kActing) {
    *end = SubstituteActingText(context, line, line->argumentText, text, size);
    if (*end != kResultOk) return false;
  } else if (row->whole == FieldUse::kShown) {
    SubstituteVariables(context, line->argumentText, text, size);  // shown up to an undefined name
  } else {
    CopyText(text, size, line->argumentText);
  }
  const int code = SplitArgument(*row, text, fields);
  if (code == kResultOk) return true;
  switch (row->faultEnd) {
    case FaultEnd::kReported:
      *end = FailLine(context, line, code);
      break;
    case FaultEnd::kQuiet:
      *end = code;
      break;
    case FaultEnd::kPassedOver:
      *end = kResultOk;
      break;
  }
  return false;
}
