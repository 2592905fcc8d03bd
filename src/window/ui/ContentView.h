#pragma once

#include "canvas/Tool.h"
#include "capture/CaptureProgress.h"

#include <memory>
#include "model/SelectionEdits.h"
#include "window/AppTab.h"

#include <QStringList>
#include <QVariantMap>
#include <QPointer>
#include <QWidget>
#include <functional>

class QKeyEvent;
class QNativeGestureEvent;
class QWheelEvent;
class QStackedWidget;

namespace pintora {

class BackgroundRender;

class AnnotateToolbar;
struct CapturePicture;
class BatchCapture;
class NoticeBar;
class BrowserController;
class BrowserPane;
class CapturePresetsSidebar;
class CaptureEngine;
class ChromiumBrowser;
class CanvasController;
class CanvasPane;
class IntroSheet;
class ItemClipboard;
class PintoraDocument;
class PortalScreenshot;
class UserDefaults;

// The root of a document window: both tabs stacked, and what belongs to the window rather than
// the document (tool, selection, shown tab). Acts on the menu commands for its own document
// and handles the annotate tab's keys.
class ContentView : public QWidget {
    Q_OBJECT
public:
    ContentView(PintoraDocument* document, UserDefaults& defaults, ItemClipboard& clipboard,
                QWidget* parent = nullptr);
    ~ContentView() override;

    PintoraDocument* document() const { return document_; }
    QUndoStack* undoStack() const;

    Tool tool() const { return tool_; }
    void setTool(Tool tool);
    const Selection& selection() const { return selection_; }
    void setSelection(Selection selection);

    AppTab activeTab() const { return activeTab_; }
    // Any source of a tab change goes through here: it ends text editing, remembers the tab
    // in the document and fits the canvas the first time the annotate tab shows items.
    void setActiveTab(AppTab tab);

    CanvasController& canvasController() const { return *canvasController_; }
    QWidget* capturePane() const { return capturePane_; }
    BrowserPane* browserPane() const { return browserPane_; }
    BrowserController& browserController() const { return *browser_; }
    CapturePresetsSidebar* presetsSidebar() const { return sidebar_; }
    NoticeBar* noticeBar() const { return noticeBar_; }
    BatchCapture& batchCapture() const { return *batch_; }
    CaptureEngine& captureEngine() const { return *captureEngine_; }
    std::optional<CaptureProgress> captureProgress() const { return captureProgress_; }

    // Captures the active tab's page at every enabled preset, then places the pictures.
    void captureAll();
    // Ends the capture under way; the pictures taken so far are placed.
    void cancelCapture();
    QWidget* annotatePane() const;
    CanvasPane* canvasPane() const { return canvasPane_; }
    AnnotateToolbar* annotateToolbar() const { return toolbar_; }
    bool didFitOnFirstView() const { return didFitOnFirstView_; }
    IntroSheet* introSheet() const { return introSheet_; }

    // The window is shown or is going away; the host window calls these once each.
    void appear();
    void disappear();

    // Writes the zoom and pan the user sees into the document, as no edit of its own, so that a
    // save keeps them. Does nothing when they are already there.
    void storeView();

    // Fits the canvas once it has a size, retrying `attempts` times 0.03 s apart.
    void fitWhenCanvasReady(int attempts);

    // Executes one menu command on this window's document and selection.
    void handleCommand(const QString& name, const QVariantMap& userInfo);
    // The annotate tab's keys: true when the key was used.
    bool handleKey(QWidget* receiver, QKeyEvent* event);
    // Scrolling pans the canvas (zooms with Ctrl) and pinching zooms it, in the annotate tab.
    bool handleScroll(QWidget* receiver, QWheelEvent* event);
    bool handleMagnify(QWidget* receiver, QNativeGestureEvent* event);

    // Renders the canvas and asks where to save it.
    void exportPNG();
    // Puts the canvas, or the selected items, on the clipboard as a picture.
    void copyAsPNG();
    bool hasItems() const;
    // Captures another browser's window and places the picture on the canvas, or tells why
    // it could not.
    void captureBrowserWindow(quint32 windowId);
    // Asks the desktop's portal for a screenshot the user picks, and places it as a window
    // capture is placed.
    void captureWithPortal();
    // Capturing another browser's window is attached here by its own part.
    void setCaptureBrowserWindowAction(std::function<void(quint32)> action) {
        captureBrowserWindow_ = std::move(action);
    }

signals:
    void activeTabChanged(AppTab tab);
    void captureProgressChanged();
    void toolChanged(Tool tool);
    void selectionChanged();

protected:
    // Sees every event of the application, also those of objects being built or torn down
    // (whose dynamic type is not yet or no longer their own), so the type check of the
    // sanitizer build is off here; only QObject's own members are used on them.
    __attribute__((no_sanitize("vptr"))) bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Tries to fit the canvas to its content once it has its size.
    static constexpr int fitAttempts = 20;

    void showIntro();
    void describeCanvas();
    // The engine captures take, from the user's settings, and its name under the button.
    CaptureEngine* makeCaptureEngine();
    // Makes the engine and batch the settings ask for, unless they are the ones there are.
    void useCaptureEngine();
    void showEngineLabel();
    void setCaptureProgress(std::optional<CaptureProgress> progress);
    void placePictures(const QList<CapturePicture>& pictures);
    void closeCaptureTab();
    void openCropEditor(const QUuid& id);
    // Commands that reach every window but act only in the one the user works in.
    bool isFrontWindow() const;
    bool ownsEventsOf(QWidget* receiver) const;

    PintoraDocument* document_;
    UserDefaults& defaults_;
    ItemClipboard& clipboard_;
    Tool tool_ = Tool::select;
    Selection selection_;
    AppTab activeTab_ = AppTab::capture;
    bool didFitOnFirstView_ = false;
    bool keyFilterInstalled_ = false;
    CanvasController* canvasController_;
    QStackedWidget* stack_;
    QWidget* capturePane_;
    QWidget* annotatePane_;
    AnnotateToolbar* toolbar_;
    CanvasPane* canvasPane_;
    IntroSheet* introSheet_ = nullptr;
    BrowserController* browser_;
    // The system's Chromium when there is one (started for each run), else the built-in engine.
    std::shared_ptr<ChromiumBrowser> captureBrowser_;
    CaptureEngine* captureEngine_ = nullptr;
    BatchCapture* batch_ = nullptr;
    QString engineChoice_; // the settings the engine was made for
    BrowserPane* browserPane_;
    CapturePresetsSidebar* sidebar_;
    NoticeBar* noticeBar_;
    QStringList captureNotices_; // of the capture running or last ended
    bool captureCancelled_ = false;
    std::optional<CaptureProgress> captureProgress_;
    std::function<void(quint32)> captureBrowserWindow_;
    QPointer<PortalScreenshot> portalShot_; // one portal screenshot at a time
    void placeWindowPicture(const QImage& image);
    void tellWindowCaptureFailed(const QString& detail);
    QPointer<BackgroundRender> copying_; // Copy as PNG while it renders
};

} // namespace pintora
