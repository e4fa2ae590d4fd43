// Running Kivrun.exe, kivcheck.exe and the test host from end-to-end tests: scripts and logs
// live in C:\kivtest.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

std::string BinFolder();         // where Kivrun.exe and the helpers are, with a trailing backslash
std::string WorkFolder();        // C:\kivtest\, created on first use
std::string WriteScript(const std::string& name, const std::string& text);  // gives its path
std::string ReadText(const std::string& path);
void Remove(const std::string& path);
// A file, or a folder with everything below it (read-only entries too); with or without a
// trailing backslash.
void RemoveTree(const std::string& path);
bool Exists(const std::string& path);
std::string WindowsFile(const char* name);  // the Windows folder's file
std::string ShellFolder(int csidl);         // a shell folder's path

// Starts `program` with the arguments (each passed as its own word, unquoted unless it has
// blanks) and gives its exit code, or -2 when it could not start.
DWORD RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                 DWORD timeoutMs = 60000);
// The same, with what the program writes to its standard output in `output` (through a
// file: a pipe that nobody reads while the program runs could fill up and stop it).
DWORD RunProgramCapturing(const std::string& program, const std::vector<std::string>& arguments,
                          std::string* output, DWORD timeoutMs = 60000);
DWORD RunKivrun(const std::vector<std::string>& arguments);

// Runs Kivrun under the test host; gives the host's record, one call per line.
std::vector<std::string> RunUnderHost(const std::vector<std::string>& hostOptions,
                                      const std::vector<std::string>& kivrunArguments, DWORD timeoutMs = 60000);

// A log file of its own for one test, removed first.
std::string FreshLog(const std::string& name);
bool Contains(const std::string& text, const std::string& piece);

// Under Xvfb: waits for a top-level window with this caption, reads its message text and
// presses OK. Gives false when no such window appeared within the time.
bool CloseMessageBox(const char* caption, std::string* text, DWORD timeoutMs = 15000);

// The Windows family Wine reports to programs started from now on: "win98" for the 9x
// family, nullptr for the prefix's own.
void SetWineVersion(const char* version);

// Starts `program` with the arguments (quoted where they hold blanks) without waiting for
// it; its process handle, or nullptr.
HANDLE StartProgram(const std::string& program, const std::vector<std::string>& arguments);

// A file held open by kivrun_hold_file.exe for writing, shared for reading only: it can be
// read, but neither replaced nor deleted while the object lives.
class HeldFile {
 public:
  explicit HeldFile(const std::string& path);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool Holding() const { return holding_; }

 private:
  HANDLE ready_ = nullptr;
  HANDLE release_ = nullptr;
  HANDLE process_ = nullptr;
  bool holding_ = false;
};
