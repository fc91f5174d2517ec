// SPDX-License-Identifier: GPL-3.0-or-later
#include "remote/remote_page.h"

namespace kestle::remote {

namespace {

// Night colours (dark red on black) unless the reader picks day; the choice
// is kept in the browser's own storage.
constexpr std::string_view kPage = R"PAGE(<!DOCTYPE html>
<html lang="en"><head><meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Kestle</title>
<style>
:root{color-scheme:dark;--bg:#000;--fg:#c01818;--dim:#7a1010;--line:#3a0808;--panel:#0c0000;--alarm-bg:#c01818;--alarm-fg:#000}
body.day{color-scheme:light;--bg:#f4f4f0;--fg:#141414;--dim:#555;--line:#ccc;--panel:#fff;--alarm-bg:#d00000;--alarm-fg:#fff}
*{box-sizing:border-box}
body{margin:0;background:var(--bg);color:var(--fg);font:17px/1.3 system-ui,sans-serif}
header{display:flex;align-items:center;gap:8px;padding:8px 12px;border-bottom:1px solid var(--line)}
header h1{font-size:18px;margin:0;flex:1}
#state{font-size:15px;color:var(--dim)}
button{font:inherit;color:var(--fg);background:var(--panel);border:1px solid var(--dim);border-radius:8px;padding:8px 14px}
#alarm{display:none;background:var(--alarm-bg);color:var(--alarm-fg);padding:12px;font-weight:700;font-size:19px;white-space:pre-line}
#alarm.on{display:block}
main{padding:8px 12px;display:grid;gap:10px}
.grid{display:grid;grid-template-columns:1fr 1fr;gap:8px}
.cell{background:var(--panel);border:1px solid var(--line);border-radius:8px;padding:6px 10px}
.cell .k{font-size:14px;color:var(--dim)}
.cell .v{font-size:26px;font-variant-numeric:tabular-nums;white-space:nowrap;overflow:hidden;text-overflow:ellipsis}
.cell .s{font-size:14px;color:var(--dim)}
#words{min-height:5.5em;max-height:8em;overflow-y:auto;white-space:pre-line;font-size:19px}
#chart{width:100%;height:180px;display:block}
.legend{font-size:14px;color:var(--dim)}
.row{display:flex;gap:8px}
#note{flex:1;font:inherit;color:var(--fg);background:var(--panel);border:1px solid var(--dim);border-radius:8px;padding:8px}
#markinfo{font-size:14px;color:var(--dim);min-height:1.2em}
</style></head>
<body>
<header><h1>Kestle</h1><span id="state">Connecting…</span><button id="theme" type="button">Day</button></header>
<div id="alarm" role="alert"></div>
<main>
<div class="grid">
<div class="cell"><div class="k">Channel A</div><div class="v" id="a">–</div><div class="s" id="freqA"></div></div>
<div class="cell"><div class="k">Channel B</div><div class="v" id="b">–</div><div class="s" id="freqB"></div></div>
<div class="cell"><div class="k">EMF</div><div class="v" id="emf">–</div></div>
<div class="cell"><div class="k">Natural EMF</div><div class="v" id="natural">–</div><div class="s" id="direction"></div></div>
<div class="cell"><div class="k">Temperature</div><div class="v" id="temperature">–</div></div>
<div class="cell"><div class="k">Threshold · trend</div><div class="v" id="threshold">–</div><div class="s" id="trend"></div></div>
</div>
<div class="cell"><div class="k">Mark this moment</div>
<div class="row"><input id="note" maxlength="200" placeholder="Note (optional)" autocomplete="off"><button id="mark" type="button">Mark</button></div>
<div id="markinfo"></div></div>
<div class="cell"><div class="k">Question</div><div id="question">None</div></div>
<div class="cell"><div class="k">Words</div><div id="words"></div></div>
<div class="cell"><div class="k">Last minutes</div><canvas id="chart"></canvas>
<div class="legend">— A &nbsp; ‒ ‒ B &nbsp; ··· EMF &nbsp; (each on its own scale)</div></div>
</main>
<script>
"use strict";
const $=id=>document.getElementById(id);
const KEEP_MS=5*60*1000;
let history=[],lastAlarm="",ws=null,retry=500,audio=null;
function setTheme(day){document.body.classList.toggle("day",day);$("theme").textContent=day?"Night":"Day";try{localStorage.setItem("kestle-day",day?"1":"0")}catch(e){}}
setTheme((()=>{try{return localStorage.getItem("kestle-day")==="1"}catch(e){return false}})());
$("theme").onclick=()=>setTheme(!document.body.classList.contains("day"));
function beep(){try{audio=audio||new AudioContext();const o=audio.createOscillator(),g=audio.createGain();o.frequency.value=880;g.gain.value=0.2;o.connect(g);g.connect(audio.destination);o.start();o.stop(audio.currentTime+0.6)}catch(e){}}
document.addEventListener("click",()=>{try{audio=audio||new AudioContext();audio.resume()}catch(e){}},{once:true});
function num(t){const v=parseFloat(String(t).replace(",","."));return isFinite(v)?v:null}
const SQUARES=["top","right","bottom","left"];
function show(s){
 $("state").textContent=s.plugged?"Unit answering":"Unit not answering";
 for(const k of["a","b","emf","natural","temperature","threshold"])$(k).textContent=s[k]||"–";
 $("freqA").textContent=s.freqA||"";$("freqB").textContent=s.freqB||"";
 $("trend").textContent=s.trend||"";
 $("direction").textContent=s.direction>=0?"Direction: "+SQUARES[s.direction]+" ("+["↑","→","↓","←"][s.direction]+")":"";
 const w=$("words");w.textContent=(s.words||[]).join("\n");w.scrollTop=w.scrollHeight;
 $("question").textContent=s.question?s.question+(s.secondsLeft!=null?" — "+s.secondsLeft+" s left":""):"None";
 const al=$("alarm");al.textContent=s.alarm||"";al.classList.toggle("on",!!s.alarm);
 if(s.alarm&&!lastAlarm){beep();if(navigator.vibrate)navigator.vibrate([300,150,300])}
 lastAlarm=s.alarm||"";
 history.push({t:s.ms,a:num(s.a),b:num(s.b),e:num(s.emf)});
 while(history.length&&history[0].t<s.ms-KEEP_MS)history.shift();
 draw();
}
function draw(){
 const c=$("chart"),r=c.getBoundingClientRect(),d=window.devicePixelRatio||1;
 c.width=Math.round(r.width*d);c.height=Math.round(r.height*d);
 const g=c.getContext("2d");g.scale(d,d);const w=r.width,h=r.height;
 const st=getComputedStyle(document.body);g.clearRect(0,0,w,h);
 g.strokeStyle=st.getPropertyValue("--line");g.strokeRect(0.5,0.5,w-1,h-1);
 if(history.length<2)return;
 // The span grows with what was seen, from half a minute to five.
 const t1=history[history.length-1].t,span=Math.min(KEEP_MS,Math.max(30000,t1-history[0].t)),t0=t1-span;
 g.strokeStyle=st.getPropertyValue("--fg");g.lineWidth=1.5;
 for(const[k,dash]of[["a",[]],["b",[6,4]],["e",[2,3]]]){
  // Each line on its own scale: volts and milligauss differ.
  let hi=0;for(const p of history)if(p[k]!=null)hi=Math.max(hi,Math.abs(p[k]));hi=hi||1;
  g.setLineDash(dash);g.beginPath();let on=false;
  for(const p of history){if(p[k]==null){on=false;continue}
   const x=(p.t-t0)/span*w,y=h-4-(Math.abs(p[k])/hi)*(h-8);
   if(on)g.lineTo(x,y);else{g.moveTo(x,y);on=true}}
  g.stroke()}
 g.setLineDash([]);
}
function connect(){
 ws=new WebSocket((location.protocol==="https:"?"wss://":"ws://")+location.host+"/live");
 ws.onopen=()=>{retry=500};
 ws.onmessage=m=>{let s;try{s=JSON.parse(m.data)}catch(e){return}
  if(s.marked){$("markinfo").textContent="Marked at "+new Date().toLocaleTimeString();return}
  show(s)};
 ws.onclose=()=>{$("state").textContent="Connection lost, trying again…";setTimeout(connect,retry);retry=Math.min(retry*2,8000)};
}
$("mark").onclick=()=>{if(!ws||ws.readyState!==1){$("markinfo").textContent="Not connected: no mark made";return}
 const n=$("note").value.trim();ws.send(n?"mark "+n:"mark");$("note").value="";$("markinfo").textContent="Marking…"};
window.addEventListener("resize",draw);
connect();
</script></body></html>
)PAGE";

} // namespace

std::string_view remotePage() {
    return kPage;
}

} // namespace kestle::remote
