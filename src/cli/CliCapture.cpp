#include "canvas/DecodedImageCache.h"
#include "capture/AddressText.h"
#include "capture/AppPresetsStore.h"
#include "capture/BatchCapture.h"
#include "capture/ParallelCapture.h"
#include "capture/WebCaptureEngine.h"
#include "cli/CliCommands.h"
#include "model/DocumentFile.h"
#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"
#include "window/CapturePlacement.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>
#include <QSaveFile>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <future>
#include <unistd.h>

namespace pintora::cli {

namespace {

void printError(const QString& message) {
    std::fprintf(stderr, "pintora-cli: %s\n", qPrintable(message));
}

// "1280x800" (or with a capital X or ×) as a size.
std::optional<QSize> parseSize(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})[xX\u00d7](\\d{1,5})$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch()) return std::nullopt;
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    if (size.width() < 1 || size.height() < 1 || size.width() > 10000 || size.height() > 10000) {
        return std::nullopt;
    }
    return size;
}

// A file name for a preset's picture: its name and size, with nothing a file system minds.
QString pictureName(const ViewportPreset& preset) {
    QString name = preset.name;
    name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f]")),
                 QStringLiteral("_"));
    return QStringLiteral("%1 %2x%3.png").arg(name.trimmed()).arg(preset.width).arg(preset.height);
}

const char* const captureHelp =
    "Usage: pintora-cli capture URL [options] (-o OUT.pintora | --png-dir DIR)\n"
    "\n"
    "Renders the page off screen at each size, several sizes at once, and takes each picture as\n"
    "soon as the page is ready: loaded (or quiet for 3 s), pictures decoded, fonts loaded, and a\n"
    "frame of the size painted. Pictures are placed, and named, in the order given.\n"
    "\n"
    "Options:\n"
    "  --preset NAME     a viewport preset by name (the user's stored presets, or the factory\n"
    "                    ones); repeatable\n"
    "  --size WxH        a viewport size in points, e.g. 1280x800; repeatable\n"
    "                    (without --preset or --size: every enabled preset)\n"
    "  --full-page       the whole length of the page instead of one viewport\n"
    "  --scroll-y N      the vertical scroll offset of a viewport capture, in points\n"
    "  --scale 1|2       pixels per point of the pictures (default 1)\n"
    "  -o FILE           write a new document with the pictures placed in a row\n"
    "  --png-dir DIR     write one PNG per size, named after the preset and size\n"
    "  --jobs N          sizes captured at once, each in a view of its own (default: one per core,\n"
    "                    2 to 4)\n"
    "  -h, --help        show this help\n";

} // namespace

int capture(int argc, char** argv) {
    // The scale must be known before the application exists.
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    const qsizetype scaleAt = raw.indexOf(QStringLiteral("--scale"));
    const QString scale = scaleAt >= 0 ? raw.value(scaleAt + 1) : QStringLiteral("1");
    if (scale != QLatin1StringView("1") && scale != QLatin1StringView("2")) {
        printError(QStringLiteral("--scale takes 1 or 2"));
        return usage;
    }
    qputenv("QT_SCALE_FACTOR", scale.toLatin1());
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS") && geteuid() == 0) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox"); // Chromium refuses root otherwise
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Pintora"));
    QApplication::setApplicationName(QStringLiteral("Pintora"));
    configureImageAllocationLimit();

    QStringList args = app.arguments();
    args.removeAt(1);
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption presetOption(QStringLiteral("preset"), QString(),
                                          QStringLiteral("NAME"));
    const QCommandLineOption sizeOption(QStringLiteral("size"), QString(), QStringLiteral("WxH"));
    const QCommandLineOption fullPage(QStringLiteral("full-page"), QString());
    const QCommandLineOption scrollY(QStringLiteral("scroll-y"), QString(), QStringLiteral("N"));
    const QCommandLineOption scaleOption(QStringLiteral("scale"), QString(), QStringLiteral("S"));
    const QCommandLineOption out(QStringLiteral("o"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption pngDir(QStringLiteral("png-dir"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption jobsOption(QStringLiteral("jobs"), QString(), QStringLiteral("N"));
    parser.addOptions(
        {help, presetOption, sizeOption, fullPage, scrollY, scaleOption, out, pngDir, jobsOption});
    if (!parser.parse(args)) {
        printError(parser.errorText());
        return usage;
    }
    if (parser.isSet(help)) {
        std::fputs(captureHelp, stdout);
        return ok;
    }
    if (parser.positionalArguments().size() != 1) {
        printError(QStringLiteral("capture takes one URL; see --help"));
        return usage;
    }
    const QUrl url = QUrl::fromUserInput(parser.positionalArguments()[0]);
    if (!url.isValid() || url.scheme().isEmpty()) {
        printError(QStringLiteral("'%1' is not an address").arg(parser.positionalArguments()[0]));
        return usage;
    }
    if (parser.isSet(out) == parser.isSet(pngDir)) {
        printError(QStringLiteral("give exactly one of -o FILE and --png-dir DIR"));
        return usage;
    }
    double scroll = 0;
    if (parser.isSet(scrollY)) {
        bool number = false;
        scroll = parser.value(scrollY).toDouble(&number);
        if (!number || scroll < 0) {
            printError(QStringLiteral("--scroll-y takes a number of points, 0 or more"));
            return usage;
        }
    }

    // The presets in the order given on the command line.
    AppPresetsStore store(UserDefaults::standard());
    QList<ViewportPreset> presets;
    const QStringList names = parser.values(presetOption);
    const QStringList sizes = parser.values(sizeOption);
    for (const QString& name : names) {
        const auto& all = store.presets();
        const auto found = std::find_if(all.begin(), all.end(), [&](const ViewportPreset& p) {
            return p.name.compare(name, Qt::CaseInsensitive) == 0;
        });
        if (found == all.end()) {
            QStringList known;
            for (const ViewportPreset& p : all)
                known << p.name;
            printError(QStringLiteral("no preset named '%1' (there are: %2)")
                           .arg(name, known.join(QStringLiteral(", "))));
            return usage;
        }
        presets << *found;
    }
    for (const QString& text : sizes) {
        const std::optional<QSize> size = parseSize(text);
        if (!size) {
            printError(QStringLiteral("'%1' is not a size like 1280x800").arg(text));
            return usage;
        }
        presets << ViewportPreset{QUuid::createUuid(), AppPresetsStore::customName,
                                  double(size->width()), double(size->height()), true};
    }
    if (names.isEmpty() && sizes.isEmpty()) {
        for (const ViewportPreset& p : store.presets())
            if (p.enabled) presets << p;
    }
    if (presets.isEmpty()) {
        printError(QStringLiteral("no enabled presets and no --size: nothing to capture"));
        return usage;
    }

    // One view per core, at least two: the waits for the network and for frames overlap, and
    // each view of a tall page holds its pixels, so more lanes than cores buy little.
    int lanes = std::min(std::clamp(QThread::idealThreadCount(), 2, 4), int(presets.size()));
    if (parser.isSet(jobsOption)) {
        bool number = false;
        lanes = parser.value(jobsOption).toInt(&number);
        if (!number || lanes < 1 || lanes > 16) {
            printError(QStringLiteral("--jobs takes a number from 1 to 16"));
            return usage;
        }
    }
    QString dir;
    if (parser.isSet(pngDir)) {
        dir = parser.value(pngDir);
        if (!QDir().mkpath(dir)) {
            printError(QStringLiteral("%1: cannot make the folder").arg(dir));
            return failed;
        }
    }

    // Each picture is encoded, and written, on a thread of its own as soon as it is taken,
    // while the other sizes are still being captured.
    struct Encoded {
        std::optional<CapturePicture> picture;
        QString error; // writing its file failed
    };
    std::vector<std::future<Encoded>> encoding(size_t(presets.size()));
    const bool showProgress = isatty(STDERR_FILENO);
    {
        ParallelCapture capture(
            [] { return std::make_unique<WebCaptureEngine>(); }, lanes);
        capture.setTiming(BatchCapture::Timing::onReadiness());
        QObject::connect(&capture, &ParallelCapture::pageCut,
                         [&](const ViewportPreset& preset, double height) {
                             if (showProgress) std::fputs("\n", stderr);
                             printError(BatchCapture::cutMessage(preset, height));
                         });
        capture.run(
            url, presets, parser.isSet(fullPage), scroll,
            [&](CaptureProgress progress) {
                if (showProgress) {
                    std::fprintf(stderr, "\rCaptured %d of %d", progress.current, progress.total);
                    std::fflush(stderr);
                }
            },
            [&](int index, const QImage& image, const ViewportPreset& preset) {
                const QString path =
                    dir.isEmpty() ? QString() : QDir(dir).filePath(pictureName(preset));
                encoding[size_t(index)] = std::async(std::launch::async, [image, path] {
                    Encoded result{capturePicture(image), {}};
                    if (!result.picture || path.isEmpty()) return result;
                    QSaveFile file(path);
                    if (!file.open(QIODevice::WriteOnly) ||
                        file.write(result.picture->pngData) != result.picture->pngData.size() ||
                        !file.commit()) {
                        result.error = QStringLiteral("%1: %2").arg(path, file.errorString());
                    }
                    return result;
                });
            },
            [&] { QTimer::singleShot(0, &app, &QCoreApplication::quit); });
        app.exec();
    }
    if (showProgress) std::fputs("\n", stderr);
    QList<CapturePicture> placed;
    QString writeError;
    for (auto& pending : encoding) {
        if (!pending.valid()) continue;
        Encoded result = pending.get();
        if (!result.error.isEmpty() && writeError.isEmpty()) writeError = result.error;
        if (result.picture) placed << std::move(*result.picture);
    }
    if (!writeError.isEmpty()) {
        printError(writeError);
        return failed;
    }
    if (placed.isEmpty()) {
        printError(QStringLiteral("no picture could be taken of %1").arg(url.toDisplayString()));
        return captureFailed;
    }
    if (!dir.isEmpty()) return ok;

    // A new document holding the pictures placed as a capture places them, its tab at the page.
    PintoraDocument document(storedAddress(url));
    Selection selection;
    placeCaptures(document, nullptr, selection, placed, std::nullopt, QPointF(0, 0));
    const QString error = writeDocumentFile(parser.value(out), document.state());
    if (!error.isEmpty()) {
        printError(QStringLiteral("%1: %2").arg(parser.value(out), error));
        return failed;
    }
    return ok;
}

} // namespace pintora::cli
