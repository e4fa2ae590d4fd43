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
  // Acting text is substituted into the row's buffer (the handler's is at least as big): a
  // text that does not fit it fails the line. Shown text is cut to the handler's buffer.
  if (row->whole == FieldUse::kActing && row->wholeChars < size) size = row->wholeChars;
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
