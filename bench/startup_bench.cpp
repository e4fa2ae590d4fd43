// Start-up benchmark (Windows build, run under Wine): the time from start to exit of
// Kivrun.exe on a one-line script, next to a minimal Windows program started the same way,
// and Kivrun's own cost net of the one-second message-pumping wait that ends every run.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr int kRounds = 10;
constexpr double kFinalPumpSeconds = 1.0;

std::string Folder() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path);
  return folder.substr(0, folder.rfind('\\') + 1);
}

double SecondsToRun(const std::string& program, const std::string& arguments) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  std::string commandLine = "\"" + program + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return -1;
  }
  WaitForSingleObject(info.hProcess, INFINITE);
  QueryPerformanceCounter(&end);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Average(const std::string& program, const std::string& arguments) {
  SecondsToRun(program, arguments);  // warm the file cache
  double total = 0;
  for (int i = 0; i < kRounds; ++i) total += SecondsToRun(program, arguments);
  return total / kRounds;
}

}  // namespace

int main() {
  char temp[MAX_PATH];
  GetTempPathA(sizeof(temp), temp);
  std::string script = std::string(temp) + "kivrunbench.kiv";
  std::string log = std::string(temp) + "kivrunbench.log";
  if (FILE* file = std::fopen(script.c_str(), "wb")) {
    std::fputs("[Main]\r\nSET A=1\r\n", file);
    std::fclose(file);
  }

  double minimal = Average(Folder() + "kivrun_minimal_app.exe", "");
  double kivrun = Average(Folder() + "Kivrun.exe", "/Script=" + script + " /Section=Main /Log=" + log);
  double net = kivrun - kFinalPumpSeconds;
  std::printf("Start-up benchmark (%d runs each)\n", kRounds);
  std::printf("  minimal Windows program:           %7.1f ms\n", minimal * 1e3);
  std::printf("  Kivrun.exe, one-line script:       %7.1f ms\n", kivrun * 1e3);
  std::printf("  Kivrun net of the 1000 ms wait:    %7.1f ms  (%+.0f%% over the minimal program; goal: at most +50%%)\n",
              net * 1e3, (net / minimal - 1) * 100);
  DeleteFileA(script.c_str());
  DeleteFileA(log.c_str());
  return 0;
}
