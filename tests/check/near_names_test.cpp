// "Did you mean": which name is offered for a mistyped one.
#include "check/near_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(NearNames, OffersTheNearestNameWithinTwoEdits) {
  NearNames names({"Install", "install", "InstallDat", "Instal", "Prepare", "Prepared", "Cleanup"});
  const struct {
    const char* asked;
    const char* offered;
  } cases[] = {
      {"INSTALL", "Install"},  // equal but for case: the first such
      {"install", "Install"},  // itself is never offered
      {"Instll", "Install"},   // one edit: the first of equally near ones
      {"Prepar", "Prepare"},   // one edit beats two (Prepared)
      {"Clenaup", "Cleanup"},  // two edits
      {"Cln", ""},             // four edits
      {"Setup", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(names.Nearest(c.asked), c.offered) << c.asked;
  EXPECT_TRUE(names.HasEqualButForCase("INSTALLDAT"));
  EXPECT_FALSE(names.HasEqualButForCase("Prepar"));
}

TEST(NearNames, StopsSearchingPastItsBoundButStillMatchesCase) {
  std::vector<std::string> many;
  for (int i = 0; i < 4096; ++i) many.push_back("Name" + std::to_string(i));
  NearNames names(many);
  // Each question looks at every name: the bound is reached after this many.
  const size_t questions = NearNames::kMaxComparisons / many.size();
  for (size_t i = 0; i < questions; ++i) names.Nearest("Q" + std::to_string(i));
  EXPECT_EQ(names.Nearest("Nme7"), "");
  EXPECT_EQ(names.Nearest("NAME7"), "Name7");
}
