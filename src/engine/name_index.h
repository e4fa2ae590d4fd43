// The index of a list of named records (sections, variables): each name leads to the first
// record indexed under it, found by hashing rather than by walking the list, so a lookup
// costs the same among ten names or a hundred thousand. Open addressing with linear probing
// over FNV-1a hashes; the slots double when three quarters are taken. Names are not
// copied: each stays in its record, which lives as long as the list.
#pragma once
#include <cstddef>
#include <cstdint>

struct RecordLinks;

struct NameSlot {
  const char* name;  // nullptr: a free slot
  RecordLinks* record;
  uint32_t hash;
};

struct NameIndex {
  NameSlot* slots;  // one heap block of `capacity` slots; nullptr while nothing is indexed
  size_t capacity;  // 0 or a power of two
  size_t used;
};

// The record indexed under `name` (exact, case-sensitive), or nullptr.
RecordLinks* NameIndexFind(const NameIndex* index, const char* name);
// Indexes `record` under `name` unless that name is indexed already: the first record keeps
// it. False only when the slots cannot grow (no memory); the index is then unchanged.
bool NameIndexAdd(NameIndex* index, const char* name, RecordLinks* record);
// Frees the slots; the index is empty again.
void NameIndexClear(NameIndex* index);
