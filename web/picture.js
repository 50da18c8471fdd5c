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

  document.getElementById("picture-save").addEventListener("click", () => {
    const link = document.createElement("a");
    link.href = URL.createObjectURL(new Blob([document_], { type: "image/svg+xml" }));
    link.download = "quorvendalist.svg";
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  });
})();
