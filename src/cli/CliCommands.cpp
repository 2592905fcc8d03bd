#include "cli/CliCommands.h"

#include "canvas/DecodedImageCache.h"
#include "cli/DocumentSummary.h"
#include "export/PngRenderer.h"
#include "model/DocumentFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QSaveFile>
#include <cstdio>

namespace pintora::cli {

namespace {

const char* const overview =
    "Usage: pintora-cli <command> [options]\n"
    "\n"
    "Commands:\n"
    "  info FILE.pintora             print what the document holds, as JSON\n"
    "  export FILE.pintora OUT.png   render the canvas as the application exports it\n"
    "  capture URL [options]         capture a page at several viewport sizes\n"
    "\n"
    "Run 'pintora-cli <command> --help' for a command's options.\n"
    "\n"
    "Options:\n"
    "  -V, --version                 print the version\n"
    "  -h, --help                    show this help\n"
    "\n"
    "Exit codes:\n"
    "  0    done\n"
    "  1    a document or file could not be read or written, or nothing to export\n"
    "  2    bad arguments: an unknown command or option, a value out of range\n"
    "  3    a capture failed: a page did not load, ran out of time, or failed a step\n"
    "  130  stopped by Ctrl+C (SIGINT); 143 by SIGTERM (128 and the signal's number)\n";

// Parses a subcommand's arguments; returns an exit code when it is done already (help or an
// error), none to go on.
std::optional<int> parse(QCommandLineParser& parser, const QStringList& args,
                         qsizetype positionals) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    if (!parser.parse(args)) {
        printError(parser.errorText());
        return usage;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return ok;
    }
    if (parser.positionalArguments().size() != positionals) {
        printError(QStringLiteral("expected %1 argument(s); see --help").arg(positionals));
        return usage;
    }
    return std::nullopt;
}

} // namespace

void printError(const QString& message) {
    std::fprintf(stderr, "pintora-cli: %s\n", qPrintable(message));
}

int info(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints a summary of a document as JSON: its items by kind with their "
                       "frames, its browser tabs, the defaults for new items, zoom and pan."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A .pintora document."));
    if (const auto done = parse(parser, args, 1)) return *done;
    const QString path = parser.positionalArguments()[0];
    const Expected<CanvasState> state = readDocumentFile(path, QString());
    if (!state) {
        printError(QStringLiteral("%1: %2").arg(path, state.error()));
        return failed;
    }
    std::fputs(QJsonDocument(documentSummary(state.value())).toJson().constData(), stdout);
    return ok;
}

int exportPicture(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Renders a document's canvas to a PNG file, exactly as the application's export does."));
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A .pintora document."));
    parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("The PNG file to write."));
    if (const auto done = parse(parser, args, 2)) return *done;
    const QString path = parser.positionalArguments()[0];
    const QString out = parser.positionalArguments()[1];
    const Expected<CanvasState> state = readDocumentFile(path, QString());
    if (!state) {
        printError(QStringLiteral("%1: %2").arg(path, state.error()));
        return failed;
    }
    QString problem;
    const std::optional<QByteArray> png = renderPNG(state.value(), &problem);
    if (!png) {
        printError(problem.isEmpty()
                       ? QStringLiteral("%1: the canvas is empty, there is nothing to export").arg(path)
                       : QStringLiteral("%1: cannot export: %2").arg(path, problem));
        return failed;
    }
    QSaveFile file(out);
    if (!file.open(QIODevice::WriteOnly) || file.write(*png) != png->size() || !file.commit()) {
        printError(QStringLiteral("%1: %2").arg(out, file.errorString()));
        return failed;
    }
    return ok;
}

int run(int argc, char** argv) {
    // Fonts and pictures need a GUI application, never a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen") {
        // Off screen means no display at all: with one in reach the graphics stack would open
        // it, and print its own complaints on stderr.
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
    }
    const QString command = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (command == QLatin1StringView("--version") || command == QLatin1StringView("-V")) {
        std::fputs("pintora-cli " PINTORA_VERSION "\n", stdout);
        return ok;
    }
    if (command == QLatin1StringView("capture")) return capture(argc, argv);
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pintora-cli"));
    configurePictureMemory();
    QStringList args = app.arguments();
    if (args.size() < 2 || command == QLatin1StringView("--help") ||
        command == QLatin1StringView("-h") || command == QLatin1StringView("help")) {
        std::fputs(overview, args.size() < 2 ? stderr : stdout);
        return args.size() < 2 ? usage : ok;
    }
    args.removeAt(1); // the parser sees "pintora-cli [options] positionals"
    if (command == QLatin1StringView("info")) return info(args);
    if (command == QLatin1StringView("export")) return exportPicture(args);
    printError(QStringLiteral("unknown command '%1'").arg(command));
    std::fputs(overview, stderr);
    return usage;
}

} // namespace pintora::cli
