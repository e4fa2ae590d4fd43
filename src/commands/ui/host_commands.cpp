#include "commands/ui/host_commands.h"

#include <cstdlib>
#include <cstring>

#include "app/host_link.h"
#include "app/host_text.h"
#include "engine/acting_text.h"
#include "engine/arguments.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "engine/text.h"
#include "platform/final_status.h"

namespace {

constexpr size_t kProgressTextChars = 520;
constexpr size_t kStartNumberChars = 64;
constexpr size_t kFinalStatusChars = 1024;
constexpr size_t kParamChars = 1000;
constexpr size_t kParamValueChars = 4097;

// Reads the next comma field into `field`, leaving it empty when the text has run out.
const char* TakeField(const char* position, char* field, size_t size) {
  field[0] = '\0';
  return position != nullptr ? NextField(position, field, size, ',') : nullptr;
}

}  // namespace

const HandlerRow HostCommandRows[] = {
    {kOpProgress, ProgressCommand},
    {kOpStartUserApp, StartUserAppCommand},
    {kOpCloseUserApp, CloseUserAppCommand},
    {kOpSetFinalStatus, SetFinalStatusCommand},
    {kOpGetParam, GetParamCommand},
    {kOpNone, nullptr},
};

int ProgressCommand(ScriptContext* context, ScriptLine* line) {
  char copy[kArgumentCopyChars];
  CopyText(copy, sizeof(copy), line->argumentText);
  TrimText(copy);

  char first[kPathChars], second[kPathChars], third[kPathChars], text[kPathChars];
  const char* position = TakeField(copy, first, sizeof(first));
  position = TakeField(position, second, sizeof(second));
  position = TakeField(position, third, sizeof(third));
  TakeField(position, text, sizeof(text));  // what follows a fourth comma is ignored
  char substituted[kProgressTextChars];
  SubstituteVariables(context, text, substituted, sizeof(substituted));

  if (first[0] == '\0' || second[0] == '\0') return FailLine(context, line, kResultBadSwitch);
  if (IHostCallback* callback = HostCallback()) {
    BSTR wide = AnsiToBstr(substituted);
    callback->OnProgress(TextToLong(first), TextToLong(second), TextToLong(third), wide);
    SysFreeString(wide);
  }
  return kResultOk;
}

int StartUserAppCommand(ScriptContext* context, ScriptLine* line) {
  char copy[kArgumentCopyChars];
  CopyText(copy, sizeof(copy), line->argumentText);
  char* comma = std::strchr(copy, ',');
  if (comma == nullptr) return FailLine(context, line, kResultBadSwitch);
  *comma = '\0';

  char command[kPathChars], substituted[kPathChars], number[kStartNumberChars];
  CopyText(command, sizeof(command), copy);
  int result = SubstituteActingText(context, line, command, substituted, sizeof(substituted));
  if (result != kResultOk) return result;
  TrimText(substituted);
  CopyText(number, sizeof(number), comma + 1);
  TrimText(number);

  if (IHostAppUtil* appUtil = HostAppUtil()) {
    BSTR wide = AnsiToBstr(substituted);
    appUtil->StartUserApp(wide, TextToLong(number));
    SysFreeString(wide);
  }
  return kResultOk;
}

int CloseUserAppCommand(ScriptContext* context, ScriptLine* line) {
  char name[kPathChars];
  int result = SubstituteActingText(context, line, line->argumentText, name, sizeof(name));
  if (result != kResultOk) return result;
  TrimText(name);
  if (IHostAppUtil* appUtil = HostAppUtil()) {
    BSTR wide = AnsiToBstr(name);
    BSTR empty = SysAllocString(L"");
    appUtil->CloseUserApp(wide, empty, 30000, -1);
    SysFreeString(empty);
    SysFreeString(wide);
  }
  return kResultOk;
}

int SetFinalStatusCommand(ScriptContext* context, ScriptLine* line) {
  TrimText(line->argumentText);
  // A status read from an undefined variable would read as 0, success: the line fails instead.
  char text[kFinalStatusChars];
  int result = SubstituteActingText(context, line, line->argumentText, text, sizeof(text));
  if (result != kResultOk) return result;
  // Split after substitution: a variable may carry both the status and the message.
  char* comma = std::strchr(text, ',');
  const char* message = "";
  if (comma != nullptr) {
    *comma = '\0';
    message = comma + 1;
    TrimText(comma + 1);
  }
  SetFinalStatus(TextToLong(text), message);
  return kResultOk;
}

int GetParamCommand(ScriptContext* context, ScriptLine* line) {
  char name[kParamChars], key[kParamChars];
  int result = SplitAssignment(line->argumentText, name, sizeof(name), key, sizeof(key));
  if (result != kResultOk) return FailLine(context, line, result);
  char lowered[kParamChars];
  result = SubstituteActingText(context, line, key, lowered, sizeof(lowered));
  if (result != kResultOk) return result;
  CharLowerA(lowered);

  char value[kParamValueChars];
  FindParamValue(HostParams(), lowered, value, sizeof(value));
  return StoreOrFail(context, line, name, value);
}
