#pragma once

class QWidget;

namespace pintora {

// The text field, text view or web page that holds the keyboard, if any: it gets the standard
// edit commands before the canvas does.
class FocusedText {
public:
    enum class Edit { cut, copy, paste, remove, selectAll };

    // Whether `widget` takes typed text (fields, text views, spin boxes, web pages).
    static bool isTextInput(const QWidget* widget);
    // The focused text input of the application, or null.
    static QWidget* current();
    // Hands the edit to the focused text input as its standard key; false when there is none.
    static bool perform(Edit edit);
};

} // namespace pintora
