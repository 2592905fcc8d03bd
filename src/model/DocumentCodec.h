#pragma once

#include "model/CanvasState.h"
#include "model/Expected.h"
#include "model/JsonWriter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace pintora {

// The largest JSON text the reader takes (its parser indexes with 32-bit offsets).
inline constexpr std::size_t maxJsonSize = 0xFFFFFFFF;
inline const QString tooLargeMessage = QStringLiteral("The file is too large to read (over 4 GB).");

// Bytes a parse buffer must hold beyond the JSON text (the parser reads ahead).
inline constexpr std::size_t jsonReadPadding = 64;

// Reads a document. `capacity` must be at least size + jsonReadPadding; tabs missing from the
// file become one new tab at `newTabURL`. A failure names the member and the reason, e.g.
// `items[3].shape._0.kind: "hexagon" is not a shape kind`.
Expected<CanvasState> decodeCanvasState(const char* json, std::size_t size, std::size_t capacity,
                                        const QString& newTabURL);
Expected<CanvasState> decodeCanvasState(QByteArrayView json, const QString& newTabURL);

// Reads a JSON array of items in their coded form, all or nothing (the item clipboard).
Expected<QList<CanvasItem>> decodeItems(QByteArrayView json);

// Writes the document's JSON to `sink`; returns an empty string, or why the write failed
// (a number that is not finite, or the sink refusing bytes).
QString encodeCanvasState(const CanvasState& state, const JsonWriter::Sink& sink);
Expected<QByteArray> encodeCanvasStateToBytes(const CanvasState& state);

Expected<QByteArray> encodeItems(const QList<CanvasItem>& items);

} // namespace pintora
