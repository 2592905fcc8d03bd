#pragma once

#include <QString>
#include <optional>

namespace pintora {

// The rules of the size popover's two fields.
namespace sizeField {

// An optional sign and digits within 64 bits, nothing else.
std::optional<qint64> parseInteger(const QString& text);
// The field's text after one arrow step of `direction` (+1 or -1): ten points up or down from
// the typed value, or from the stored one when the text is no integer; never below 1.
QString step(const QString& text, double stored, int direction);
// The size a field's text commits on Return: a whole number of at least 1, else none.
std::optional<double> committed(const QString& text);

} // namespace sizeField
} // namespace pintora
