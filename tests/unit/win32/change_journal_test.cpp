// The journal in this process: changes made through the door, then rolled back the way a
// recovery does it, including a rollback that runs a second time and an undo that has to
// wait until another program lets go of a file.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "commands/files/file_commands.h"
#include "helper_process.h"
#include "platform/change_door.h"
#include "platform/change_journal.h"
#include "platform/change_line.h"
#include "platform/message_wait.h"
#include "platform/registry_tree.h"
#include "platform/safe_rewrite.h"
#include "platform/win32_handles.h"
#include "test_support.h"

namespace {

const char kFolder[] = "C:\\kivjunit";
const char kJournal[] = "C:\\kivjunit\\journal";
const char kKey[] = "Software\\KivrunJournalUnit";

std::string At(const char* name) { return std::string(kFolder) + "\\" + name; }

void WriteBytes(const std::string& path, const std::string& bytes) {
  KernelHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string RegText(const char* name) {
  RegKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return "<no key>";
  char value[64] = "";
  DWORD size = sizeof(value);
  if (RegQueryValueExA(key.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS) {
    return "<none>";
  }
  return value;
}

class ChangeJournal : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryA(kFolder, nullptr);
    WriteBytes(At("a.txt"), "old");
    WriteBytes(At("new.txt"), "new");
    RegKey key;
    RegCreateKeyA(HKEY_CURRENT_USER, kKey, key.receive());
    RegSetValueExA(key.get(), "V", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
    unsigned long error = 0;
    ASSERT_EQ(OpenJournal(kJournal, &error), JournalOpen::kReady);
    ASSERT_TRUE(BeginJournal());
    SetDoorMode(DoorMode::kJournal);
    SetChangeLine(0, "");  // no script line runs: whatever an earlier test in this process ran is gone
  }
  void TearDown() override {
    SetDoorMode(DoorMode::kAct);
    RollBackJournal();
    CloseJournal();
    DeleteRegTree(HKEY_CURRENT_USER, kKey);
  }

  // The changes of a small update.
  void Change() {
    ASSERT_TRUE(DoorCopyFile(At("new.txt").c_str(), At("a.txt").c_str()));
    ASSERT_EQ(DoorSetRegValue(HKEY_CURRENT_USER, kKey, "V", REG_SZ, reinterpret_cast<const BYTE*>("2"), 2),
              ERROR_SUCCESS);
    ASSERT_TRUE(DoorCreateFolder(At("made").c_str(), nullptr));
  }
  void ExpectAsBefore() {
    EXPECT_EQ(ReadWholeFile(At("a.txt")), "old");
    EXPECT_EQ(RegText("V"), "1");
    EXPECT_EQ(GetFileAttributesA(At("made").c_str()), INVALID_FILE_ATTRIBUTES);
  }
  std::string JournalBytes() { return ReadWholeFile(std::string(kJournal) + "\\journal.kvj"); }
};

}  // namespace

// A rollback cut off after its undos but before the journal went is run again whole: every
// undo finds its change taken back already and does nothing more; a torn tail is ignored.
TEST_F(ChangeJournal, ARollbackRunTwiceLeavesTheMachineAsItWas) {
  Change();
  const std::string journal = JournalBytes();
  const RollbackOutcome first = RollBackJournal();
  EXPECT_EQ(first.failed, 0);
  EXPECT_EQ(first.undone, 3);
  ExpectAsBefore();
  EXPECT_FALSE(HasUnfinishedJournal());

  WriteBytes(std::string(kJournal) + "\\journal.kvj", journal + std::string("\x30\0\0\0\x01", 5));
  LogRecorder log;
  const RollbackOutcome second = RollBackJournal();
  EXPECT_EQ(second.failed, 0);
  ExpectAsBefore();
  EXPECT_TRUE(log.Contains("found as it was")) << log.Text();
  EXPECT_FALSE(HasUnfinishedJournal());
}

// A file another program holds cannot be put back: the journal keeps that one change (and
// only it) until a later rollback can do it.
TEST_F(ChangeJournal, AnUndoThatFailsStaysInTheJournalUntilItCanBeDone) {
  Change();
  {
    FileHolder holder("write", At("a.txt"));
    ASSERT_TRUE(holder.Holding());
    LogRecorder log;
    const RollbackOutcome held = RollBackJournal();
    EXPECT_EQ(held.failed, 1);
    EXPECT_EQ(held.undone, 2);
    EXPECT_TRUE(log.Contains("Not undone: line 0 : " + At("a.txt") + " put back (error 32)")) << log.Text();
    EXPECT_TRUE(log.Contains("Rollback incomplete: 1 changes stay in the journal")) << log.Text();
    EXPECT_TRUE(HasUnfinishedJournal());
    EXPECT_EQ(ReadWholeFile(At("a.txt")), "new");
  }
  const RollbackOutcome later = RollBackJournal();
  EXPECT_EQ(later.failed, 0);
  EXPECT_EQ(later.undone, 1);
  ExpectAsBefore();
  EXPECT_FALSE(HasUnfinishedJournal());
}

// The records a list writes ahead for its coming copies: a copy takes its own; a target held
// by another program is refused with the copy's own error and changes nothing; one that has
// gone since is recorded anew. The rollback undoes the copies made and passes over in silence
// the records of those never made.
TEST_F(ChangeJournal, CopiesWrittenAheadTakeTheirRecords) {
  WriteBytes(At("held.txt"), "held");
  WriteBytes(At("gone.txt"), "gone");
  DoorExpectCopies({At("a.txt"), At("held.txt"), At("gone.txt"), At("fresh.txt"), At("never.txt")});
  DeleteFileA(At("gone.txt").c_str());
  const std::string source = At("new.txt");
  EXPECT_TRUE(DoorCopyFile(source.c_str(), At("a.txt").c_str()));
  {
    FileHolder holder("write", At("held.txt"));
    ASSERT_TRUE(holder.Holding());
    EXPECT_FALSE(DoorCopyFile(source.c_str(), At("held.txt").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
  EXPECT_TRUE(DoorCopyFile(source.c_str(), At("gone.txt").c_str()));
  EXPECT_TRUE(DoorCopyFile(source.c_str(), At("fresh.txt").c_str()));
  EXPECT_EQ(ReadWholeFile(At("a.txt")), "new");
  EXPECT_EQ(ReadWholeFile(At("held.txt")), "held");

  LogRecorder log;
  const RollbackOutcome outcome = RollBackJournal();
  EXPECT_EQ(outcome.failed, 0);
  EXPECT_EQ(outcome.undone, 3) << log.Text();
  EXPECT_FALSE(log.Contains("found as it was")) << log.Text();
  EXPECT_EQ(ReadWholeFile(At("a.txt")), "old");
  EXPECT_EQ(ReadWholeFile(At("held.txt")), "held");
  for (const char* made : {"gone.txt", "fresh.txt", "never.txt"}) {
    EXPECT_EQ(GetFileAttributesA(At(made).c_str()), INVALID_FILE_ATTRIBUTES) << made;
  }
  DeleteFileA(At("held.txt").c_str());
}

// A commit removes the journal, and what it kept after, in the steps of a pumping wait: the
// changes stay.
TEST_F(ChangeJournal, ACommitKeepsTheChangesAndRemovesTheJournal) {
  Change();
  CommitJournal();
  EXPECT_EQ(ReadWholeFile(At("a.txt")), "new");
  EXPECT_EQ(RegText("V"), "2");
  EXPECT_FALSE(HasUnfinishedJournal());
  const std::string kept = std::string(kJournal) + "\\kept";
  EXPECT_NE(GetFileAttributesA(kept.c_str()), INVALID_FILE_ATTRIBUTES);
  SleepPumping(1, RemoveSomeKept);
  EXPECT_EQ(GetFileAttributesA(kept.c_str()), INVALID_FILE_ATTRIBUTES);
  RemoveDirectoryA(At("made").c_str());
}

// A script that removes a tree holding the journal's folder removes the rest of it: the
// journal and what it keeps stay, and a rollback then brings the tree back.
TEST_F(ChangeJournal, NoChangeReachesTheJournalItself) {
  Change();
  const std::string journalFile = std::string(kJournal) + "\\journal.kvj";
  EXPECT_FALSE(DoorMoveTreeAside(kFolder));
  EXPECT_FALSE(DoorDeleteFile(journalFile.c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(DoorRemoveFolder(kJournal));
  // A folder whose name only begins like the journal's is the script's own.
  const std::string neighbour = std::string(kJournal) + "2";
  EXPECT_TRUE(DoorCreateFolder(neighbour.c_str(), nullptr));
  EXPECT_TRUE(DoorRemoveFolder(neighbour.c_str()));
  DeleteTree(kFolder);
  EXPECT_EQ(GetFileAttributesA(At("a.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA(journalFile.c_str()), INVALID_FILE_ATTRIBUTES);
  const RollbackOutcome outcome = RollBackJournal();
  EXPECT_EQ(outcome.failed, 0);
  ExpectAsBefore();
  EXPECT_EQ(ReadWholeFile(At("new.txt")), "new");
}
