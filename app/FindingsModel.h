// TFindingsModel: a run's findings as a table (種類, キー, 書名, ヨミ, NDC,
// ファイル, 行), decoded once when set; TFindingsFilter sorts and filters it
// for the findings window.
//
// Each row keeps its cells in one string, so that 100,000 findings stay
// small and the filter searches one string per row. The model also keeps
// the findings themselves, so that what is shown can be saved as CSV; the
// copies of each repeated key stand in file and line order, first
// occurrence first, where the run lists them newest first.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include <QAbstractTableModel>
#include <QFont>
#include <QSortFilterProxyModel>
#include <QString>
#include <QStringView>

#include "Findings.h"

class TFindingsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column {
    kKindColumn,
    kKeyColumn,
    kTitleColumn,
    kReadingColumn,
    kNdcColumn,
    kFileColumn,
    kLineColumn
  };

  explicit TFindingsModel(QObject* parent = nullptr);

  void SetFindings(const Findings& findings);
  // The findings in the model's row order.
  const Findings& AllFindings() const { return findings_; }
  // A repeated key's rows: the first row of the copies of row's key, and
  // how many there are; row itself and 1 for any other finding.
  std::pair<int, int> CopiesOf(int row) const;
  // Shows a row in bold: a record the operator has edited or chosen.
  void SetMarked(int row, bool marked);
  bool Marked(int row) const { return rows_[std::size_t(row)].marked; }
  // The font of marked rows.
  void SetMarkFont(const QFont& font) { markFont_ = font; }
  QStringView Cell(int row, int column) const;
  // The row's cells joined, for a search that does not care which column.
  QStringView Joined(int row) const { return rows_[std::size_t(row)].joined; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  struct Row {
    QString joined;  // the cells, each followed by a unit separator
    std::array<int, kFindingColumns + 1> starts{};
    int group = -1;  // the first row of its key's copies; -1: no copy
    bool marked = false;
  };
  static Findings InFileOrder(const Findings& findings);
  Findings findings_;
  std::vector<Row> rows_;
  QFont markFont_;
};

// Sorts by any column (行 by its number, the others by text ignoring case;
// ties keep the findings' order, so repeated keys stay together) and shows
// the rows of one kind, or all, that contain a text in any column.
class TFindingsFilter : public QSortFilterProxyModel {
  Q_OBJECT
 public:
  explicit TFindingsFilter(QObject* parent = nullptr);

  void SetKind(std::optional<FindingKind> kind);
  // Matched as a substring, ignoring case.
  void SetText(const QString& text);
  // The findings of the rows shown, in the order shown.
  Findings ShownFindings() const;
  // Column -1 is the findings' own order, whichever order is asked for.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  const TFindingsModel* Source() const;
  void Refilter();

  std::optional<FindingKind> kind_;
  QString text_;
};
