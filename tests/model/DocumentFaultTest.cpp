// What a save or an open does when the machine or the file works against it: a full disk, a
// process killed while writing, a picture that claims more pixels than memory holds, a file of
// gigabytes, a file that is no document at all.
#include "canvas/DecodedImageCache.h"
#include "export/PngRenderer.h"
#include "model/DocumentCodec.h"
#include "model/DocumentFile.h"
#include "shapes/Redaction.h"
#include "support/TestFiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <cerrno>
#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace pintora;

namespace {

constexpr qint64 MB = 1024 * 1024;

// The sample with a picture of that many bytes: the document grows by 4/3 of them.
CanvasState withPicture(qint64 pictureBytes) {
    CanvasState state = test::sampleState();
    ImageItem image{.pngData = QByteArray(pictureBytes, 'Z')};
    state.items.append(image);
    return state;
}

// One field of /proc/<pid>/<file> in its first unit (kB for status, bytes for io).
qint64 procField(const QString& file, const QByteArray& name) {
    QFile proc(file);
    if (!proc.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : proc.readAll().split('\n')) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

class DocumentFaultTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
};

} // namespace

TEST_F(DocumentFaultTest, ASaveToAFullDiskKeepsTheOldFileAndSaysWhy) {
    const QByteArray disk = QFile::encodeName(dir.path());
    if (::mount("tmpfs", disk.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
    const auto unmount = qScopeGuard([&] { ::umount2(disk.constData(), MNT_DETACH); });

    const QString file = dir.filePath(QStringLiteral("doc.pintora"));
    ASSERT_EQ(writeDocumentFile(file, test::sampleState()), QString());
    const QByteArray before = test::readAll(file);
    const QString error = writeDocumentFile(file, withPicture(MB));
    EXPECT_TRUE(error.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))))
        << error.toStdString();
    EXPECT_EQ(test::readAll(file), before);
    // The partial copy is gone and gave its space back: a save that fits succeeds.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    EXPECT_EQ(writeDocumentFile(file, test::sampleState()), QString());
}

TEST_F(DocumentFaultTest, APictureClaimingTenBillionPixelsOpensButFailsTheExportNamingIt) {
    configurePictureMemory();
    ImageItem huge{.frame = QRectF(0, 0, 100, 100),
                   .pngData = test::pngClaimingSize(100'000, 100'000)};
    ShapeItem box = makeShape(ShapeKind::rect, QRectF(200, 0, 10, 10));
    box.filled = true;
    CanvasState state;
    state.items = {huge, box};
    const QString file = dir.filePath(QStringLiteral("huge.pintora"));
    ASSERT_EQ(writeDocumentFile(file, state), QString());

    // The peak from here on: writing 5 resets the kernel's high-water mark of this process.
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    const bool peakReset = clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
    clearRefs.close();
    const qint64 rssBefore = procField(QStringLiteral("/proc/self/status"), "VmRSS");

    const auto read = readDocumentFile(file, QString());
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    ASSERT_EQ(read.value().items, state.items);
    // Never a picture with a hole where it should be, reported as an export.
    QString problem;
    EXPECT_TRUE(renderImage(read.value(), &problem).isNull());
    EXPECT_EQ(problem, "the picture at 0, 0 on the canvas, 100000 × 100000 pixels, is too large "
                       "to draw");
    EXPECT_FALSE(renderPNG(read.value(), &problem));
    EXPECT_FALSE(fitsPictureLimit(QSize(INT_MAX, INT_MAX))) << "the largest a header names";
    EXPECT_EQ(unshownPictures(read.value()),
              "A picture is too large to show: 100000 × 100000 pixels, more than the 268 million "
              "a picture may have. It stays in the document as it is.");
    if (peakReset) {
        const qint64 growthKB = procField(QStringLiteral("/proc/self/status"), "VmHWM") - rssBefore;
        EXPECT_LT(growthKB, 64 * 1024) << "opening and drawing took " << growthKB / 1024 << " MB";
    }
}

// Pictures just over the limit once kept in 32-bit pixels yet under it in their own depth (a
// 1-bit one grows 32 times), each refused before decoding on every path that decodes.
TEST_F(DocumentFaultTest, PicturesOverTheLimitInThePixelsKeptAreNeverDecoded) {
    configurePictureMemory();
    const int side = 16'400; // 269 million pixels: 1.08 GB at 32 bits
    const auto written = [](QImage image, const char* format) {
        image.fill(0);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        writer.setCompression(1);
        EXPECT_TRUE(writer.write(image)) << format;
        return bytes;
    };
    const std::pair<const char*, QByteArray> cases[] = {
        {"1-bit grey PNG", test::blankPng(side, side, 1, 0)},
        {"8-bit palette PNG", test::blankPng(side, side, 8, 3)},
        {"1-bit TIFF", written(QImage(side, side, QImage::Format_Mono), "tiff")},
    };
    for (const auto& [name, png] : cases) {
        SCOPED_TRACE(name);
        const QString file = dir.filePath(QStringLiteral("big.png"));
        test::writeAll(file, png);
        QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
        const bool peakReset = clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
        clearRefs.close();
        const qint64 rssBefore = procField(QStringLiteral("/proc/self/status"), "VmRSS");

        QString why;
        EXPECT_TRUE(decodePicture(png, &why).isNull());
        EXPECT_EQ(why, "16400 × 16400 pixels is too large");
        EXPECT_TRUE(decodePictureFile(file).isNull()) << "a dropped or pasted file";
        ImageItem picture{.frame = QRectF(0, 0, 100, 100), .pngData = png};
        CanvasState state;
        state.items = {picture};
        int unchanged = 0;
        EXPECT_FALSE(
            redactedState(state, QRectF(10, 10, 20, 20), RedactStyle::pixelate, &unchanged));
        EXPECT_EQ(unchanged, 1);
        QString problem;
        EXPECT_FALSE(renderPNG(state, &problem));
        EXPECT_TRUE(problem.contains("is too large to draw")) << problem.toStdString();
        if (peakReset) {
            const qint64 growthKB =
                procField(QStringLiteral("/proc/self/status"), "VmHWM") - rssBefore;
            EXPECT_LT(growthKB, 64 * 1024) << growthKB / 1024 << " MB taken";
        }
    }
}

// What the decoder says of bad content is checked on text in memory; here the file's own faults.
TEST_F(DocumentFaultTest, HostileFilesAreRefusedWithAClearMessage) {
    // A file of `bytes`, grown to `size` by a hole that costs no disk.
    auto file = [&](const char* name, const QByteArray& bytes, qint64 size = 0) {
        const QString path = dir.filePath(QLatin1String(name));
        test::writeAll(path, bytes);
        EXPECT_TRUE(size == 0 || QFile::resize(path, size));
        return path;
    };
    const QByteArray sample = encodeCanvasStateToBytes(test::sampleState()).value();
    QDir(dir.path()).mkdir(QStringLiteral("folder.pintora"));
    const std::pair<QString, const char*> cases[] = {
        {dir.filePath(QStringLiteral("folder.pintora")), "not a regular file"},
        {dir.filePath(QStringLiteral("missing.pintora")), "does not exist"},
        {file("empty.pintora", QByteArray()), "empty"},
        {file("truncated.pintora", sample.left(sample.size() / 2)), "not valid JSON"},
        {file("array.pintora", QByteArray(1'000'000, '[') + QByteArray(1'000'000, ']')),
         "expected a JSON object"},
        {file("deep.pintora",
              R"({"future":)" + QByteArray(100'000, '[') + QByteArray(100'000, ']') + "}"),
         "future: nested deeper than 512 levels"},
        {file("utf8.pintora", "{\"lastActiveTabRaw\":\"\xFF\xFE\"}"),
         "The file is not valid UTF-8 text."},
        {file("zeros.pintora", QByteArray(), 2048 * MB),
         "The file is not valid JSON: it holds a NUL byte at byte 0."},
        {file("open.pintora", R"({"items":[{"text":{"_0":{"string":")", 2048 * MB),
         "The file is not valid JSON: it holds a NUL byte at byte 35."},
    };
    for (const auto& [path, message] : cases) {
        const auto result = readDocumentFile(path, QString());
        EXPECT_TRUE(!result.ok() && result.error().contains(QLatin1StringView(message)))
            << path.toStdString() << ": " << (result.ok() ? "read" : result.error().toStdString());
    }
}
