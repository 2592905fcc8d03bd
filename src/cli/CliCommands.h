#pragma once

#include <QStringList>

namespace pintora::cli {

// Exit codes, as the README lists them.
enum Exit : int {
    ok = 0,
    failed = 1, // the document or a file could not be read or written, or nothing to export
    usage = 2,  // unknown subcommand, missing or bad arguments
    captureFailed = 3,
};

// "pintora-cli: MESSAGE" on stderr.
void printError(const QString& message);

// Runs one subcommand: "info", "export" or "capture"; `--help` for each.
int run(int argc, char** argv);

int info(const QStringList& args);
int exportPicture(const QStringList& args);
// Runs its own application (the web engine needs one, with the scale set before it exists).
int capture(int argc, char** argv);

} // namespace pintora::cli
