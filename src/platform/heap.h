// Zero-filled memory blocks for script records, text copies and the file buffer.
// On Win32 they come from the process heap (HeapAlloc, no handle per block);
// the native build uses calloc. The core never sees which.
#pragma once
#include <cstddef>

void* HeapBlockAlloc(size_t bytes);   // zero-filled; nullptr on failure
void HeapBlockFree(void* block);      // accepts nullptr

// Bytes requested and not yet freed, and the highest that figure reached.
struct HeapUsage {
  size_t liveBytes;
  size_t peakBytes;
  size_t liveBlocks;
};
HeapUsage HeapBlockUsage();
// Starts a new peak from what is live now (for measuring one piece of work).
void HeapBlockResetPeak();

// Test hook: after `successes` more allocations every allocation fails; -1 turns this off.
void HeapBlockFailAfter(long successes);
