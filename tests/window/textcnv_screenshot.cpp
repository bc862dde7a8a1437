// textcnv-screenshot FOLDER OUTPUT.png [FINDINGS.png]: builds the main
// window, confirms FOLDER as if chosen in the folder browser, runs the
// conversion with its boxes answered unseen (their texts go to stderr),
// saves a picture of the window and ends; with FINDINGS.png it also saves
// the findings window opened over the main window. Exit status 1 when
// FOLDER has nothing to convert or a picture cannot be saved. Used by
// scripts/screenshot.sh under Xvfb.
#include <cstdio>
#include <optional>

#include <QAction>
#include <QFileInfo>
#include <QTimer>

#include "FindingsShot.h"
#include "PathText.h"
#include "TopLevel.h"
#include "fmain.h"
#include "quenText.h"

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: textcnv-screenshot FOLDER OUTPUT.png [FINDINGS.png]\n");
    return 2;
  }
  const std::filesystem::path folder =
      ToPath(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
  const QString output = QString::fromLocal8Bit(argv[2]);
  const QString findings = argc == 4 ? QString::fromLocal8Bit(argv[3]) : QString();

  TfmMain window;
  window.SetFolderChooser([folder] { return std::optional(folder); });
  window.Presenter().SetShower([](const MessageBoxRequest& box) {
    std::fprintf(stderr, "%s\n", quenText::ToUtf8(box.text).c_str());
    return IDOK;
  });
  QObject::connect(&window, &TfmMain::RunEnded, &window, [&window, output, findings] {
    const bool saved = window.grab().save(output, "PNG");
    if (!saved) std::fprintf(stderr, "cannot save %s\n", qPrintable(output));
    if (!saved || findings.isEmpty()) {
      QCoreApplication::exit(saved ? 0 : 1);
      return;
    }
    SaveFindingsShot(window, findings);
  });
  window.show();
  QTimer::singleShot(0, &window, [&window] {
    window.actSrcFolderSelect->trigger();
    if (!window.actConvStart->isEnabled()) {
      std::fprintf(stderr, "nothing to convert\n");
      QCoreApplication::exit(1);
      return;
    }
    window.actConvStart->trigger();
  });
  return app.exec();
}
