#include "app/ui/PintoraApp.h"
#include "app/ui/SignalQuit.h"
#include "app/ui/SingleInstance.h"
#include "canvas/DecodedImageCache.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

int run(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Pintora"));
    QApplication::setApplicationName(QStringLiteral("Pintora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Pintora"));
    QApplication::setApplicationVersion(QStringLiteral(PINTORA_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("com.orlanvale.Pintora"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/pintora.svg")));
    pintora::configurePictureMemory();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Capture web pages and annotate them."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Documents to open."),
                                 QStringLiteral("[files...]"));
    parser.process(app);
    QStringList files;
    for (const QString& file : parser.positionalArguments())
        files.append(QFileInfo(file).absoluteFilePath());

    // A second launch hands its files to the running one, which owns the drafts.
    pintora::SingleInstance instance;
    if (instance.forwardToRunning(files)) return 0;

    pintora::PintoraApp pintoraApp(pintora::UserDefaults::standard(),
                                   QStringLiteral(PINTORA_VERSION));
    QObject::connect(&instance, &pintora::SingleInstance::openRequested, &pintoraApp,
                     [&pintoraApp](const QStringList& paths) {
                         if (paths.isEmpty()) pintoraApp.reopen();
                         for (const QString& path : paths)
                             pintoraApp.documents().openFile(path);
                     });
    // Logging out or `kill` ends the application like Quit, drafts included.
    pintora::SignalQuit signalQuit([&pintoraApp] { pintoraApp.quit(); });
    pintoraApp.launch(files);
    // With nothing opened, the application ends when the last error message is closed.
    return app.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    const int status = run(argc, argv);
#if defined(__SANITIZE_ADDRESS__)
    // The leak check of the sanitizer build, made here rather than after exit() has begun:
    // every object of ours is gone and the web engine has shut down, while the libraries'
    // static storage is still in place and no thread is being torn down under the checker.
    __lsan_do_leak_check();
#endif
    return status;
}
