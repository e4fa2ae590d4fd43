// Journal benchmark (Windows build, run under Wine): the same update run by Kivrun.exe with
// and without /Journal=, rounds interleaved, medians net of the one-second message-pumping
// wait that ends every run, and the ratio (the goal is at most 1.2x).
//   files:    COPYFILES of 2,000 FILECOW entries of 64 KiB into a folder that already holds
//             half of them (older contents): 1,000 new files and 1,000 replaced; the
//             installed files are flushed to the disk before each run, so that neither run
//             writes out what the one before it left
//   registry: 2,000 SETREGVALUE (half of them over existing values) and 500 DELETEREGVALUE
//             under HKCU\Software\KivJournalBench
// The journal folder sits next to the targets, on the same volume, as a host keeps it. Its
// peak size is sampled (every few milliseconds) during one more journalled run of each part,
// untimed: a committed run leaves nothing behind to measure. For scale, each part also times
// what write-ahead costs at the least: one record per change appended and flushed.
//   kivrun_journal_bench.exe [rounds (7)] [files (2000)] [parts: files,registry (all)]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double kFinalPumpSeconds = 1.0;
constexpr size_t kFileBytes = 64 * 1024;
constexpr int kRegistrySets = 2000;
constexpr int kRegistryDeletes = 500;
constexpr DWORD kSampleMilliseconds = 5;
constexpr size_t kRecordBytes = 128;  // about what a file or registry record takes
const char kBenchKey[] = "Software\\KivJournalBench";

std::string g_root;
int g_files = 2000;

std::string Folder() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path);
  return folder.substr(0, folder.rfind('\\') + 1);
}

std::string Numbered(const char* prefix, int i, const char* suffix = "") {
  char name[32];
  std::snprintf(name, sizeof(name), "%s%05d%s", prefix, i, suffix);
  return name;
}

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (std::string(entry.cFileName) == "." || std::string(entry.cFileName) == "..") continue;
      const std::string path = folder + "\\" + entry.cFileName;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

// Bytes of the files under `folder`, and of those under its kept\ in `kept`.
unsigned long long TreeBytes(const std::string& folder, unsigned long long* kept, bool inKept = false) {
  unsigned long long total = 0;
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      total += TreeBytes(folder + "\\" + name, kept, inKept || lstrcmpiA(name.c_str(), "kept") == 0);
      continue;
    }
    const unsigned long long bytes = (static_cast<unsigned long long>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
    total += bytes;
    if (inKept) *kept += bytes;
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return total;
}

// `flushed`: on the disk before it returns, so that a timed run does not write it out.
void WriteText(const std::string& path, const std::string& text, bool flushed = false) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  if (flushed) FlushFileBuffers(file);
  CloseHandle(file);
}

bool ReadText(const std::string& path, std::string* text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char chunk[64 * 1024];
  DWORD got = 0;
  text->clear();
  while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) text->append(chunk, got);
  CloseHandle(file);
  return true;
}

// The package (the files and both scripts, next to each other as a host delivers them).
void MakePackage() {
  const std::string package = g_root + "\\pkg";
  CreateDirectoryA(g_root.c_str(), nullptr);
  CreateDirectoryA(package.c_str(), nullptr);
  const std::string bytes(kFileBytes, 'n');
  for (int i = 0; i < g_files; ++i) WriteText(package + "\\" + Numbered("f", i, ".dat"), bytes);

  std::string files = "[Main]\r\nSETWORKDIR " + g_root + "\\target\r\nCOPYFILES List\r\n[List]\r\n";
  for (int i = 0; i < g_files; ++i) files += "FILECOW " + Numbered("f", i, ".dat") + "\r\n";
  WriteText(package + "\\files.kiv", files);

  std::string registry = "[Main]\r\n";
  for (int i = 0; i < kRegistrySets; ++i) {
    registry += "SETREGVALUE HKCU\\" + std::string(kBenchKey) + "," + Numbered("v", i) + "=/REG_SZ:" +
                Numbered("new value ", i) + "\r\n";
  }
  for (int i = 0; i < kRegistryDeletes; ++i) {
    registry += "DELETEREGVALUE HKCU\\" + std::string(kBenchKey) + "," + Numbered("d", i) + "\r\n";
  }
  WriteText(package + "\\registry.kiv", registry);
}

// The installed state each run starts from: every other file there with older contents.
void PrepareFiles() {
  const std::string target = g_root + "\\target";
  RemoveTree(target);
  CreateDirectoryA(target.c_str(), nullptr);
  const std::string old(kFileBytes, 'o');
  for (int i = 0; i < g_files; i += 2) WriteText(target + "\\" + Numbered("f", i, ".dat"), old, true);
}

// The key as each run finds it: half the values the script sets, and every value it deletes.
void PrepareRegistry() {
  RegDeleteKeyA(HKEY_CURRENT_USER, kBenchKey);  // holds values only, no subkeys
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kBenchKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  const std::string old = "old value";
  for (int i = 0; i < kRegistrySets; i += 2) {
    RegSetValueExA(key, Numbered("v", i).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(old.c_str()),
                   static_cast<DWORD>(old.size() + 1));
  }
  for (int i = 0; i < kRegistryDeletes; ++i) {
    RegSetValueExA(key, Numbered("d", i).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(old.c_str()),
                   static_cast<DWORD>(old.size() + 1));
  }
  RegCloseKey(key);
}

// The journal folder's peak size while a run goes, sampled from a thread of its own.
struct Sampler {
  std::string folder;
  volatile LONG stop = 0;
  unsigned long long peakTotal = 0;  // journal.kvj, the lock file and kept\ together
  unsigned long long peakKept = 0;   // kept\ alone
  unsigned long long peakRecords = 0;  // the rest: journal.kvj and the lock file
  int samples = 0;

  static DWORD WINAPI Run(void* self) {
    Sampler* sampler = static_cast<Sampler*>(self);
    while (InterlockedCompareExchange(&sampler->stop, 0, 0) == 0) {
      unsigned long long kept = 0;
      const unsigned long long total = TreeBytes(sampler->folder, &kept);
      sampler->peakTotal = std::max(sampler->peakTotal, total);
      sampler->peakKept = std::max(sampler->peakKept, kept);
      sampler->peakRecords = std::max(sampler->peakRecords, total - kept);
      ++sampler->samples;
      Sleep(kSampleMilliseconds);
    }
    return 0;
  }
};

struct Run {
  double seconds = -1;
  DWORD exitCode = 0;
};

// One run of Kivrun.exe on a script of the package, journalled into `journal` unless empty.
Run RunKivrun(const std::string& script, const std::string& journal, Sampler* sampler = nullptr) {
  const std::string log = g_root + "\\" + script + ".log";
  DeleteFileA(log.c_str());
  const std::string program = Folder() + "Kivrun.exe";
  std::string commandLine =
      "\"" + program + "\" /Script=" + g_root + "\\pkg\\" + script + ".kiv /Section=Main /Log=" + log;
  if (!journal.empty()) commandLine += " /Journal=" + journal;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  HANDLE thread = nullptr;
  if (sampler != nullptr) thread = CreateThread(nullptr, 0, Sampler::Run, sampler, 0, nullptr);
  Run run;
  const double start = Now();
  if (CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                     &info)) {
    WaitForSingleObject(info.hProcess, INFINITE);
    run.seconds = Now() - start - kFinalPumpSeconds;
    GetExitCodeProcess(info.hProcess, &run.exitCode);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  if (thread != nullptr) {
    InterlockedExchange(&sampler->stop, 1);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  return run;
}

// The log's "Journal committed: N changes." line, or what stands in its place.
std::string CommitLine(const std::string& script) {
  std::string log;
  if (!ReadText(g_root + "\\" + script + ".log", &log)) return "(no log)";
  const size_t at = log.find("Journal committed:");
  if (at == std::string::npos) return "(no \"Journal committed\" line in the log)";
  return log.substr(at, log.find_first_of("\r\n", at) - at);
}

// The floor of write-ahead: `records` appends to a file on the journal's volume, each flushed.
double FlushedAppends(int records) {
  const std::string path = g_root + "\\flushed.kvj";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  const std::string record(kRecordBytes, 'r');
  const double start = Now();
  for (int i = 0; i < records; ++i) {
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    FlushFileBuffers(file);
  }
  const double seconds = Now() - start;
  CloseHandle(file);
  DeleteFileA(path.c_str());
  return seconds;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double MiB(unsigned long long bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

struct Part {
  const char* name;    // the script's name in the package, and the part's name on the command line
  const char* what;
  void (*prepare)();
  int changes;
  std::vector<double> plain, journalled, flushes;
  std::vector<DWORD> exitCodes;
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  if (argc > 2) g_files = std::max(2, std::atoi(argv[2]));
  const std::string wanted = argc > 3 ? argv[3] : "files,registry";
  char temp[MAX_PATH];
  GetTempPathA(sizeof(temp), temp);
  g_root = std::string(temp) + "kivjournal";
  RemoveTree(g_root);
  MakePackage();
  const std::string journal = g_root + "\\journal";

  char filesWhat[96];
  std::snprintf(filesWhat, sizeof(filesWhat), "COPYFILES, %d FILECOW of %zu KiB (half replacing)", g_files,
                kFileBytes / 1024);
  char registryWhat[96];
  std::snprintf(registryWhat, sizeof(registryWhat), "%d SETREGVALUE (half replacing), %d DELETEREGVALUE",
                kRegistrySets, kRegistryDeletes);
  Part parts[] = {{"files", filesWhat, PrepareFiles, g_files, {}, {}, {}, {}},
                  {"registry", registryWhat, PrepareRegistry, kRegistrySets + kRegistryDeletes, {}, {}, {}, {}}};

  for (int round = 0; round < rounds; ++round) {
    for (Part& part : parts) {
      if (wanted.find(part.name) == std::string::npos) continue;
      part.prepare();
      const Run plain = RunKivrun(part.name, "");
      part.plain.push_back(plain.seconds);
      part.exitCodes.push_back(plain.exitCode);
      part.prepare();
      RemoveTree(journal);
      const Run journalled = RunKivrun(part.name, journal);
      part.journalled.push_back(journalled.seconds);
      part.exitCodes.push_back(journalled.exitCode);
      part.flushes.push_back(FlushedAppends(part.changes));
    }
  }

  std::printf("Journal benchmark: medians of %d interleaved rounds, Kivrun.exe net of its %.0f ms end wait\n",
              rounds, kFinalPumpSeconds * 1e3);
  for (Part& part : parts) {
    if (part.plain.empty()) continue;
    const double plain = Median(part.plain);
    const double journalled = Median(part.journalled);
    std::printf("  %-8s %s\n", part.name, part.what);
    std::printf("           without /Journal= %7.3f s  with %7.3f s  %5.2fx (goal: at most 1.2x)\n", plain,
                journalled, journalled / plain);
    std::printf("           each round, without / with:");
    for (size_t i = 0; i < part.plain.size(); ++i) std::printf(" %.2f/%.2f", part.plain[i], part.journalled[i]);
    std::printf(" s\n");
    for (DWORD code : part.exitCodes) {
      if (code == 0) continue;
      std::printf("           (a run ended with exit code %lu: see %s\\%s.log)\n", static_cast<unsigned long>(code),
                  g_root.c_str(), part.name);
      break;
    }
    std::printf("           %s\n", CommitLine(part.name).c_str());
    std::printf("           for scale: %d appends of %zu bytes, each flushed, %.3f s\n", part.changes, kRecordBytes,
                Median(part.flushes));

    // The peak, from one more journalled run with the sampler watching the folder.
    part.prepare();
    RemoveTree(journal);
    Sampler sampler;
    sampler.folder = journal;
    RunKivrun(part.name, journal, &sampler);
    std::printf(
        "           journal folder at its peak (sampled every %lu ms, %d samples, one more run, untimed): "
        "%.1f MiB: journal.kvj and lock %.1f KiB, kept\\ %.1f MiB%s\n",
        static_cast<unsigned long>(kSampleMilliseconds), sampler.samples, MiB(sampler.peakTotal),
        static_cast<double>(sampler.peakRecords) / 1024.0, MiB(sampler.peakKept),
        sampler.peakKept > 0 ? " (what is moved aside on one volume takes no new disk space)" : "");
  }

  RemoveTree(g_root);
  RegDeleteKeyA(HKEY_CURRENT_USER, kBenchKey);
  return 0;
}
