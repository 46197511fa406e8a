#include "data/formats/TakeAlong.h"

#include "data/access/DEVendora.h"
#include "data/household/Stores.h"

#include <QRandomGenerator>

namespace pantrio::TakeAlong
{

namespace
{

const QString kNoAisle = QStringLiteral("No aisle");

QString escaped(const QString &text)
{
    QString out = text.toHtmlEscaped();
    out.replace(QLatin1Char('\''), QLatin1String("&#39;"));
    return out;
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
              category = r->childField(QStringLiteral("Category"));
    for (const GroupedResult::Group &g : r->groups) {
        Group group;
        group.title = g.value.toString().isEmpty() ? kNoAisle : g.value.toString();
        for (const auto &row : g.rows)
            group.lines.append({row.value(item).toString(), row.value(quantity).toString(),
                                row.value(category).toString()});
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
            html +=
                QStringLiteral("<li><label><input type=\"checkbox\" id=\"l%1\">"
                               "<span class=\"text\"><span class=\"item\" dir=\"auto\">%2</span>"
                               "<span class=\"cat\" dir=\"auto\">%3</span></span>"
                               "<span class=\"qty\" dir=\"auto\">%4</span></label></li>\n")
                    .arg(n++)
                    .arg(escaped(l.item), escaped(l.category), escaped(l.quantity));
        }
        html += QStringLiteral("</ul>\n</section>\n");
    }
    html += QStringLiteral("</main>\n<script>%1</script>\n</body>\n</html>\n")
                .arg(QString::fromUtf8(kScript));
    return html.toUtf8();
}

} // namespace pantrio::TakeAlong
