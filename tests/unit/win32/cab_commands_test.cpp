// INSTALLCAB and RESETLASTUPDATE with the tests' own CAB installer component.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "command_test.h"
#include "engine/result_codes.h"
#include "platform/final_status.h"
#include "test_support.h"
#include "win32/helper_process.h"

namespace {

const char kClassKey[] = "CLSID\\{888B4F80-6403-410E-B357-64D04E626783}";
const char kRecord[] = "C:\\kivtest\\cab-record.txt";

void RegisterInstaller() {
  std::string server = std::string(kClassKey) + "\\InprocServer32";
  HKEY key = nullptr;
  RegCreateKeyA(HKEY_CLASSES_ROOT, server.c_str(), &key);
  std::string dll = ProgramFolder() + "kivrun_test_cab.dll";
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(dll.c_str()), static_cast<DWORD>(dll.size() + 1));
  RegSetValueExA(key, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>("Apartment"), 10);
  RegCloseKey(key);
}

class CabCommands : public CommandTest {
 protected:
  void SetUp() override {
    RegisterInstaller();
    DeleteFileA(kRecord);
    ResetFinalStatus();
  }
  void TearDown() override {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey);
    DeleteFileA(kRecord);
  }
  std::string Status() {
    char text[256];
    FinalStatusText(text, sizeof(text));
    return text;
  }
};

}  // namespace

TEST_F(CabCommands, InstallCabPassesThePackageAndOptionsAndStoresTheOutcome) {
  EXPECT_EQ(Run("SET CABDIR=C:\\pkg\r\nINSTALLCAB OK = %%CABDIR%%\\a.cab\r\nINSTALLCAB Two=C:\\pkg\\b.cab,1,,3\r\n"
                "SET MORE=c.cab,1,2,3,4,5,6,7,8\r\nINSTALLCAB Many=%%MORE%%\r\n"),
            kResultOk);
  EXPECT_EQ(ReadWholeFile(kRecord),
            "Install(C:\\pkg\\a.cab, 0, 0, 0, 0, 0, 0, sink=yes, reserved=null, appUtil=null, params=)\n"
            "Install(C:\\pkg\\b.cab, 1, 0, 3, 0, 0, 0, sink=yes, reserved=null, appUtil=null, params=)\n"
            "Install(c.cab, 1, 2, 3, 4, 5, 6, sink=yes, reserved=null, appUtil=null, params=)\n");
  EXPECT_EQ(Var("OK"), "TRUE");
  EXPECT_EQ(Var("Many"), "TRUE");
  EXPECT_EQ(FinalStatusCode(), 0);
  EXPECT_EQ(Status(), "Installed");
}

TEST_F(CabCommands, AFailedInstallSetsFalseAndBecomesTheFinalStatus) {
  EXPECT_EQ(Run("INSTALLCAB R=C:\\pkg\\fail.cab\r\nSET After=1\r\n"), kResultOk);
  EXPECT_EQ(Var("R"), "FALSE");
  EXPECT_EQ(Var("After"), "1");
  EXPECT_EQ(FinalStatusCode(), kStatusFailed);
  EXPECT_EQ(Status(), "The package could not be installed");
}

TEST_F(CabCommands, BadArgumentsGive51AndAMissingInstallerAFailedInstall) {
  EXPECT_EQ(Run("INSTALLCAB C:\\pkg\\a.cab\r\n"), kResultBadSwitch);
  EXPECT_EQ(Run("INSTALLCAB R=\r\n"), kResultBadSwitch);
  EXPECT_EQ(Run("INSTALLCAB R=,1,2\r\n"), kResultBadSwitch);
  EXPECT_TRUE(log_.Contains("Error: Invalid switch or value supplied in command line parameters.\n"));

  // No installer class: a failed installation (FALSE, an error line, E_FAIL), the line goes on.
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey);
  ResetFinalStatus();
  EXPECT_EQ(Run("SET R=old\r\nINSTALLCAB R=C:\\pkg\\a.cab\r\nRESETLASTUPDATE\r\n"), kResultOk);
  EXPECT_EQ(Var("R"), "FALSE");
  EXPECT_TRUE(log_.Contains("Error: Error installing CAB file.\n>>Line 3: INSTALLCAB R=C:\\pkg\\a.cab\r\n"));
  EXPECT_EQ(FinalStatusCode(), kStatusFailed);
  EXPECT_EQ(ReadWholeFile(kRecord), "");
}

// Install failing before any completion is a failed installation at once, with Install's
// code; a completion that came first keeps its outcome.
TEST_F(CabCommands, AFailedInstallCallWithoutCompletionIsAFailedInstall) {
  EXPECT_EQ(Run("INSTALLCAB R=C:\\pkg\\silent.cab\r\n"), kResultOk);
  EXPECT_EQ(Var("R"), "FALSE");
  EXPECT_TRUE(log_.Contains("Error: Error installing CAB file.\n>>Line 2: INSTALLCAB R=C:\\pkg\\silent.cab\r\n"));
  EXPECT_EQ(FinalStatusCode(), static_cast<int32_t>(E_ACCESSDENIED));
  EXPECT_EQ(Run("INSTALLCAB R=C:\\pkg\\refuse.cab\r\n"), kResultOk);
  EXPECT_EQ(Var("R"), "TRUE");
  EXPECT_EQ(FinalStatusCode(), 0);
}

TEST_F(CabCommands, ResetLastUpdateCallsTheInstaller) {
  EXPECT_EQ(Run("RESETLASTUPDATE anything\r\n"), kResultOk);
  EXPECT_EQ(ReadWholeFile(kRecord), "ResetLastUpdate()\n");
}
