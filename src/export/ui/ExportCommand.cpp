#include "export/ui/ExportCommand.h"

#include "export/ui/BackgroundRender.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>

namespace pintora {

QString writeExport(const QString& path, const QByteArray& png) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    if (file.write(png) != png.size()) return file.errorString();
    if (!file.commit()) return file.errorString();
    return {};
}

void showRenderProblem(QWidget* window, const QString& problem) {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Couldn't export"),
                                QStringLiteral("The canvas could not be drawn whole."),
                                QMessageBox::Ok, window);
    // "the picture at …": a sentence of its own.
    box->setInformativeText(problem.left(1).toUpper() + problem.mid(1) + u'.');
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void exportPNG(QWidget* window, const CanvasState& state) {
    auto* render = new BackgroundRender(state, window);
    QObject::connect(render, &BackgroundRender::finished, window,
                     [window, render](const std::optional<QByteArray>& png, const QString& problem) {
                         render->deleteLater();
                         if (png) askWhereToExport(window, *png);
                         else if (!problem.isEmpty()) showRenderProblem(window, problem);
                     });
    render->showProgressOver(window, QStringLiteral("Exporting…"));
}

void askWhereToExport(QWidget* window, const QByteArray& png) {
    auto* dialog = new QFileDialog(window, QStringLiteral("Export"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setNameFilter(QStringLiteral("PNG image (*.png)"));
    dialog->setDefaultSuffix(QStringLiteral("png"));
    dialog->selectFile(QStringLiteral("Pintora Export.png"));
    QObject::connect(dialog, &QFileDialog::fileSelected, window,
                     [window, bytes = png](const QString& path) {
                         const QString error = writeExport(path, bytes);
                         if (error.isEmpty()) return;
                         auto* box = new QMessageBox(
                             QMessageBox::Warning, QStringLiteral("Couldn't export"),
                             QStringLiteral("The picture could not be saved to \"%1\".").arg(path),
                             QMessageBox::Ok, window);
                         box->setInformativeText(error);
                         box->setAttribute(Qt::WA_DeleteOnClose);
                         box->open();
                     });
    dialog->open();
}

} // namespace pintora
