// The 32-bit Kivrun.exe end to end, where every start is costly (these machines emulate
// 32-bit code): one realistic update under the 32-bit test host that reaches every family
// of commands (its COM link, pointer sizes and calling conventions, the runtime import slots
// and the CAB installer's 32-bit DLL), run on the NT family's route and again on the 9x
// family's; and the registration once. scripts/test-i686.sh runs it with the unit tests.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <memory>

#include "e2e_support.h"

namespace {

// The service: scripts/test-i686.sh installs the tests' 32-bit service as VornaSmokeService and
// starts it, with Wine's 64-bit tools; the update stops it and starts it again.
const char kKey[] = "SOFTWARE\\VornaSmoke";
const char kUserKey[] = "Software\\VornaSmoke";
const char kCabClassKey[] = "CLSID\\{888B4F80-6403-410E-B357-64D04E626783}";
const char kCabRecord[] = "C:\\kivtest\\cab-record.txt";
const char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingValue[] = "PendingFileRenameOperations";
const int kNesting = 4000;  // sections deep, each a CALL of the next: the main thread's stack holds them

// The update: the host's parameters and progress, the registry, the file lists (one file held
// open by another program, left to the restart), folders, an INI file, services, a process,
// the shell folders and a shortcut, a CAB package, a reboot flag and a deep nesting; its final
// status carries what it read back. The nesting comes first: its lines fill the log past its
// cap, and the log is emptied then, so the lines the tests read all come after it.
std::string UpdateScript() {
  std::string script =
      "[DefaultInstall]\r\n"
      "GETPARAM Engine=engine\r\n"
      "GETSPECIALDIR Programs=PROGRAM_FILES\r\n"
      "GETSPECIALDIR Package=CURRENT_KIVSCRIPT\r\n"
      "SET InstallDir=%%Programs%%\\VornaSmoke\r\n"
      "CALL Depth=Nest1\r\n"
      "PROGRESS 1,10,0,Installing engine %%Engine%%\r\n"
      "CREATEREGKEY HKLM\\SOFTWARE,VornaSmoke\r\n"
      "SETREGVALUE HKLM\\SOFTWARE\\VornaSmoke,EngineVersion=%%Engine%%\r\n"
      "SETREGVALUE HKLM\\SOFTWARE\\VornaSmoke,DatVersion=/REG_DWORD:4420\r\n"
      "DELETEREGVALUE HKLM\\SOFTWARE\\VornaSmoke,Obsolete\r\n"
      "GETREGVALUE Read=HKLM\\SOFTWARE\\VornaSmoke,EngineVersion\r\n"
      "CREATEREGKEY HKCU\\Software,VornaSmoke\r\n"
      "SETREGVALUE HKCU\\Software\\VornaSmoke,ReadBack=%%Read%%\r\n"
      "CREATEDIR %%InstallDir%%\\Quarantine\r\n"
      "SETWORKDIR %%InstallDir%%\r\n"
      "COPYFILES EngineFiles\r\n"
      "DELFILES OldFiles\r\n"
      "REMOVEDIRRECURSIVE %%InstallDir%%\\Backup\r\n"
      "SETINIFILEVALUE scan.ini,Update,EngineVersion=%%Engine%%\r\n"
      "DELETEINIFILESECTION scan.ini,OldEngine\r\n"
      "GETINIFILEVALUE Level=scan.ini,Scan,Level\r\n"
      "PROGRESS 1,40,0,Stopping the service\r\n"
      "SET Serving=not asked\r\n"
      "SET Restarted=not asked\r\n"
      "STOPSERVICE VornaSmokeService\r\n"
      "ISSERVICERUNNING Serving=VornaSmokeService\r\n"
      "STARTSERVICE VornaSmokeService\r\n"
      "ISSERVICERUNNING Restarted=VornaSmokeService\r\n"
      "PROGRESS 1,60,0,Closing the monitor\r\n"
      "CLOSEUSERAPP Vorna Console\r\n"
      "ISPROCESSRUNNING Monitor=vsmon.exe\r\n"
      "KILLPROCESS vsmon.exe\r\n"
      "ISPROCESSRUNNING Left=vsmon.exe\r\n"
      "SET StartMenu=\r\n"
      "GETSTARTMENUDIR StartMenu\r\n"
      "ADDSTARTMENU Vorna Smoke,%%InstallDir%%\\engine.dll\r\n"
      "FILEEXISTS Shortcut=%%StartMenu%%\\Vorna Smoke.lnk\r\n"
      "PROGRESS 1,80,0,Installing the CAB\r\n"
      "INSTALLCAB Cab=%%Package%%\\engine.cab,1,2\r\n"
      "SETREBOOTFLAG VornaSmoke\r\n"
      "STARTUSERAPP %%InstallDir%%\\console.exe,1\r\n"
      "SETFINALSTATUS 0,Engine %%Engine%% read %%Read%% level %%Level%% services %%Serving%%/%%Restarted%% monitor "
      "%%Monitor%%/%%Left%% shortcut %%Shortcut%% cab %%Cab%% depth %%Depth%%\r\n"
      "PROGRESS 1,100,0,Update complete\r\n"
      "[EngineFiles]\r\n"
      "FILECIO engine.dll\r\n"
      "FILECIO scan.ini\r\n"
      "FILECOW avvscan.dat\r\n"
      "[OldFiles]\r\n"
      "FILECIO old.dll\r\n"
      "FILECIO held.dll\r\n";
  for (int level = 1; level < kNesting; ++level) {
    script += "[Nest" + std::to_string(level) + "]\r\nCALL Depth=Nest" + std::to_string(level + 1) +
              "\r\nRETURN %%Depth%%\r\n";
  }
  script += "[Nest" + std::to_string(kNesting) + "]\r\nRETURN " + std::to_string(kNesting) + "\r\n";
  return script;
}

std::string InstallDir() { return ShellFolder(CSIDL_PROGRAM_FILES) + "\\VornaSmoke\\"; }
std::string Package() { return WorkFolder() + "smoke32\\"; }

void AgeByADay(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  FILETIME written = {};
  GetFileTime(file, nullptr, nullptr, &written);
  ULARGE_INTEGER time = {{written.dwLowDateTime, written.dwHighDateTime}};
  time.QuadPart -= 24ull * 3600 * 10000000;  // in 100 ns
  written.dwLowDateTime = time.LowPart;
  written.dwHighDateTime = time.HighPart;
  SetFileTime(file, nullptr, nullptr, &written);
  CloseHandle(file);
}

std::string Value(HKEY root, const char* key, const char* name) {
  char data[512] = "";
  DWORD size = sizeof(data), type = 0;
  if (RegGetValueA(root, key, name, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS) return "(none)";
  if (type == REG_DWORD) return std::to_string(*reinterpret_cast<const DWORD*>(data));
  return data;
}

void SetText(HKEY root, const char* key, const char* name, const std::string& text) {
  HKEY opened = nullptr;
  RegCreateKeyA(root, key, &opened);
  RegSetValueExA(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(opened);
}

std::string Ini(const std::string& path, const char* section, const char* key) {
  char value[256] = "";
  GetPrivateProfileStringA(section, key, "(none)", value, sizeof(value), path.c_str());
  return value;
}

// What the update touches, cleared before and after; the CAB installer is the tests' own
// component, registered for the run.
class Workstation {
 public:
  Workstation() { Clear(); }
  ~Workstation() {
    SetWineVersion(nullptr);
    held_.reset();
    if (monitor_ != nullptr) {
      TerminateProcess(monitor_, 1);
      WaitForSingleObject(monitor_, 5000);
      CloseHandle(monitor_);
    }
    Clear();
  }
  Workstation(const Workstation&) = delete;
  Workstation& operator=(const Workstation&) = delete;

  // The package beside the script, the installed product (with an old file to go, one held
  // open, a backup folder), the monitor running from the install folder, the CAB installer
  // registered.
  bool Prepare() {
    const std::string package = Package(), dir = InstallDir();
    CreateDirectoryA(package.c_str(), nullptr);
    WriteScript(package + "update.kiv", UpdateScript());
    WriteScript(package + "engine.dll", "VORNA ENGINE 5.0.0.0\r\n");
    WriteScript(package + "scan.ini", "[Update]\r\nEngineVersion=5.0.0.0\r\n[Scan]\r\nLevel=2\r\n");
    WriteScript(package + "avvscan.dat", "VORNA DAT 4420\r\n");
    WriteScript(package + "engine.cab", "CAB");
    AgeByADay(package + "scan.ini");
    CreateDirectoryA(dir.c_str(), nullptr);
    CreateDirectoryA((dir + "Backup").c_str(), nullptr);
    WriteScript(dir + "Backup\\engine.dll", "VORNA ENGINE 4.0.0.0\r\n");
    WriteScript(dir + "old.dll", "OLD\r\n");
    WriteScript(dir + "held.dll", "HELD\r\n");
    // The installed scan.ini, newer than the delivered one (FILECIO passes over it): the user's
    // level stays, the update's lines go into it.
    WriteScript(dir + "scan.ini", "[Update]\r\nEngineVersion=4.0.0.0\r\n[OldEngine]\r\nPath=old\r\n[Scan]\r\nLevel=3\r\n");
    SetText(HKEY_LOCAL_MACHINE, kKey, "Obsolete", "yes");

    const std::string server = std::string(kCabClassKey) + "\\InprocServer32";
    SetText(HKEY_CLASSES_ROOT, server.c_str(), nullptr, BinFolder() + "kivrun_test_cab.dll");
    SetText(HKEY_CLASSES_ROOT, server.c_str(), "ThreadingModel", "Apartment");

    const std::string monitor = dir + "vsmon.exe";
    CopyFileA((BinFolder() + "kivrun_hold_file.exe").c_str(), monitor.c_str(), FALSE);
    monitor_ = StartProgram(monitor, {"sleep", "600000"});

    held_.reset(new HeldFile(dir + "held.dll"));
    return monitor_ != nullptr && held_->Holding();
  }

  // Lets the held file go (the monitor was ended by the update).
  void Release() { held_.reset(); }

 private:
  static void Clear() {
    RemoveTree(InstallDir());
    RemoveTree(Package());
    DeleteFileA((ShellFolder(CSIDL_COMMON_STARTMENU) + "\\Vorna Smoke.lnk").c_str());
    DeleteFileA((ShellFolder(CSIDL_STARTMENU) + "\\Vorna Smoke.lnk").c_str());
    DeleteFileA(WindowsFile("wininit.ini").c_str());
    DeleteFileA(WindowsFile("Vorna\\Agent\\Reboot.ini").c_str());
    DeleteFileA(kCabRecord);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kUserKey);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kCabClassKey);
    HKEY manager = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, &manager) == ERROR_SUCCESS) {
      RegDeleteValueA(manager, kPendingValue);
      RegCloseKey(manager);
    }
  }

  std::unique_ptr<HeldFile> held_;
  HANDLE monitor_ = nullptr;
};

bool HasLine(const std::vector<std::string>& record, const std::string& line) {
  for (const std::string& entry : record) {
    if (entry == line) return true;
  }
  return false;
}

// Whether a deletion at the next start is on the NT family's list (the session manager's
// pending operations) or in wininit.ini, as the 9x family has it.
std::string DeletedAtRestart(const std::string& path) {
  char pending[4096] = "";
  DWORD size = sizeof(pending), type = 0;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingValue, RRF_RT_ANY, &type, pending, &size) !=
      ERROR_SUCCESS) {
    size = 0;
  }
  const std::string names(pending, size);  // the names one after another, each ended by a zero
  char shortPath[MAX_PATH] = "";
  GetShortPathNameA(path.c_str(), shortPath, sizeof(shortPath));
  const bool nt = Contains(names, path), nine = Contains(ReadText(WindowsFile("wininit.ini")), shortPath);
  return nt ? (nine ? "both" : "session manager") : (nine ? "wininit.ini" : "no");
}

struct Route {
  const char* name;
  const char* wineVersion;  // nullptr: the prefix's own (the NT family)
  std::string finalStatus;
  const char* serviceLog;   // a line the service commands leave, or nullptr for none
  const char* restartList;  // where the held file's deletion is recorded
  const char* startMenu;    // whose Start Menu holds the shortcut
};

}  // namespace

TEST(I686Smoke, AnUpdateThatTouchesEveryFamilyRunsUnderTheHostOnBothRoutes) {
  ASSERT_TRUE(Exists(BinFolder() + "kivrun_test_cab.dll")) << "build the kivrun_test_cab target";
  const std::string dir = InstallDir();
  const std::string depth = std::to_string(kNesting);
  const Route routes[] = {
      {"the NT family", nullptr,
       "OnComplete(0x00000000, \"Engine 5.0.0.0 read 5.0.0.0 level 3 services FALSE/TRUE monitor TRUE/FALSE shortcut "
       "TRUE cab TRUE depth " + depth + "\")",
       "Stopping service...VornaSmokeService.", "session manager", "common"},
      // The 9x family has no services: those commands do nothing and leave the variable.
      {"the 9x family", "win98",
       "OnComplete(0x00000000, \"Engine 5.0.0.0 read 5.0.0.0 level 3 services not asked/not asked monitor TRUE/FALSE "
       "shortcut TRUE cab TRUE depth " + depth + "\")",
       nullptr, "wininit.ini", "user"},
  };

  for (const Route& route : routes) {
    SCOPED_TRACE(route.name);
    Workstation workstation;
    ASSERT_TRUE(workstation.Prepare());
    const std::string log = FreshLog("smoke32");
    if (route.wineVersion != nullptr) SetWineVersion(route.wineVersion);
    const std::vector<std::string> record =
        RunUnderHost({"--param", "engine=5.0.0.0"}, {"/Script=" + Package() + "update.kiv", "/Log=" + log}, 600000);
    SetWineVersion(nullptr);
    const std::string text = ReadText(log);

    // The host link: progress, the calls of the host's utility interface, the final status, the exit code.
    std::string calls;
    for (const std::string& line : record) calls += line + "\n";
    SCOPED_TRACE("the host's record:\n" + calls);
    ASSERT_GE(record.size(), 2u) << text;
    EXPECT_EQ(record[record.size() - 2], route.finalStatus) << text;
    EXPECT_EQ(record.back(), "exit 0") << text;
    EXPECT_TRUE(HasLine(record, "OnProgress(1, 10, 0, \"Installing engine 5.0.0.0\")"));
    EXPECT_TRUE(HasLine(record, "OnProgress(1, 40, 0, \"Stopping the service\")"));
    EXPECT_TRUE(HasLine(record, "OnProgress(1, 100, 0, \"Update complete\")"));
    EXPECT_TRUE(HasLine(record, "CloseUserApp(\"Vorna Console\", \"\", 30000, -1)"));
    EXPECT_TRUE(HasLine(record, "StartUserApp(\"" + dir + "console.exe\", 1)"));

    EXPECT_TRUE(Contains(text, "Script finished successfully!!")) << text;
    if (route.serviceLog != nullptr) {
      EXPECT_TRUE(Contains(text, route.serviceLog)) << text;
      EXPECT_TRUE(Contains(text, "Starting service...VornaSmokeService.")) << text;
    } else {
      EXPECT_FALSE(Contains(text, "service...")) << text;
    }

    // The effects, family by family.
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kKey, "EngineVersion"), "5.0.0.0");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kKey, "DatVersion"), "4420");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, kKey, "Obsolete"), "(none)");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, kUserKey, "ReadBack"), "5.0.0.0");
    EXPECT_EQ(ReadText(dir + "engine.dll"), "VORNA ENGINE 5.0.0.0\r\n");
    EXPECT_EQ(ReadText(dir + "avvscan.dat"), "VORNA DAT 4420\r\n");
    EXPECT_EQ(Ini(dir + "scan.ini", "Update", "EngineVersion"), "5.0.0.0");
    EXPECT_EQ(Ini(dir + "scan.ini", "OldEngine", "Path"), "(none)");
    EXPECT_TRUE(Exists(dir + "Quarantine"));
    EXPECT_FALSE(Exists(dir + "Backup"));
    EXPECT_FALSE(Exists(dir + "old.dll"));
    EXPECT_EQ(ReadText(dir + "held.dll"), "HELD\r\n");
    EXPECT_EQ(DeletedAtRestart(dir + "held.dll"), route.restartList);
    const int menu = std::string(route.startMenu) == "common" ? CSIDL_COMMON_STARTMENU : CSIDL_STARTMENU;
    EXPECT_TRUE(Exists(ShellFolder(menu) + "\\Vorna Smoke.lnk"));
    EXPECT_EQ(Ini(WindowsFile("Vorna\\Agent\\Reboot.ini"), "Reboot", "VornaSmoke"), "1");
    EXPECT_TRUE(Contains(ReadText(kCabRecord), Package() + "engine.cab")) << ReadText(kCabRecord);
    workstation.Release();
  }
}

TEST(I686Smoke, RegServerRegistersAndUnregServerRemovesIt) {
  const char appId[] = "AppID\\{396F4EC8-BA8C-484D-B166-C201982A5375}";
  const char typeLib[] = "TypeLib\\{CE8A05EC-FD34-4B4B-9F85-21D6A14CB786}\\1.0";
  EXPECT_EQ(RunKivrun({"/Log=" + FreshLog("reg32"), "/RegServer"}), 0u);
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, appId, nullptr), "Kivrun");
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, typeLib, nullptr), "Kivrun 1.0 Type Library");
  EXPECT_NE(Value(HKEY_CLASSES_ROOT, (std::string(typeLib) + "\\409\\win32").c_str(), nullptr), "(none)");

  EXPECT_EQ(RunKivrun({"/Log=" + FreshLog("reg32"), "/UnregServer"}), 0u);
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, appId, nullptr), "(none)");
  EXPECT_EQ(Value(HKEY_CLASSES_ROOT, typeLib, nullptr), "(none)");
}
