#pragma once

#include "canvas/CanvasContext.h"

#include <QSizeF>
#include <QString>
#include <QUuid>
#include <optional>

namespace pintora {

namespace actionName {
inline const QString editText = QStringLiteral("Edit Text");
inline const QString deleteText = QStringLiteral("Delete Text");
} // namespace actionName

// Editing one text item in place: the frame grows live as the text grows, and the end of the
// edit becomes one step, or removes a text that holds nothing but white space.
class TextEditSession {
public:
    // Room a note card's margins take around its text, from its font size.
    static double cardChrome(double fontSize);

    void begin(const PintoraDocument& document, const QUuid& id);
    // The editor's text and its measured size (text plus insets) after every change.
    void liveChange(PintoraDocument& document, const QUuid& id, const QString& string,
                    QSizeF measuredSize);
    // Ends the edit of `id`; returns true when the text was removed for being blank.
    bool commit(CanvasContext& context, const QUuid& id);

    std::optional<QUuid> editingId() const { return editingId_; }
    // The editor's words as last typed; none before the first change.
    std::optional<QString> liveString() const { return liveString_; }
    bool isEditing(const QUuid& id) const { return editingId_ == id; }

private:
    std::optional<QUuid> editingId_;
    QString original_;
    std::optional<QString> liveString_;
};

} // namespace pintora
