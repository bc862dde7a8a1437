// The splash window: its size, style and picture.
#include <QLabel>
#include <QScreen>
#include <QtTest>

#include "fSplash.h"

class WindowSplashTest : public QObject {
  Q_OBJECT

 private slots:
  void isPaintedWhiteWithABlackFrame_data();
  void isPaintedWhiteWithABlackFrame();
  void showNowShowsItWithAllOfItsText();
};

void WindowSplashTest::isPaintedWhiteWithABlackFrame_data() {
  QTest::addColumn<QPoint>("pixel");
  QTest::addColumn<QColor>("colour");
  QTest::newRow("outer corner") << QPoint(0, 0) << QColor(Qt::black);
  QTest::newRow("inner corner") << QPoint(1, 1) << QColor(Qt::black);
  QTest::newRow("far corner") << QPoint(355, 179) << QColor(Qt::black);
  QTest::newRow("far inner corner") << QPoint(354, 178) << QColor(Qt::black);
  QTest::newRow("right edge") << QPoint(355, 90) << QColor(Qt::black);
  QTest::newRow("inside the frame") << QPoint(2, 2) << QColor(Qt::white);
  QTest::newRow("middle") << QPoint(178, 60) << QColor(Qt::white);
  QTest::newRow("before the far corner") << QPoint(353, 177) << QColor(Qt::white);
}

void WindowSplashTest::isPaintedWhiteWithABlackFrame() {
  QFETCH(QPoint, pixel);
  QFETCH(QColor, colour);
  TfmSplash splash;
  const QImage picture = splash.grab().toImage();
  QCOMPARE(picture.size(), QSize(356, 180));
  QCOMPARE(QColor(picture.pixel(pixel)), colour);
}

void WindowSplashTest::showNowShowsItWithAllOfItsText() {
  TfmSplash splash;
  splash.lblProcess->setText(QStringLiteral("起動しています…"));
  QVERIFY(!splash.isVisible());
  splash.ShowNow();
  QVERIFY(splash.isVisible());
  QCOMPARE(splash.lblProcess->text(), QStringLiteral("起動しています…"));
  QCOMPARE(splash.lblProcess->size(), splash.lblProcess->sizeHint());
}

QTEST_MAIN(WindowSplashTest)
#include "window_splash_test.moc"
