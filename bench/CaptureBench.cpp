// The batch capture of a 5,000 px page at the four factory sizes, visible area and full page,
// waits included, up to the PNG bytes of every picture. The page's address comes from
// PINTORA_BENCH_URL (bench/capture-bench.sh serves the shared benchmark pages and runs the
// Playwright peer in the same run).
#include "capture/BatchCapture.h"
#include "capture/ui/WebCaptureEngine.h"
#include "window/CapturePlacement.h"

#include <QApplication>
#include <QEventLoop>
#include <benchmark/benchmark.h>
#include <future>
#include <vector>

using namespace pintora;

namespace {
QList<ViewportPreset> factorySizes() {
    return {{QUuid::createUuid(), "Widescreen", 1920, 1080, true},
            {QUuid::createUuid(), "Laptop", 1280, 800, true},
            {QUuid::createUuid(), "Tablet", 834, 1194, true},
            {QUuid::createUuid(), "Mobile", 390, 844, true}};
}

void captureFourSizes(benchmark::State& state) {
    const QUrl url(QString::fromLocal8Bit(qgetenv("PINTORA_BENCH_URL")));
    if (!url.isValid()) {
        state.SkipWithError("PINTORA_BENCH_URL is not set");
        return;
    }
    const bool fullPage = state.range(0) != 0;
    WebCaptureEngine engine;
    BatchCapture batch(engine);
    qint64 bytes = 0;
    qint64 pixels = 0;
    for (auto _ : state) {
        QEventLoop loop;
        int pictures = 0;
        // Encoded as they arrive, while the next preset loads, as the window does.
        std::vector<std::future<std::optional<CapturePicture>>> encoding;
        batch.run(
            url, factorySizes(), fullPage, 0, {},
            [&](const QImage& image, const ViewportPreset&) {
                pixels += qint64(image.width()) * image.height();
                encoding.push_back(
                    std::async(std::launch::async, [image] { return capturePicture(image); }));
            },
            [&] { loop.quit(); });
        loop.exec();
        for (auto& result : encoding) {
            const auto picture = result.get();
            if (!picture) continue;
            ++pictures;
            bytes += picture->pngData.size();
        }
        if (pictures != 4) state.SkipWithError("a preset gave no picture");
    }
    state.counters["png_MB"] = benchmark::Counter(double(bytes) / 1e6 / double(state.iterations()));
    state.counters["Mpixels"] =
        benchmark::Counter(double(pixels) / 1e6 / double(state.iterations()));
}
BENCHMARK(captureFourSizes)
    ->ArgName("fullPage")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(5)
    ->Repetitions(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("PintoraBench"));
    QApplication::setApplicationName(QStringLiteral("PintoraBench"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
