#include "canvas/CanvasController.h"
#include "export/PngRenderer.h"
#include "export/ui/BackgroundRender.h"
#include "export/ui/ExportCommand.h"
#include "model/ItemClipboard.h"
#include "model/PintoraDocument.h"
#include "platform/CommandBus.h"
#include "shapes/CropGeometry.h"
#include "shapes/ItemToolbarEdits.h"
#include "shapes/ui/CropEditorDialog.h"
#include "window/ui/ContentView.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

// The window's menu commands, acted on with its own document and selection.

namespace pintora {

void ContentView::exportPNG() {
    pintora::exportPNG(window(), document_->state());
}

namespace {
// The clipboard also holds the picture decoded for programs that ask for another format, up
// to this size; a bigger canvas is offered as PNG only.
constexpr qint64 platformImageBytes = 64LL * 1024 * 1024;
} // namespace

void ContentView::copyAsPNG() {
    // The selected items alone, framed as an export of them would be; else the whole canvas.
    CanvasState state = document_->state();
    if (!selection_.isEmpty()) {
        state.items.removeIf(
            [this](const CanvasItem& item) { return !selection_.contains(item.id()); });
    }
    // A copy asked for again while one renders replaces it.
    delete copying_;
    copying_ = new BackgroundRender(state, this);
    connect(copying_, &BackgroundRender::finished, this,
            [this](const std::optional<QByteArray>& png, const QString& problem) {
                copying_->deleteLater();
                if (!png) {
                    if (!problem.isEmpty()) showRenderProblem(window(), problem);
                    return;
                }
                auto* mime = new QMimeData;
                mime->setData(QStringLiteral("image/png"), *png);
                // The platform's own image type too, for programs that ask for another
                // format, while the decoded copy stays small.
                if (const std::optional<QSize> size = pictureSize(*png);
                    size && qint64(size->width()) * size->height() * 4 <= platformImageBytes)
                    mime->setImageData(QImage::fromData(*png, "PNG"));
                QGuiApplication::clipboard()->setMimeData(mime);
            });
    copying_->showProgressOver(window(), QStringLiteral("Copying…"));
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

bool ContentView::isFrontWindow() const {
    return QApplication::activeWindow() == window();
}

bool ContentView::hasItems() const {
    return !document_->state().items.isEmpty();
}

void ContentView::handleCommand(const QString& name, const QVariantMap& userInfo) {
    // A menu command is the user's word to the window in front; every other window stays as it is.
    if (!isFrontWindow()) return;
    const auto arrange = [this](ArrangeOp op) {
        arrangeSelection(*document_, undoStack(), selection_, op);
    };
    const bool zoom = name == command::zoomIn || name == command::zoomOut ||
                      name == command::zoomActualSize || name == command::zoomToFit;
    if (zoom) {
        // The keys act as the toolbar's zoom does, where the toolbar is.
        if (activeTab_ != AppTab::annotate) return;
        CanvasController& view = *canvasController_;
        if (name == command::zoomToFit)
            view.fitToContent(document_->state());
        else if (name == command::zoomActualSize)
            view.zoomAboutCentre(1);
        else
            view.zoomAboutCentre(CanvasController::zoomStep(view.zoom(), name == command::zoomIn));
    } else if (name == command::exportPNG) {
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
    } else if (name == command::captureWithPortal) {
        captureWithPortal();
    }
}

} // namespace pintora
