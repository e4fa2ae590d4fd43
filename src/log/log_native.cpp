// The log on the native build (unit tests and benchmarks): lines go to an observer when
// one is set, otherwise they are appended to the configured path with the same size cap.
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "log/log_platform.h"

namespace {
LogLineObserver g_observer = nullptr;
}

void SetLogLineObserver(LogLineObserver observer) { g_observer = observer; }

void LogPlatformStamp(LogStamp* stamp) {
  std::time_t now = std::time(nullptr);
  std::tm local = {};
  localtime_r(&now, &local);
  stamp->month = local.tm_mon + 1;
  stamp->day = local.tm_mday;
  stamp->hour = local.tm_hour;
  stamp->minute = local.tm_min;
  stamp->processId = static_cast<unsigned long>(getpid());

  char fullPath[260] = "";
  ssize_t length = readlink("/proc/self/exe", fullPath, sizeof(fullPath) - 1);
  fullPath[length > 0 ? length : 0] = '\0';
  for (char* c = fullPath; *c != '\0'; ++c) {
    if (*c == '/') *c = '\\';
  }
  ModuleNameFromPath(fullPath, stamp->module, sizeof(stamp->module));
}

void LogPlatformAppend(const char* configuredPath, const char* line, size_t length) {
  if (g_observer != nullptr) {
    g_observer(line, length);
    return;
  }
  std::FILE* file = std::fopen(configuredPath, "ab");
  if (file == nullptr) return;
  if (std::fseek(file, 0, SEEK_END) == 0 && std::ftell(file) > static_cast<long>(kLogCapBytes)) {
    std::fclose(file);
    file = std::fopen(configuredPath, "wb");
    if (file == nullptr) return;
  }
  std::fwrite(line, 1, length, file);
  std::fclose(file);
}
