#include "FixedFrame.h"

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

#include <QGuiApplication>
#include <QWidget>

namespace {

// _MOTIF_WM_HINTS as window managers read them: flags, functions,
// decorations, input mode, status.
constexpr std::uint32_t kHasFunctions = 1u << 0;
constexpr std::uint32_t kHasDecorations = 1u << 1;
constexpr std::uint32_t kMove = 1u << 2;
constexpr std::uint32_t kMinimize = 1u << 3;
constexpr std::uint32_t kClose = 1u << 5;
constexpr std::uint32_t kBorder = 1u << 1;
constexpr std::uint32_t kTitle = 1u << 3;
constexpr std::uint32_t kMenu = 1u << 4;
constexpr std::uint32_t kMinimizeButton = 1u << 5;

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};

}  // namespace

void OfferNoResizing(QWidget& window) {
  // The offscreen platform answers for X11 too, with no window there.
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return;
  auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) return;
  xcb_connection_t* connection = x11->connection();
  // Qt writes its own hints when it makes the native window, so it comes first.
  const auto id = static_cast<xcb_window_t>(window.winId());
  static constexpr char kName[] = "_MOTIF_WM_HINTS";
  const std::unique_ptr<xcb_intern_atom_reply_t, FreeReply> atom(xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, sizeof kName - 1, kName), nullptr));
  if (!atom) return;
  const std::uint32_t hints[5] = {kHasFunctions | kHasDecorations, kMove | kMinimize | kClose,
                                  kBorder | kTitle | kMenu | kMinimizeButton, 0, 0};
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom->atom, atom->atom, 32, 5, hints);
  xcb_flush(connection);
}
