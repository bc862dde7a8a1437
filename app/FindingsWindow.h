// TFindingsWindow: 「処理結果の一覧」, the last run's findings as a table
// the operator can sort by any column, narrow to one kind or to a text,
// copy as tab-separated text and save as CSV. Not modal and resizable; the
// main window hands it the findings when a run ends.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>

#include <QWidget>

#include "Findings.h"

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

  // Shows a copy of findings; the save dialog starts at suggestedCsv.
  void SetFindings(const Findings& findings, const std::filesystem::path& suggestedCsv);

  // The selected rows as tab-separated lines, in the order shown.
  QString SelectedText() const;
  void CopySelection();
  // Saves the rows shown (after the filter, in the order shown) as CSV.
  void SaveCsv();

  TFindingsModel* Model;
  TFindingsFilter* Filter;
  QComboBox* cmbKind;
  QLineEdit* edtFilter;
  QLabel* lblCount;
  QTableView* Table;
  QPushButton* btnCopy;
  QPushButton* btnSave;
  QPushButton* btnClose;
  QAction* actCopy;
  QAction* actSelectAll;

 private:
  void CreateControls();
  QLayout* CreateFilterRow();
  QLayout* CreateButtonRow();
  void ConnectControls();
  void FitColumns();
  void UpdateState();

  SaveChooser chooser_;
  std::filesystem::path suggestedCsv_;
};
