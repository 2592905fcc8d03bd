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

// The cookies of `webProfile()` as they are now, as the DevTools protocol's
// `Network.CookieParam` objects: those in its cookie file, with what the built-in browser
// changed since the first call.
QJsonArray webProfileCookies();
// Only those in the cookie file, read without starting the web engine: for a process that
// browses with no built-in view.
QJsonArray storedWebProfileCookies();

} // namespace pintora
