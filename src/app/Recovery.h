#pragma once

#include "model/CanvasState.h"

#include <QDateTime>
#include <QString>
#include <memory>
#include <optional>

namespace pintora {

// What a draft says of the document it was written for, beside it in "<draft>.pintora-file":
// the file it belongs to (none for an untitled document), that file's size and time as they
// were when the draft was written, and why saving it at quit failed, if it did.
struct RecoveryNote {
    QString file;
    qint64 fileSize = -1; // -1: there was no such file
    QDateTime fileModified;
    QString failedSave;

    // Whether the file is no longer as it was when the draft was written.
    bool fileChangedSince() const;
};

namespace recovery {
// The note beside `draftPath`; none when there is none (an untitled document's draft).
std::optional<RecoveryNote> readNote(const QString& draftPath);
// Removes notes whose draft is gone (a crash between the two writes).
void removeStrayNotes(const QString& directory);
} // namespace recovery

// The recovery copy of one open document: a draft in the drafts folder, written a few seconds
// after each change on a worker thread, so that a crash, a kill or a power cut loses nothing.
// A titled document's copy never touches its own file; its note names the file. Writes and
// removals are ordered: a copy removed (the work was saved) is never written again by a write
// already under way.
class RecoveryCopy {
public:
    explicit RecoveryCopy(QString directory);
    ~RecoveryCopy();
    RecoveryCopy(const RecoveryCopy&) = delete;
    RecoveryCopy& operator=(const RecoveryCopy&) = delete;

    // The draft this copy goes to: the one the document was restored from, or none yet.
    void adopt(const QString& draftPath);
    QString path() const;

    // Writes `state` in the background (the state's pictures are shared, not copied); a write
    // still under way when the next is asked for is followed by that one.
    void writeLater(CanvasState state, const QString& ownFile);
    // Writes now, after any write under way; returns why it failed, or an empty string.
    QString writeNow(const CanvasState& state, const QString& ownFile,
                     const QString& failedSave = QString());
    // Waits for a write under way (tests, and quitting).
    void waitForWrites() const;
    // Removes the copy and its note; a write under way is dropped.
    void remove();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace pintora
