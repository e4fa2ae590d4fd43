// The common writer behind LogStatus and LogError: level and path checks, message
// formatting with its cuts, the line prefix, and the last error kept for the host. The
// file side lives in log_platform.
#include <cstdio>
#include <cstring>

#include "log/log.h"
#include "log/log_platform.h"

namespace {

char g_logPath[kLogPathChars] = "";
int g_threshold = kLogLevelStatus;
char g_lastError[kLogLastErrorChars] = "";

bool Wanted(int level) { return g_logPath[0] != '\0' && level >= g_threshold; }

// The caller's message, cut to kLogLineBytes - 1 characters; false when it cannot be formatted.
bool FormatText(char* text, const char* format, va_list args) {
  return format != nullptr && std::vsnprintf(text, kLogLineBytes, format, args) >= 0;
}

void WriteText(const char* text) {
  if (text[0] == '\0') return;  // an empty message writes no line at all
  LogStamp stamp;
  LogPlatformStamp(&stamp);
  char line[kLogLineBytes + 1];
  size_t length = FormatLogLine(line, stamp, text);
  if (length > 0) LogPlatformAppend(g_logPath, line, length);
}

void RememberError(const char* text) {
  size_t length = std::strcspn(text, "\r\n");
  if (length > kLogLastErrorChars - 1) length = kLogLastErrorChars - 1;
  std::memcpy(g_lastError, text, length);
  g_lastError[length] = '\0';
}

}  // namespace

void SetLogFile(int threshold, const char* path) {
  g_threshold = threshold;
  g_logPath[0] = '\0';
  g_lastError[0] = '\0';
  if (path == nullptr) return;
  size_t length = std::strlen(path);
  if (length > kLogPathChars - 1) length = kLogPathChars - 1;
  std::memcpy(g_logPath, path, length);
  g_logPath[length] = '\0';
}

void ModuleNameFromPath(const char* fullPath, char* name, size_t size) {
  if (size == 0) return;
  const char* base = std::strrchr(fullPath, '\\');
  base = base != nullptr ? base + 1 : fullPath;
  size_t length = std::strcspn(base, ".");
  if (length > size - 1) length = size - 1;
  std::memcpy(name, base, length);
  name[length] = '\0';
}

size_t FormatLogLine(char* line, const LogStamp& stamp, const char* text) {
  int prefix = std::snprintf(line, kLogLineBytes + 1, "%02d-%02d %02d:%02d %8s:%03x ", stamp.month, stamp.day,
                             stamp.hour, stamp.minute, stamp.module, static_cast<unsigned>(stamp.processId));
  if (prefix < 0) {
    line[0] = '\0';
    return 0;
  }
  // The text is cut so that the line end always fits: the next line never joins this one.
  const size_t beforeLineEnd = kLogLineBytes - kLogLineEndBytes;
  size_t length = static_cast<size_t>(prefix) < beforeLineEnd ? static_cast<size_t>(prefix) : beforeLineEnd;
  const size_t room = beforeLineEnd - length;
  size_t textLength = 0;
  while (textLength < room && text[textLength] != '\0') ++textLength;
  std::memcpy(line + length, text, textLength);
  length += textLength;
  std::memcpy(line + length, "\r\n", kLogLineEndBytes);
  length += kLogLineEndBytes;
  line[length] = '\0';
  return length;
}

void LogWriteV(int level, const char* format, va_list args) {
  if (!Wanted(level)) return;
  char text[kLogLineBytes];
  if (FormatText(text, format, args)) WriteText(text);
}

void LogStatus(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogWriteV(kLogLevelStatus, format, args);
  va_end(args);
}

void LogError(const char* format, ...) {
  // Formatted even when no line is written: the last error is remembered for the host.
  char text[kLogLineBytes];
  va_list args;
  va_start(args, format);
  const bool formatted = FormatText(text, format, args);
  va_end(args);
  if (!formatted || text[0] == '\0') return;
  RememberError(text);
  if (Wanted(kLogLevelError)) WriteText(text);
}

const char* LastLogError() { return g_lastError; }
