#include "engine/executor.h"

#include <cstdio>

#include "engine/acting_text.h"
#include "engine/argument_forms.h"
#include "engine/command_forms.h"
#include "engine/flow_commands.h"
#include "engine/keywords.h"
#include "engine/loader.h"
#include "engine/path_shape.h"
#include "engine/report.h"
#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "base/text.h"
#include "platform/change_line.h"
#include "log/log.h"

const HandlerRow HandlerTable[] = {
    {kOpCall, CallCommand},
    {kOpContinueIf, ContinueIfCommand},
    {kOpReturn, NoOperation},    // the section runner does RETURN's work
    {kOpReturnIf, NoOperation},  // and RETURNIF's
    {kOpSet, SetCommand},
    {kOpFileCio, NoOperation},  // read by COPYFILES and DELFILES, inert elsewhere
    {kOpFileCow, NoOperation},
    {kOpGotoIf, GotoIfCommand},
    {kOpCallIf, CallIfCommand},
    {kOpNone, UnrecognizedCommand},  // the default row
};

namespace {

constexpr int kOpcodeSlots = kOpRemoveScanExeFromAutoexec + 1;
constexpr size_t kLoggedLineChars = 2000;

const HandlerRow* g_families[kMaxCommandFamilies] = {};
int g_familyCount = 0;
CommandHandler g_dispatch[kOpcodeSlots] = {};
bool g_dispatchReady = false;

// Without the platform's rule: every path that is no folder of its own shape is refused.
bool IsProtectedByShape(const char* path) { return ClassifyFolderPath(path) != PathShape::kFolder; }
FolderRule g_folderRule = IsProtectedByShape;

// One slot per opcode, filled from the tables in walking order: the first row wins.
void BuildDispatch() {
  for (CommandHandler& slot : g_dispatch) slot = nullptr;
  const HandlerRow* tables[kMaxCommandFamilies + 1] = {HandlerTable};
  for (int i = 0; i < g_familyCount; ++i) tables[i + 1] = g_families[i];
  for (int t = 0; t <= g_familyCount; ++t) {
    for (const HandlerRow* row = tables[t]; row->opcode != kOpNone; ++row) {
      if (row->opcode > 0 && row->opcode < kOpcodeSlots && g_dispatch[row->opcode] == nullptr) {
        g_dispatch[row->opcode] = row->handler;
      }
    }
  }
  g_dispatchReady = true;
}

// Kept out of line so the 2000-character copy is off the stack while the handler runs.
__attribute__((noinline)) void LogExecutingLine(const ScriptContext* context, const ScriptLine* line) {
  char substituted[kLoggedLineChars];
  SubstituteVariables(context, line->argumentText, substituted, sizeof(substituted));
  LogStatus("Executing line %d: %s %s", static_cast<int>(line->lineNumber), line->commandWord,
            substituted);
}

}  // namespace

bool AddHandlerRows(const HandlerRow* rows) {
  if (rows == nullptr || g_familyCount == kMaxCommandFamilies) return false;
  g_families[g_familyCount++] = rows;
  g_dispatchReady = false;
  return true;
}

void SetProtectedFolderRule(FolderRule rule) { g_folderRule = rule; }

__attribute__((noinline)) int GuardTarget(ScriptContext* context, const ScriptLine* line) {
  const CommandRow* row = CommandRowOf(line->opcode);
  if (row == nullptr || row->guard == Guard::kNone || row->targetField < 0) return kResultOk;
  char text[kPathChars];
  if (row->whole == FieldUse::kActing) {
    if (SubstituteWhole(context, line->argumentText, text, sizeof(text)) != kResultOk) return kResultOk;
  } else {
    CopyText(text, sizeof(text), line->argumentText);
  }
  ArgumentFields fields;
  if (SplitArgument(*row, text, &fields) != kResultOk) return kResultOk;
  const char* target = fields.field[row->targetField];
  const bool refused = row->guard == Guard::kRootKey ? IsRootOnlyKeyPath(target + kRootPrefixChars)
                                                     : g_folderRule(target);
  return refused ? FailLine(context, line, kResultBadSwitch) : kResultOk;
}

CommandHandler FindHandler(int opcode) {
  if (!g_dispatchReady) BuildDispatch();
  if (opcode > 0 && opcode < kOpcodeSlots && g_dispatch[opcode] != nullptr) return g_dispatch[opcode];
  return UnrecognizedCommand;
}

int ExecuteScript(const char* path, const char* startSection, const char* scriptDir) {
  LogStatus("Executing : ExecuteScript()");
  ScriptContext* context = nullptr;
  int result = ScriptOpen(path, startSection, scriptDir, &context);
  if (result == kResultOk) {
    result = ScriptRun(context, startSection);
    if (result == kResultOk) LogStatus("Script finished successfully!!");
  }
  if (result == kResultStartSectionNotFound) {
    char detail[kLoggedLineChars];
    std::snprintf(detail, sizeof(detail), "Start section: %s", startSection);
    LogUnreportedError(result, detail);
    LogStatus("Script: %s closed.", path);
  }
  if (result == kResultConditionalStop) {
    LogStatus("Script: %s  finished on a conditional stop: %s. Line:%d", path, context->errorText,
              static_cast<int>(context->stopLine));
    result = kResultOk;
  }
  if (context != nullptr) {
    ScriptClose(context);
    LogStatus("Script: %s closed.", path);
  }
  return result;
}

int ScriptRun(ScriptContext* context, const char* startSection) {
  LogStatus("Executing ScriptRun()");
  if (context == nullptr || startSection == nullptr) return kResultOk;
  ScriptSection* section = FindSection(context->sections, startSection);
  if (section == nullptr) return kResultOk;
  LogStatus("Start running script, start section:%s", section->name);

  int result = kResultOk;
  for (RecordLinks* links = section->lines->first; links != nullptr; links = links->next) {
    ScriptLine* line = RecordFromLinks<ScriptLine>(links);
    result = ExecuteLine(context, line);
    if (result != kResultOk || line->opcode == kOpGotoIf) break;
  }
  return result;
}

int ExecuteLine(ScriptContext* context, const ScriptLine* line) {
  context->errorCode = 0;
  if (context->currentSection != nullptr) context->currentSection->stopFlag = 0;
  LogExecutingLine(context, line);
  const CommandRow* row = CommandRowOf(line->opcode);
  SetChangeLine(line->lineNumber, line->commandWord, row != nullptr && row->setsField >= 0);
  const int guarded = GuardTarget(context, line);
  if (guarded != kResultOk) return guarded;
  if (const char* what = JournalCannotUndo(line->opcode)) NoteIrreversibleLine(what);
  return FindHandler(line->opcode)(context, line);
}

int RunSection(ScriptContext* context, const char* name, const char* variable) {
  bool ok = true;  // cleared when RETURN or RETURNIF delivers a value
  char value[kReturnValueChars] = "";
  int result = kResultOk;

  ScriptSection* section = FindSection(context->sections, name);
  if (section == nullptr) {
    result = kResultSectionNotFound;  // not reported and not logged
  } else {
    LogStatus("Running Section: %s", name);
    section->stopFlag = 0;
    ScriptSection* saved = context->currentSection;
    context->currentSection = section;
    context->sectionDepth += 1;

    for (RecordLinks* links = section->lines->first; links != nullptr; links = links->next) {
      ScriptLine* line = RecordFromLinks<ScriptLine>(links);
      if (line->opcode == kOpReturn) {
        LogExecutingLine(context, line);
        ReturnCommand(context, line, value);
        ok = false;
        break;
      }
      if (line->opcode == kOpReturnIf) {
        LogExecutingLine(context, line);
        int code = ReturnIfCommand(context, line, value);
        if (code == kResultOk) {
          ok = false;
          break;
        }
        if (code != kResultReturnIfFalse) result = code;
      } else {
        result = ExecuteLine(context, line);
      }
      if (result != kResultOk || line->opcode == kOpGotoIf || section->stopFlag == 1) break;
    }

    context->sectionDepth -= 1;
    context->currentSection = saved;
  }

  if (variable != nullptr) {
    SymbolSet(context->symbols, variable, !ok ? value : TrueOrFalse(result == kResultOk));
  }
  return result;
}

int RunCalledSection(ScriptContext* context, const ScriptLine* line, const char* name,
                     const char* variable) {
  if (context->sectionDepth >= kMaxSectionDepth) {
    LogStatus("Section nesting deeper than %u at line %u", static_cast<unsigned>(kMaxSectionDepth),
              static_cast<unsigned>(line->lineNumber));
    return FailLine(context, line, kResultNoMemory);
  }
  const int result = RunSection(context, name, variable);
  // The run ends with 4 from the innermost line that names a missing section; the log says
  // which (the calling lines above it end with the same code and say nothing more).
  if (result == kResultSectionNotFound && FindSection(context->sections, name) == nullptr) {
    char detail[kLoggedLineChars];
    std::snprintf(detail, sizeof(detail), "Line %u: %s %s", static_cast<unsigned>(line->lineNumber),
                  line->commandWord, line->argumentText);
    LogUnreportedError(result, detail);
  }
  return result;
}

int UnrecognizedCommand(ScriptContext* context, const ScriptLine* line) {
  return FailLine(context, line, kResultUnrecognizedCommand);
}

int NoOperation(ScriptContext*, const ScriptLine*) { return kResultOk; }
