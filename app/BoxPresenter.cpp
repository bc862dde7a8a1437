#include "BoxPresenter.h"

#include <future>

#include <QThread>
#include <QWidget>

#include "quenText.h"

namespace {

QString Shown(std::string_view cp932) {
  QString text = QString::fromStdString(quenText::ToUtf8(cp932));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

}  // namespace

TBoxPresenter::TBoxPresenter(QWidget* boxParent)
    : shower_([boxParent](const MessageBoxRequest& box) { return ShowMessageBox(boxParent, box); }),
      poster_([this](std::function<void()> call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
      }) {}

int TBoxPresenter::Present(const MessageBoxRequest& box) {
  if (closing_) return IDOK;
  if (QThread::currentThread() == thread()) return ShowHere(box);
  std::promise<int> answer;
  poster_([&] {
    // A box that fails must still free the worker waiting for it.
    try {
      answer.set_value(ShowHere(box));
    } catch (...) {
      answer.set_exception(std::current_exception());
    }
  });
  return answer.get_future().get();
}

int TBoxPresenter::ShowHere(const MessageBoxRequest& box) {
  if (closing_) return IDOK;
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
  QMessageBox message(IconOf(box.flags), Shown(box.caption), Shown(box.text), QMessageBox::Ok,
                      parent);
  message.setTextFormat(Qt::PlainText);
  if (box.flags & MB_TOPMOST) message.setWindowFlag(Qt::WindowStaysOnTopHint);
  message.exec();
  return IDOK;
}
