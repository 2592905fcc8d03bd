#include "capture/ui/BrowserPage.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEngineView>

namespace pintora {

BrowserPage::BrowserPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
    // A new page starts with no dialogs shown and is free to show them again.
    // (loadingChanged, as loadStarted is not told again for a reload that follows a load in
    // which the page's script kept the engine waiting.)
    connect(this, &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
        if (info.status() != QWebEngineLoadingInfo::LoadStartedStatus) return;
        shown_ = 0;
        silenced_ = false;
    });
}

void BrowserPage::javaScriptAlert(const QUrl& origin, const QString& message) {
    ask(Kind::alert, origin, message, nullptr);
}

bool BrowserPage::javaScriptConfirm(const QUrl& origin, const QString& message) {
    // The engine asks "leave this page?" as a confirm of its own words.
    const QString leaving = QCoreApplication::translate(
        "QWebEnginePage",
        "Are you sure you want to leave this page? Changes that you made may not be saved.");
    return ask(message == leaving ? Kind::leave : Kind::confirm, origin, message, nullptr);
}

bool BrowserPage::javaScriptPrompt(const QUrl& origin, const QString& message,
                                   const QString& defaultValue, QString* result) {
    QString text = defaultValue;
    if (!ask(Kind::prompt, origin, message, &text)) return false;
    if (result) *result = text;
    return true;
}

bool BrowserPage::ask(Kind kind, const QUrl& origin, const QString& message, QString* text) {
    QWidget* view = QWebEngineView::forPage(this);
    if (silenced_ || dialog_ || !view || !view->window()) return kind == Kind::alert;
    ++shown_;
    // Made on the heap: the window may close while the question is asked, and take the
    // dialog with it.
    auto* dialog = new QDialog(view->window());
    dialog_ = dialog;
    const QString host = origin.host().isEmpty()
                             ? QStringLiteral("This page")
                             : origin.host() + (origin.port() > 0 ? u':' + QString::number(origin.port())
                                                                   : QString());
    dialog->setWindowTitle(kind == Kind::leave ? QStringLiteral("Leave this page?")
                                              : host + QStringLiteral(" says"));
    dialog->setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(dialog);
    auto* words = new QLabel(kind == Kind::leave ? QStringLiteral("Changes you made may not be saved.")
                                                 : message);
    words->setWordWrap(true);
    words->setTextFormat(Qt::PlainText); // a page's words are never markup
    words->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(words);
    QLineEdit* field = nullptr;
    if (kind == Kind::prompt) {
        field = new QLineEdit(text ? *text : QString());
        field->setAccessibleName(message);
        layout->addWidget(field);
    }
    QCheckBox* silence = nullptr;
    if (shown_ > dialogsBeforeOffer && kind != Kind::leave) {
        silence = new QCheckBox(QStringLiteral("Don't let this page show more dialogs"));
        layout->addWidget(silence);
    }
    auto* buttons = new QDialogButtonBox;
    buttons->addButton(kind == Kind::leave ? QStringLiteral("Leave") : QStringLiteral("OK"),
                       QDialogButtonBox::AcceptRole)
        ->setDefault(true);
    if (kind != Kind::alert)
        buttons->addButton(kind == Kind::leave ? QStringLiteral("Stay") : QStringLiteral("Cancel"),
                           QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    layout->addWidget(buttons);
    // The engine waits for the answer: only this window waits with it.
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!dialog_) return false; // gone with its window
    if (silence && silence->isChecked()) silenced_ = true;
    if (accepted && field && text) *text = field->text();
    delete dialog;
    return accepted;
}

bool BrowserPage::dismissDialog() {
    if (!dialog_) return false;
    dialog_->reject();
    return true;
}

void discardBrowserPage(BrowserPage* page) {
    if (!page) return;
    if (page->dismissDialog()) {
        page->deleteLater(); // its question unwinds first
    } else {
        delete page;
    }
}

} // namespace pintora
