#pragma once

#include "capture/CaptureEngine.h"

#include <QColor>
#include <QImage>
#include <QRegularExpression>
#include <QStringList>
#include <QTimer>

namespace pintora::test {

// A hidden view without a web engine: a page of `pageHeight` points whose every row has its
// own colour, scrolled and grabbed as a real view would be, and a log of what was asked.
class FakeCaptureEngine : public CaptureEngine {
public:
    int pageHeight = 600;
    QVariant measured; // what the page-height script answers; invalid = page height
    double ratio = 1;
    int maxGrab = 16384;
    int finishesPerLoad = 1; // 0: the load never ends; 2: the page navigates again by itself
    int loadMs = 0;          // how long a load takes
    bool failGrabs = false;
    QVariant quietAnswer; // what the page says when asked whether its network is quiet
    QStringList log;
    QObject alive; // what the fake has still to answer goes with it
    std::function<void(int)> onLoadEnded;
    QSize size;
    int scrollY = 0;

    static QRgb rowColor(int deviceRow) {
        return qRgb(deviceRow % 251, (deviceRow / 251) % 251, 90);
    }
    // The page as a single grab of the given size would show it.
    QImage page(int width, int height) const {
        QImage image(int(width * ratio), int(height * ratio), QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, rowColor(y + int(scrollY * ratio)));
        image.setDevicePixelRatio(ratio);
        return image;
    }

    void open(std::function<void(int)> ended) override {
        log << QStringLiteral("open");
        onLoadEnded = std::move(ended);
    }
    void close() override { log << QStringLiteral("close"); }
    void resize(QSize points) override {
        size = points;
        log << QStringLiteral("resize %1x%2").arg(points.width()).arg(points.height());
    }
    void load(const QUrl& url, int loadId) override {
        log << QStringLiteral("load ") + url.toString();
        scrollY = 0;
        for (int i = 0; i < finishesPerLoad; ++i)
            QTimer::singleShot(loadMs + i, &alive, [this, loadId] { onLoadEnded(loadId); });
    }
    void stop() override { log << QStringLiteral("stop"); }
    void abandonPage() override { log << QStringLiteral("abandon"); }
    void loadOutcome(std::function<void(const LoadOutcome&)> done) override { done({}); }
    void evaluate(const QString& script, std::function<void(const QVariant&)> done) override {
        static const QRegularExpression scroll(
            QStringLiteral("scrollTo\\((?:\\{top:)?(?:0, )?(\\d+)"));
        QVariant result;
        if (script.startsWith(QLatin1String("Math.max"))) {
            log << QStringLiteral("measure");
            result = measured.isValid() ? measured : QVariant(double(pageHeight));
        } else if (const auto match = scroll.match(script); match.hasMatch()) {
            scrollY = match.captured(1).toInt();
            log << script;
        } else if (script.contains(QLatin1String("__pintoraLoad"))) {
            log << QStringLiteral("probe");
            result = quietAnswer;
        } else {
            log << QStringLiteral("script");
        }
        QTimer::singleShot(0, &alive, [done, result] { done(result); });
    }
    void grab(std::function<void(const QImage&)> done) override {
        log << QStringLiteral("grab");
        const QImage image = failGrabs ? QImage() : page(size.width(), size.height());
        QTimer::singleShot(0, &alive, [done, image] { done(image); });
    }
    void expectFrame() override { log << QStringLiteral("expect frame"); }
    void grabFresh(int, std::function<void(const QImage&)> done) override { grab(std::move(done)); }
    double devicePixelRatio() const override { return ratio; }
    int maxGrabHeight() const override { return maxGrab; }
};

// An enabled preset of that name and size.
inline ViewportPreset preset(const char* name, double width, double height) {
    return {QUuid::createUuid(), QString::fromLatin1(name), width, height, true};
}

} // namespace pintora::test
