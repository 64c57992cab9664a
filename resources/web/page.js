// The copy's control page: it shows the state and a live picture of the output, and changes the
// copy through the same API that automation uses. Nothing is loaded from elsewhere, and nothing
// is shown that the copy has not said: until it answers, the controls stay hidden.
"use strict";

const $ = (id) => document.getElementById(id);
let token = localStorage.getItem("vantor-token") || "";
let state = null;        // the copy's last answer
let link = "waiting";    // waiting, live, unreachable, token or throttled
let folder = null;       // the files folder, once the copy has named it
const CONFIRM_MS = 4000;

class Unreachable extends Error {}
class TokenRefused extends Error {}
// Too many wrong tokens came from this address: every request is refused for `seconds`.
class Throttled extends Error {
  constructor(seconds) { super(); this.seconds = seconds; }
}

// What each play mode does, in a line under its choice.
// How far in from each edge the safe areas lie, as shares of the picture.
const SAFE_INSETS = { action: 0.035, graphics: 0.05 };
const MODE_NOTES = {
  forward: "Forward: first picture to last, again and again; a pause holds the last.",
  reverse: "Reverse: last picture to first; a pause holds the first.",
  oscillate1: "Oscillate 1: there and back is one pass; a pause (or One-Shot) waits at the first picture only.",
  oscillate2: "Oscillate 2: there is one pass and back another; a pause (or One-Shot) waits at both ends.",
};

function headers(type) {
  const h = {};
  if (token) h["Authorization"] = "Bearer " + token;
  if (type) h["Content-Type"] = type;
  return h;
}

// One request to the copy: its answer, or an error saying what is wrong.
async function request(method, path, body, type) {
  let response;
  try {
    response = await fetch(path, { method, headers: headers(type), cache: "no-store", body });
  } catch (error) {
    throw new Unreachable("Is it running, and is this its address? The page tries again every second.");
  }
  if (response.status === 401) throw new TokenRefused();
  if (response.status === 429 && response.headers.has("Retry-After"))
    throw new Throttled(Math.max(1, Number(response.headers.get("Retry-After")) || 60));
  if (!response.ok) {
    const answer = await response.json().catch(() => ({}));
    throw new Error(answer.error || response.status + " " + response.statusText);
  }
  return response;
}

async function call(method, path, body) {
  const json = body === undefined ? undefined : JSON.stringify(body);
  return (await request(method, path, json, json && "application/json")).json();
}

// The state of the link to the copy, in the header: copy not reachable, token refused (asked
// again) and stopped are three different things, and only a live link leaves controls usable.
function setLink(kind, problem) {
  link = kind;
  for (const k of ["waiting", "live", "unreachable", "token", "throttled"]) document.body.classList.toggle(k, k === kind);
  document.body.classList.toggle("no-state", state === null);
  $("problem").textContent = problem || "";
  $("problem").hidden = !problem;
  $("token-form").hidden = kind !== "token";
  for (const control of document.querySelectorAll(".needs-copy")) control.disabled = kind !== "live";
  // The lamp shows what the copy last said only while it answers; otherwise it is not known.
  $("lamp").className = "lamp " + (kind === "live" && state ? state.lamp : "unknown");
  $("lamp").title = kind === "live" ? "On air lamp" : "On air lamp: not known now";
  if (kind !== "live") $("ask").hidden = true;
  if (kind === "waiting") $("air").textContent = "Asking the copy…";
  if (kind !== "live") document.body.classList.remove("stopped");
  if (kind === "unreachable") {
    $("air").textContent = "Copy not reachable";
    $("receivers").textContent = "The last picture seen";
  }
  if (kind === "token") $("air").textContent = token ? "Token refused" : "Token needed";
  if (kind === "throttled") $("receivers").textContent = "The last picture seen";
  if (kind === "live" && state) show(state);
}

function failed(error) {
  if (error instanceof Throttled) {
    throttled(error.seconds);
  } else if (error instanceof TokenRefused) {
    setLink("token", token ? "The copy refused this token: enter it again." : "This copy asks for its token.");
    $("token").value = "";
    $("token").focus();
  } else if (error instanceof Unreachable) {
    setLink("unreachable", error.message);
  } else {
    note(error.message);
  }
}

// The copy refuses this address for a while, the right token included: the page says so, counts
// the wait down and asks again only when it has ended.
function throttled(seconds) {
  clearInterval(throttled.timer);
  let left = seconds;
  const say = () => {
    $("air").textContent = "Too many wrong tokens from this address: wait " + left + " s";
  };
  setLink("throttled", "The copy refuses every request from this address until then, even with the right token.");
  say();
  throttled.timer = setInterval(() => {
    left -= 1;
    if (left > 0) return say();
    clearInterval(throttled.timer);
    setLink("waiting", "");
    refreshState();
  }, 1000);
}

// What went wrong with the operator's last action (until the next one works, or a tap), or what
// is under way (`busy`).
function note(text, busy) {
  $("note").textContent = text;
  $("note").classList.toggle("busy", busy === true);
  $("note").hidden = !text;
}

// Forms being edited are left alone by refreshes until applied, or until Escape or Undo.
const held = new Set();
function fill(form, values) {
  if (held.has(form)) return;
  for (const [id, value] of Object.entries(values)) $(id).value = value;
}
for (const form of document.querySelectorAll(".held-form")) {
  const hold = () => { held.add(form.id); form.classList.add("held"); };
  form.addEventListener("input", hold);
  form.addEventListener("change", hold);
  const revert = () => {
    release(form.id);
    if (state) show(state);
  };
  form.addEventListener("keydown", (e) => { if (e.key === "Escape") revert(); });
  form.querySelector(".revert").onclick = revert;  // Escape for a phone
}
function release(formId) {
  held.delete(formId);
  $(formId).classList.remove("held");
}

function isRun(s) { return s.overlay.frames > 1 && !s.overlay.loading; }
function wouldArm(s) { return isRun(s) && (s.playback.one_shot || s.playback.pause > 0); }

// As the copy's status line says it: a stopped copy's source still listens, and its receivers
// hold, and newcomers get, its last frame.
function stoppedWords(s) {
  if (!s.on_network) return "Stopped: not on the network";
  return s.clear_frame ? "Stopped: receivers hold a clear frame" : "Stopped: receivers hold the last picture sent";
}

function show(s) {
  state = s;
  document.body.classList.remove("no-state");
  $("source").textContent = s.source;
  document.title = s.source;
  $("lamp").className = "lamp " + (link === "live" ? s.lamp : "unknown");
  const format = s.width + "x" + s.height + " " + s.rate;
  const logo = s.overlay.on ? "logo ON" : s.overlay.watermark ? "house watermark" : "logo OFF";
  $("air").textContent = s.sending ? "On air · " + format + " · " + logo : stoppedWords(s) + " · " + format;
  document.body.classList.toggle("stopped", !s.sending);
  $("receivers").textContent = s.receivers === null ? "" :
      s.receivers + (s.receivers === 1 ? " receiver" : " receivers");
  const live = link === "live";
  $("start").disabled = !live || s.sending;
  if (!$("stop").classList.contains("confirm")) $("stop").disabled = !live || !s.sending;
  const go = $("go");
  go.disabled = !live || !wouldArm(s);
  go.classList.toggle("armed", s.playback.armed);
  go.textContent = s.playback.armed ? "Go · armed" : "Go";
  $("go-note").textContent = s.playback.armed ? "Armed: the run plays its next pass." :
      wouldArm(s) ? "Go starts the next pass of the run." :
      isRun(s) ? "Go arms nothing: One-Shot is off and there is no pause." :
      "Go arms nothing: the logo is a single picture, which plays no pass.";
  $("on-off").setAttribute("aria-checked", String(s.overlay.on));
  $("on-state").textContent = s.overlay.on ? "ON" : "OFF";
  $("on-state").classList.toggle("on", s.overlay.on);
  $("logo-file").textContent = s.overlay.file ? s.overlay.file.split("/").pop() +
      (s.overlay.frames > 1 ? " (" + s.overlay.frames + " pictures)" : "") : "none loaded";
  $("invisible").hidden = s.overlay.invisible !== true;
  $("unsaved").hidden = s.setup_saved !== false;
  $("unsaved").textContent = s.setup_saved === false ?
      "Setup not saved: " + s.setup_save_error + ". A restart would lose the changes." : "";
  for (const b of document.querySelectorAll("[data-corner]"))
    b.classList.toggle("picked", b.dataset.corner === s.overlay.corner);
  fill("offsets", { x: s.overlay.x, y: s.overlay.y });
  $("x").max = s.overlay.x_max;
  $("y").max = s.overlay.y_max;
  fill("format-form", { size: s.width + "x" + s.height, rate: s.rate });
  fill("look-form", { opacity: s.overlay.opacity, scale: String(s.overlay.scale), fade: s.overlay.fade_ms / 1000, "safe-area": s.overlay.safe_area,
                      cycle: s.overlay.cycle });
  const inset = SAFE_INSETS[s.overlay.safe_area] || 0;
  const outline = $("safe-outline");
  outline.hidden = inset === 0;
  // The picture is 16:9 and so is the area: a top margin in percent counts in the width.
  outline.style.left = 100 * inset + "%";
  outline.style.marginTop = 100 * inset * 9 / 16 + "%";
  outline.style.width = 100 * (1 - 2 * inset) + "%";
  const next = s.overlay.cycle_next_ms;
  $("cycle-note").textContent = next === null ? "Cycle: off (SHOW/EVERY such as 10s/10m, or off)." :
      next === 0 ? "Cycle: showing now." : "Cycle: shows again in " + Math.ceil(next / 1000) + " s.";
  fill("pause-form", { pause: s.playback.pause, unit: s.playback.unit });
  if (document.activeElement !== $("mode")) $("mode").value = s.playback.mode;
  $("mode-note").textContent = MODE_NOTES[$("mode").value] || "";
  $("one-shot").checked = s.playback.one_shot;
  $("apply-format").disabled = !live || s.sending;
  for (const tile of document.querySelectorAll("[data-path]"))
    tile.classList.toggle("picked", tile.dataset.path === s.overlay.file);
}

async function act(method, path, body) {
  try {
    show(await call(method, path, body));
    note("");
    return true;
  } catch (error) {
    failed(error);
    return false;
  }
}

async function refreshState() {
  if (link === "token") return;  // a refused token is not sent again until the operator gives one
  if (link === "throttled") return;  // asked again once the wait has ended
  try {
    const s = await call("GET", "/api/state");
    const first = link !== "live";
    state = s;
    setLink("live");
    if (first) refreshFiles();
  } catch (error) {
    failed(error);
  }
}

// A few pictures a second while the copy answers, and none while the page is hidden.
async function refreshPreview() {
  if (!document.hidden && link === "live") {
    try {
      const response = await request("GET", "/api/output.png");
      const old = $("preview").src;
      $("preview").src = URL.createObjectURL(await response.blob());
      if (old.startsWith("blob:")) URL.revokeObjectURL(old);
    } catch (error) { /* the state's refresh says what is wrong */ }
  }
  setTimeout(refreshPreview, 300);
}

// The files folder: one tile per picture or numbered run, its thumbnail fetched with the token.
async function refreshFiles() {
  let list;
  try {
    list = await call("GET", "/api/files");
  } catch (error) {
    $("library").classList.add("off");
    $("library-note").textContent = error.message;
    return;
  }
  $("library").classList.remove("off");
  folder = list.folder;
  $("folder").textContent = list.folder;
  for (const img of document.querySelectorAll("#files img")) URL.revokeObjectURL(img.src);
  $("files").replaceChildren(...list.files.filter((f) => !f.run).map(tile));
  if (state) show(state);
}

function tile(file) {
  const button = document.createElement("button");
  button.className = "file needs-copy";
  button.dataset.path = folder + "/" + file.name;
  button.disabled = link !== "live";
  const img = document.createElement("img");
  img.alt = "";
  const caption = document.createElement("span");
  caption.textContent = file.name + " · " + file.width + " x " + file.height +
      (file.frames ? " · " + file.frames + (file.animated ? " frames" : " pictures") : "");
  button.append(img, caption);
  // The thumbnail's answer says whether any pixel of the picture shows.
  const looked = request("GET", "/api/files/" + encodeURIComponent(file.name) + "/thumb.png")
    .then(async (response) => {
      if (response.headers.get("X-Picture-Invisible") === "true") {
        button.dataset.invisible = "true";
        caption.textContent += " · no visible pixel";
      }
      img.src = URL.createObjectURL(await response.blob());
    })
    .catch(() => { img.alt = "no thumbnail"; });
  button.onclick = async () => {
    await looked;
    const load = { file: button.dataset.path, on: state.overlay.on };
    if (state.overlay.on && button.dataset.invisible) {
      const choice = await ask("No pixel of " + file.name + " is visible: on air, the logo would vanish.");
      if (choice === "cancel") return;
      if (choice === "solid") load.solid = true;
    }
    note("Loading " + file.name + "…", true);
    await act("POST", "/api/overlay", load);
  };
  const item = document.createElement("li");
  item.append(button);
  return item;
}

// Asks before something the operator may not expect goes on air: resolves to "solid", "anyway"
// or "cancel".
function ask(text) {
  $("ask-text").textContent = text;
  $("ask").hidden = false;
  return new Promise((resolve) => {
    for (const choice of ["solid", "anyway", "cancel"])
      $("ask-" + choice).onclick = () => {
        $("ask").hidden = true;
        resolve(choice);
      };
  });
}

// Several files chosen at once are stored in name order, so a numbered run arrives whole.
async function upload(files) {
  const sorted = [...files].sort((a, b) => a.name.localeCompare(b.name, undefined, { numeric: true }));
  const replaced = [];
  try {
    for (const [i, file] of sorted.entries()) {
      note("Uploading " + (sorted.length > 1 ? (i + 1) + " of " + sorted.length + ": " : "") + file.name + "…", true);
      const response = await request("PUT", "/api/files/" + encodeURIComponent(file.name), file,
                                     "application/octet-stream");
      if ((await response.json()).replaces_on_air) replaced.push(file.name);
    }
    note("");
    if (replaced.length) {
      $("replaced-text").textContent = replaced.join(", ") + " replaced the logo's file: the output keeps the old " +
          "picture until the logo is loaded again.";
      $("replaced").hidden = false;
    }
  } catch (error) {
    failed(error);
  }
  $("upload").value = "";
  refreshFiles();
}

// Stop takes the source off the network: it asks for a second press.
function pressStop() {
  const stop = $("stop");
  if (stop.classList.contains("confirm")) {
    clearTimeout(pressStop.timer);
    stop.classList.remove("confirm");
    stop.textContent = "Stop";
    return act("POST", "/api/stop");
  }
  stop.classList.add("confirm");
  stop.textContent = "Press again to stop";
  pressStop.timer = setTimeout(() => {
    stop.classList.remove("confirm");
    stop.textContent = "Stop";
    if (state) show(state);
  }, CONFIRM_MS);
}

function submitted(form, send) {
  $(form).onsubmit = async (e) => {
    e.preventDefault();
    if (await act("POST", ...send())) {
      release(form);
      show(state);
    }
  };
}

$("start").onclick = () => act("POST", "/api/start");
$("stop").onclick = pressStop;
$("go").onclick = () => act("POST", "/api/go");
$("on-off").onclick = async () => {
  const change = { on: !state.overlay.on };
  if (change.on && state.overlay.invisible) {
    const choice = await ask("No pixel of this logo is visible: on air, it would vanish.");
    if (choice === "cancel") return;
    if (choice === "solid") change.solid = true;
  }
  act("POST", "/api/overlay", change);
};
$("solid").onclick = () => act("POST", "/api/overlay", { solid: true });
$("reload").onclick = async () => {
  $("replaced").hidden = true;
  note("Loading " + state.overlay.file.split("/").pop() + " again…", true);
  await act("POST", "/api/overlay", { file: state.overlay.file, on: state.overlay.on });
};
// An offset past the frame's edge would take the logo off the output: said before it is sent.
for (const [id, axis, extent] of [["x", "X", "width"], ["y", "Y", "height"]])
  $(id).addEventListener("invalid", (e) => {
    if (!$(id).validity.rangeOverflow || !state) return;
    e.preventDefault();
    note("Not moved: " + axis + " " + $(id).value + " puts the logo wholly outside the " + state.width + "x" +
         state.height + " frame; the largest " + axis + " that keeps a pixel of it in is " + $(id).max + ".");
  });
for (const b of document.querySelectorAll("[data-corner]"))
  b.onclick = () => act("POST", "/api/overlay", { corner: b.dataset.corner });
submitted("offsets", () => ["/api/overlay", { x: Number($("x").value), y: Number($("y").value) }]);
submitted("look-form", () => ["/api/overlay", { opacity: Number($("opacity").value),
  scale: $("scale").value === "fit" ? "fit" : Number($("scale").value),
  fade_ms: Math.round(Number($("fade").value) * 1000), safe_area: $("safe-area").value,
  // Sent only when changed: a cycle given again starts again from its delay.
  cycle: $("cycle").value !== state.overlay.cycle ? $("cycle").value : undefined }]);
submitted("format-form", () => ["/api/format", { size: $("size").value, rate: $("rate").value }]);
submitted("pause-form", () => ["/api/playback", { pause: Number($("pause").value), unit: $("unit").value }]);
$("mode").onchange = () => {
  $("mode-note").textContent = MODE_NOTES[$("mode").value] || "";
  act("POST", "/api/playback", { mode: $("mode").value });
};
$("one-shot").onchange = () => act("POST", "/api/playback", { one_shot: $("one-shot").checked });
$("upload").onchange = () => upload($("upload").files);
$("note").onclick = () => note("");
$("token-form").onsubmit = (e) => {
  e.preventDefault();
  token = $("token").value;
  localStorage.setItem("vantor-token", token);
  setLink("waiting", "");
  refreshState();
};

setLink("waiting", "");
refreshState();
setInterval(refreshState, 1000);
refreshPreview();
