// Helpers shared by the core tests on both builds: script files in the temporary
// folder and a recorder of everything the log receives.
#pragma once
#include <string>

// Writes `bytes` to a file of that name in the temporary folder; gives its path.
std::string WriteTempFile(const std::string& name, const std::string& bytes);
std::string TempPath(const std::string& name);
std::string ReadWholeFile(const std::string& path);
void RemoveFile(const std::string& path);

// While alive, every log line lands here (natively through the line observer, on Win32
// in a log file of its own in the temporary folder).
class LogRecorder {
 public:
  LogRecorder();
  ~LogRecorder();
  std::string Text() const;
  bool Contains(const std::string& piece) const { return Text().find(piece) != std::string::npos; }

 private:
  std::string path_;
};

#include <functional>

// Runs `work` on a thread with a stack of `bytes` and waits for it (deep nesting tests).
void RunOnLargeStack(size_t bytes, const std::function<void()>& work);
