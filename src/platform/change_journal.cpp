#include "platform/change_journal.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "log/log.h"
#include "platform/change_line.h"
#include "platform/change_undo.h"
#include "platform/delete_on_reboot.h"
#include "platform/safe_rewrite.h"
#include "platform/win32_handles.h"

namespace {

const char kJournalName[] = "journal.kvj";
const char kLockName[] = "journal.lock";
const char kCommittedName[] = "journal.committed";  // a committed journal that could not be removed
const char kKeptName[] = "kept";
constexpr unsigned long kKeptPerFolder = 100;

struct KeptEntry {
  std::string path;
  DWORD attributes;
};

struct Journal {
  std::string folder;   // full path, no trailing backslash
  KernelHandle lock;
  KernelHandle file;    // open for appending while the run records
  bool recording = false;
  bool broken = false;  // a record could not be written nor cut off again: nothing more is changed
  std::string keptFolder;  // this run's folder under kept\, made with its first kept file
  unsigned long keptCount = 0;
  unsigned long changes = 0;  // the records of changes made: what the commit line counts
  std::vector<KeptEntry> committedKept;  // what a commit left to remove, the last first
};

Journal& TheJournal() {
  static Journal journal;
  return journal;
}

std::string InFolder(const char* name) { return TheJournal().folder + "\\" + name; }

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Creates the folder and its missing parents; true when it is there.
bool MakeFolders(const std::string& folder) {
  for (size_t at = folder.find('\\', 3); at != std::string::npos; at = folder.find('\\', at + 1)) {
    CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryA(folder.c_str(), nullptr);
  return IsFolder(folder);
}

// The entries of a kept tree, each folder after what it holds, with their attributes as the
// folder's listing gives them.
void ListKept(const std::string& path, DWORD attributes, std::vector<KeptEntry>* entries) {
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") ListKept(path + "\\" + name, found.dwFileAttributes, entries);
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
  }
  entries->push_back({path, attributes});
}

// Removes one kept entry: one in use goes at the next restart. Only a read-only one has its
// attributes cleared first, so a file costs one call.
void RemoveKeptEntry(const KeptEntry& entry) {
  const char* path = entry.path.c_str();
  if ((entry.attributes & FILE_ATTRIBUTE_READONLY) != 0) SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
  const bool removed = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? RemoveDirectoryA(path) : DeleteFileA(path);
  if (!removed) DeleteOnReboot(path);
}

// Lists what the journal kept (the whole of kept\), to be removed.
void ListAllKept(std::vector<KeptEntry>* entries) {
  const std::string kept = InFolder(kKeptName);
  const DWORD attributes = GetFileAttributesA(kept.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) ListKept(kept, attributes, entries);
}

void RemoveKept() {
  std::vector<KeptEntry> entries;
  ListAllKept(&entries);
  for (const KeptEntry& entry : entries) RemoveKeptEntry(entry);
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size() && FlushFileBuffers(file);
}

// "line 41 RUNWAIT" for the summary: one mention per line, met newest first.
void NoteNotUndone(const JournalRecord& record, std::vector<std::string>* newestFirst) {
  char entry[64];
  std::snprintf(entry, sizeof(entry), "line %lu %s", static_cast<unsigned long>(record.line),
                record.command.c_str());
  if (newestFirst->empty() || newestFirst->back() != entry) newestFirst->push_back(entry);
}

std::string OldestFirst(const std::vector<std::string>& newestFirst) {
  std::string list;
  for (size_t i = newestFirst.size(); i > 0; --i) {
    if (!list.empty()) list += ", ";
    list += newestFirst[i - 1];
  }
  return list;
}

}  // namespace

JournalOpen OpenJournal(const char* folder, unsigned long* error) {
  Journal& journal = TheJournal();
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(folder, sizeof(full), full, nullptr);
  if (length == 0 || length >= sizeof(full)) {
    *error = length == 0 ? GetLastError() : ERROR_FILENAME_EXCED_RANGE;
    return JournalOpen::kUnwritable;
  }
  journal.folder = full;
  while (journal.folder.size() > 3 && journal.folder.back() == '\\') journal.folder.pop_back();
  if (!MakeFolders(journal.folder)) {
    *error = GetLastError();
    return JournalOpen::kUnwritable;
  }
  journal.lock.reset(CreateFileA(InFolder(kLockName).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (journal.lock.get() == nullptr) {
    *error = GetLastError();
    return *error == ERROR_SHARING_VIOLATION ? JournalOpen::kBusy : JournalOpen::kUnwritable;
  }
  // Kept files without a journal are what a commit cut short did not remove yet.
  if (GetFileAttributesA(InFolder(kJournalName).c_str()) == INVALID_FILE_ATTRIBUTES) RemoveKept();
  DeleteFileA(InFolder(kCommittedName).c_str());
  return JournalOpen::kReady;
}

void CloseJournal() {
  Journal& journal = TheJournal();
  journal.recording = false;
  journal.file.Close();
  while (RemoveSomeKept()) {
  }
  if (journal.lock.get() == nullptr) return;
  journal.lock.Close();
  DeleteFileA(InFolder(kLockName).c_str());
}

const char* JournalFolder() { return TheJournal().folder.c_str(); }

bool HasUnfinishedJournal() { return GetFileAttributesA(InFolder(kJournalName).c_str()) != INVALID_FILE_ATTRIBUTES; }

bool BeginJournal() {
  Journal& journal = TheJournal();
  journal.file.reset(CreateFileA(InFolder(kJournalName).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (journal.file.get() == nullptr) return false;
  if (!WriteAll(journal.file.get(), std::string(kJournalMagic, kJournalMagicBytes))) {
    journal.file.Close();
    DeleteFileA(InFolder(kJournalName).c_str());
    return false;
  }
  journal.recording = true;
  journal.broken = false;
  journal.keptFolder.clear();
  journal.keptCount = 0;
  journal.changes = 0;
  return true;
}

bool JournalRecording() { return TheJournal().recording; }

JournalRecord LineRecord(UndoKind kind, const char* text0, const char* text1) {
  JournalRecord record;
  record.kind = kind;
  record.line = ChangeLine();
  record.command = ChangeCommand();
  record.text[0] = text0;
  record.text[1] = text1;
  return record;
}

namespace {

bool AppendBytes(const std::string& bytes) {
  Journal& journal = TheJournal();
  if (!journal.recording || journal.broken) return false;
  const DWORD end = SetFilePointer(journal.file.get(), 0, nullptr, FILE_END);
  if (end != INVALID_SET_FILE_POINTER && WriteAll(journal.file.get(), bytes)) return true;
  // A record written in part would hide every later one: it is cut off again, and when even
  // that fails the journal takes no more changes.
  journal.broken = end == INVALID_SET_FILE_POINTER ||
                   SetFilePointer(journal.file.get(), static_cast<LONG>(end), nullptr, FILE_BEGIN) != end ||
                   !SetEndOfFile(journal.file.get()) || !FlushFileBuffers(journal.file.get());
  return false;
}

}  // namespace

bool AppendRecord(const JournalRecord& record) {
  if (!AppendBytes(EncodeRecord(record))) return false;
  ++TheJournal().changes;
  return true;
}

bool AppendRecordsAhead(const std::vector<JournalRecord>& records) {
  std::string bytes;
  for (const JournalRecord& record : records) bytes += EncodeRecord(record);
  return bytes.empty() || AppendBytes(bytes);
}

void CountChangeMadeAhead() { ++TheJournal().changes; }

// Kept files go into a folder of this run's own, a hundred to a subfolder: a name that is
// not there yet is then looked up in a small folder (Wine reads a whole folder to find out
// that a name is missing).
bool KeptPath(std::string* path) {
  Journal& journal = TheJournal();
  if (journal.keptFolder.empty()) {
    const std::string kept = InFolder(kKeptName);
    if (!IsFolder(kept) && !CreateDirectoryA(kept.c_str(), nullptr)) return false;
    for (unsigned attempt = 0; attempt < 1000 && journal.keptFolder.empty(); ++attempt) {
      char name[24];
      std::snprintf(name, sizeof(name), "\\run%08lx", static_cast<unsigned long>(GetTickCount() + attempt));
      if (CreateDirectoryA((kept + name).c_str(), nullptr)) journal.keptFolder = kept + name;
    }
    if (journal.keptFolder.empty()) return false;
  }
  const unsigned long number = journal.keptCount++;
  char group[16];
  std::snprintf(group, sizeof(group), "\\%05lu", number / kKeptPerFolder);
  const std::string folder = journal.keptFolder + group;
  if (number % kKeptPerFolder == 0 && !CreateDirectoryA(folder.c_str(), nullptr)) return false;
  char name[16];
  std::snprintf(name, sizeof(name), "\\%02lu", number % kKeptPerFolder);
  *path = folder + name;
  return true;
}

bool TouchesJournal(const char* path, bool orHolds) {
  const std::string& folder = TheJournal().folder;
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(path, sizeof(full), full, nullptr);
  if (folder.empty() || length == 0 || length >= sizeof(full)) return false;
  std::string target(full, length);
  while (target.size() > 3 && target.back() == '\\') target.pop_back();
  // One text inside the other, up to a backslash or its end, without regard to case.
  auto within = [](const std::string& inner, const std::string& outer) {
    return inner.size() >= outer.size() && lstrcmpiA(inner.substr(0, outer.size()).c_str(), outer.c_str()) == 0 &&
           (inner.size() == outer.size() || inner[outer.size()] == '\\' || outer.back() == '\\');
  };
  return within(target, folder) || (orHolds && within(folder, target));
}

void CommitJournal() {
  Journal& journal = TheJournal();
  journal.recording = false;
  journal.file.Close();
  // Once the journal is gone nothing is undone any more: it goes before what it kept.
  if (!DeleteFileA(InFolder(kJournalName).c_str()) &&
      !MoveFileA(InFolder(kJournalName).c_str(), InFolder(kCommittedName).c_str())) {
    LogError("The journal %s could not be removed (error %lu): the next run will roll this one back.",
             InFolder(kJournalName).c_str(), static_cast<unsigned long>(GetLastError()));
    return;
  }
  LogStatus("Journal committed: %lu changes.", journal.changes);
  ListAllKept(&journal.committedKept);
  std::reverse(journal.committedKept.begin(), journal.committedKept.end());
}

bool RemoveSomeKept() {
  constexpr int kEntriesAStep = 16;
  std::vector<KeptEntry>& left = TheJournal().committedKept;
  for (int i = 0; i < kEntriesAStep && !left.empty(); ++i) {
    RemoveKeptEntry(left.back());
    left.pop_back();
  }
  return !left.empty();
}

RollbackOutcome RollBackJournal() {
  Journal& journal = TheJournal();
  journal.recording = false;
  journal.file.Close();
  RollbackOutcome outcome;
  const std::string journalPath = InFolder(kJournalName);
  if (GetFileAttributesA(journalPath.c_str()) == INVALID_FILE_ATTRIBUTES) return outcome;
  std::string bytes;
  std::vector<JournalRecord> records;
  if (!ReadTextFile(journalPath.c_str(), &bytes)) {
    LogError("The journal %s cannot be read (error %lu).", journalPath.c_str(),
             static_cast<unsigned long>(GetLastError()));
    outcome.failed = 1;
    return outcome;
  }
  DecodeRecords(bytes, &records);

  std::vector<JournalRecord> remaining;  // newest first, as they are met
  std::vector<std::string> notUndone;
  for (size_t i = records.size(); i > 0; --i) {
    const JournalRecord& record = records[i - 1];
    if (record.kind == UndoKind::kIrreversible) {
      NoteNotUndone(record, &notUndone);
      continue;
    }
    std::string what;
    unsigned long error = 0;
    const UndoResult result = UndoRecord(record, &what, &error);
    if (result == UndoResult::kNotMade) continue;
    if (result == UndoResult::kFailed) {
      LogError("Not undone: line %lu %s: %s (error %lu)", static_cast<unsigned long>(record.line),
               record.command.c_str(), what.c_str(), error);
      remaining.push_back(record);
      ++outcome.failed;
      continue;
    }
    LogStatus("Undone: line %lu %s: %s", static_cast<unsigned long>(record.line), record.command.c_str(),
              what.c_str());
    ++outcome.undone;
  }
  outcome.notUndone = OldestFirst(notUndone);
  if (notUndone.empty()) {
    LogStatus("Rolled back %d changes.", outcome.undone);
  } else {
    LogStatus("Rolled back %d changes (%d not undone: %s).", outcome.undone, static_cast<int>(notUndone.size()),
              outcome.notUndone.c_str());
  }

  if (outcome.failed == 0) {
    DeleteFileA(journalPath.c_str());
    RemoveKept();
    return outcome;
  }
  std::string kept(kJournalMagic, kJournalMagicBytes);
  for (size_t i = remaining.size(); i > 0; --i) kept += EncodeRecord(remaining[i - 1]);
  ReplaceFileText(journalPath.c_str(), kept);
  LogError("Rollback incomplete: %d changes stay in the journal %s.", outcome.failed, journal.folder.c_str());
  return outcome;
}
