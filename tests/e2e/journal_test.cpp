// The journal and the what-if plan end to end. Kivrun.exe runs an update with /Journal=:
// files new, replaced and deleted (a read-only one, one held by another program), a folder
// tree removed, registry values and keys set, made and deleted under HKCU and HKLM, INI
// entries and a section, a shortcut, a service stopped and started, deletions at restart.
// Whatever becomes of the run (the process lost at any step, a failing last line, a
// success), the machine is left either as it was before the run or as a run without the
// journal leaves it. Run with /WhatIf, the same update changes nothing and plans exactly the
// changes that the journal then records of the real run.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <utility>

#include "e2e_support.h"
#include "journal_fixture.h"

namespace {

const std::string kRoot = "C:\\kivjournal";
const std::string kPackage = kRoot + "\\package";
const std::string kApp = kRoot + "\\app";
const std::string kJournal = kRoot + "\\journal";
const std::string kBusy = kApp + "\\busy.dll";
const std::string kInUseInTree = kApp + "\\old\\sub\\inuse.log";
const std::string kKey = "Software\\KivrunJournal";
const char kService[] = "KivrunJournalService";
const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";
// A deletion at restart some other program asked for, there before every run: the run adds
// to it, and the rollback must leave it as it was.
const char kOtherPendingRenameBytes[] = "\\??\\C:\\kivjournal\\elsewhere.tmp\0\0";  // and the closing NUL
const std::string kOtherPendingRename(kOtherPendingRenameBytes, sizeof(kOtherPendingRenameBytes));

// The update's start section, one step a line; the entries of its list are steps too, each
// logged before its copy.
const std::vector<std::string> kUpdateLines = {
    "SETWORKDIR C:\\kivjournal\\app",
    "COPYFILES Files",
    "COPYONEFILE C:\\kivjournal\\package\\config.dat,C:\\kivjournal\\app\\config.dat",
    "COPYONEFILE C:\\kivjournal\\package\\new.dll,C:\\kivjournal\\app\\plugins\\new.dll",
    "DELETEONEFILE C:\\kivjournal\\app\\obsolete.txt",
    "DELETEONEFILE C:\\kivjournal\\app\\locked.dat",
    "DELETEONEFILE C:\\kivjournal\\app\\busy.dll",
    "DELFILES Retired",
    "REMOVEDIRRECURSIVE C:\\kivjournal\\app\\old",
    "SETREGVALUE HKCU\\Software\\KivrunJournal,Version=2.0",
    "SETREGVALUE HKCU\\Software\\KivrunJournal,Count=/REG_DWORD:6",
    "SETREGVALUE HKCU\\Software\\KivrunJournal,Added=new",
    "SETREGVALUE HKCU\\Software\\KivrunJournal,=updated",
    "CREATEREGKEY HKCU\\Software\\KivrunJournal,Created\\Deeper",
    "SETREGVALUE HKCU\\Software\\KivrunJournal\\Created\\Deeper,Path=C:\\kivjournal\\app",
    "DELETEREGVALUE HKCU\\Software\\KivrunJournal,Obsolete",
    "DELETEREGKEYRECURSIVE HKCU\\Software\\KivrunJournal\\Old",
    "CREATEREGKEY HKLM\\Software,KivrunJournal",
    "SETREGVALUE HKLM\\Software\\KivrunJournal,Installed=1",
    "SETINIFILEVALUE C:\\kivjournal\\app\\app.ini,Update,Version=2.0",
    "SETINIFILEVALUE C:\\kivjournal\\app\\app.ini,Added,Key=x",
    "DELETEINIFILESECTION C:\\kivjournal\\app\\app.ini,Old",
    "ADDSTARTMENU Kivrun Journal Test,C:\\kivjournal\\app\\app.exe",
    "STOPSERVICE KivrunJournalService",
    "COPYONEFILE C:\\kivjournal\\package\\service.dat,C:\\kivjournal\\app\\service.dat",
    "STARTSERVICE KivrunJournalService",
};
const char kLists[] =
    "[Files]\r\nFILECIO app.exe\r\nFILECOW engine.new,engine.dll\r\nFILECOW readme.txt\r\n"
    "[Retired]\r\nFILECIO retired1.txt\r\nFILECOW retired2.txt\r\n";
constexpr size_t kListEntrySteps = 3;  // the entries of [Files]; DELFILES logs none
const char kFailingLine[] = "COPYONEFILE C:\\kivjournal\\package\\missing.dat,C:\\kivjournal\\app\\missing.dat";

// The smaller update run on the 9x family: no services there, deletions at restart go to
// wininit.ini; its list has the records of its copies written ahead as on the NT family, and
// its files moved aside by name.
const std::vector<std::string> k9xLines = {
    "COPYONEFILE C:\\kivjournal\\package\\config.dat,C:\\kivjournal\\app\\config.dat",
    "COPYONEFILE C:\\kivjournal\\package\\new.dll,C:\\kivjournal\\app\\plugins\\new.dll",
    "DELETEONEFILE C:\\kivjournal\\app\\obsolete.txt",
    "DELETEONEFILE C:\\kivjournal\\app\\busy.dll",
    "SETINIFILEVALUE C:\\kivjournal\\app\\app.ini,Update,Version=2.0",
    "DELETEINIFILESECTION C:\\kivjournal\\app\\app.ini,Old",
    "SETREGVALUE HKCU\\Software\\KivrunJournal,Version=2.0",
    "CREATEREGKEY HKCU\\Software\\KivrunJournal,Created",
    "DELETEREGKEYRECURSIVE HKCU\\Software\\KivrunJournal\\Old",
    "SETWORKDIR C:\\kivjournal\\app",
    "COPYFILES Files",
};

// What a run with the journal writes to the log and a run without it never does.
const char* const kJournalPhrases[] = {"Journal committed", "Journal folder", "Undone: ", "Not undone: ",
                                       "Rolled back ", "Rollback incomplete", "Recovering the unfinished run"};

std::string Shortcut(int csidl) {
  char folder[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder);
  return std::string(folder) + "\\Kivrun Journal Test.lnk";
}

SnapshotScope Scope() {
  SnapshotScope scope;
  scope.folders = {kApp};  // the package beside the scripts is only read
  scope.files = {Shortcut(CSIDL_COMMON_STARTMENU), Shortcut(CSIDL_STARTMENU), WindowsFile("wininit.ini")};
  scope.keys = {{HKEY_CURRENT_USER, kKey, ""}, {HKEY_LOCAL_MACHINE, kKey, ""}};
  scope.values = {{HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames}};
  scope.services = {kService};
  return scope;
}

std::string Script(const std::vector<std::string>& lines, const char* lastLine = nullptr) {
  std::string text = "[Main]\r\n";
  for (const std::string& line : lines) text += line + "\r\n";
  if (lastLine != nullptr) text += std::string(lastLine) + "\r\n";
  return WriteScript(kPackage + "\\update.kiv", text + kLists);
}

std::vector<std::string> Arguments(const std::string& script, const std::string& log, bool journal = true) {
  std::vector<std::string> arguments = {"/Script=" + script, "/Section=Main", "/Log=" + log};
  if (journal) arguments.push_back("/Journal=" + kJournal);
  return arguments;
}

DWORD Rollback(const std::string& log) { return RunKivrun({"/Journal=" + kJournal, "/Rollback", "/Log=" + log}); }

std::string String(const char* text) { return std::string(text, std::strlen(text) + 1); }
std::string Dword(DWORD number) { return std::string(reinterpret_cast<const char*>(&number), sizeof(number)); }

// The machine as an update finds it: an installed product, its registry and INI entries,
// another program's deletion at restart, the service running.
void BuildStartState(bool service) {
  RemoveTree(kRoot);
  for (const std::string& folder : {kRoot, kPackage, kApp, kApp + "\\old", kApp + "\\old\\sub"}) {
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  PutFile(kPackage + "\\app.exe", "app 2.0", 20);
  PutFile(kPackage + "\\engine.new", "engine 2.0", 20);
  PutFile(kPackage + "\\readme.txt", "read me 2.0", 20);
  PutFile(kPackage + "\\config.dat", "config 2.0", 20);
  PutFile(kPackage + "\\new.dll", "plug-in 2.0", 20);
  PutFile(kPackage + "\\service.dat", "service data 2.0", 20);
  PutFile(kApp + "\\app.exe", "app 1.0", 1);
  PutFile(kApp + "\\engine.dll", "engine 1.0", 2, FILE_ATTRIBUTE_READONLY);
  PutFile(kApp + "\\config.dat", "config 1.0", 3, FILE_ATTRIBUTE_HIDDEN);
  PutFile(kApp + "\\obsolete.txt", "obsolete", 4);
  PutFile(kApp + "\\locked.dat", "locked", 5, FILE_ATTRIBUTE_READONLY);
  PutFile(kBusy, "busy", 6);
  PutFile(kApp + "\\retired1.txt", "retired one", 7);
  PutFile(kApp + "\\retired2.txt", "retired two", 8, FILE_ATTRIBUTE_READONLY);
  PutFile(kApp + "\\service.dat", "service data 1.0", 9);
  PutFile(kApp + "\\app.ini", "[Update]\r\nVersion=1.0\r\n\r\n[Old]\r\nA=1\r\n; kept with A\r\nB=2\r\n\r\n[Keep]\r\nC=3\r\n",
          10);
  PutFile(kApp + "\\old\\a.txt", "old a", 11);
  PutFile(kApp + "\\old\\sub\\b.txt", "old b", 12, FILE_ATTRIBUTE_READONLY);
  PutFile(kInUseInTree, "in use", 13);

  DeleteKeyTree(HKEY_CURRENT_USER, kKey);
  DeleteKeyTree(HKEY_LOCAL_MACHINE, kKey);
  PutValue(HKEY_CURRENT_USER, kKey, "", REG_SZ, String("journal test"));
  PutValue(HKEY_CURRENT_USER, kKey, "Version", REG_SZ, String("1.0"));
  PutValue(HKEY_CURRENT_USER, kKey, "Count", REG_DWORD, Dword(5));
  PutValue(HKEY_CURRENT_USER, kKey, "Obsolete", REG_SZ, String("x"));
  PutValue(HKEY_CURRENT_USER, kKey + "\\Keep", "Name", REG_SZ, String("keep"));
  PutValue(HKEY_CURRENT_USER, kKey + "\\Old", "Path", REG_EXPAND_SZ, String("%SystemRoot%\\old"));
  PutValue(HKEY_CURRENT_USER, kKey + "\\Old", "List", REG_MULTI_SZ, std::string("a\0bc\0\0", 6));
  PutValue(HKEY_CURRENT_USER, kKey + "\\Old", "Blob", REG_BINARY, std::string("\x01\x02\x00\xff", 4));
  PutValue(HKEY_CURRENT_USER, kKey + "\\Old\\Sub\\Deep", "", REG_SZ, String("deep"));
  PutValue(HKEY_CURRENT_USER, kKey + "\\Old\\Sub\\Deep", "Flag", REG_DWORD, Dword(1));
  PutValue(HKEY_CURRENT_USER, kKey + "\\Old\\Empty", "", REG_NONE, "");
  DeleteValue(HKEY_CURRENT_USER, kKey + "\\Old\\Empty", "");

  PutValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, REG_MULTI_SZ, kOtherPendingRename);
  Remove(Shortcut(CSIDL_COMMON_STARTMENU));
  Remove(Shortcut(CSIDL_STARTMENU));
  Remove(WindowsFile("wininit.ini"));
  if (service) StartTestService(kService);
}

std::vector<std::string> FilesBelow(const std::string& folder) {
  SnapshotScope scope;
  scope.folders = {folder};
  std::vector<std::string> files;
  for (const auto& [name, item] : TakeSnapshot(scope)) {
    if (name.rfind("file ", 0) == 0) files.push_back(name.substr(5));
  }
  return files;
}

// What a finished rollback or commit must not leave in the journal folder: the journal, or
// any file it kept.
std::string JournalLeftovers() {
  std::string left;
  if (GetFileAttributesA((kJournal + "\\journal.kvj").c_str()) != INVALID_FILE_ATTRIBUTES) left += " journal.kvj";
  for (const std::string& file : FilesBelow(kJournal + "\\kept")) left += " " + file;
  return left;
}

// The deletions at restart that the NT family has been asked for, as stored.
std::optional<std::string> PendingRenames() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  std::optional<std::string> value;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, kPendingRenames, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    std::string data(size, '\0');
    RegQueryValueExA(key, kPendingRenames, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
    data.resize(size);
    value = data;
  }
  RegCloseKey(key);
  return value;
}

// The lines of the log the journal wrote, for a failure message.
std::string JournalLines(const std::string& log) {
  std::string lines, text = ReadShared(log);
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end + 1 - start);
    for (const char* phrase : kJournalPhrases) {
      if (Contains(line, phrase)) {
        lines += "    " + line;
        break;
      }
    }
  }
  return lines;
}

// "Rolled back N changes" gives N; -1 when the line is not there.
long RolledBackCount(const std::string& logText) {
  const size_t at = logText.find("Rolled back ");
  return at == std::string::npos ? -1 : std::strtol(logText.c_str() + at + 12, nullptr, 10);
}

size_t Count(const std::string& text, const std::string& piece) {
  size_t count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

class Journal : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    savedPendingRenames_ = PendingRenames();
    serviceInstalled_ = InstallTestService(kService);
  }
  static void TearDownTestSuite() {
    SetWineVersion(nullptr);
    RemoveTestService(kService);
    RemoveTree(kRoot);
    DeleteKeyTree(HKEY_CURRENT_USER, kKey);
    DeleteKeyTree(HKEY_LOCAL_MACHINE, kKey);
    Remove(Shortcut(CSIDL_COMMON_STARTMENU));
    Remove(Shortcut(CSIDL_STARTMENU));
    Remove(WindowsFile("wininit.ini"));
    if (savedPendingRenames_) {
      PutValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames, REG_MULTI_SZ, *savedPendingRenames_);
    } else {
      DeleteValue(HKEY_LOCAL_MACHINE, kSessionManager, kPendingRenames);
    }
  }
  void SetUp() override { ASSERT_TRUE(serviceInstalled_) << "the test service could not be installed"; }
  void TearDown() override { SetWineVersion(nullptr); }

  // What the update leaves when it runs without the journal, from the start state: taken
  // once, since every test that ends in the update's effects compares with it.
  static const Snapshot& PlainAfterState() {
    if (!plainAfter_) {
      BuildStartState(true);
      const std::string log = FreshLog("journal-plain");
      DWORD code;
      {
        HeldFile held(kBusy);
        code = RunKivrun(Arguments(Script(kUpdateLines), log, false));
      }
      EXPECT_EQ(code, 0u) << ReadText(log);
      EXPECT_EQ(GetFileAttributesA(kJournal.c_str()), INVALID_FILE_ATTRIBUTES);
      EXPECT_EQ(JournalLines(log), "");
      plainAfter_ = TakeSnapshot(Scope());
    }
    return *plainAfter_;
  }

  static inline std::optional<std::string> savedPendingRenames_;
  static inline std::optional<Snapshot> plainAfter_;
  static inline bool serviceInstalled_ = false;
};

// The update, run and ended in every way.
class JournalRun : public Journal {};
// The journal folder itself: in use, unwritable, empty.
class JournalFolder : public Journal {};
// The 9x family (Wine's Version=win98).
class Journal9x : public Journal {};
// The update and smaller scripts run with /WhatIf.
class WhatIf : public Journal {};

// A wide view of the machine for a what-if run: every folder at the top of drive C but
// Windows' own, the tests' logs and the users' folders (Wine links some of them to the Linux
// home folder; the start menus are in Scope()), the registry's software keys, and what
// Scope() adds.
SnapshotScope WideScope() {
  SnapshotScope scope = Scope();
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("C:\\*", &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == ".." || _stricmp(name.c_str(), "windows") == 0 || _stricmp(name.c_str(), "users") == 0) {
        continue;
      }
      if ("C:\\" + name + "\\" == WorkFolder()) continue;
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        scope.folders.push_back("C:\\" + name);
      } else {
        scope.files.push_back("C:\\" + name);
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  scope.keys.push_back({HKEY_CURRENT_USER, "Software", ""});
  scope.keys.push_back({HKEY_LOCAL_MACHINE, "Software", ""});
  return scope;
}

std::vector<std::string> WhatIfArguments(const std::string& script, const std::string& log, const std::string& plan) {
  std::vector<std::string> arguments = Arguments(script, log, false);
  arguments.push_back("/WhatIf");
  if (!plan.empty()) arguments.push_back("/Plan=" + plan);
  return arguments;
}

using LineAndCommand = std::set<std::pair<long, std::string>>;

// The changes of a plan file, by script line and command (one object a line).
LineAndCommand PlannedChanges(const std::string& json) {
  LineAndCommand changes;
  for (size_t at = json.find("{\"line\": "); at != std::string::npos; at = json.find("{\"line\": ", at + 1)) {
    const std::string object = json.substr(at, json.find('\n', at) - at);
    if (!Contains(object, "\"change\": true")) continue;
    const size_t command = object.find("\"command\": \"") + 12;
    changes.insert({std::strtol(object.c_str() + 9, nullptr, 10),
                    object.substr(command, object.find('"', command) - command)});
  }
  return changes;
}

// The changes a rollback undid, from its "Undone: line N COMMAND: ..." lines.
LineAndCommand UndoneChanges(const std::string& logText) {
  LineAndCommand changes;
  const std::string mark = "Undone: line ";
  for (size_t at = logText.find(mark); at != std::string::npos; at = logText.find(mark, at + 1)) {
    char* end = nullptr;
    const long line = std::strtol(logText.c_str() + at + mark.size(), &end, 10);
    const size_t command = static_cast<size_t>(end - logText.c_str()) + 1;
    changes.insert({line, logText.substr(command, logText.find(':', command) - command)});
  }
  return changes;
}

// The "Executing line N: ..." lines of a log, in order: the path a run took.
std::vector<std::string> ExecutedLines(const std::string& logText) {
  std::vector<std::string> lines;
  for (size_t at = logText.find("Executing line "); at != std::string::npos;
       at = logText.find("Executing line ", at + 1)) {
    lines.push_back(logText.substr(at, logText.find('\n', at) - at));
  }
  return lines;
}

std::string Printed(const LineAndCommand& changes) {
  std::string text;
  for (const auto& [line, command] : changes) text += " " + std::to_string(line) + " " + command;
  return text;
}

}  // namespace

// The update's effects, once, against the start state: a run without the journal does what
// the script says, and a run with it ends in the same place and leaves no journal.
TEST_F(JournalRun, ASuccessfulRunCommitsAndEndsWhereARunWithoutTheJournalEnds) {
  BuildStartState(true);
  const Snapshot before = TakeSnapshot(Scope());
  const Snapshot& plain = PlainAfterState();
  const std::string effects = Difference(before, plain, Times::kIgnored);
  for (const char* effect : {"changed: file C:\\kivjournal\\app\\app.exe", "new:     file C:\\kivjournal\\app\\readme.txt",
                             "gone:    file C:\\kivjournal\\app\\locked.dat", "gone:    folder C:\\kivjournal\\app\\old",
                             "gone:    key HKCU\\Software\\KivrunJournal\\Old", "new:     key HKLM\\Software\\KivrunJournal",
                             "changed: file C:\\kivjournal\\app\\app.ini", "changed: value HKLM\\System",
                             "Kivrun Journal Test.lnk"}) {
    EXPECT_TRUE(Contains(effects, effect)) << effect << " is not among the plain run's effects:\n" << effects;
  }

  BuildStartState(true);
  const std::string log = FreshLog("journal-success");
  DWORD code;
  {
    HeldFile held(kBusy);
    ASSERT_TRUE(held.Holding());
    code = RunKivrun(Arguments(Script(kUpdateLines), log));
  }
  const std::string text = ReadText(log);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(Contains(text, "Journal committed: ")) << JournalLines(log);
  EXPECT_FALSE(Contains(text, "Rolled back")) << JournalLines(log);
  EXPECT_EQ(JournalLeftovers(), "");
  EXPECT_EQ(Difference(plain, TakeSnapshot(Scope()), Times::kIgnored), "");
}

// A tree removed with a file still in use is moved aside whole where the system lets it
// (Wine does); the commit then removes what it kept, and what it cannot remove now, being in
// use, goes at the next restart: nothing of the run stays in the journal folder for good.
TEST_F(JournalRun, ACommitLeavesNothingKeptButWhatGoesAtTheRestart) {
  BuildStartState(false);
  const std::string log = FreshLog("journal-tree-in-use");
  const std::string script = WriteScript(kPackage + "\\tree.kiv", "[Main]\r\nREMOVEDIRRECURSIVE " + kApp + "\\old\r\n");
  DWORD code;
  {
    HeldFile held(kInUseInTree);
    ASSERT_TRUE(held.Holding());
    code = RunKivrun(Arguments(script, log));
  }
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(Contains(ReadText(log), "Journal committed: ")) << JournalLines(log);
  const std::string scheduled = PendingRenames().value_or("");
  std::string notScheduled;
  for (const std::string& file : FilesBelow(kJournal + "\\kept")) {
    if (!Contains(scheduled, file)) notScheduled += " " + file;
  }
  EXPECT_EQ(notScheduled, "") << "kept after the commit, and not to be deleted at the restart";
}

// The loss of the process (TerminateProcess, which Kivrun cannot see coming) right behind
// each step's log line, then `/Rollback`: the machine is as it was before the run, times
// included, and the journal folder keeps nothing. A step whose rollback falls short is
// reported and the start state built again, so that one fault does not hide the next.
TEST_F(JournalRun, ARunEndedAtAnyStepIsRolledBackWhole) {
  BuildStartState(true);
  const std::string script = Script(kUpdateLines);
  Snapshot before = TakeSnapshot(Scope());
  const size_t steps = kUpdateLines.size() + kListEntrySteps;
  for (size_t step = 1; step <= steps; ++step) {
    const std::string log = FreshLog("journal-killed"), rollbackLog = FreshLog("journal-rollback");
    bool reached = false, changed = false;
    std::string lastStep = "none";
    DWORD code;
    {
      HeldFile held(kBusy);
      ASSERT_TRUE(held.Holding());
      KivrunProcess run(Arguments(script, log));
      ASSERT_TRUE(run.Started());
      reached = run.WaitForSteps(log, step);
      run.Kill();
      const std::vector<std::string> logged = StepLines(ReadShared(log));
      if (!logged.empty()) lastStep = logged.back();
      changed = !Difference(before, TakeSnapshot(Scope())).empty();
      code = Rollback(rollbackLog);
    }
    const std::string where = "ended at step " + std::to_string(step) + " of " + std::to_string(steps) +
                              ", its last step line: " + lastStep + "\n  the rollback's lines:\n" +
                              JournalLines(rollbackLog);
    EXPECT_TRUE(reached) << where;
    EXPECT_TRUE(changed || step <= 3) << where << "  (the run had changed nothing yet: nothing was tested)";
    EXPECT_EQ(code, 0u) << where;
    const std::string difference = Difference(before, TakeSnapshot(Scope()));
    const std::string leftovers = JournalLeftovers();
    EXPECT_EQ(difference, "") << where;
    EXPECT_EQ(leftovers, "") << where;
    if (!difference.empty() || !leftovers.empty()) {
      RemoveTree(kJournal);
      BuildStartState(true);
      before = TakeSnapshot(Scope());
    }
  }
}

// A failing last line (a missing source: 13) takes back every change of the run, newest
// first, one log line each; the host hears the failure and that the changes went.
TEST_F(JournalRun, AFailingLastLineRollsBackEveryChangeOfTheRun) {
  BuildStartState(true);
  const Snapshot before = TakeSnapshot(Scope());
  const std::string log = FreshLog("journal-failing");
  std::vector<std::string> record;
  {
    HeldFile held(kBusy);
    ASSERT_TRUE(held.Holding());
    record = RunUnderHost({}, Arguments(Script(kUpdateLines, kFailingLine), log));
  }
  const std::string text = ReadText(log);
  ASSERT_FALSE(record.empty());
  EXPECT_EQ(record.back(), "exit 13");
  EXPECT_TRUE(record.size() >= 2 && Contains(record[record.size() - 2], "OnComplete(0x80004005, ") &&
              Contains(record[record.size() - 2], "<br>The changes of this run were rolled back.\")"))
      << ::testing::PrintToString(record);
  const long rolledBack = RolledBackCount(text);
  EXPECT_GT(rolledBack, 0) << JournalLines(log);
  EXPECT_EQ(Count(text, "Undone: line "), static_cast<size_t>(rolledBack > 0 ? rolledBack : 0)) << JournalLines(log);
  EXPECT_TRUE(Contains(text, "Rolled back " + std::to_string(rolledBack) + " changes.\r\n")) << JournalLines(log);
  EXPECT_FALSE(Contains(text, "Not undone")) << JournalLines(log);
  EXPECT_LT(text.find(">>Line "), text.find("Undone: line "));  // the failing line first, then the undoing
  EXPECT_EQ(Difference(before, TakeSnapshot(Scope())), "");
  EXPECT_EQ(JournalLeftovers(), "");
}

// A long list has the records of its coming copies written ahead, from one reading of the
// target folder. Whole, it commits exactly the changes it made; stopped part way (a missing
// source at the tenth entry), its rollback puts back every file it copied over, read-only
// and hidden ones included, removes those it made, and counts and logs those only: the
// records of the entries it never reached are passed over in silence.
TEST_F(JournalRun, ALongListCountsAndUndoesOnlyTheCopiesItMade) {
  const struct {
    const char* name;
    DWORD installed;  // 0: not installed
  } kEntries[] = {{"t01.dat", 0}, {"t02.dat", FILE_ATTRIBUTE_NORMAL}, {"t03.dat", 0}, {"t04.dat", 0},
                  {"t05.dat", FILE_ATTRIBUTE_NORMAL}, {"t06.dat", 0}, {"t07.dat", FILE_ATTRIBUTE_READONLY},
                  {"t08.dat", 0}, {"t09.dat", FILE_ATTRIBUTE_HIDDEN}, {"t10.dat", 0}, {"t11.dat", FILE_ATTRIBUTE_NORMAL},
                  {"t12.dat", 0}};
  // One change a copy: nine before the tenth entry, twelve for the whole list.
  const struct {
    bool stops;
    const char* logName;
    DWORD exitCode;
    const char* logged;
  } kRuns[] = {{false, "journal-long-list", 0, "Journal committed: 12 changes.\r\n"},
               {true, "journal-long-list-stopped", 13, "Rolled back 9 changes.\r\n"}};
  for (const auto& run : kRuns) {
    BuildStartState(false);
    std::string list = "[Long]\r\n";
    for (const auto& entry : kEntries) {
      const bool missing = run.stops && std::strcmp(entry.name, "t10.dat") == 0;
      if (!missing) PutFile(kPackage + "\\" + entry.name, std::string("new ") + entry.name, 20);
      if (entry.installed != 0) PutFile(kApp + "\\" + entry.name, std::string("old ") + entry.name, 2, entry.installed);
      list += std::string("FILECIO ") + entry.name + "\r\n";
    }
    const Snapshot before = TakeSnapshot(Scope());
    const std::string log = FreshLog(run.logName);
    const std::string script = WriteScript(kPackage + "\\long.kiv", "[Main]\r\nSETWORKDIR " + kApp + "\r\nCOPYFILES Long\r\n" + list);
    EXPECT_EQ(RunKivrun(Arguments(script, log)), run.exitCode) << run.logName;
    const std::string text = ReadText(log);
    EXPECT_TRUE(Contains(text, run.logged)) << run.logName << "\n" << JournalLines(log);
    EXPECT_FALSE(Contains(text, "found as it was")) << run.logName << "\n" << JournalLines(log);
    EXPECT_EQ(JournalLeftovers(), "") << run.logName;
    if (run.stops) {
      EXPECT_EQ(Count(text, "Undone: line "), 9u) << JournalLines(log);
      EXPECT_EQ(Difference(before, TakeSnapshot(Scope())), "");
    } else {
      for (const auto& entry : kEntries) EXPECT_EQ(ReadText(kApp + "\\" + entry.name), std::string("new ") + entry.name);
    }
  }
}

// A run lost part way leaves its journal; the next run on the folder rolls it back before
// its own first line, then runs its script to the end.
TEST_F(JournalRun, TheNextRunRollsBackAnUnfinishedRunFirst) {
  const Snapshot& plain = PlainAfterState();
  BuildStartState(true);
  const std::string script = Script(kUpdateLines);
  const std::string killedLog = FreshLog("journal-unfinished"), log = FreshLog("journal-recovery");
  DWORD code;
  {
    HeldFile held(kBusy);
    ASSERT_TRUE(held.Holding());
    {
      KivrunProcess run(Arguments(script, killedLog));
      ASSERT_TRUE(run.WaitForSteps(killedLog, 14));  // past the files, among the registry lines
      run.Kill();
    }
    ASSERT_NE(GetFileAttributesA((kJournal + "\\journal.kvj").c_str()), INVALID_FILE_ATTRIBUTES);
    code = RunKivrun(Arguments(script, log));
  }
  const std::string text = ReadText(log);
  EXPECT_EQ(code, 0u) << JournalLines(log);
  const size_t recovering = text.find("Recovering the unfinished run journalled in " + kJournal + ".\r\n");
  const size_t firstUndo = text.find("Undone: line "), rolledBack = text.find("Rolled back ");
  const size_t firstLine = text.find("Executing line ");
  EXPECT_NE(recovering, std::string::npos) << JournalLines(log);
  EXPECT_LT(recovering, firstUndo) << JournalLines(log);
  EXPECT_LT(firstUndo, rolledBack) << JournalLines(log);
  EXPECT_LT(rolledBack, firstLine) << JournalLines(log);
  EXPECT_TRUE(Contains(text, "Journal committed: ")) << JournalLines(log);
  EXPECT_EQ(Difference(plain, TakeSnapshot(Scope()), Times::kIgnored), "");
  EXPECT_EQ(JournalLeftovers(), "");
}

// An undo that fails (the file the run made is held by another program now) stays in the
// journal: `/Rollback` gives 58, the next run recovers nothing whole and so runs nothing (58);
// once the file is free, `/Rollback` finishes the work and gives 0.
TEST_F(JournalRun, AnUndoThatFailsStaysInTheJournalUntilALaterRollbackEndsIt) {
  BuildStartState(false);
  const Snapshot before = TakeSnapshot(Scope());
  const std::string script =
      WriteScript(kPackage + "\\made.kiv", "[Main]\r\nSETWORKDIR " + kApp +
                                                "\r\nCOPYFILES Files\r\nSETREGVALUE HKCU\\Software\\KivrunJournal,Version=2.0\r\n"
                                                "WAITTILLUNLOCKED " + kBusy + ",30000\r\n" + kLists);
  const std::string made = kApp + "\\readme.txt";
  const std::string killedLog = FreshLog("journal-made"), firstLog = FreshLog("journal-not-undone");
  const std::string recoveryLog = FreshLog("journal-not-recovered"), lastLog = FreshLog("journal-undone");
  DWORD first, recovery;
  {
    HeldFile busy(kBusy);
    KivrunProcess run(Arguments(script, killedLog));
    ASSERT_TRUE(run.WaitForSteps(killedLog, 7));  // waiting on the held file, the copies made
    run.Kill();
    HeldFile held(made);
    ASSERT_TRUE(held.Holding());
    first = Rollback(firstLog);
    recovery = RunKivrun(Arguments(script, recoveryLog));
  }
  EXPECT_EQ(first, 58u) << JournalLines(firstLog);
  const std::string firstText = ReadText(firstLog);
  EXPECT_TRUE(Contains(firstText, "Not undone: line ")) << JournalLines(firstLog);
  EXPECT_TRUE(Contains(firstText, "Rollback incomplete: 1 changes stay in the journal " + kJournal + ".\r\n"))
      << JournalLines(firstLog);
  EXPECT_NE(GetFileAttributesA((kJournal + "\\journal.kvj").c_str()), INVALID_FILE_ATTRIBUTES);

  const std::string recoveryText = ReadText(recoveryLog);
  EXPECT_EQ(recovery, 58u) << JournalLines(recoveryLog);
  EXPECT_TRUE(Contains(recoveryText, "Recovering the unfinished run journalled in " + kJournal + ".\r\n"));
  EXPECT_TRUE(Contains(recoveryText, "The unfinished run in " + kJournal + " could not be rolled back whole: nothing runs."))
      << JournalLines(recoveryLog);
  EXPECT_FALSE(Contains(recoveryText, "Executing line")) << recoveryText;

  EXPECT_EQ(Rollback(lastLog), 0u) << JournalLines(lastLog);
  EXPECT_EQ(Difference(before, TakeSnapshot(Scope())), "") << JournalLines(lastLog);
  EXPECT_EQ(JournalLeftovers(), "");
}

// One folder, one run: a second run on it while the first goes on refuses at once with 57
// and changes nothing; the first is not disturbed.
TEST_F(JournalFolder, ASecondRunOnAFolderInUseRefusesWith57AndChangesNothing) {
  BuildStartState(false);
  const std::string firstLog = FreshLog("journal-first"), secondLog = FreshLog("journal-second");
  const std::string first = WriteScript(kPackage + "\\first.kiv",
                                        "[Main]\r\nWAITTILLUNLOCKED " + kBusy +
                                            ",30000\r\nSETREGVALUE HKCU\\Software\\KivrunJournal,First=1\r\n");
  const std::string second =
      WriteScript(kPackage + "\\second.kiv", "[Main]\r\nSETREGVALUE HKCU\\Software\\KivrunJournal,Second=1\r\n");
  DWORD firstCode;
  {
    std::optional<HeldFile> held(kBusy);
    ASSERT_TRUE(held->Holding());
    KivrunProcess firstRun(Arguments(first, firstLog));
    ASSERT_TRUE(firstRun.WaitForSteps(firstLog, 1));  // waiting on the held file, its journal open
    const Snapshot before = TakeSnapshot(Scope());
    EXPECT_EQ(RunKivrun(Arguments(second, secondLog)), 57u);
    EXPECT_TRUE(firstRun.Running());
    EXPECT_EQ(Difference(before, TakeSnapshot(Scope())), "");
    held.reset();
    firstCode = firstRun.Wait();
  }
  const std::string text = ReadText(secondLog);
  EXPECT_TRUE(Contains(text, "Journal folder " + kJournal + " is in use by another run.\r\n")) << text;
  EXPECT_FALSE(Contains(text, "Executing line")) << text;
  EXPECT_EQ(firstCode, 0u) << ReadText(firstLog);
  EXPECT_TRUE(Contains(ReadText(firstLog), "Journal committed: ")) << JournalLines(firstLog);
}

// A journal folder that cannot be made or written runs nothing: 57, and the host hears a
// failure.
TEST_F(JournalFolder, AFolderThatCannotBeWrittenRunsNoLineAndGives57) {
  BuildStartState(false);
  PutFile(kRoot + "\\afile.txt", "not a folder", 1);
  struct Case {
    const char* what;
    std::string folder;
  };
  std::vector<Case> cases = {
      {"a path below a file", kRoot + "\\afile.txt\\journal"},
      {"a name the file system refuses", kRoot + "\\bad|name"},
  };
  if (GetDriveTypeA("Q:\\") == DRIVE_NO_ROOT_DIR) cases.push_back({"a drive that is not there", "Q:\\journal"});
  const std::string script =
      WriteScript(kPackage + "\\refused.kiv", "[Main]\r\nSETREGVALUE HKCU\\Software\\KivrunJournal,Ran=1\r\n");
  for (const Case& c : cases) {
    const Snapshot before = TakeSnapshot(Scope());
    const std::string log = FreshLog("journal-unwritable");
    const std::vector<std::string> record = RunUnderHost(
        {}, {"/Script=" + script, "/Section=Main", "/Log=" + log, "/Journal=" + c.folder});
    const std::string text = ReadText(log);
    ASSERT_FALSE(record.empty()) << c.what;
    EXPECT_EQ(record.back(), "exit 57") << c.what;
    EXPECT_TRUE(record.size() >= 2 && Contains(record[record.size() - 2], "OnComplete(0x8"))
        << c.what << ": " << ::testing::PrintToString(record);
    EXPECT_TRUE(Contains(text, "Journal folder " + c.folder + " cannot be written (error ")) << c.what << "\n" << text;
    EXPECT_FALSE(Contains(text, "Executing line")) << c.what;
    EXPECT_EQ(Difference(before, TakeSnapshot(Scope())), "") << c.what;
  }
}

// `/Rollback` with nothing to undo: no folder, an empty folder, a folder whose run committed.
TEST_F(JournalFolder, RollbackWithNothingToUndoGives0) {
  BuildStartState(false);
  const std::string script =
      WriteScript(kPackage + "\\small.kiv", "[Main]\r\nSETREGVALUE HKCU\\Software\\KivrunJournal,Small=1\r\n");
  RemoveTree(kJournal);
  EXPECT_EQ(Rollback(FreshLog("journal-nothing")), 0u) << "no folder";
  CreateDirectoryA(kJournal.c_str(), nullptr);
  EXPECT_EQ(Rollback(FreshLog("journal-nothing")), 0u) << "an empty folder";
  EXPECT_EQ(RunKivrun({"/Script=" + script, "/Section=Main", "/Log=" + FreshLog("journal-small"),
                       "/Journal=" + kJournal}),
            0u);
  const Snapshot committed = TakeSnapshot(Scope());
  const std::string log = FreshLog("journal-nothing");
  EXPECT_EQ(Rollback(log), 0u) << "after a committed run";
  EXPECT_EQ(Difference(committed, TakeSnapshot(Scope())), "");  // the committed value stays
  EXPECT_FALSE(Contains(ReadText(log), "Undone: ")) << ReadText(log);
}

// On the 9x family a deletion at restart goes to wininit.ini: a run lost after it leaves the
// entry there until the rollback takes it back; a failing run takes back its files, INI
// entries, registry changes and wininit.ini together.
TEST_F(Journal9x, TheRollbackTakesBackFilesIniRegistryAndWininit) {
  BuildStartState(false);
  const std::string wininit = WindowsFile("wininit.ini");
  const Snapshot before = TakeSnapshot(Scope());
  SetWineVersion("win98");
  DWORD killedRollback, failing;
  std::string scheduled;
  const std::string killedLog = FreshLog("journal-9x-killed"), rollbackLog = FreshLog("journal-9x-rollback");
  const std::string log = FreshLog("journal-9x");
  {
    HeldFile held(kBusy);
    ASSERT_TRUE(held.Holding());
    {
      KivrunProcess run(Arguments(Script(k9xLines), killedLog));
      EXPECT_TRUE(run.WaitForSteps(killedLog, 5));  // the held file's line has run
      run.Kill();
    }
    scheduled = ReadShared(wininit);
    killedRollback = Rollback(rollbackLog);
    const Snapshot afterRollback = TakeSnapshot(Scope());
    EXPECT_EQ(Difference(before, afterRollback), "") << JournalLines(rollbackLog);
    failing = RunKivrun(Arguments(Script(k9xLines, kFailingLine), log));
  }
  SetWineVersion(nullptr);
  char shortBusy[MAX_PATH] = "";
  GetShortPathNameA(kBusy.c_str(), shortBusy, sizeof(shortBusy));
  EXPECT_TRUE(Contains(scheduled, "[rename]") && Contains(scheduled, std::string("NUL=") + shortBusy)) << scheduled;
  EXPECT_EQ(killedRollback, 0u) << JournalLines(rollbackLog);
  EXPECT_EQ(failing, 13u) << ReadText(log);
  EXPECT_GT(RolledBackCount(ReadText(log)), 0) << JournalLines(log);
  EXPECT_EQ(Difference(before, TakeSnapshot(Scope())), "") << JournalLines(log);
  EXPECT_EQ(JournalLeftovers(), "");
}

// The realistic update with /WhatIf (its last line fails, as in the rollback test above):
// nothing on the machine changes, the run gives the real run's exit code, the host hears
// the plan's count, and the plan holds exactly the changes that the journal records when
// the same update then runs for real (line and command of each, compared as sets).
TEST_F(WhatIf, TheUpdatePlansTheChangesTheRealRunMakesAndChangesNothing) {
  BuildStartState(true);
  const std::string script = Script(kUpdateLines, kFailingLine);
  const std::string log = FreshLog("whatif-update"), plan = WorkFolder() + "whatif-update.json";
  const std::string realLog = FreshLog("whatif-real");
  Remove(plan);
  std::vector<std::string> record;
  Snapshot before, after;
  DWORD real;
  {
    HeldFile held(kBusy);
    ASSERT_TRUE(held.Holding());
    before = TakeSnapshot(WideScope());
    record = RunUnderHost({}, WhatIfArguments(script, log, plan));
    after = TakeSnapshot(WideScope());
    real = RunKivrun(Arguments(script, realLog));
  }
  EXPECT_EQ(Difference(before, after), "");
  const std::string text = ReadText(log), json = ReadText(plan);
  ASSERT_FALSE(record.empty());
  EXPECT_EQ(record.back(), "exit 13");
  EXPECT_EQ(real, 13u);
  const LineAndCommand planned = PlannedChanges(json), undone = UndoneChanges(ReadText(realLog));
  EXPECT_FALSE(planned.empty()) << json;
  EXPECT_EQ(Printed(planned), Printed(undone)) << text << JournalLines(realLog);

  const std::string count = "What-if: " + std::to_string(Count(json, "\"change\": true")) + " changes planned";
  EXPECT_TRUE(record.size() >= 2 && Contains(record[record.size() - 2], "OnComplete(0x80004005, \"" + count + "<br>"))
      << ::testing::PrintToString(record);
  EXPECT_TRUE(Contains(json, "\"exitCode\": 13,")) << json;
  for (const char* line : {
           "COPYFILES: Would replace C:\\kivjournal\\app\\app.exe (7 bytes) with C:\\kivjournal\\package\\app.exe (7 bytes)",
           "COPYFILES: Would make C:\\kivjournal\\app\\engine.dll normal (now read-only)",
           "COPYFILES: Would copy C:\\kivjournal\\package\\readme.txt (11 bytes) to C:\\kivjournal\\app\\readme.txt",
           "DELETEONEFILE: Would schedule C:\\kivjournal\\app\\busy.dll for deletion at restart",
           "SETREGVALUE: Would set HKCU\\Software\\KivrunJournal,Version (REG_SZ) from '1.0' to '2.0'",
           "SETREGVALUE: Would set HKCU\\Software\\KivrunJournal,Count (REG_DWORD) from 5 to 6",
           "DELETEREGKEYRECURSIVE: Would delete key HKCU\\Software\\KivrunJournal\\Old with everything under it",
           "SETINIFILEVALUE: Would set [Update] Version in C:\\kivjournal\\app\\app.ini from '1.0' to '2.0'",
           "STOPSERVICE: Would stop service KivrunJournalService (running)",
           "STARTSERVICE: Would start service KivrunJournalService (stopped)",
       }) {
    EXPECT_TRUE(Contains(text, line)) << line << "\n" << text;
  }
  EXPECT_TRUE(Contains(text, ">>Line " + std::to_string(kUpdateLines.size() + 2) + ": COPYONEFILE")) << text;
}

// A flow that turns on what an earlier line would change: the what-if run reads its planned
// value, file and INI entry back, takes the path the real run then takes (the same lines,
// substituted alike) and plans the value the real run writes; what rests on a planned
// change says so.
TEST_F(WhatIf, AFlowThatTurnsOnAPlannedChangeTakesTheRealRunsPath) {
  BuildStartState(false);
  const std::string script = WriteScript(
      kPackage + "\\flow.kiv",
      "[Main]\r\nSETREGVALUE HKCU\\Software\\KivrunJournal,Version=2.0\r\n"
      "GETREGVALUE Version=HKCU\\Software\\KivrunJournal,Version\r\n"
      "GOTOIF %%Version%%=2.0,Current\r\nSETREGVALUE HKCU\\Software\\KivrunJournal,Path=old\r\n"
      "[Current]\r\nDELETEONEFILE C:\\kivjournal\\app\\obsolete.txt\r\n"
      "FILEEXISTS Obsolete=C:\\kivjournal\\app\\obsolete.txt\r\n"
      "SETINIFILEVALUE C:\\kivjournal\\app\\app.ini,Update,Version=%%Version%%\r\n"
      "GETINIFILEVALUE Ini=C:\\kivjournal\\app\\app.ini,Update,Version\r\n"
      "CREATEREGKEY HKCU\\Software\\KivrunJournal,Made\r\nFINDREGKEY Made=HKCU\\Software\\KivrunJournal\\Made\r\n"
      "SETREGVALUE HKCU\\Software\\KivrunJournal,Summary=%%Version%% %%Obsolete%% %%Ini%% %%Made%%\r\n");
  const Snapshot before = TakeSnapshot(Scope());
  const std::string log = FreshLog("whatif-flow"), realLog = FreshLog("whatif-flow-real");
  EXPECT_EQ(RunKivrun(WhatIfArguments(script, log, "")), 0u) << ReadText(log);
  EXPECT_EQ(Difference(before, TakeSnapshot(Scope())), "");
  EXPECT_EQ(RunKivrun(Arguments(script, realLog, false)), 0u) << ReadText(realLog);

  const std::string text = ReadText(log);
  EXPECT_EQ(ExecutedLines(text), ExecutedLines(ReadText(realLog)));
  EXPECT_TRUE(Contains(text, "SETREGVALUE: Would set HKCU\\Software\\KivrunJournal,Summary (REG_SZ) to "
                             "'2.0 FALSE 2.0 TRUE' (a new value) [then: assumes CREATEREGKEY of line 11 took effect]"))
      << text;
  EXPECT_TRUE(Contains(text, "DELETEONEFILE: Would delete C:\\kivjournal\\app\\obsolete.txt (8 bytes) "
                             "[then: assumes SETREGVALUE of line 2 took effect]"))
      << text;
  HKEY key = nullptr;
  char summary[64] = "";
  DWORD size = sizeof(summary);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  RegQueryValueExA(key, "Summary", nullptr, nullptr, reinterpret_cast<BYTE*>(summary), &size);
  RegCloseKey(key);
  EXPECT_STREQ(summary, "2.0 FALSE 2.0 TRUE");
}

// What a what-if run only describes: no box is shown (the questions take /WhatIfAnswer=),
// no program starts, no process ends, no CAB is installed, no restart is asked for; the
// plan names each, and what follows a program it did not start is a forecast.
TEST_F(WhatIf, NoProgramStartsNoBoxShowsAndNoProcessEnds) {
  BuildStartState(false);
  const std::string ran = WorkFolder() + "whatif-ran.log";
  Remove(ran);
  HANDLE sleeper = StartProgram(BinFolder() + "kivrun_hold_file.exe", {"sleep", "60000"});
  ASSERT_NE(sleeper, nullptr);
  const std::string script = WriteScript(
      kPackage + "\\programs.kiv",
      "[Main]\r\nYESNO Answer=Go on?\r\nSHOWMSG Updating\r\nSTARTPROGRESSDLG Update\r\n"
      "RUNWAIT " + BinFolder() + "kivrun_log_line.exe " + ran + " ran\r\n"
      "KILLPROCESS kivrun_hold_file.exe\r\nISPROCESSRUNNING Running=kivrun_hold_file.exe\r\n"
      "PROMPTREBOOT Restart now?\r\nINSTALLCAB Cab=C:\\kivjournal\\package\\update.cab\r\n"
      "SETREGVALUE HKCU\\Software\\KivrunJournal,Answers=%%Answer%% %%Running%% %%Cab%%\r\n");
  const Snapshot before = TakeSnapshot(Scope());
  const std::string log = FreshLog("whatif-programs");
  std::vector<std::string> arguments = WhatIfArguments(script, log, "");
  arguments.push_back("/WhatIfAnswer=NO");
  const std::vector<std::string> record = RunUnderHost({}, arguments);
  const bool stillRunning = WaitForSingleObject(sleeper, 0) == WAIT_TIMEOUT;
  TerminateProcess(sleeper, 0);
  CloseHandle(sleeper);

  const std::string text = ReadText(log);
  ASSERT_FALSE(record.empty());
  EXPECT_EQ(record.back(), "exit 0") << text;
  EXPECT_TRUE(record.size() >= 2 && Contains(record[record.size() - 2], "OnComplete(0x00000000, \"What-if: 4 changes planned\")"))
      << ::testing::PrintToString(record);
  EXPECT_TRUE(stillRunning);
  EXPECT_EQ(GetFileAttributesA(ran.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Difference(before, TakeSnapshot(Scope())), "");
  for (const std::string& line : std::vector<std::string>{
           "Line 2 YESNO: Would ask 'Go on?' (Yes or No): the plan answers No",
           "Line 3 SHOWMSG: Would show 'Updating'",
           "Line 5 RUNWAIT: Would start " + BinFolder() + "kivrun_log_line.exe " + ran + " ran and wait for it to end",
           "Line 6 KILLPROCESS: Would end process ",
           "Line 8 PROMPTREBOOT: Would ask 'Restart now?' (Yes or No): the plan answers No",
           "Line 9 INSTALLCAB: Would install CAB package C:\\kivjournal\\package\\update.cab",
           "Line 10 SETREGVALUE: Would set HKCU\\Software\\KivrunJournal,Answers (REG_SZ) to 'NO FALSE TRUE' (a new value) "
           "[then: assumes INSTALLCAB of line 9 took effect]",
       }) {
    EXPECT_TRUE(Contains(text, line)) << line << "\n" << text;
  }
  EXPECT_TRUE(Contains(text.substr(text.find("Line 6 KILLPROCESS")), "[then: assumes RUNWAIT of line 5 took effect]"));
  EXPECT_FALSE(Contains(text, "Would restart")) << text;
}
