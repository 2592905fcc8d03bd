#pragma once

#include "model/TextStyle.h"

#include <QToolButton>

namespace pintora {

// A button showing a note-card style: its background and border colours in a small rounded
// rectangle, with an accent ring around the current one.
class NoteStyleSwatch : public QToolButton {
public:
    NoteStyleSwatch(TextStyle style, bool current, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TextStyle style_;
    bool current_;
};

} // namespace pintora
