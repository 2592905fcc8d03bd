#pragma once

#include <QMainWindow>

class QTabWidget;

namespace pintora {

class PintoraDocument;

// One window per document: its capture and annotate tabs.
class DocumentWindow : public QMainWindow {
    Q_OBJECT
public:
    // Takes ownership of the document; `filePath` is empty for an untitled one.
    DocumentWindow(PintoraDocument* document, const QString& filePath, QWidget* parent = nullptr);

    PintoraDocument* document() const { return document_; }
    QString filePath() const { return filePath_; }

private:
    void updateTitle();

    PintoraDocument* document_;
    QString filePath_;
    QTabWidget* tabs_;
};

} // namespace pintora
