// The copy's control page: it shows the state and a live picture of the output, and changes the
// copy through the same API that automation uses. Nothing is loaded from elsewhere.
"use strict";

const $ = (id) => document.getElementById(id);
let token = localStorage.getItem("vantor-token") || "";
let state = null;

function headers(json) {
  const h = {};
  if (token) h["Authorization"] = "Bearer " + token;
  if (json) h["Content-Type"] = "application/json";
  return h;
}

// Every answer of the API: the new state, or an error that says what is wrong.
async function call(method, path, body) {
  const response = await fetch(path, {
    method, headers: headers(body !== undefined), cache: "no-store",
    body: body === undefined ? undefined : JSON.stringify(body),
  });
  if (response.status === 401) {
    askForToken();
    throw new Error("This copy asks for its token.");
  }
  const answer = await response.json();
  if (!response.ok) throw new Error(answer.error || response.statusText);
  return answer;
}

function askForToken() {
  $("token-form").hidden = false;
  $("token").focus();
}

function show(s) {
  state = s;
  $("source").textContent = s.source;
  document.title = s.source;
  $("lamp").className = "lamp " + s.lamp;
  $("format").textContent = s.width + " x " + s.height + " " + s.rate + (s.sending ? "" : " · stopped");
  $("receivers").textContent = s.receivers === null ? "" :
      s.receivers + (s.receivers === 1 ? " receiver" : " receivers");
  $("start").disabled = s.sending;
  $("stop").disabled = !s.sending;
  $("go").classList.toggle("armed", s.playback.armed);
  $("on-off").classList.toggle("on", s.overlay.on);
  $("on-off").textContent = s.overlay.on ? "Overlay ON" : "Overlay OFF";
  $("logo-file").textContent = s.overlay.file ? s.overlay.file.split("/").pop() +
      (s.overlay.frames > 1 ? " (" + s.overlay.frames + " pictures)" : "") : "none loaded";
  for (const b of document.querySelectorAll("[data-corner]"))
    b.classList.toggle("picked", b.dataset.corner === s.overlay.corner);
  for (const [field, value] of [["x", s.overlay.x], ["y", s.overlay.y]])
    if (document.activeElement !== $(field)) $(field).value = value;
  for (const [field, value] of [["size", s.width + "x" + s.height], ["rate", s.rate]])
    if (document.activeElement !== $(field)) $(field).value = value;
  $("apply-format").disabled = s.sending;
}

async function act(method, path, body) {
  try {
    show(await call(method, path, body));
    $("message").textContent = "";
  } catch (error) {
    $("message").textContent = error.message;
  }
}

async function refreshState() {
  try {
    show(await call("GET", "/api/state"));
  } catch (error) {
    $("message").textContent = error.message;
  }
}

// A few pictures a second, and none while the page is hidden.
async function refreshPreview() {
  if (!document.hidden && $("token-form").hidden) {
    try {
      const response = await fetch("/api/output.png", { headers: headers(false), cache: "no-store" });
      if (response.ok) {
        const old = $("preview").src;
        $("preview").src = URL.createObjectURL(await response.blob());
        if (old.startsWith("blob:")) URL.revokeObjectURL(old);
      }
    } catch (error) { /* the copy may be restarting: the next try will tell */ }
  }
  setTimeout(refreshPreview, 300);
}

$("start").onclick = () => act("POST", "/api/start");
$("stop").onclick = () => act("POST", "/api/stop");
$("go").onclick = () => act("POST", "/api/go");
$("on-off").onclick = () => act("POST", "/api/overlay", { on: !(state && state.overlay.on) });
for (const b of document.querySelectorAll("[data-corner]"))
  b.onclick = () => act("POST", "/api/overlay", { corner: b.dataset.corner });
$("offsets").onsubmit = (e) => {
  e.preventDefault();
  act("POST", "/api/overlay", { x: Number($("x").value), y: Number($("y").value) });
};
$("format-form").onsubmit = (e) => {
  e.preventDefault();
  act("POST", "/api/format", { size: $("size").value, rate: $("rate").value });
};
$("token-form").onsubmit = (e) => {
  e.preventDefault();
  token = $("token").value;
  localStorage.setItem("vantor-token", token);
  $("token-form").hidden = true;
  $("message").textContent = "";
  refreshState();
};

refreshState();
setInterval(refreshState, 1000);
refreshPreview();
