// The journal of a run (Kivrun.exe /Journal=<folder>): before the door makes a change, the
// journal holds how to undo it, written whole and flushed to the disk. A run that succeeds
// commits (the journal and what it kept are removed); any other end rolls back, newest change
// first. A journal left by a run that was ended, crashed or lost its power is rolled back by
// the next run on the same folder before that one runs its script.
//
// The folder holds journal.kvj (the records), journal.lock (held open without sharing while
// a run uses the folder) and kept\ (the old files and folder trees moved or copied aside).
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "platform/journal_records.h"

enum class JournalOpen { kReady, kBusy, kUnwritable };

// Makes the folder (and its parents) when missing and takes its lock. `error` gets the
// Win32 error of a folder that cannot be used.
JournalOpen OpenJournal(const char* folder, unsigned long* error);
// Removes what a commit left to remove, then releases the lock (and removes the lock file).
// A journal still holding records stays.
void CloseJournal();
const char* JournalFolder();

// Whether the folder holds a journal with records an earlier run did not finish.
bool HasUnfinishedJournal();

struct RollbackOutcome {
  int undone = 0;         // changes taken back (or found not made)
  int failed = 0;         // changes whose undo failed: they stay in the journal
  std::string notUndone;  // "line 41 RUNWAIT, line 52 KILLPROCESS": what no journal takes back
};
// Undoes what the folder's journal holds, newest first, one log line each, then the summary
// line. With nothing left to undo the journal and everything kept are removed; otherwise
// the journal keeps exactly the records still to undo.
RollbackOutcome RollBackJournal();

// Starts this run's journal (the file with its magic, flushed). False when it cannot be
// written.
bool BeginJournal();
// The run succeeded: the journal goes (from then on nothing is undone). What it kept is
// removed after, a few entries a step (RemoveSomeKept), the rest by CloseJournal.
void CommitJournal();
// One step of that removal: true while something is left.
bool RemoveSomeKept();

// Whether this run records its changes (BeginJournal succeeded and no commit or rollback
// has ended it).
bool JournalRecording();
// A record of the change the running script line is about to make (ChangeLine names it).
JournalRecord LineRecord(UndoKind kind, const char* text0 = "", const char* text1 = "");
// Appends the record, flushed to the disk, before its change is made. False when it could
// not be written whole: the change must then not be made.
bool AppendRecord(const JournalRecord& record);
// Appends records written ahead of their changes (kWrittenAhead), all with one flush. They
// count among the run's changes only as each change comes (CountChangeMadeAhead).
bool AppendRecordsAhead(const std::vector<JournalRecord>& records);
void CountChangeMadeAhead();
// A fresh path under kept\ for an old file or folder tree.
bool KeptPath(std::string* path);

// Whether `path` is the journal's folder or lies inside it (`orHolds`: or is a folder that
// holds the journal's folder). A script's change never reaches the journal itself.
bool TouchesJournal(const char* path, bool orHolds);
