#include "window/ui/ContentView.h"

#include "canvas/CanvasController.h"
#include "canvas/CanvasSummary.h"
#include "canvas/DecodedImageCache.h"
#include "canvas/ui/CanvasPane.h"
#include "capture/AppPresetsStore.h"
#include "capture/BatchCapture.h"
#include "capture/BrowsingHistoryStore.h"
#include "capture/ui/BrowserController.h"
#include "capture/ui/BrowserPane.h"
#include "capture/ui/CapturePresetsSidebar.h"
#include "capture/ui/WebCaptureEngine.h"
#include "export/ui/AnnotateToolbar.h"
#include "model/ItemClipboard.h"
#include "model/PintoraDocument.h"
#include "platform/CommandBus.h"
#include "platform/UserDefaults.h"
#include "window/ui/IntroSheet.h"
#include "window/ui/NoticeBar.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace pintora {

namespace {
constexpr int fitRetryMs = 30;

void clearKeyboardFocus(QWidget* window) {
    if (!window) return;
    if (QWidget* focus = window->focusWidget()) focus->clearFocus();
}
} // namespace

ContentView::ContentView(PintoraDocument* document, UserDefaults& defaults,
                         ItemClipboard& clipboard, QWidget* parent)
    : QWidget(parent), document_(document), defaults_(defaults), clipboard_(clipboard),
      canvasController_(new CanvasController(this)), stack_(new QStackedWidget(this)),
      capturePane_(new QWidget), annotatePane_(new QWidget),
      toolbar_(new AnnotateToolbar(*document, *canvasController_, defaults)),
      canvasPane_(new CanvasPane(*document, *canvasController_, defaults)),
      browser_(new BrowserController(this)),
      browserPane_(new BrowserPane(*document, *browser_, BrowsingHistoryStore::shared(), defaults)),
      sidebar_(new CapturePresetsSidebar(AppPresetsStore::shared(), defaults)),
      noticeBar_(new NoticeBar) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stack_);
    auto* annotate = new QVBoxLayout(annotatePane_);
    annotate->setContentsMargins(0, 0, 0, 0);
    annotate->setSpacing(0);
    annotate->addWidget(toolbar_);
    annotate->addWidget(noticeBar_);
    annotate->addWidget(canvasPane_, 1);
    auto* capture = new QHBoxLayout(capturePane_);
    capture->setContentsMargins(0, 0, 0, 0);
    capture->setSpacing(0);
    capture->addWidget(browserPane_, 1);
    capture->addWidget(sidebar_);
    connect(sidebar_, &CapturePresetsSidebar::captureAllRequested, this, &ContentView::captureAll);
    connect(sidebar_, &CapturePresetsSidebar::cancelRequested, this, &ContentView::cancelCapture);
    useCaptureEngine();

    // The window owns the tool and the selection; the toolbar and the canvas follow them and
    // report what they change.
    connect(toolbar_, &AnnotateToolbar::toolPicked, this, &ContentView::setTool);
    connect(canvasPane_, &CanvasPane::toolChanged, this, &ContentView::setTool);
    connect(canvasPane_, &CanvasPane::noticeRequested, noticeBar_, &NoticeBar::setText);
    connect(canvasPane_, &CanvasPane::selectionChanged, this,
            [this](const Selection& selection) { setSelection(selection); });
    connect(this, &ContentView::toolChanged, this, [this](Tool tool) {
        toolbar_->setTool(tool);
        canvasPane_->setTool(tool);
    });
    connect(this, &ContentView::selectionChanged, this, [this] {
        toolbar_->setSelection(selection_);
        canvasPane_->setSelection(selection_);
        describeCanvas();
    });
    canvasPane_->setAccessibleName(tr("Canvas"));
    connect(document_, &PintoraDocument::stateChanged, this, &ContentView::describeCanvas);
    describeCanvas();
    connect(toolbar_, &AnnotateToolbar::fitRequested, this,
            [this] { canvasController_->fitToContent(document_->state()); });
    connect(toolbar_, &AnnotateToolbar::exportRequested, this, &ContentView::exportPNG);
    connect(canvasPane_, &CanvasPane::picturesPlaced, this, [this] {
        setActiveTab(AppTab::annotate);
        fitWhenCanvasReady(fitAttempts);
    });
    connect(canvasPane_, &CanvasPane::cropRequested, this, &ContentView::openCropEditor);
    captureBrowserWindow_ = [this](quint32 id) { captureBrowserWindow(id); };
    // Both tabs live side by side in the stack, so a hidden one keeps its state.
    stack_->addWidget(capturePane_);
    stack_->addWidget(annotatePane_);
    connect(&CommandBus::shared(), &CommandBus::posted, this, &ContentView::handleCommand);
}

ContentView::~ContentView() {
    if (keyFilterInstalled_) qApp->removeEventFilter(this);
    // The batch drives the engine: it goes first; every web view goes before the application.
    delete batch_;
    delete captureEngine_;
    captureBrowser_.reset();
    delete browser_;
}

QUndoStack* ContentView::undoStack() const {
    return document_->undoStack();
}

QWidget* ContentView::annotatePane() const {
    return annotatePane_;
}

void ContentView::setTool(Tool tool) {
    if (tool_ == tool) return;
    tool_ = tool;
    emit toolChanged(tool);
}

void ContentView::setSelection(Selection selection) {
    if (selection == selection_) return;
    selection_ = std::move(selection);
    emit selectionChanged();
}

void ContentView::setActiveTab(AppTab tab) {
    if (tab == activeTab_) return;
    // This window only: another one may be in the middle of typing a note. A control outside
    // the pane that goes (the tab picker) keeps the keyboard.
    QWidget* leaving = activeTab_ == AppTab::capture ? capturePane_ : annotatePane_;
    if (QWidget* focus = window()->focusWidget(); focus && leaving->isAncestorOf(focus))
        focus->clearFocus();
    activeTab_ = tab;
    stack_->setCurrentIndex(tab == AppTab::capture ? 0 : 1);
    // Remembering the tab is not an edit of the document: no undo step.
    CanvasState state = document_->state();
    state.lastActiveTabRaw = rawValue(tab);
    document_->setState(std::move(state));
    if (tab == AppTab::annotate && !didFitOnFirstView_ && hasItems()) {
        didFitOnFirstView_ = true;
        fitWhenCanvasReady(fitAttempts);
    }
    emit activeTabChanged(tab);
}

void ContentView::describeCanvas() {
    // Told to a screen reader as the canvas's description, which Qt announces as it changes.
    const QString description = canvasDescription(document_->state(), selection_.size());
    if (canvasPane_->accessibleDescription() != description)
        canvasPane_->setAccessibleDescription(description);
}

void ContentView::appear() {
    const CanvasState& state = document_->state();
    std::optional<AppTab> tab;
    if (state.lastActiveTabRaw) tab = appTabFromRaw(*state.lastActiveTabRaw);
    if (!tab) tab = appTabFromRaw(defaults_.defaultTab());
    if (tab) {
        // The first fit below is the only one this appearance makes.
        if (*tab == AppTab::annotate && hasItems()) didFitOnFirstView_ = true;
        setActiveTab(*tab);
    }
    canvasController_->takeView(state);
    if (!keyFilterInstalled_) {
        qApp->installEventFilter(this);
        keyFilterInstalled_ = true;
    }
    if (!defaults_.hasSeenIntro()) showIntro();
    if (const QString unshown = unshownPictures(state); !unshown.isEmpty())
        noticeBar_->setText(unshown);
    QTimer::singleShot(0, this, [this] { clearKeyboardFocus(window()); });
    if (activeTab_ == AppTab::annotate && hasItems()) {
        didFitOnFirstView_ = true;
        fitWhenCanvasReady(fitAttempts);
    }
}

void ContentView::storeView() {
    const CanvasState& current = document_->state();
    CanvasState state = current;
    canvasController_->storeView(state);
    if (state.zoom == current.zoom && state.panX == current.panX && state.panY == current.panY) {
        return;
    }
    document_->setState(std::move(state));
}

void ContentView::disappear() {
    // The view is kept with the next save, but is no edit of its own.
    storeView();
    if (keyFilterInstalled_) {
        qApp->removeEventFilter(this);
        keyFilterInstalled_ = false;
    }
}

void ContentView::showIntro() {
    if (introSheet_) return;
    introSheet_ = new IntroSheet(this);
    connect(introSheet_, &IntroSheet::getStarted, this,
            [this] { defaults_.setHasSeenIntro(true); });
    // Escape closes it too, but only "Get Started" keeps it from coming back.
    connect(introSheet_, &QDialog::finished, this, [this] {
        introSheet_->deleteLater();
        introSheet_ = nullptr;
    });
    // As a sheet over the window, once the window is up.
    QTimer::singleShot(0, introSheet_, &IntroSheet::open);
}

void ContentView::fitWhenCanvasReady(int attempts) {
    QTimer::singleShot(0, this, [this, attempts] {
        const QSizeF size = canvasController_->viewportSize();
        if (size.width() > 0 && size.height() > 0) {
            canvasController_->fitToContent(document_->state());
        } else if (attempts > 0) {
            QTimer::singleShot(fitRetryMs, this,
                               [this, attempts] { fitWhenCanvasReady(attempts - 1); });
        }
    });
}

} // namespace pintora
