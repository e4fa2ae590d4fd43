// The records of a run's journal: each one says how to undo one change to the machine. A
// record is written whole behind its length and a CRC-32 of its bytes, so that a record torn
// by a crash or a power loss is recognised and ignored with everything after it.
// Portable: the Win32 journal writes and reads these bytes, the native tests check them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The journal file opens with these bytes; a file without them holds no records.
constexpr char kJournalMagic[] = "KIVJRN01";
constexpr size_t kJournalMagicBytes = sizeof(kJournalMagic) - 1;

enum class UndoKind : uint8_t {
  kFileBefore = 1,    // text 0 the file, text 1 its kept copy ("" when it was not there);
                      // number 0 its attributes; number 1 kWrittenAhead or 0; data its three
                      // times (creation, access, write)
  kFolderCreated,     // text 0 the folder
  kFolderRemoved,     // text 0 the folder; number 0 its attributes
  kTreeMovedAside,    // text 0 the folder, text 1 where it was moved to
  kRegValueBefore,    // number 0 the root, text 0 the key, text 1 the value's name; number 1
                      // 1 when it was there, number 2 its type; data its bytes
  kRegKeyCreated,     // number 0 the root, text 0 the first key that was made
  kRegTreeBefore,     // number 0 the root, text 0 the key; data its tree (EncodeRegTree)
  kServiceStopped,    // text 0 the service
  kServiceStarted,    // text 0 the service
  kSecurityBefore,    // text 0 the folder; data its access list (a self-relative descriptor)
  kIrreversible,      // text 0 what was done that no journal can take back
  kAttributesBefore,  // text 0 the file or folder; number 0 its attributes
  kLast = kAttributesBefore,
};

// A file's record written ahead of its change, with those of the copies a list makes next:
// one whose change never came is passed over in silence when the run is rolled back.
constexpr uint32_t kWrittenAhead = 1;

constexpr size_t kRecordTexts = 2;
constexpr size_t kRecordNumbers = 3;

struct JournalRecord {
  UndoKind kind = UndoKind::kIrreversible;
  uint32_t line = 0;        // the script line that made the change (0: none)
  std::string command;      // its command word
  std::string text[kRecordTexts];
  uint32_t number[kRecordNumbers] = {0, 0, 0};
  std::string data;
};

// The record's bytes as they are appended: length, CRC-32, then the record itself.
std::string EncodeRecord(const JournalRecord& record);

// The records of a journal file's bytes, in the order they were written. Reading stops at
// the first record that is torn (shorter than its length says) or damaged (its CRC differs);
// that one and what follows are left out. False when the bytes do not open with the magic.
bool DecodeRecords(const std::string& bytes, std::vector<JournalRecord>* records);

uint32_t Crc32(const void* bytes, size_t size);

// One key or value of a registry tree kept before it was deleted. A key's path is relative
// to the deleted key ("" for the key itself); a value belongs to the key before it.
struct RegTreeEntry {
  bool isKey = true;
  std::string name;  // the key's relative path, or the value's name
  uint32_t type = 0;
  std::string data;
};

std::string EncodeRegTree(const std::vector<RegTreeEntry>& entries);
bool DecodeRegTree(const std::string& bytes, std::vector<RegTreeEntry>* entries);
