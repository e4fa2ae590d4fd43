#include "engine/keywords.h"

#include <cstring>

#include "engine/command_forms.h"

namespace {

// Rows grouped by first letter, each group in walking order, so a lookup compares only
// the keywords that can match; the first equal row wins as in a walk of the whole table.
struct KeywordIndex {
  const CommandRow* rows[26][16];
  int counts[26];
};

KeywordIndex BuildIndex() {
  KeywordIndex index = {};
  for (const CommandRow& each : CommandTable) {
    const CommandRow* row = &each;
    int letter = row->keyword[0] - 'A';
    if (index.counts[letter] < 16) index.rows[letter][index.counts[letter]++] = row;
  }
  return index;
}

}  // namespace

int LookupKeyword(const char* upperWord) {
  static const KeywordIndex index = BuildIndex();
  char first = upperWord[0];
  if (first < 'A' || first > 'Z') return kOpNone;
  int letter = first - 'A';
  for (int i = 0; i < index.counts[letter]; ++i) {
    if (std::strcmp(index.rows[letter][i]->keyword, upperWord) == 0) return index.rows[letter][i]->opcode;
  }
  return kOpNone;
}
