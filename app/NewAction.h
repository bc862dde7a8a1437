// NewAction: how the windows make their actions. An action belongs to owner
// (its lifetime) and is added to target, whose keyboard reaches its shortcut:
// anywhere in target's window by default, only while target has the focus
// with Qt::WidgetShortcut.
#pragma once

#include <QKeySequence>
#include <QString>

class QAction;
class QObject;
class QWidget;

QAction* NewAction(QObject* owner, QWidget* target, const char* name, const QString& caption,
                   const QKeySequence& key = {}, Qt::ShortcutContext context = Qt::WindowShortcut);
