// How quickly the findings window answers with many findings: builds
// synthetic findings (repeated keys in groups, blank titles, long NDC
// numbers) and times decoding them into the model, opening the window,
// sorting by two columns and filtering, each until the window has painted.
//
//   textcnv-findings-bench [COUNT]   (100000 by default)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>

#include "FindingsModel.h"
#include "FindingsWindow.h"
#include "quenText.h"

using Clock = std::chrono::steady_clock;

namespace {

std::string Line(std::size_t n, const std::string& key, const std::string& title,
                 const std::string& ndc) {
  std::string line = std::to_string(20260000 + n % 10000000) + "\t1\t" + key + "\t" + title +
                     "\tショメイ" + std::to_string(n) + "\t著者\t出版社\t2026\t100p\t" + ndc;
  for (int field = 10; field < 25; ++field) line += "\t-";
  return quenText::FromUtf8(line);
}

// Seven findings in ten are copies of repeated keys (two to five copies),
// two a blank title, one a long NDC number.
Findings Synthetic(std::size_t count) {
  Findings findings;
  findings.Reserve(count);
  std::size_t group = 0;
  while (findings.size() < count) {
    const std::size_t n = findings.size();
    const std::string key = "978-4-" + std::to_string(100000 + n);
    const std::string file = "取込" + std::to_string(n % 7) + ".txt";
    if (n % 10 < 7) {
      const std::size_t copies = std::min<std::size_t>(2 + group % 4, count - n);
      ++group;
      for (std::size_t c = 0; c < copies; ++c) {
        findings.Add(FindingKind::kDuplicateKey, file, (n * 7 + c) % 50000 + 1,
                     Line(n + c, key, "書名その" + std::to_string(n), "913.6"), copies);
      }
    } else if (n % 10 < 9) {
      findings.Add(FindingKind::kTitleBlank, file, n % 50000 + 1, Line(n, key, "", "913.6"));
    } else {
      findings.Add(FindingKind::kNdcLength, file, n % 50000 + 1,
                   Line(n, key, "分類の長い本", "913.612345678"));
    }
  }
  return findings;
}

template <typename Step>
double TimeMs(Step&& step) {
  const Clock::time_point start = Clock::now();
  step();
  QCoreApplication::processEvents();  // until the window has painted
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;
  const Findings findings = Synthetic(count);

  TFindingsModel model;
  const double decode = TimeMs([&] { model.SetFindings(findings); });

  TFindingsWindow window(nullptr);
  const double open = TimeMs([&] {
    window.SetFindings(findings, {});
    window.show();
  });
  QTableView* table = window.Table;
  const double byTitle =
      TimeMs([&] { table->sortByColumn(TFindingsModel::kTitleColumn, Qt::AscendingOrder); });
  const double byLine =
      TimeMs([&] { table->sortByColumn(TFindingsModel::kLineColumn, Qt::DescendingOrder); });
  const double byText = TimeMs([&] { window.edtFilter->setText(QStringLiteral("その12")); });
  const double shownByText = window.Filter->rowCount();
  const double cleared = TimeMs([&] { window.edtFilter->clear(); });
  const double byKind = TimeMs([&] { window.cmbKind->setCurrentIndex(1); });

  std::printf("Findings window, %zu findings (times in ms, each until painted):\n", count);
  std::printf("  decode into the model     %8.1f\n", decode);
  std::printf("  open the window           %8.1f\n", open);
  std::printf("  sort by 書名              %8.1f\n", byTitle);
  std::printf("  sort by 行 (descending)   %8.1f\n", byLine);
  std::printf("  filter \"その12\"           %8.1f  (%.0f rows shown)\n", byText, shownByText);
  std::printf("  clear the filter          %8.1f\n", cleared);
  std::printf("  only 重複キー             %8.1f\n", byKind);
  return 0;
}
