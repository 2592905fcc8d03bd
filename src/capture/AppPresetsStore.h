#pragma once

#include "capture/ViewportPreset.h"

#include <QAbstractItemModel>
#include <QByteArray>
#include <QList>
#include <QObject>
#include <optional>

namespace pintora {

class UserDefaults;

// The one list of viewport presets of the user account, kept in user defaults and written
// back whole after every change.
class AppPresetsStore : public QObject {
    Q_OBJECT
public:
    // Loads the stored list, or the default list when none can be read; writes nothing.
    explicit AppPresetsStore(UserDefaults& defaults, QObject* parent = nullptr);

    // The process-wide store over the application's user defaults, made on first use.
    static AppPresetsStore& shared();

    const QList<ViewportPreset>& presets() const { return presets_; }
    // Publishes the new list to observers, then persists it.
    void setPresets(QList<ViewportPreset> presets);
    void persist();
    void restoreDefaults();
    // The list is the default list of this process run, ids included.
    bool matchesDefaults() const;

    // The edits the preset views make, each one assignment of a changed copy.
    void add();
    void remove(qsizetype index);
    // Moves the elements at `sources` before the element that was at `destination`.
    void move(const QList<qsizetype>& sources, qsizetype destination);
    void replace(qsizetype index, const ViewportPreset& preset);
    // The element at `index`, or a placeholder that is never stored.
    ViewportPreset presetAt(qsizetype index) const;

    static std::optional<QByteArray> encode(const QList<ViewportPreset>& presets);
    // None for anything but an array of complete presets.
    static std::optional<QList<ViewportPreset>> decode(const QByteArray& json);

    static inline const QString customName = QStringLiteral("Custom");
    static constexpr double customWidth = 1024;
    static constexpr double customHeight = 768;

signals:
    void presetsChanged();

private:
    UserDefaults& defaults_;
    QList<ViewportPreset> presets_;
};

// Keeps the store in step with a list view whose rows the user drags: the view has moved its
// rows already; the store's order is the one that counts, and the rows are rebuilt from it
// once the view has finished the move.
void followRowMoves(QAbstractItemModel& model, AppPresetsStore& store, QObject* context);

} // namespace pintora
