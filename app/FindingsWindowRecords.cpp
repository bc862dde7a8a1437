// The findings window's record side: opening a row's record, keeping what
// the operator changed there, and writing it to 再登録用.txt.
#include <QCloseEvent>
#include <QLabel>
#include <QTableView>

#include "ConversionRun.h"
#include "FindingsModel.h"
#include "FindingsWindow.h"
#include "MBox.h"
#include "PathText.h"
#include "TopLevel.h"
#include "quenFile.h"

namespace fs = std::filesystem;

TFindingsWindow::RecordId TFindingsWindow::IdOf(int row) const {
  const Finding f = Model->AllFindings()[std::size_t(row)];
  return {std::string(f.file), f.line};
}

std::vector<int> TFindingsWindow::RowsOf(int row) const {
  // The findings of one record: the same line of the same file (a blank
  // title that is also a copy of a repeated key, say).
  const Findings& findings = Model->AllFindings();
  const Finding of = findings[std::size_t(row)];
  std::vector<int> rows;
  for (std::size_t i = 0; i < findings.size(); ++i) {
    if (findings.Line(i) != of.line) continue;
    const Finding f = findings[i];
    if (f.file == of.file && f.text == of.text) rows.push_back(int(i));
  }
  return rows;
}

void TFindingsWindow::OpenRecord(int shownRow) {
  const QModelIndex shown = Filter->index(shownRow, 0);
  if (!shown.isValid()) return;
  const int row = Filter->mapToSource(shown).row();
  const Findings& findings = Model->AllFindings();
  TRecordView::Use use = TRecordView::Use::kImported;
  int written = row;  // the finding the save names the record by
  int group = -1;
  QStringList kinds;
  for (const int r : RowsOf(row)) {
    kinds << Model->Cell(r, TFindingsModel::kKindColumn).toString();
    const FindingKind kind = findings.Kind(std::size_t(r));
    if (kind == FindingKind::kDuplicateKey) {
      use = TRecordView::Use::kCopy;
      written = r;
      group = Model->CopiesOf(r).first;
    } else if (KindOf(kind).filter == FilterAction::kDrop && use != TRecordView::Use::kCopy) {
      use = TRecordView::Use::kCorrect;
    }
  }
  if (view_) view_->close();
  const Finding finding = findings[std::size_t(row)];
  const fs::path source =
      run_.folder.empty() ? fs::path() : run_.folder / quenFile::PathFromBytes(finding.file);
  view_ = new TRecordView(this, finding, kinds.join(QStringLiteral("・")), source, use);
  view_->setAttribute(Qt::WA_DeleteOnClose);
  view_->setWindowModality(Qt::WindowModal);
  if (const auto at = changed_.find(IdOf(row)); at != changed_.end()) {
    view_->SetEdits(at->second.edits);
  }
  if (group >= 0) {
    const auto kept = kept_.find(group);
    view_->SetKept(kept != kept_.end() && kept->second == written);
  }
  connect(view_, &TRecordView::Changed, this,
          [this, written, group] { RecordChanged(written, group); });
  view_->show();
}

void TFindingsWindow::RecordChanged(int row, int group) {
  const RecordEdits edits = view_->Edits();
  const RecordId id = IdOf(row);
  if (edits.empty()) {
    changed_.erase(id);
  } else {
    changed_[id] = Changed{row, group >= 0, edits};
  }
  std::vector<int> rows = {row};
  if (group >= 0) {
    if (view_->Kept()) {
      kept_[group] = row;
    } else if (const auto kept = kept_.find(group); kept != kept_.end() && kept->second == row) {
      kept_.erase(kept);
    }
    for (int r = group; r < group + Model->CopiesOf(group).second; ++r) rows.push_back(r);
  }
  for (const int r : rows) MarkRows(r);
  unsaved_ = true;
  UpdateState();
}

void TFindingsWindow::MarkRows(int row) {
  const RecordId id = IdOf(row);
  bool marked = changed_.count(id) > 0;
  for (const auto& [group, kept] : kept_) marked = marked || IdOf(kept) == id;
  for (const int r : RowsOf(row)) Model->SetMarked(r, marked);
}

std::vector<Correction> TFindingsWindow::Corrections() const {
  std::map<int, Correction> byRow;
  const auto add = [&byRow](int row, const RecordEdits& edits) {
    byRow[row] = Correction{std::size_t(row), edits.title, edits.reading, edits.ndc};
  };
  for (const auto& [group, row] : kept_) {
    const auto at = changed_.find(IdOf(row));
    add(row, at != changed_.end() ? at->second.edits : RecordEdits{});
  }
  // A copy not kept is not written, edited or not.
  for (const auto& [id, change] : changed_) {
    if (!change.copy) add(change.row, change.edits);
  }
  std::vector<Correction> corrections;
  for (auto& [row, correction] : byRow) corrections.push_back(std::move(correction));
  return corrections;
}

bool TFindingsWindow::SaveCorrections() {
  const std::vector<Correction> corrections = Corrections();
  if (corrections.empty() || run_.folder.empty()) {
    MBox::Info(
        u8"再登録する記録がありません。\r\n"
        u8"記録を開いて書名・ヨミ・NDCを直すか、残すコピーを選んでください。");
    return false;
  }
  fs::path::string_type folder = OutputFolderOf(run_.folder).native();
  folder.pop_back();  // its trailing delimiter
  try {
    const std::size_t written = SaveReRegistration(folder, Model->AllFindings(), corrections);
    const fs::path file = fs::path(folder) / quenFile::PathFromBytes(kReRegistrationFileName);
    lblStatus->setText(
        QStringLiteral("%1件を再登録用.txtに保存しました：%2").arg(written).arg(ToQString(file)));
    unsaved_ = false;
    return true;
  } catch (...) {
    ShowCurrentException();
    return false;
  }
}

void TFindingsWindow::closeEvent(QCloseEvent* event) {
  if (unsaved_) {
    const Unsaved answer = asker_();
    if (answer == Unsaved::kCancel || (answer == Unsaved::kSave && !SaveCorrections())) {
      event->ignore();
      return;
    }
    if (answer == Unsaved::kDiscard) {
      changed_.clear();
      kept_.clear();
      unsaved_ = false;
      for (int row = 0; row < Model->rowCount(); ++row) Model->SetMarked(row, false);
      UpdateState();
    }
  }
  if (view_) view_->close();
  QWidget::closeEvent(event);
}

void TFindingsWindow::showEvent(QShowEvent* event) {
  // Centred over the main window the first time; where the operator put
  // it afterwards.
  if (!placed_ && parentWidget() != nullptr) {
    placed_ = true;
    QRect frame = frameGeometry();
    frame.moveCenter(parentWidget()->window()->frameGeometry().center());
    move(frame.topLeft());
  }
  QWidget::showEvent(event);
}
