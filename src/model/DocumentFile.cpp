#include "model/DocumentFile.h"

#include "model/DocumentCodec.h"
#include "model/LargeBuffer.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cstring>

namespace pintora {

namespace {
// Reads go in pieces of this size, each checked before the next is read.
constexpr qint64 readChunk = qint64(4) << 20;
} // namespace

Expected<CanvasState> readDocumentFile(const QString& path, const QString& newTabURL) {
    using Result = Expected<CanvasState>;
    const QFileInfo info(path);
    if (!info.exists()) return Result::failure(QStringLiteral("The file does not exist."));
    if (!info.isFile())
        return Result::failure(
            QStringLiteral("The file is corrupt: it is not a regular file (a folder?)."));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Result::failure(file.errorString());
    const qint64 size = file.size();
    if (std::size_t(size) > maxJsonSize) // refuse before reading gigabytes into memory
        return Result::failure(tooLargeMessage);
    LargeBuffer buffer(std::size_t(size), jsonReadPadding);
    if (buffer.isNull())
        return Result::failure(QStringLiteral("There is not enough memory to read the file."));
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.read(buffer.data() + done, std::min(size - done, readChunk));
        if (n <= 0)
            return Result::failure(n < 0 ? file.errorString()
                                         : QStringLiteral("The file changed while it was read."));
        // JSON text never holds a NUL byte; a file full of them (a hole, or blocks lost in a
        // crash) is refused here rather than read whole, gigabytes of it.
        if (const void* nul = std::memchr(buffer.data() + done, 0, std::size_t(n)))
            return Result::failure(
                QStringLiteral("The file is not valid JSON: it holds a NUL byte at byte %1.")
                    .arg(static_cast<const char*>(nul) - buffer.data()));
        done += n;
    }
    return decodeCanvasState(buffer.data(), buffer.size(), buffer.capacity(), newTabURL);
}

QString writeDocumentFile(const QString& path, const CanvasState& state) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    const QString error = encodeCanvasState(state, [&file](const char* data, std::size_t size) {
        // A write cut short (the disk filling up) is tried again, so that the failure that
        // follows comes with its reason.
        while (size > 0) {
            const qint64 n = file.write(data, qint64(size));
            if (n <= 0) return false;
            data += n;
            size -= std::size_t(n);
        }
        return true;
    });
    if (!error.isEmpty()) {
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString() : error;
        file.cancelWriting();
        return reason;
    }
    if (!file.commit()) return file.errorString();
    return QString();
}

} // namespace pintora
