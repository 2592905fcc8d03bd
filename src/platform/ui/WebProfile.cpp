#include "platform/ui/WebProfile.h"

#include <QCoreApplication>
#include <QWebEngineProfile>

namespace pintora {

namespace {
QWebEngineProfile* profile = nullptr;

void releaseProfile() {
    delete profile;
    profile = nullptr;
}

void keep(QWebEngineProfile* made) {
    profile = made;
    // Post routines run last-registered first: this one before the engine's own clean-up.
    qAddPostRoutine(releaseProfile);
}
} // namespace

QWebEngineProfile* webProfile() {
    if (!profile) {
        keep(new QWebEngineProfile(QStringLiteral("Pintora")));
        profile->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    }
    return profile;
}

void useFreshWebProfile() {
    if (!profile) keep(new QWebEngineProfile()); // no name: off the record
}

} // namespace pintora
