#include "engine/report.h"

#include <cstdio>
#include <cstring>

#include "engine/result_codes.h"
#include "engine/symbols.h"
#include "base/text.h"
#include "log/log.h"
#include "platform/final_status.h"
#include "platform/messages.h"

namespace {

const char kHostTextPrefix[] = "Kivrun Script: ";
const char kErrorLinePrefix[] = "Error: ";  // begins the error log line of a report

// The message of `code` from the message table; "Unknown error" without a row.
void LookUpMessage(int code, char* message, size_t size) {
  CopyText(message, size, "Unknown error");
  unsigned id = ResultCodeStringId(code);
  char loaded[kMessageChars];
  if (id != 0 && LoadMessageText(id, loaded, sizeof(loaded)) > 0) CopyText(message, size, loaded);
}

}  // namespace

void ReportLineError(ScriptContext* context, const ScriptLine* line, int code) {
  if (code != 0) context->errorCode = code;
  context->stopLine = line->lineNumber;
  std::snprintf(context->errorText, sizeof(context->errorText), "%s %s", line->commandWord,
                line->argumentText);
  ReportError(context->errorCode, line->lineNumber, context->errorText);
}

void ReportError(int code, uint32_t lineNumber, const char* lineText) {
  char message[kMessageChars];
  LookUpMessage(code, message, sizeof(message));

  char hostText[kHostTextChars];
  std::snprintf(hostText, sizeof(hostText), "%s%s<br>%s", kHostTextPrefix, message, lineText);
  LogError("%s%s\n>>Line %u: %s", kErrorLinePrefix, message, static_cast<unsigned>(lineNumber), lineText);
  SetFinalStatus(kStatusFailed, hostText);
}

void LogUnreportedError(int code, const char* detail) {
  char message[kMessageChars];
  LookUpMessage(code, message, sizeof(message));
  LogError("%s%s\n>>%s", kErrorLinePrefix, message, detail);
}

void ReportUnreportedFailure(int exitCode) {
  if (exitCode == 0 || FinalStatusCode() < 0) return;  // a negative status is a failure already
  char cause[kHostTextChars - (sizeof(kHostTextPrefix) - 1)];  // cut to what the host text holds
  const char* lastError = LastLogError();
  const size_t prefixLength = sizeof(kErrorLinePrefix) - 1;
  if (std::strncmp(lastError, kErrorLinePrefix, prefixLength) == 0) lastError += prefixLength;
  if (lastError[0] != '\0') {
    CopyText(cause, sizeof(cause), lastError);
  } else {
    LookUpMessage(exitCode, cause, sizeof(cause));
  }
  char hostText[kHostTextChars];
  std::snprintf(hostText, sizeof(hostText), "%s%s", kHostTextPrefix, cause);
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
