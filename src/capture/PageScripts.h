#pragma once

#include <QString>
#include <QStringList>

// The scripts a batch capture runs in its pages; each is described where it is defined.
namespace pintora::pageScripts {

// Tiles: no scrollbars, no smooth scrolling; a scroll to `y` points.
extern const QString hideScrollbarsScript;
QString tileScrollScript(int y);
// The page task that waits for the captured area's pictures and fonts (a full page is first
// scrolled through, to at most `maxHeight` points), for at most `limitMs`; its state is
// read with `taskStateScript`.
QString prepareScript(bool fullPage, int limitMs, int maxHeight);
extern const QString taskStateScript;
// Heights at the preset's size, and holding them once the view is `viewHeight` tall.
extern const QString recordHeightsScript;
QString pinHeightsScript(int viewHeight);
// A document that never scrolls, while an element inside does, made to scroll itself.
extern const QString unrollScript;
// Tiles: sticky elements left in place, fixed ones hidden after the first tile.
extern const QString unstickScript;
extern const QString hideFixedScript;
// Whether the document of load `loadId` is parsed, and how many requests it has finished.
QString quietProbeScript(int loadId);
// The user's page steps: a selector waited for, elements hidden, code run, a box clipped to.
QString matchScript(const QString& selector);
QString hideScript(const QStringList& selectors);
QString userScript(const QString& code);
QString elementBoxScript(const QString& selector);

} // namespace pintora::pageScripts
