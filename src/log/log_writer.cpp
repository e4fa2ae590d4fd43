// The common writer behind LogStatus and LogError: level and path checks, message
// formatting with its cuts, and the line prefix. The file side lives in log_platform.
#include <cstdio>
#include <cstring>

#include "log/log.h"
#include "log/log_platform.h"

namespace {
char g_logPath[kLogPathChars] = "";
int g_threshold = kLogLevelStatus;
}  // namespace

void SetLogFile(int threshold, const char* path) {
  g_threshold = threshold;
  g_logPath[0] = '\0';
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
  int written = std::snprintf(line, kLogLineBytes + 1, "%02d-%02d %02d:%02d %8s:%03x %s\r\n",
                              stamp.month, stamp.day, stamp.hour, stamp.minute, stamp.module,
                              static_cast<unsigned>(stamp.processId), text);
  if (written < 0) {
    line[0] = '\0';
    return 0;
  }
  return std::strlen(line);
}

void LogWriteV(int level, const char* format, va_list args) {
  if (g_logPath[0] == '\0' || level < g_threshold || format == nullptr) return;

  char text[kLogLineBytes];  // the message is cut to 3071 characters
  if (std::vsnprintf(text, sizeof(text), format, args) < 0) return;
  if (text[0] == '\0') return;  // an empty message writes no line at all

  LogStamp stamp;
  LogPlatformStamp(&stamp);
  char line[kLogLineBytes + 1];
  size_t length = FormatLogLine(line, stamp, text);
  if (length > 0) LogPlatformAppend(g_logPath, line, length);
}

void LogStatus(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogWriteV(kLogLevelStatus, format, args);
  va_end(args);
}

void LogError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogWriteV(kLogLevelError, format, args);
  va_end(args);
}
