#include "RecordView.h"

#include <vector>

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTextBlock>
#include <QVBoxLayout>

#include "AppFonts.h"
#include "RecordContext.h"
#include "RecordFormat.h"
#include "quenText.h"
#include "quenUtil.h"

namespace {

QString Shown(std::string_view cp932) { return QString::fromStdString(quenText::ToUtf8(cp932)); }

std::string FieldText(const std::vector<std::string_view>& fields, std::size_t i) {
  return i < fields.size() ? quenText::ToUtf8(fields[i]) : std::string();
}

QString FieldLabel(std::size_t i) {
  switch (i) {
    case field::kKey:
      return QStringLiteral("%1 キー").arg(i);
    case field::kTitle:
      return QStringLiteral("書名");
    case field::kReading:
      return QStringLiteral("ヨミ");
    case field::kNdc:
      return QStringLiteral("NDC");
    default:
      return QString::number(i);
  }
}

// The edit of a field: nothing while it reads as the run read it.
std::optional<std::string> EditOf(const QLineEdit* edit, const std::string& original) {
  std::string text = edit->text().toStdString();
  if (text == original) return std::nullopt;
  return text;
}

}  // namespace

TRecordView::TRecordView(QWidget* parent, const Finding& finding, const QString& kinds,
                         const std::filesystem::path& sourceFile, Use use)
    : QDialog(parent), line_(finding.text), lineNumber_(finding.line), use_(use) {
  setObjectName(QStringLiteral("fmRecord"));
  setWindowTitle(QStringLiteral("記録の内容"));
  setFont(PGothicFont(12));
  resize(760, 560);
  std::vector<std::string_view> fields;
  quenUtil::SplitView(record::kDelimiter, line_, fields);
  title_ = FieldText(fields, field::kTitle);
  reading_ = FieldText(fields, field::kReading);
  ndc_ = FieldText(fields, field::kNdc);

  lblWhere = new QLabel(QStringLiteral("%1　キー「%2」　%3 %4行目")
                            .arg(kinds, Shown(finding.key),
                                 QString::fromStdString(quenText::FileNameUtf8(finding.file)))
                            .arg(finding.line),
                        this);
  lblWhere->setObjectName(QStringLiteral("lblWhere"));
  lblWhere->setTextInteractionFlags(Qt::TextSelectableByMouse);
  lblUse = new QLabel(this);
  lblUse->setObjectName(QStringLiteral("lblUse"));
  lblUse->setWordWrap(true);
  memContext = new QPlainTextEdit(this);
  memContext->setObjectName(QStringLiteral("memContext"));
  memContext->setReadOnly(true);
  memContext->setLineWrapMode(QPlainTextEdit::NoWrap);
  CreateFieldTable();

  auto* contextLabel = new QLabel(QStringLiteral("前後の行(&L)（書名なし.txtと同じ形）："), this);
  contextLabel->setBuddy(memContext);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblWhere);
  layout->addLayout(CreateEditRows());
  layout->addWidget(lblUse);
  layout->addWidget(tblFields, 1);
  layout->addWidget(contextLabel);
  layout->addWidget(memContext, 1);
  layout->addLayout(CreateButtonRow());
  ShowContext(sourceFile);
  ConnectEdits();
  SetEdits({});
}

void TRecordView::ConnectEdits() {
  for (QLineEdit* edit : {edtTitle, edtReading, edtNdc}) {
    connect(edit, &QLineEdit::textEdited, this, [this] {
      UpdateState();
      emit Changed();
    });
  }
  connect(chkKeep, &QCheckBox::toggled, this, [this] {
    UpdateState();
    emit Changed();
  });
  connect(btnRevert, &QPushButton::clicked, this, [this] {
    SetEdits({});
    emit Changed();
  });
  connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

QLayout* TRecordView::CreateButtonRow() {
  btnRevert = new QPushButton(QStringLiteral("元に戻す(&U)"), this);
  btnRevert->setObjectName(QStringLiteral("btnRevert"));
  btnRevert->setAutoDefault(false);
  btnClose = new QPushButton(QStringLiteral("閉じる(&X)"), this);
  btnClose->setObjectName(QStringLiteral("btnClose"));
  btnClose->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnRevert);
  buttons->addStretch(1);
  buttons->addWidget(btnClose);
  return buttons;
}

QLayout* TRecordView::CreateEditRows() {
  const auto newEdit = [this](const char* name, const std::string& text) {
    auto* edit = new QLineEdit(QString::fromStdString(text), this);
    edit->setObjectName(QLatin1String(name));
    return edit;
  };
  edtTitle = newEdit("edtTitle", title_);
  edtReading = newEdit("edtReading", reading_);
  edtNdc = newEdit("edtNdc", ndc_);
  chkKeep = new QCheckBox(QStringLiteral("このコピーを残す(&K)"), this);
  chkKeep->setObjectName(QStringLiteral("chkKeep"));
  chkKeep->setVisible(use_ == Use::kCopy);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("書名(&T)："), edtTitle);
  form->addRow(QStringLiteral("ヨミ(&Y)："), edtReading);
  form->addRow(QStringLiteral("NDC(&N)："), edtNdc);
  form->addRow(QString(), chkKeep);
  return form;
}

void TRecordView::CreateFieldTable() {
  std::vector<std::string_view> fields;
  quenUtil::SplitView(record::kDelimiter, line_, fields);
  tblFields = new QTableWidget(int(fields.size()), 2, this);
  tblFields->setObjectName(QStringLiteral("tblFields"));
  tblFields->setHorizontalHeaderLabels({QStringLiteral("項目"), QStringLiteral("内容")});
  tblFields->verticalHeader()->hide();
  tblFields->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tblFields->setSelectionBehavior(QAbstractItemView::SelectRows);
  tblFields->horizontalHeader()->setStretchLastSection(true);
  tblFields->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    tblFields->setItem(int(i), 0, new QTableWidgetItem(FieldLabel(i)));
    auto* value = new QTableWidgetItem(Shown(fields[i]));
    value->setToolTip(value->text());
    tblFields->setItem(int(i), 1, value);
  }
  tblFields->resizeColumnToContents(0);
}

void TRecordView::ShowContext(const std::filesystem::path& sourceFile) {
  const std::optional<std::vector<ContextLine>> context =
      ContextOf(sourceFile, Finding{{}, {}, {}, lineNumber_, line_, 0});
  QStringList lines;
  int recordAt = 0;
  if (context) {
    for (const ContextLine& line : *context) {
      if (line.number == lineNumber_) recordAt = int(lines.size());
      lines << Shown(line.text);
    }
  } else {
    // The lines around would not be those the run read.
    lines << Shown(ReportLineOf(lineNumber_, line_))
          << QStringLiteral(
                 "（ファイルが実行の後に変わったか、開けないため、前後の行は出せません）");
  }
  memContext->setPlainText(lines.join(QLatin1Char('\n')));
  QTextEdit::ExtraSelection mark;
  mark.cursor = QTextCursor(memContext->document()->findBlockByNumber(recordAt));
  mark.format.setBackground(palette().highlight().color().lighter(170));
  mark.format.setProperty(QTextFormat::FullWidthSelection, true);
  memContext->setExtraSelections({mark});
  memContext->setTextCursor(mark.cursor);
}

void TRecordView::SetEdits(const RecordEdits& edits) {
  edtTitle->setText(QString::fromStdString(edits.title.value_or(title_)));
  edtReading->setText(QString::fromStdString(edits.reading.value_or(reading_)));
  edtNdc->setText(QString::fromStdString(edits.ndc.value_or(ndc_)));
  UpdateState();
}

RecordEdits TRecordView::Edits() const {
  return {EditOf(edtTitle, title_), EditOf(edtReading, reading_), EditOf(edtNdc, ndc_)};
}

void TRecordView::SetKept(bool kept) {
  const QSignalBlocker quiet(chkKeep);
  chkKeep->setChecked(kept);
  UpdateState();
}

bool TRecordView::Kept() const { return use_ == Use::kCopy && chkKeep->isChecked(); }

void TRecordView::UpdateState() {
  const bool editable = use_ == Use::kCorrect || Kept();
  for (QLineEdit* edit : {edtTitle, edtReading, edtNdc}) edit->setReadOnly(!editable);
  btnRevert->setEnabled(editable && !Edits().empty());
  switch (use_) {
    case Use::kCorrect:
      lblUse->setText(QStringLiteral(
          "直した記録は「再登録用ファイルを保存」で処理後/再登録用.txtに書き出します。"));
      break;
    case Use::kCopy:
      lblUse->setText(Kept() ? QStringLiteral("このコピーを再登録用.txtに書き出します。")
                             : QStringLiteral("残すコピーを選ぶと、書名・ヨミ・NDCを直せます。"));
      break;
    case Use::kImported:
      lblUse->setText(QStringLiteral("この記録は取込用.txtに出力済みのため、ここでは直せません。"));
      break;
  }
}
