// Opening and saving a large document against the floor of the same I/O and Base64 work,
// and the peak memory of an open. Run with GLIBC_TUNABLES=glibc.malloc.hugetlb=1 to let
// malloc use huge pages (fresh memory is slow to touch on these machines).
#include "BenchDocument.h"
#include "app/Recovery.h"
#include "model/Base64.h"
#include "model/DocumentFile.h"
#include "model/LargeBuffer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <map>
#include <sys/wait.h>
#include <unistd.h>
#ifdef PINTORA_HAVE_MODP_B64
#include <modp_b64.h>
#endif

using namespace pintora;

namespace {

constexpr int pictureCount = 40;

struct Fixture {
    QString path;
    QString savePath;
    CanvasState state;
    QList<QByteArray> base64; // each picture's plain Base64, for the floor
    qint64 fileSize = 0;
};

Fixture& fixture() {
    static Fixture f = [] {
        Fixture f;
        const QString dir = QDir::tempPath() + QStringLiteral("/pintora-bench");
        QDir().mkpath(dir);
        f.path = dir + QStringLiteral("/document-40.pintora");
        f.savePath = dir + QStringLiteral("/saved.pintora");
        f.state = bench::makeBenchDocument(f.path, pictureCount);
        for (const CanvasItem& item : f.state.items)
            if (item.image()) f.base64.append(item.image()->pngData.toBase64());
        f.fileSize = QFileInfo(f.path).size();
        return f;
    }();
    return f;
}

LargeBuffer readWholeFile(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    LargeBuffer buffer(std::size_t(file.size()), 64);
    qint64 done = 0;
    while (done < file.size())
        done += file.read(buffer.data() + done, file.size() - done);
    return buffer;
}

// The floor decodes with the fastest decoder there is: ours on text without escapes
// (AVX2 where the machine has it), or Debian's modp_b64 when that is faster.
QByteArray ourDecode(const QByteArray& text) {
    QByteArray out;
    decodeBase64JsonText(text.constData(), text.constData() + text.size(), out);
    return out;
}

QByteArray modpDecode(const QByteArray& text) {
    QByteArray out = makeLargeByteArray(text.size() / 4 * 3 + 2);
#ifdef PINTORA_HAVE_MODP_B64
    const std::size_t n = modp_b64_decode(out.data(), text.constData(), std::size_t(text.size()));
#else
    decodeBase64JsonText(text.constData(), text.constData() + text.size(), out);
    const std::size_t n = std::size_t(out.size());
#endif
    out.resize(qsizetype(n));
    return out;
}

void Open(benchmark::State& s) {
    Fixture& f = fixture();
    for (auto _ : s) {
        auto read = readDocumentFile(f.path, QString());
        if (!read) s.SkipWithError(qPrintable(read.error()));
        benchmark::DoNotOptimize(read);
    }
    s.SetBytesProcessed(s.iterations() * f.fileSize);
}

void OpenFloor(benchmark::State& s, QByteArray (*decode)(const QByteArray&)) {
    Fixture& f = fixture();
    for (auto _ : s) {
        LargeBuffer file = readWholeFile(f.path);
        QList<QByteArray> pictures;
        for (const QByteArray& text : f.base64)
            pictures.append(decode(text));
        benchmark::DoNotOptimize(file.data());
        benchmark::DoNotOptimize(pictures);
    }
    s.SetBytesProcessed(s.iterations() * f.fileSize);
}

void Save(benchmark::State& s) {
    Fixture& f = fixture();
    for (auto _ : s) {
        const QString error = writeDocumentFile(f.savePath, f.state);
        if (!error.isEmpty()) s.SkipWithError(qPrintable(error));
    }
    s.SetBytesProcessed(s.iterations() * f.fileSize);
}

void SaveFloor(benchmark::State& s) {
    Fixture& f = fixture();
    std::vector<char> buffer;
    for (auto _ : s) {
        QSaveFile file(f.savePath);
        file.open(QIODevice::WriteOnly);
        for (const CanvasItem& item : f.state.items) {
            const ImageItem* image = item.image();
            if (!image) continue;
            const auto size = std::size_t(image->pngData.size());
#ifdef PINTORA_HAVE_MODP_B64
            buffer.resize(modp_b64_encode_len(size));
            const std::size_t n = modp_b64_encode(buffer.data(), image->pngData.constData(), size);
#else
            buffer.resize(base64JsonMaxLength(size));
            const std::size_t n =
                encodeBase64Json(reinterpret_cast<const unsigned char*>(image->pngData.constData()),
                                 size, buffer.data());
#endif
            file.write(buffer.data(), qint64(n));
        }
        file.commit();
    }
    s.SetBytesProcessed(s.iterations() * f.fileSize);
}

// In a fresh process: how far the resident memory climbs above where it stood before the open.
int measureOpenPeak(const char* path) {
    const long before = bench::statusBytes("VmRSS");
    auto read = readDocumentFile(QString::fromLocal8Bit(path), QString());
    std::printf("%ld\n", bench::statusBytes("VmHWM") - before);
    return read ? 0 : 1;
}

double openPeakBytes(const QString& path) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(fds[1], STDOUT_FILENO);
        execl("/proc/self/exe", "document_bench", "--peak-open", qPrintable(path), nullptr);
        _exit(127);
    }
    close(fds[1]);
    char text[64] = {};
    const ssize_t n = read(fds[0], text, sizeof text - 1);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return n > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? std::atof(text) : -1;
}

// Keeps the median time of each benchmark to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.function_name +
                        (run.run_name.args.empty() ? "" : "/" + run.run_name.args)] =
                    run.GetAdjustedRealTime();
    }
    std::map<std::string, double> medians;
};

} // namespace

// A recovery draft of the document: the window's share alone (taking the state and handing
// it to the worker), or the whole write.
void RecoveryDraft(benchmark::State& s, bool windowShareOnly) {
    Fixture& f = fixture();
    QTemporaryDir dir;
    RecoveryCopy copy(dir.path());
    for (auto _ : s) {
        copy.writeLater(f.state, f.path);
        if (windowShareOnly) s.PauseTiming();
        copy.waitForWrites();
        if (windowShareOnly) s.ResumeTiming();
    }
    if (!windowShareOnly) s.SetBytesProcessed(s.iterations() * f.fileSize);
}

BENCHMARK_CAPTURE(RecoveryDraft, windowShare, true)
    ->Unit(benchmark::kMicrosecond)->Iterations(1)->Repetitions(7)->UseRealTime();
BENCHMARK_CAPTURE(RecoveryDraft, whole, false)
    ->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->UseRealTime();
BENCHMARK(Open)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(7)->UseRealTime();
BENCHMARK_CAPTURE(OpenFloor, ours, ourDecode)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(7)
    ->UseRealTime();
BENCHMARK_CAPTURE(OpenFloor, modp, modpDecode)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(7)
    ->UseRealTime();
BENCHMARK(Save)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(7)->UseRealTime();
BENCHMARK(SaveFloor)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(7)->UseRealTime();

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--peak-open") return measureOpenPeak(argv[2]);
    benchmark::Initialize(&argc, argv);
    Fixture& f = fixture();
    std::printf("Document: %s, %.1f MB, %d pictures\n", qPrintable(f.path), f.fileSize / 1e6,
                int(f.base64.size()));
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* a, const char* b) {
        const auto& m = reporter.medians;
        if (m.count(a) && m.count(b) && m.at(b) > 0)
            std::printf("%s / %s = %.2f (%.1f ms / %.1f ms)\n", a, b, m.at(a) / m.at(b), m.at(a),
                        m.at(b));
    };
    ratio("Open", "OpenFloor/ours");
    ratio("Open", "OpenFloor/modp");
    ratio("Save", "SaveFloor");
    const double peak = openPeakBytes(f.path);
    std::printf("Open peak memory: %.1f MB = %.2f x the file size\n", peak / 1e6,
                peak / double(f.fileSize));
    return 0;
}
