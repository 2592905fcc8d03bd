#pragma once

#include "model/TextStyle.h"

#include <QToolButton>

namespace pintora {

// A button showing a note-card style: its background and border colours in a small rounded
// rectangle, with an accent ring around the current one, which is the checked one.
class NoteStyleSwatch : public QToolButton {
public:
    NoteStyleSwatch(TextStyle style, QWidget* parent);

    TextStyle style() const { return style_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // A click picks the style; the toolbar says which one is current.
    void nextCheckState() override {}

private:
    TextStyle style_;
};

} // namespace pintora
