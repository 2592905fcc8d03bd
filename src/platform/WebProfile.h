#pragma once

class QWebEngineProfile;

namespace pintora {

// The one persistent, named web profile of the process: every web view uses it, so cookies
// and logins are shared by all views and survive a restart (Qt's default profile keeps
// nothing). It goes away just before the application object, after every view.
QWebEngineProfile* webProfile();

} // namespace pintora
