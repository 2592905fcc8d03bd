#pragma once

#include "picker/Palettes.h"

#include <QList>
#include <QString>
#include <optional>

namespace pintora {

// What the colour picker's popover shows and how it reads its field: the hex text being typed
// (the preview follows it) and which colour list the grid shows.
class ColorPickerModel {
public:
    static constexpr int maxEntries = 60;
    static constexpr int columns = 10;

    ColorPickerModel(QString hexInput, QList<ColorList> lists)
        : hexInput_(std::move(hexInput)), lists_(std::move(lists)) {}

    const QString& hexInput() const { return hexInput_; }
    void setHexInput(const QString& text) { hexInput_ = text; }

    // The text Return writes: the field without blanks (spaces and tabs) at either end, unless
    // nothing is left. It is not checked: a text that is no colour is written as it stands.
    std::optional<QString> submittedHex() const;

    int paletteIndex() const { return paletteIndex_; }
    void previousPalette();
    void nextPalette();
    bool hasHeader() const { return lists_.size() >= 2; }
    bool canGoBack() const { return paletteIndex_ > 0; }
    bool canGoForward() const { return paletteIndex_ < lists_.size() - 1; }
    QString paletteTitle() const;

    // The colours of the shown list, at most 60, in rows of 10.
    QList<QList<ColorList::Entry>> rows() const;

private:
    QString hexInput_;
    QList<ColorList> lists_;
    int paletteIndex_ = 0;
};

} // namespace pintora
