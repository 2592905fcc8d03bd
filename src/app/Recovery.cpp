#include "app/Recovery.h"

#include "app/Drafts.h"
#include "model/DocumentFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QThreadPool>
#include <condition_variable>
#include <mutex>

namespace pintora {

namespace {
QString notePath(const QString& draftPath) {
    return draftPath + QStringLiteral("-file");
}

QString writeNote(const QString& draftPath, const QString& ownFile, const QString& failedSave) {
    const QString path = notePath(draftPath);
    if (ownFile.isEmpty()) {
        QFile::remove(path);
        return {};
    }
    const QFileInfo file(ownFile);
    QJsonObject note{{QStringLiteral("file"), ownFile}};
    if (file.exists()) {
        note.insert(QStringLiteral("fileSize"), file.size());
        note.insert(QStringLiteral("fileModified"),
                    file.lastModified().toUTC().toString(Qt::ISODateWithMs));
    }
    if (!failedSave.isEmpty()) note.insert(QStringLiteral("failedSave"), failedSave);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(QJsonDocument(note).toJson(QJsonDocument::Compact)) < 0 || !out.commit())
        return out.errorString();
    return {};
}
} // namespace

bool RecoveryNote::fileChangedSince() const {
    const QFileInfo now(file);
    if (!now.exists()) return fileSize >= 0;
    return fileSize < 0 || now.size() != fileSize ||
           now.lastModified().toUTC() != fileModified.toUTC();
}

namespace recovery {

std::optional<RecoveryNote> readNote(const QString& draftPath) {
    QFile in(notePath(draftPath));
    if (!in.open(QIODevice::ReadOnly)) return std::nullopt;
    const QJsonObject note = QJsonDocument::fromJson(in.read(1 << 16)).object();
    RecoveryNote read;
    read.file = note.value(QLatin1String("file")).toString();
    if (read.file.isEmpty()) return std::nullopt;
    if (note.contains(QLatin1String("fileSize"))) {
        read.fileSize = qint64(note.value(QLatin1String("fileSize")).toDouble());
        read.fileModified = QDateTime::fromString(
            note.value(QLatin1String("fileModified")).toString(), Qt::ISODateWithMs);
    }
    read.failedSave = note.value(QLatin1String("failedSave")).toString();
    return read;
}

void removeStrayNotes(const QString& directory) {
    const auto notes = QDir(directory).entryInfoList({QStringLiteral("*.pintora-file")}, QDir::Files);
    for (const QFileInfo& note : notes) {
        const QString draft = note.absoluteFilePath().chopped(5);
        if (!QFile::exists(draft)) QFile::remove(note.absoluteFilePath());
    }
}

} // namespace recovery

struct RecoveryCopy::Shared {
    QString directory;
    // Held only for a moment, over what follows: the window never waits for a write.
    mutable std::mutex mutex;
    std::condition_variable idle;
    QString path;
    // Each removal starts a new generation: a write of an older one leaves no file.
    quint64 generation = 0;
    int writing = 0;
    // The latest state asked for while a write was under way.
    std::optional<std::pair<CanvasState, QString>> next;
    // Held over a write: one at a time.
    std::mutex files;

    // The draft to write for `generation`; none once it was removed.
    std::optional<QString> target(quint64 generation) {
        const std::lock_guard lock(mutex);
        if (generation != this->generation) return std::nullopt;
        QDir().mkpath(directory);
        if (path.isEmpty()) path = drafts::newPath(directory);
        return path;
    }
    // With `files` held.
    QString write(quint64 generation, const CanvasState& state, const QString& ownFile,
                  const QString& failedSave) {
        const std::optional<QString> draft = target(generation);
        if (!draft) return {};
        // The note first: a draft is never taken for an untitled one for want of it.
        QString error = writeNote(*draft, ownFile, failedSave);
        if (error.isEmpty()) error = writeDocumentFile(*draft, state);
        const std::lock_guard lock(mutex);
        if (generation != this->generation) {
            // Removed while it was written: the work was saved, or let go.
            QFile::remove(*draft);
            QFile::remove(notePath(*draft));
        }
        return error;
    }
};

RecoveryCopy::RecoveryCopy(QString directory) : shared_(std::make_shared<Shared>()) {
    shared_->directory = std::move(directory);
}

RecoveryCopy::~RecoveryCopy() {
    // A write under way finishes on its own: it holds the shared part.
    const std::lock_guard lock(shared_->mutex);
    shared_->next.reset();
}

void RecoveryCopy::adopt(const QString& draftPath) {
    const std::lock_guard lock(shared_->mutex);
    shared_->path = draftPath;
}

QString RecoveryCopy::path() const {
    const std::lock_guard lock(shared_->mutex);
    return shared_->path;
}

void RecoveryCopy::writeLater(CanvasState state, const QString& ownFile) {
    std::unique_lock lock(shared_->mutex);
    if (shared_->writing > 0) {
        shared_->next = std::pair(std::move(state), ownFile);
        return;
    }
    ++shared_->writing;
    quint64 generation = shared_->generation;
    lock.unlock();
    QThreadPool::globalInstance()->start([shared = shared_, generation, state = std::move(state),
                                          ownFile = QString(ownFile)]() mutable {
        for (;;) {
            {
                const std::lock_guard files(shared->files);
                shared->write(generation, state, ownFile, QString());
            }
            const std::lock_guard lock(shared->mutex);
            if (!shared->next) {
                --shared->writing;
                shared->idle.notify_all();
                return;
            }
            std::tie(state, ownFile) = std::move(*shared->next);
            shared->next.reset();
            generation = shared->generation;
        }
    });
}

QString RecoveryCopy::writeNow(const CanvasState& state, const QString& ownFile,
                               const QString& failedSave) {
    quint64 generation;
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->next.reset();
        generation = shared_->generation;
    }
    const std::lock_guard files(shared_->files);
    return shared_->write(generation, state, ownFile, failedSave);
}

void RecoveryCopy::waitForWrites() const {
    std::unique_lock lock(shared_->mutex);
    shared_->idle.wait(lock, [this] { return shared_->writing == 0; });
}

void RecoveryCopy::remove() {
    QString old;
    {
        const std::lock_guard lock(shared_->mutex);
        ++shared_->generation;
        shared_->next.reset();
        old = std::exchange(shared_->path, QString());
    }
    if (old.isEmpty()) return;
    QFile::remove(old);
    QFile::remove(notePath(old));
}

} // namespace pintora
