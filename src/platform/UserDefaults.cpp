#include "platform/UserDefaults.h"

namespace pintora {

UserDefaults::UserDefaults() : settings_(new QSettings), ownsSettings_(true) {}

UserDefaults::~UserDefaults() {
    if (ownsSettings_) delete settings_;
}

UserDefaults& UserDefaults::standard() {
    static UserDefaults defaults;
    return defaults;
}

QString UserDefaults::string(const QString& key, const QString& fallback) const {
    const QVariant value = settings_->value(key);
    return value.isValid() ? value.toString() : fallback;
}

bool UserDefaults::boolean(const QString& key, bool fallback) const {
    const QVariant value = settings_->value(key);
    return value.isValid() ? value.toBool() : fallback;
}

QString UserDefaults::defaultURL() const {
    return string(defaultURLKey, builtInStartPage);
}
void UserDefaults::setDefaultURL(const QString& url) {
    settings_->setValue(defaultURLKey, url);
}

QString UserDefaults::defaultTab() const {
    return string(defaultTabKey, QStringLiteral("capture"));
}
void UserDefaults::setDefaultTab(const QString& tab) {
    settings_->setValue(defaultTabKey, tab);
}

bool UserDefaults::captureFullPage() const {
    return boolean(captureFullPageKey, false);
}
void UserDefaults::setCaptureFullPage(bool fullPage) {
    if (fullPage == captureFullPage()) return;
    settings_->setValue(captureFullPageKey, fullPage);
    emit captureFullPageChanged(fullPage);
}

bool UserDefaults::hasSeenIntro() const {
    return boolean(hasSeenIntroKey, false);
}
void UserDefaults::setHasSeenIntro(bool seen) {
    settings_->setValue(hasSeenIntroKey, seen);
}

QString UserDefaults::defaultStrokeHex() const {
    return string(defaultStrokeHexKey, QStringLiteral("#FF3B30"));
}
void UserDefaults::setDefaultStrokeHex(const QString& hex) {
    settings_->setValue(defaultStrokeHexKey, hex);
}

QString UserDefaults::defaultTextHex() const {
    return string(defaultTextHexKey, QStringLiteral("#000000"));
}
void UserDefaults::setDefaultTextHex(const QString& hex) {
    settings_->setValue(defaultTextHexKey, hex);
}

double UserDefaults::defaultCalloutSize() const {
    bool isNumber = false;
    const double size = settings_->value(defaultCalloutSizeKey).toDouble(&isNumber);
    return isNumber ? size : 80;
}
void UserDefaults::setDefaultCalloutSize(double size) {
    settings_->setValue(defaultCalloutSizeKey, size);
}

QByteArray UserDefaults::viewportPresetsData() const {
    return settings_->value(viewportPresetsKey).toByteArray();
}
void UserDefaults::setViewportPresetsData(const QByteArray& json) {
    settings_->setValue(viewportPresetsKey, json);
}

QByteArray UserDefaults::browsingHistoryData() const {
    return settings_->value(browsingHistoryKey).toByteArray();
}
void UserDefaults::setBrowsingHistoryData(const QByteArray& json) {
    settings_->setValue(browsingHistoryKey, json);
}

QString UserDefaults::updateFeedURL() const {
    return string(updateFeedURLKey, builtInUpdateFeed);
}
void UserDefaults::setUpdateFeedURL(const QString& url) {
    settings_->setValue(updateFeedURLKey, url);
}

} // namespace pintora
