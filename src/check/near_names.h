// "Did you mean": the name of a script's names nearest to a mistyped one. A name equal to it
// but for case comes first (the first such), then the nearest within two edits, case aside
// (the first of equally near ones). A script with thousands of names and thousands of faults
// is still checked in moments: each answer is remembered, and past a bounded amount of
// comparing no further suggestions are made (a fault is still reported, without one).
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class NearNames {
 public:
  explicit NearNames(std::vector<std::string> names);

  // The nearest name other than `name` itself, or "" when none is near.
  std::string Nearest(const std::string& name);
  bool HasEqualButForCase(const std::string& name) const;

  static constexpr size_t kNearDistance = 2;
  static constexpr size_t kMaxComparisons = size_t{32} << 20;  // names looked at, per list

 private:
  std::string EqualButForCase(const std::string& name) const;
  size_t DistanceWithinNear(const std::string& a, const std::string& b);

  std::vector<std::string> names_;
  std::vector<std::string> upper_;  // names_, upper-cased
  struct Key {
    uint64_t letters;  // which characters the name holds
    size_t size;
  };
  std::vector<Key> keys_;                                         // what rules a name out before its edits are counted
  std::unordered_map<std::string, std::vector<size_t>> byUpper_;  // upper-cased name: its indices
  std::unordered_map<std::string, std::string> answered_;
  size_t comparisons_ = 0;
  std::vector<size_t> row_, nextRow_;  // the distance's rows, kept between comparisons
};
