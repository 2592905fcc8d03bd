#include "picker/ColorPickerModel.h"

#include <algorithm>

namespace pintora {

std::optional<QString> ColorPickerModel::submittedHex() const {
    qsizetype start = 0, end = hexInput_.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (start < end && blank(hexInput_[start]))
        ++start;
    while (end > start && blank(hexInput_[end - 1]))
        --end;
    if (start == end) return std::nullopt;
    return hexInput_.mid(start, end - start);
}

void ColorPickerModel::previousPalette() {
    paletteIndex_ = std::max(paletteIndex_ - 1, 0);
}

void ColorPickerModel::nextPalette() {
    paletteIndex_ = std::min(paletteIndex_ + 1, int(lists_.size()) - 1);
}

QString ColorPickerModel::paletteTitle() const {
    if (paletteIndex_ >= lists_.size()) return {};
    const QString& name = lists_[paletteIndex_].name;
    return name.isEmpty() ? QStringLiteral("Palette %1").arg(paletteIndex_ + 1) : name;
}

QList<QList<ColorList::Entry>> ColorPickerModel::rows() const {
    QList<QList<ColorList::Entry>> rows;
    if (paletteIndex_ < 0 || paletteIndex_ >= lists_.size()) return rows;
    const QList<ColorList::Entry>& entries = lists_[paletteIndex_].entries;
    for (qsizetype i = 0; i < std::min<qsizetype>(entries.size(), maxEntries); ++i) {
        if (!entries[i].color.isValid()) continue;
        if (rows.isEmpty() || rows.last().size() == columns) rows.append(QList<ColorList::Entry>());
        rows.last().append(entries[i]);
    }
    return rows;
}

} // namespace pintora
