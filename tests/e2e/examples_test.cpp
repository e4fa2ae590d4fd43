// The example updates of examples/, each run end to end as an updating agent starts one:
// its folder copied into the prefix, the workstation made ready as the example expects it
// (Vorna Scan as the example update leaves it, the test service as VornaScanService, files
// held open, a monitor running), the script run under the test host, and then the host's
// final status, the exit code and the example's effects on files, registry, service and log.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <functional>
#include <memory>

#include "e2e_support.h"

namespace {

using Record = std::vector<std::string>;

const char kService[] = "VornaScanService";
const char kScanKey[] = "SOFTWARE\\Vorna\\Scan";
const char kUserScanKey[] = "Software\\Vorna\\Scan";
const char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\VornaScanService";
const char kParametersKey[] = "SYSTEM\\CurrentControlSet\\Services\\VornaScanService\\Parameters";
const char kVxdKey[] = "SYSTEM\\CurrentControlSet\\Services\\VxD\\VornaScan";
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VornaScan";
const char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingValue[] = "PendingFileRenameOperations";
const char kAutoexec[] = "C:\\AutoExec.Bat";
const char kAutoexecText[] =
    "@ECHO OFF\r\nC:\\PROGRA~1\\VORNA\\SCAN\\SCAN.EXE /BOOT /NOMEM\r\nIF ERRORLEVEL 1 PAUSE\r\nPATH C:\\WINDOWS\r\n";
const char kNone[] = "(none)";

// --- The workstation: files, registry, service, processes --------------------------------

std::string VornaFolder() { return ShellFolder(CSIDL_PROGRAM_FILES) + "\\Vorna\\"; }
std::string InstallDir() { return VornaFolder() + "Scan\\"; }
std::string Shortcut() { return ShellFolder(CSIDL_COMMON_STARTMENU) + "\\Vorna Scan.lnk"; }

// A registry value's type and bytes; false when it is missing.
bool ReadValue(HKEY root, const char* key, const char* name, DWORD* type, std::string* data) {
  DWORD size = 0;
  if (RegGetValueA(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, type, nullptr, &size) != ERROR_SUCCESS) return false;
  data->assign(size, '\0');
  return RegGetValueA(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, type, &(*data)[0], &size) == ERROR_SUCCESS;
}

void WriteValue(HKEY root, const char* key, const char* name, DWORD type, const std::string& data) {
  HKEY opened = nullptr;
  RegCreateKeyA(root, key, &opened);
  RegSetValueExA(opened, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
  RegCloseKey(opened);
}

void WriteText(HKEY root, const char* key, const char* name, const std::string& text) {
  WriteValue(root, key, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

void DeleteValue(HKEY root, const char* key, const char* name) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key, 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) return;
  RegDeleteValueA(opened, name);
  RegCloseKey(opened);
}

// The service manager's view of VornaScanService, opened with all rights for one step.
template <typename Action>
bool WithService(Action action) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = manager != nullptr ? OpenServiceA(manager, kService, SERVICE_ALL_ACCESS) : nullptr;
  const bool done = service != nullptr && action(service);
  if (service != nullptr) CloseServiceHandle(service);
  if (manager != nullptr) CloseServiceHandle(manager);
  return done;
}

// Where the service ends up: a state on its way somewhere is given a few seconds.
DWORD ServiceState() {
  DWORD state = 0;
  for (int waited = 0; waited < 100; ++waited) {
    state = 0;
    WithService([&state](SC_HANDLE service) {
      SERVICE_STATUS status = {};
      if (QueryServiceStatus(service, &status)) state = status.dwCurrentState;
      return true;
    });
    if (state != SERVICE_START_PENDING && state != SERVICE_STOP_PENDING) break;
    Sleep(50);
  }
  return state;
}

void StopService() {
  WithService([](SC_HANDLE service) {
    SERVICE_STATUS status = {};
    return ControlService(service, SERVICE_CONTROL_STOP, &status) != FALSE;
  });
  ServiceState();
}

// Everything the examples touch, cleared before and after each case. What the prefix held
// before (AUTOEXEC.BAT, the deletions pending for the next start) is put back afterwards.
class Workstation {
 public:
  Workstation() {
    hadAutoexec_ = Exists(kAutoexec);
    autoexec_ = ReadText(kAutoexec);
    hadPending_ = ReadValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingValue, &pendingType_, &pending_);
    Clear();
  }
  ~Workstation() {
    SetWineVersion(nullptr);
    held_.clear();
    if (monitor_ != nullptr) {
      TerminateProcess(monitor_, 1);
      WaitForSingleObject(monitor_, 5000);
      CloseHandle(monitor_);
    }
    Clear();
    if (hadAutoexec_) WriteScript(kAutoexec, autoexec_);
    if (hadPending_) WriteValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingValue, pendingType_, pending_);
    else DeleteValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingValue);
  }
  Workstation(const Workstation&) = delete;
  Workstation& operator=(const Workstation&) = delete;

  // kivrun_test_service installed as VornaScanService and running; a disabled one cannot be
  // started again once it has stopped.
  bool RunService(bool disabled) {
    const std::string binary = "\"" + BinFolder() + "kivrun_test_service.exe\"";
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = CreateServiceA(manager, kService, kService, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, binary.c_str(), nullptr, nullptr,
                                       nullptr, nullptr, nullptr);
    if (service != nullptr) CloseServiceHandle(service);
    if (manager != nullptr) CloseServiceHandle(manager);
    WithService([](SC_HANDLE opened) { return StartServiceA(opened, 0, nullptr) != FALSE; });
    if (disabled) {
      WithService([](SC_HANDLE opened) {
        return ChangeServiceConfigA(opened, SERVICE_NO_CHANGE, SERVICE_DISABLED, SERVICE_NO_CHANGE, nullptr, nullptr,
                                    nullptr, nullptr, nullptr, nullptr, nullptr) != FALSE;
      });
    }
    return ServiceState() == SERVICE_RUNNING;
  }

  bool Hold(const std::string& path, const std::string& text) {
    WriteScript(path, text);
    held_.push_back(std::unique_ptr<HeldFile>(new HeldFile(path)));
    return held_.back()->Holding();
  }

  // The Vorna Scan Monitor, vsmon.exe in the install folder: a copy of kivrun_hold_file
  // that only waits.
  bool StartMonitor() {
    const std::string monitor = InstallDir() + "vsmon.exe";
    CopyFileA((BinFolder() + "kivrun_hold_file.exe").c_str(), monitor.c_str(), FALSE);
    monitor_ = StartProgram(monitor, {"sleep", "30000"});
    return monitor_ != nullptr;
  }
  bool MonitorEnded() const { return monitor_ != nullptr && WaitForSingleObject(monitor_, 5000) == WAIT_OBJECT_0; }

 private:
  static void Clear() {
    StopService();
    WithService([](SC_HANDLE service) { return DeleteService(service) != FALSE; });
    RemoveTree(VornaFolder());
    DeleteFileA(Shortcut().c_str());
    DeleteFileA(WindowsFile("wininit.ini").c_str());
    DeleteFileA(WindowsFile("Vorna\\Agent\\Reboot.ini").c_str());
    DeleteFileA(kAutoexec);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kScanKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kUserScanKey);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kServiceKey);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kVxdKey);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
    DeleteValue(HKEY_LOCAL_MACHINE, kRunKey, "Vorna Scan Monitor");
  }

  std::vector<std::unique_ptr<HeldFile>> held_;
  HANDLE monitor_ = nullptr;
  bool hadAutoexec_ = false, hadPending_ = false;
  std::string autoexec_, pending_;
  DWORD pendingType_ = REG_MULTI_SZ;
};

// --- The examples and their runs --------------------------------------------------------

// The example's folder in the source tree, as Wine reaches it.
std::string ExampleSource(const std::string& name) {
  std::string source = std::string("Z:") + KIVRUN_SOURCE_DIR + "/examples/" + name + "/";
  for (char& c : source) c = c == '/' ? '\\' : c;
  return source;
}

// Copies examples/<name> into the prefix. Each file is written anew, so the package is newer
// than what a preparation installed before it (FILECIO copies only over older files).
std::string CopyExample(const std::string& name) {
  const std::string source = ExampleSource(name);
  std::string folder = WorkFolder() + "example_";
  for (char c : name) folder += c == '-' ? '_' : c;
  folder += "\\";
  RemoveTree(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((source + "*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return folder;
  do {
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      WriteScript(folder + entry.cFileName, ReadText(source + entry.cFileName));
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return folder;
}

struct Outcome {
  Record record;
  std::string log;
  const Workstation* workstation;
};

Outcome RunExample(const std::string& name, const std::string& script, const Workstation* workstation) {
  const std::string log = FreshLog("example_" + name);
  Outcome outcome;
  outcome.workstation = workstation;
  outcome.record = RunUnderHost({}, {"/Script=" + CopyExample(name) + script, "/Log=" + log});
  outcome.log = ReadText(log);
  return outcome;
}

// Vorna Scan as the example update leaves it: that package's files in Program Files\Vorna\Scan
// and its key under HKLM\SOFTWARE\Vorna\Scan (laid down here: a run takes a second or two).
void InstallVornaScan() {
  const std::string source = ExampleSource("update"), dir = InstallDir();
  CreateDirectoryA(VornaFolder().c_str(), nullptr);
  CreateDirectoryA(dir.c_str(), nullptr);
  for (const char* name : {"engine.dll", "avvscan.dat", "scan.ini"}) WriteScript(dir + name, ReadText(source + name));
  WriteText(HKEY_LOCAL_MACHINE, kScanKey, "InstallDir", dir.substr(0, dir.size() - 1));
  WriteText(HKEY_LOCAL_MACHINE, kScanKey, "EngineVersion", "4.1.2.0");
  const DWORD dat = 4410;
  WriteValue(HKEY_LOCAL_MACHINE, kScanKey, "DatVersion", REG_DWORD,
             std::string(reinterpret_cast<const char*>(&dat), sizeof(dat)));
}

// --- What the checks read ---------------------------------------------------------------

using Probe = std::function<std::string(const Outcome&)>;

Probe File(const std::string& path) {
  return [path](const Outcome&) { return Exists(path) ? ReadText(path) : kNone; };
}

Probe Ini(const std::string& path, const char* section, const char* key) {
  return [=](const Outcome&) {
    char value[256] = "";
    GetPrivateProfileStringA(section, key, kNone, value, sizeof(value), path.c_str());
    return std::string(value);
  };
}

// A value as text (a DWORD in decimal), or "(none)".
Probe Value(HKEY root, const char* key, const char* name) {
  return [=](const Outcome&) -> std::string {
    DWORD type = 0;
    std::string data;
    if (!ReadValue(root, key, name, &type, &data)) return kNone;
    if (type == REG_DWORD) return std::to_string(*reinterpret_cast<const DWORD*>(data.data()));
    return data.c_str();
  };
}

Probe Key(HKEY root, const char* key) {
  return [=](const Outcome&) -> std::string {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return kNone;
    RegCloseKey(opened);
    return "present";
  };
}

Probe Service() {
  return [](const Outcome&) -> std::string {
    switch (ServiceState()) {
      case 0: return "not installed";
      case SERVICE_STOPPED: return "stopped";
      case SERVICE_RUNNING: return "running";
      default: return "pending";
    }
  };
}

// Whether a deletion at the next start is on the NT family's list (the session manager's
// pending operations) or in wininit.ini under the file's short name, as the 9x family has it.
Probe DeletedAtRestart(const std::string& path) {
  return [path](const Outcome&) -> std::string {
    DWORD type = 0;
    std::string pending;
    ReadValue(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingValue, &type, &pending);
    char shortPath[MAX_PATH] = "";
    GetShortPathNameA(path.c_str(), shortPath, sizeof(shortPath));
    const std::string wininit = ReadText(WindowsFile("wininit.ini"));
    const bool nt = Contains(pending, path), nine = Contains(wininit, std::string("NUL=") + shortPath + "\r\n");
    return nt ? (nine ? "both" : "session manager") : (nine ? "wininit.ini" : "no");
  };
}

Probe Monitor() {
  return [](const Outcome& outcome) { return outcome.workstation->MonitorEnded() ? "ended" : "running"; };
}

Probe LogHas(const std::string& piece) {
  return [piece](const Outcome& outcome) { return Contains(outcome.log, piece) ? "yes" : "no"; };
}

Probe HostGot(const std::string& call) {
  return [call](const Outcome& outcome) {
    for (const std::string& line : outcome.record) {
      if (line == call) return "yes";
    }
    return "no";
  };
}

struct Effect {
  const char* what;
  Probe probe;
  std::string expected;
};

struct ExampleCase {
  const char* name;
  const char* example;  // its folder under examples/
  const char* script;
  bool win98;           // run with Wine reporting the 9x family
  std::function<bool(Workstation*)> prepare;
  std::string finalStatus;  // the host's OnComplete line
  std::vector<Effect> effects;
};

}  // namespace

TEST(Examples, EachExampleRunsToItsEndUnderTheHostWithItsEffects) {
  ASSERT_TRUE(Exists(BinFolder() + "kivrun_test_service.exe")) << "build the kivrun_test_service target";
  const std::string dir = InstallDir(), installDir = dir.substr(0, dir.size() - 1);
  const std::string stopping = "Stopping service...VornaScanService.";
  const std::string starting = "Starting service...VornaScanService.";
  const std::string rebootIni = WindowsFile("Vorna\\Agent\\Reboot.ini");

  const ExampleCase cases[] = {
      // The service is stopped and started again; the help file the viewer holds is passed
      // over; the settings a user made are kept.
      {"service-update",
       "service-update",
       "service.kiv",
       false,
       [&](Workstation* workstation) {
         WriteText(HKEY_LOCAL_MACHINE, kScanKey, "ServiceVersion", "4.1.0.0");
         WriteScript(dir + "vsservice.ini", "[Service]\r\nVersion=4.1.0.0\r\n[Scan]\r\nLevel=3\r\n");
         return workstation->RunService(false) && workstation->Hold(dir + "scan.chm", "VORNA SCAN HELP 4.1\r\n");
       },
       "OnComplete(0x00000000, \"Vorna Scan service 4.2.0.0 is installed\")",
       {{"the service program", File(dir + "vsservice.exe"), "VORNA SCAN SERVICE 4.2.0.0\r\n"},
        {"the filter", File(dir + "vsfilter.dll"), "VORNA SCAN FILTER 4.2.0.0\r\n"},
        {"the help, held open", File(dir + "scan.chm"), "VORNA SCAN HELP 4.1\r\n"},
        {"the user's scan level", Ini(dir + "vsservice.ini", "Scan", "Level"), "3"},
        {"the version in the INI", Ini(dir + "vsservice.ini", "Service", "Version"), "4.2.0.0"},
        {"the version in the registry", Value(HKEY_LOCAL_MACHINE, kScanKey, "ServiceVersion"), "4.2.0.0"},
        {"the engine folder", Value(HKEY_LOCAL_MACHINE, kParametersKey, "EngineDir"), installDir},
        {"archive scanning", Value(HKEY_LOCAL_MACHINE, kParametersKey, "ScanArchives"), "1"},
        {"the service stopped", LogHas(stopping), "yes"},
        {"the service started", LogHas(starting), "yes"},
        {"the service", Service(), "running"},
        {"progress", HostGot("OnProgress(1, 90, 0, \"Starting the Vorna Scan service again\")"), "yes"}}},

      // A disabled service does not start again: the failure path sets the final status.
      {"service-update, the service disabled",
       "service-update",
       "service.kiv",
       false,
       [](Workstation* workstation) { return workstation->RunService(true); },
       "OnComplete(0xFFFFFFFD, \"The Vorna Scan service 4.2.0.0 is installed but did not start again\")",
       {{"the service program", File(dir + "vsservice.exe"), "VORNA SCAN SERVICE 4.2.0.0\r\n"},
        {"the default scan level", Ini(dir + "vsservice.ini", "Scan", "Level"), "2"},
        {"the version in the registry", Value(HKEY_LOCAL_MACHINE, kScanKey, "ServiceVersion"), "4.2.0.0"},
        {"the start refused", LogHas("Service VornaScanService did not start: error 1058."), "yes"},
        {"the service", Service(), "stopped"}}},

      // Everything goes but the engine that another program holds: deleted at the restart.
      {"uninstall",
       "uninstall",
       "uninstall.kiv",
       false,
       [&](Workstation* workstation) {
         WriteScript(dir + "vsfilter.dll", "VORNA SCAN FILTER 4.1.0.0\r\n");
         WriteScript(Shortcut(), "a shortcut");
         WriteText(HKEY_CURRENT_USER, kUserScanKey, "Level", "3");
         WriteText(HKEY_LOCAL_MACHINE, kRunKey, "Vorna Scan Monitor", dir + "vsmon.exe");
         WriteText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", "Vorna Scan");
         return workstation->RunService(false) && workstation->StartMonitor() &&
                workstation->Hold(dir + "engine.dll", "VORNA ENGINE 4.1.2.0\r\n");
       },
       "OnComplete(0x00000000, \"Vorna Scan is removed; the files still in use go when Windows restarts\")",
       {{"the console closed", HostGot("CloseUserApp(\"Vorna Console\", \"\", 30000, -1)"), "yes"},
        {"the monitor", Monitor(), "ended"},
        {"the service", Service(), "stopped"},
        {"the service's key", Key(HKEY_LOCAL_MACHINE, kServiceKey), kNone},
        {"the filter", File(dir + "vsfilter.dll"), kNone},
        {"scan.ini", File(dir + "scan.ini"), kNone},
        {"the monitor's program", File(dir + "vsmon.exe"), kNone},
        {"the engine, held open", File(dir + "engine.dll"), "VORNA ENGINE 4.1.2.0\r\n"},
        {"the engine's deletion", DeletedAtRestart(dir + "engine.dll"), "session manager"},
        {"the shortcut", File(Shortcut()), kNone},
        {"the product's key", Key(HKEY_LOCAL_MACHINE, kScanKey), kNone},
        {"the user's key", Key(HKEY_CURRENT_USER, kUserScanKey), kNone},
        {"the start-up entry", Value(HKEY_LOCAL_MACHINE, kRunKey, "Vorna Scan Monitor"), kNone},
        {"the uninstall entry", Key(HKEY_LOCAL_MACHINE, kUninstallKey), kNone},
        {"the reboot flag", Ini(rebootIni, "Reboot", "VornaScan"), "1"}}},

      // The NT route: the service is stopped and started; AUTOEXEC.BAT is not the NT
      // family's, and stays as it was.
      {"update-9x on the NT family",
       "update-9x",
       "update.kiv",
       false,
       [](Workstation* workstation) {
         WriteScript(kAutoexec, kAutoexecText);
         return workstation->RunService(false);
       },
       "OnComplete(0x00000000, \"Engine 4.2.0.0 with DAT 4420 is installed\")",
       {{"the engine", File(dir + "engine.dll"), "VORNA ENGINE 4.2.0.0\r\n"},
        {"the DAT", File(dir + "avvscan.dat"), "VORNA DAT 4420\r\n"},
        {"the engine version", Value(HKEY_LOCAL_MACHINE, kScanKey, "EngineVersion"), "4.2.0.0"},
        {"the DAT version", Value(HKEY_LOCAL_MACHINE, kScanKey, "DatVersion"), "4420"},
        {"scan.ini", Ini(dir + "scan.ini", "Update", "EngineVersion"), "4.2.0.0"},
        {"the service stopped", LogHas(stopping), "yes"},
        {"the service started", LogHas(starting), "yes"},
        {"the service", Service(), "running"},
        {"the monitor left alone", HostGot("CloseUserApp(\"Vorna Scan Monitor\", \"\", 30000, -1)"), "no"},
        {"AUTOEXEC.BAT", File(kAutoexec), kAutoexecText},
        {"the reboot flag", File(rebootIni), kNone}}},

      // The 9x route: no service is touched; the host closes and starts the monitor; the
      // DOS scanner leaves AUTOEXEC.BAT; the loaded VxD goes at the restart.
      {"update-9x on the 9x family",
       "update-9x",
       "update.kiv",
       true,
       [&](Workstation* workstation) {
         WriteScript(kAutoexec, kAutoexecText);
         WriteText(HKEY_LOCAL_MACHINE, kVxdKey, "StaticVxD", dir + "vsvxd.vxd");
         return workstation->RunService(false) && workstation->Hold(dir + "vsvxd.vxd", "VORNA VXD 3.0\r\n");
       },
       "OnComplete(0x00000000, \"Engine 4.2.0.0 with DAT 4420 is installed; restart Windows to finish\")",
       {{"the engine", File(dir + "engine.dll"), "VORNA ENGINE 4.2.0.0\r\n"},
        {"the engine version", Value(HKEY_LOCAL_MACHINE, kScanKey, "EngineVersion"), "4.2.0.0"},
        {"the service left alone", LogHas(stopping), "no"},
        {"the service", Service(), "running"},
        {"the monitor closed", HostGot("CloseUserApp(\"Vorna Scan Monitor\", \"\", 30000, -1)"), "yes"},
        {"the monitor started", HostGot("StartUserApp(\"" + dir + "vsmon.exe\", 1)"), "yes"},
        {"AUTOEXEC.BAT", File(kAutoexec), "@ECHO OFF\r\nPATH C:\\WINDOWS\r\n"},
        {"the VxD's key", Key(HKEY_LOCAL_MACHINE, kVxdKey), kNone},
        {"the VxD's deletion", DeletedAtRestart(dir + "vsvxd.vxd"), "wininit.ini"},
        {"the reboot flag", Ini(rebootIni, "Reboot", "VornaScan"), "1"}}},
  };

  for (const ExampleCase& c : cases) {
    SCOPED_TRACE(c.name);
    Workstation workstation;
    InstallVornaScan();
    ASSERT_TRUE(c.prepare(&workstation));
    if (c.win98) SetWineVersion("win98");
    const Outcome outcome = RunExample(c.example, c.script, &workstation);
    SetWineVersion(nullptr);

    ASSERT_GE(outcome.record.size(), 2u) << outcome.log;
    EXPECT_EQ(outcome.record[outcome.record.size() - 2], c.finalStatus) << outcome.log;
    EXPECT_EQ(outcome.record.back(), "exit 0");
    for (const Effect& effect : c.effects) EXPECT_EQ(effect.probe(outcome), effect.expected) << effect.what;
  }
}
