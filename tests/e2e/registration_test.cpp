// RegServer and UnregServer: the AppID entries and the type library.
#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

const char kAppIdKey[] = "AppID\\{396F4EC8-BA8C-484D-B166-C201982A5375}";
const char kExeKey[] = "AppID\\Kivrun.EXE";
const char kTypeLibKey[] = "TypeLib\\{CE8A05EC-FD34-4B4B-9F85-21D6A14CB786}\\1.0";

bool KeyExists(const char* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::string StringValue(const char* path, const char* name) {
  char value[256] = "";
  DWORD size = sizeof(value);
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
  DWORD type = 0;
  LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || type != REG_SZ) return "<no value>";
  return value;
}

}  // namespace

TEST(Registration, RegServerWritesTheAppIdAndTypeLibraryAndUnregServerRemovesThem) {
  EXPECT_EQ(RunKivrun({"/Log=" + FreshLog("reg"), "/RegServer"}), 0u);
  EXPECT_EQ(StringValue(kAppIdKey, nullptr), "Kivrun");
  EXPECT_EQ(StringValue(kExeKey, "AppID"), "{396F4EC8-BA8C-484D-B166-C201982A5375}");
  EXPECT_EQ(StringValue(kTypeLibKey, nullptr), "Kivrun 1.0 Type Library");
  EXPECT_TRUE(KeyExists((std::string(kTypeLibKey) + "\\409\\win32").c_str()));

  EXPECT_EQ(RunKivrun({"/Log=" + FreshLog("reg"), "/unregserver"}), 0u);
  EXPECT_TRUE(KeyExists("AppID"));
  EXPECT_FALSE(KeyExists(kAppIdKey));
  EXPECT_FALSE(KeyExists(kExeKey));
  EXPECT_FALSE(KeyExists(kTypeLibKey));

  // Unregistering what is not registered still succeeds.
  EXPECT_EQ(RunKivrun({"/Log=" + FreshLog("reg"), "/UnregServer"}), 0u);
}

TEST(Registration, AScriptRunNeedsNoRegistration) {
  RunKivrun({"/Log=" + FreshLog("reg"), "/UnregServer"});
  std::string script = WriteScript("noreg.kiv", "[Main]\r\nSET A=1\r\n");
  EXPECT_EQ(RunKivrun({"/Script=" + script, "/Section=Main", "/Log=" + FreshLog("reg")}), 0u);
  EXPECT_FALSE(KeyExists(kAppIdKey));
}
