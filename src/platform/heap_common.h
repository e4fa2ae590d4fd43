// Bookkeeping shared by both heap implementations: usage counters and failure injection.
#pragma once
#include "platform/heap.h"

namespace heapdetail {
bool ShouldFail();
void NoteAlloc(size_t bytes);
void NoteFree(size_t bytes);
}  // namespace heapdetail
