#include "NewAction.h"

#include <QAction>
#include <QWidget>

QAction* NewAction(QObject* owner, QWidget* target, const char* name, const QString& caption,
                   const QKeySequence& key, Qt::ShortcutContext context) {
  auto* action = new QAction(caption, owner);
  action->setObjectName(QLatin1String(name));
  if (!key.isEmpty()) action->setShortcut(key);
  action->setShortcutContext(context);
  target->addAction(action);
  return action;
}
