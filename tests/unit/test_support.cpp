#include "test_support.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "log/log.h"
#include "log/log_platform.h"

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("kivtest-" + name)).string();
}

std::string WriteTempFile(const std::string& name, const std::string& bytes) {
  std::string path = TempPath(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }

#if defined(_WIN32)

LogRecorder::LogRecorder() : path_(TempPath("recorder.log")) {
  RemoveFile(path_);
  SetLogFile(kLogLevelStatus, path_.c_str());
}

LogRecorder::~LogRecorder() {
  SetLogFile(kLogLevelStatus, "");
  RemoveFile(path_);
}

std::string LogRecorder::Text() const { return ReadWholeFile(path_); }

#else

namespace {
std::string g_recorded;
void Record(const char* line, size_t length) { g_recorded.append(line, length); }
}  // namespace

LogRecorder::LogRecorder() {
  g_recorded.clear();
  SetLogLineObserver(Record);
  SetLogFile(kLogLevelStatus, "recorder.log");
}

LogRecorder::~LogRecorder() {
  SetLogFile(kLogLevelStatus, "");
  SetLogLineObserver(nullptr);
}

std::string LogRecorder::Text() const { return g_recorded; }

#endif

#if defined(_WIN32)
#include <windows.h>

namespace {
DWORD WINAPI RunWork(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  return 0;
}
}  // namespace

void RunOnLargeStack(size_t bytes, const std::function<void()>& work) {
  HANDLE thread = CreateThread(nullptr, bytes, RunWork, const_cast<std::function<void()>*>(&work),
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) return;
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}
#else
#include <pthread.h>

namespace {
void* RunWork(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  return nullptr;
}
}  // namespace

void RunOnLargeStack(size_t bytes, const std::function<void()>& work) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, bytes);
  pthread_t thread;
  if (pthread_create(&thread, &attributes, RunWork, const_cast<std::function<void()>*>(&work)) == 0) {
    pthread_join(thread, nullptr);
  }
  pthread_attr_destroy(&attributes);
}
#endif
