#include "platform/WebProfile.h"

#include <QCoreApplication>
#include <QWebEngineProfile>

namespace pintora {

namespace {
QWebEngineProfile* profile = nullptr;

void releaseProfile() {
    delete profile;
    profile = nullptr;
}
} // namespace

QWebEngineProfile* webProfile() {
    if (!profile) {
        profile = new QWebEngineProfile(QStringLiteral("Pintora"));
        profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
        // Post routines run last-registered first: this one before the engine's own clean-up.
        qAddPostRoutine(releaseProfile);
    }
    return profile;
}

} // namespace pintora
