#include "window/ui/DocumentWindow.h"

#include "app/Drafts.h"
#include "app/Recovery.h"
#include "canvas/ui/CanvasPane.h"
#include "model/PintoraDocument.h"
#include "platform/ui/Symbols.h"
#include "window/ui/ContentView.h"

#include <QAction>
#include <QApplication>
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
// The draft is written once the changes pause this long, and at the latest this long after
// the first change it does not hold yet.
constexpr int draftPauseMs = 1500;
constexpr int draftLatestMs = 8000;
const QString fileFilter = QStringLiteral("Pintora documents (*.pintora)");
const QString fileSuffix = QStringLiteral(".pintora");
} // namespace

DocumentWindow::DocumentWindow(PintoraDocument* document, const QString& filePath,
                               UserDefaults& defaults, ItemClipboard& clipboard, QWidget* parent)
    : QMainWindow(parent), document_(document), filePath_(filePath),
      recovery_(std::make_unique<RecoveryCopy>(drafts::directory())),
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
    draftTimer_.setSingleShot(true);
    connect(&draftTimer_, &QTimer::timeout, this, &DocumentWindow::writeDraftLater);
    connect(document_, &PintoraDocument::stateChanged, this, &DocumentWindow::changed);
    connect(contentView_->canvasPane(), &CanvasPane::textTyped, this, &DocumentWindow::changed);
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

bool DocumentWindow::refersTo(const QString& path) const {
    if (filePath_.isEmpty() || path.isEmpty()) return false;
    const QFileInfo mine(filePath_), other(path);
    const QString canonical = mine.canonicalFilePath();
    if (!canonical.isEmpty()) return canonical == other.canonicalFilePath();
    return mine.absoluteFilePath() == other.absoluteFilePath();
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
    recovery_->adopt(draftPath);
    // Edited with nothing to undo: no undo step can make it look saved again.
    document_->undoStack()->resetClean();
    updateTitle();
}

bool DocumentWindow::revertToSaved() {
    if (filePath_.isEmpty() || !document_->readFromFile(filePath_).isEmpty()) return false;
    document_->undoStack()->clear();
    document_->undoStack()->setClean(); // a restored draft had no clean point at all
    removeDraft();
    updateTitle();
    return true;
}

QString DocumentWindow::draftPath() const {
    return recovery_->path();
}

void DocumentWindow::removeDraft() {
    draftTimer_.stop();
    unkeptSince_.invalidate();
    recovery_->remove();
}

void DocumentWindow::waitForDraft() const {
    recovery_->waitForWrites();
}

void DocumentWindow::setDraftsDirectory(const QString& directory) {
    const QString adopted = recovery_->path();
    recovery_ = std::make_unique<RecoveryCopy>(directory);
    if (!adopted.isEmpty()) recovery_->adopt(adopted);
}

void DocumentWindow::changed() {
    if (!unkeptSince_.isValid()) unkeptSince_.start();
    // Typing on and on still gets its draft, at the latest a few seconds after it began.
    if (!draftTimer_.isActive() || unkeptSince_.elapsed() < draftLatestMs)
        draftTimer_.start(std::max(0, std::min<int>(draftPauseMs,
                                                    draftLatestMs - int(unkeptSince_.elapsed()))));
}

void DocumentWindow::writeDraftLater() {
    unkeptSince_.invalidate();
    const CanvasPane* canvas = contentView_->canvasPane();
    if (!isEdited() && !canvas->isEditingText()) {
        forgetDraftIfNothingUnsaved();
        return;
    }
    // As it is shown: words in an open editor too, without ending the edit.
    recovery_->writeLater(canvas->stateAsShown(), filePath_);
}

bool DocumentWindow::saveTo(const QString& path) {
    // Two windows on one file would overwrite each other's work.
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        const auto* other = qobject_cast<DocumentWindow*>(widget);
        if (!other || other == this || !other->refersTo(path)) continue;
        QMessageBox::warning(this, tr("Pintora"),
                             tr("“%1” is open in another window. Close it there first, or save "
                                "under another name.")
                                 .arg(QFileInfo(path).fileName()));
        return false;
    }
    takeInWhatIsShown();
    const QString error = document_->writeToFile(path);
    if (!error.isEmpty()) {
        QMessageBox::warning(this, tr("Pintora"),
                             tr("The document “%1” could not be saved.\n\n%2")
                                 .arg(QFileInfo(path).fileName(), error));
        return false;
    }
    filePath_ = QFileInfo(path).absoluteFilePath();
    cleanIsDraft_ = false;
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

QString DocumentWindow::writeDraft(const QString& failedSave) {
    draftTimer_.stop();
    takeInWhatIsShown();
    const QString error = recovery_->writeNow(document_->snapshot(), filePath_, failedSave);
    // An untitled document marked saved at quit is saved in its draft alone.
    if (error.isEmpty() && filePath_.isEmpty()) cleanIsDraft_ = true;
    return error;
}

void DocumentWindow::forgetDraftIfNothingUnsaved() {
    if (isEdited() || (filePath_.isEmpty() && cleanIsDraft_)) return;
    removeDraft();
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
    } else if (!quitting_) {
        forgetDraftIfNothingUnsaved(); // a draft of what is saved would only come back
    }
    if (appeared_) contentView_->disappear();
    appeared_ = false;
    event->accept();
    emit closed();
}

} // namespace pintora
