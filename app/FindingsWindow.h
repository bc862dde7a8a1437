// TFindingsWindow: 「処理結果の一覧」, the last run's findings as a table
// the operator can sort by any column, narrow to one kind or to a text,
// copy as tab-separated text and save as CSV or as an Excel workbook. Not modal and resizable; the
// main window hands it the findings when a run ends, with the run's folder
// and end time for the line above the table.
//
// Enter or a double-click opens a row's record (TRecordView). The edits
// and the copies chosen there live in this window until 「再登録用ファイルを
// 保存」 writes them to the run's 処理後/再登録用.txt; closing with unsaved
// ones asks first.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include <QDateTime>
#include <QPointer>
#include <QWidget>

#include "Correction.h"
#include "Findings.h"
#include "RecordView.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class TFindingsFilter;
class TFindingsModel;

class TFindingsWindow : public QWidget {
  Q_OBJECT
 public:
  // owner keeps the window on top of itself and destroys it.
  explicit TFindingsWindow(QWidget* owner);

  // Asks where to save the CSV, starting at suggested; nothing when the
  // operator cancels. By default a save dialog.
  using SaveChooser =
      std::function<std::optional<std::filesystem::path>(const std::filesystem::path& suggested)>;
  void SetSaveChooser(SaveChooser chooser) { chooser_ = std::move(chooser); }

  // The run the findings come from.
  struct RunInfo {
    std::filesystem::path folder;  // the chosen folder; empty: unknown
    QDateTime ended;
  };
  // Shows a copy of findings and forgets the edits of the ones before; the
  // save dialog starts at suggestedCsv.
  void SetFindings(const Findings& findings, const std::filesystem::path& suggestedCsv,
                   const RunInfo& run = {});
  // Another folder was chosen or another run started: the header says the
  // table is the earlier run's.
  void MarkEarlier();
  bool IsEarlier() const { return earlier_; }

  // Asks what to do with unsaved edits before closing. By default a box.
  enum class Unsaved { kSave, kDiscard, kCancel };
  using UnsavedAsker = std::function<Unsaved()>;
  void SetUnsavedAsker(UnsavedAsker asker) { asker_ = std::move(asker); }
  bool HasUnsavedEdits() const { return unsaved_; }

  // Opens the record of a row of the table (as shown) over this window.
  void OpenRecord(int shownRow);
  TRecordView* RecordView() const { return view_; }
  // What 「再登録用ファイルを保存」 writes: the edited records left out of
  // 取込用.txt and the copies chosen, in row order.
  std::vector<Correction> Corrections() const;
  // Writes them; false when nothing was written (refused, failed, or
  // nothing to write), which a box has said.
  bool SaveCorrections();

  // The selected rows as tab-separated lines, in the order shown.
  QString SelectedText() const;
  void CopySelection();
  // Saves the rows shown (after the filter, in the order shown) as CSV, or
  // as an Excel workbook; the chooser is offered a .csv or .xlsx name.
  void SaveCsv();
  void SaveXlsx();

  TFindingsModel* Model;
  TFindingsFilter* Filter;
  QLabel* lblRun;
  QLabel* lblStatus;
  QComboBox* cmbKind;
  QLineEdit* edtFilter;
  QLabel* lblCount;
  QTableView* Table;
  QPushButton* btnCopy;
  QPushButton* btnSave;
  QPushButton* btnSaveXlsx;
  QPushButton* btnSaveCorrections;
  QPushButton* btnClose;
  QAction* actCopy;
  QAction* actSelectAll;
  QAction* actOpenRecord;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // A record as the operator changed it: the row it was opened from, and
  // whether it is a copy of a repeated key (written only when chosen).
  struct Changed {
    int row = 0;
    bool copy = false;
    RecordEdits edits;
  };
  using RecordId = std::pair<std::string, std::size_t>;  // file, line
  RecordId IdOf(int row) const;
  std::vector<int> RowsOf(int row) const;
  void RecordChanged(int row, int group);
  void MarkRows(int row);
  void UpdateHeader();
  void CreateControls();
  void CreateTable();
  QLayout* CreateFilterRow();
  QLayout* CreateButtonRow();
  void ConnectControls();
  void FitColumns();
  void UpdateState();

  SaveChooser chooser_;
  UnsavedAsker asker_;
  std::filesystem::path suggestedCsv_;
  RunInfo run_;
  bool earlier_ = false;
  bool placed_ = false;
  bool unsaved_ = false;
  std::map<RecordId, Changed> changed_;
  // A repeated key's first row to the row of the copy kept.
  std::map<int, int> kept_;
  QPointer<TRecordView> view_;
};
