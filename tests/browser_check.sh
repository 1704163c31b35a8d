#!/usr/bin/env bash
# Renders the example reports in headless Chromium and checks them from the
# rendered pages.
#   Classic report: every bar image loaded, every navigation link finds its
#   anchor; screenshot report.png.
#   Modern report (STYLE=MODERN), at 1280 and 390 pixels wide in the light
#   and the dark colour scheme: every navigation link finds its anchor, at
#   390 the page is never wider than the window, nothing is fetched (no
#   resource, no element that loads one), no console message (a blocked load
#   or any error would log one); screenshots modern-WIDTH-SCHEME.png.
#   Both styles of a report whose user carries quotes, linked through a
#   single-quoted ULOOKUP template: no element has an event handler, and
#   the user's whole text stays in its link's address.
#   browser_check.sh LOGVANE SOURCE_DIR WORK_DIR
set -euo pipefail
logvane="$1" source="$2" work="$3"
browser="$(command -v chromium || command -v chromium-browser || true)"
if [ -z "$browser" ]; then
  echo "chromium is not installed; skipping the browser check"
  exit 77
fi
rm -rf "$work" && mkdir -p "$work"
cd "$work"
cp "$source/examples/lvipname.dat" lvipname.dat
cp "$source/assets/hstb.gif" hstb.gif
cat > lvparam.dat <<PARAMS
INFILE=$source/examples/sample.log
OUTFILE=report.html
LOOKUP=X
hstb_loc=.
PARAMS
"$logvane" lvparam.dat > console.txt
{ grep -v '^hstb_loc' lvparam.dat; echo "OUTFILE=report-modern.html"; echo "STYLE=MODERN"; } \
  > modern.dat
"$logvane" modern.dat > console-modern.txt
hostile="a.example.com'onmouseover='alert(4)'.com"
echo "$hostile - - [07/Oct/1998:13:55:36 -0700] \"GET /x'y.html HTTP/1.0\" 200 100" > hostile.log
for style in CLASSIC MODERN; do
  cat > "hostile-$style.dat" <<PARAMS
INFILE=hostile.log
OUTFILE=hostile-$style.html
LOOKUP=N
ULOOKUP=<a href='https://who.example/?q={user}'>
hstb_loc=.
STYLE=$style
PARAMS
  "$logvane" "hostile-$style.dat" > "console-hostile-$style.txt"
done

cat > harness.html <<'HTML'
<html><body><iframe id=report width=1200 height=900></iframe>
<script>
var query = new URLSearchParams(location.search);
var frame = document.getElementById('report');
frame.width = query.get('w') || 1200;
frame.src = query.get('r') || 'report.html';
frame.addEventListener('load', function () {
  var win = frame.contentWindow, doc = frame.contentDocument;
  var broken = 0;
  for (var i = 0; i < doc.images.length; i++) {
    var img = doc.images[i];
    if (!(img.complete && img.naturalWidth > 0)) broken++;
  }
  var links = doc.querySelectorAll('a[href^="#"]');
  var missing = [];
  for (var j = 0; j < links.length; j++) {
    var name = links[j].getAttribute('href').substring(1);
    if (!doc.getElementById(name) && !doc.querySelector('a[name="' + name + '"]')) missing.push(name);
  }
  var root = doc.documentElement;
  var loaders = doc.querySelectorAll('[src],[srcset],link,script,iframe,object,embed,video,audio').length;
  var fetched = win.performance.getEntriesByType('resource').length;
  var policy = doc.querySelector('meta[http-equiv="Content-Security-Policy"]');
  var sealed = policy && /default-src 'none'/.test(policy.content) ? 1 : 0;
  var handlers = 0, all = doc.querySelectorAll('*');
  for (var k = 0; k < all.length; k++) {
    for (var a = 0; a < all[k].attributes.length; a++) {
      if (/^on/i.test(all[k].attributes[a].name)) handlers++;
    }
  }
  var held = 0, users = doc.querySelectorAll('a[href^="https://who.example/"]');
  for (var u = 0; u < users.length; u++) {
    if (users[u].getAttribute('href') ===
        "https://who.example/?q=a.example.com'onmouseover='alert(4)'.com") held++;
  }
  document.body.setAttribute('data-result', 'images=' + doc.images.length + ' broken=' + broken +
      ' links=' + links.length + ' missing=' + missing.length + ' ' + missing.join(',') +
      ' scroll=' + root.scrollWidth + ' window=' + root.clientWidth + ' height=' + root.scrollHeight +
      ' loaders=' + loaders + ' fetched=' + fetched + ' sealed=' + sealed +
      ' handlers=' + handlers + ' held=' + held);
});
</script></body></html>
HTML

# Nothing may reach the network, whatever a page asks for.
flags=(--headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking
       --disable-component-update --disable-sync --disable-quic
       --host-resolver-rules="MAP * ~NOTFOUND")
render() {  # name query [flags...] -> the harness's result line
  local name="$1" query="$2"
  shift 2
  "$browser" "${flags[@]}" "$@" --user-data-dir="$work/profile-$name" \
    --allow-file-access-from-files --enable-logging=stderr --v=0 \
    --virtual-time-budget=10000 --dump-dom "file://$work/harness.html?$query" \
    > "dom-$name.html" 2> "chromium-$name.log"
  grep -o 'data-result="[^"]*"' "dom-$name.html" || true
}
shoot() {  # png width height [flags...]
  local png="$1" width="$2" height="$3"
  shift 3
  "$browser" "${flags[@]}" "$@" --user-data-dir="$work/profile-shot-${png%.png}" \
    --hide-scrollbars --window-size="$width,$height" --screenshot="$work/$png" \
    "file://$work/$(if [ "$png" = report.png ]; then echo report.html; else echo report-modern.html; fi)" \
    >> chromium.log 2>&1
  [ -s "$png" ] || { echo "no screenshot $png"; exit 1; }
  echo "screenshot: $work/$png"
}

status=0
result="$(render classic "r=report.html")"
echo "classic: $result"
if ! [[ "$result" =~ images=([0-9]+)\ broken=0\ links=([0-9]+)\ missing=0 ]]; then
  echo "some bar images did not load or some links lead nowhere"
  status=1
elif [ "${BASH_REMATCH[1]}" -eq 0 ] || [ "${BASH_REMATCH[2]}" -eq 0 ]; then
  echo "the report shows no bars or no navigation links"
  status=1
fi
shoot report.png 1280 3000

for scheme in light dark; do
  # Blink's preferred colour scheme: 0 dark, 1 light.
  scheme_flag="--blink-settings=preferredColorScheme=$([ "$scheme" = dark ] && echo 0 || echo 1)"
  for width in 1280 390; do
    name="modern-$width-$scheme"
    result="$(render "$name" "r=report-modern.html&w=$width" "$scheme_flag")"
    echo "$name: $result"
    if ! [[ "$result" =~ images=0\ broken=0\ links=([0-9]+)\ missing=0\ +scroll=([0-9]+)\ window=([0-9]+)\ height=([0-9]+)\ loaders=0\ fetched=0\ sealed=1 ]]; then
      echo "$name: a link leads nowhere, or the page loads something"
      status=1
    elif [ "${BASH_REMATCH[1]}" -lt 2 ]; then
      echo "$name: no navigation links"
      status=1
    elif [ "${BASH_REMATCH[2]}" -gt "${BASH_REMATCH[3]}" ]; then
      echo "$name: the page is wider than the window and scrolls sideways"
      status=1
    fi
    if grep -q 'CONSOLE' "chromium-$name.log"; then
      echo "$name: console messages:"
      grep 'CONSOLE' "chromium-$name.log"
      status=1
    fi
    # The whole page in one picture (as tall as it is, within reason).
    height="${BASH_REMATCH[4]:-4000}"
    [ "$height" -gt 16000 ] && height=16000
    shoot "$name.png" "$width" "$height" "$scheme_flag"
  done
done
for style in CLASSIC MODERN; do
  result="$(render "hostile-$style" "r=hostile-$style.html")"
  echo "hostile-$style: $result"
  if ! [[ "$result" =~ handlers=0\ held=1 ]]; then
    echo "hostile-$style: a quote in the user ended the template's attribute"
    status=1
  fi
done
exit "$status"
