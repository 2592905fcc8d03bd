#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

namespace pintora {

// Names of the commands the menu bar posts; every document window acts on each of them.
namespace command {
inline const QString exportPNG = QStringLiteral("Pintora.exportPNG");
inline const QString closeCaptureTab = QStringLiteral("Pintora.closeCaptureTab");
inline const QString canvasCut = QStringLiteral("Pintora.canvasCut");
inline const QString canvasCopy = QStringLiteral("Pintora.canvasCopy");
inline const QString copyAsPNG = QStringLiteral("Pintora.copyAsPNG");
inline const QString canvasPaste = QStringLiteral("Pintora.canvasPaste");
inline const QString canvasDuplicate = QStringLiteral("Pintora.canvasDuplicate");
inline const QString canvasDelete = QStringLiteral("Pintora.canvasDelete");
inline const QString canvasSelectAll = QStringLiteral("Pintora.canvasSelectAll");
inline const QString arrangeBringToFront = QStringLiteral("Pintora.arrangeBringToFront");
inline const QString arrangeBringForward = QStringLiteral("Pintora.arrangeBringForward");
inline const QString arrangeSendBackward = QStringLiteral("Pintora.arrangeSendBackward");
inline const QString arrangeSendToBack = QStringLiteral("Pintora.arrangeSendToBack");
inline const QString zoomIn = QStringLiteral("Pintora.zoomIn");
inline const QString zoomOut = QStringLiteral("Pintora.zoomOut");
inline const QString zoomActualSize = QStringLiteral("Pintora.zoomActualSize");
inline const QString zoomToFit = QStringLiteral("Pintora.zoomToFit");
inline const QString captureBrowserWindow = QStringLiteral("Pintora.captureBrowserWindow");
inline const QString windowIDKey = QStringLiteral("windowID");
// A window or an area picked on the desktop's own screen, through its portal (Wayland).
inline const QString captureWithPortal = QStringLiteral("Pintora.captureWithPortal");
} // namespace command

// The process-wide notification centre: whoever posts does not know who listens.
class CommandBus : public QObject {
    Q_OBJECT
public:
    static CommandBus& shared();

    void post(const QString& name, const QVariantMap& userInfo = {}) {
        emit posted(name, userInfo);
    }

signals:
    void posted(const QString& name, const QVariantMap& userInfo);
};

} // namespace pintora
