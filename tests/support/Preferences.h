#pragma once

#include "platform/UserDefaults.h"

#include <QSettings>
#include <QTemporaryDir>

namespace pintora::test {

// Preferences in a settings file of the test's own, in a folder it can use for anything else.
struct Preferences {
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat};
    UserDefaults defaults{&settings};
};

} // namespace pintora::test
