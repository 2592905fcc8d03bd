#pragma once

#include <QColor>
#include <QList>
#include <QString>

namespace pintora {

// A named list of named colours, as the colour picker's palette grid pages through them.
struct ColorList {
    QString name; // may be empty: the grid then titles it by its position
    struct Entry {
        QString name;
        QColor color;
    };
    QList<Entry> entries;
};

// The colour lists shipped with the application, in the order the grid shows them.
const QList<ColorList>& builtInColorLists();

} // namespace pintora
