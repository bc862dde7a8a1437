#include "FindingsWindow.h"

#include <algorithm>
#include <queue>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include "AppFonts.h"
#include "ConversionRun.h"
#include "FindingsModel.h"
#include "NewAction.h"
#include "FindingsXlsx.h"
#include "MBox.h"
#include "PathText.h"
#include "TopLevel.h"
#include "quenFile.h"

namespace fs = std::filesystem;

namespace {

const QString kTitle = QStringLiteral("処理結果の一覧");

// Qt's own dialog speaks English without its translations; the labels it
// shows are given here. A desktop's own dialog ignores them.
// The format follows the suggested name: a workbook for .xlsx, else CSV.
std::optional<fs::path> AskSavePath(QWidget* owner, const fs::path& suggested) {
  const bool workbook =
      ToQString(suggested.extension()).compare(QStringLiteral(".xlsx"), Qt::CaseInsensitive) == 0;
  QFileDialog dialog(owner, workbook ? QStringLiteral("Excelに保存") : QStringLiteral("CSVに保存"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(
      {workbook ? QStringLiteral("Excel ブック (*.xlsx)") : QStringLiteral("CSV ファイル (*.csv)"),
       QStringLiteral("すべてのファイル (*)")});
  dialog.setDefaultSuffix(workbook ? QStringLiteral("xlsx") : QStringLiteral("csv"));
  dialog.setLabelText(QFileDialog::Accept, QStringLiteral("保存"));
  dialog.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
  dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("場所:"));
  dialog.setLabelText(QFileDialog::FileName, QStringLiteral("ファイル名:"));
  dialog.setLabelText(QFileDialog::FileType, QStringLiteral("ファイルの種類:"));
  if (!suggested.empty()) dialog.selectFile(ToQString(suggested));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToPath(dialog.selectedFiles().front());
}

TFindingsWindow::Unsaved AskUnsaved(QWidget* owner) {
  QMessageBox box(QMessageBox::Question, kTitle,
                  QStringLiteral("再登録用ファイルに保存していない修正があります。\n"
                                 "閉じる前に保存しますか？"),
                  QMessageBox::NoButton, owner);
  QPushButton* save = box.addButton(QStringLiteral("保存して閉じる(&S)"), QMessageBox::AcceptRole);
  QPushButton* discard =
      box.addButton(QStringLiteral("保存せずに閉じる(&D)"), QMessageBox::DestructiveRole);
  QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
  box.setDefaultButton(save);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == save) return TFindingsWindow::Unsaved::kSave;
  if (box.clickedButton() == discard) return TFindingsWindow::Unsaved::kDiscard;
  return TFindingsWindow::Unsaved::kCancel;
}

// File names cut in the middle: their ends (_A.txt, _B.txt) tell them apart.
class MiddleElided : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = Qt::ElideMiddle;
  }
};

// The widest cell of a column: the cells are ranked by a rough width (a
// wide character counts two), and only the widest few measured, so that
// 100,000 rows cost one pass over their text.
int WidestCell(const TFindingsModel& model, int column, const QFontMetrics& metrics) {
  constexpr std::size_t kMeasured = 16;
  using Ranked = std::pair<int, int>;  // rough width, row
  std::priority_queue<Ranked, std::vector<Ranked>, std::greater<>> widest;
  for (int row = 0; row < model.rowCount(); ++row) {
    int rough = 0;
    for (const QChar c : model.Cell(row, column)) rough += c.unicode() >= 0x1100 ? 2 : 1;
    if (widest.size() < kMeasured) {
      widest.emplace(rough, row);
    } else if (rough > widest.top().first) {
      widest.pop();
      widest.emplace(rough, row);
    }
  }
  int width = 0;
  for (; !widest.empty(); widest.pop()) {
    width = std::max(width,
                     metrics.horizontalAdvance(model.Cell(widest.top().second, column).toString()));
  }
  return width;
}

}  // namespace

TFindingsWindow::TFindingsWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
  chooser_ = [this](const fs::path& suggested) { return AskSavePath(this, suggested); };
  asker_ = [this] { return AskUnsaved(this); };
  CreateControls();
  ConnectControls();
  UpdateState();
}

void TFindingsWindow::CreateControls() {
  setObjectName(QStringLiteral("fmFindings"));
  setWindowTitle(kTitle);
  setFont(PGothicFont(12));
  // Closing the main window ends the program even while this one is open.
  setAttribute(Qt::WA_QuitOnClose, false);
  resize(900, 480);

  Model = new TFindingsModel(this);
  QFont bold = font();
  bold.setBold(true);
  Model->SetMarkFont(bold);
  Filter = new TFindingsFilter(this);
  Filter->setSourceModel(Model);

  CreateTable();

  lblRun = new QLabel(this);
  lblRun->setObjectName(QStringLiteral("lblRun"));
  lblRun->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblStatus = new QLabel(this);
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblRun);
  layout->addLayout(CreateFilterRow());
  layout->addWidget(Table, 1);
  layout->addWidget(lblStatus);
  layout->addLayout(CreateButtonRow());
  edtFilter->setFocus();
}

void TFindingsWindow::CreateTable() {
  Table = new QTableView(this);
  Table->setObjectName(QStringLiteral("Table"));
  Table->setModel(Filter);
  Table->setSelectionBehavior(QAbstractItemView::SelectRows);
  Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
  Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Table->setWordWrap(false);
  Table->verticalHeader()->hide();
  // Rows of one height: nothing is measured per row, however many there are.
  Table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  Table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  // The findings' own order (repeated keys together) until a column is
  // clicked; a third click returns to it.
  Table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  Table->horizontalHeader()->setSortIndicatorClearable(true);
  Table->setSortingEnabled(true);
  Table->horizontalHeader()->setStretchLastSection(false);
  Table->horizontalHeader()->setHighlightSections(false);
  Table->setItemDelegateForColumn(TFindingsModel::kFileColumn, new MiddleElided(Table));

  actCopy = NewAction(Table, Table, "actCopy", QStringLiteral("コピー(&C)"), QKeySequence::Copy,
                      Qt::WidgetShortcut);
  actSelectAll = NewAction(Table, Table, "actSelectAll", QStringLiteral("すべてを選択(&A)"),
                           QKeySequence::SelectAll, Qt::WidgetShortcut);
  // Enter is taken from the table's own keys (eventFilter): as a shortcut
  // it would be the window's, wherever the focus is.
  actOpenRecord = NewAction(Table, Table, "actOpenRecord", QStringLiteral("記録を開く(&O)"), {},
                            Qt::WidgetShortcut);
  Table->installEventFilter(this);
  Table->setContextMenuPolicy(Qt::ActionsContextMenu);
}

QLayout* TFindingsWindow::CreateFilterRow() {
  cmbKind = new QComboBox(this);
  cmbKind->setObjectName(QStringLiteral("cmbKind"));
  cmbKind->addItem(QStringLiteral("すべて"), -1);
  for (const KindRow& row : Kinds()) {
    cmbKind->addItem(QString::fromUtf8(row.name.data(), qsizetype(row.name.size())),
                     int(row.finding));
  }
  auto* kindLabel = new QLabel(QStringLiteral("種類(&K)："), this);
  kindLabel->setBuddy(cmbKind);

  edtFilter = new QLineEdit(this);
  edtFilter->setObjectName(QStringLiteral("edtFilter"));
  edtFilter->setPlaceholderText(QStringLiteral("すべての列から探す文字"));
  edtFilter->setClearButtonEnabled(true);
  auto* filterLabel = new QLabel(QStringLiteral("検索(&S)："), this);
  filterLabel->setBuddy(edtFilter);

  lblCount = new QLabel(this);
  lblCount->setObjectName(QStringLiteral("lblCount"));

  auto* row = new QHBoxLayout;
  row->addWidget(kindLabel);
  row->addWidget(cmbKind);
  row->addSpacing(12);
  row->addWidget(filterLabel);
  row->addWidget(edtFilter, 1);
  row->addSpacing(12);
  row->addWidget(lblCount);
  return row;
}

QLayout* TFindingsWindow::CreateButtonRow() {
  btnCopy = new QPushButton(QStringLiteral("コピー(&C)"), this);
  btnCopy->setObjectName(QStringLiteral("btnCopy"));
  btnSave = new QPushButton(QStringLiteral("CSVに保存(&V)…"), this);
  btnSave->setObjectName(QStringLiteral("btnSave"));
  btnSaveXlsx = new QPushButton(QStringLiteral("Excelに保存(&E)…"), this);
  btnSaveXlsx->setObjectName(QStringLiteral("btnSaveXlsx"));
  btnSaveCorrections = new QPushButton(QStringLiteral("再登録用ファイルを保存(&R)"), this);
  btnSaveCorrections->setObjectName(QStringLiteral("btnSaveCorrections"));
  btnClose = new QPushButton(QStringLiteral("閉じる(&X)"), this);
  btnClose->setObjectName(QStringLiteral("btnClose"));

  auto* row = new QHBoxLayout;
  row->addWidget(btnCopy);
  row->addWidget(btnSave);
  row->addWidget(btnSaveXlsx);
  row->addWidget(btnSaveCorrections);
  row->addStretch(1);
  row->addWidget(btnClose);
  return row;
}

void TFindingsWindow::ConnectControls() {
  connect(cmbKind, &QComboBox::currentIndexChanged, this, [this] {
    const int kind = cmbKind->currentData().toInt();
    Filter->SetKind(kind < 0 ? std::nullopt : std::optional(FindingKind(kind)));
  });
  connect(edtFilter, &QLineEdit::textChanged, Filter, &TFindingsFilter::SetText);
  connect(actCopy, &QAction::triggered, this, &TFindingsWindow::CopySelection);
  connect(actSelectAll, &QAction::triggered, Table, &QTableView::selectAll);
  connect(btnCopy, &QPushButton::clicked, this, &TFindingsWindow::CopySelection);
  connect(btnSave, &QPushButton::clicked, this, &TFindingsWindow::SaveCsv);
  connect(btnSaveXlsx, &QPushButton::clicked, this, &TFindingsWindow::SaveXlsx);
  connect(btnSaveCorrections, &QPushButton::clicked, this, &TFindingsWindow::SaveCorrections);
  connect(actOpenRecord, &QAction::triggered, this, [this] {
    const QModelIndex current = Table->currentIndex();
    if (current.isValid()) OpenRecord(current.row());
  });
  connect(Table, &QAbstractItemView::doubleClicked, this,
          [this](const QModelIndex& index) { OpenRecord(index.row()); });
  connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
  connect(Table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TFindingsWindow::UpdateState);
  const auto update = [this] { UpdateState(); };
  connect(Filter, &QAbstractItemModel::modelReset, this, update);
  connect(Filter, &QAbstractItemModel::layoutChanged, this, update);
  connect(Filter, &QAbstractItemModel::rowsInserted, this, update);
  connect(Filter, &QAbstractItemModel::rowsRemoved, this, update);
}

void TFindingsWindow::keyPressEvent(QKeyEvent* event) {
  // Escape closes it as it closes a dialog; the controls pass it up.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool TFindingsWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Table && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      actOpenRecord->trigger();
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TFindingsWindow::SetFindings(const Findings& findings, const fs::path& suggestedCsv,
                                  const RunInfo& run) {
  // The view and the edits name rows of the findings that go.
  if (view_) view_->close();
  changed_.clear();
  kept_.clear();
  unsaved_ = false;
  earlier_ = false;
  run_ = run;
  suggestedCsv_ = suggestedCsv;
  Model->SetFindings(findings);
  lblStatus->clear();
  FitColumns();
  UpdateHeader();
  UpdateState();
}

void TFindingsWindow::MarkEarlier() {
  earlier_ = true;
  UpdateHeader();
}

void TFindingsWindow::UpdateHeader() {
  std::array<int, kFindingKindCount> counts{};
  const Findings& findings = Model->AllFindings();
  for (std::size_t i = 0; i < findings.size(); ++i) ++counts[std::size_t(findings.Kind(i))];
  QStringList parts;
  for (const KindRow& row : Kinds()) {
    parts << QStringLiteral("%1 %2件")
                 .arg(QString::fromUtf8(row.name.data(), qsizetype(row.name.size())))
                 .arg(counts[std::size_t(row.finding)]);
  }
  QString text;
  if (earlier_) text = QStringLiteral("【前の実行の結果】 ");
  if (!run_.folder.empty()) {
    text += QStringLiteral("フォルダ：%1　終了：%2　")
                .arg(ToQString(run_.folder),
                     run_.ended.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")));
  }
  lblRun->setText(text + parts.join(QStringLiteral(" / ")));
}

void TFindingsWindow::FitColumns() {
  // Every row counts: a line number of row 100,000 is as wide as it gets.
  // Only titles are held to a width a screen shows; longer ones elide.
  const QFontMetrics metrics = Table->fontMetrics();
  const int padding =
      2 * Table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, Table) + 12;
  const int widestTitle = metrics.averageCharWidth() * 40;
  QHeaderView* header = Table->horizontalHeader();
  for (int column = 0; column < Model->columnCount(); ++column) {
    int width = WidestCell(*Model, column, metrics) + padding;
    if (column == TFindingsModel::kTitleColumn || column == TFindingsModel::kReadingColumn) {
      width = std::min(width, widestTitle);
    }
    Table->setColumnWidth(column, std::max(width, header->sectionSizeHint(column)));
  }
}

void TFindingsWindow::UpdateState() {
  const QLocale locale(QLocale::Japanese, QLocale::Japan);
  const int all = Model->rowCount();
  const int shown = Filter->rowCount();
  lblCount->setText(
      shown == all
          ? QStringLiteral("全%1件").arg(locale.toString(all))
          : QStringLiteral("%1件中 %2件を表示").arg(locale.toString(all), locale.toString(shown)));
  const bool selected = Table->selectionModel()->hasSelection();
  actCopy->setEnabled(selected);
  btnCopy->setEnabled(selected);
  btnSaveCorrections->setEnabled(!Corrections().empty());
}

QString TFindingsWindow::SelectedText() const {
  QModelIndexList rows = Table->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  QString text;
  for (const QModelIndex& index : rows) {
    const int source = Filter->mapToSource(index).row();
    for (int column = 0; column < Model->columnCount(); ++column) {
      if (column > 0) text += QLatin1Char('\t');
      text += Model->Cell(source, column);
    }
    text += QLatin1Char('\n');
  }
  return text;
}

void TFindingsWindow::CopySelection() {
  if (!Table->selectionModel()->hasSelection()) return;
  QGuiApplication::clipboard()->setText(SelectedText());
}

void TFindingsWindow::SaveCsv() {
  ShowFailures([this] {
    const std::optional<fs::path> path = chooser_(suggestedCsv_);
    if (!path) return;
    quenFile::WriteAll(*path, FindingsCsv(Filter->ShownFindings()));
    lblStatus->setText(QStringLiteral("CSVに保存しました：%1").arg(ToQString(*path)));
  });
}

void TFindingsWindow::SaveXlsx() {
  ShowFailures([this] {
    fs::path suggested = suggestedCsv_;
    if (!suggested.empty()) suggested.replace_extension(".xlsx");
    const std::optional<fs::path> path = chooser_(suggested);
    if (!path) return;
    SaveFindingsXlsx(Filter->ShownFindings(), *path);
    lblStatus->setText(QStringLiteral("Excelブックに保存しました：%1").arg(ToQString(*path)));
  });
}
