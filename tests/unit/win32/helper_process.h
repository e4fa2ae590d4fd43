// Starting the test helper programs that sit next to the test executable.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

std::string ProgramFolder();  // folder of the running test executable, with a trailing backslash

// Runs `program` with `arguments` (each quoted), waits for it, gives its exit code or -1.
int RunAndWait(const std::string& program, const std::vector<std::string>& arguments);

// A helper that holds a file (hold_file) until the object goes away.
class FileHolder {
 public:
  FileHolder(const char* mode, const std::string& path);
  ~FileHolder();
  bool Holding() const { return holding_; }

 private:
  HANDLE ready_ = nullptr;
  HANDLE release_ = nullptr;
  HANDLE process_ = nullptr;
  bool holding_ = false;
};
