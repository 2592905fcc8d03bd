#include "cli/CaptureArguments.h"

#include "capture/AddressText.h"
#include "capture/AppPresetsStore.h"
#include "cli/CliCommands.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QUuid>
#include <algorithm>
#include <cstdio>

namespace pintora::cli {

const char* const captureHelp =
    "Usage: pintora-cli capture [URL] [--urls FILE] [options] (-o OUT.pintora | --png-dir DIR)\n"
    "\n"
    "Renders each page off screen at each size, several sizes at once, and takes each picture\n"
    "as soon as the page is ready: loaded (or quiet for 3 s), pictures decoded, fonts loaded,\n"
    "and a frame of the size painted. Pictures are placed, and named, in the order given.\n"
    "\n"
    "What and where:\n"
    "  --urls FILE       more addresses, one a line (blank lines and # comments skipped; - reads\n"
    "                    them from standard input); each is captured at every size, its PNG\n"
    "                    names start with its host and path, and each address gets a row of\n"
    "                    its own in the document\n"
    "  --preset NAME     a viewport preset by name (the user's stored presets, or the factory\n"
    "                    ones); repeatable\n"
    "  --list-presets    print the presets' names, one a line, and exit\n"
    "  --size WxH        a viewport size in points, e.g. 1280x800; repeatable\n"
    "                    (without --preset or --size: every enabled preset)\n"
    "  --full-page       the whole length of the page instead of one viewport\n"
    "  --selector CSS    only the box of the first element matching CSS, taken from the whole\n"
    "                    page, clipped to the page\n"
    "  --scroll-y N      the vertical scroll offset of a viewport capture, in points\n"
    "  --scale 1|2|3     pixels per point of the pictures (default 1)\n"
    "  -o FILE           write a new document with the pictures placed in a row\n"
    "  --png-dir DIR     write one PNG per size, named after the preset and size\n"
    "\n"
    "The page:\n"
    "  --wait-for CSS    wait until an element matches CSS (within --timeout)\n"
    "  --delay MS        wait this much longer once the page is ready\n"
    "  --timeout S       seconds each size may take, from the load's start to its picture\n"
    "                    (loading, --wait-for, scripts, the grab); past them the size fails\n"
    "                    (exit code 3). Without it a page still loading after 60 s is taken as\n"
    "                    it is, and a size fails after about 100 s\n"
    "  --fail-on-http-error\n"
    "                    a page whose server answers 400 or above fails (exit code 3); by\n"
    "                    default it is captured, as the browser shows it\n"
    "  --hide CSS        hide the elements matching CSS (visibility:hidden), e.g. a cookie\n"
    "                    banner; repeatable\n"
    "  --javascript CODE run CODE among the page's scripts before the capture\n"
    "  --color-scheme light|dark\n"
    "                    what the page sees as prefers-color-scheme\n"
    "  --profile app     browse with the application's profile (its cookies and logins); by\n"
    "                    default a fresh profile kept in memory only\n"
    "\n"
    "The engine:\n"
    "  --engine chromium|builtin\n"
    "                    chromium: the system's Chromium-family browser, headless (the default\n"
    "                    when one is installed); builtin: the application's own web engine\n"
    "  --browser PATH|ws://HOST:PORT/...\n"
    "                    the browser program to start (default: the first of chromium,\n"
    "                    chromium-browser, google-chrome-stable, google-chrome, microsoft-edge,\n"
    "                    brave-browser on PATH), or the DevTools address of one already running\n"
    "\n"
    "Running:\n"
    "  --shard K/N       capture only the K-th of N equal parts of the address list, by its\n"
    "                    order, so that N machines share one list\n"
    "  --jobs N          sizes captured at once, each in a view of its own (default: one per\n"
    "                    core, 2 to 4)\n"
    "  --json            print a JSON line on stdout for each picture written: url, preset,\n"
    "                    size, scale, file, pixelWidth, pixelHeight, engine, engineVersion, ms\n"
    "                    (from the load's start to the picture written), and status (the\n"
    "                    page's HTTP status, where the engine tells it)\n"
    "  --verbose         also show the engine's own log lines on stderr\n"
    "  -h, --help        show this help\n"
    "\n"
    "A page that does not load (no such host, refused, a TLS error), or that answers with a\n"
    "download, fails its address: no picture is written for it.\n"
    "\n"
    "Exit codes: 0 every picture was written; 1 a file could not be written; 2 bad arguments;\n"
    "3 a page failed (every failure is named on stderr, the other pictures are written);\n"
    "130 or 143 stopped by SIGINT or SIGTERM.\n";

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
    return QStringLiteral("%1 %2x%3.png")
        .arg(name.trimmed(), QString::number(preset.width), QString::number(preset.height));
}

// A file name part for an address: its host, port, path and query, with nothing a file
// system minds; "127.0.0.1_8080_docs_intro" for http://127.0.0.1:8080/docs/intro.
QString addressName(const QUrl& url) {
    QString name = url.host();
    if (url.port() > 0) name += QStringLiteral("_%1").arg(url.port());
    QString rest = url.path(QUrl::FullyDecoded);
    if (url.hasQuery()) rest += QLatin1Char('_') + url.query(QUrl::FullyDecoded);
    name += QLatin1Char('_') + rest;
    name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f\\s]+")),
                 QStringLiteral("_"));
    name.replace(QRegularExpression(QStringLiteral("_+")), QStringLiteral("_"));
    while (name.endsWith(QLatin1Char('_')))
        name.chop(1);
    return name.left(120);
}

// The addresses of a list file: one a line, blank lines and lines starting with '#' skipped.
std::optional<QList<QUrl>> readAddressList(const QString& path, QString* error) {
    QFile file(path);
    const bool opened = path == QLatin1StringView("-")
                            ? file.open(stdin, QIODevice::ReadOnly | QIODevice::Text)
                            : file.open(QIODevice::ReadOnly | QIODevice::Text);
    if (!opened) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return parseAddressList(file.readAll(), path, error);
}

// The value of `--name VALUE` or `--name=VALUE` in the raw arguments; `fallback` without one.
QString rawValue(const QStringList& raw, const QString& name, const QString& fallback) {
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (raw[i] == name) return raw.value(i + 1);
        if (raw[i].startsWith(name + QLatin1Char('='))) return raw[i].mid(name.size() + 1);
    }
    return fallback;
}

// "K/N": the K-th of N parts of a list.
std::optional<std::pair<int, int>> parseShard(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,6})/(\\d{1,6})$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch()) return std::nullopt;
    const int part = match.captured(1).toInt();
    const int parts = match.captured(2).toInt();
    if (parts < 1 || part < 1 || part > parts) return std::nullopt;
    return std::pair(part, parts);
}

std::optional<QList<ViewportPreset>> choosePresets(const QStringList& names,
                                                   const QStringList& sizes) {
    AppPresetsStore store(UserDefaults::standard());
    QList<ViewportPreset> presets;
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
            return std::nullopt;
        }
        presets << *found;
    }
    for (const QString& text : sizes) {
        const std::optional<QSize> size = parseSize(text);
        if (!size) {
            printError(QStringLiteral("'%1' is not a size like 1280x800").arg(text));
            return std::nullopt;
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
        return std::nullopt;
    }
    return presets;
}

QStringList picturePaths(const QString& dir, const QList<QUrl>& urls,
                         const QList<ViewportPreset>& presets, bool named) {
    QStringList paths;
    QSet<QString> used;
    for (const QUrl& url : urls) {
        for (const ViewportPreset& preset : presets) {
            QString name = pictureName(preset);
            if (named) name = addressName(url) + QLatin1Char(' ') + name;
            const QString stem = name.chopped(4);
            for (int n = 2; used.contains(name.toCaseFolded()); ++n)
                name = QStringLiteral("%1 (%2).png").arg(stem, QString::number(n));
            used.insert(name.toCaseFolded());
            paths << QFileInfo(QDir(dir).filePath(name)).absoluteFilePath();
        }
    }
    return paths;
}

} // namespace pintora::cli
