#include "export/PngEncoder.h"

#include "export/PngDeflate.h"
#include "export/PngFilter.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace pintora {

using namespace png;

namespace {

int threadsFor(int threads) {
    return threads > 0 ? threads : int(std::max(1u, std::thread::hardware_concurrency()));
}

} // namespace

std::optional<QByteArray> encodePNG(const QImage& image, int threads) {
    return encodePNG(image, threads, PngDeflateSettings{});
}

std::optional<QByteArray> encodePNG(const QImage& image, int threads, PngDeflateSettings settings) {
    if (image.isNull()) return std::nullopt;
    const Pixels px = preparePixels(image);
    if (px.image.isNull()) return std::nullopt;

    threads = std::min(threadsFor(threads), px.height);
    // Several bands per thread even out bands that compress at different speeds.
    const int bandCount = threads == 1 ? 1 : std::min(px.height, threads * 4);
    std::vector<Band> bands(static_cast<std::size_t>(bandCount));
    for (int i = 0; i < bandCount; ++i) {
        bands[std::size_t(i)].firstRow = int(qint64(px.height) * i / bandCount);
        bands[std::size_t(i)].endRow = int(qint64(px.height) * (i + 1) / bandCount);
    }

    std::atomic<int> nextBand{0};
    auto work = [&] {
        for (int i = nextBand++; i < bandCount; i = nextBand++) {
            Band& band = bands[std::size_t(i)];
            try {
                band.ok = deflateBand(px, band, i == bandCount - 1, settings);
            } catch (const std::bad_alloc&) {
                band.ok = false; // no exception may leave a worker thread
            }
        }
    };
    std::vector<std::thread> workers;
    for (int t = 1; t < threads; ++t) {
        try {
            workers.emplace_back(work);
        } catch (const std::system_error&) {
            break; // the threads that did start and this one share the bands
        }
    }
    work();
    for (std::thread& worker : workers)
        worker.join();

    std::size_t deflated = 0;
    for (const Band& band : bands) {
        if (!band.ok) return std::nullopt;
        deflated += std::size_t(band.deflated.size());
    }
    QByteArray png = pngHeader(px.width, px.height, px.channels, image.dotsPerMeterX(),
                               image.dotsPerMeterY());
    png.reserve(qsizetype(deflated + deflated / 65536 + 128));
    PixelData data(png, settings);
    for (Band& band : bands)
        data.add(band);
    data.finish();
    return png;
}

// Each band that arrives becomes a job: its rows and the few rows above it, deflated on a
// worker while the caller draws the next band. At most two bands per worker wait or are
// being deflated, so the memory stays a few bands whatever the picture's height; the
// bands deflated are written into the file in order as they come.
struct PngStreamEncoder::State {
    struct Job {
        Pixels px;
        Band band;
        bool last = false;
        bool done = false;
    };

    PngDeflateSettings settings;
    std::size_t contextRows = 1; // kept above each band: its dictionary and the row before it
    QImage tail;                 // the last rows so far
    bool failed = false;

    QByteArray png;
    std::optional<PixelData> data;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::unique_ptr<Job>> jobs; // the bands not yet written, in order
    std::deque<Job*> waiting;
    int unfinished = 0;
    bool stopping = false;
    std::vector<std::thread> workers;

    static void run(Job& job, PngDeflateSettings settings) {
        try {
            job.band.ok = deflateBand(job.px, job.band, job.last, settings);
        } catch (const std::bad_alloc&) {
            job.band.ok = false; // no exception may leave a worker thread
        }
        job.px = Pixels(); // the pixels go as soon as they are deflated
    }

    void work() {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stopping || !waiting.empty(); });
            if (stopping) return;
            Job* job = waiting.front();
            waiting.pop_front();
            lock.unlock();
            run(*job, settings);
            lock.lock();
            job->done = true;
            --unfinished;
            changed.notify_all();
        }
    }

    void stop() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        for (std::thread& worker : workers)
            worker.join();
        workers.clear();
    }

    // Writes the bands deflated at the front of the queue.
    void drain() {
        for (;;) {
            {
                std::lock_guard lock(mutex);
                if (jobs.empty() || !jobs.front()->done) return;
            }
            std::unique_ptr<Job> job = std::move(jobs.front());
            jobs.pop_front();
            if (!job->band.ok) failed = true;
            if (!failed) data->add(job->band);
        }
    }

    // The last `contextRows` rows of the tail and the band together.
    void keepTail(const QImage& band) {
        const int keep = int(contextRows);
        if (band.height() >= keep || tail.isNull()) {
            tail = band.copy(0, std::max(0, band.height() - keep), band.width(),
                             std::min(keep, band.height()));
            return;
        }
        const int fromTail = std::min(tail.height(), keep - band.height());
        QImage joined(band.width(), fromTail + band.height(), band.format());
        const std::size_t bytes = std::size_t(band.width()) * 4;
        for (int y = 0; y < fromTail; ++y)
            std::memcpy(joined.scanLine(y), tail.constScanLine(tail.height() - fromTail + y), bytes);
        for (int y = 0; y < band.height(); ++y)
            std::memcpy(joined.scanLine(fromTail + y), band.constScanLine(y), bytes);
        tail = joined;
    }
};

PngStreamEncoder::PngStreamEncoder(int width, int height, int dotsPerMeter,
                                   PngDeflateSettings settings, int threads)
    : width_(width), height_(height), state_(new State) {
    State& st = *state_;
    st.settings = settings;
    const std::size_t lineBytes = std::size_t(std::max(1, width)) * 3 + 1;
    st.contextRows = (windowBytes + lineBytes - 1) / lineBytes + 1;
    st.failed = width <= 0 || height <= 0;
    if (!st.failed) {
        st.png = pngHeader(width, height, 3, dotsPerMeter, dotsPerMeter);
        st.data.emplace(st.png, settings);
    }
    // One thread deflates on the caller's; so does a machine with no thread to spare.
    for (int t = threadsFor(threads); t > 1 && !st.failed && int(st.workers.size()) < t;) {
        try {
            st.workers.emplace_back([&st] { st.work(); });
        } catch (const std::system_error&) {
            break;
        }
    }
}

PngStreamEncoder::~PngStreamEncoder() {
    state_->stop();
}

bool PngStreamEncoder::addRows(const QImage& band) {
    State& st = *state_;
    if (st.failed || band.isNull() || band.width() != width_ || rows_ + band.height() > height_)
        return false;
    auto job = std::make_unique<State::Job>();
    job->px.image = band.format() == QImage::Format_RGB32 ||
                            band.format() == QImage::Format_ARGB32_Premultiplied ||
                            band.format() == QImage::Format_ARGB32
                        ? band
                        : band.convertToFormat(QImage::Format_RGB32);
    if (job->px.image.isNull()) return st.failed = true, false;
    job->px.source = RowSource::Xrgb32ToRgb; // opaque pixels: alpha is dropped
    job->px.width = width_;
    job->px.above = st.tail;
    job->px.height = st.tail.height() + band.height();
    job->band.firstRow = st.tail.height();
    job->band.endRow = job->px.height;
    job->last = rows_ + band.height() == height_;
    st.keepTail(job->px.image);
    rows_ += band.height();

    if (st.workers.empty()) {
        State::run(*job, st.settings);
        job->done = true;
        st.jobs.push_back(std::move(job));
    } else {
        std::unique_lock lock(st.mutex);
        // A band waiting for each worker keeps them busy while the caller draws one that
        // takes longer (its pictures to decode); more would only hold memory.
        st.changed.wait(lock, [&st] { return st.unfinished < 2 * int(st.workers.size()); });
        st.waiting.push_back(job.get());
        st.jobs.push_back(std::move(job));
        ++st.unfinished;
        lock.unlock();
        st.changed.notify_all();
    }
    st.drain();
    return !st.failed;
}

std::optional<QByteArray> PngStreamEncoder::finish() {
    State& st = *state_;
    {
        std::unique_lock lock(st.mutex);
        st.changed.wait(lock, [&st] { return st.unfinished == 0; });
    }
    st.stop();
    st.drain();
    if (st.failed || rows_ != height_ || !st.data) return std::nullopt;
    st.data->finish();
    st.data.reset();
    return std::exchange(st.png, QByteArray());
}

} // namespace pintora
