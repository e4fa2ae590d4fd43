// The host link, end to end: Kivrun under the test host, which records every call.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "e2e_support.h"

namespace {

using Record = std::vector<std::string>;

Record RunScript(const std::string& name, const std::string& body, const std::vector<std::string>& hostOptions = {}) {
  std::string script = WriteScript(name + ".kiv", "[Main]\r\n" + body);
  return RunUnderHost(hostOptions, {"/Script=" + script, "/Section=Main", "/Log=" + FreshLog(name)});
}

}  // namespace

TEST(HostLink, ACleanRunEndsWithStatus0AndAnEmptyMessage) {
  EXPECT_EQ(RunScript("hostclean", "SET A=1\r\n"), (Record{"OnComplete(0x00000000, \"\")", "exit 0"}));
}

TEST(HostLink, ProgressSendsItsNumbersAndTheSubstitutedText) {
  Record record = RunScript("progress", "SET FILE=scan.dat\r\nPROGRESS 3,10\r\nPROGRESS 3,10,30,Copying %%FILE%%\r\n"
                                        "PROGRESS 1, 2 ,x, a,b\r\nPROGRESS -7,2147483648,1\r\n");
  EXPECT_EQ(record, (Record{"OnProgress(3, 10, 0, \"\")", "OnProgress(3, 10, 30, \"Copying scan.dat\")",
                            "OnProgress(1, 2, 0, \"a\")", "OnProgress(-7, 2147483647, 1, \"\")",
                            "OnComplete(0x00000000, \"\")", "exit 0"}));
}

TEST(HostLink, ProgressWithoutItsFirstTwoNumbersFailsWith51) {
  Record record = RunScript("progress51", "PROGRESS ,10\r\nSET After=1\r\n");
  ASSERT_EQ(record.size(), 2u);
  EXPECT_EQ(record[0],
            "OnComplete(0x80004005, \"Kivrun Script: Invalid switch or value supplied in command line "
            "parameters.<br>PROGRESS ,10\")");
  EXPECT_EQ(record[1], "exit 51");
  // Without a callback it fails the same way.
  EXPECT_EQ(RunScript("progress51", "PROGRESS 1\r\n", {"--no-callback"}), (Record{"exit 51"}));
}

TEST(HostLink, StartAndCloseUserAppGoToTheUtilityInterface) {
  Record record = RunScript("apps", "SET DIR=C:\\Vorna\r\nSTARTUSERAPP %%DIR%%\\console.exe ,  5\r\n"
                                    "CLOSEUSERAPP  %%DIR%%\\console.exe \r\nSTARTUSERAPP nocomma\r\n");
  EXPECT_EQ(record, (Record{"StartUserApp(\"C:\\Vorna\\console.exe\", 5)",
                            "CloseUserApp(\"C:\\Vorna\\console.exe\", \"\", 30000, -1)",
                            "OnComplete(0x80004005, \"Kivrun Script: Invalid switch or value supplied in command "
                            "line parameters.<br>STARTUSERAPP nocomma\")",
                            "exit 51"}));
}

TEST(HostLink, WithoutTheUtilityInterfaceTheAppCommandsDoNothing) {
  EXPECT_EQ(RunScript("noapps", "STARTUSERAPP a.exe,1\r\nCLOSEUSERAPP a.exe\r\n", {"--no-apputil"}),
            (Record{"OnComplete(0x00000000, \"\")", "exit 0"}));
}

TEST(HostLink, AFailingLineGivesTheHostEFailAndTheReportText) {
  Record record = RunScript("hostfail", "SETFINALSTATUS 0\r\nFOO a b\r\n");
  EXPECT_EQ(record, (Record{"OnComplete(0x80004005, \"Kivrun Script: Unrecognized command in script file.<br>FOO a b\")",
                            "exit 2"}));
}

// Failures that no line reports: the host still gets E_FAIL, with the last error line of
// the log or else the exit code's message. A conditional stop stays a success.
TEST(HostLink, ARunThatFailsWithoutAReportGivesTheHostEFail) {
  const std::string missing = WorkFolder() + "nosuch.kiv";
  const std::string empty = WriteScript("empty.kiv", "");
  const struct {
    std::string name;
    std::string script;  // written as the test's script unless empty
    std::string path;    // run instead of the written script when given
    std::string section;
    Record record;
  } cases[] = {
      {"nostart", "[Main]\r\nSET A=1\r\n", "", "Other",
       {"OnComplete(0x80004005, \"Kivrun Script: Unable to find 'Main' section.\")", "exit 7"}},
      {"nofile", "", missing, "Main",
       {"OnComplete(0x80004005, \"Kivrun Script: Error Loading Script File: " + missing + "\")", "exit 9"}},
      {"emptyfile", "", empty, "Main",
       {"OnComplete(0x80004005, \"Kivrun Script: Error Loading Script File: " + empty + "\")", "exit 8"}},
      {"nocalled", "[Main]\r\nSETFINALSTATUS 3,fine\r\nCALL Nowhere\r\nSET A=1\r\n", "", "Main",
       {"OnComplete(0x80004005, \"Kivrun Script: Unable to find the specified section.\")", "exit 4"}},
      {"condstop", "[Main]\r\nCONTINUEIF 1=2\r\nSET X\r\n", "", "Main", {"OnComplete(0x00000000, \"\")", "exit 0"}},
  };
  for (const auto& c : cases) {
    const std::string path = c.path.empty() ? WriteScript(c.name + ".kiv", c.script) : c.path;
    EXPECT_EQ(RunUnderHost({}, {"/Script=" + path, "/Section=" + c.section, "/Log=" + FreshLog(c.name)}), c.record)
        << c.name;
  }
}

TEST(HostLink, TheLastSetFinalStatusIsWhatTheHostReceives) {
  EXPECT_EQ(RunScript("final1", "SETFINALSTATUS -5,Update failed\r\n"),
            (Record{"OnComplete(0xFFFFFFFB, \"Update failed\")", "exit 0"}));
  EXPECT_EQ(RunScript("final2", "SETFINALSTATUS -5,Update failed\r\nSETFINALSTATUS 3\r\n"),
            (Record{"OnComplete(0x00000003, \"\")", "exit 0"}));
  EXPECT_EQ(RunScript("final3", "SET MSG=2,late\r\nSETFINALSTATUS %%MSG%%\r\n"),
            (Record{"OnComplete(0x00000002, \"late\")", "exit 0"}));
}

TEST(HostLink, GetParamReadsLowerCaseKeysFromTheParameterText) {
  const std::string body =
      "GETPARAM V=Mode\r\nPROGRESS 1,1,1,[%%V%%]\r\n"
      "GETPARAM V=id\r\nPROGRESS 2,2,2,[%%V%%]\r\n"
      "GETPARAM V=Lang\r\nPROGRESS 3,3,3,[%%V%%]\r\n"
      "GETPARAM V=missing\r\nPROGRESS 4,4,4,[%%V%%]\r\n";
  Record record = RunScript("params", body, {"--param", "uid=7", "--param", "id=8", "--param", "lang=en",
                                             "--param", "mode=silent", "--param", "Upper=x"});
  EXPECT_EQ(record, (Record{"OnProgress(1, 1, 1, \"[silent]\")", "OnProgress(2, 2, 2, \"[8]\")",
                            "OnProgress(3, 3, 3, \"[en]\")", "OnProgress(4, 4, 4, \"[]\")",
                            "OnComplete(0x00000000, \"\")", "exit 0"}));

  // An entry without its closing quote reads as empty; GETPARAM without "=" reports 23.
  EXPECT_EQ(RunScript("params2", "GETPARAM V=open\r\nPROGRESS 1,1,1,[%%V%%]\r\nGETPARAM V\r\n",
                      {"--params-hex", "6F70656E3D2278"}),  // open="x
            (Record{"OnProgress(1, 1, 1, \"[]\")",
                    "OnComplete(0x80004005, \"Kivrun Script: Nowhere to put value.<br>GETPARAM V\")", "exit 23"}));
}

TEST(HostLink, AnOddDigitOfTheParametersIsDroppedAndAnEmptyValueLeavesNoText) {
  // 613D2262 22 3: a="b" and a last odd digit.
  EXPECT_EQ(RunScript("oddhex", "GETPARAM V=a\r\nPROGRESS 1,1,1,[%%V%%]\r\n", {"--params-hex", "613D2262223"}),
            (Record{"OnProgress(1, 1, 1, \"[b]\")", "OnComplete(0x00000000, \"\")", "exit 0"}));
  EXPECT_EQ(RunScript("emptyhex", "GETPARAM V=a\r\nPROGRESS 1,1,1,[%%V%%]\r\n"),
            (Record{"OnProgress(1, 1, 1, \"[]\")", "OnComplete(0x00000000, \"\")", "exit 0"}));
}

TEST(HostLink, AValueThatDoesNotUnmarshalLeavesTheInterfaceOut) {
  std::string script = WriteScript("badhex.kiv", "[Main]\r\nPROGRESS 1,2\r\nSTARTUSERAPP a,1\r\n");
  EXPECT_EQ(RunKivrun({"/CallBack=00112233", "/AppUtil=ZZ", "/Script=" + script, "/Section=Main",
                       "/Log=" + FreshLog("badhex")}),
            0u);
}

// The example the README runs keeps working: a first run installs, a second finds the
// engine current and stops early.
TEST(HostLink, TheExampleUpdateRunsToItsEnd) {
  const std::string package = WorkFolder() + "example\\";
  CreateDirectoryA(package.c_str(), nullptr);
  for (const char* name : {"update.kiv", "engine.dll", "avvscan.dat", "scan.ini"}) {
    std::string source = std::string("Z:") + KIVRUN_SOURCE_DIR + "/examples/update/" + name;
    for (char& c : source) c = c == '/' ? '\\' : c;
    ASSERT_TRUE(CopyFileA(source.c_str(), (package + name).c_str(), FALSE)) << source;
  }
  char programs[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, programs, CSIDL_PROGRAM_FILES, FALSE);
  const std::string installed = std::string(programs) + "\\Vorna\\Scan\\";
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorna\\Scan");

  const std::vector<std::string> run = {"/Script=" + package + "update.kiv", "/Log=" + FreshLog("example")};
  Record record = RunUnderHost({"--param", "engine=4.0.5.0", "--param", "console=C:\\Vorna\\console.exe"}, run);
  ASSERT_GE(record.size(), 3u);
  EXPECT_EQ(record[record.size() - 2], "OnComplete(0x00000000, \"Engine 4.1.2.0 with DAT 4410 is installed\")");
  EXPECT_EQ(record.back(), "exit 0");
  EXPECT_EQ(ReadText(installed + "avvscan.dat"), "VORNA DAT 4410\r\n");
  char value[64] = "";
  GetPrivateProfileStringA("Update", "DatVersion", "", value, sizeof(value), (installed + "scan.ini").c_str());
  EXPECT_STREQ(value, "4410");

  // The registry now holds the current engine: the update ends early, as a success.
  record = RunUnderHost({"--param", "engine=4.0.5.0"}, run);
  EXPECT_EQ(record, (Record{"OnProgress(1, 5, 0, \"Checking the installed engine 4.1.2.0\")",
                            "OnComplete(0x00000000, \"\")", "exit 0"}));
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vorna\\Scan");
}

// A CAB installation under the host: the installer's progress reaches the host, and its
// outcome is the final status; the installer gets the host's utility and raw parameters.
TEST(HostLink, InstallCabPassesProgressAndOutcomeToTheHost) {
  const std::string classKey = "CLSID\\{888B4F80-6403-410E-B357-64D04E626783}";
  HKEY key = nullptr;
  RegCreateKeyA(HKEY_CLASSES_ROOT, (classKey + "\\InprocServer32").c_str(), &key);
  std::string dll = BinFolder() + "kivrun_test_cab.dll";
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(dll.c_str()), static_cast<DWORD>(dll.size() + 1));
  RegSetValueExA(key, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>("Apartment"), 10);
  RegCloseKey(key);
  Remove(WorkFolder() + "cab-record.txt");

  Record record = RunScript("cab", "INSTALLCAB R=C:\\pkg\\fail.cab,4\r\nPROGRESS 9,9,9,%%R%%\r\n", {"--param", "a=b"});
  RegDeleteTreeA(HKEY_CLASSES_ROOT, classKey.c_str());
  EXPECT_EQ(record, (Record{"OnProgress(2, 40, 7, \"Installing\")", "OnProgress(9, 9, 9, \"FALSE\")",
                            "OnComplete(0x80004005, \"The package could not be installed\")", "exit 0"}));
  EXPECT_EQ(ReadText(WorkFolder() + "cab-record.txt"),
            "Install(C:\\pkg\\fail.cab, 4, 0, 0, 0, 0, 0, sink=yes, reserved=null, appUtil=yes, params=613D2262" "22)\n");
}
