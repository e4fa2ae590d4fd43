#include <windows.h>

#include "platform/heap_common.h"

// Blocks come from the process heap. Moveable global blocks would hold a handle each, and
// handles run out (at 65,535 under Wine) long before memory does: a script of 70,000 lines
// could not be loaded. GetProcessHeap and HeapAlloc exist on both Windows families.
void* HeapBlockAlloc(size_t bytes) {
  if (heapdetail::ShouldFail()) return nullptr;
  HANDLE heap = GetProcessHeap();
  void* block = HeapAlloc(heap, HEAP_ZERO_MEMORY, bytes);
  if (block == nullptr) return nullptr;
  heapdetail::NoteAlloc(HeapSize(heap, 0, block));  // counted as it will be when freed
  return block;
}

void HeapBlockFree(void* block) {
  if (block == nullptr) return;
  HANDLE heap = GetProcessHeap();
  SIZE_T bytes = HeapSize(heap, 0, block);
  if (bytes == static_cast<SIZE_T>(-1)) return;  // not a block of this heap
  heapdetail::NoteFree(bytes);
  HeapFree(heap, 0, block);
}
