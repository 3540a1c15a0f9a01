#include "web/assets.h"

namespace assets {

const char kStyle[] = R"css(
* { box-sizing: border-box; }
body { margin: 0; font: 15px/1.4 system-ui, sans-serif; color: #1b1f24; background: #f5f6f8; }
header { display: flex; flex-wrap: wrap; align-items: center; gap: .5em 1em; padding: .6em 1em;
         background: #23395d; color: #fff; }
header a, header button { color: #fff; }
.brand { font-weight: bold; font-size: 1.1em; }
nav { display: flex; flex-wrap: wrap; align-items: center; gap: .5em 1em; flex: 1; }
nav .who { margin-left: auto; opacity: .85; }
nav form { margin: 0; }
nav button { background: none; border: 1px solid #fff8; border-radius: 4px; padding: .2em .6em;
             cursor: pointer; }
main { padding: 1em; max-width: 1200px; margin: auto; }
h1 { font-size: 1.4em; margin: .2em 0 .6em; }
h2 { font-size: 1.15em; margin: 1.2em 0 .4em; }
.scroll { overflow-x: auto; background: #fff; border: 1px solid #d9dde3; border-radius: 6px; }
table { border-collapse: collapse; width: 100%; }
th, td { padding: .35em .6em; text-align: left; border-bottom: 1px solid #eceef1;
         white-space: nowrap; vertical-align: top; }
th { background: #eef1f5; }
th a { color: inherit; }
td.num { text-align: right; font-variant-numeric: tabular-nums; }
tr.positive td { background: #fde8e8; }
.bad { color: #a4161a; font-weight: bold; }
.notes { white-space: pre-wrap; color: #a4161a; }
form.filters { display: flex; flex-wrap: wrap; gap: .5em 1em; align-items: end; margin-bottom: 1em; }
form.filters label { display: flex; flex-direction: column; font-size: .85em; }
input, select, button { font: inherit; padding: .3em .4em; }
.pager { margin: .8em 0; display: flex; gap: 1em; flex-wrap: wrap; }
.chart { background: #fff; border: 1px solid #d9dde3; border-radius: 6px; padding: .5em; }
.chart svg { width: 100%; height: auto; display: block; }
.signin { max-width: 22em; margin: 3em auto; background: #fff; padding: 1.5em;
          border: 1px solid #d9dde3; border-radius: 6px; }
.signin label { display: block; margin-bottom: .8em; }
.signin input { width: 100%; }
form.outcome { display: flex; flex-wrap: wrap; gap: .3em; margin: .2em 0; }
form.outcome select, form.outcome input { max-width: 12em; }
ol.entries { margin: 0; padding-left: 1.2em; font-size: .9em; }
img.thumb { vertical-align: middle; height: auto; }
.error { color: #a4161a; }
img.photo { display: block; max-width: 320px; width: 100%; margin-top: .3em; }
@media (max-width: 640px) {
  body { font-size: 14px; }
  main { padding: .5em; }
  th, td { padding: .3em .4em; }
  .wide { display: none; }
}
)css";

// Photos open in place when clicked; without the script the link opens the photo itself.
const char kScript[] = R"js(
document.addEventListener('click', function (event) {
  var link = event.target.closest('a.photo-link');
  if (!link) return;
  event.preventDefault();
  var shown = link.parentNode.querySelector('img.photo');
  if (shown) { shown.remove(); return; }
  var img = document.createElement('img');
  img.className = 'photo';
  img.alt = 'Photo ' + link.textContent;
  img.src = link.href;
  link.parentNode.appendChild(img);
});
)js";

} // namespace assets
