#include "canvas/CanvasController.h"
#include "canvas/DecodedImageCache.h"
#include "capture/AddressText.h"
#include "capture/AppPresetsStore.h"
#include "capture/BatchCapture.h"
#include "capture/BrowserTabEdits.h"
#include "capture/ChromiumBrowser.h"
#include "capture/ChromiumEngine.h"
#include "capture/ui/BrowserController.h"
#include "capture/ui/CapturePresetsSidebar.h"
#include "capture/ui/WebCaptureEngine.h"
#include "model/PintoraDocument.h"
#include "platform/PortalScreenshot.h"
#include "platform/UserDefaults.h"
#include "platform/ui/WebProfile.h"
#include "platform/ui/X11WindowCapture.h"
#include "window/CapturePlacement.h"
#include "window/ui/ContentView.h"
#include "window/ui/NoticeBar.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWebEngineView>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>
#include <future>

// The capture flow: the current page at every enabled size, or another browser's window, and
// the pictures placed on the canvas.

namespace pintora {

CaptureEngine* ContentView::makeCaptureEngine() {
    const EngineChoice choice = chooseEngine(defaults_.captureEngine(), defaults_.captureBrowser());
    if (choice.browser.isEmpty()) return new WebCaptureEngine(this);
    captureBrowser_ = std::make_shared<ChromiumBrowser>(choice.browser);
    ChromiumEngine::Options options;
    options.scale = qApp->devicePixelRatio();
    // Logins carry over: the built-in browser's cookies as they are when a run starts.
    webProfileCookies();
    options.cookies = [] { return webProfileCookies(); };
    return new ChromiumEngine(captureBrowser_, options, this);
}

void ContentView::useCaptureEngine() {
    const QString choice = defaults_.captureEngine() + u'\n' + defaults_.captureBrowser();
    if (batch_ && choice == engineChoice_) return;
    delete batch_;
    delete captureEngine_;
    captureBrowser_.reset();
    engineChoice_ = choice;
    captureEngine_ = makeCaptureEngine();
    batch_ = new BatchCapture(*captureEngine_, this);
    const auto notice = [this](const QString& message) {
        sidebar_->addCaptureNotice(message);
        captureNotices_ << message;
    };
    const auto label = [](const ViewportPreset& preset) {
        return QStringLiteral("%1 (%2×%3)")
            .arg(preset.name, QString::number(preset.width), QString::number(preset.height));
    };
    connect(batch_, &BatchCapture::pageCut, this,
            [notice](const ViewportPreset& preset, double height, int cutAt) {
                notice(BatchCapture::cutMessage(preset, height, cutAt));
            });
    // The view's picture is still taken: it shows what the engine made of the failure.
    connect(batch_, &BatchCapture::loadFailed, this,
            [notice, label](const ViewportPreset& preset, const QString& reason) {
                notice(tr("%1: the page did not load (%2).").arg(label(preset), reason));
            });
    connect(batch_, &BatchCapture::pageFailed, this,
            [notice, label](const ViewportPreset& preset, const QString& reason, bool) {
                notice(tr("%1: no picture, %2.").arg(label(preset), reason));
            });
    showEngineLabel();
}

void ContentView::showEngineLabel() {
    if (!captureBrowser_) {
        const QString version =
            QString::fromLatin1(qWebEngineChromiumVersion()).section(u'.', 0, 0);
        sidebar_->setEngineLabel(tr("Built-in engine (Chromium %1)").arg(version));
        return;
    }
    if (!captureBrowser_->versionLabel().isEmpty()) {
        sidebar_->setEngineLabel(captureBrowser_->versionLabel());
        return;
    }
    const QString browser =
        chooseEngine(defaults_.captureEngine(), defaults_.captureBrowser()).browser;
    if (ChromiumBrowser::isEndpoint(browser)) {
        const QUrl endpoint(browser);
        sidebar_->setEngineLabel(tr("Chromium at %1:%2").arg(endpoint.host()).arg(endpoint.port()));
        return;
    }
    // Asked once a process: every window shows the same program.
    static QHash<QString, QString> known;
    if (known.contains(browser)) {
        sidebar_->setEngineLabel(known.value(browser));
        return;
    }
    sidebar_->setEngineLabel(QStringLiteral("Chromium"));
    QPointer<CapturePresetsSidebar> sidebar(sidebar_);
    ChromiumBrowser::probeVersion(browser, this, [sidebar, browser](const QString& label) {
        if (label.isEmpty()) return;
        known.insert(browser, label);
        if (sidebar) sidebar->setEngineLabel(label);
    });
}

void ContentView::placeWindowPicture(const QImage& image) {
    const std::optional<CapturePicture> picture = capturePicture(image);
    if (!picture) return;
    Selection selection = selection_;
    if (!placeCaptures(*document_, undoStack(), selection, {*picture}, std::nullopt,
                       canvasController_->viewportCenterInCanvas())) {
        return;
    }
    setSelection(selection);
    setActiveTab(AppTab::annotate);
    fitWhenCanvasReady(fitAttempts);
}

void ContentView::tellWindowCaptureFailed(const QString& detail) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Pintora"),
                                QStringLiteral("Couldn't capture browser window"), QMessageBox::Ok,
                                window());
    box->setInformativeText(detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void ContentView::captureBrowserWindow(quint32 windowId) {
    const windowCapture::CaptureResult result = windowCapture::capture(windowId);
    if (const auto* image = std::get_if<QImage>(&result)) {
        placeWindowPicture(*image);
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
    tellWindowCaptureFailed(detail);
}

void ContentView::captureWithPortal() {
    if (portalShot_) return;
    auto* shot = new PortalScreenshot(this);
    portalShot_ = shot;
    connect(shot, &PortalScreenshot::taken, this, [this, shot](const QString& file) {
        shot->deleteLater();
        QString why;
        const QImage image = decodePictureFile(file, &why);
        if (image.isNull()) {
            tellWindowCaptureFailed(QStringLiteral("The desktop's screenshot could not be read. ") +
                                    why);
            return;
        }
        placeWindowPicture(image);
    });
    connect(shot, &PortalScreenshot::cancelled, shot, &QObject::deleteLater);
    connect(shot, &PortalScreenshot::failed, this, [this, shot](const QString& why) {
        shot->deleteLater();
        tellWindowCaptureFailed(QStringLiteral("The desktop's screenshot portal failed: ") + why);
    });
    shot->start(true);
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
    // A choice made in the settings since the last capture.
    useCaptureEngine();
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
    captureCancelled_ = false;
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
                if (captureBrowser_) {
                    // The browser lives for a run only: nothing of it stays while the user
                    // annotates.
                    showEngineLabel();
                    QTimer::singleShot(0, this, [this] { captureBrowser_->shutdown(); });
                }
                QList<CapturePicture> pictures;
                for (const auto& result : std::as_const(*results))
                    if (auto picture = result.get()) pictures.append(std::move(*picture));
                // What a cancelled run had taken is placed too: one Undo takes it away.
                if (captureCancelled_) {
                    const QString cancelled =
                        pictures.size() == 1
                            ? tr("Capture cancelled: 1 size taken.")
                            : tr("Capture cancelled: %1 sizes taken.").arg(pictures.size());
                    sidebar_->addCaptureNotice(cancelled);
                    captureNotices_ << cancelled;
                }
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

void ContentView::cancelCapture() {
    if (!batch_->isRunning()) return;
    captureCancelled_ = true;
    batch_->cancel();
}

void ContentView::placePictures(const QList<CapturePicture>& pictures) {
    if (!placeCaptures(*document_, undoStack(), selection_, pictures, std::nullopt,
                       canvasController_->viewportCenterInCanvas()))
        return;
    emit selectionChanged();
    setActiveTab(AppTab::annotate);
    fitWhenCanvasReady(fitAttempts);
}

} // namespace pintora
