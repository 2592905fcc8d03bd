#pragma once

#include <QJsonArray>

class QWebEngineProfile;

namespace pintora {

// The one persistent, named web profile of the process: every web view uses it, so cookies
// and logins are shared by all views and survive a restart (Qt's default profile keeps
// nothing). It goes away just before the application object, after every view.
QWebEngineProfile* webProfile();

// Makes `webProfile` a fresh profile that keeps everything in memory and forgets it at exit;
// called before the first view, for a process that must not see the user's cookies.
void useFreshWebProfile();

// The cookies of `webProfile()`, as the DevTools protocol's `Network.CookieParam` objects;
// followed from the first call on, so that later calls answer at once.
QJsonArray webProfileCookies();
// The same, once the stored cookies have been read (a few seconds at most): for a process
// that has only just made the profile.
QJsonArray loadedWebProfileCookies();

} // namespace pintora
