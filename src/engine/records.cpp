#include "engine/records.h"

#include "platform/heap.h"

RecordList* RecordListCreate() { return static_cast<RecordList*>(HeapBlockAlloc(sizeof(RecordList))); }

bool RecordListAppend(RecordList* list, RecordLinks* record) {
  if (list == nullptr || record == nullptr) return false;
  record->previous = list->last;
  record->next = nullptr;
  if (list->last != nullptr) {
    list->last->next = record;
  } else {
    list->first = record;
  }
  list->last = record;
  list->count += 1;
  return true;
}

bool RecordListAppendNamed(RecordList* list, RecordLinks* record, const char* name) {
  if (list == nullptr || record == nullptr || !NameIndexAdd(&list->names, name, record)) return false;
  return RecordListAppend(list, record);
}

RecordLinks* RecordListFindNamed(const RecordList* list, const char* name) {
  return list != nullptr ? NameIndexFind(&list->names, name) : nullptr;
}

RecordLinks* RecordListRemoveFirst(RecordList* list) {
  if (list == nullptr || list->first == nullptr) return nullptr;
  NameIndexClear(&list->names);
  RecordLinks* record = list->first;
  list->first = record->next;
  if (list->first != nullptr) {
    list->first->previous = nullptr;
  } else {
    list->last = nullptr;
  }
  list->count -= 1;
  record->previous = nullptr;
  record->next = nullptr;
  return record;
}

uint32_t RecordListCount(const RecordList* list) { return list != nullptr ? list->count : 0; }

RecordLinks* RecordListAt(const RecordList* list, uint32_t index) {
  if (list == nullptr || index >= list->count) return nullptr;
  RecordLinks* record = list->first;
  for (uint32_t i = 0; i < index && record != nullptr; ++i) record = record->next;
  return record;
}

void RecordListFree(RecordList* list) {
  if (list == nullptr) return;
  NameIndexClear(&list->names);
  HeapBlockFree(list);
}
