// One frame of the canvas: 20 screenshots of 1920 × 5000 in a 1920 × 1080 view, drawn the
// naive way (every picture filtered down on every frame) and through the scaled-copy cache,
// at several zooms and while panning. Reports the median and worst frame after the first,
// the first frame (which builds the copies) and the memory the copies take.
#include "canvas/CanvasController.h"
#include "canvas/ItemPainter.h"
#include "canvas/ScaledPictureCache.h"
#include "model/CanvasItem.h"

#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <random>
#include <thread>

using namespace pintora;

namespace {

constexpr QSize view(1920, 1080);
constexpr int pictureCount = 20;
constexpr int framesPerRun = 30;

// A page-like screenshot: header, text lines of varying length, pictures and a sidebar.
QImage screenshot(int seed) {
    QImage image(1920, 5000, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 250));
    std::mt19937 random(seed);
    QPainter p(&image);
    p.fillRect(0, 0, 1920, 80, QColor::fromHsv(seed * 37 % 360, 120, 200));
    p.fillRect(1500, 80, 420, 4920, QColor(236, 238, 240));
    for (int y = 120; y < 5000; y += 28) {
        if (random() % 17 == 0) {
            const QColor c = QColor::fromHsv(int(random() % 360), 90, 210);
            p.fillRect(80, y, 600, 300, c);
            y += 320;
            continue;
        }
        int x = 80;
        const int end = 400 + int(random() % 1000);
        while (x < end) {
            const int word = 20 + int(random() % 90);
            p.fillRect(x, y, word, 14, QColor(40, 40, 40));
            x += word + 9;
        }
    }
    return image;
}

struct Scene {
    QList<ImageItem> items;
    QList<QImage> pictures;
};

const Scene& scene() {
    static const Scene s = [] {
        Scene scene;
        for (int i = 0; i < pictureCount; ++i) {
            ImageItem item;
            item.frame = QRectF((i % 10) * 1960.0, (i / 10) * 5040.0, 1920, 5000);
            scene.items.append(item);
            scene.pictures.append(screenshot(i));
        }
        return scene;
    }();
    return s;
}

enum class Mode { naive, cached };

double drawFrame(QImage& target, Mode mode, double zoom, QPointF pan, ScaledPictureCache& cache) {
    const auto start = std::chrono::steady_clock::now();
    QPainter painter(&target);
    painter.fillRect(target.rect(), QColor(245, 245, 245));
    painter.translate(pan);
    painter.scale(zoom, zoom);
    const Scene& s = scene();
    for (int i = 0; i < pictureCount; ++i) {
        if (mode == Mode::naive) {
            paintPicture(painter, s.items[i], s.pictures[i], PaintTarget::canvas);
        } else {
            cache.paint(painter, s.items[i], s.pictures[i]);
        }
    }
    painter.end();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void frames(benchmark::State& state, Mode mode, double zoom, bool panning) {
    QImage target(view, QImage::Format_RGB32);
    scene();
    for (auto _ : state) {
        ScaledPictureCache cache;
        QList<double> times;
        QPointF pan(20, 20);
        for (int f = 0; f < framesPerRun; ++f) {
            times.append(drawFrame(target, mode, zoom, pan, cache));
            if (panning) pan += QPointF(-23, -11);
            // Between frames the event loop runs: finished copies come in.
            std::this_thread::sleep_for(std::chrono::milliseconds(8));
            QCoreApplication::processEvents();
        }
        const double first = times.takeFirst();
        std::sort(times.begin(), times.end());
        state.counters["first_ms"] = first;
        state.counters["median_ms"] = times[times.size() / 2];
        state.counters["worst_ms"] = times.last();
        state.counters["copies_MB"] = double(cache.bytes()) / (1024 * 1024);
    }
}

// Making one copy of a screenshot at a tenth of its size: the quick one a frame shows at
// once and the proper one made on the worker thread.
void copyOfOne(benchmark::State& state, bool quick) {
    const QImage& picture = scene().pictures[0];
    for (auto _ : state) {
        const QImage copy =
            quick ? sampledDownscale(picture, {192, 500}) : areaDownscaled(picture, {192, 500});
        benchmark::DoNotOptimize(copy.constBits());
    }
}

} // namespace

BENCHMARK_CAPTURE(copyOfOne, quick, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(copyOfOne, proper, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frames, naive_0_1, Mode::naive, 0.1, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frames, cached_0_1, Mode::cached, 0.1, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frames, naive_0_25, Mode::naive, 0.25, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frames, cached_0_25, Mode::cached, 0.25, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frames, naive_0_5, Mode::naive, 0.5, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frames, cached_0_5, Mode::cached, 0.5, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frames, naive_1, Mode::naive, 1.0, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frames, cached_1, Mode::cached, 1.0, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frames, naive_2, Mode::naive, 2.0, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frames, cached_2, Mode::cached, 2.0, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frames, naive_pan_0_25, Mode::naive, 0.25, true)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frames, cached_pan_0_25, Mode::cached, 0.25, true)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
