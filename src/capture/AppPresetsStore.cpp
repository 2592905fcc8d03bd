#include "capture/AppPresetsStore.h"

#include "model/CanvasState.h"
#include "model/JsonWriter.h"
#include "platform/UserDefaults.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

namespace pintora {

AppPresetsStore::AppPresetsStore(UserDefaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults) {
    const auto stored = decode(defaults_.viewportPresetsData());
    presets_ = stored && !stored->isEmpty() ? *stored : CanvasState::defaultPresets();
}

AppPresetsStore& AppPresetsStore::shared() {
    static AppPresetsStore store(UserDefaults::standard());
    return store;
}

void AppPresetsStore::setPresets(QList<ViewportPreset> presets) {
    presets_ = std::move(presets);
    emit presetsChanged();
    persist();
}

void AppPresetsStore::persist() {
    if (const auto json = encode(presets_)) defaults_.setViewportPresetsData(*json);
}

void AppPresetsStore::restoreDefaults() {
    setPresets(CanvasState::defaultPresets());
}

bool AppPresetsStore::matchesDefaults() const {
    return presets_ == CanvasState::defaultPresets();
}

void AppPresetsStore::add() {
    auto presets = presets_;
    presets.append({QUuid::createUuid(), customName, customWidth, customHeight, true});
    setPresets(std::move(presets));
}

void AppPresetsStore::remove(qsizetype index) {
    if (index < 0 || index >= presets_.size()) return;
    auto presets = presets_;
    presets.removeAt(index);
    setPresets(std::move(presets));
}

void AppPresetsStore::move(const QList<qsizetype>& sources, qsizetype destination) {
    QList<qsizetype> sorted = sources;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    QList<ViewportPreset> moved;
    QList<ViewportPreset> rest;
    qsizetype insertAt = destination;
    for (qsizetype i = 0; i < presets_.size(); ++i) {
        if (std::binary_search(sorted.begin(), sorted.end(), i)) {
            moved.append(presets_[i]);
            if (i < destination) --insertAt;
        } else {
            rest.append(presets_[i]);
        }
    }
    insertAt = std::clamp<qsizetype>(insertAt, 0, rest.size());
    for (qsizetype i = 0; i < moved.size(); ++i)
        rest.insert(insertAt + i, moved[i]);
    setPresets(std::move(rest));
}

void AppPresetsStore::replace(qsizetype index, const ViewportPreset& preset) {
    if (index < 0 || index >= presets_.size()) return;
    auto presets = presets_;
    presets[index] = preset;
    setPresets(std::move(presets));
}

ViewportPreset AppPresetsStore::presetAt(qsizetype index) const {
    if (index >= 0 && index < presets_.size()) return presets_[index];
    return {QUuid::createUuid(), QString(), 0, 0, true};
}

std::optional<QByteArray> AppPresetsStore::encode(const QList<ViewportPreset>& presets) {
    QByteArray out;
    JsonWriter writer([&](const char* data, std::size_t size) {
        out.append(data, qsizetype(size));
        return true;
    });
    writer.ch('[');
    for (qsizetype i = 0; i < presets.size(); ++i) {
        const ViewportPreset& preset = presets[i];
        if (!std::isfinite(preset.width) || !std::isfinite(preset.height)) return std::nullopt;
        if (i > 0) writer.ch(',');
        writer.ch('{');
        writer.key("id");
        writer.string(preset.id.toString(QUuid::WithoutBraces).toUpper());
        writer.ch(',');
        writer.key("name");
        writer.string(preset.name);
        writer.ch(',');
        writer.key("width");
        writer.number(preset.width);
        writer.ch(',');
        writer.key("height");
        writer.number(preset.height);
        writer.ch(',');
        writer.key("enabled");
        writer.boolean(preset.enabled);
        writer.ch('}');
    }
    writer.ch(']');
    if (!writer.finish()) return std::nullopt;
    return out;
}

std::optional<QList<ViewportPreset>> AppPresetsStore::decode(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) return std::nullopt;
    QList<ViewportPreset> presets;
    for (const QJsonValue& value : document.array()) {
        const QJsonObject object = value.toObject();
        const QJsonValue id = object.value(QLatin1String("id"));
        const QJsonValue name = object.value(QLatin1String("name"));
        const QJsonValue width = object.value(QLatin1String("width"));
        const QJsonValue height = object.value(QLatin1String("height"));
        const QJsonValue enabled = object.value(QLatin1String("enabled"));
        if (!value.isObject() || !id.isString() || !name.isString() || !width.isDouble() ||
            !height.isDouble() || !enabled.isBool())
            return std::nullopt;
        // Only the plain 36-character form, in either case.
        const QString idText = id.toString();
        const QUuid uuid = idText.size() == 36 ? QUuid::fromString(idText) : QUuid();
        if (uuid.isNull()) return std::nullopt;
        presets.append(
            {uuid, name.toString(), width.toDouble(), height.toDouble(), enabled.toBool()});
    }
    return presets;
}

void followRowMoves(QAbstractItemModel& model, AppPresetsStore& store, QObject* context) {
    QObject::connect(&model, &QAbstractItemModel::rowsMoved, context,
                     [&store, context](const QModelIndex&, int first, int last, const QModelIndex&,
                                       int destination) {
                         QList<qsizetype> sources;
                         for (int i = first; i <= last; ++i)
                             sources.append(i);
                         QMetaObject::invokeMethod(
                             context,
                             [&store, sources, destination] { store.move(sources, destination); },
                             Qt::QueuedConnection);
                     });
}

} // namespace pintora
