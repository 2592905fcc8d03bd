#include "window/ui/DocumentWindow.h"

#include "app/Drafts.h"
#include "canvas/ui/CanvasPane.h"
#include "model/PintoraDocument.h"
#include "platform/ui/Symbols.h"
#include "window/ui/ContentView.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>

namespace pintora {

namespace {
constexpr QSize defaultWindowSize{1280, 800};
constexpr QSize minimumContentSize{1000, 650};
const QString fileFilter = QStringLiteral("Pintora documents (*.pintora)");
const QString fileSuffix = QStringLiteral(".pintora");
} // namespace

DocumentWindow::DocumentWindow(PintoraDocument* document, const QString& filePath,
                               UserDefaults& defaults, ItemClipboard& clipboard, QWidget* parent)
    : QMainWindow(parent), document_(document), filePath_(filePath),
      contentView_(new ContentView(document, defaults, clipboard)),
      tabSwitch_(new QActionGroup(this)) {
    document_->setParent(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setCentralWidget(contentView_);
    contentView_->setMinimumSize(minimumContentSize);

    // The tab switch sits at the trailing end of the window's toolbar.
    auto* toolbar = addToolBar(tr("Tabs"));
    toolbar->setObjectName(QStringLiteral("tabToolbar"));
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    const QKeySequence keys[] = {QKeySequence(Qt::CTRL | Qt::Key_1),
                                 QKeySequence(Qt::CTRL | Qt::Key_2)};
    for (AppTab tab : allAppTabs) {
        QAction* action = toolbar->addAction(symbolIcon(symbol(tab)), title(tab));
        action->setCheckable(true);
        action->setShortcut(keys[int(tab)]);
        action->setData(int(tab));
        action->setChecked(tab == contentView_->activeTab());
        tabSwitch_->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, tab] { contentView_->setActiveTab(tab); });
    }
    connect(contentView_, &ContentView::activeTabChanged, this,
            [this](AppTab tab) { tabSwitch_->actions().at(int(tab))->setChecked(true); });

    resize(defaultWindowSize);
    updateTitle();
    connect(document_->undoStack(), &QUndoStack::cleanChanged, this,
            [this] { setWindowModified(isEdited()); });
}

DocumentWindow::~DocumentWindow() {
    // The document goes with the base class, after this part of the window is gone.
    disconnect(document_->undoStack(), nullptr, this, nullptr);
}

void DocumentWindow::takeInWhatIsShown() {
    if (!appeared_) return;
    contentView_->canvasPane()->endTextEditing();
    contentView_->storeView();
}

bool DocumentWindow::isEdited() const {
    return document_->isEdited();
}

QString DocumentWindow::displayName() const {
    return filePath_.isEmpty() ? tr("Untitled") : QFileInfo(filePath_).fileName();
}

void DocumentWindow::updateTitle() {
    // "[*]" is where Qt shows the modified marker.
    setWindowTitle(displayName() + QStringLiteral("[*]"));
    setWindowFilePath(filePath_);
    setWindowModified(isEdited());
}

void DocumentWindow::adoptDraft(const QString& draftPath) {
    draftPath_ = draftPath;
    // Edited with nothing to undo: no undo step can make it look saved again.
    document_->undoStack()->resetClean();
    updateTitle();
}

void DocumentWindow::removeDraft() {
    if (draftPath_.isEmpty()) return;
    QFile::remove(draftPath_);
    draftPath_.clear();
}

bool DocumentWindow::saveTo(const QString& path) {
    takeInWhatIsShown();
    const QString error = document_->writeToFile(path);
    if (!error.isEmpty()) {
        QMessageBox::warning(this, tr("Pintora"),
                             tr("The document “%1” could not be saved.\n\n%2")
                                 .arg(QFileInfo(path).fileName(), error));
        return false;
    }
    filePath_ = QFileInfo(path).absoluteFilePath();
    document_->undoStack()->setClean();
    removeDraft(); // the work now lives in its own file
    updateTitle();
    return true;
}

bool DocumentWindow::save() {
    return filePath_.isEmpty() ? saveAs() : saveTo(filePath_);
}

bool DocumentWindow::saveAs() {
    const QString start =
        filePath_.isEmpty() ? QDir::home().filePath(displayName() + fileSuffix) : filePath_;
    QString path = QFileDialog::getSaveFileName(this, tr("Save As"), start, fileFilter);
    if (path.isEmpty()) return false;
    if (QFileInfo(path).suffix().isEmpty()) path += fileSuffix;
    return saveTo(path);
}

QString DocumentWindow::writeDraft(const QString& directory) {
    const QString path = draftPath_.isEmpty() ? drafts::newPath(directory) : draftPath_;
    takeInWhatIsShown();
    const QString error = document_->writeToFile(path);
    if (error.isEmpty()) draftPath_ = path;
    return error;
}

void DocumentWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (appeared_) return;
    appeared_ = true;
    contentView_->appear();
}

void DocumentWindow::closeEvent(QCloseEvent* event) {
    takeInWhatIsShown(); // words still in an open editor count as an edit
    if (!quitting_ && isEdited()) {
        QMessageBox box(QMessageBox::Warning, tr("Pintora"),
                        tr("Do you want to save the changes you made to “%1”?").arg(displayName()),
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
        box.setInformativeText(tr("Your changes will be lost if you don’t save them."));
        box.button(QMessageBox::Discard)->setText(tr("Don’t Save"));
        box.setDefaultButton(QMessageBox::Save);
        box.setWindowModality(Qt::WindowModal);
        const int answer = box.exec();
        if (answer == QMessageBox::Cancel || (answer == QMessageBox::Save && !save())) {
            event->ignore();
            return;
        }
        if (answer == QMessageBox::Discard) removeDraft(); // the user let this work go
    }
    if (appeared_) contentView_->disappear();
    appeared_ = false;
    event->accept();
    emit closed();
}

} // namespace pintora
