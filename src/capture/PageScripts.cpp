#include "capture/PageScripts.h"

#include <QJsonArray>
#include <QJsonDocument>

// The scripts a batch capture runs in its pages. Page tasks run in a world of their own: the
// page's scripts cannot see or disturb them.

namespace pintora::pageScripts {

// Tiles are stitched by scrolling; a scrollbar would take width from the page in tile mode
// only, and smooth scrolling would leave a tile half way.
const QString hideScrollbarsScript =
    QStringLiteral("(function(){var s=document.createElement('style');"
                   "s.textContent='::-webkit-scrollbar{display:none}html{scrollbar-width:none;"
                   "scroll-behavior:auto !important}';"
                   "document.documentElement.appendChild(s);})()");

QString tileScrollScript(int y) {
    return QStringLiteral("window.scrollTo({top:%1,left:0,behavior:'instant'});").arg(y);
}

// Page tasks run in a world of their own: the page's scripts cannot see or disturb them.
// Scrolls through the page once, in steps of the viewport, so that lazy pictures and
// scroll-driven loaders fetch their content; bounded in time and in height, so a page that
// grows as it is scrolled still ends. Each step waits for two frames: scroll events and
// intersection observers have run by then and asked for what they bring in, which the wait
// for pictures below then waits for.
namespace {
QString scrollThroughPart(int limitMs, int maxHeight) {
    return QStringLiteral(
               "var step=Math.max(100,innerHeight);"
               "for(var y=step;y<Math.min(pageHeight(),%2)&&Date.now()-start<%1;y+=step){"
               "window.scrollTo({top:y,left:0,behavior:'instant'});await painted();}"
               "window.scrollTo({top:0,left:0,behavior:'instant'});await painted();")
        .arg(limitMs / 2)
        .arg(maxHeight);
}
} // namespace

// Waits until the pictures of the area to be captured have loaded and decoded, and the web
// fonts have loaded; pictures that are not shown (no box, or outside the area) are not
// waited for, since a lazy one among them would never load.
QString prepareScript(bool fullPage, int limitMs, int maxHeight) {
    return QStringLiteral(
               "(function(){var task={state:'running'};window.__pintoraTask=task;"
               "var start=Date.now();"
               "function left(){return Math.max(0,%1-(Date.now()-start));}"
               "function sleep(ms){return new Promise(function(r){setTimeout(r,ms);});}"
               "function within(p,ms){return Promise.race([p,sleep(ms)]);}"
               "function painted(){return within(new Promise(function(r){"
               "requestAnimationFrame(function(){requestAnimationFrame(r);});}),100);}"
               "function pageHeight(){var b=document.body,d=document.documentElement;"
               "return Math.max(b?b.scrollHeight:0,d?d.scrollHeight:0);}"
               "async function run(){%2"
               "var bottom=%3?Math.min(pageHeight(),%4):innerHeight;"
               "var shown=Array.prototype.filter.call(document.images,function(i){"
               "var r=i.getBoundingClientRect();return r.width>0&&r.height>0&&r.bottom>0&&"
               "r.top<bottom&&r.right>0&&r.left<innerWidth;});"
               "await within(Promise.all(shown.map(function(i){if(i.complete)return 0;"
               "return new Promise(function(r){i.addEventListener('load',r,{once:true});"
               "i.addEventListener('error',r,{once:true});});})),left());"
               "await within(Promise.all(shown.map(function(i){"
               "return i.naturalWidth?i.decode().catch(function(){}):0;})),left());"
               "if(document.fonts)await within(document.fonts.ready,left());}"
               "run().then(function(){task.state='done';},function(){task.state='done';});"
               "return 'running';})()")
        .arg(limitMs)
        .arg(fullPage ? scrollThroughPart(limitMs, maxHeight) : QString())
        .arg(fullPage ? QStringLiteral("true") : QStringLiteral("false"))
        .arg(maxHeight);
}

const QString taskStateScript =
    QStringLiteral("window.__pintoraTask?window.__pintoraTask.state:''");

// Notes every element's height at the preset's size, before the view grows.
const QString recordHeightsScript = QStringLiteral(
    "(function(){var nodes=[document.documentElement].concat(Array.prototype.slice.call("
    "document.querySelectorAll('body, body *'),0,50000));"
    "window.__pintoraHeights={nodes:nodes,heights:nodes.map(function(n){"
    "return (n instanceof HTMLImageElement&&!n.complete)?NaN:n.getBoundingClientRect().height;"
    "})};return nodes.length;})()");

// Once the view is `viewHeight` tall, every element whose height changed with it (a section
// of 100vh, and what holds it) is held at its height at the preset, so the page is laid out as
// at the preset's size however tall the view. Reads all boxes before writing any style, so
// the page is laid out once.
QString pinHeightsScript(int viewHeight) {
    return QStringLiteral(
               "(function(){var r=window.__pintoraHeights;if(!r)return 'none';"
               "if(Math.abs(innerHeight-%1)>1)return 'running';window.__pintoraHeights=null;"
               "var pins=[];r.nodes.forEach(function(n,i){var h=r.heights[i];"
               "if(!(n instanceof HTMLElement)||!n.isConnected||isNaN(h))return;"
               "if(Math.abs(n.getBoundingClientRect().height-h)<=0.5)return;"
               "var s=getComputedStyle(n);if(s.display==='inline'||s.display==='contents')return;"
               "if(s.boxSizing!=='border-box')h-=parseFloat(s.paddingTop)+"
               "parseFloat(s.paddingBottom)+parseFloat(s.borderTopWidth)+"
               "parseFloat(s.borderBottomWidth);pins.push([n,Math.max(0,h)]);});"
               "pins.forEach(function(p){['height','min-height','max-height'].forEach(function(k){"
               "p[0].style.setProperty(k,p[1]+'px','important');});});"
               "return 'pinned '+pins.length;})()")
        .arg(viewHeight);
}

// The single-page-app layout: the document itself never scrolls (html and body as tall as the
// view, overflow hidden) and an element inside does. The tallest such scroller covering a good
// part of the view, and what holds it, grow to their content, so the document scrolls instead.
const QString unrollScript = QStringLiteral(
    "(function(){var b=document.body,d=document.documentElement;if(!b)return 'none';"
    "if(Math.max(b.scrollHeight,d.scrollHeight)>innerHeight+1)return 'none';"
    "var best=null,most=1;document.querySelectorAll('body *').forEach(function(e){"
    "var extra=e.scrollHeight-e.clientHeight;if(extra<=most)return;"
    "if(!/(auto|scroll|overlay)/.test(getComputedStyle(e).overflowY))return;"
    "var r=e.getBoundingClientRect();if(r.width*r.height<innerWidth*innerHeight/4)return;"
    "best=e;most=extra;});if(!best)return 'none';"
    "for(var e=best;e;e=e.parentElement){['overflow','overflow-y'].forEach(function(k){"
    "e.style.setProperty(k,'visible','important');});"
    "e.style.setProperty('height','auto','important');"
    "e.style.setProperty('max-height','none','important');}"
    "return 'unrolled '+most;})()");

// In tiles the view scrolls: sticky elements would stick to the top of every tile, so they
// stay where they are at the top of the page, as a sticky element that has not stuck.
const QString unstickScript =
    QStringLiteral("(function(){var n=0;document.querySelectorAll('body *').forEach(function(e){"
                   "var p=getComputedStyle(e).position;if(p==='sticky'||p==='-webkit-sticky'){n++;"
                   "e.style.setProperty('position','relative','important');"
                   "['top','bottom','left','right'].forEach(function(k){"
                   "e.style.setProperty(k,'auto','important');});}});return n;})()");

// Fixed elements were in the first tile; in every later one they would show again.
const QString hideFixedScript =
    QStringLiteral("(function(){var n=0;document.querySelectorAll('body *').forEach(function(e){"
                   "if(e.id&&e.id.indexOf('__pintora')===0)return;"
                   "if(getComputedStyle(e).position==='fixed'){n++;"
                   "e.style.setProperty('opacity','0','important');}});return n;})()");

// Whether this preset's document is parsed, and how many of its requests have finished; an
// earlier document (the blank one, or the previous preset's) answers nothing.
QString quietProbeScript(int loadId) {
    return QStringLiteral(
               "(function(id){if(location.href==='about:blank')return '';"
               "if(window.__pintoraLoad===undefined){window.__pintoraLoad=id;"
               "performance.setResourceTimingBufferSize(100000);}"
               "if(window.__pintoraLoad!==id)return '';"
               "return document.readyState+' '+performance.getEntriesByType('resource').length;"
               "})(%1)")
        .arg(loadId);
}

// A string as a JavaScript literal.
namespace {
QString jsString(const QString& text) {
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}
} // namespace

namespace {
QString jsStrings(const QStringList& texts) {
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(texts)).toJson(QJsonDocument::Compact));
}
} // namespace

// "found" once an element matches the selector, "bad" when it is not one.
QString matchScript(const QString& selector) {
    return QStringLiteral("(function(s){try{return document.querySelector(s)?'found':'waiting';}"
                          "catch(e){return 'bad';}})(%1)")
        .arg(jsString(selector));
}

// A style sheet hides the elements, also those that appear later; each selector is a rule of
// its own, so one that is not a selector ("bad <selector>") cannot swallow the others.
QString hideScript(const QStringList& selectors) {
    return QStringLiteral(
               "(function(list){var s=document.createElement('style');"
               "(document.head||document.documentElement).appendChild(s);"
               "for(var i=0;i<list.length;i++){try{document.querySelector(list[i]);"
               "s.sheet.insertRule(list[i]+'{visibility:hidden !important}',"
               "s.sheet.cssRules.length);}catch(e){s.remove();return 'bad '+list[i];}}"
               "return 'ok';})(%1)")
        .arg(jsStrings(selectors));
}

// The user's code as it is written (no eval, which a page's policy may forbid): "done" after
// it ran, "error ..." when it threw; nothing at all when it does not parse.
QString userScript(const QString& code) {
    return QStringLiteral("try{\n%1\n;'done';}catch(e){'error '+e;}").arg(code);
}

// The first match's box in page coordinates, [left, top, width, height]; "none" or "bad".
QString elementBoxScript(const QString& selector) {
    return QStringLiteral("(function(s){var e;try{e=document.querySelector(s);}catch(x){"
                          "return 'bad';}if(!e)return 'none';var r=e.getBoundingClientRect();"
                          "return [r.left+scrollX,r.top+scrollY,r.width,r.height];})(%1)")
        .arg(jsString(selector));
}

} // namespace pintora::pageScripts
