// The service commands against a test service installed in Wine's service manager.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "command_test.h"
#include "engine/result_codes.h"
#include "win32/helper_process.h"

namespace {

const char kService[] = "KivrunTestService";

DWORD State() {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = OpenServiceA(manager, kService, SERVICE_QUERY_STATUS);
  SERVICE_STATUS status = {};
  QueryServiceStatus(service, &status);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  return status.dwCurrentState;
}

class ServiceCommands : public CommandTest {
 protected:
  void SetUp() override {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    std::string binary = "\"" + ProgramFolder() + "kivrun_test_service.exe\"";
    SC_HANDLE service = CreateServiceA(manager, kService, kService, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, binary.c_str(), nullptr, nullptr,
                                       nullptr, nullptr, nullptr);
    DWORD error = GetLastError();
    if (service != nullptr) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    ASSERT_TRUE(service != nullptr || error == ERROR_SERVICE_EXISTS) << "CreateService failed: " << error;
  }
  void TearDown() override {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceA(manager, kService, SERVICE_ALL_ACCESS);
    SERVICE_STATUS status = {};
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    for (int i = 0; i < 50 && State() != SERVICE_STOPPED; ++i) Sleep(100);
    DeleteService(service);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
  }
};

}  // namespace

TEST_F(ServiceCommands, StartWaitsUntilTheServiceRunsAndStopUntilItHasStopped) {
  EXPECT_EQ(Run("STARTSERVICE KivrunTestService\r\nISSERVICERUNNING Up=KivrunTestService\r\n"), kResultOk);
  EXPECT_EQ(Var("Up"), "TRUE");
  EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(log_.Contains("Starting service...KivrunTestService.\r\n"));

  DWORD start = GetTickCount();
  EXPECT_EQ(Run("STOPSERVICE KivrunTestService\r\nISSERVICERUNNING Up=KivrunTestService\r\n"), kResultOk);
  DWORD elapsed = GetTickCount() - start;
  EXPECT_EQ(Var("Up"), "FALSE");
  EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_TRUE(log_.Contains("Stopping service...KivrunTestService.\r\n"));
  EXPECT_GE(elapsed, 2900u);  // a second after the control, two at the end
}

TEST_F(ServiceCommands, AStoppedServiceIsLeftAloneAndUnknownOnesArePassedOver) {
  DWORD start = GetTickCount();
  EXPECT_EQ(Run("STOPSERVICE KivrunTestService,NoSuchService\r\nISSERVICERUNNING V=NoSuchService\r\n"), kResultOk);
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_FALSE(log_.Contains("Stopping service"));
  EXPECT_EQ(Var("V"), "FALSE");
  // An empty item ends the list: the service after it is not started.
  EXPECT_EQ(Run("STARTSERVICE NoSuchService,,KivrunTestService\r\n"), kResultOk);
  EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(Run("ISSERVICERUNNING NoEquals\r\n"), kResultNowhereToPutValue);
  EXPECT_FALSE(log_.Contains("Error:"));
}

TEST_F(ServiceCommands, AServiceThatIsStartingIsLetFinishBeforeItIsStopped) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = OpenServiceA(manager, kService, SERVICE_ALL_ACCESS);
  const char* arguments[] = {"slow-start"};
  ASSERT_TRUE(StartServiceA(service, 1, arguments));
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
  for (int i = 0; i < 50 && State() != SERVICE_START_PENDING; ++i) Sleep(20);
  EXPECT_EQ(Run("STOPSERVICE KivrunTestService\r\n"), kResultOk);
  EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_TRUE(log_.Contains("Stopping service...KivrunTestService.\r\n"));
}
