#include "FindingsModel.h"

#include <algorithm>
#include <numeric>

#include "KeyCollator.h"

namespace {

constexpr QChar kSeparator = QChar(0x1F);

QString Decoded(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

}  // namespace

TFindingsModel::TFindingsModel(QObject* parent) : QAbstractTableModel(parent) {}

Findings TFindingsModel::InFileOrder(const Findings& findings) {
  // The run gives each key's copies together, the number of copies on each.
  const KeyCollator& collator = KeyCollator::Default();
  Findings ordered;
  ordered.Reserve(findings.size());
  std::vector<std::size_t> group;
  for (std::size_t i = 0; i < findings.size();) {
    const std::size_t copies =
        findings.Kind(i) == FindingKind::kDuplicateKey
            ? std::clamp<std::size_t>(findings.Copies(i), 1, findings.size() - i)
            : 1;
    group.resize(copies);
    std::iota(group.begin(), group.end(), i);
    if (copies > 1) {
      // Files in the order the run took them (by name, as it lists a
      // folder), then lines.
      std::stable_sort(group.begin(), group.end(), [&](std::size_t a, std::size_t b) {
        const Finding fa = findings[a];
        const Finding fb = findings[b];
        if (fa.file != fb.file) return collator.CompareFileNameBytes(fa.file, fb.file) < 0;
        return fa.line < fb.line;
      });
    }
    for (const std::size_t g : group) ordered.AddFrom(findings, g);
    i += copies;
  }
  return ordered;
}

std::pair<int, int> TFindingsModel::CopiesOf(int row) const {
  const int group = rows_[std::size_t(row)].group;
  if (group < 0) return {row, 1};
  return {group, int(findings_.Copies(std::size_t(group)))};
}

void TFindingsModel::SetMarked(int row, bool marked) {
  if (rows_[std::size_t(row)].marked == marked) return;
  rows_[std::size_t(row)].marked = marked;
  emit dataChanged(index(row, 0), index(row, int(kFindingColumns) - 1), {Qt::FontRole});
}

void TFindingsModel::SetFindings(const Findings& findings) {
  beginResetModel();
  findings_ = InFileOrder(findings);
  rows_.clear();
  rows_.reserve(findings_.size());
  int groupStart = 0;
  int groupEnd = 0;
  for (const Finding& finding : findings_) {
    const FindingRow cells = RowOf(finding);
    Row row;
    const int at = int(rows_.size());
    if (finding.kind == FindingKind::kDuplicateKey && finding.copies > 1) {
      if (at >= groupEnd) {
        groupStart = at;
        groupEnd = at + int(finding.copies);
      }
      row.group = groupStart;
    }
    for (std::size_t c = 0; c < kFindingColumns; ++c) {
      row.starts[c] = int(row.joined.size());
      row.joined += Decoded(cells[c]);
      row.joined += kSeparator;
    }
    row.starts[kFindingColumns] = int(row.joined.size());
    row.joined.squeeze();
    rows_.push_back(std::move(row));
  }
  endResetModel();
}

QStringView TFindingsModel::Cell(int row, int column) const {
  const Row& r = rows_[std::size_t(row)];
  const int start = r.starts[std::size_t(column)];
  const int end = r.starts[std::size_t(column) + 1] - 1;  // before the separator
  return QStringView(r.joined).sliced(start, end - start);
}

int TFindingsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(rows_.size());
}

int TFindingsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(kFindingColumns);
}

QVariant TFindingsModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
    return Cell(index.row(), index.column()).toString();
  }
  if (role == Qt::FontRole && rows_[std::size_t(index.row())].marked) {
    return markFont_;
  }
  if (role == Qt::TextAlignmentRole && index.column() == kLineColumn) {
    return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
  }
  return {};
}

QVariant TFindingsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  if (section < 0 || section >= int(kFindingColumns)) return {};
  return Decoded(FindingHeader()[std::size_t(section)]);
}

TFindingsFilter::TFindingsFilter(QObject* parent) : QSortFilterProxyModel(parent) {}

const TFindingsModel* TFindingsFilter::Source() const {
  return static_cast<const TFindingsModel*>(sourceModel());
}

void TFindingsFilter::SetKind(std::optional<FindingKind> kind) {
  if (kind == kind_) return;
  kind_ = kind;
  Refilter();
}

void TFindingsFilter::SetText(const QString& text) {
  // A separator in the text could match across two cells.
  QString wanted = text;
  wanted.remove(kSeparator);
  if (wanted == text_) return;
  text_ = wanted;
  Refilter();
}

void TFindingsFilter::sort(int column, Qt::SortOrder order) {
  QSortFilterProxyModel::sort(column, column < 0 ? Qt::AscendingOrder : order);
}

void TFindingsFilter::Refilter() {
  // Rebuilt as a whole: told row range by row range, a view takes seconds
  // over the scattered rows of 100,000 findings.
  invalidate();
}

Findings TFindingsFilter::ShownFindings() const {
  Findings shown;
  shown.Reserve(std::size_t(rowCount()));
  for (int row = 0; row < rowCount(); ++row) {
    shown.AddFrom(Source()->AllFindings(), std::size_t(mapToSource(index(row, 0)).row()));
  }
  return shown;
}

bool TFindingsFilter::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  const TFindingsModel* model = Source();
  if (kind_ && model->AllFindings().Kind(std::size_t(sourceRow)) != *kind_) return false;
  return text_.isEmpty() || model->Joined(sourceRow).contains(text_, Qt::CaseInsensitive);
}

bool TFindingsFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const TFindingsModel* model = Source();
  const int l = left.row();
  const int r = right.row();
  const auto compare = [](auto a, auto b) { return a < b ? -1 : (a > b ? 1 : 0); };
  int order = 0;
  const Findings& findings = model->AllFindings();
  const auto a = std::size_t(l);
  const auto b = std::size_t(r);
  if (left.column() == TFindingsModel::kLineColumn) {
    order = compare(findings.Line(a), findings.Line(b));
  } else if (left.column() == TFindingsModel::kKindColumn) {
    // By kind, then by the number of copies as a number: "（10件）" after "（9件）".
    order = findings.Kind(a) != findings.Kind(b)
                ? compare(int(findings.Kind(a)), int(findings.Kind(b)))
                : compare(findings.Copies(a), findings.Copies(b));
  } else {
    order =
        model->Cell(l, left.column()).compare(model->Cell(r, left.column()), Qt::CaseInsensitive);
  }
  // Equal cells keep the findings' order: the copies of a key stay together
  // and in place, whichever column was sorted before.
  return order != 0 ? order < 0 : l < r;
}
