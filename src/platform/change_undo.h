// How each kind of journal record is undone. Every undo may run more than once (a rollback
// cut off by a crash is run again from the start): each one looks at what is there first
// and only does what is still to do.
#pragma once
#include <string>

#include "platform/journal_records.h"

enum class UndoResult {
  kUndone,  // taken back, or found never made
  kLeft,    // left on purpose (a folder the run made that now holds what no journal undoes)
  kFailed,  // it could not be taken back: the record stays in the journal
  kNotMade, // a record written ahead whose change never came: nothing to say
};

// `what` names the change for the log ("C:\Vorna\vsengine.dll put back"); `error` gets the
// Win32 error of a failed undo.
UndoResult UndoRecord(const JournalRecord& record, std::string* what, unsigned long* error);
