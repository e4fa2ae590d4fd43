// The restart marker and the restart question (answered No: the tests must not restart).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "command_test.h"
#include "commands/ui/reboot_commands.h"
#include "engine/result_codes.h"
#include "win32/file_fixtures.h"

namespace {
using RebootCommands = CommandTest;
}  // namespace

// The marker's folders are made when missing; a marker that still cannot be written is 12.
TEST_F(RebootCommands, SetRebootFlagWritesAnEntryPerKeyAndSchedulesTheMarker) {
  char marker[MAX_PATH];
  ASSERT_TRUE(RebootMarkerPath(marker));
  std::string folder = std::string(marker).substr(0, std::string(marker).rfind('\\'));
  DeleteFileA(marker);
  RemoveDirectoryA(folder.c_str());
  RemoveDirectoryA(folder.substr(0, folder.rfind('\\')).c_str());
  ASSERT_EQ(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);

  EXPECT_EQ(Run("SET PRODUCT=Scan\r\nSETREBOOTFLAG  Engine \r\nSETREBOOTFLAG %%PRODUCT%%\r\n"), kResultOk);
  char value[16];
  GetPrivateProfileStringA("Reboot", "Engine", "", value, sizeof(value), marker);
  EXPECT_STREQ(value, "1");
  GetPrivateProfileStringA("Reboot", "%%PRODUCT%%", "", value, sizeof(value), marker);
  EXPECT_STREQ(value, "1");
  EXPECT_NE(PendingDeletions().find(marker), std::string::npos);

  DeleteFileA(marker);
  CreateDirectoryA(marker, nullptr);  // a folder in the marker's place takes no entry
  EXPECT_EQ(Run("SETREBOOTFLAG Engine\r\n"), kResultCannotWriteFile);
  EXPECT_TRUE(log_.Contains("Error: Unable to write to the file.\n>>Line 2: SETREBOOTFLAG Engine\r\n"));
  RemoveDirectoryA(marker);
  ForgetPendingDeletions();
}

TEST_F(RebootCommands, PromptRebootAnsweredNoDoesNothing) {
  std::string text;
  std::thread answer([&text] {
    for (int i = 0; i < 300; ++i) {
      HWND box = FindWindowA(nullptr, "Vorna Kivrun");
      if (box != nullptr) {
        char buffer[512] = "";
        GetDlgItemTextA(box, 0xFFFF, buffer, sizeof(buffer));
        text = buffer;
        PostMessageA(box, WM_COMMAND, IDNO, 0);
        return;
      }
      Sleep(50);
    }
  });
  EXPECT_EQ(Run("SET W=now\r\nPROMPTREBOOT Restart %%W%%?\r\nSET After=1\r\n"), kResultOk);
  answer.join();
  EXPECT_EQ(text, "Restart now?");
  EXPECT_EQ(Var("After"), "1");
}
