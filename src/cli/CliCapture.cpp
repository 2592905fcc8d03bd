#include "canvas/DecodedImageCache.h"
#include "capture/AddressText.h"
#include "capture/AppPresetsStore.h"
#include "capture/BatchCapture.h"
#include "capture/ChromiumBrowser.h"
#include "capture/ChromiumEngine.h"
#include "capture/ParallelCapture.h"
#include "capture/ui/WebCaptureEngine.h"
#include "cli/CaptureArguments.h"
#include "cli/CliCommands.h"
#include "model/DocumentFile.h"
#include "model/PintoraDocument.h"
#include "platform/UserDefaults.h"
#include "platform/ui/WebProfile.h"
#include "window/CapturePlacement.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStringList>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <QtWebEngineCore/qtwebenginecoreglobal.h>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <future>
#include <mutex>
#include <unistd.h>

namespace pintora::cli {

namespace {

// Ctrl+C and SIGTERM end the run through the event loop, so that every browser and helper it
// started is ended before the process goes.
int signalPipe[2] = {-1, -1};
void onSignal(int number) {
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// The engine's own log lines (Qt's, the web engine's, pages' console) reach stderr only with
// --verbose: without it, stderr holds Pintora's messages alone.
bool verboseLog = false;
void quietLog(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (!verboseLog && type != QtFatalMsg) return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

QString jsonLine(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

} // namespace

int capture(int argc, char** argv) {
    // The scale and the colour scheme must be known before the application exists.
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    const QString scale = rawValue(raw, QStringLiteral("--scale"), QStringLiteral("1"));
    if (scale != QLatin1StringView("1") && scale != QLatin1StringView("2") &&
        scale != QLatin1StringView("3")) {
        printError(QStringLiteral("--scale takes 1, 2 or 3"));
        return usage;
    }
    const QString scheme = rawValue(raw, QStringLiteral("--color-scheme"), QString());
    if (!scheme.isNull() && scheme != QLatin1StringView("light") &&
        scheme != QLatin1StringView("dark")) {
        printError(QStringLiteral("--color-scheme takes light or dark"));
        return usage;
    }
    // The engine, from the options or the user's settings.
    QCoreApplication::setOrganizationName(QStringLiteral("Pintora"));
    QCoreApplication::setApplicationName(QStringLiteral("Pintora"));
    const EngineChoice engine = [&] {
        QSettings settings;
        UserDefaults defaults(&settings);
        return chooseEngine(rawValue(raw, QStringLiteral("--engine"), defaults.captureEngine()),
                            rawValue(raw, QStringLiteral("--browser"), defaults.captureBrowser()));
    }();
    if (!engine.error.isEmpty()) {
        printError(engine.error);
        return usage;
    }
    const bool chromium = !engine.browser.isEmpty();
    if (!chromium) qputenv("QT_SCALE_FACTOR", scale.toLatin1());
    verboseLog = raw.contains(QStringLiteral("--verbose"));
    qInstallMessageHandler(quietLog);
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    // Chromium refuses to run as root with its sandbox.
    if (flags.isEmpty() && geteuid() == 0) flags = "--no-sandbox";
    // The web engine's own log lines, of every process it starts, only when asked for.
    if (!verboseLog) flags += " --log-level=3";
    if (!scheme.isNull()) {
        // The engine's own setting behind prefers-color-scheme: 0 dark, 1 light.
        flags += scheme == QLatin1StringView("dark") ? " --blink-settings=preferredColorScheme=0"
                                                     : " --blink-settings=preferredColorScheme=1";
    }
    if (!flags.isEmpty()) qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.trimmed());
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Pintora"));
    QApplication::setApplicationName(QStringLiteral("Pintora"));
    configurePictureMemory();

    QStringList args = app.arguments();
    args.removeAt(1);
    QCommandLineParser parser;
    const auto valued = [](const char* name, const char* value) {
        return QCommandLineOption(QString::fromLatin1(name), QString(), QString::fromLatin1(value));
    };
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption presetOption = valued("preset", "NAME");
    const QCommandLineOption listPresets(QStringLiteral("list-presets"), QString());
    const QCommandLineOption sizeOption = valued("size", "WxH");
    const QCommandLineOption fullPage(QStringLiteral("full-page"), QString());
    const QCommandLineOption scrollY = valued("scroll-y", "N");
    const QCommandLineOption scaleOption = valued("scale", "S");
    const QCommandLineOption out = valued("o", "FILE");
    const QCommandLineOption pngDir = valued("png-dir", "DIR");
    const QCommandLineOption jobsOption = valued("jobs", "N");
    const QCommandLineOption urlsOption = valued("urls", "FILE");
    const QCommandLineOption waitForOption = valued("wait-for", "CSS");
    const QCommandLineOption delayOption = valued("delay", "MS");
    const QCommandLineOption timeoutOption = valued("timeout", "S");
    const QCommandLineOption hideOption = valued("hide", "CSS");
    const QCommandLineOption scriptOption = valued("javascript", "CODE");
    const QCommandLineOption selectorOption = valued("selector", "CSS");
    const QCommandLineOption schemeOption = valued("color-scheme", "SCHEME");
    const QCommandLineOption profileOption = valued("profile", "NAME");
    const QCommandLineOption jsonOption(QStringLiteral("json"), QString());
    const QCommandLineOption engineOption = valued("engine", "NAME");
    const QCommandLineOption browserOption = valued("browser", "PATH");
    const QCommandLineOption shardOption = valued("shard", "K/N");
    const QCommandLineOption httpErrorOption(QStringLiteral("fail-on-http-error"), QString());
    const QCommandLineOption verboseOption(QStringLiteral("verbose"), QString());
    parser.addOptions({help, presetOption, sizeOption, fullPage, scrollY, scaleOption, out,
                       pngDir, jobsOption, urlsOption, waitForOption, delayOption, timeoutOption,
                       hideOption, scriptOption, selectorOption, schemeOption, profileOption,
                       jsonOption, engineOption, browserOption, shardOption, httpErrorOption,
                       verboseOption, listPresets});
    if (!parser.parse(args)) {
        printError(parser.errorText());
        return usage;
    }
    if (parser.isSet(help)) {
        std::fputs(captureHelp, stdout);
        return ok;
    }
    if (parser.isSet(listPresets)) {
        // For shell completion and scripts: what --preset accepts.
        const AppPresetsStore store(UserDefaults::standard());
        for (const ViewportPreset& preset : store.presets())
            std::printf("%s\n", qPrintable(preset.name));
        return ok;
    }
    QList<QUrl> urls;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1 || (positional.isEmpty() && !parser.isSet(urlsOption))) {
        printError(QStringLiteral("capture takes one URL, or --urls FILE; see --help"));
        return usage;
    }
    if (!positional.isEmpty()) {
        const QUrl url = QUrl::fromUserInput(positional[0]);
        if (!url.isValid() || url.scheme().isEmpty()) {
            printError(QStringLiteral("'%1' is not an address").arg(positional[0]));
            return usage;
        }
        urls << url;
    }
    if (parser.isSet(urlsOption)) {
        QString error;
        const std::optional<QList<QUrl>> listed = readAddressList(parser.value(urlsOption), &error);
        if (!listed) {
            printError(error);
            return usage;
        }
        urls << *listed;
    }
    if (parser.isSet(shardOption)) {
        const auto shard = parseShard(parser.value(shardOption));
        if (!shard) {
            printError(QStringLiteral("--shard takes K/N, a part K from 1 to N"));
            return usage;
        }
        // Parts by position: part K holds the addresses from (K-1)·n/N up to K·n/N.
        const qsizetype n = urls.size();
        const qsizetype from = (shard->first - 1) * n / shard->second;
        const qsizetype to = shard->first * n / shard->second;
        urls = urls.mid(from, to - from);
        if (urls.isEmpty()) return ok; // more parts than addresses: this one has none
    }
    if (parser.isSet(out) == parser.isSet(pngDir)) {
        printError(QStringLiteral("give exactly one of -o FILE and --png-dir DIR"));
        return usage;
    }
    // A number option within bounds; none (after saying why) when it is not one.
    const auto number = [&](const QCommandLineOption& option, double low, double high,
                            double fallback, const char* what) -> std::optional<double> {
        if (!parser.isSet(option)) return fallback;
        bool isNumber = false;
        const double value = parser.value(option).toDouble(&isNumber);
        if (!isNumber || !(value >= low && value <= high)) {
            printError(QStringLiteral("--%1 takes %2")
                           .arg(option.names().constFirst(), QString::fromUtf8(what)));
            return std::nullopt;
        }
        return value;
    };
    const std::optional<double> scroll =
        number(scrollY, 0, 1e9, 0, "a number of points, 0 or more");
    const std::optional<double> delay =
        number(delayOption, 0, 600000, 0, "a number of milliseconds from 0 to 600000");
    const std::optional<double> timeout =
        number(timeoutOption, 0.1, 3600, 0, "a number of seconds above 0, at most 3600");
    if (!scroll || !delay || !timeout) return usage;
    if (parser.isSet(profileOption) && parser.value(profileOption) != QLatin1StringView("app")) {
        printError(QStringLiteral("--profile takes app (the application's profile)"));
        return usage;
    }
    BatchCapture::PageSteps steps;
    steps.waitFor = parser.value(waitForOption).trimmed();
    steps.timeoutMs = int(std::lround(*timeout * 1000));
    steps.hide = parser.values(hideOption);
    steps.script = parser.value(scriptOption);
    steps.clipTo = parser.value(selectorOption).trimmed();
    steps.delayMs = int(*delay);
    steps.failOnLoadError = true;
    steps.failOnHttpError = parser.isSet(httpErrorOption);
    for (const QString* selector : {&steps.waitFor, &steps.clipTo}) {
        if (parser.isSet(selector == &steps.waitFor ? waitForOption : selectorOption) &&
            selector->isEmpty()) {
            printError(QStringLiteral("--wait-for and --selector take a CSS selector"));
            return usage;
        }
    }

    const std::optional<QList<ViewportPreset>> chosen =
        choosePresets(parser.values(presetOption), parser.values(sizeOption));
    if (!chosen) return usage;
    const QList<ViewportPreset>& presets = *chosen;

    // One view per core, at least two: the waits for the network and for frames overlap, and
    // each view of a tall page holds its pixels, so more lanes than cores buy little.
    int lanes = std::min(std::clamp(QThread::idealThreadCount(), 2, 4), int(presets.size()));
    if (parser.isSet(jobsOption)) {
        bool isNumber = false;
        lanes = parser.value(jobsOption).toInt(&isNumber);
        if (!isNumber || lanes < 1 || lanes > 16) {
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
    if (!parser.isSet(profileOption) && !chromium) useFreshWebProfile();
    const bool json = parser.isSet(jsonOption);
    const bool named = parser.isSet(urlsOption);

    // Each picture is encoded, and written, on a thread of its own as soon as it is taken,
    // while the other sizes (and addresses) are still being captured.
    struct Encoded {
        std::optional<CapturePicture> picture;
        QString error; // encoding it, or writing its file, failed
        QJsonObject line;
    };
    const qsizetype count = presets.size();
    std::mutex printing; // before the futures, which may still hold it while they go
    std::vector<std::future<Encoded>> encoding(size_t(urls.size() * count));
    const QStringList paths = dir.isEmpty() ? QStringList() : picturePaths(dir, urls, presets, named);
    const bool showProgress = isatty(STDERR_FILENO);
    bool timedOut = false;
    int failures = 0;
    int stoppedBy = 0; // the signal that ended the run
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    QSocketNotifier signalled(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalled, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        if (::read(signalPipe[0], &byte, 1) == 1 && !stoppedBy) stoppedBy = byte;
        QCoreApplication::exit(1);
    });
    std::shared_ptr<ChromiumBrowser> browser;
    ChromiumEngine::Options chromiumOptions;
    QString engineName = QStringLiteral("builtin");
    QString engineVersion = QString::fromLatin1(qWebEngineChromiumVersion());
    if (chromium) {
        browser = std::make_shared<ChromiumBrowser>(engine.browser);
        chromiumOptions.scale = scale.toInt();
        chromiumOptions.colorScheme = scheme;
        if (parser.isSet(profileOption)) {
            const QJsonArray cookies = storedWebProfileCookies();
            chromiumOptions.cookies = [cookies] { return cookies; };
        }
        engineName = QStringLiteral("chromium");
        // Started now, while the rest is set up.
        browser->start([](const QString&) {});
    }
    {
        ParallelCapture capture(
            [&]() -> std::unique_ptr<CaptureEngine> {
                if (browser) return std::make_unique<ChromiumEngine>(browser, chromiumOptions);
                return std::make_unique<WebCaptureEngine>();
            },
            lanes);
        capture.setTiming(BatchCapture::Timing::onReadiness());
        capture.setPageSteps(steps);
        qsizetype current = 0; // the address being captured
        const auto label = [](const ViewportPreset& preset) {
            return QStringLiteral("%1 (%2x%3)")
                .arg(preset.name, QString::number(preset.width), QString::number(preset.height));
        };
        QObject::connect(&capture, &ParallelCapture::pageCut,
                         [&](const ViewportPreset& preset, double height, int cutAt) {
                             if (showProgress) std::fputs("\n", stderr);
                             printError(BatchCapture::cutMessage(preset, height, cutAt));
                         });
        QHash<QUuid, int> statuses; // of the address being captured, by preset
        QObject::connect(&capture, &ParallelCapture::pageStatus,
                         [&](const ViewportPreset& preset, int status) {
                             statuses.insert(preset.id, status);
                         });
        QObject::connect(&capture, &ParallelCapture::pageFailed,
                         [&](const ViewportPreset& preset, const QString& reason, bool time) {
                             if (showProgress) std::fputs("\n", stderr);
                             printError(QStringLiteral("%1 at %2: %3")
                                            .arg(urls[current].toDisplayString(), label(preset),
                                                 reason));
                             timedOut = timedOut || time;
                             ++failures;
                         });
        std::function<void()> captureNext = [&] {
            const QUrl url = urls[current];
            statuses.clear();
            capture.run(
                url, presets, parser.isSet(fullPage), *scroll,
                [&](CaptureProgress progress) {
                    if (!showProgress) return;
                    std::fprintf(stderr, "\rCaptured %d of %d",
                                 progress.current + int(current * count), int(urls.size() * count));
                    std::fflush(stderr);
                },
                [&, url](int index, const QImage& image, const ViewportPreset& preset,
                         qint64 elapsedMs) {
                    const QString path = paths.value(current * count + index);
                    QJsonObject line{{QStringLiteral("url"), url.toString(QUrl::FullyEncoded)},
                                     {QStringLiteral("preset"), preset.name},
                                     {QStringLiteral("size"),
                                      QStringLiteral("%1x%2").arg(preset.width).arg(preset.height)},
                                     {QStringLiteral("scale"), scale.toInt()},
                                     {QStringLiteral("pixelWidth"), image.width()},
                                     {QStringLiteral("pixelHeight"), image.height()},
                                     {QStringLiteral("engine"), engineName},
                                     {QStringLiteral("engineVersion"),
                                      browser ? browser->product().section(u'/', 1)
                                              : engineVersion}};
                    if (statuses.contains(preset.id))
                        line.insert(QStringLiteral("status"), statuses.value(preset.id));
                    QElapsedTimer since;
                    since.start();
                    encoding[size_t(current * count + index)] =
                        std::async(std::launch::async, [&, image, path, line, preset, elapsedMs,
                                                        since]() mutable {
                            Encoded result{capturePicture(image), {}, {}};
                            if (!result.picture) {
                                result.error =
                                    QStringLiteral("%1 at %2x%3: the picture could "
                                                   "not be encoded")
                                        .arg(line.value(QStringLiteral("url")).toString(),
                                             QString::number(preset.width),
                                             QString::number(preset.height));
                                return result;
                            }
                            if (path.isEmpty()) {
                                result.line = line;
                                result.line.insert(QStringLiteral("ms"),
                                                   elapsedMs + since.elapsed());
                                return result;
                            }
                            QSaveFile file(path);
                            if (!file.open(QIODevice::WriteOnly) ||
                                file.write(result.picture->pngData) !=
                                    result.picture->pngData.size() ||
                                !file.commit()) {
                                result.error =
                                    QStringLiteral("%1: %2").arg(path, file.errorString());
                                return result;
                            }
                            // Written: its bytes need not wait for the others.
                            result.picture->pngData.clear();
                            result.line = line;
                            line.insert(QStringLiteral("file"), path);
                            line.insert(QStringLiteral("ms"), elapsedMs + since.elapsed());
                            if (json) {
                                const std::lock_guard lock(printing);
                                std::fprintf(stdout, "%s\n", qPrintable(jsonLine(line)));
                                std::fflush(stdout);
                            }
                            return result;
                        });
                },
                [&] {
                    // The next address once this one's sizes are all done.
                    QTimer::singleShot(0, &app, [&] {
                        if (++current < urls.size())
                            captureNext();
                        else
                            QCoreApplication::quit();
                    });
                });
        };
        captureNext();
        app.exec();
    }
    if (browser) browser->shutdown();
    if (showProgress) std::fputs("\n", stderr);
    if (stoppedBy) {
        for (auto& result : encoding)
            if (result.valid()) result.wait();
        printError(QStringLiteral("stopped"));
        return 128 + stoppedBy;
    }
    // The pictures of each address, in the order of the presets.
    QList<QList<CapturePicture>> rows(urls.size());
    QList<QJsonObject> lines;
    QString writeError;
    for (size_t i = 0; i < encoding.size(); ++i) {
        if (!encoding[i].valid()) continue;
        Encoded result = encoding[i].get();
        if (!result.error.isEmpty() && writeError.isEmpty()) writeError = result.error;
        if (!result.picture) continue;
        rows[qsizetype(i) / count] << std::move(*result.picture);
        lines << result.line;
    }
    if (!writeError.isEmpty()) {
        printError(writeError);
        return failed;
    }
    if (lines.isEmpty()) {
        if (!timedOut && failures == 0)
            printError(QStringLiteral("no picture could be taken"));
        return captureFailed;
    }
    if (dir.isEmpty()) {
        // A new document holding each address's pictures as a row, placed as a capture places
        // them, its tab at the first page.
        PintoraDocument document(storedAddress(urls.constFirst()));
        Selection selection;
        for (const QList<CapturePicture>& row : rows)
            placeCaptures(document, nullptr, selection, row, std::nullopt, QPointF(0, 0));
        const QString error = writeDocumentFile(parser.value(out), document.state());
        if (!error.isEmpty()) {
            printError(QStringLiteral("%1: %2").arg(parser.value(out), error));
            return failed;
        }
        if (json) {
            const QString path = QFileInfo(parser.value(out)).absoluteFilePath();
            for (QJsonObject& line : lines) {
                line.insert(QStringLiteral("file"), path);
                std::fprintf(stdout, "%s\n", qPrintable(jsonLine(line)));
            }
        }
    }
    return failures > 0 ? captureFailed : ok;
}

} // namespace pintora::cli
