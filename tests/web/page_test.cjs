// The page in headless Chromium, served as `make web-serve` serves it: what its user sees in the
// terminal (rows, colours, the cursor) as keys are typed, and the end of the program on the page;
// a long run that leaves the tab alive and stops at Ctrl-C; copy, the layout on a phone and at
// 200 %, the way out of the terminal, screen-reader mode and an accessibility audit (axe-core).
//   node page_test.cjs SITE_DIR      (puppeteer-core through NODE_PATH)
// in Debian's Chromium, or in its Firefox ESR with QV_BROWSER=firefox.
"use strict";
const { test, before, after } = require("node:test");
const assert = require("node:assert/strict");
const { serveAndLaunch } = require("./served_browser.cjs");

const site = process.argv[2];
const firefox = process.env.QV_BROWSER === "firefox";
// QV_CPU_SLOWDOWN=4: Chromium runs the page on a CPU that many times slower.
const slowdown = Number(process.env.QV_CPU_SLOWDOWN ?? 1);
const deadline = 10000;
const ink = { lightRed: 9, lightGreen: 10, yellow: 11, white: 15 };
const banner = "~~~~ QUORVENDALIST ~~~~                                          Tarquelmorvina";
const exitQuestion = "Type 'esci' to exit or press enter to continue";
const repetitionsPrompt = "Inserisci il numero n di volte che si desidera ripetere il ciclo";
const ratioPause = "Premi invio per calcolare phi dalla sequenza di Fibonacci...";

function menuRows(typed) {
  return [[banner, ink.lightGreen], [""],
    ["Scegli il tipo di algoritmo tramite cui vuoi calcolare un'approssimazione di phi", ink.white],
    [""], ["[a] funzione continua", ink.white], ["[b] radici nidificate", ink.white],
    ["[c] sequenza di Fibonacci", ink.white], [""], ["=>" + typed, ink.white]];
}

let address, browser;

let served;
before(async () => {
  served = await serveAndLaunch(site);
  ({ address, browser } = served);
});

after(async () => {
  await served?.stop();
});

// A desktop window unless told otherwise: wide enough for the program's 80 columns.
async function openPage({ query = "", viewport = { width: 1280, height: 800 } } = {}) {
  const page = await browser.newPage();
  const problems = [];
  page.on("pageerror", (error) => problems.push(error.message));
  page.on("console", (message) => message.type() === "error" && problems.push(message.text()));
  await page.setViewport(viewport);
  if (slowdown > 1) {
    await (await page.createCDPSession()).send("Emulation.setCPUThrottlingRate", { rate: slowdown });
  }
  await page.goto(address + query);
  await waitForRow(page, "=>", true);
  page.problems = problems;
  return page;
}

// Every line of the terminal (scrollback, then screen) with each glyph's colour, and the cursor
// as a line of that list.
function readTerminal(page) {
  return page.evaluate(() => {
    const buffer = window.quorvendalistTerminal.buffer.active;
    const lines = [];
    for (let y = 0; y < buffer.length; ++y) {
      const line = buffer.getLine(y);
      const inks = new Set();
      for (let x = 0; x < line.length; ++x) {
        const cell = line.getCell(x);
        if (cell.getChars().trim() !== "") inks.add(cell.isFgPalette() ? cell.getFgColor() : -1);
      }
      lines.push({ text: line.translateToString(true).trimEnd(), inks: [...inks] });
    }
    return { lines, cursor: { line: buffer.baseY + buffer.cursorY, column: buffer.cursorX } };
  });
}

// Waits until a line reads exactly text (a regular expression matches a line instead), with the
// cursor on that line if asked: behind the text for true, in that column for a number.
function waitForRow(page, text, cursor = false) {
  return page.waitForFunction((text, regex, cursor) => {
    const term = window.quorvendalistTerminal;
    if (!term) return false;
    const buffer = term.buffer.active;
    for (let y = 0; y < buffer.length; ++y) {
      const row = buffer.getLine(y).translateToString(true).trimEnd();
      if (regex ? new RegExp(text).test(row) : row === text) {
        const column = cursor === true ? row.length : cursor;
        if (cursor === false || (buffer.baseY + buffer.cursorY === y && buffer.cursorX === column)) return true;
      }
    }
    return false;
  }, { timeout: deadline, polling: 20 }, text instanceof RegExp ? text.source : text,
  text instanceof RegExp, cursor);
}

// The expected rows are the last ones, ending on the cursor's line, each in one colour.
async function expectRowsEndingAtCursor(page, expected) {
  const { lines, cursor } = await readTerminal(page);
  const shown = lines.slice(cursor.line - expected.length + 1, cursor.line + 1)
    .map(({ text, inks }) => (text === "" ? [""] : [text, ...inks]));
  assert.deepEqual(shown, expected.map(([text, colour]) => (text === "" ? [""] : [text, colour])));
  return cursor;
}

function waitForEnd(page) {
  return page.waitForSelector("#end:not([hidden])", { timeout: deadline })
    .then(() => page.$eval("#end", (end) => [end.dataset.exitCode, end.textContent]));
}

test("the menu, a whole pass of a, esci ending with 0, a new start, Ctrl-C", async () => {
  const page = await openPage();
  await waitForRow(page, "=>", true);
  await expectRowsEndingAtCursor(page, menuRows(""));
  await page.keyboard.type("a\r5\r");
  await waitForRow(page, "=>", true);
  const iterates = ["2.000000000000000", "1.500000000000000", "1.666666666666667",
    "1.600000000000000", "1.625000000000000"];
  const cursor = await expectRowsEndingAtCursor(page, [...menuRows("a"), [""],
    ["FUNZIONE CONTINUA", ink.yellow], [repetitionsPrompt, ink.white], ["5", ink.white], [""], [""],
    ...iterates.map((x) => [x, ink.white]), [""], ["phi~= 1.625000000000000", ink.lightRed],
    [""], [""], [""], [exitQuestion, ink.yellow], ["=>", ink.yellow]]);
  assert.equal(await page.evaluate(() => window.quorvendalistTerminal.cols), 80);
  assert.equal(cursor.column, 2);

  await page.keyboard.type("esci\r");
  assert.deepEqual(await waitForEnd(page), ["0", "quorvendalist ended with exit code 0.Start again"]);
  await page.click("#restart");
  await waitForRow(page, "=>", true);
  assert.equal(await page.$eval("#end", (end) => end.hidden), true);
  await page.keyboard.type("b\r");
  await waitForRow(page, "RADICI NIDIFICATE");
  // Ctrl-C ends the program as it does in a terminal, with the status a shell shows for it.
  await page.keyboard.down("Control");
  await page.keyboard.press("c");
  await page.keyboard.up("Control");
  assert.deepEqual(await waitForEnd(page), ["130", "quorvendalist ended with exit code 130.Start again"]);
  assert.deepEqual(page.problems, []);
});

test("the line editor's keys, Alt with the keypad, and c with its pause", async () => {
  const page = await openPage();
  const typed = async (keys, row, column = true) => {
    for (const key of keys) await page.keyboard.press(key);
    await waitForRow(page, row, column);
  };
  await page.keyboard.type("xyz");
  await typed(["Backspace"], "=>xy");
  await typed(["Home", "a"], "=>ay", 3);  // typing overwrites
  await typed(["End", "q"], "=>ayq");
  await typed(["Escape"], "=>");
  // Alt held while keypad digits are typed: the character with that code, in code page 437.
  const altCode = async (digits) => {
    await page.keyboard.down("Alt");
    for (const digit of digits) await page.keyboard.press(`Numpad${digit}`);
    await page.keyboard.up("Alt");
  };
  await altCode("130");
  await waitForRow(page, "=>é", true);
  await page.keyboard.press("Escape");
  await altCode("99");
  await waitForRow(page, "=>c", true);
  // Puppeteer's Firefox driver has no name for the keypad's Enter: the main one stands in there.
  await page.keyboard.press(firefox ? "Enter" : "NumpadEnter");
  await waitForRow(page, "SEQUENZA DI FIBONACCI");
  await page.keyboard.type("7\r");
  await waitForRow(page, ratioPause, true);
  assert.equal((await readTerminal(page)).lines.some((l) => l.text === "1.000000000000000"), false);
  await page.keyboard.press("Enter");
  await waitForRow(page, "phi~= 1.625000000000000");
  await waitForRow(page, "=>", true);
  assert.deepEqual(page.problems, []);
});

test("a bad n ends with run-time error 106, its report, then the end on the page", async () => {
  const page = await openPage();
  await page.keyboard.type("a\rdieci\r");
  assert.deepEqual(await waitForEnd(page),
    ["106", "quorvendalist ended with exit code 106.Start again"]);
  const { lines } = await readTerminal(page);
  const at = lines.findIndex((line) => /^Runtime error 106 at 0x[0-9A-F]{8}$/.test(line.text));
  assert.notEqual(at, -1, lines.map((line) => line.text).join("\n"));
  assert.equal(lines[at - 1].text, "dieci");
  assert.equal(lines[at + 1].text, "  " + lines[at].text.slice(-10));
  assert.deepEqual(lines.slice(at + 2).map((line) => line.text).filter((t) => t !== ""), []);
});

// The longest stretch the page's thread was held, from now on (window.longestStall()): the long
// tasks where the browser reports them (Chromium), else the longest wait of a 10 ms timer.
function watchStalls(page) {
  return page.evaluate(() => {
    let longest = 0;
    window.longestStall = () => longest;
    if (PerformanceObserver.supportedEntryTypes.includes("longtask")) {
      new PerformanceObserver((list) => {
        for (const task of list.getEntries()) longest = Math.max(longest, task.duration);
      }).observe({ type: "longtask" });
      return;
    }
    let last = performance.now();
    const tick = () => {
      const now = performance.now();
      longest = Math.max(longest, now - last);
      last = now;
      setTimeout(tick, 10);
    };
    tick();
  });
}

function pressCtrlC(page) {
  return page.keyboard.down("Control").then(() => page.keyboard.press("c"))
    .then(() => page.keyboard.up("Control"));
}

test("a long run: the tab stays alive, the run ends with its exit question; Ctrl-C stops one", async () => {
  const page = await openPage();
  await watchStalls(page);
  // Far past the 2.3 million rows that once overflowed the terminal's queue.
  const n = slowdown > 1 ? 1000000 : 10000000;
  await page.keyboard.type(`b\r${n}\r`);
  await page.waitForFunction((q) => {
    const buffer = window.quorvendalistTerminal.buffer.active;
    const row = (dy) => buffer.getLine(buffer.baseY + buffer.cursorY + dy).translateToString(true);
    return row(0).trimEnd() === "=>" && row(-1).trimEnd() === q;
  }, { timeout: 0, polling: 100 }, exitQuestion);
  const { lines } = await readTerminal(page);
  assert.equal(lines.at(-6).text, "phi~= 1.618033988749895");
  assert.equal(lines.length <= 10000 + (await page.evaluate(() => window.quorvendalistTerminal.rows)), true);
  // A frozen tab stalled for seconds; a second is far beyond a frame on any machine.
  const stall = await page.evaluate(() => window.longestStall());
  assert.ok(stall < 1000, `the page stalled for ${stall.toFixed(0)} ms`);

  await page.keyboard.press("Enter");
  await waitForRow(page, "=>", true);
  await page.keyboard.type("a\r10000000\r");
  await waitForRow(page, /^1\.61803398874989[0-9]$/);
  await pressCtrlC(page);
  assert.deepEqual(await waitForEnd(page), ["130", "quorvendalist ended with exit code 130.Start again"]);
  // The notice came once the terminal had everything: nothing is left to parse, no run goes on.
  assert.equal(await page.evaluate(() => window.quorvendalistTerminal._core._writeBuffer?._pendingData ?? 0), 0);
  const shown = (await readTerminal(page)).lines.filter((line) => line.text !== "");
  assert.match(shown.at(-1).text, /^1\.61803398874989[0-9]$/);
  assert.deepEqual(page.problems, []);
});

test("an error thrown through the page ends the run with a notice, and it starts again; from disk", async () => {
  const page = await openPage();
  await page.evaluate(() => {
    const term = window.quorvendalistTerminal;
    const write = term.write;
    term.write = function () {
      term.write = write;
      throw new Error("the terminal failed");
    };
  });
  await page.keyboard.type("a");
  assert.deepEqual(await waitForEnd(page), ["error", "quorvendalist stopped: the terminal failed.Start again"]);
  await page.click("#restart");
  await waitForRow(page, "=>", true);
  // Opened from disk: Firefox runs it; Chromium refuses the program's files and the page says
  // so, without a button that cannot help.
  const fromDisk = await browser.newPage();
  await fromDisk.goto(`file://${require("node:path").resolve(site, "index.html")}`);
  if (firefox) return waitForRow(fromDisk, "=>", true);
  assert.match((await waitForEnd(fromDisk))[0], /^file$/);
  assert.equal(await fromDisk.$eval("#restart", (button) => getComputedStyle(button).display), "none");
});

test("Ctrl+C over a selection copies it and the program goes on", async () => {
  const page = await openPage();
  await page.evaluate(() => {
    document.addEventListener("copy", (event) => {
      window.copied = event.clipboardData.getData("text/plain");
    });
    window.quorvendalistTerminal.select(0, 0, 23);
  });
  await page.keyboard.down("Control");
  // Chromium's driver performs the browser's own copy only when told to.
  await page.keyboard.press("c", firefox ? {} : { commands: ["copy"] });
  await page.keyboard.up("Control");
  await page.keyboard.type("c");
  await waitForRow(page, "=>c", true);
  assert.equal(await page.$eval("#end", (end) => end.hidden), true);
  if (!firefox) assert.equal(await page.evaluate(() => window.copied), "~~~~ QUORVENDALIST ~~~~");
  assert.deepEqual(page.problems, []);
});

test("on a phone and at 200 % the terminal fits beside its scrollbar, and the program wraps at its width", async () => {
  const sizes = [{ width: 375, height: 667, isMobile: true, hasTouch: !firefox },
    { width: 640, height: 400, deviceScaleFactor: 2 }];
  for (const viewport of sizes) {
    const page = await openPage({ viewport: firefox ? { width: viewport.width, height: viewport.height } : viewport });
    const fit = await page.evaluate(() => {
      const box = document.getElementById("terminal").getBoundingClientRect();
      const term = window.quorvendalistTerminal;
      const cells = document.querySelector(".xterm-screen").getBoundingClientRect();
      const scrollbar = document.querySelector(".xterm .scrollbar.vertical").getBoundingClientRect();
      return { sideways: document.documentElement.scrollWidth > window.innerWidth,
        inside: box.left >= 0 && box.right <= window.innerWidth, cols: term.cols,
        scrollbarClear: cells.right <= scrollbar.left, fontSize: term.options.fontSize };
    });
    assert.deepEqual([fit.sideways, fit.inside, fit.scrollbarClear], [false, true, true],
      JSON.stringify(viewport));
    assert.ok(fit.fontSize >= 12, JSON.stringify(fit));
    const line = "Scegli il tipo di algoritmo tramite cui vuoi calcolare un'approssimazione di phi";
    if (fit.cols < line.length) await waitForRow(page, line.slice(0, fit.cols));
    await page.close();
  }
});

test("F6 leaves the terminal, screen-reader mode reads the rows, and the audit finds nothing serious", async () => {
  const page = await openPage({ query: "?screen-reader=1" });
  assert.equal(await page.$eval("#screen-reader", (box) => box.checked), true);
  await page.waitForFunction((banner) => [...document.querySelectorAll(".xterm-accessibility-tree > *")]
    .some((row) => row.textContent.trimEnd() === banner), { timeout: deadline }, banner);
  assert.equal(await page.$eval("#terminal", (el) => el.lang), "it");
  const focusOutside = () => page.evaluate(() => !document.getElementById("terminal").contains(document.activeElement)
    && document.activeElement.id);
  await page.keyboard.press("F6");
  assert.equal(await focusOutside(), "screen-reader");
  await page.focus(".xterm-helper-textarea");
  await page.keyboard.down("Shift");
  await page.keyboard.press("F6");
  await page.keyboard.up("Shift");
  assert.equal(await focusOutside(), "screen-reader");

  await page.addScriptTag({ path: require.resolve("axe-core/axe.min.js") });
  const violations = await page.evaluate(async () => (await window.axe.run(document))
    .violations.filter((v) => v.impact === "serious" || v.impact === "critical")
    .map((v) => `${v.id}: ${v.nodes.map((n) => n.target).join(" ")}`));
  assert.deepEqual(violations, []);
  assert.deepEqual(page.problems, []);
});
