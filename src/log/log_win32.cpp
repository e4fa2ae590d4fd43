// The log file on Win32: resolved against the Windows directory, opened for one line
// with read sharing only, emptied when over the cap, closed again at once.
#include <windows.h>

#include <cstring>

#include "log/log_platform.h"

namespace {

// A path of two parts can exceed 260; CreateFileA then fails and the fallback applies.
constexpr size_t kResolvedChars = 2 * MAX_PATH + 2;

void AppendText(char* dest, size_t size, const char* text) {
  size_t used = std::strlen(dest);
  size_t length = std::strlen(text);
  if (used + 1 >= size) return;
  if (length > size - 1 - used) length = size - 1 - used;
  std::memcpy(dest + used, text, length);
  dest[used + length] = '\0';
}

HANDLE OpenLogFile(const char* path) {
  return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

const char* BaseName(const char* path) {
  const char* slash = std::strrchr(path, '\\');
  return slash != nullptr ? slash + 1 : path;
}

}  // namespace

void LogPlatformStamp(LogStamp* stamp) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  stamp->month = now.wMonth;
  stamp->day = now.wDay;
  stamp->hour = now.wHour;
  stamp->minute = now.wMinute;
  stamp->processId = GetCurrentProcessId();

  char fullPath[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(nullptr, fullPath, sizeof(fullPath));
  if (length >= sizeof(fullPath)) fullPath[sizeof(fullPath) - 1] = '\0';
  ModuleNameFromPath(fullPath, stamp->module, sizeof(stamp->module));
}

void LogPlatformAppend(const char* configuredPath, const char* line, size_t length) {
  char path[kResolvedChars] = "";
  if (std::strchr(configuredPath, '\\') != nullptr) {
    AppendText(path, sizeof(path), configuredPath);
  } else {
    GetWindowsDirectoryA(path, MAX_PATH);
    AppendText(path, sizeof(path), "\\");
    AppendText(path, sizeof(path), configuredPath);
  }

  HANDLE file = OpenLogFile(path);
  if (file == INVALID_HANDLE_VALUE) {
    // Held by another writer, or its folder is missing: the temporary folder takes the line.
    char fallback[kResolvedChars] = "";
    GetTempPathA(MAX_PATH, fallback);
    AppendText(fallback, sizeof(fallback), BaseName(configuredPath));
    file = OpenLogFile(fallback);
    if (file == INVALID_HANDLE_VALUE) return;
  }

  DWORD high = 0;
  DWORD low = GetFileSize(file, &high);
  bool sizeKnown = low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR;
  if (sizeKnown && (high != 0 || low > kLogCapBytes)) {
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
  }
  SetFilePointer(file, 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
  CloseHandle(file);
}

void SetLogLineObserver(LogLineObserver) {}
