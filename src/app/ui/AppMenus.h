#pragma once

namespace pintora {

class DocumentWindow;
class PintoraApp;

// The menu bar of a document window. Document commands post to the command bus, so every
// window acts on its own document; the standard edits go to a focused text input first.
class AppMenus {
public:
    static void install(DocumentWindow* window, PintoraApp& app);
};

} // namespace pintora
