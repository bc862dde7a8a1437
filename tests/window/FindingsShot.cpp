#include "FindingsShot.h"

#include <cstdio>

#include <QAction>
#include <QCoreApplication>
#include <QItemSelectionModel>
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

QImage Composed(TfmMain& window, TFindingsWindow& findings) {
  const QRect main(QPoint(0, 0), window.size());
  const QRect over(kOffset, findings.size());
  QImage image(main.united(over.adjusted(-1, -1, 5, 5)).size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.drawPixmap(main.topLeft(), window.grab());
  // A soft shadow and a border set the window apart from the one below.
  painter.fillRect(over.translated(4, 4), QColor(0, 0, 0, 60));
  painter.drawPixmap(over.topLeft(), findings.grab());
  painter.setPen(QColor(0x60, 0x60, 0x60));
  painter.drawRect(over.adjusted(-1, -1, 0, 0));
  return image;
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
  // Painted once before the picture is taken.
  QTimer::singleShot(300, findings, [&window, findings, path] {
    const bool saved = Composed(window, *findings).save(path, "PNG");
    if (!saved) std::fprintf(stderr, "cannot save %s\n", qPrintable(path));
    QCoreApplication::exit(saved ? 0 : 1);
  });
}
