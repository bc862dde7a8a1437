// How responsive the window stays during a run: the main window, offscreen,
// converts one generated folder while a timer on the GUI thread measures how
// long the event loop is kept from it, and how often the log and the
// progress bar move.
//
//   textcnv-window-bench FOLDER
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include <QAction>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>

#include "TopLevel.h"
#include "fmain.h"

using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The longest quiet spell between events, the run's start and end included.
double LongestGap(std::vector<Clock::time_point> events, Clock::time_point start,
                  Clock::time_point end) {
  events.insert(events.begin(), start);
  events.push_back(end);
  double longest = 0;
  for (std::size_t i = 1; i < events.size(); ++i) {
    longest = std::max(longest, Ms(events[i] - events[i - 1]));
  }
  return longest;
}

}  // namespace

int main(int argc, char** argv) {
  // Offscreen unless a display is asked for (xvfb-run sets one).
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  TApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: textcnv-window-bench FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];

  TfmMain window;
  window.SetFolderChooser([folder] { return std::optional(folder); });
  window.Presenter().SetShower([](const MessageBoxRequest&) { return MBox::kIdOk; });
  window.show();
  window.ui.actSrcFolderSelect->trigger();

  // Ticks every 5 ms; a late tick is time the operator could not use.
  std::vector<double> tickGaps;
  Clock::time_point lastTick;
  Clock::time_point worstStart;  // where in the run the longest stall began
  double worstGap = -1;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const Clock::time_point now = Clock::now();
    tickGaps.push_back(Ms(now - lastTick));
    if (tickGaps.back() > worstGap) {
      worstGap = tickGaps.back();
      worstStart = lastTick;
    }
    lastTick = now;
  });

  std::vector<Clock::time_point> progressMoves, logMoves;
  QObject::connect(window.ui.progBar, &QProgressBar::valueChanged,
                   [&] { progressMoves.push_back(Clock::now()); });
  QObject::connect(window.ui.Memo1, &QPlainTextEdit::textChanged,
                   [&] { logMoves.push_back(Clock::now()); });

  Clock::time_point start, end;
  QObject::connect(&window, &TfmMain::RunEnded, [&] {
    end = Clock::now();
    ticker.stop();
    QCoreApplication::quit();
  });
  QTimer::singleShot(0, [&] {
    start = lastTick = Clock::now();
    ticker.start(5);
    window.ui.actConvStart->trigger();
  });
  app.exec();

  std::sort(tickGaps.begin(), tickGaps.end());
  const double p99 = tickGaps.empty() ? 0 : tickGaps[tickGaps.size() * 99 / 100];
  const double worst = tickGaps.empty() ? 0 : tickGaps.back();
  std::printf("window run: %.2f s; event loop: longest stall %.0f ms, 99th percentile %.1f ms\n",
              Ms(end - start) / 1000, worst, p99);
  std::printf("longest stall began %.2f s into the run; <= 50 ms: %s\n",
              Ms(worstStart - start) / 1000, worst <= 50 ? "holds" : "FAILS");
  std::printf(
      "progress bar moved %zu times (longest still %.0f ms), log %zu times (longest "
      "still %.0f ms)\n",
      progressMoves.size(), LongestGap(progressMoves, start, end), logMoves.size(),
      LongestGap(logMoves, start, end));
  return 0;
}
