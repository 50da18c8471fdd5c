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

  globalThis.quorvendalistPicture = (svg, text) => {
    document_ = svg;
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

  document.getElementById("picture-save").addEventListener("click", () => {
    const link = document.createElement("a");
    link.href = URL.createObjectURL(new Blob([document_], { type: "image/svg+xml" }));
    link.download = "quorvendalist.svg";
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  });
})();
