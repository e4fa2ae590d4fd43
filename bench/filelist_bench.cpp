// File-list benchmark (Windows build, run under Wine): Kivrun.exe's file lists against raw
// loops that do only the work each outcome needs, in one run, rounds interleaved, medians
// printed as ratios net of the one-second message-pumping wait that ends every run.
//   copy path: FILECOW and FILECIO into an empty folder, against a CopyFileA loop
//   skip path: FILECIO over installed files that are newer, against a loop that opens both
//              files and reads their last-write times
//   DELFILES:  against a DeleteFileA loop
//   kivrun_filelist_bench.exe [rounds (7)] [files (2000)] [paths: cow,cio,skip,del (all)]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr double kFinalPumpSeconds = 1.0;
constexpr size_t kFileBytes = 64 * 1024;

std::string g_root;
int g_files = 2000;

std::string Folder() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path);
  return folder.substr(0, folder.rfind('\\') + 1);
}

std::string Name(int i) {
  char name[32];
  std::snprintf(name, sizeof(name), "f%05d.dat", i);
  return name;
}

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Seconds(const std::function<void()>& work) {
  const double start = Now();
  work();
  return Now() - start;
}

void EmptyFolder(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (entry.cFileName[0] == '.') continue;
      const std::string path = folder + "\\" + entry.cFileName;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileA(path.c_str());
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

void WriteText(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

// The package: the files and a script per list, next to each other as a host delivers them.
void MakePackage() {
  const std::string package = g_root + "\\pkg";
  CreateDirectoryA(g_root.c_str(), nullptr);
  CreateDirectoryA(package.c_str(), nullptr);
  const std::string bytes(kFileBytes, 'k');
  for (int i = 0; i < g_files; ++i) WriteText(package + "\\" + Name(i), bytes);
  const char* const kLists[][3] = {{"cow", "COPYFILES", "FILECOW"},
                                   {"cio", "COPYFILES", "FILECIO"},
                                   {"newer", "COPYFILES", "FILECIO"},
                                   {"del", "DELFILES", "FILECIO"}};
  for (const auto& list : kLists) {
    std::string script = "[Main]\r\nSETWORKDIR " + g_root + "\\" + list[0] + "\r\n" + list[1] + " List\r\n[List]\r\n";
    for (int i = 0; i < g_files; ++i) script += std::string(list[2]) + " " + Name(i) + "\r\n";
    WriteText(package + "\\" + list[0] + ".kiv", script);
  }
}

// A folder holding a copy of every package file; `later` makes each a day newer.
void FillFolder(const std::string& folder, bool later) {
  EmptyFolder(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
  for (int i = 0; i < g_files; ++i) {
    const std::string target = folder + "\\" + Name(i);
    CopyFileA((g_root + "\\pkg\\" + Name(i)).c_str(), target.c_str(), FALSE);
    if (!later) continue;
    HANDLE file = CreateFileA(target.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME time;
    GetFileTime(file, nullptr, nullptr, &time);
    ULARGE_INTEGER value{{time.dwLowDateTime, time.dwHighDateTime}};
    value.QuadPart += 864000000000ULL;  // a day
    time.dwLowDateTime = value.LowPart;
    time.dwHighDateTime = value.HighPart;
    SetFileTime(file, nullptr, nullptr, &time);
    CloseHandle(file);
  }
}

double RunKivrun(const std::string& list) {
  const std::string log = g_root + "\\" + list + ".log";
  DeleteFileA(log.c_str());
  const std::string program = Folder() + "Kivrun.exe";
  std::string commandLine =
      "\"" + program + "\" /Script=" + g_root + "\\pkg\\" + list + ".kiv /Section=Main /Log=" + log;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  const double start = Now();
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return -1;
  }
  WaitForSingleObject(info.hProcess, INFINITE);
  const double seconds = Now() - start;
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return seconds - kFinalPumpSeconds;
}

void RawCopy(const std::string& folder) {
  CreateDirectoryA(folder.c_str(), nullptr);
  for (int i = 0; i < g_files; ++i) {
    CopyFileA((g_root + "\\pkg\\" + Name(i)).c_str(), (folder + "\\" + Name(i)).c_str(), FALSE);
  }
}

// What the skip path needs: both files opened and their last-write times compared.
void RawTimes(const std::string& folder) {
  int newer = 0;
  for (int i = 0; i < g_files; ++i) {
    HANDLE source = CreateFileA((g_root + "\\pkg\\" + Name(i)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE target = CreateFileA((folder + "\\" + Name(i)).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    FILETIME sourceTime, targetTime;
    GetFileTime(source, nullptr, nullptr, &sourceTime);
    GetFileTime(target, nullptr, nullptr, &targetTime);
    if (CompareFileTime(&targetTime, &sourceTime) > 0) ++newer;
    CloseHandle(source);
    CloseHandle(target);
  }
  if (newer != g_files) std::printf("  (the raw skip loop found %d newer files of %d)\n", newer, g_files);
}

void RawDelete(const std::string& folder) {
  for (int i = 0; i < g_files; ++i) DeleteFileA((folder + "\\" + Name(i)).c_str());
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Pair {
  const char* what;
  const char* goal;
  std::vector<double> raw, kivrun;
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  if (argc > 2) g_files = std::max(1, std::atoi(argv[2]));
  char temp[MAX_PATH];
  GetTempPathA(sizeof(temp), temp);
  g_root = std::string(temp) + "kivfilelist";
  MakePackage();

  const std::string paths = argc > 3 ? argv[3] : "cow,cio,skip,del";
  auto wanted = [&paths](const char* path) { return paths.find(path) != std::string::npos; };
  Pair cow{"FILECOW into an empty folder", "1.3", {}, {}};
  Pair cio{"FILECIO into an empty folder", "1.3", {}, {}};
  Pair skip{"FILECIO over newer files (skip)", "2.0", {}, {}};
  Pair del{"DELFILES", "1.5", {}, {}};
  for (int round = 0; round < rounds; ++round) {
    if (wanted("cow")) {
      EmptyFolder(g_root + "\\raw");
      cow.raw.push_back(Seconds([] { RawCopy(g_root + "\\raw"); }));
      EmptyFolder(g_root + "\\cow");
      cow.kivrun.push_back(RunKivrun("cow"));
    }
    if (wanted("cio")) {
      EmptyFolder(g_root + "\\raw");
      cio.raw.push_back(Seconds([] { RawCopy(g_root + "\\raw"); }));
      EmptyFolder(g_root + "\\cio");
      cio.kivrun.push_back(RunKivrun("cio"));
    }
    if (wanted("skip")) {
      FillFolder(g_root + "\\newer", true);
      skip.raw.push_back(Seconds([] { RawTimes(g_root + "\\newer"); }));
      skip.kivrun.push_back(RunKivrun("newer"));
    }
    if (wanted("del")) {
      FillFolder(g_root + "\\del", false);
      del.raw.push_back(Seconds([] { RawDelete(g_root + "\\del"); }));
      FillFolder(g_root + "\\del", false);
      del.kivrun.push_back(RunKivrun("del"));
    }
  }

  std::printf("File-list benchmark: %d files of %zu KiB, medians of %d interleaved rounds,\n", g_files,
              kFileBytes / 1024, rounds);
  std::printf("Kivrun.exe net of its %.0f ms end wait\n", kFinalPumpSeconds * 1e3);
  for (const Pair* pair : {&cow, &cio, &skip, &del}) {
    if (pair->raw.empty()) continue;
    const double raw = Median(pair->raw);
    const double kivrun = Median(pair->kivrun);
    std::printf("  %-34s raw %7.3f s  Kivrun %7.3f s  %5.2fx raw (goal: at most %sx)\n", pair->what, raw, kivrun,
                kivrun / raw, pair->goal);
  }
  for (const char* folder : {"raw", "cow", "cio", "newer", "del", "pkg"}) EmptyFolder(g_root + "\\" + folder);
  for (const char* log : {"cow", "cio", "newer", "del"}) DeleteFileA((g_root + "\\" + log + ".log").c_str());
  RemoveDirectoryA(g_root.c_str());
  return 0;
}
