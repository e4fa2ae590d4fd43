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

// The test service opened with all rights, for one step of a test.
struct TestService {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = OpenServiceA(manager, kService, SERVICE_ALL_ACCESS);
  ~TestService() {
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
  }
  bool Start(const char* argument) { return StartServiceA(service, 1, &argument); }
  bool SetStartType(DWORD type) {
    return ChangeServiceConfigA(service, SERVICE_NO_CHANGE, type, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr);
  }
};

void WaitForState(DWORD state) {
  for (int i = 0; i < 100 && State() != state; ++i) Sleep(50);
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
  EXPECT_FALSE(log_.Contains("Service KivrunTestService"));
  EXPECT_TRUE(log_.Contains("Service NoSuchService did not stop: error 1060.\r\n"));
  EXPECT_EQ(Var("V"), "FALSE");
  // An empty item ends the list: the service after it is not started.
  EXPECT_EQ(Run("STARTSERVICE NoSuchService,,KivrunTestService\r\n"), kResultOk);
  EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_TRUE(log_.Contains("Service NoSuchService did not start: error 1060.\r\n"));
  EXPECT_EQ(Run("ISSERVICERUNNING NoEquals\r\n"), kResultNowhereToPutValue);
  EXPECT_FALSE(log_.Contains("Error:"));
}

TEST_F(ServiceCommands, AServiceThatIsStartingIsLetFinishBeforeItIsStopped) {
  ASSERT_TRUE(TestService().Start("slow-start"));
  WaitForState(SERVICE_START_PENDING);
  EXPECT_EQ(Run("STOPSERVICE KivrunTestService\r\n"), kResultOk);
  EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_TRUE(log_.Contains("Stopping service...KivrunTestService.\r\n"));
  EXPECT_FALSE(log_.Contains("did not stop"));
}

TEST_F(ServiceCommands, AServiceThatRefusesOrDoesNotGetThereIsNamedInTheLog) {
  ASSERT_TRUE(TestService().SetStartType(SERVICE_DISABLED));
  EXPECT_EQ(Run("STARTSERVICE KivrunTestService\r\n"), kResultOk);
  EXPECT_TRUE(log_.Contains("Service KivrunTestService did not start: error 1058.\r\n"));  // disabled

  // Still starting after five times its wait hint: it is not stopped.
  ASSERT_TRUE(TestService().SetStartType(SERVICE_DEMAND_START));
  ASSERT_TRUE(TestService().Start("stall-start"));
  WaitForState(SERVICE_START_PENDING);
  EXPECT_EQ(Run("STOPSERVICE KivrunTestService\r\n"), kResultOk);
  EXPECT_TRUE(log_.Contains("Service KivrunTestService did not stop: still start pending.\r\n"));
  WaitForState(SERVICE_RUNNING);  // then it can be stopped and removed
}
