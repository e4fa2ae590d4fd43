#include "platform/copies_ahead.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/change_journal.h"
#include "platform/change_line.h"

namespace {

// From so many targets on, their folder is listed once instead of looking each one up.
constexpr size_t kListedFrom = 8;

struct Pending {
  std::string target;
  CopyAhead ahead;
};

// The records written ahead and not yet taken, for the line that wrote them.
struct AheadState {
  uint32_t step = 0;
  std::vector<Pending> pending;
};

AheadState& State() {
  static AheadState state;
  return state;
}

// Where the name begins (after the last backslash or slash); 0 when there is no folder.
size_t NameStart(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? 0 : slash + 1;
}

// A name that a folder's listing answers exactly: printable ASCII (Windows compares other
// letters by tables of its own), no wildcard, stream or reserved character, and no trailing
// dot or blank (which the file system drops).
bool ListableName(const char* name) {
  if (*name == '\0') return false;
  for (const char* at = name; *at != '\0'; ++at) {
    const unsigned char c = static_cast<unsigned char>(*at);
    if (c < 0x20 || c > 0x7E || std::strchr("*?\"<>|:", c) != nullptr) return false;
  }
  const char last = name[std::strlen(name) - 1];
  return last != '.' && last != ' ';
}

std::string Upper(const char* text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

bool HasOtherThanAscii(const char* name) {
  for (const char* at = name; *at != '\0'; ++at) {
    if (static_cast<unsigned char>(*at) > 0x7E || *at == '?') return true;
  }
  return false;
}

// A folder's entries by upper-case name (long and short), read once for the line that runs:
// the copies of a line only add names to it, and a name that another program adds meanwhile
// is refused by the copy that would write over it.
struct Listing {
  uint32_t step = 0;
  std::string folder;
  bool read = false;
  bool uncertain = false;  // a name in it is not plain ASCII: a name not found is looked up
  std::vector<std::pair<std::string, DWORD>> names;
};

Listing& TheListing() {
  static Listing listing;
  return listing;
}

bool ReadListing(const std::string& folder, Listing* listing) {
  listing->names.clear();
  listing->uncertain = false;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;  // an empty root
  do {
    listing->uncertain = listing->uncertain || HasOtherThanAscii(entry.cFileName) ||
                         HasOtherThanAscii(entry.cAlternateFileName);
    listing->names.emplace_back(Upper(entry.cFileName), entry.dwFileAttributes);
    if (entry.cAlternateFileName[0] != '\0') {
      listing->names.emplace_back(Upper(entry.cAlternateFileName), entry.dwFileAttributes);
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  std::sort(listing->names.begin(), listing->names.end());
  return true;
}

// The target's attributes (INVALID_FILE_ATTRIBUTES: not there), from the listing when it
// answers for sure.
DWORD AttributesOf(const Listing& listing, const std::string& path, const std::string& upperName) {
  const auto found = std::lower_bound(listing.names.begin(), listing.names.end(),
                                      std::make_pair(upperName, static_cast<DWORD>(0)));
  if (found != listing.names.end() && found->first == upperName) return found->second;
  return listing.uncertain ? GetFileAttributesA(path.c_str()) : INVALID_FILE_ATTRIBUTES;
}

struct Target {
  std::string path;
  std::string upperName;
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
};

// Each target's attributes: looked up one by one when they are few and their folder has not
// been listed on this line, otherwise from its listing. False when the folder cannot be
// listed.
bool FindTargets(const std::string& folder, std::vector<Target>* targets) {
  Listing& listing = TheListing();
  const bool listed = listing.read && listing.step == ChangeStep() && listing.folder == folder;
  if (!listed && targets->size() < kListedFrom) {
    for (Target& target : *targets) target.attributes = GetFileAttributesA(target.path.c_str());
    return true;
  }
  if (!listed) {
    listing.read = ReadListing(folder, &listing);
    listing.step = ChangeStep();
    listing.folder = folder;
    if (!listing.read) return false;
  }
  for (Target& target : *targets) target.attributes = AttributesOf(listing, target.path, target.upperName);
  return true;
}

// The targets written ahead: those in the first one's folder with a listable name, each once.
std::vector<Target> Eligible(const std::vector<std::string>& paths, std::string* folder) {
  std::vector<Target> targets;
  for (const std::string& path : paths) {
    const size_t nameAt = NameStart(path);
    if (nameAt == 0 || !ListableName(path.c_str() + nameAt) || TouchesJournal(path.c_str(), false)) continue;
    const std::string pathFolder = path.substr(0, nameAt - 1);
    if (targets.empty()) {
      *folder = pathFolder;
    } else if (pathFolder != *folder) {
      continue;
    }
    Target target;
    target.path = path;
    target.upperName = Upper(path.c_str() + nameAt);
    bool twice = false;
    for (const Target& earlier : targets) twice = twice || earlier.upperName == target.upperName;
    if (!twice) targets.push_back(target);
  }
  return targets;
}

}  // namespace

bool WriteCopiesAhead(const std::vector<std::string>& paths) {
  AheadState& state = State();
  state.pending.clear();
  std::string folder;
  std::vector<Target> targets = Eligible(paths, &folder);
  if (targets.empty() || !FindTargets(folder, &targets)) return true;  // each copy records its own

  // Only a plain file, which is moved aside, is written ahead: one that is read-only, hidden
  // or a system file is copied aside with its times as they are then, by the copy itself.
  constexpr DWORD kNotAhead = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                              FILE_ATTRIBUTE_SYSTEM;
  std::vector<JournalRecord> records;
  std::vector<Pending> pending;
  for (const Target& target : targets) {
    const bool there = target.attributes != INVALID_FILE_ATTRIBUTES;
    if (there && (target.attributes & kNotAhead) != 0) continue;
    Pending entry;
    entry.target = target.path;
    if (there) {
      if (!KeptPath(&entry.ahead.kept)) return false;
      entry.ahead.attributes = target.attributes;
    }
    JournalRecord record = LineRecord(UndoKind::kFileBefore, entry.target.c_str(), entry.ahead.kept.c_str());
    record.number[0] = there ? target.attributes : 0;
    record.number[1] = kWrittenAhead;
    records.push_back(record);
    pending.push_back(entry);
  }
  if (!AppendRecordsAhead(records)) return false;
  state.step = ChangeStep();
  state.pending.swap(pending);
  return true;
}

bool TakeCopyAhead(const char* target, CopyAhead* ahead) {
  AheadState& state = State();
  if (state.step != ChangeStep()) state.pending.clear();
  for (size_t i = 0; i < state.pending.size(); ++i) {
    if (state.pending[i].target != target) continue;
    *ahead = state.pending[i].ahead;
    state.pending[i] = state.pending.back();
    state.pending.pop_back();
    return true;
  }
  return false;
}
