// What the journal tests need around Kivrun.exe: a snapshot of the machine state a script
// touches (files, registry, services), compared item by item; Kivrun started without
// waiting, so that a test can end it at a step of its choosing; a file held by another
// program; the test service installed under a name of its own.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

// A registry key with its whole subtree, or one value of a key (`value` set).
struct RegistryPlace {
  HKEY root;
  std::string key;
  std::string value;
};

// What a snapshot looks at. Every place may be absent; that is recorded too.
struct SnapshotScope {
  std::vector<std::string> folders;   // every file and folder below, recursively
  std::vector<std::string> files;     // single files
  std::vector<RegistryPlace> keys;    // subtrees
  std::vector<RegistryPlace> values;  // single values
  std::vector<std::string> services;  // their states
};

// One item per thing found, keyed "file C:\...", "value HKCU\...\Key [Name]" and so on. A
// file's times are kept apart from what it holds: two runs that copy the same file at
// different moments leave equal files with different creation times.
struct SnapshotItem {
  std::string content;
  std::string times;
};
using Snapshot = std::map<std::string, SnapshotItem>;

Snapshot TakeSnapshot(const SnapshotScope& scope);

enum class Times { kCompared, kIgnored };
// Every item that is new, gone or changed, a few lines each; empty when the two agree.
std::string Difference(const Snapshot& before, const Snapshot& after, Times times = Times::kCompared);

// Building a start state: files with fixed contents, attributes and times (day 1 to 28 of
// January 2020, at noon), and registry values of any type.
void PutFile(const std::string& path, const std::string& bytes, int day, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
void PutValue(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& bytes);
void DeleteKeyTree(HKEY root, const std::string& key);
void DeleteValue(HKEY root, const std::string& key, const std::string& name);
std::string ReadShared(const std::string& path);  // also while another program writes it

// Kivrun.exe with these arguments, started at once and not waited for.
class KivrunProcess {
 public:
  explicit KivrunProcess(const std::vector<std::string>& arguments);
  ~KivrunProcess();  // ends it if it still runs
  KivrunProcess(const KivrunProcess&) = delete;
  KivrunProcess& operator=(const KivrunProcess&) = delete;

  bool Started() const { return process_ != nullptr; }
  bool Running() const;
  // Waits until `log` holds `count` step lines (StepLines); false when the run ended first
  // or the time ran out.
  bool WaitForSteps(const std::string& log, size_t count, DWORD timeoutMs = 60000) const;
  void Kill();                         // TerminateProcess, as the loss of the process
  DWORD Wait(DWORD timeoutMs = 60000);  // the exit code; 99 after the time ran out (ended)

 private:
  HANDLE process_ = nullptr;
};

// The log lines that begin a step: "Executing line N: ..." before each line of a section,
// and "FILECIO: ..." or "FILECOW: ..." before each copy of a list's entry. Their texts.
std::vector<std::string> StepLines(const std::string& logText);

// kivrun_test_service.exe installed as `name` (demand start).
bool InstallTestService(const char* name);
void RemoveTestService(const char* name);
bool StartTestService(const char* name);  // waits until it runs
bool StopTestService(const char* name);   // waits until it has stopped
