#include "BoxPresenter.h"

#include <algorithm>
#include <future>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QWidget>

#include "quenText.h"

namespace {

QString Decoded(std::string_view cp932) { return QString::fromStdString(quenText::ToUtf8(cp932)); }

QString Shown(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

// Written Japanese may break a line after these; a path or a word never
// breaks inside.
bool BreaksAfter(QChar c) { return c == u'、' || c == u'。' || c == u' '; }

// Breaks a line wider than maxWidth after its last 、, 。 or space that keeps
// the part within maxWidth, else after its first; a part with none stays
// whole.
QStringList BreakLine(const QString& line, const QFontMetrics& metrics, int maxWidth) {
  QStringList parts;
  QString rest = line;
  while (metrics.horizontalAdvance(rest) > maxWidth) {
    int fits = -1;
    int first = -1;
    for (int i = 0; i + 1 < rest.size(); ++i) {
      if (!BreaksAfter(rest[i])) continue;
      if (first < 0) first = i + 1;
      if (metrics.horizontalAdvance(rest.left(i + 1)) > maxWidth) break;
      fits = i + 1;
    }
    const int cut = fits > 0 ? fits : first;
    if (cut < 0) break;
    parts << rest.left(cut);
    rest = rest.mid(cut);
  }
  parts << rest;
  return parts;
}

// Room beside a caption in a title bar: the window manager's icon and its
// buttons. A box narrower than its caption and these gets it elided.
constexpr int kTitleBarExtras = 160;

// Makes the box as wide as its widest line, up to two thirds of the screen,
// so that Qt's own wrapping (anywhere in Japanese text) has nothing to do;
// and never so narrow that its caption cannot be read in full.
void FitText(QMessageBox& box) {
  auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
  if (label == nullptr) return;
  const QScreen* screen = box.screen();
  const int maxWidth = (screen ? screen->availableGeometry().width() : 1024) * 2 / 3;
  const QFontMetrics metrics = label->fontMetrics();
  QStringList lines;
  for (const QString& line : box.text().split(QLatin1Char('\n'))) {
    lines << BreakLine(line, metrics, maxWidth);
  }
  int widest = 0;
  for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
  box.setText(lines.join(QLatin1Char('\n')));
  const int caption = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar"))
                          .horizontalAdvance(box.windowTitle());
  // What the box has beside its label (its icon, margins) counts towards it.
  const int besides = std::max(0, box.sizeHint().width() - label->sizeHint().width());
  label->setMinimumWidth(
      std::min(std::max(widest + 1, caption + kTitleBarExtras - besides), maxWidth));
}

// A 「コピー」 button that puts text on the clipboard (and closes the box,
// as every button of a box does).
void OfferCopy(QMessageBox& box, const std::string& utf8) {
  QPushButton* copy = box.addButton(QStringLiteral("コピー"), QMessageBox::ActionRole);
  copy->setObjectName(QStringLiteral("copyButton"));
  QObject::connect(copy, &QPushButton::clicked, &box, [text = QString::fromStdString(utf8)] {
    QGuiApplication::clipboard()->setText(text);
  });
}

}  // namespace

TBoxPresenter::TBoxPresenter(QWidget* boxParent)
    : shower_(
          [boxParent](const MessageBoxRequest& box) { return ShowMessageBox(boxParent, box); }) {}

int TBoxPresenter::Present(const MessageBoxRequest& box) {
  if (closing_) return MBox::kIdOk;
  if (QThread::currentThread() == thread()) return ShowHere(box);
  emit handingOver();
  std::promise<int> answer;
  QMetaObject::invokeMethod(
      this,
      [&] {
        // A box that fails must still free the worker waiting for it.
        try {
          answer.set_value(ShowHere(box));
        } catch (...) {
          answer.set_exception(std::current_exception());
        }
      },
      Qt::QueuedConnection);
  return answer.get_future().get();
}

int TBoxPresenter::ShowHere(const MessageBoxRequest& box) {
  if (closing_) return MBox::kIdOk;
  return shower_(box);
}

QMessageBox::Icon IconOf(unsigned flags) {
  switch (flags & 0xF0u) {
    case 0x10:
      return QMessageBox::Critical;
    case 0x20:
      return QMessageBox::Question;
    case 0x30:
      return QMessageBox::Warning;
    case 0x40:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

int ShowMessageBox(QWidget* parent, const MessageBoxRequest& box) {
  QMessageBox message(IconOf(box.flags), Shown(Decoded(box.caption)),
                      Shown(QString::fromStdString(box.Utf8Text())), QMessageBox::Ok, parent);
  message.setTextFormat(Qt::PlainText);
  // A path in an error can be selected and copied, with the mouse or the
  // keyboard (Ctrl+A, Ctrl+C).
  message.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  if (!box.copyText.empty()) OfferCopy(message, box.copyText);
  message.setDefaultButton(QMessageBox::Ok);
  FitText(message);
  if (box.flags & MBox::kTopmost) message.setWindowFlag(Qt::WindowStaysOnTopHint);
  message.exec();
  return MBox::kIdOk;
}
