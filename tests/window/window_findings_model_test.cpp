// The findings table behind the findings window: its rows and columns, the
// sort of each column and the filter by text and kind.
#include <QtTest>

#include "FindingsModel.h"
#include "WindowTestSupport.h"
#include "quenText.h"

namespace {

void Duplicate(Findings& to, const char* key, std::size_t line, std::size_t copies,
               const char* title = "本") {
  to.Add(FindingKind::kDuplicateKey, "a.txt", line, RecordLine(int(line), key, title, "ホン"),
         copies);
}

void Other(Findings& to, FindingKind kind, const char* key, const char* file, std::size_t line,
           const char* title, const char* reading, const char* ndc = "913.6") {
  to.Add(kind, file, line, RecordLine(int(line), key, title, reading, ndc));
}

// Two groups of copies (one with keys differing in case), a blank title and
// a long NDC number.
Findings Sample() {
  Findings f;
  Duplicate(f, "K-2", 100, 3);
  Duplicate(f, "k-2", 9, 3, "Abc");
  Duplicate(f, "K-2", 12, 3);
  Other(f, FindingKind::kTitleBlank, "B-1", "b.txt", 10, "", "ヨミ");
  Duplicate(f, "A-1", 2, 2);
  Duplicate(f, "A-1", 30, 2);
  Other(f, FindingKind::kNdcLength, "N-1", "メモ.txt", 7, "分類", "ブンルイ", "123456789012");
  return f;
}

QStringList Column(const QAbstractItemModel& model, int column) {
  QStringList cells;
  for (int row = 0; row < model.rowCount(); ++row) {
    cells << model.index(row, column).data().toString();
  }
  return cells;
}

}  // namespace

class FindingsModelTest : public QObject {
  Q_OBJECT

 private slots:
  void rowsShowEachFindingsCells();
  void sortOrdersEachColumn_data();
  void sortOrdersEachColumn();
  void filterNarrowsByTextAndKind_data();
  void filterNarrowsByTextAndKind();
  void shownFindingsFollowTheFilterAndTheSort();
  void copiesStandInFileAndLineOrder();
  void markedRowsShowInTheMarkFont();
};

void FindingsModelTest::rowsShowEachFindingsCells() {
  TFindingsModel model;
  model.SetFindings(Sample());
  QCOMPARE(model.rowCount(), 7);
  QCOMPARE(model.columnCount(), 7);
  QStringList header;
  for (int c = 0; c < model.columnCount(); ++c) {
    header << model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
  }
  QCOMPARE(header, QStringList({"種類", "キー", "書名", "ヨミ", "NDC", "ファイル", "行"}));
  const auto row = [&](int r) {
    QStringList cells;
    for (int c = 0; c < model.columnCount(); ++c) cells << model.index(r, c).data().toString();
    return cells;
  };
  QCOMPARE(row(2), QStringList({"重複キー（3件）", "K-2", "本", "ホン", "913.6", "a.txt", "100"}));
  QCOMPARE(row(6),
           QStringList({"ＮＤＣ桁数", "N-1", "分類", "ブンルイ", "123456789012", "メモ.txt", "7"}));
}

void FindingsModelTest::sortOrdersEachColumn_data() {
  QTest::addColumn<int>("column");
  QTest::addColumn<int>("order");
  QTest::addColumn<QStringList>("lines");
  // By number, not as text ("100" after "30").
  QTest::newRow("line") << int(TFindingsModel::kLineColumn) << int(Qt::AscendingOrder)
                        << QStringList({"2", "7", "9", "10", "12", "30", "100"});
  QTest::newRow("line descending") << int(TFindingsModel::kLineColumn) << int(Qt::DescendingOrder)
                                   << QStringList({"100", "30", "12", "10", "9", "7", "2"});
  // Keys that differ only in case stand together, in the findings' order.
  QTest::newRow("key") << int(TFindingsModel::kKeyColumn) << int(Qt::AscendingOrder)
                       << QStringList({"2", "30", "10", "9", "12", "100", "7"});
  // Kind first, then the number of copies.
  QTest::newRow("kind") << int(TFindingsModel::kKindColumn) << int(Qt::AscendingOrder)
                        << QStringList({"2", "30", "9", "12", "100", "10", "7"});
  // No column: the findings' own order, copies by line, even with the
  // header's last order.
  QTest::newRow("none") << -1 << int(Qt::DescendingOrder)
                        << QStringList({"9", "12", "100", "10", "2", "30", "7"});
}

void FindingsModelTest::sortOrdersEachColumn() {
  QFETCH(int, column);
  QFETCH(int, order);
  QFETCH(QStringList, lines);
  TFindingsModel model;
  model.SetFindings(Sample());
  TFindingsFilter filter;
  filter.setSourceModel(&model);
  // Sorted by another column first: ties must not keep that order.
  filter.sort(TFindingsModel::kLineColumn, Qt::DescendingOrder);
  filter.sort(column, Qt::SortOrder(order));
  QCOMPARE(Column(filter, TFindingsModel::kLineColumn), lines);
}

void FindingsModelTest::filterNarrowsByTextAndKind_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("kind");  // -1: all kinds
  QTest::addColumn<QStringList>("lines");
  QTest::newRow("key, any case") << QStringLiteral("k-2") << -1 << QStringList({"9", "12", "100"});
  QTest::newRow("title, any case") << QStringLiteral("aBC") << -1 << QStringList({"9"});
  QTest::newRow("file name") << QStringLiteral("メモ") << -1 << QStringList({"7"});
  QTest::newRow("line number") << QStringLiteral("30") << -1 << QStringList({"30"});
  QTest::newRow("kind text") << QStringLiteral("空白") << -1 << QStringList({"10"});
  QTest::newRow("across two cells") << QStringLiteral("K-2本") << -1 << QStringList();
  QTest::newRow("kind only") << QString() << int(FindingKind::kDuplicateKey)
                             << QStringList({"9", "12", "100", "2", "30"});
  QTest::newRow("kind and text") << QStringLiteral("A-1") << int(FindingKind::kDuplicateKey)
                                 << QStringList({"2", "30"});
  QTest::newRow("text of another kind")
      << QStringLiteral("B-1") << int(FindingKind::kDuplicateKey) << QStringList();
}

void FindingsModelTest::filterNarrowsByTextAndKind() {
  QFETCH(QString, text);
  QFETCH(int, kind);
  QFETCH(QStringList, lines);
  TFindingsModel model;
  model.SetFindings(Sample());
  TFindingsFilter filter;
  filter.setSourceModel(&model);
  filter.SetText(text);
  filter.SetKind(kind < 0 ? std::nullopt : std::optional(FindingKind(kind)));
  QCOMPARE(Column(filter, TFindingsModel::kLineColumn), lines);
  // Lifted again, everything is back.
  filter.SetText(QString());
  filter.SetKind(std::nullopt);
  QCOMPARE(filter.rowCount(), 7);
}

void FindingsModelTest::shownFindingsFollowTheFilterAndTheSort() {
  TFindingsModel model;
  model.SetFindings(Sample());
  TFindingsFilter filter;
  filter.setSourceModel(&model);
  filter.SetKind(FindingKind::kDuplicateKey);
  filter.sort(TFindingsModel::kLineColumn, Qt::AscendingOrder);
  QStringList lines;
  for (const Finding& f : filter.ShownFindings()) lines << QString::number(f.line);
  QCOMPARE(lines, QStringList({"2", "9", "12", "30", "100"}));
  QCOMPARE(std::string(filter.ShownFindings()[0].text), std::string(Sample()[4].text));
}

void FindingsModelTest::copiesStandInFileAndLineOrder() {
  // As the run lists them: the later copy in the merged files first.
  Findings run;
  for (const auto& [file, line] : {std::pair{"b.txt", 1}, {"a.txt", 9}, {"a.txt", 5}}) {
    run.Add(FindingKind::kDuplicateKey, file, std::size_t(line),
            RecordLine(line, "D-1", "本", "ホン"), 3);
  }
  Other(run, FindingKind::kTitleBlank, "B-1", "a.txt", 3, "", "ヨミ");
  Duplicate(run, "E-1", 8, 2);
  Duplicate(run, "E-1", 4, 2);
  TFindingsModel model;
  model.SetFindings(run);
  QStringList places;
  for (int row = 0; row < model.rowCount(); ++row) {
    places << model.Cell(row, TFindingsModel::kFileColumn).toString() + QLatin1Char(':') +
                  model.Cell(row, TFindingsModel::kLineColumn).toString();
  }
  QCOMPARE(places, QStringList({"a.txt:5", "a.txt:9", "b.txt:1", "a.txt:3", "a.txt:4", "a.txt:8"}));
  using Copies = std::pair<int, int>;
  QCOMPARE(model.CopiesOf(1), Copies(0, 3));
  QCOMPARE(model.CopiesOf(3), Copies(3, 1));
  QCOMPARE(model.CopiesOf(5), Copies(4, 2));
  QCOMPARE(model.AllFindings()[0].line, std::size_t(5));
}

void FindingsModelTest::markedRowsShowInTheMarkFont() {
  TFindingsModel model;
  model.SetFindings(Sample());
  QFont bold;
  bold.setBold(true);
  model.SetMarkFont(bold);
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  model.SetMarked(3, true);
  QCOMPARE(changed.size(), 1);
  QCOMPARE(model.index(3, 1).data(Qt::FontRole).value<QFont>(), bold);
  QVERIFY(!model.index(2, 1).data(Qt::FontRole).isValid());
  model.SetMarked(3, false);
  QVERIFY(!model.index(3, 1).data(Qt::FontRole).isValid());
}

QTEST_MAIN(FindingsModelTest)
#include "window_findings_model_test.moc"
