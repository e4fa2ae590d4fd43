// RecordList: the doubly linked list that holds sections, lines and variables.
// Every record that goes into a list begins with its RecordLinks; the list owns the
// records it holds but frees only its header and its name index (each owner frees its own
// records). Lists of named records (sections, variables) find them through the index.
#pragma once
#include <cstdint>

#include "engine/name_index.h"

struct RecordLinks {
  RecordLinks* previous;
  RecordLinks* next;
};

struct RecordList {
  RecordLinks* first;
  RecordLinks* last;
  uint32_t count;
  NameIndex names;  // of the records appended with RecordListAppendNamed
};

RecordList* RecordListCreate();
bool RecordListAppend(RecordList* list, RecordLinks* record);
// Appends like RecordListAppend and indexes the record under `name`, a text inside the
// record. A name indexed already keeps leading to its first record. Fails, appending
// nothing, when the list or record is missing or the index cannot grow (no memory).
bool RecordListAppendNamed(RecordList* list, RecordLinks* record, const char* name);
// The first record appended under `name` (exact, case-sensitive), or nullptr.
RecordLinks* RecordListFindNamed(const RecordList* list, const char* name);
// Removing is for emptying a list before it is freed: it drops the name index.
RecordLinks* RecordListRemoveFirst(RecordList* list);
uint32_t RecordListCount(const RecordList* list);
RecordLinks* RecordListAt(const RecordList* list, uint32_t index);  // walks from the first
void RecordListFree(RecordList* list);

// Records are standard-layout structures whose first member is their RecordLinks.
template <class Record>
Record* RecordFromLinks(RecordLinks* links) {
  return reinterpret_cast<Record*>(links);
}
