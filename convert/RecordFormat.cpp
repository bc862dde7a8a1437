#include "RecordFormat.h"

#include <algorithm>

#include "quenText.h"

namespace {

using enum FilterAction;

// The duplicate check takes repeated keys out before the filtering sees
// them, so their filter action is never asked.
constexpr std::array<KindRow, kFindingKindCount> kKinds = {{
    {FindingKind::kDuplicateKey, ekNone, "重複キー", "重複", kKeep, true, false, false, false},
    {FindingKind::kTitleBlank, ekTitleBlank, "書名（ヨミ）空白", "書名なし", kDrop, false, false,
     true, true},
    {FindingKind::kNdcLength, ekNdcLength, "ＮＤＣ桁数", "ＮＤＣ桁数", kToTop, false, true, false,
     false},
}};

constexpr bool RowsInFindingKindOrder() {
  for (std::size_t i = 0; i < kKinds.size(); ++i) {
    if (static_cast<std::size_t>(kKinds[i].finding) != i) return false;
  }
  return true;
}
static_assert(RowsInFindingKindOrder(), "one row per FindingKind, in its order");

// Error kinds count up from 1 in row order, so that ErrorKindNames is
// indexed by them and the error check logs its counts in their order.
constexpr bool ErrorKindsCountUp() {
  int32_t next = ekNone + 1;
  for (const KindRow& row : kKinds) {
    if (row.error == ekNone) continue;
    if (row.error != next++) return false;
  }
  return true;
}
static_assert(ErrorKindsCountUp(), "error kinds 1, 2, ... in row order, each once");

}  // namespace

const std::array<KindRow, kFindingKindCount>& Kinds() { return kKinds; }

const KindRow& KindOf(FindingKind kind) { return kKinds[static_cast<std::size_t>(kind)]; }

const KindRow* KindOf(int32_t errorKind) {
  if (errorKind == ekNone) return nullptr;
  const auto row = std::find_if(kKinds.begin(), kKinds.end(),
                                [&](const KindRow& r) { return r.error == errorKind; });
  return row == kKinds.end() ? nullptr : &*row;
}

const std::string& Cp932Name(const KindRow& row) {
  static const std::array<std::string, kFindingKindCount> names = [] {
    std::array<std::string, kFindingKindCount> cp932;
    for (std::size_t i = 0; i < kKinds.size(); ++i) cp932[i] = quenText::FromUtf8(kKinds[i].name);
    return cp932;
  }();
  return names[static_cast<std::size_t>(row.finding)];
}

const std::vector<std::string>& ErrorKindNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> byKind(1);  // ekNone: no name
    for (const KindRow& row : kKinds) {
      if (row.error != ekNone) byKind.push_back(Cp932Name(row));
    }
    return byKind;
  }();
  return names;
}
