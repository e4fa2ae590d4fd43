// Reporting a failing line (log, last-error record, final status) and status lines from
// the message table.
#pragma once
#include <cstdint>

#include "engine/script.h"

constexpr unsigned kStringLoadingScript = 61;  // "Loading and parsing script file : %s"
constexpr unsigned kStringClosingApplication = 75;
constexpr unsigned kStringStartingApplication = 76;
constexpr unsigned kStringStoppingService = 77;
constexpr unsigned kStringStartingService = 78;

constexpr size_t kMessageChars = 260;   // a loaded message keeps at most 259 characters
constexpr size_t kHostTextChars = 512;  // "Kivrun Script: message<br>line"

// Records `code`, the line's number and "word arguments" in the context and reports them.
void ReportLineError(ScriptContext* context, const ScriptLine* line, int code);
// Looks the message up ("Unknown error" without a row), logs the error line and makes
// the host text the final status with E_FAIL.
void ReportError(int code, uint32_t lineNumber, const char* lineText);

// Logs the error line of a failure the host learns of only at the end of the run (a missing
// start or called section): the code's message, and below it `detail` ("Line 12: CALL
// Cleanup", "Start section: Main"). The final status is left to the end of the run.
void LogUnreportedError(int code, const char* detail);

// The end of a run whose exit code is not 0 while the final status is no failure (a load
// failure, a missing start or called section): the final status becomes E_FAIL with
// "Kivrun Script: " and the first line of the last error logged (without its "Error: "),
// or, when none was logged, the exit code's message.
void ReportUnreportedFailure(int exitCode);

// The handler convention for a failure: stop the current section, report, give the code.
int FailLine(ScriptContext* context, const ScriptLine* line, int code);

// Stores a variable; a failure to store it (1) fails the line by the convention above.
int StoreOrFail(ScriptContext* context, const ScriptLine* line, const char* name, const char* value);

// Loads message `id`, formats it with `argument` when one is given, and logs it as status.
void StatusMessage(unsigned id, const char* argument);
