// The message-pumping waits: timeouts, signalled handles, the tick counter's wrap, and
// messages dispatched or swallowed while waiting.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "platform/message_wait.h"

namespace {

DWORD g_tickOffset = 0;
DWORD WINAPI ShiftedTicks() { return GetTickCount() + g_tickOffset; }

bool MessageWaiting(UINT message) {
  MSG msg;
  return PeekMessageA(&msg, nullptr, message, message, PM_REMOVE) != FALSE;
}

int g_dispatched = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 7) ++g_dispatched;
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

TEST(WaitPumping, ATimeoutOfZeroGivesWaitTimeoutAtOnceAndDispatchesNothing) {
  HANDLE signalled = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  PostThreadMessageA(GetCurrentThreadId(), WM_USER + 1, 0, 0);
  EXPECT_EQ(WaitPumping(1, &signalled, FALSE, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(MessageWaiting(WM_USER + 1));
  CloseHandle(signalled);
}

TEST(WaitPumping, ASignalledHandleEndsTheWaitAtOnceAndLeavesMessagesQueued) {
  HANDLE handles[2] = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, TRUE, nullptr)};
  PostThreadMessageA(GetCurrentThreadId(), WM_USER + 2, 0, 0);
  DWORD start = GetTickCount();
  EXPECT_EQ(WaitPumping(2, handles, FALSE, 5000), WAIT_OBJECT_0 + 1);
  EXPECT_EQ(WaitOnePumping(handles[1], INFINITE), WAIT_OBJECT_0);
  EXPECT_LT(GetTickCount() - start, 3000u);
  EXPECT_TRUE(MessageWaiting(WM_USER + 2));
  CloseHandle(handles[0]);
  CloseHandle(handles[1]);
}

TEST(WaitPumping, AnUnsignalledHandleTimesOutAfterTheTime) {
  HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD start = GetTickCount();
  EXPECT_EQ(WaitOnePumping(never, 200), static_cast<DWORD>(WAIT_TIMEOUT));
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 180u);
  EXPECT_LT(elapsed, 5000u);
  CloseHandle(never);
}

TEST(SleepPumping, LastsItsTimeAcrossTheTickCountersWrap) {
  g_tickOffset = 0xFFFFFFFFu - GetTickCount() - 100;  // the counter wraps 100 ms into the sleep
  SetTickSource(ShiftedTicks);
  DWORD start = GetTickCount();
  SleepPumping(400);
  DWORD elapsed = GetTickCount() - start;
  SetTickSource(nullptr);
  EXPECT_GE(elapsed, 380u);
  EXPECT_LT(elapsed, 5000u);
}

TEST(SleepPumping, AQuitMessageIsTakenOffTheQueueAndTheSleepGoesOn) {
  DWORD mainThread = GetCurrentThreadId();
  std::thread poster([mainThread] {
    Sleep(100);
    PostThreadMessageA(mainThread, WM_QUIT, 0, 0);
  });
  DWORD start = GetTickCount();
  SleepPumping(1000);
  DWORD elapsed = GetTickCount() - start;
  poster.join();
  EXPECT_GE(elapsed, 980u);
  EXPECT_FALSE(MessageWaiting(WM_QUIT));
}

TEST(SleepPumping, DispatchesMessagesToWindowsWhileItWaits) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = CountingProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "KivrunWaitTest";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA("KivrunWaitTest", "", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
  if (window == nullptr) GTEST_SKIP() << "no window could be made here";
  std::thread poster([window] {
    Sleep(50);
    PostMessageA(window, WM_USER + 7, 0, 0);
    PostMessageA(window, WM_USER + 7, 0, 0);
  });
  g_dispatched = 0;
  SleepPumping(300);
  poster.join();
  EXPECT_EQ(g_dispatched, 2);
  DestroyWindow(window);
}
