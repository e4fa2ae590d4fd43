#include "check/near_names.h"

#include <algorithm>
#include <utility>

#include "check/script_view.h"

namespace {

// A bit per character (its low six bits): an edit adds or removes at most one character, so
// names two edits apart differ in at most four of these bits.
uint64_t Letters(const std::string& upper) {
  uint64_t bits = 0;
  for (char c : upper) bits |= uint64_t{1} << (static_cast<unsigned char>(c) & 63u);
  return bits;
}

size_t BitsSet(uint64_t bits) {
  size_t count = 0;
  for (; bits != 0; bits &= bits - 1) ++count;
  return count;
}

}  // namespace

NearNames::NearNames(std::vector<std::string> names) : names_(std::move(names)) {
  upper_.reserve(names_.size());
  for (size_t i = 0; i < names_.size(); ++i) {
    upper_.push_back(Upper(names_[i]));
    keys_.push_back({Letters(upper_.back()), upper_.back().size()});
    byUpper_[upper_.back()].push_back(i);
  }
}

std::string NearNames::EqualButForCase(const std::string& name) const {
  auto found = byUpper_.find(Upper(name));
  if (found == byUpper_.end()) return "";
  for (size_t i : found->second) {
    if (names_[i] != name) return names_[i];
  }
  return "";
}

bool NearNames::HasEqualButForCase(const std::string& name) const { return !EqualButForCase(name).empty(); }

std::string NearNames::Nearest(const std::string& name) {
  auto known = answered_.find(name);
  if (known != answered_.end()) return known->second;
  // Past the names equal but for case, no other is 0 edits away: the first at 1 is the answer.
  std::string best = EqualButForCase(name);
  if (best.empty()) {
    const std::string upper = Upper(name);
    const uint64_t letters = Letters(upper);
    size_t bestDistance = kNearDistance + 1;
    for (size_t i = 0; i < keys_.size() && bestDistance > 1 && comparisons_ < kMaxComparisons; ++i) {
      ++comparisons_;
      const Key& key = keys_[i];
      if (key.size + kNearDistance < upper.size() || upper.size() + kNearDistance < key.size ||
          BitsSet(letters ^ key.letters) > 2 * kNearDistance || names_[i] == name) {
        continue;
      }
      const size_t distance = DistanceWithinNear(upper, upper_[i]);
      if (distance < bestDistance) {
        best = names_[i];
        bestDistance = distance;
      }
    }
  }
  answered_.emplace(name, best);
  return best;
}

// The edit distance of a and b when it is at most kNearDistance, else kNearDistance + 1: the
// rows stop as soon as every cell of one is past it.
size_t NearNames::DistanceWithinNear(const std::string& a, const std::string& b) {
  const size_t far = kNearDistance + 1;
  row_.assign(b.size() + 1, 0);
  nextRow_.assign(b.size() + 1, 0);
  for (size_t j = 0; j <= b.size(); ++j) row_[j] = std::min(j, far);
  for (size_t i = 1; i <= a.size(); ++i) {
    nextRow_[0] = std::min(i, far);
    size_t rowMin = nextRow_[0];
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t cell = std::min({row_[j] + 1, nextRow_[j - 1] + 1, row_[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      nextRow_[j] = std::min(cell, far);
      rowMin = std::min(rowMin, nextRow_[j]);
    }
    if (rowMin >= far) return far;
    std::swap(row_, nextRow_);
  }
  return row_[b.size()];
}
