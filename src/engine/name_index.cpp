#include "engine/name_index.h"

#include <cstring>

#include "platform/heap.h"

namespace {

constexpr size_t kFirstCapacity = 64;
// Past this many slots the doubled array's byte count would not fit in a size_t.
constexpr size_t kMaxCapacity = static_cast<size_t>(-1) / 2 / sizeof(NameSlot);

uint32_t HashName(const char* name) {
  uint32_t hash = 2166136261u;  // FNV-1a, 32 bits
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p != 0; ++p) {
    hash ^= *p;
    hash *= 16777619u;
  }
  return hash;
}

// The slot holding `name`, or the free slot where it would go. Needs a free slot to exist.
NameSlot* Probe(NameSlot* slots, size_t capacity, const char* name, uint32_t hash) {
  const size_t mask = capacity - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    NameSlot* slot = &slots[i];
    if (slot->name == nullptr) return slot;
    if (slot->hash == hash && std::strcmp(slot->name, name) == 0) return slot;
  }
}

bool Grow(NameIndex* index) {
  const size_t capacity = index->capacity == 0 ? kFirstCapacity : index->capacity * 2;
  if (capacity > kMaxCapacity) return false;
  auto* slots = static_cast<NameSlot*>(HeapBlockAlloc(capacity * sizeof(NameSlot)));
  if (slots == nullptr) return false;
  for (size_t i = 0; i < index->capacity; ++i) {
    const NameSlot& old = index->slots[i];
    if (old.name != nullptr) *Probe(slots, capacity, old.name, old.hash) = old;
  }
  HeapBlockFree(index->slots);
  index->slots = slots;
  index->capacity = capacity;
  return true;
}

}  // namespace

RecordLinks* NameIndexFind(const NameIndex* index, const char* name) {
  if (index == nullptr || index->capacity == 0 || name == nullptr) return nullptr;
  const NameSlot* slot = Probe(index->slots, index->capacity, name, HashName(name));
  return slot->name != nullptr ? slot->record : nullptr;
}

bool NameIndexAdd(NameIndex* index, const char* name, RecordLinks* record) {
  if (index == nullptr || name == nullptr) return false;
  const uint32_t hash = HashName(name);
  if (index->capacity != 0 && Probe(index->slots, index->capacity, name, hash)->name != nullptr) {
    return true;  // the first record of this name stays the one found
  }
  if ((index->used + 1) * 4 > index->capacity * 3 && !Grow(index)) return false;
  *Probe(index->slots, index->capacity, name, hash) = NameSlot{name, record, hash};
  index->used += 1;
  return true;
}

void NameIndexClear(NameIndex* index) {
  if (index == nullptr) return;
  HeapBlockFree(index->slots);
  *index = NameIndex{nullptr, 0, 0};
}
