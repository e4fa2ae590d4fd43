#include <windows.h>

#include "platform/heap_common.h"

// A block is a moveable, zero-filled global allocation locked for its whole life, so
// the pointer stays valid; GlobalHandle finds the handle again when it is freed.
void* HeapBlockAlloc(size_t bytes) {
  if (heapdetail::ShouldFail()) return nullptr;
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  if (handle == nullptr) return nullptr;
  void* block = GlobalLock(handle);
  if (block == nullptr) {
    GlobalFree(handle);
    return nullptr;
  }
  heapdetail::NoteAlloc(GlobalSize(handle));
  return block;
}

void HeapBlockFree(void* block) {
  if (block == nullptr) return;
  HGLOBAL handle = GlobalHandle(block);
  if (handle == nullptr) return;
  heapdetail::NoteFree(GlobalSize(handle));
  GlobalUnlock(handle);
  GlobalFree(handle);
}
