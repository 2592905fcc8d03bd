#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

namespace pintora {

struct CanvasState;

// Writes exported bytes atomically; returns why it failed, or an empty string.
QString writeExport(const QString& path, const QByteArray& png);

// Tells the user, over `window`, that the canvas could not be drawn whole, and why.
void showRenderProblem(QWidget* window, const QString& problem);

// Renders the canvas on a worker thread (a progress window past a second), then asks where to
// save it ("Pintora Export.png") without blocking the window. A failed write is reported,
// never passed over. Nothing happens without items.
void exportPNG(QWidget* window, const CanvasState& state);
void askWhereToExport(QWidget* window, const QByteArray& png);

} // namespace pintora
