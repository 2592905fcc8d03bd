#include "app/DocumentController.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QImageReader>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Pintora"));
    QApplication::setApplicationName(QStringLiteral("Pintora"));
    QApplication::setApplicationDisplayName(QStringLiteral("Pintora"));
    QApplication::setApplicationVersion(QStringLiteral(PINTORA_VERSION));
    // Full-page captures are far bigger than Qt's 128 MB default; 1 GB still refuses absurd ones.
    QImageReader::setAllocationLimit(1024);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Capture web pages and annotate them."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Documents to open."),
                                 QStringLiteral("[files...]"));
    parser.process(app);

    pintora::DocumentController documents(pintora::UserDefaults::standard());
    const QStringList files = parser.positionalArguments();
    for (const QString& file : files)
        documents.openFile(file);
    if (files.isEmpty()) documents.newDocument();
    // With nothing opened, the application ends when the last error message is closed.
    return app.exec();
}
