// What every window program of TextCnv sets up once its application object
// exists: Qt's own words (dialog columns, tooltips, context menus) in
// Japanese whatever the user's locale, and the program's icon, which is
// built in so the program has it even when run from the build tree.
#pragma once

#include <QIcon>

class QApplication;

void SetUpApplication(QApplication& app);
QIcon ProgramIcon();
