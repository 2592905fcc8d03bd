#include "window/ContentView.h"

#include "canvas/CanvasController.h"
#include "canvas/CanvasPane.h"
#include "capture/AddressText.h"
#include "capture/AppPresetsStore.h"
#include "capture/BatchCapture.h"
#include "capture/BrowserController.h"
#include "capture/BrowserPane.h"
#include "capture/BrowserTabEdits.h"
#include "capture/BrowsingHistoryStore.h"
#include "capture/CapturePresetsSidebar.h"
#include "capture/WebCaptureEngine.h"
#include "export/AnnotateToolbar.h"
#include "export/ExportCommand.h"
#include "export/PngRenderer.h"
#include "model/ItemClipboard.h"
#include "model/PintoraDocument.h"
#include "platform/CommandBus.h"
#include "platform/UserDefaults.h"
#include "platform/X11WindowCapture.h"
#include "shapes/CropEditorDialog.h"
#include "shapes/ItemToolbarEdits.h"
#include "window/CapturePlacement.h"
#include "window/FocusedText.h"
#include "window/IntroSheet.h"
#include "window/NoticeBar.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QNativeGestureEvent>
#include <QPointer>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWheelEvent>
#include <future>

namespace pintora {

namespace {
constexpr int fitAttempts = 20;
constexpr int fitRetryMs = 30;
constexpr double nudgeStep = 1;
constexpr double shiftNudgeStep = 10;

// One notch of a mouse wheel (120 units) counts as 20 points: a Ctrl-notch zooms by 20 %.
constexpr double pointsPerNotch = 20;

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
      browser_(new BrowserController(this)), captureEngine_(new WebCaptureEngine(this)),
      batch_(new BatchCapture(*captureEngine_, this)),
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
    connect(batch_, &BatchCapture::pageCut, this,
            [this](const ViewportPreset& preset, double height) {
                const QString message = BatchCapture::cutMessage(preset, height);
                sidebar_->addCaptureNotice(message);
                captureNotices_ << message;
            });

    // The window owns the tool and the selection; the toolbar and the canvas follow them and
    // report what they change.
    connect(toolbar_, &AnnotateToolbar::toolPicked, this, &ContentView::setTool);
    connect(canvasPane_, &CanvasPane::toolChanged, this, &ContentView::setTool);
    connect(canvasPane_, &CanvasPane::selectionChanged, this,
            [this](const Selection& selection) { setSelection(selection); });
    connect(this, &ContentView::toolChanged, this, [this](Tool tool) {
        toolbar_->setTool(tool);
        canvasPane_->setTool(tool);
    });
    connect(this, &ContentView::selectionChanged, this, [this] {
        toolbar_->setSelection(selection_);
        canvasPane_->setSelection(selection_);
    });
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

void ContentView::exportPNG() {
    pintora::exportPNG(window(), document_->state());
}

void ContentView::copyAsPNG() {
    // The selected items alone, framed as an export of them would be; else the whole canvas.
    CanvasState state = document_->state();
    if (!selection_.isEmpty()) {
        state.items.removeIf([this](const CanvasItem& item) {
            return !selection_.contains(item.id());
        });
    }
    const std::optional<QByteArray> png = renderPNG(state);
    if (!png) return;
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("image/png"), *png);
    mime->setImageData(QImage::fromData(*png, "PNG"));
    QGuiApplication::clipboard()->setMimeData(mime);
}

void ContentView::openCropEditor(const QUuid& id) {
    const CanvasItem* item = findItem(document_->state(), id);
    if (!item || !item->image()) return;
    auto* dialog = new CropEditorDialog(*item->image(), window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // "Done" crops the item as it is then, found again by its id.
    connect(dialog, &QDialog::accepted, this,
            [this, dialog, id] { applyCrop(*document_, undoStack(), id, dialog->crop()); });
    dialog->open();
}

void ContentView::captureBrowserWindow(quint32 windowId) {
    const windowCapture::CaptureResult result = windowCapture::capture(windowId);
    if (const auto* image = std::get_if<QImage>(&result)) {
        const std::optional<CapturePicture> picture = capturePicture(*image);
        if (!picture) return;
        Selection selection = selection_;
        if (!placeCaptures(*document_, undoStack(), selection, {*picture}, std::nullopt,
                           canvasController_->viewportCenterInCanvas())) {
            return;
        }
        setSelection(selection);
        setActiveTab(AppTab::annotate);
        fitWhenCanvasReady(fitAttempts);
        return;
    }
    // What the user can do about each failure, in this desktop's terms.
    const windowCapture::CaptureError& error = std::get<windowCapture::CaptureError>(result);
    QString detail;
    if (std::holds_alternative<windowCapture::NoAccess>(error)) {
        detail = QStringLiteral(
            "Pintora captures other windows through the X11 display server, and none is "
            "available. Log in to an X11 session, or start Pintora under XWayland, and try "
            "again.");
    } else if (std::holds_alternative<windowCapture::NoBrowserWindow>(error)) {
        detail = QStringLiteral(
            "No browser window was found. Open a page in Firefox, Google Chrome, Chromium, "
            "Brave, Microsoft Edge, or Vivaldi and try again.");
    } else {
        detail = QStringLiteral("The system returned no image. ") +
                 std::get<windowCapture::CaptureFailed>(error).detail;
    }
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Pintora"),
                                QStringLiteral("Couldn't capture browser window"), QMessageBox::Ok,
                                window());
    box->setInformativeText(detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool ContentView::isFrontWindow() const {
    return QApplication::activeWindow() == window();
}

bool ContentView::hasItems() const {
    return !document_->state().items.isEmpty();
}

void ContentView::setActiveTab(AppTab tab) {
    if (tab == activeTab_) return;
    clearKeyboardFocus(QApplication::activeWindow());
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

void ContentView::closeCaptureTab() {
    const qint64 index = activeTabIndex(*document_);
    if (activeTab_ != AppTab::capture || index < 0) return;
    browser_->discardTab(document_->state().tabs[index].id);
    closeTab(*document_, undoStack(), index);
}

void ContentView::setCaptureProgress(std::optional<CaptureProgress> progress) {
    captureProgress_ = progress;
    sidebar_->setCaptureProgress(progress);
    emit captureProgressChanged();
}

void ContentView::captureAll() {
    if (batch_->isRunning()) return;
    QList<ViewportPreset> presets;
    for (const ViewportPreset& preset : AppPresetsStore::shared().presets())
        if (preset.enabled) presets.append(preset);
    if (presets.isEmpty()) {
        browser_->captureSnapshot([this](const QImage& image) {
            if (image.isNull()) return;
            if (auto picture = capturePicture(image)) placePictures({*picture});
        });
        return;
    }
    const qint64 index = activeTabIndex(*document_);
    if (index < 0) return;
    const auto stored = urlForStoredAddress(document_->state().tabs[index].url);
    if (!stored) return;
    const QUrl url = *stored;
    setCaptureProgress(CaptureProgress{0, int(presets.size())});
    sidebar_->clearCaptureNotices();
    captureNotices_.clear();
    noticeBar_->setText(QString());
    const bool fullPage = defaults_.captureFullPage();
    // Pictures are encoded as they arrive, while the next preset loads.
    auto results = std::make_shared<QList<std::shared_future<std::optional<CapturePicture>>>>();
    const auto runStep = [this, url, presets, fullPage, results](double scrollY) {
        batch_->run(
            url, presets, fullPage, scrollY,
            [this](CaptureProgress progress) { setCaptureProgress(progress); },
            [results](const QImage& image, const ViewportPreset&) {
                results->append(std::async(std::launch::async, [image] {
                                    return capturePicture(image);
                                }).share());
            },
            [this, results] {
                setCaptureProgress(std::nullopt);
                QList<CapturePicture> pictures;
                for (const auto& result : std::as_const(*results))
                    if (auto picture = result.get()) pictures.append(std::move(*picture));
                placePictures(pictures);
                // The capture tab, where the notices were shown, is gone from view by now.
                noticeBar_->setText(captureNotices_.join(u'\n'));
            });
    };
    QWebEngineView* view = browser_->activeWebView();
    if (fullPage || !view) {
        runStep(0);
        return;
    }
    QPointer<ContentView> self(this);
    view->page()->runJavaScript(
        QStringLiteral("window.scrollY"), [self, runStep](const QVariant& result) {
            if (!self) return;
            // A number of any kind; anything else, an error too, is 0.
            const int type = result.typeId();
            const bool number =
                type == QMetaType::Double || type == QMetaType::Int || type == QMetaType::LongLong;
            runStep(number ? result.toDouble() : 0);
        });
}

void ContentView::placePictures(const QList<CapturePicture>& pictures) {
    if (!placeCaptures(*document_, undoStack(), selection_, pictures, std::nullopt,
                       canvasController_->viewportCenterInCanvas()))
        return;
    emit selectionChanged();
    setActiveTab(AppTab::annotate);
    fitWhenCanvasReady(fitAttempts);
}

void ContentView::handleCommand(const QString& name, const QVariantMap& userInfo) {
    // A menu command is the user's word to the window in front; every other window stays as it is.
    if (!isFrontWindow()) return;
    const auto arrange = [this](ArrangeOp op) {
        arrangeSelection(*document_, undoStack(), selection_, op);
    };
    if (name == command::exportPNG) {
        exportPNG();
    } else if (name == command::copyAsPNG) {
        copyAsPNG();
    } else if (name == command::canvasCut) {
        cutSelection(*document_, undoStack(), selection_, clipboard_);
        emit selectionChanged();
    } else if (name == command::canvasCopy) {
        copySelection(*document_, selection_, clipboard_);
    } else if (name == command::canvasPaste) {
        const PasteResult result = pasteSelection(*document_, undoStack(), selection_, clipboard_,
                                                  canvasController_->viewportCenterInCanvas());
        if (result == PasteResult::nothing) return;
        emit selectionChanged();
        setActiveTab(AppTab::annotate);
        if (result == PasteResult::pictures) fitWhenCanvasReady(fitAttempts);
    } else if (name == command::canvasDelete) {
        deleteSelection(*document_, undoStack(), selection_);
        emit selectionChanged();
    } else if (name == command::canvasDuplicate) {
        duplicateSelection(*document_, undoStack(), selection_);
        emit selectionChanged();
    } else if (name == command::canvasSelectAll) {
        Tool tool = tool_;
        selectAllItems(*document_, selection_, tool);
        setTool(tool);
        emit selectionChanged();
    } else if (name == command::arrangeBringToFront) {
        arrange(ArrangeOp::bringToFront);
    } else if (name == command::arrangeBringForward) {
        arrange(ArrangeOp::bringForward);
    } else if (name == command::arrangeSendBackward) {
        arrange(ArrangeOp::sendBackward);
    } else if (name == command::arrangeSendToBack) {
        arrange(ArrangeOp::sendToBack);
    } else if (name == command::closeCaptureTab) {
        closeCaptureTab();
    } else if (name == command::captureBrowserWindow) {
        bool ok = false;
        const qulonglong id = userInfo.value(command::windowIDKey).toULongLong(&ok);
        if (ok && id <= std::numeric_limits<quint32>::max() && captureBrowserWindow_)
            captureBrowserWindow_(quint32(id));
    }
}

bool ContentView::ownsEventsOf(QWidget* receiver) const {
    return receiver && receiver->window() == window() && activeTab_ == AppTab::annotate;
}

bool ContentView::handleKey(QWidget* receiver, QKeyEvent* event) {
    if (!ownsEventsOf(receiver)) return false;
    if (FocusedText::current()) return false;
    const Qt::KeyboardModifiers mods = event->modifiers();
    const double step = mods & Qt::ShiftModifier ? shiftNudgeStep : nudgeStep;
    if (!(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        const int key = event->key();
        const auto tool =
            key >= Qt::Key_A && key <= Qt::Key_Z ? toolForShortcut(QChar(key)) : std::nullopt;
        if (tool) {
            setTool(*tool);
            return true;
        }
    }
    if (selection_.isEmpty()) return false;
    QPointF by;
    switch (event->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
        deleteSelection(*document_, undoStack(), selection_);
        emit selectionChanged();
        return true;
    case Qt::Key_Left:
        by = {-step, 0};
        break;
    case Qt::Key_Right:
        by = {step, 0};
        break;
    case Qt::Key_Down:
        by = {0, step};
        break;
    case Qt::Key_Up:
        by = {0, -step};
        break;
    default:
        return false;
    }
    nudgeSelection(*document_, undoStack(), selection_, by.x(), by.y());
    return true;
}

bool ContentView::handleScroll(QWidget* receiver, QWheelEvent* event) {
    if (!ownsEventsOf(receiver)) return false;
    // Touchpads report points; wheels report notches.
    const QPointF delta = event->pixelDelta().isNull()
                              ? QPointF(event->angleDelta()) / 120 * pointsPerNotch
                              : QPointF(event->pixelDelta());
    canvasController_->applyScroll(delta.x(), delta.y(), event->modifiers() & Qt::ControlModifier);
    return true;
}

bool ContentView::handleMagnify(QWidget* receiver, QNativeGestureEvent* event) {
    if (!ownsEventsOf(receiver) || event->gestureType() != Qt::ZoomNativeGesture) return false;
    canvasController_->applyMagnify(event->value());
    return true;
}

__attribute__((no_sanitize("vptr"))) bool ContentView::eventFilter(QObject* watched,
                                                                   QEvent* event) {
    if (!watched->isWidgetType()) return QWidget::eventFilter(watched, event);
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
    case QEvent::KeyPress:
        return handleKey(widget, static_cast<QKeyEvent*>(event));
    case QEvent::Wheel:
        return handleScroll(widget, static_cast<QWheelEvent*>(event));
    case QEvent::NativeGesture:
        return handleMagnify(widget, static_cast<QNativeGestureEvent*>(event));
    default:
        return QWidget::eventFilter(watched, event);
    }
}

} // namespace pintora
