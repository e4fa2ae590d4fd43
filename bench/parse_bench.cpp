// Loader benchmark: generates scripts of 10,000 and 100,000 lines, loads and parses them,
// and prints lines per second, the ratio to plain reads of the same file, and the
// parsed script's memory per line. Not a test: it prints figures and always exits 0.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/loader.h"
#include "platform/heap.h"
#include "platform/script_file.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

std::string MakeScript(int lines) {
  static const char* const kBodies[] = {
      "SET Product=%%Root%%\\Vorna\\Scan",
      "GETREGVALUE HKLM\\SOFTWARE\\Vorna\\Agent,szInstallDir,InstallDir",
      "CALLIF %%Version%%>=4.1.0.0,UpdateEngine",
      "COPYFILES Files,%%InstallDir%%",
      "; a comment between commands",
      "SETINIFILEVALUE %%InstallDir%%\\scan.ini,Settings,LastUpdate=%%Now%%",
  };
  std::string text;
  text.reserve(static_cast<size_t>(lines) * 60);
  for (int i = 0; i < lines; ++i) {
    if (i % 1000 == 0) {
      text += "[Section" + std::to_string(i / 1000) + "]\r\n";
      continue;
    }
    text += "  ";
    text += kBodies[i % 6];
    text += "\r\n";
  }
  return text;
}

template <class Work>
double BestSeconds(int rounds, Work work) {
  double best = 1e9;
  for (int i = 0; i < rounds; ++i) {
    auto start = Clock::now();
    work();
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (seconds < best) best = seconds;
  }
  return best;
}

void ReadWhole(const char* path) {
  ScriptFile file;
  if (!file.Open(path)) return;
  uint32_t size = file.SizeLow32();
  char* buffer = static_cast<char*>(HeapBlockAlloc(size + 1));
  if (buffer != nullptr) file.Read(buffer, size);
  HeapBlockFree(buffer);
}

size_t ReadLines(const char* path) {
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return 0;
  char line[1024];
  size_t count = 0;
  while (std::fgets(line, sizeof(line), file) != nullptr) count += std::strlen(line) > 0;
  std::fclose(file);
  return count;
}

void Measure(int lines) {
  std::string path = (std::filesystem::temp_directory_path() / "kivrun-bench.kiv").string();
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << MakeScript(lines);
  }
  const int rounds = lines > 50000 ? 5 : 20;
  double whole = BestSeconds(rounds, [&] { ReadWhole(path.c_str()); });
  double byLine = BestSeconds(rounds, [&] { ReadLines(path.c_str()); });

  size_t parsedBytes = 0, peakBytes = 0;
  double parse = BestSeconds(rounds, [&] {
    HeapBlockResetPeak();
    HeapUsage before = HeapBlockUsage();
    ScriptContext* context = nullptr;
    ScriptOpen(path.c_str(), "Section0", "", &context);
    HeapUsage after = HeapBlockUsage();
    parsedBytes = after.liveBytes - before.liveBytes;  // the file buffer is already freed
    peakBytes = after.peakBytes - before.liveBytes;    // with the file buffer
    ScriptClose(context);
  });

  std::printf("%7d lines: load+parse %8.2f ms (%10.0f lines/s)  whole read %7.3f ms  "
              "line read %7.3f ms  ratio to whole read %6.1f  ratio to line read %5.2f  "
              "memory per line: peak %4.0f, parsed script %4.0f bytes\n",
              lines, parse * 1e3, lines / parse, whole * 1e3, byLine * 1e3, parse / whole,
              parse / byLine, static_cast<double>(peakBytes) / lines, static_cast<double>(parsedBytes) / lines);
  std::remove(path.c_str());
}

}  // namespace

int main() {
  std::printf("Script loader benchmark (best of several rounds; logging off)\n");
  Measure(10000);
  Measure(100000);
#if defined(__GLIBC__)
  // glibc hands freed blocks back to the system, so every round pays the page faults of a
  // fresh process again; with the blocks kept, the figures show the loader's own work.
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  std::printf("The same with freed memory kept by the allocator (no page faults after the first round)\n");
  Measure(10000);
  Measure(100000);
#endif
  return 0;
}
