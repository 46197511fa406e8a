#include "data/formats/TakeAlong.h"

#include "data/access/DEVendora.h"
#include "data/shopping/Stores.h"
#include "data/text/Escape.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace pantrio::TakeAlong
{

namespace
{

const QString kNoAisle = QStringLiteral("No aisle");

QString escaped(const QString &text)
{
    return Escape::html(text);
}

// Styles for a phone: large tick targets, sizes in rem so the phone's text
// size setting scales everything, and dark colours when the phone is dark.
const char *const kStyle = R"css(
:root { color-scheme: light dark; --bg: #ffffff; --fg: #1b1b1b; --muted: #5f6368;
        --line: #d8d8d8; --band: #e8f0e9; --done: #8a8a8a; --accent: #2e7d32; }
@media (prefers-color-scheme: dark) {
  :root { --bg: #121212; --fg: #ececec; --muted: #b0b0b0; --line: #3a3a3a; --band: #1f2a20;
          --done: #8d8d8d; --accent: #81c784; }
}
* { box-sizing: border-box; }
body { margin: 0; background: var(--bg); color: var(--fg);
       font: 1.125rem/1.4 system-ui, -apple-system, "Segoe UI", Roboto, sans-serif; }
header { position: sticky; top: 0; background: var(--bg); border-bottom: 1px solid var(--line);
         padding: 0.75rem 1rem; z-index: 1; }
h1 { font-size: 1.4rem; margin: 0; }
h1, .made, .bar, #left { overflow-wrap: anywhere; min-width: 0; max-width: 100%; }
.made { color: var(--muted); margin: 0.15rem 0 0.5rem; font-size: 0.95rem; }
.bar { display: flex; flex-wrap: wrap; gap: 0.5rem 1.25rem; align-items: center; }
.bar label { display: flex; gap: 0.5rem; align-items: center; min-height: 2.75rem; }
#left { font-weight: 600; margin: 0; }
h2 { font-size: 1.05rem; margin: 0; padding: 0.5rem 1rem; background: var(--band);
     overflow-wrap: anywhere; }
ul { list-style: none; margin: 0; padding: 0; }
li label { display: flex; gap: 0.9rem; align-items: center; min-height: 3.25rem;
           padding: 0.5rem 1rem; border-bottom: 1px solid var(--line); cursor: pointer; }
input[type=checkbox] { width: 1.75rem; height: 1.75rem; flex: none; margin: 0;
                       accent-color: var(--accent); }
.text { flex: 1; min-width: 0; }
.item { display: block; overflow-wrap: anywhere; }
.cat { display: block; color: var(--muted); font-size: 0.9rem; overflow-wrap: anywhere; }
.qty { flex: none; max-width: 40%; font-weight: 600; overflow-wrap: anywhere; text-align: end; }
li.done .item, li.done .qty { text-decoration: line-through; color: var(--done); }
body.hide-done li.done, body.hide-done section.all-done { display: none; }
)css";

// Ticks and the switch are kept under the page's own key; where the browser
// keeps no storage for files, the page still works, without keeping them.
const char *const kScript = R"js(
(function () {
  var key = document.body.getAttribute("data-key");
  var boxes = Array.prototype.slice.call(document.querySelectorAll("li input"));
  var hide = document.getElementById("hide");
  var left = document.getElementById("left");
  var store = null;
  try { store = window.localStorage; } catch (e) { store = null; }
  function load() {
    try { return JSON.parse(store.getItem(key)) || {}; } catch (e) { return {}; }
  }
  function save() {
    if (!store) return;
    var ticked = boxes.filter(function (b) { return b.checked; }).map(function (b) { return b.id; });
    try { store.setItem(key, JSON.stringify({ ticked: ticked, hide: hide.checked })); } catch (e) {}
  }
  function show() {
    var open = 0;
    boxes.forEach(function (b) {
      b.closest("li").classList.toggle("done", b.checked);
      if (!b.checked) open++;
    });
    Array.prototype.forEach.call(document.querySelectorAll("section"), function (s) {
      s.classList.toggle("all-done", !s.querySelector("li input:not(:checked)"));
    });
    document.body.classList.toggle("hide-done", hide.checked);
    left.textContent = open === 1 ? "1 of " + boxes.length + " left"
                                  : open + " of " + boxes.length + " left";
  }
  var state = load();
  var ticked = state.ticked || [];
  boxes.forEach(function (b) {
    b.checked = ticked.indexOf(b.id) >= 0;
    b.addEventListener("change", function () { save(); show(); });
  });
  hide.checked = !!state.hide;
  hide.addEventListener("change", function () { save(); show(); });
  show();
})();
)js";

} // namespace

int List::lineCount() const
{
    int n = 0;
    for (const Group &g : groups)
        n += int(g.lines.size());
    return n;
}

bool build(DEVendora &de, List *list, QString *error)
{
    std::optional<Stores::Store> store;
    if (!de.currentStore(&store, error))
        return false;
    const bool ran = store ? de.runAisleForStore(store->id, store->name, error)
                           : de.run(DEVendora::ListPrintAisle_Grouping, error);
    if (!ran)
        return false;
    const GroupedResult *r = de.result(DEVendora::ListPrintAisle_Grouping);
    List out;
    out.store = store ? store->name : QString();
    const int item = r->childField(QStringLiteral("Item")),
              quantity = r->childField(QStringLiteral("Quantity")),
              category = r->childField(QStringLiteral("Category")),
              id = r->childField(QStringLiteral("ID"));
    for (const GroupedResult::Group &g : r->groups) {
        Group group;
        group.title = g.value.toString().isEmpty() ? kNoAisle : g.value.toString();
        for (const auto &row : g.rows)
            group.lines.append({row.value(item).toString(), row.value(quantity).toString(),
                                row.value(category).toString(), row.value(id).toLongLong()});
        out.groups.append(group);
    }
    de.close(DEVendora::ListPrintAisle_Grouping);
    *list = std::move(out);
    return true;
}

QString plainText(const List &list)
{
    QStringList lines = {list.store.isEmpty()
                             ? QStringLiteral("Shopping list")
                             : QStringLiteral("Shopping list, %1").arg(list.store)};
    for (const Group &g : list.groups) {
        lines << g.title;
        for (const Line &l : g.lines)
            lines << (l.quantity.isEmpty() ? QStringLiteral("- %1").arg(l.item)
                                           : QStringLiteral("- %1: %2").arg(l.item, l.quantity));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString newStorageKey(const QDateTime &made)
{
    return QStringLiteral("pantrio-list-%1-%2")
        .arg(made.toString(QStringLiteral("yyyyMMddHHmmsszzz")))
        .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
}

QByteArray phonePage(const List &list, const QDateTime &made, const QString &storageKey)
{
    const QString title = list.store.isEmpty()
                              ? QStringLiteral("Shopping list")
                              : QStringLiteral("Shopping list, %1").arg(list.store);
    const int total = list.lineCount();
    QString html;
    html.reserve(4096 + total * 256);
    html += QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                           "<meta name=\"viewport\" content=\"width=device-width, "
                           "initial-scale=1\">\n"
                           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src "
                           "'none'; style-src 'unsafe-inline'; script-src 'unsafe-inline'\">\n"
                           "<meta name=\"color-scheme\" content=\"light dark\">\n");
    html += QStringLiteral("<title>%1</title>\n<style>%2</style>\n</head>\n")
                .arg(escaped(title), QString::fromUtf8(kStyle));
    html += QStringLiteral("<body data-key=\"%1\">\n<header>\n<h1 dir=\"auto\">%2</h1>\n"
                           "<p class=\"made\">Made %3</p>\n<div class=\"bar\">\n"
                           "<label><input type=\"checkbox\" id=\"hide\"> Hide ticked</label>\n"
                           "<p id=\"left\" role=\"status\" aria-live=\"polite\">%4</p>\n"
                           "</div>\n</header>\n<main>\n")
                .arg(escaped(storageKey), escaped(title),
                     escaped(made.toString(QStringLiteral("yyyy-MM-dd HH:mm"))),
                     QStringLiteral("%1 of %1 left").arg(total));
    int n = 0;
    for (const Group &g : list.groups) {
        html += QStringLiteral("<section>\n<h2 dir=\"auto\">%1</h2>\n<ul>\n").arg(escaped(g.title));
        for (const Line &l : g.lines) {
            html += QLatin1String("<li><label><input type=\"checkbox\" id=\"l");
            html += QString::number(n++);
            html += QLatin1String("\"><span class=\"text\"><span class=\"item\" dir=\"auto\">");
            Escape::append(html, l.item, Escape::Into::Html);
            html += QLatin1String("</span><span class=\"cat\" dir=\"auto\">");
            Escape::append(html, l.category, Escape::Into::Html);
            html += QLatin1String("</span></span><span class=\"qty\" dir=\"auto\">");
            Escape::append(html, l.quantity, Escape::Into::Html);
            html += QLatin1String("</span></label></li>\n");
        }
        html += QStringLiteral("</ul>\n</section>\n");
    }
    html += QStringLiteral("</main>\n<script>%1</script>\n</body>\n</html>\n")
                .arg(QString::fromUtf8(kScript));
    return html.toUtf8();
}

namespace
{

const char *const kShareStyle = R"css(
[hidden] { display: none !important; }
.join, .add { display: flex; flex-wrap: wrap; gap: 0.5rem; padding: 0.75rem 1rem; }
.join input, .add input { font: inherit; min-height: 2.75rem; flex: 1; min-width: 0; }
.add input.qty-in { flex: 0 1 5rem; }
button { font: inherit; min-height: 2.75rem; padding: 0 1rem; }
#status { color: var(--muted); margin: 0.25rem 0 0; overflow-wrap: anywhere; }
li.pending .item::after { content: " (not sent yet)"; color: var(--muted); font-weight: normal; }
)css";

const char *const kShareScript = R"js(
(function () {
  'use strict';
  var store = null;
  try { store = window.localStorage; } catch (e) { store = null; }
  var P = 'pantrio-share-';
  function get(k, d) {
    try { var v = store ? store.getItem(P + k) : null; return v === null ? d : JSON.parse(v); }
    catch (e) { return d; }
  }
  function put(k, v) { try { if (store) store.setItem(P + k, JSON.stringify(v)); } catch (e) {} }
  function drop(k) { try { if (store) store.removeItem(P + k); } catch (e) {} }
  function $(id) { return document.getElementById(id); }
  function randomId() {
    var b = new Uint8Array(9); window.crypto.getRandomValues(b);
    return btoa(String.fromCharCode.apply(null, b)).replace(/\+/g, '-').replace(/\//g, '_');
  }
  // Each page is a source of its own: its changes are numbered apart from any
  // other tab's, and kept under its own name, so no two pages overwrite or
  // repeat each other. A page that is closed leaves its changes to the next.
  var inst = randomId(), seq = 0;
  var token = get('token', null), device = get('device', null);
  var queue = [], landed = [], mine = {};
  var version = '', wanted = '', list = null;
  var sending = false, listing = false, waiting = false, readOnly = false, notes = [];
  var hide = $('hide');
  hide.checked = get('hide', false);
  function say(text) { $('status').textContent = text; }
  function auth() { return { 'Content-Type': 'application/json', 'Authorization': 'Bearer ' + token }; }
  function save() { put('queue-' + inst, queue); put('alive-' + inst, Date.now()); }
  function number(v) { var i = String(v).lastIndexOf(':'); return i < 0 ? 0 : +String(v).slice(i + 1); }
  function epoch(v) { var i = String(v).lastIndexOf(':'); return String(v).slice(0, i); }
  function newer(a, b) { return !!a && (epoch(a) !== epoch(b) || number(a) > number(b)); }
  function adopt() {
    if (!store) return;
    var now = Date.now(), keys = [];
    for (var i = 0; i < store.length; i++) keys.push(store.key(i));
    keys.forEach(function (k) {
      var m = /^pantrio-share-queue(?:-(.+))?$/.exec(k || '');
      if (!m || m[1] === inst) return;
      var other = m[1] || '';
      if (other && now - get('alive-' + other, 0) < 180000) return;
      var theirs = get(other ? 'queue-' + other : 'queue', []);
      (Array.isArray(theirs) ? theirs : []).forEach(function (o) {
        if (o.src === undefined) o.src = other;
        if (!queue.some(function (q) { return q.src === o.src && q.seq === o.seq; })) queue.push(o);
      });
      drop(other ? 'queue-' + other : 'queue'); drop('alive-' + other);
    });
    save();
  }
  function state(id) {
    var s = null;
    landed.concat(queue).forEach(function (o) { if (o.line === id && o.kind !== 'add') s = o.kind === 'tick'; });
    return s;
  }
  function render() {
    var main = $('lines');
    while (main.firstChild) main.removeChild(main.firstChild);
    if (!list) return;
    $('title').textContent = list.store ? 'Shopping list, ' + list.store : 'Shopping list';
    var left = 0, total = 0;
    document.body.classList.toggle('hide-done', hide.checked);
    list.groups.forEach(function (g) {
      var section = document.createElement('section');
      var h = document.createElement('h2'); h.dir = 'auto'; h.textContent = g.title; section.appendChild(h);
      var ul = document.createElement('ul'); var open = 0;
      g.lines.forEach(function (l) {
        var p = state(l.id); var done = p === null ? l.ticks.length > 0 : p;
        total++; if (!done) { left++; open++; }
        var li = document.createElement('li'); if (done) li.className = 'done';
        var label = document.createElement('label');
        var box = document.createElement('input'); box.type = 'checkbox'; box.checked = done;
        box.disabled = readOnly;
        box.addEventListener('change', function () {
          if (box.checked) {
            var op = change({ kind: 'tick', line: l.id });
            (mine[l.id] = mine[l.id] || []).push(['/' + op.src, op.seq]);
          } else {
            // What it takes back: every tick it was shown, and its own ticks
            // the list may not show yet (queued, or sent a moment ago).
            change({ kind: 'untick', line: l.id, seen: l.ticks.concat(mine[l.id] || []) });
            delete mine[l.id];
          }
        });
        var text = document.createElement('span'); text.className = 'text';
        var item = document.createElement('span'); item.className = 'item'; item.dir = 'auto'; item.textContent = l.item;
        text.appendChild(item);
        var qty = document.createElement('span'); qty.className = 'qty'; qty.dir = 'auto'; qty.textContent = l.qty;
        label.appendChild(box); label.appendChild(text); label.appendChild(qty); li.appendChild(label); ul.appendChild(li);
      });
      if (open === 0) section.className = 'all-done';
      section.appendChild(ul); main.appendChild(section);
    });
    var adds = landed.concat(queue).filter(function (o) { return o.kind === 'add'; });
    if (adds.length) {
      var s = document.createElement('section'); var h2 = document.createElement('h2'); h2.textContent = 'Added here';
      s.appendChild(h2); var u = document.createElement('ul');
      adds.forEach(function (o) {
        var li = document.createElement('li'); li.className = 'pending'; var label = document.createElement('label');
        var text = document.createElement('span'); text.className = 'text';
        var item = document.createElement('span'); item.className = 'item'; item.dir = 'auto'; item.textContent = o.item;
        text.appendChild(item); label.appendChild(text); li.appendChild(label); u.appendChild(li);
      });
      s.appendChild(u); main.appendChild(s);
    }
    $('left').textContent = left + ' of ' + total + ' left';
    $('add').hidden = readOnly;
  }
  function tell(text) {
    var waitingOnes = queue.length ? ' ' + queue.length + ' change(s) wait to be sent.' : '';
    say((notes.length ? notes.join(' ') + ' ' : '') + text + waitingOnes);
  }
  function change(op) {
    op.src = inst; op.seq = ++seq;
    queue.push(op); save();
    render(); flush();
    return op;
  }
  function flush() {
    if (sending || !queue.length || !token || readOnly) return;
    sending = true;
    var batch = queue.slice(0, 100);
    var low = {};
    queue.forEach(function (o) { if (low[o.src] === undefined || o.seq < low[o.src]) low[o.src] = o.seq; });
    // Only this page's own numbers are said to be done with: another page
    // that took over a closed one's changes may still send some of them.
    var done = {};
    if (low[inst] === undefined) { if (seq > 0) done[inst] = seq; } else if (low[inst] > 1) done[inst] = low[inst] - 1;
    fetch('/api/ops', { method: 'POST', headers: auth(), body: JSON.stringify({ src: inst, ops: batch, through: done }) })
      .then(function (r) {
        return r.json().catch(function () { return {}; }).then(function (d) {
          if (!r.ok) throw { status: r.status, data: d }; return d;
        });
      })
      .then(function (a) {
        sending = false; notes = [];
        var gone = false;
        batch.forEach(function (o, i) {
          var k = a.acks[i] || {};
          queue = queue.filter(function (q) { return q !== o; });
          if (k.refused) {
            notes.push((o.kind === 'add' ? '"' + o.item + '" was not added: ' : 'A change was not made: ') + k.refused + '.');
          } else {
            gone = gone || k.gone; o.at = a.version; landed.push(o);
          }
        });
        save();
        if (gone) notes.push('A line you ticked had been deleted on the computer.');
        tell('Up to date.');
        want(a.version); render(); flush();
      })
      .catch(function (e) {
        sending = false;
        var status = e && e.status;
        if (status === 401) return forgotten();
        if (status === 403 && e.data && e.data.readOnly) {
          readOnly = true; render();
          return tell('This list may only be read: the computer cannot change its file.');
        }
        tell('Offline: changes will be sent when the computer is back.');
        setTimeout(flush, 3000);
      });
  }
  function want(v) { if (newer(v, wanted)) wanted = v; if (newer(wanted, version)) refresh(); }
  // One list read at a time, and again only for a version newer than the
  // one it brought: one change costs one read.
  function refresh() {
    if (listing || !token) return;
    listing = true;
    fetch('/api/list?since=' + encodeURIComponent(version), { headers: auth() })
      .then(function (r) { if (!r.ok) throw r.status; return r.json(); })
      .then(function (d) {
        listing = false;
        if (!d.unchanged) {
          list = d; version = d.version;
          var was = readOnly; readOnly = !!d.readOnly;
          // Kept only while the list is older than their answer, in the same run.
          landed = landed.filter(function (o) { return epoch(o.at) === epoch(version) && number(o.at) > number(version); });
          render();
          if (readOnly) tell('This list may only be read: the computer cannot change its file.');
          else if (was) { tell('Up to date.'); flush(); }
        } else version = d.version;
        if (/cannot be reached|Offline|could not be read/.test($('status').textContent)) tell('Up to date.');
        // A version of another run (sharing restarted) is no longer wanted.
        if (epoch(wanted) !== epoch(version)) wanted = version;
        if (newer(wanted, version)) refresh();
      })
      .catch(function (status) {
        listing = false;
        if (status === 401) return forgotten();
        // The version it was for is still wanted: read again, not left
        // stale until the next change wakes the wait. A network failure is
        // told by the wait; an answer with an error only here.
        if (typeof status === 'number') tell('The list could not be read; trying again.');
        setTimeout(function () { if (newer(wanted, version)) refresh(); }, 3000);
      });
  }
  function listen() {
    if (waiting || !token) return;
    waiting = true;
    var since = newer(wanted, version) ? wanted : version;
    fetch('/api/wait?since=' + encodeURIComponent(since), { headers: auth() })
      .then(function (r) { if (!r.ok) throw r.status; return r.json(); })
      .then(function (d) { waiting = false; want(d.version); listen(); })
      .catch(function (status) {
        waiting = false;
        if (status === 401) return forgotten();
        tell('The computer cannot be reached; the page keeps working and sends your changes later.');
        setTimeout(function () { refresh(); flush(); listen(); }, 3000);
      });
  }
  function forgotten() {
    // The changes stay: they are sent once the phone has joined again.
    token = null; put('token', null);
    tell('This phone was forgotten by the computer: scan its code again to join.');
    $('join').hidden = false;
  }
  function begin() {
    $('join').hidden = true;
    refresh(); flush(); listen();
  }
  hide.addEventListener('change', function () { put('hide', hide.checked); render(); });
  $('add').addEventListener('submit', function (e) {
    e.preventDefault();
    var item = $('item').value.trim(); if (!item) return;
    change({ kind: 'add', item: item, qty: $('qty').value.trim() });
    $('item').value = ''; $('qty').value = '';
  });
  window.addEventListener('online', function () { flush(); refresh(); });
  window.addEventListener('pagehide', function () { put('alive-' + inst, 0); });
  window.addEventListener('pageshow', function () { save(); });
  setInterval(function () { save(); adopt(); if (queue.length) { render(); flush(); } }, 10000);
  $('join').addEventListener('submit', function (e) {
    e.preventDefault();
    var m = /join=([A-Za-z0-9_-]+)/.exec(location.hash);
    if (!m) { say('Scan the code the computer shows to join.'); return; }
    say('Waiting for the computer to let this phone join…');
    fetch('/api/join', { method: 'POST', headers: { 'Content-Type': 'application/json' },
                         body: JSON.stringify({ secret: m[1], name: $('name').value.trim(), device: device }) })
      .then(function (r) { return r.json().then(function (d) { if (!r.ok) throw d.error; return d; }); })
      .then(function (d) {
        token = d.token; put('token', token); device = d.device; put('device', device);
        history.replaceState(null, '', '/');
        say('Joined.'); begin();
      })
      .catch(function (why) { say('Not joined: ' + why); });
  });
  adopt();
  if (token) begin(); else $('join').hidden = false;
})();
)js";

QString shareStyle()
{
    return QString::fromUtf8(kStyle) + QString::fromUtf8(kShareStyle);
}

QString hashOf(const QString &text)
{
    return QStringLiteral("'sha256-%1'")
        .arg(QString::fromLatin1(
            QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toBase64()));
}

} // namespace

QString sharePage()
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                          "<meta name=\"viewport\" content=\"width=device-width, "
                          "initial-scale=1\">\n<title>Shopping list</title>\n<style>%1</style>\n"
                          "</head>\n<body>\n<header>\n<h1 id=\"title\" dir=\"auto\">Shopping "
                          "list</h1>\n<div class=\"bar\"><p id=\"left\" aria-live=\"polite\"></p>"
                          "<label><input type=\"checkbox\" id=\"hide\"> Hide ticked</label></div>\n"
                          "<p id=\"status\" role=\"status\"></p>\n</header>\n"
                          "<form id=\"join\" class=\"join\" hidden><label for=\"name\">Name of "
                          "this phone</label><input id=\"name\" maxlength=\"40\" required "
                          "autocomplete=\"off\"><button>Join</button></form>\n"
                          "<main id=\"lines\"></main>\n"
                          "<form id=\"add\" class=\"add\" hidden><input id=\"item\" "
                          "aria-label=\"Item\" placeholder=\"Item\" maxlength=\"200\" "
                          "autocomplete=\"off\"><input id=\"qty\" class=\"qty-in\" "
                          "aria-label=\"Quantity\" placeholder=\"Qty\" maxlength=\"50\">"
                          "<button>Add</button></form>\n<script>%2</script>\n</body>\n</html>\n")
        .arg(shareStyle(), QString::fromUtf8(kShareScript));
}

QString sharePagePolicy()
{
    return QStringLiteral("default-src 'none'; script-src %1; style-src %2; connect-src 'self'; "
                          "img-src 'none'; base-uri 'none'; form-action 'none'; "
                          "frame-ancestors 'none'")
        .arg(hashOf(QString::fromUtf8(kShareScript)), hashOf(shareStyle()));
}

} // namespace pantrio::TakeAlong
