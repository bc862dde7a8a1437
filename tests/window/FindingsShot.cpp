#include "FindingsShot.h"

#include <cstdio>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPainter>
#include <QTableView>
#include <QTimer>

#include "FindingsModel.h"
#include "FindingsWindow.h"
#include "ViewMenu.h"
#include "fmain.h"

namespace {

// Where the findings window stands, from the main window's top left.
const QPoint kOffset(150, 200);
const QSize kFindingsSize(820, 390);

const QSize kRecordSize(640, 470);

// A soft shadow and a border set a window apart from the one below.
void DrawOver(QPainter& painter, const QRect& over, QWidget& widget) {
  painter.fillRect(over.translated(4, 4), QColor(0, 0, 0, 60));
  painter.drawPixmap(over.topLeft(), widget.grab());
  painter.setPen(QColor(0x60, 0x60, 0x60));
  painter.drawRect(over.adjusted(-1, -1, 0, 0));
}

QImage Composed(TfmMain& window, TFindingsWindow& findings, QWidget* record = nullptr) {
  const QRect main(QPoint(0, 0), window.size());
  const QRect over(kOffset, findings.size());
  QRect area = main.united(over.adjusted(-1, -1, 5, 5));
  QRect recordAt;
  if (record != nullptr) {
    recordAt = QRect(QPoint(0, 0), record->size());
    recordAt.moveCenter(over.center());
    area = area.united(recordAt.adjusted(-1, -1, 5, 5));
  }
  QImage image(area.size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.translate(-area.topLeft());
  painter.drawPixmap(main.topLeft(), window.grab());
  DrawOver(painter, over, findings);
  if (record != nullptr) DrawOver(painter, recordAt, *record);
  return image;
}

bool Save(const QImage& image, const QString& path) {
  const bool saved = image.save(path, "PNG");
  if (!saved) std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
  return saved;
}

// The first blank title opened, its title typed as an input method
// commits it.
QWidget* OpenBlankTitle(TFindingsWindow& findings) {
  for (int row = 0; row < findings.Filter->rowCount(); ++row) {
    const std::size_t at =
        std::size_t(findings.Filter->mapToSource(findings.Filter->index(row, 0)).row());
    if (findings.Model->AllFindings().Kind(at) != FindingKind::kTitleBlank) continue;
    findings.Table->selectRow(row);
    findings.OpenRecord(row);
    TRecordView* view = findings.RecordView();
    if (view == nullptr) return nullptr;
    view->resize(kRecordSize);
    view->edtTitle->setFocus();
    view->edtTitle->selectAll();
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("坊っちゃん"));
    QApplication::sendEvent(view->edtTitle, &commit);
    return view;
  }
  return nullptr;
}

}  // namespace

void SaveFindingsShot(TfmMain& window, const QString& path) {
  window.ViewMenu->actFindingsList->trigger();
  TFindingsWindow* findings = window.ViewMenu->FindingsWindow();
  if (findings == nullptr) {
    std::fprintf(stderr, "the findings window did not open\n");
    QCoreApplication::exit(1);
    return;
  }
  findings->resize(kFindingsSize);
  findings->move(window.pos() + kOffset);
  // The two copies of the first repeated key, selected.
  const Findings shown = findings->Filter->ShownFindings();
  for (std::size_t row = 0; row + 1 < shown.size(); ++row) {
    if (shown[row].kind != FindingKind::kDuplicateKey) continue;
    for (const std::size_t selected : {row, row + 1}) {
      findings->Table->selectionModel()->select(
          findings->Filter->index(int(selected), 0),
          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    break;
  }
  // Painted once before each picture is taken.
  QTimer::singleShot(300, findings, [&window, findings, path] {
    if (!Save(Composed(window, *findings), path)) return QCoreApplication::exit(1);
    QWidget* record = OpenBlankTitle(*findings);
    if (record == nullptr) {
      std::fprintf(stderr, "no blank title to open\n");
      return QCoreApplication::exit(1);
    }
    const QString correction = QFileInfo(path).absolutePath() + QStringLiteral("/correction.png");
    QTimer::singleShot(300, record, [&window, findings, record, correction] {
      QCoreApplication::exit(Save(Composed(window, *findings, record), correction) ? 0 : 1);
    });
  });
}
