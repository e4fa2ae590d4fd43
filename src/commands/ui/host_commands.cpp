#include "commands/ui/host_commands.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host_link.h"
#include "host/host_text.h"
#include "engine/acting_text.h"
#include "engine/argument_reader.h"
#include "engine/arguments.h"
#include "engine/keywords.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "base/text.h"
#include "platform/change_door.h"
#include "platform/final_status.h"

namespace {

constexpr size_t kProgressTextChars = 520;
constexpr size_t kStartNumberChars = 64;
constexpr size_t kParamValueChars = 4097;

// Reads the next comma field into `field`, leaving it empty when the text has run out.

}  // namespace

const HandlerRow HostCommandRows[] = {
    {kOpProgress, ProgressCommand},
    {kOpStartUserApp, StartUserAppCommand},
    {kOpCloseUserApp, CloseUserAppCommand},
    {kOpSetFinalStatus, SetFinalStatusCommand},
    {kOpGetParam, GetParamCommand},
    {kOpNone, nullptr},
};

int ProgressCommand(ScriptContext* context, const ScriptLine* line) {
  // first,second[,third[,text]]: without the first two numbers the row's form fails the
  // line with 51; what follows a fourth comma is ignored.
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  char substituted[kProgressTextChars];
  SubstituteVariables(context, argument[3], substituted, sizeof(substituted));
  if (IHostCallback* callback = HostCallback()) {
    BSTR wide = AnsiToBstr(substituted);
    callback->OnProgress(TextToLong(argument[0]), TextToLong(argument[1]), TextToLong(argument[2]), wide);
    SysFreeString(wide);
  }
  return kResultOk;
}

int StartUserAppCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  if (!argument.Read(context, line)) return argument.end;
  char substituted[kPathChars], number[kStartNumberChars];
  int result = SubstituteActingText(context, line, argument[0], substituted, sizeof(substituted));
  if (result != kResultOk) return result;
  TrimText(substituted);
  CopyText(number, sizeof(number), argument[1]);
  const std::string planned = "Would ask the host to start " + std::string(substituted);
  if (DoorPlansInstead(PlanKind::kProgram, substituted, planned.c_str())) return kResultOk;
  if (IHostAppUtil* appUtil = HostAppUtil()) {
    BSTR wide = AnsiToBstr(substituted);
    appUtil->StartUserApp(wide, TextToLong(number));
    SysFreeString(wide);
  }
  return kResultOk;
}

int CloseUserAppCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<kPathChars> argument;
  if (!argument.Read(context, line)) return argument.end;
  const std::string planned = "Would ask the host to close " + std::string(argument[0]);
  if (DoorPlansInstead(PlanKind::kProcess, argument[0], planned.c_str())) return kResultOk;
  if (IHostAppUtil* appUtil = HostAppUtil()) {
    BSTR wide = AnsiToBstr(argument[0]);
    BSTR empty = SysAllocString(L"");
    appUtil->CloseUserApp(wide, empty, 30000, -1);
    SysFreeString(empty);
    SysFreeString(wide);
  }
  return kResultOk;
}

int SetFinalStatusCommand(ScriptContext* context, const ScriptLine* line) {
  // A status read from an undefined variable would read as 0, success: the line fails
  // instead. It is split after substitution: a variable may carry both status and message.
  LineArgument<kFinalStatusChars> argument;
  if (!argument.Read(context, line)) return argument.end;
  SetFinalStatus(TextToLong(argument[0]), argument[1]);
  return kResultOk;
}

int GetParamCommand(ScriptContext* context, const ScriptLine* line) {
  LineArgument<> argument;
  char lowered[kParamKeyChars];
  int end = kResultOk;
  if (!ReadAssignment(context, line, &argument, lowered, &end)) return end;
  CharLowerA(lowered);

  char value[kParamValueChars];
  FindParamValue(HostParams(), lowered, value, sizeof(value));
  return StoreOrFail(context, line, argument[0], value);
}
