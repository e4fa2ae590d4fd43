// The one classification of a folder path's shape that the run's guard and the checker
// share, and the root-key rule of the registry deletes.
#include <gtest/gtest.h>

#include <string>

#include "engine/argument_forms.h"
#include "engine/path_shape.h"

TEST(PathShape, ClassifiesEveryShapeAsWrittenAndNormalisesFolders) {
  struct Case {
    const char* path;
    PathShape shape;
    const char* normal;
  };
  const Case kCases[] = {
      {"", PathShape::kEmpty, ""},
      {" \t ", PathShape::kEmpty, ""},
      {"sub", PathShape::kRelative, ""},
      {"\\sub", PathShape::kRelative, ""},  // what %%DIR%%\sub becomes with DIR empty
      {"C:sub", PathShape::kRelative, ""},
      {"C:", PathShape::kRelative, ""},
      {"1:\\x", PathShape::kRelative, ""},  // only a letter names a drive
      {"C:\\", PathShape::kDriveRoot, "C:"},
      {"c:/", PathShape::kDriveRoot, "c:"},
      {"C:\\kivtest\\..", PathShape::kDriveRoot, "C:"},
      {"C:\\..\\..", PathShape::kDriveRoot, "C:"},
      {"C:\\ .", PathShape::kDriveRoot, "C:"},
      {"\\\\?\\C:\\kivtest", PathShape::kDevice, ""},
      {"\\\\.\\C:", PathShape::kDevice, ""},
      {"\\\\", PathShape::kDevice, ""},
      {"\\\\server", PathShape::kShareRoot, "\\\\server"},
      {"\\\\server\\share", PathShape::kShareRoot, "\\\\server\\share"},
      {"\\\\server\\share\\", PathShape::kShareRoot, "\\\\server\\share"},
      {"\\\\server\\share\\a\\..", PathShape::kShareRoot, "\\\\server\\share"},
      {"\\\\server\\share\\folder", PathShape::kFolder, "\\\\server\\share\\folder"},
      {" C:\\Program Files\\Vendor\\ ", PathShape::kFolder, "C:\\Program Files\\Vendor"},
      {"C:\\\\Windows\\.\\System32\\", PathShape::kFolder, "C:\\Windows\\System32"},
      {"C:\\Windows.\\", PathShape::kFolder, "C:\\Windows"},  // trailing dots go, as Windows drops them
      {"C:/a/b/../c", PathShape::kFolder, "C:\\a\\c"},
  };
  for (const Case& c : kCases) {
    char normal[64] = "unset";
    EXPECT_EQ(ClassifyFolderPath(c.path, normal, sizeof(normal)), c.shape) << "'" << c.path << "'";
    EXPECT_STREQ(normal, c.normal) << "'" << c.path << "'";
  }
  // The normalised text is cut to fit, never past its buffer.
  char small[6];
  EXPECT_EQ(ClassifyFolderPath("C:\\folder", small, sizeof(small)), PathShape::kFolder);
  EXPECT_STREQ(small, "C:\\fo");
}

TEST(PathShape, ARootKeyAloneIsNothingButBlanksAndBackslashes) {
  EXPECT_TRUE(IsRootOnlyKeyPath(""));
  EXPECT_TRUE(IsRootOnlyKeyPath(" \\\\ "));
  EXPECT_FALSE(IsRootOnlyKeyPath("Software"));
  EXPECT_FALSE(IsRootOnlyKeyPath("%%OldKey%%"));  // a name as written, not an empty variable
}
