#include "e2e_support.h"

#include <shlobj.h>

#include <cstring>
#include <fstream>
#include <sstream>

std::string BinFolder() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path);
  return folder.substr(0, folder.rfind('\\') + 1);
}

std::string WorkFolder() {
  CreateDirectoryA("C:\\kivtest", nullptr);
  return "C:\\kivtest\\";
}

std::string WriteScript(const std::string& name, const std::string& text) {
  std::string path = name.find('\\') != std::string::npos ? name : WorkFolder() + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return path;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void Remove(const std::string& path) { DeleteFileA(path.c_str()); }

namespace {

// Starts the program; its standard output goes to `output` when that is given (an
// inheritable handle), else where the caller's goes. Its process handle, or nullptr.
HANDLE Launch(const std::string& program, const std::vector<std::string>& arguments, HANDLE output) {
  std::string commandLine = "\"" + program + "\"";
  for (const std::string& argument : arguments) {
    bool blank = argument.find(' ') != std::string::npos;
    commandLine += blank ? " \"" + argument + "\"" : " " + argument;
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  if (output != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  }
  PROCESS_INFORMATION info = {};
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, output != nullptr, 0, nullptr, nullptr,
                      &startup, &info)) {
    return nullptr;
  }
  CloseHandle(info.hThread);
  return info.hProcess;
}

// Starts the program and waits for it; its exit code, or -2 when it could not start.
DWORD Run(const std::string& program, const std::vector<std::string>& arguments, DWORD timeoutMs, HANDLE output) {
  const HANDLE process = Launch(program, arguments, output);
  if (process == nullptr) return static_cast<DWORD>(-2);
  if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) TerminateProcess(process, 99);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return code;
}

}  // namespace

DWORD RunProgram(const std::string& program, const std::vector<std::string>& arguments, DWORD timeoutMs) {
  return Run(program, arguments, timeoutMs, nullptr);
}

DWORD RunProgramCapturing(const std::string& program, const std::vector<std::string>& arguments,
                          std::string* output, DWORD timeoutMs) {
  std::string path = WorkFolder() + "captured-output.txt";
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return static_cast<DWORD>(-2);
  DWORD code = Run(program, arguments, timeoutMs, file);
  CloseHandle(file);
  *output = ReadText(path);
  Remove(path);
  return code;
}

DWORD RunKivrun(const std::vector<std::string>& arguments) { return RunProgram(BinFolder() + "Kivrun.exe", arguments); }

std::vector<std::string> RunUnderHost(const std::vector<std::string>& hostOptions,
                                      const std::vector<std::string>& kivrunArguments, DWORD timeoutMs) {
  std::string record = WorkFolder() + "host-record.txt";
  Remove(record);
  std::vector<std::string> arguments = hostOptions;
  arguments.push_back("--out");
  arguments.push_back(record);
  arguments.push_back("--");
  arguments.insert(arguments.end(), kivrunArguments.begin(), kivrunArguments.end());
  RunProgram(BinFolder() + "kivrun_test_host.exe", arguments, timeoutMs);

  std::vector<std::string> lines;
  std::istringstream text(ReadText(record));
  for (std::string line; std::getline(text, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();  // the record is a text file
    lines.push_back(line);
  }
  return lines;
}

std::string FreshLog(const std::string& name) {
  std::string path = WorkFolder() + name + ".log";
  Remove(path);
  return path;
}

bool Contains(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

bool CloseMessageBox(const char* caption, std::string* text, DWORD timeoutMs) {
  for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
    HWND box = FindWindowA(nullptr, caption);
    if (box != nullptr) {
      char buffer[512] = "";
      GetDlgItemTextA(box, 0xFFFF, buffer, sizeof(buffer));  // the message box's text control
      *text = buffer;
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      return true;
    }
    Sleep(50);
  }
  return false;
}

void SetWineVersion(const char* version) {
  HKEY key = nullptr;
  RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine", &key);
  if (version != nullptr) {
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   static_cast<DWORD>(strlen(version) + 1));
  } else {
    RegDeleteValueA(key, "Version");
  }
  RegCloseKey(key);
}

HANDLE StartProgram(const std::string& program, const std::vector<std::string>& arguments) {
  return Launch(program, arguments, nullptr);
}

HeldFile::HeldFile(const std::string& path) {
  static int count = 0;
  const std::string id = "kivtest-hold-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
  ready_ = CreateEventA(nullptr, TRUE, FALSE, (id + "-ready").c_str());
  release_ = CreateEventA(nullptr, TRUE, FALSE, (id + "-release").c_str());
  process_ = StartProgram(BinFolder() + "kivrun_hold_file.exe", {"write", path, id + "-ready", id + "-release"});
  if (process_ == nullptr) return;
  const HANDLE either[] = {ready_, process_};
  holding_ = WaitForMultipleObjects(2, either, FALSE, 10000) == WAIT_OBJECT_0;
}

HeldFile::~HeldFile() {
  SetEvent(release_);
  if (process_ != nullptr) {
    if (WaitForSingleObject(process_, 10000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
    CloseHandle(process_);
  }
  CloseHandle(ready_);
  CloseHandle(release_);
}

void RemoveTree(const std::string& tree) {
  const std::string path = !tree.empty() && tree.back() == '\\' ? tree.substr(0, tree.size() - 1) : tree;
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    DeleteFileA(path.c_str());
    return;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0) {
        RemoveTree(path + "\\" + found.cFileName);
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path.c_str());
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string WindowsFile(const char* name) {
  char windows[MAX_PATH] = "";
  GetWindowsDirectoryA(windows, sizeof(windows));
  return std::string(windows) + "\\" + name;
}

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
  return path;
}
