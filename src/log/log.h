// The diagnostics log: one line per call, appended to the log file and closed again at once.
// Nothing here ever fails a caller: every failure inside the writer is silent.
#pragma once
#include <cstdarg>
#include <cstddef>

#if defined(__GNUC__)
#define KIV_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define KIV_PRINTF_FORMAT(fmt, args)
#endif

constexpr int kLogLevelStatus = 1;
constexpr int kLogLevelError = 7;

constexpr size_t kLogPathChars = 260;        // the configured path keeps at most 259 characters
constexpr size_t kLogLineBytes = 3072;       // a whole line, prefix and CR LF included
constexpr size_t kLogLineEndBytes = 2;       // CR LF, kept on every line
constexpr size_t kLogLastErrorChars = 512;   // what the host's text can carry
constexpr unsigned long kLogCapBytes = 0x80000;  // a larger log is emptied before the next line

// Stores the threshold and the path (cut to 259 characters), and forgets the last error.
// An empty path logs nothing.
void SetLogFile(int threshold, const char* path);

void LogStatus(const char* format, ...) KIV_PRINTF_FORMAT(1, 2);
void LogError(const char* format, ...) KIV_PRINTF_FORMAT(1, 2);
void LogWriteV(int level, const char* format, va_list args);

// The first line of the last non-empty LogError message, cut to kLogLastErrorChars - 1
// characters; empty when there was none. Kept whether or not the line reached a file.
const char* LastLogError();

// The parts of a line besides the message, read afresh for every line.
struct LogStamp {
  int month;
  int day;
  int hour;
  int minute;
  unsigned long processId;
  char module[260];  // executable name without folder, cut at its first "."
};

// Builds "MM-DD hh:mm  module:pid text\r\n" into `line` (kLogLineBytes + 1 bytes);
// the text of a longer line is cut so that the line, CR LF included, is kLogLineBytes
// bytes long. Gives its length.
size_t FormatLogLine(char* line, const LogStamp& stamp, const char* text);

// Keeps what follows the last backslash of `fullPath`, cut at its first ".".
void ModuleNameFromPath(const char* fullPath, char* name, size_t size);
