// The progress window and the message boxes (run under a display; a thread answers the boxes).
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <thread>

#include "command_test.h"
#include "commands/ui/progress_commands.h"
#include "engine/result_codes.h"

namespace {

using ProgressCommands = CommandTest;

// Waits for a box with this caption, notes its text and presses `button`.
std::thread AnswerBox(const char* caption, int button, std::string* text) {
  return std::thread([caption, button, text] {
    for (int i = 0; i < 300; ++i) {
      HWND box = FindWindowA(nullptr, caption);
      if (box != nullptr) {
        char buffer[2048] = "";
        GetDlgItemTextA(box, 0xFFFF, buffer, sizeof(buffer));
        *text = buffer;
        PostMessageA(box, WM_COMMAND, button, 0);
        return;
      }
      Sleep(50);
    }
  });
}

int Position() { return static_cast<int>(SendDlgItemMessageA(ProgressWindow(), kProgressBarId, PBM_GETPOS, 0, 0)); }

std::string Status() {
  char text[256] = "";
  GetDlgItemTextA(ProgressWindow(), kProgressStatusId, text, sizeof(text));
  return text;
}

std::string Title() {
  char text[256] = "";
  GetWindowTextA(ProgressWindow(), text, sizeof(text));
  return text;
}

}  // namespace

TEST_F(ProgressCommands, TheProgressWindowShowsItsTitleBarAndStatus) {
  EXPECT_EQ(Run("SETPROGRESS 50,nothing yet\r\nSET P=Vorna\r\nSTARTPROGRESSDLG Updating\r\n"
                "STARTPROGRESSDLG  %%P%% update \r\nSETPROGRESS 50, Copying files\r\n"),
            kResultOk);
  ASSERT_NE(ProgressWindow(), nullptr) << "no window: is there a display?";
  EXPECT_TRUE(IsWindowVisible(ProgressWindow()));
  EXPECT_EQ(Title(), "Vorna update");
  EXPECT_EQ(Position(), 50);
  EXPECT_EQ(Status(), "Copying files");

  EXPECT_EQ(Run("SETPROGRESS 150,full\r\n"), kResultOk);
  EXPECT_EQ(Position(), 100);
  EXPECT_EQ(Run("SETPROGRESS abc,empty\r\n"), kResultOk);
  EXPECT_EQ(Position(), 0);
  EXPECT_EQ(Run("SETPROGRESS -5,wrapped\r\n"), kResultOk);
  EXPECT_EQ(Position(), 100);  // 65531 is above the range
  EXPECT_EQ(Run("SETPROGRESS 30\r\n"), kResultOk);
  EXPECT_EQ(Position(), 30);
  EXPECT_EQ(Status(), "wrapped");  // without a comma the status line stays

  HWND window = ProgressWindow();
  DWORD start = GetTickCount();
  EXPECT_EQ(Run("ENDPROGRESSDLG\r\n"), kResultOk);
  EXPECT_GE(GetTickCount() - start, 1450u);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(ProgressWindow(), nullptr);

  start = GetTickCount();
  EXPECT_EQ(Run("ENDPROGRESSDLG\r\nSETPROGRESS 10,x\r\n"), kResultOk);
  EXPECT_LT(GetTickCount() - start, 300u);
}

TEST_F(ProgressCommands, TheProgressWindowIsCentredInTheWorkArea) {
  EXPECT_EQ(Run("STARTPROGRESSDLG Centre\r\n"), kResultOk);
  ASSERT_NE(ProgressWindow(), nullptr);
  RECT area, window;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  GetWindowRect(ProgressWindow(), &window);
  const LONG width = window.right - window.left;
  EXPECT_LE(std::abs((area.left + area.right) / 2 - width / 2 - window.left), 1);
  EXPECT_EQ(Run("ENDPROGRESSDLG\r\n"), kResultOk);
}

TEST_F(ProgressCommands, ShowMsgShowsTheSubstitutedTextUpToAnUndefinedName) {
  std::string text;
  std::thread answer = AnswerBox("Vorna Kivrun", IDOK, &text);
  EXPECT_EQ(Run("SET V=4410\r\nSHOWMSG  DAT %%V%% is installed; %%Missing%% and more\r\n"), kResultOk);
  answer.join();
  EXPECT_EQ(text, "DAT 4410 is installed; ");
}

TEST_F(ProgressCommands, YesNoStoresTheAnswer) {
  std::string text;
  std::thread yes = AnswerBox("Kivrun", IDYES, &text);
  EXPECT_EQ(Run("SET W=now\r\nYESNO ANSWER = Restart %%W%%?\r\n"), kResultOk);
  yes.join();
  EXPECT_EQ(Var("ANSWER"), "YES");
  EXPECT_EQ(text, "Restart now?");

  std::thread no = AnswerBox("Kivrun", IDNO, &text);
  EXPECT_EQ(Run("YESNO ANSWER=Continue?\r\n"), kResultOk);
  no.join();
  EXPECT_EQ(Var("ANSWER"), "NO");
}

TEST_F(ProgressCommands, YesNoReportsItsArgumentErrorsWithoutAsking) {
  EXPECT_EQ(Run("YESNO Continue?\r\n"), kResultNowhereToPutValue);
  EXPECT_EQ(Run("YESNO A=%%Missing%%?\r\n"), kResultSymbolNotFound);
  EXPECT_TRUE(log_.Contains("Error: Specified symbol was not found.\n>>Line 2: YESNO A=%%Missing%%?\r\n"));
}
