#pragma once

#include <QString>
#include <QStringList>

namespace pintora {

// Untitled documents written at quit, reopened at the next launch.
namespace drafts {

inline const QString extension = QStringLiteral("pintora");

// "Drafts" in the application's data folder (the temporary folder when there is none);
// not created here.
QString directory();

// The draft files in `directory` in name order: only the exact extension counts. Empty when
// the folder cannot be listed.
QStringList list(const QString& directory);

// A fresh file name in `directory`: a new UUID in upper case and the extension.
QString newPath(const QString& directory);

} // namespace drafts
} // namespace pintora
