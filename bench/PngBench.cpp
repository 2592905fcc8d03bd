// Encoding an 8000 x 6000 screenshot-like picture to PNG: Qt's default writer against
// encodePNG, and encodePNG with other zlib settings, all in one run.
#include "export/PngEncoder.h"

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QImageReader>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <zlib.h>

using namespace pintora;

namespace {

constexpr int width = 8000, height = 6000;

QString words(QRandomGenerator& rng, int count) {
    static const char* const vocabulary[] = {
        "the",    "canvas", "export", "window", "capture", "layer",   "pixel", "arrow",
        "select", "undo",   "file",   "of",     "and",     "a",       "to",    "settings",
        "view",   "zoom",   "text",   "shape",  "render",  "buffer",  "for",   "document",
        "is",     "with",   "image",  "open",   "save",    "toolbar", "edit",  "42",
        "1920",   "px",     "—",      "(beta)", "Ready.",  "http://", "=",     "{",
    };
    QString text;
    for (int i = 0; i < count; ++i) {
        if (i) text += QLatin1Char(' ');
        text += QString::fromUtf8(vocabulary[rng.bounded(int(std::size(vocabulary)))]);
    }
    return text;
}

// Windows with title bars, sidebars and paragraphs of small anti-aliased text on flat
// backgrounds, buttons, a gradient banner and a photo, tiled over the picture: PNG shrinks it
// as it would a real screenshot, neither like noise nor like a flat colour.
// `sparse` pictures have light windows only, no photos and wide gaps between blocks.
QImage makeScreenshot(bool sparse) {
    QRandomGenerator rng(20240611);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(0x2b, 0x2d, 0x31)); // desktop
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    painter.setFont(font);
    const QColor accents[] = {QColor(0x1a, 0x73, 0xe8), QColor(0xd9, 0x30, 0x25),
                              QColor(0x18, 0x80, 0x38), QColor(0xf9, 0xab, 0x00)};
    for (int wy = 0; wy < height; wy += 1500) {
        for (int wx = 0; wx < width; wx += 2000) {
            const QRect frame(wx + 20, wy + 20, 1960, 1460);
            const bool dark = !sparse && rng.bounded(3) == 0;
            const QColor page = dark ? QColor(0x1e, 0x1f, 0x22) : Qt::white;
            const QColor ink = dark ? QColor(0xd4, 0xd4, 0xd4) : QColor(0x20, 0x21, 0x24);
            painter.fillRect(frame, page);
            painter.fillRect(frame.x(), frame.y(), frame.width(), 36, QColor(0xe8, 0xea, 0xed));
            painter.setPen(Qt::black);
            painter.drawText(frame.x() + 80, frame.y() + 24, words(rng, 5));
            const QRect sidebar(frame.x(), frame.y() + 36, 260, frame.height() - 36);
            painter.fillRect(sidebar, dark ? QColor(0x26, 0x27, 0x2b) : QColor(0xf1, 0xf3, 0xf4));
            for (int i = 0; i < 50; ++i) {
                painter.setPen(ink);
                painter.drawText(sidebar.x() + 16, sidebar.y() + 30 + i * 26, words(rng, 2));
            }
            const int left = sidebar.right() + 40;
            const int kind = sparse ? 2 * int(rng.bounded(2)) : int(rng.bounded(3));
            int y = frame.y() + 70;
            if (kind == 0) { // banner: a gradient
                QLinearGradient gradient(left, y, frame.right() - 40, y + 300);
                gradient.setColorAt(0, accents[rng.bounded(4)]);
                gradient.setColorAt(1, accents[rng.bounded(4)].lighter(160));
                painter.fillRect(QRect(left, y, frame.right() - 40 - left, 300), gradient);
                y += 340;
            } else if (kind == 1) { // a photo: smooth shapes under sensor noise
                const QRect photo(left, y, 640, 420);
                painter.end();
                for (int py = 0; py < photo.height(); ++py) {
                    auto* row = reinterpret_cast<QRgb*>(image.scanLine(photo.y() + py));
                    for (int px = 0; px < photo.width(); ++px) {
                        const int noise = int(rng.bounded(5)) - 2;
                        const int r = std::clamp(90 + px / 8 + py / 12 + noise, 0, 255);
                        const int g = std::clamp(140 - py / 6 + (px * py) % 23 / 4 + noise, 0, 255);
                        const int b = std::clamp(60 + (px + 2 * py) / 10 + noise, 0, 255);
                        row[photo.x() + px] = qRgb(r, g, b);
                    }
                }
                painter.begin(&image);
                painter.setFont(font);
                y += 460;
            }
            const int right = frame.right() - 40;
            const auto gap = [&] { return sparse ? 60 + int(rng.bounded(200)) : 0; };
            while (y < frame.bottom() - 200) {
                const int block = rng.bounded(5);
                if (block == 0) { // a button row
                    for (int b = 0, x = left; b < 1 + int(rng.bounded(3)); ++b, x += 170) {
                        painter.setPen(Qt::NoPen);
                        painter.setBrush(accents[rng.bounded(4)]);
                        painter.drawRoundedRect(QRect(x, y, 150, 32), 6, 6);
                        painter.setPen(Qt::white);
                        painter.drawText(x + 20, y + 21, words(rng, 1));
                    }
                    y += 60 + gap();
                } else if (block == 1) { // a table with ruled cells
                    const int rows = 4 + int(rng.bounded(8)), columns = 3 + int(rng.bounded(4));
                    const int cell = (right - left) / columns;
                    painter.setPen(dark ? QColor(0x3c, 0x40, 0x43) : QColor(0xda, 0xdc, 0xe0));
                    painter.setBrush(Qt::NoBrush);
                    for (int r = 0; r < rows; ++r)
                        for (int col = 0; col < columns; ++col)
                            painter.drawRect(left + col * cell, y + r * 28, cell, 28);
                    painter.setPen(ink);
                    for (int r = 0; r < rows; ++r)
                        for (int col = 0; col < columns; ++col)
                            painter.drawText(left + col * cell + 8, y + r * 28 + 19,
                                             words(rng, 1 + int(rng.bounded(3))));
                    y += rows * 28 + 40 + gap();
                } else { // a paragraph with a ragged right edge
                    const int lines = 2 + int(rng.bounded(6));
                    painter.setPen(rng.bounded(8) == 0 ? accents[0] : ink);
                    for (int l = 0; l < lines; ++l, y += 18)
                        painter.drawText(left, y + 14, words(rng, 8 + int(rng.bounded(50))));
                    y += 24 + int(rng.bounded(40)) + gap();
                }
            }
        }
    }
    painter.end();
    return image;
}

const QImage& screenshot(int picture) {
    static const QImage images[] = {makeScreenshot(false), makeScreenshot(true)};
    return images[picture];
}

// CPU time of all the process's threads, which other load on the machine disturbs less than
// the wall-clock time.
double processCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void report(benchmark::State& state, qsizetype bytes, double cpuMs) {
    state.counters["bytes"] = double(bytes);
    state.counters["cpu_ms"] = cpuMs;
}

// The last argument of each benchmark: 0 for the dense picture, 1 for the sparse one.
void QtDefault(benchmark::State& state) {
    const QImage& image = screenshot(int(state.range(0)));
    qsizetype bytes = 0;
    const double cpuStart = processCpuMs();
    for (auto _ : state) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG")) state.SkipWithError("Qt could not write the PNG");
        bytes = png.size();
    }
    report(state, bytes, processCpuMs() - cpuStart);
}

void Encode(benchmark::State& state, PngDeflateSettings settings) {
    const QImage& image = screenshot(int(state.range(1)));
    const int threads = int(state.range(0));
    qsizetype bytes = 0;
    const double cpuStart = processCpuMs();
    for (auto _ : state) {
        const auto png = encodePNG(image, threads, settings);
        if (!png) state.SkipWithError("encodePNG failed");
        bytes = png ? png->size() : 0;
    }
    report(state, bytes, processCpuMs() - cpuStart);
}

// Qt's writer and encodePNG back to back in each repetition, so that both meet about the
// same load from elsewhere on the machine; the counters are the per-repetition ratios.
void Paired(benchmark::State& state) {
    const QImage& image = screenshot(int(state.range(0)));
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        const auto start = Clock::now();
        QByteArray qtPng;
        QBuffer buffer(&qtPng);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        const auto middle = Clock::now();
        const auto ours = encodePNG(image);
        const auto end = Clock::now();
        if (!ours || qtPng.isEmpty()) state.SkipWithError("an encoder failed");
        const double qtTime = std::chrono::duration<double>(middle - start).count();
        const double ourTime = std::chrono::duration<double>(end - middle).count();
        state.counters["time_ratio"] = ourTime / qtTime;
        state.counters["size_ratio"] = double(ours ? ours->size() : 0) / double(qtPng.size());
    }
}

PngDeflateSettings plainLevel(int level) {
    return PngDeflateSettings{level, Z_DEFAULT_STRATEGY, 0, 0, 0, 0};
}

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" &&
                run.counters.count("time_ratio")) {
                paired.push_back({run.run_name.function_name + "/" + run.run_name.args,
                                  run.counters.at("time_ratio"), run.counters.at("size_ratio")});
            } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                const std::string name = run.run_name.function_name +
                                         (run.run_name.args.empty() ? "" : "/" + run.run_name.args);
                medians[name] = run.GetAdjustedRealTime();
                bytes[name] = run.counters.at("bytes");
                cpu[name] = run.counters.at("cpu_ms");
            }
    }
    std::map<std::string, double> medians, bytes, cpu;
    struct Pair {
        std::string name;
        double time, size;
    };
    std::vector<Pair> paired;
};

} // namespace

BENCHMARK(Paired)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK(QtDefault)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime();
// The first argument is the thread count, 0 for one per core.
BENCHMARK_CAPTURE(Encode, ours, PngDeflateSettings{})
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime();
// Other zlib settings, for the choice of the default: plain levels (Z_FILTERED is left out,
// levels 1 to 3 ignore it), run-length matches only, and level 3 hashing every string.
BENCHMARK_CAPTURE(Encode, level1, plainLevel(1))
    ->ArgsProduct({{0}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(Encode, level2, plainLevel(2))
    ->ArgsProduct({{0}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(Encode, level3, plainLevel(3))
    ->ArgsProduct({{0}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(Encode, level4, plainLevel(4))
    ->ArgsProduct({{0}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(Encode, level6, plainLevel(6))
    ->ArgsProduct({{0}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(Encode, rle, PngDeflateSettings{1, Z_RLE, 0, 0, 0, 0})
    ->ArgsProduct({{0}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseRealTime();
BENCHMARK_CAPTURE(Encode, level3_hash_all,
                  PngDeflateSettings{3, Z_DEFAULT_STRATEGY, 4, 258, 258, 32})
    ->ArgsProduct({{0}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->UseRealTime();

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for the text in the picture
    benchmark::Initialize(&argc, argv);
    QImageReader::setAllocationLimit(0); // the check below decodes a 192 MB picture
    const auto made = std::chrono::steady_clock::now();
    screenshot(0);
    std::printf("Pictures: %d x %d, drawn in %.1f s\n", width, height,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - made).count());
    // A fast encoder is only worth measuring if it is right: decode once and compare.
    for (int picture : {0, 1}) {
        const QImage& image = screenshot(picture);
        const auto png = encodePNG(image);
        if (!png || QImage::fromData(*png).convertToFormat(image.format()) != image) {
            std::fprintf(stderr, "encodePNG does not round-trip picture %d\n", picture);
            return 1;
        }
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto& m = reporter.medians;
    const auto& b = reporter.bytes;
    for (const auto& [name, time] : m) {
        const std::string picture = name.substr(name.rfind('/') + 1);
        const std::string qt = "QtDefault/" + picture;
        if (name == qt || !m.count(qt) || m.at(qt) <= 0) continue;
        const auto& c = reporter.cpu;
        std::printf("%-26s time %.2f x Qt (%4.0f / %4.0f ms), size %.2f x Qt (%.2f / %.2f MB), "
                    "CPU %.2f x Qt (%4.0f / %4.0f ms)\n",
                    name.c_str(), time / m.at(qt), time, m.at(qt), b.at(name) / b.at(qt),
                    b.at(name) / 1e6, b.at(qt) / 1e6, c.at(name) / c.at(qt), c.at(name), c.at(qt));
    }
    for (const auto& pair : reporter.paired)
        std::printf("%-26s median of the ratios of back-to-back runs: time %.2f x Qt, size "
                    "%.2f x Qt\n",
                    pair.name.c_str(), pair.time, pair.size);
    return 0;
}
