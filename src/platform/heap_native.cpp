#include <cstdlib>
#include <cstring>

#include "platform/heap_common.h"

// calloc has no way to tell a block's size, so each block carries it in a header
// aligned for any object the core stores.
namespace {
struct alignas(alignof(std::max_align_t)) BlockHeader {
  size_t bytes;
};
}  // namespace

void* HeapBlockAlloc(size_t bytes) {
  if (heapdetail::ShouldFail()) return nullptr;
  auto* header = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + bytes));
  if (header == nullptr) return nullptr;
  header->bytes = bytes;
  heapdetail::NoteAlloc(bytes);
  return header + 1;
}

void HeapBlockFree(void* block) {
  if (block == nullptr) return;
  BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
  heapdetail::NoteFree(header->bytes);
  std::free(header);
}
