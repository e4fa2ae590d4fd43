#include "platform/heap_common.h"

namespace {
HeapUsage g_usage = {0, 0, 0};
long g_successesLeft = -1;  // -1: never fail
}  // namespace

namespace heapdetail {

bool ShouldFail() {
  if (g_successesLeft < 0) return false;
  if (g_successesLeft == 0) return true;
  --g_successesLeft;
  return false;
}

void NoteAlloc(size_t bytes) {
  g_usage.liveBytes += bytes;
  g_usage.liveBlocks += 1;
  if (g_usage.liveBytes > g_usage.peakBytes) g_usage.peakBytes = g_usage.liveBytes;
}

void NoteFree(size_t bytes) {
  g_usage.liveBytes -= bytes;
  g_usage.liveBlocks -= 1;
}

}  // namespace heapdetail

HeapUsage HeapBlockUsage() { return g_usage; }

void HeapBlockResetPeak() { g_usage.peakBytes = g_usage.liveBytes; }

void HeapBlockFailAfter(long successes) { g_successesLeft = successes; }
