// Picture bytes from documents and the clipboard, decoded within the allocation limit: any bytes
// give no picture or one in a format the painter blends, never over the limit.
#include "FuzzCheck.h"
#include "canvas/DecodedImageCache.h"

#include <cstdint>

using namespace pintora;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    configurePictureMemory();
    // Every broken picture makes the image readers warn; the run's own report is what counts.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QImage image =
        decodePicture(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (image.isNull()) return 0;
    FUZZ_CHECK(image.format() == QImage::Format_RGB32 ||
               image.format() == QImage::Format_ARGB32_Premultiplied);
    FUZZ_CHECK(image.sizeInBytes() <= qsizetype(imageAllocationLimitMB) * 1024 * 1024);
    return 0;
}
