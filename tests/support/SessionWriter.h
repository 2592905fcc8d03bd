#pragma once

#include <QByteArray>
#include <QString>
#include <QtEndian>
#include <initializer_list>
#include <lz4.h>

namespace pintora::test {

// A Firefox session file: the "mozLz40" header, the length, then one LZ4 block.
inline QByteArray mozLz4(const QByteArray& json) {
    QByteArray out("mozLz40", 8);
    char size[4];
    qToLittleEndian<quint32>(quint32(json.size()), size);
    out.append(size, 4);
    QByteArray block(LZ4_compressBound(int(json.size())), Qt::Uninitialized);
    const int n =
        LZ4_compress_default(json.constData(), block.data(), int(json.size()), int(block.size()));
    return out + block.left(n);
}

// Writes the records a Chromium-family browser logs, as it lays them out.
class SessionWriter {
public:
    SessionWriter() : file_("SNSS") { int32(file_, 3); }
    void tabInWindow(qint32 window, qint32 tab) { record(0, {window, tab}); }
    void tabIndex(qint32 tab, qint32 index) { record(2, {tab, index}); }
    void selected(qint32 tab, qint32 index) { record(7, {tab, index}); }
    void closed(qint32 tab) { record(16, {tab, 0, 0}); }
    void windowClosed(qint32 window) { record(17, {window, 0, 0}); }
    void navigation(qint32 tab, qint32 index, const QByteArray& url, const QString& title) {
        QByteArray pickle;
        int32(pickle, tab);
        int32(pickle, index);
        int32(pickle, qint32(url.size()));
        pickle += url;
        pad(pickle);
        int32(pickle, qint32(title.size()));
        pickle += QByteArray(reinterpret_cast<const char*>(title.utf16()), title.size() * 2);
        pad(pickle);
        QByteArray body;
        int32(body, qint32(pickle.size()));
        body += pickle;
        raw(6, body);
    }
    const QByteArray& bytes() const { return file_; }

private:
    static void int32(QByteArray& out, qint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        out.append(b, 4);
    }
    static void pad(QByteArray& out) {
        while (out.size() % 4)
            out.append('\0');
    }
    void record(quint8 command, std::initializer_list<qint32> fields) {
        QByteArray body;
        for (qint32 f : fields)
            int32(body, f);
        raw(command, body);
    }
    void raw(quint8 command, const QByteArray& body) {
        char size[2];
        qToLittleEndian<quint16>(quint16(body.size() + 1), size);
        file_.append(size, 2);
        file_.append(char(command));
        file_ += body;
    }
    QByteArray file_;
};

} // namespace pintora::test
