// RecordList: the doubly linked list that holds sections, lines and variables.
// Every record that goes into a list begins with its RecordLinks; the list owns the
// records it holds but frees only its header (each owner frees its own records).
#pragma once
#include <cstdint>

struct RecordLinks {
  RecordLinks* previous;
  RecordLinks* next;
};

struct RecordList {
  RecordLinks* first;
  RecordLinks* last;
  uint32_t count;
};

RecordList* RecordListCreate();
bool RecordListAppend(RecordList* list, RecordLinks* record);
RecordLinks* RecordListRemoveFirst(RecordList* list);
uint32_t RecordListCount(const RecordList* list);
RecordLinks* RecordListAt(const RecordList* list, uint32_t index);  // walks from the first
void RecordListFree(RecordList* list);

// Records are standard-layout structures whose first member is their RecordLinks.
template <class Record>
Record* RecordFromLinks(RecordLinks* links) {
  return reinterpret_cast<Record*>(links);
}
