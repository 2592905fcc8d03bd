#pragma once

// What `pintora-cli capture` is told: its help, the values of its options, and the names of
// the files it writes.
#include "capture/ViewportPreset.h"

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <utility>

namespace pintora::cli {

extern const char* const captureHelp;

// "1280x800" (or with a capital X or ×) as a size.
std::optional<QSize> parseSize(const QString& text);
// A file name for a preset's picture: its name and size, with nothing a file system minds.
QString pictureName(const ViewportPreset& preset);
// A file name part for an address: its host, port, path and query, with nothing a file
// system minds; "127.0.0.1_8080_docs_intro" for http://127.0.0.1:8080/docs/intro.
QString addressName(const QUrl& url);
// The addresses of a list file: one a line, blank lines and lines starting with '#' skipped.
std::optional<QList<QUrl>> readAddressList(const QString& path, QString* error);
// The value of `--name VALUE` or `--name=VALUE` in the raw arguments; `fallback` without one.
QString rawValue(const QStringList& raw, const QString& name, const QString& fallback);
// "K/N": the K-th of N parts of a list.
std::optional<std::pair<int, int>> parseShard(const QString& text);

// The presets of `--preset NAME` and the sizes of `--size WxH`, in the order given on the
// command line; every enabled preset without either. None, after saying why, if one is unknown
// or bad, or if there is nothing to capture.
std::optional<QList<ViewportPreset>> choosePresets(const QStringList& names,
                                                   const QStringList& sizes);
// The PNG files of --png-dir in `dir`, one for each address and size in order, the address in
// the name when `named`. Of two pictures of one name, the later one is "(2)".
QStringList picturePaths(const QString& dir, const QList<QUrl>& urls,
                         const QList<ViewportPreset>& presets, bool named);

} // namespace pintora::cli
