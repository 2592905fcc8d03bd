#pragma once

#include <QPointer>
#include <QDialog>
#include <QWebEnginePage>


namespace pintora {

// A browser tab's page. Its alerts, confirms, prompts and "leave this page?" questions are
// asked in a dialog over its own window only (window-modal), so other windows, their close
// buttons and Quit stay live; from the third dialog since the page loaded the user may stop
// the page from showing more, which then read as cancelled until the next page loads.
class BrowserPage : public QWebEnginePage {
    Q_OBJECT
public:
    static constexpr int dialogsBeforeOffer = 2;

    BrowserPage(QWebEngineProfile* profile, QObject* parent);

    QDialog* openDialog() const { return dialog_; }
    // Answers the open dialog, if any, as cancelled: for a page about to go.
    bool dismissDialog();

protected:
    void javaScriptAlert(const QUrl& origin, const QString& message) override;
    bool javaScriptConfirm(const QUrl& origin, const QString& message) override;
    bool javaScriptPrompt(const QUrl& origin, const QString& message, const QString& defaultValue,
                          QString* result) override;

private:
    enum class Kind { alert, confirm, prompt, leave };
    bool ask(Kind kind, const QUrl& origin, const QString& message, QString* text);

    QPointer<QDialog> dialog_;
    int shown_ = 0; // since the page loaded
    bool silenced_ = false;
};

// Deletes a tab's page: later when it is still asking its question, which deeper in the
// call stack waits for its answer.
void discardBrowserPage(BrowserPage* page);

} // namespace pintora
