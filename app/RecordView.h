// TRecordView: one flagged record in context, opened from the findings
// window: where it stands, its fields labelled (書名, ヨミ, NDC, the others by
// number) and the lines around it as 書名なし.txt shows them. 書名, ヨミ and
// NDC can be edited where the record is to be registered again; a copy of
// a repeated key can be chosen as the one to keep. Escape closes it; what
// was changed is told through Changed as it is typed.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

#include <QDialog>

#include "Findings.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// The operator's edits of a record, UTF-8; a field left as read has none.
struct RecordEdits {
  std::optional<std::string> title;
  std::optional<std::string> reading;
  std::optional<std::string> ndc;
  bool empty() const { return !title && !reading && !ndc; }
  friend bool operator==(const RecordEdits&, const RecordEdits&) = default;
};

class TRecordView : public QDialog {
  Q_OBJECT
 public:
  enum class Use {
    kCorrect,   // left out of 取込用.txt: edited to be registered again
    kCopy,      // a copy of a repeated key: chosen to keep, then edited
    kImported,  // already in 取込用.txt: shown only
  };
  // kinds: the kinds the run gave the record, as the table names them;
  // sourceFile: where the run read it.
  TRecordView(QWidget* parent, const Finding& finding, const QString& kinds,
              const std::filesystem::path& sourceFile, Use use);

  void SetEdits(const RecordEdits& edits);
  RecordEdits Edits() const;
  void SetKept(bool kept);
  bool Kept() const;

  QLabel* lblWhere;
  QLabel* lblUse;
  QLineEdit* edtTitle;
  QLineEdit* edtReading;
  QLineEdit* edtNdc;
  QCheckBox* chkKeep;
  QTableWidget* tblFields;
  QPlainTextEdit* memContext;
  QPushButton* btnRevert;
  QPushButton* btnClose;

 signals:
  // The edits or the choice changed.
  void Changed();

 private:
  QLayout* CreateEditRows();
  QLayout* CreateButtonRow();
  void ConnectEdits();
  void CreateFieldTable();
  void ShowContext(const std::filesystem::path& sourceFile);
  void UpdateState();

  std::string line_;  // the record as the run read it, CP932
  std::size_t lineNumber_;
  Use use_;
  // The fields as read, UTF-8, for telling an edit from the original.
  std::string title_, reading_, ndc_;
};
