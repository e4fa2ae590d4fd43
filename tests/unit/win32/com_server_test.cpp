// The COM server's lifetime: the lock count and the shut-down monitor.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/com_server.h"
#include "host/server_lock.h"

TEST(ShutdownMonitor, PostsQuitToTheMainThreadFiveSecondsAfterTheLastUnlock) {
  ServerModuleInit(GetModuleHandleA(nullptr));
  ASSERT_TRUE(StartShutdownMonitor(GetCurrentThreadId()));
  EXPECT_EQ(ServerLock(), 1);
  EXPECT_EQ(ServerLock(), 2);
  EXPECT_EQ(ServerUnlock(), 1);
  Sleep(300);
  EXPECT_EQ(ServerUnlock(), 0);  // this one wakes the monitor
  EXPECT_EQ(ServerLockCount(), 0);

  DWORD start = GetTickCount();
  MSG message;
  bool quit = false;
  while (!quit && GetTickCount() - start < 20000) {
    quit = PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    if (!quit) Sleep(20);
  }
  DWORD elapsed = GetTickCount() - start;
  EXPECT_TRUE(quit);
  EXPECT_GE(elapsed, 4900u);
  EXPECT_LT(elapsed, 15000u);
}

TEST(ClassObjects, TheEmptyTableRegistersAndRevokesNothing) {
  EXPECT_EQ(RegisterClassObjects(), S_OK);
  RevokeClassObjects();
  ServerModuleTerm();
}
