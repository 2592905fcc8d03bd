#pragma once

#include <QString>
#include <QUuid>

namespace pintora {

// A named page size at which the capture tab renders a web page.
struct ViewportPreset {
    QUuid id = QUuid::createUuid();
    QString name;
    double width = 0;
    double height = 0;
    bool enabled = true;

    bool operator==(const ViewportPreset&) const = default;
};

} // namespace pintora
