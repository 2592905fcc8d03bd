#pragma once

#include "model/ItemClipboard.h"

#include <QStringList>

namespace pintora {

// The desktop's clipboard (on X11, the CLIPBOARD selection).
class SystemClipboard : public ItemClipboard {
public:
    void writeItems(const QByteArray& json) override;
    QByteArray readItems() const override;
    QList<QImage> readImages() const override;
    QList<QUrl> readFileURLs() const override;

    // The formats on offer, without the X11 selection machinery (TARGETS, MULTIPLE...).
    static QStringList dataFormats(const QStringList& offered);
};

} // namespace pintora
