#include "engine/report.h"

#include <cstdio>

#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "engine/text.h"
#include "log/log.h"
#include "platform/final_status.h"
#include "platform/messages.h"

void ReportLineError(ScriptContext* context, const ScriptLine* line, int code) {
  if (code != 0) context->errorCode = code;
  context->lineCounter = line->lineNumber;
  std::snprintf(context->errorText, sizeof(context->errorText), "%s %s", line->commandWord,
                line->argumentText);
  ReportError(context->errorCode, line->lineNumber, context->errorText);
}

void ReportError(int code, uint32_t lineNumber, const char* lineText) {
  char message[kMessageChars] = "Unknown error";
  unsigned id = ResultCodeStringId(code);
  char loaded[kMessageChars];
  if (id != 0 && LoadMessageText(id, loaded, sizeof(loaded)) > 0) CopyText(message, sizeof(message), loaded);

  char hostText[kHostTextChars];
  std::snprintf(hostText, sizeof(hostText), "Kivrun Script: %s<br>%s", message, lineText);
  LogError("Error: %s\n>>Line %u: %s", message, static_cast<unsigned>(lineNumber), lineText);
  SetFinalStatus(kStatusFailed, hostText);
}

int FailLine(ScriptContext* context, const ScriptLine* line, int code) {
  if (context->currentSection != nullptr) context->currentSection->stopFlag = 1;
  ReportLineError(context, line, code);
  return code;
}

int StoreOrFail(ScriptContext* context, const ScriptLine* line, const char* name, const char* value) {
  int result = SymbolSet(context->symbols, name, value);
  return result == kResultOk ? kResultOk : FailLine(context, line, result);
}

void StatusMessage(unsigned id, const char* argument) {
  char format[kMessageChars + 1];
  LoadMessageText(id, format, sizeof(format));
  if (argument == nullptr) {
    LogStatus("%s", format);
    return;
  }
  char text[1025];  // what wsprintfA can produce
  // The resource text is the format; every status string takes exactly one %s.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::snprintf(text, sizeof(text), format, argument);
#pragma GCC diagnostic pop
  LogStatus("%s", text);
}
