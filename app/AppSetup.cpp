#include "AppSetup.h"

#include <memory>

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// Qt's Japanese catalogue, plus the words of file types (the browser's type
// column): Qt 6 moved those to a context this catalogue does not have yet,
// while it still has them under the file dialog's.
class QtJapanese : public QTranslator {
 public:
  bool Load() {
    return qtbase_.load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  }
  bool isEmpty() const override { return qtbase_.isEmpty(); }
  QString translate(const char* context, const char* source, const char* disambiguation,
                    int n) const override {
    if (qstrcmp(context, "QAbstractFileIconProvider") == 0) context = "QFileDialog";
    return qtbase_.translate(context, source, disambiguation, n);
  }

 private:
  QTranslator qtbase_;
};

}  // namespace

void SetUpApplication(QApplication& app) {
  // Without Qt's catalogue installed its words stay English; the program
  // still works, so a failed load is not an error.
  auto qtWords = std::make_unique<QtJapanese>();
  if (qtWords->Load()) {
    qtWords->setParent(&app);
    QApplication::installTranslator(qtWords.release());
  }
  QApplication::setWindowIcon(ProgramIcon());
}

QIcon ProgramIcon() { return QIcon(QStringLiteral(":/textcnv/textcnv.svg")); }
