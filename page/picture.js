// The convergence picture beside the terminal. The program draws it (the SVG document of
// `quorvendalist --svg`, from the same C++ model) after every run and hands it over through
// globalThis.quorvendalistPicture; this file only shows it, gives its summary to screen readers
// and saves it.
"use strict";
(() => {
  const panel = document.getElementById("picture");
  const figure = document.getElementById("picture-figure");
  const summary = document.getElementById("picture-summary");
  let document_ = "";

  let rows = null;
  let rowsName = "";
  const saveRows = document.getElementById("picture-save-rows");

  // latestRows: the latest run's "i,value" rows, null for a run too long to keep them, undefined
  // while the run still streams (the picture grows; its rows come at its end).
  globalThis.quorvendalistPicture = (svg, text, latestRows, method) => {
    document_ = svg;
    rows = latestRows ?? null;
    rowsName = `quorvendalist-${method}.csv`;
    saveRows.disabled = rows === null;
    saveRows.textContent = latestRows === undefined ? `The rows of ${method} come when its run ends`
      : rows === null ? `No rows kept for a run of ${method} over 100000 steps`
      : `Save the rows of ${method} (CSV)`;
    const parsed = new DOMParser().parseFromString(svg, "image/svg+xml");
    const picture = document.importNode(parsed.documentElement, true);
    picture.setAttribute("aria-hidden", "true");  // the summary below says it in words
    figure.replaceChildren(picture);
    summary.textContent = text;
    panel.hidden = false;
  };

  // An address ending in #abc60 (methods, then n up to 100000) opens the page with that picture:
  // the runs are typed into the dialogue as a user would type them, the pause of c answered.
  const link = /^#([abc]{1,3})(\d{1,6})$/.exec(location.hash);
  const n = link ? Number(link[2]) : 0;
  if (link && n <= 100000 && new Set(link[1]).size === link[1].length) {
    const typed = [...link[1]].map((m) => `${m}\r${n}\r${m === "c" ? "\r" : ""}\r`).join("");
    // Once the menu asks: keys typed before the program listens would be lost.
    const typeWhenReady = () => {
      const terminal = globalThis.quorvendalistTerminal;
      const buffer = terminal?.buffer.active;
      const asking = buffer?.getLine(buffer.baseY + buffer.cursorY)?.translateToString(true) === "=>";
      if (!asking) return setTimeout(typeWhenReady, 50);
      terminal.input(typed, true);
    };
    typeWhenReady();
  }

  const save = (text, type, name) => {
    const link = document.createElement("a");
    link.href = URL.createObjectURL(new Blob([text], { type }));
    link.download = name;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  };
  document.getElementById("picture-save").addEventListener("click",
    () => save(document_, "image/svg+xml", "quorvendalist.svg"));
  saveRows.addEventListener("click", () => save(rows, "text/csv", rowsName));
})();
