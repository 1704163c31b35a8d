#!/usr/bin/env bash
# Renders the example report in headless Chromium and checks, from the
# rendered page, that every bar image loaded and every navigation link
# finds its anchor. Leaves report.png (a screenshot) in the work directory.
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

cat > harness.html <<'HTML'
<html><body><iframe id=report src="report.html" width=1200 height=900></iframe>
<script>
window.addEventListener('load', function () {
  var doc = document.getElementById('report').contentDocument;
  var broken = 0;
  for (var i = 0; i < doc.images.length; i++) {
    var img = doc.images[i];
    if (!(img.complete && img.naturalWidth > 0)) broken++;
  }
  var links = doc.querySelectorAll('a[href^="#"]');
  var missing = [];
  for (var j = 0; j < links.length; j++) {
    var name = links[j].getAttribute('href').substring(1);
    if (!doc.querySelector('a[name="' + name + '"]')) missing.push(name);
  }
  document.body.setAttribute('data-result', 'images=' + doc.images.length + ' broken=' + broken +
      ' links=' + links.length + ' missing=' + missing.length + ' ' + missing.join(','));
});
</script></body></html>
HTML

flags=(--headless --no-sandbox --disable-gpu --no-first-run --disable-background-networking
       --disable-component-update --disable-sync --disable-quic)
"$browser" "${flags[@]}" --user-data-dir="$work/profile-dom" --allow-file-access-from-files \
  --virtual-time-budget=10000 --dump-dom "file://$work/harness.html" > dom.html 2> chromium.log
"$browser" "${flags[@]}" --user-data-dir="$work/profile-shot" --hide-scrollbars \
  --window-size=1280,3000 --screenshot="$work/report.png" "file://$work/report.html" \
  >> chromium.log 2>&1

result="$(grep -o 'data-result="[^"]*"' dom.html || true)"
echo "rendered: $result"
echo "screenshot: $work/report.png"
if ! [[ "$result" =~ images=([0-9]+)\ broken=0\ links=([0-9]+)\ missing=0 ]]; then
  echo "some bar images did not load or some links lead nowhere"
  exit 1
fi
if [ "${BASH_REMATCH[1]}" -eq 0 ] || [ "${BASH_REMATCH[2]}" -eq 0 ]; then
  echo "the report shows no bars or no navigation links"
  exit 1
fi
[ -s report.png ] || { echo "no screenshot"; exit 1; }
