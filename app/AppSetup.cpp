#include "AppSetup.h"

#include <memory>

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

void SetUpApplication(QApplication& app) {
  // Without Qt's catalogue installed its words stay English; the program
  // still works, so a failed load is not an error.
  auto qtWords = std::make_unique<QTranslator>();
  if (qtWords->load(QStringLiteral("qtbase_ja"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    qtWords->setParent(&app);
    QApplication::installTranslator(qtWords.release());
  }
  QApplication::setWindowIcon(ProgramIcon());
}

QIcon ProgramIcon() { return QIcon(QStringLiteral(":/textcnv/textcnv.svg")); }
