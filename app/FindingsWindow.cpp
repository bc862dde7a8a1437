#include "FindingsWindow.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "AppFonts.h"
#include "FindingsModel.h"
#include "NewAction.h"
#include "PathText.h"
#include "TopLevel.h"
#include "quenFile.h"

namespace fs = std::filesystem;

namespace {

const QString kTitle = QStringLiteral("処理結果の一覧");

// Qt's own dialog speaks English without its translations; the labels it
// shows are given here. A desktop's own dialog ignores them.
std::optional<fs::path> AskSavePath(QWidget* owner, const fs::path& suggested) {
  QFileDialog dialog(owner, QStringLiteral("CSVに保存"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(
      {QStringLiteral("CSV ファイル (*.csv)"), QStringLiteral("すべてのファイル (*)")});
  dialog.setDefaultSuffix(QStringLiteral("csv"));
  dialog.setLabelText(QFileDialog::Accept, QStringLiteral("保存"));
  dialog.setLabelText(QFileDialog::Reject, QStringLiteral("キャンセル"));
  dialog.setLabelText(QFileDialog::LookIn, QStringLiteral("場所:"));
  dialog.setLabelText(QFileDialog::FileName, QStringLiteral("ファイル名:"));
  dialog.setLabelText(QFileDialog::FileType, QStringLiteral("ファイルの種類:"));
  if (!suggested.empty()) dialog.selectFile(ToQString(suggested));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToPath(dialog.selectedFiles().front());
}

}  // namespace

TFindingsWindow::TFindingsWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
  chooser_ = [this](const fs::path& suggested) { return AskSavePath(this, suggested); };
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
  Filter = new TFindingsFilter(this);
  Filter->setSourceModel(Model);

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

  actCopy = NewAction(Table, Table, "actCopy", QStringLiteral("コピー(&C)"), QKeySequence::Copy,
                      Qt::WidgetShortcut);
  actSelectAll = NewAction(Table, Table, "actSelectAll", QStringLiteral("すべてを選択(&A)"),
                           QKeySequence::SelectAll, Qt::WidgetShortcut);
  Table->setContextMenuPolicy(Qt::ActionsContextMenu);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(CreateFilterRow());
  layout->addWidget(Table, 1);
  layout->addLayout(CreateButtonRow());
  edtFilter->setFocus();
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
  btnCopy = new QPushButton(QStringLiteral("コピー"), this);
  btnCopy->setObjectName(QStringLiteral("btnCopy"));
  btnSave = new QPushButton(QStringLiteral("CSVに保存…"), this);
  btnSave->setObjectName(QStringLiteral("btnSave"));
  btnClose = new QPushButton(QStringLiteral("閉じる"), this);
  btnClose->setObjectName(QStringLiteral("btnClose"));

  auto* row = new QHBoxLayout;
  row->addWidget(btnCopy);
  row->addWidget(btnSave);
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
  connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
  connect(Table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TFindingsWindow::UpdateState);
  const auto update = [this] { UpdateState(); };
  connect(Filter, &QAbstractItemModel::modelReset, this, update);
  connect(Filter, &QAbstractItemModel::layoutChanged, this, update);
  connect(Filter, &QAbstractItemModel::rowsInserted, this, update);
  connect(Filter, &QAbstractItemModel::rowsRemoved, this, update);
}

void TFindingsWindow::SetFindings(const Findings& findings, const fs::path& suggestedCsv) {
  suggestedCsv_ = suggestedCsv;
  Model->SetFindings(findings);
  FitColumns();
  UpdateState();
}

void TFindingsWindow::FitColumns() {
  // Measured on the first rows only, and never wider than a long title.
  Table->horizontalHeader()->setResizeContentsPrecision(200);
  Table->resizeColumnsToContents();
  const int widest = fontMetrics().averageCharWidth() * 40;
  for (int column = 0; column < Filter->columnCount(); ++column) {
    Table->setColumnWidth(column, std::min(Table->columnWidth(column), widest));
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
  });
}
