#pragma once

#include <QByteArray>
#include <QObject>
#include <QSettings>
#include <QString>

namespace pintora {

// The application-wide preferences, typed, over QSettings; keys are spelled as stored.
class UserDefaults : public QObject {
    Q_OBJECT
public:
    // The page a new browser tab shows while "defaultURL" holds no string.
    static inline const QString builtInStartPage = QStringLiteral("https://www.wikipedia.org/");

    static inline const QString defaultURLKey = QStringLiteral("defaultURL");
    static inline const QString defaultTabKey = QStringLiteral("defaultTab");
    static inline const QString captureFullPageKey = QStringLiteral("captureFullPage");
    static inline const QString hasSeenIntroKey = QStringLiteral("hasSeenIntro");
    static inline const QString defaultStrokeHexKey = QStringLiteral("defaultStrokeHex");
    static inline const QString defaultTextHexKey = QStringLiteral("defaultTextHex");
    static inline const QString defaultCalloutSizeKey = QStringLiteral("defaultCalloutSize");
    static inline const QString viewportPresetsKey = QStringLiteral("viewportPresets.v1");
    static inline const QString browsingHistoryKey = QStringLiteral("browsingHistory.v1");
    static inline const QString updateFeedURLKey = QStringLiteral("updateFeedURL");
    // Which engine takes captures: "chromium", "builtin", or nothing (Chromium when one is
    // installed); and the browser program or ws:// address Chromium captures use.
    static inline const QString captureEngineKey = QStringLiteral("captureEngine");
    static inline const QString captureBrowserKey = QStringLiteral("captureBrowser");
    // Where the updater learns of the newest release while "updateFeedURL" holds nothing.
    static inline const QString builtInUpdateFeed =
        QStringLiteral("https://orlanvale.com/pintora/releases/latest.json");

    // Over the application's own settings store.
    UserDefaults();
    // Over a given store (tests use a file of their own).
    explicit UserDefaults(QSettings* settings) : settings_(settings) {}
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;
    ~UserDefaults();

    // The process-wide instance over the application's settings.
    static UserDefaults& standard();

    // The address a new browser tab starts at: the stored string, even an empty one, or the
    // built-in start page when none is stored.
    QString defaultURL() const;
    void setDefaultURL(const QString& url);

    QString defaultTab() const; // "capture" or "annotate"; unchecked
    void setDefaultTab(const QString& tab);

    bool captureFullPage() const;
    // Tells every view over this store when the choice changes.
    void setCaptureFullPage(bool fullPage);

    bool hasSeenIntro() const;
    void setHasSeenIntro(bool seen);

    QString defaultStrokeHex() const;
    void setDefaultStrokeHex(const QString& hex);

    QString defaultTextHex() const;
    void setDefaultTextHex(const QString& hex);

    double defaultCalloutSize() const; // 80 while the key holds no number
    void setDefaultCalloutSize(double size);

    QByteArray viewportPresetsData() const;
    void setViewportPresetsData(const QByteArray& json);

    QByteArray browsingHistoryData() const;
    void setBrowsingHistoryData(const QByteArray& json);

    QString updateFeedURL() const;
    void setUpdateFeedURL(const QString& url);

    QString captureEngine() const { return string(captureEngineKey, QString()); }
    void setCaptureEngine(const QString& engine) { settings_->setValue(captureEngineKey, engine); }
    QString captureBrowser() const { return string(captureBrowserKey, QString()); }
    void setCaptureBrowser(const QString& browser) {
        settings_->setValue(captureBrowserKey, browser);
    }

    void remove(const QString& key) { settings_->remove(key); }

private:
    QString string(const QString& key, const QString& fallback) const;
    bool boolean(const QString& key, bool fallback) const;

    QSettings* settings_;
    bool ownsSettings_ = false;

signals:
    void captureFullPageChanged(bool fullPage);
};

} // namespace pintora
