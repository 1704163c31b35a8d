#include "report/modern_style.h"

namespace logvane {

namespace {

// Kept free of "<" and ">" so that no text in it can close the element.
constexpr std::string_view kStylesheet =
    // Themes: colours only; everything else is shared.
    ":root{color-scheme:light dark;--bg:#f2f4f7;--card:#fff;--fg:#1c2430;--mut:#5a6472;"
    "--line:#dde2e8;--alt:#f6f8fa;--bar:#2f6fdf;--link:#0b5cc4}\n"
    "@media (prefers-color-scheme:dark){:root{--bg:#0e1116;--card:#171b22;--fg:#e4e9f0;"
    "--mut:#98a2b0;--line:#2c333d;--alt:#1c2129;--bar:#5b9bf8;--link:#79b0ff}}\n"
    "*{box-sizing:border-box}\n"
    "html{-webkit-text-size-adjust:100%;text-size-adjust:100%}\n"
    "body{margin:0;background:var(--bg);color:var(--fg);"
    "font:15px/1.45 system-ui,-apple-system,\"Segoe UI\",Roboto,\"Noto Sans\",sans-serif}\n"
    "a{color:var(--link)}\n"
    "header,main,footer{max-width:72rem;margin:0 auto;padding:0 1rem}\n"
    "header{padding-top:1.25rem;padding-bottom:1rem}\n"
    "h1{margin:0 0 .8rem;font-size:1.6rem;line-height:1.2;overflow-wrap:anywhere}\n"
    // Summary figures: as many tiles per line as fit.
    ".sum{display:grid;grid-template-columns:repeat(auto-fill,minmax(10rem,1fr));gap:.5rem;"
    "margin:0}\n"
    ".sum div{background:var(--card);border:1px solid var(--line);border-radius:8px;"
    "padding:.45rem .75rem}\n"
    ".sum dt{font-size:.75rem;color:var(--mut)}\n"
    ".sum dd{margin:0;min-height:1.45em;font-size:1.15rem;font-weight:600;"
    "font-variant-numeric:tabular-nums}\n"
    ".when{margin:.6rem 0 0;font-size:.8rem;color:var(--mut)}\n"
    // The navigation stays in view and scrolls sideways on its own.
    "nav{position:sticky;top:0;z-index:1;background:var(--card);"
    "border-bottom:1px solid var(--line);box-shadow:0 1px 3px rgba(0,0,0,.08);"
    "padding:.35rem max(.5rem,calc(50% - 36rem + .5rem));margin-bottom:1rem}\n"
    "nav a{display:inline-block;padding:.3rem .65rem;border-radius:999px;"
    "text-decoration:none;font-size:.875rem}\n"
    "nav a:hover,nav a:focus{background:var(--alt)}\n"
    ".card{background:var(--card);border:1px solid var(--line);border-radius:10px;"
    "padding:1rem;margin:0 0 1rem;scroll-margin-top:3.5rem;min-width:0}\n"
    "h2{margin:0 0 .75rem;font-size:1.15rem}\n"
    "h3{margin:1.25rem 0 .6rem;font-size:1rem}\n"
    // Wide tables scroll inside their card, never the page.
    ".tw{overflow-x:auto;max-width:100%}\n"
    "table{border-collapse:collapse;width:100%;font-size:.875rem}\n"
    "th,td{padding:.3rem .55rem;border-bottom:1px solid var(--line);text-align:right;"
    "white-space:nowrap;font-variant-numeric:tabular-nums;vertical-align:middle}\n"
    "th{font-size:.75rem;font-weight:600;color:var(--mut);background:var(--card);"
    "vertical-align:bottom}\n"
    "tbody tr:nth-child(even){background:var(--alt)}\n"
    // Numbers and ranks take the width they need; the key and the bar the rest.
    "th{width:1%}.k1 th:first-child,.k2 th:nth-child(2){width:auto}\n"
    // The key column reads left to right and may wrap.
    ".k1 td:first-child,.k1 th:first-child,.k2 td:nth-child(2),.k2 th:nth-child(2){"
    "text-align:left}\n"
    ".k2 td:nth-child(2){white-space:normal;overflow-wrap:anywhere;min-width:9rem;"
    "max-width:32rem}\n"
    ".g td:last-child,.g th:last-child{width:34%;min-width:5rem;text-align:left}\n"
    "td i{display:block;height:.8rem;border-radius:2px;background:var(--bar);"
    "width:calc(var(--w)*100%/var(--gw));max-width:100%;min-width:1px}\n"
    ".tot{margin:.5rem 0 0;font-size:.875rem}\n"
    ".tot b{font-variant-numeric:tabular-nums}\n"
    ".top{display:inline-block;margin-top:.6rem;font-size:.8rem}\n"
    // The hourly chart: 24 columns, their labels in a second row.
    ".hc{display:grid;grid-template-columns:repeat(24,minmax(0,1fr));"
    "grid-template-rows:7rem auto;column-gap:3px;align-items:end;margin:0 0 1rem}\n"
    ".hc i{display:block;background:var(--bar);border-radius:2px 2px 0 0;"
    "height:calc(var(--w)*100%/var(--gw));max-height:100%}\n"
    ".hc span{font-size:.65rem;color:var(--mut);text-align:center;"
    "font-variant-numeric:tabular-nums;border-top:1px solid var(--line)}\n"
    // Phones: the navigation scrolls sideways on its own, the columns
    // narrow so that most tables fit without scrolling.
    "@media (max-width:600px){body{font-size:14px}header,main,footer{padding:0 .6rem}"
    "header{padding-top:1rem}nav{overflow-x:auto;white-space:nowrap}.card{padding:.75rem}"
    "th,td{padding:.25rem .3rem}th{white-space:normal}.k2 td:nth-child(2){min-width:6.5rem}"
    ".g td:last-child,.g th:last-child{width:24%;min-width:3.5rem}"
    ".hc{column-gap:1px}.hc span:not(:nth-of-type(3n+1)){visibility:hidden}}\n"
    ".par ul{margin:0;padding-left:1.2rem;overflow-wrap:anywhere}\n"
    ".note{font-size:.85rem;color:var(--mut)}\n"
    "footer{padding-bottom:1.5rem;font-size:.8rem;color:var(--mut)}\n"
    // Print: no navigation, black on white, every row, bars kept.
    "@media print{:root{--bg:#fff;--card:#fff;--fg:#000;--mut:#333;--line:#bbb;"
    "--alt:#fff;--bar:#555;--link:#000}body{font-size:10pt}nav,.top{display:none}"
    "header,main,footer{max-width:none;padding:0}.card{border:0;padding:0;margin:0 0 1.2rem}"
    ".tw{overflow:visible}thead{display:table-header-group}tr,.hc{break-inside:avoid}"
    "h2,h3{break-after:avoid}a{text-decoration:none}"
    "td i,.hc i{-webkit-print-color-adjust:exact;print-color-adjust:exact}}\n";

}  // namespace

std::string_view ModernStylesheet() { return kStylesheet; }

}  // namespace logvane
