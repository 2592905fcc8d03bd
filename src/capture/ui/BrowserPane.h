#pragma once

#include <QUuid>
#include <QWidget>

class QLineEdit;
class QStackedWidget;
class QToolButton;
class QUndoStack;
class QWebEngineView;

namespace pintora {

class BrowserController;
class BrowsingHistoryStore;
class LiveMenuButton;
class PintoraDocument;
class TabStrip;
class UserDefaults;

// The capture tab's browser: the tab strip, the address row and the active tab's page, or
// the empty state when no tab is open.
class BrowserPane : public QWidget {
    Q_OBJECT
public:
    BrowserPane(PintoraDocument& document, BrowserController& controller,
                BrowsingHistoryStore& history, UserDefaults& defaults, QWidget* parent = nullptr);

    QLineEdit* addressField() const { return address_; }
    TabStrip* tabStrip() const { return strip_; }
    LiveMenuButton* historyButton() const { return historyButton_; }
    QWidget* emptyState() const { return empty_; }
    QToolButton* backButton() const { return back_; }
    QToolButton* forwardButton() const { return forward_; }
    QToolButton* reloadButton() const { return reload_; }

    void newTab();
    // Loads an address picked from a menu: into the active tab, or a new tab without one.
    void importURL(const QString& text);
    void submit();

private:
    void wireController();
    void sync();
    void showActivePage();
    QUndoStack* undoStack() const;

    PintoraDocument& document_;
    BrowserController& controller_;
    BrowsingHistoryStore& history_;
    UserDefaults& defaults_;
    TabStrip* strip_;
    QToolButton* back_;
    QToolButton* forward_;
    QToolButton* reload_;
    QLineEdit* address_;
    LiveMenuButton* historyButton_;
    QStackedWidget* pages_;
    QWidget* empty_;
    QUuid shownTab_;
};

} // namespace pintora
