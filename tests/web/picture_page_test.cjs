// The convergence picture beside the page's terminal, in headless Chromium or Firefox: after runs
// of a, b and c it shows three series, says in words what they show, and saves the very document
// (and the last run's rows) the command writes for the same n.
//   node picture_page_test.cjs SITE_DIR NODE_PROGRAM   (puppeteer-core through NODE_PATH)
"use strict";
const { test, before, after } = require("node:test");
const assert = require("node:assert/strict");
const { execFileSync } = require("node:child_process");
const { serveAndLaunch } = require("./served_browser.cjs");

const [site, nodeProgram] = process.argv.slice(2);
const deadline = 20000;
let address, browser;

let served;
before(async () => {
  served = await serveAndLaunch(site);
  ({ address, browser } = served);
});

after(async () => {
  await served?.stop();
});

// Waits until count lines of the terminal begin with text.
function waitForLines(page, text, count) {
  return page.waitForFunction((text, count) => {
    const buffer = window.quorvendalistTerminal?.buffer.active;
    if (!buffer) return false;
    let found = 0;
    for (let y = 0; y < buffer.length; ++y) {
      if (buffer.getLine(y).translateToString(true).startsWith(text)) ++found;
    }
    return found === count;
  }, { timeout: deadline, polling: 50 }, text, count);
}

test("runs of a, b and c draw three series, summarised and saved as the command's SVG", async () => {
  const page = await browser.newPage();
  const problems = [];
  page.on("pageerror", (error) => problems.push(error.message));
  await page.goto(address);
  await waitForLines(page, "=>", 1);
  assert.equal(await page.$eval("#picture", (panel) => panel.hidden), true);

  await page.keyboard.type("a\r60\r");
  await waitForLines(page, "Type 'esci'", 1);
  assert.equal(await page.$$eval("#picture-figure polyline", (lines) => lines.length), 1);
  await page.keyboard.type("\rb\r60\r");
  await waitForLines(page, "Type 'esci'", 2);
  await page.keyboard.type("\rc\r60\r");
  await waitForLines(page, "Premi invio", 1);
  await page.keyboard.press("Enter");
  await waitForLines(page, "Type 'esci'", 3);
  // Drawn, not blank: each series spans much of the picture.
  assert.deepEqual(await page.$$eval("#picture-figure polyline", (lines) => lines.map((line) => {
    const box = line.getBBox();
    return box.width > 300 && box.height > 300;
  })), [true, true, true]);
  const summary = await page.$eval("#picture-summary", (p) => p.textContent);
  assert.match(summary, /^a \(funzione continua\): 1\.618033988749895 after 60 steps, 0\.42 correct decimals a step/);
  assert.match(summary, /\nc \(sequenza di Fibonacci\): -1\.724507135118218 after 59 steps.*wraps at step 47\./);

  // The saved files are the command's: the document for the same n, the last run's rows.
  const saved = (button) => page.evaluate(async (button) => {
    let blob = null;
    const create = URL.createObjectURL;
    URL.createObjectURL = (b) => { blob = b; return create.call(URL, b); };
    document.getElementById(button).click();
    URL.createObjectURL = create;
    return blob.text();
  }, button);
  const command = (...args) => execFileSync("node", ["--no-experimental-fetch", nodeProgram, ...args],
    { encoding: "utf8" });
  assert.equal(await saved("picture-save"), command("--svg", "abc", "60"));
  assert.equal(await saved("picture-save-rows"), command("--csv", "c", "60"));
  assert.deepEqual(problems, []);
});

test("the picture grows while a long run streams", async () => {
  const page = await browser.newPage();
  await page.goto(address);
  await waitForLines(page, "=>", 1);
  await page.keyboard.type("b\r3000000\r");
  // A summary of fewer steps than asked is a picture drawn while the run went on; the exit
  // question first means it never grew.
  const first = await page.waitForFunction(() => {
    const steps = /after (\d+) steps/.exec(document.getElementById("picture-summary").textContent);
    if (steps && Number(steps[1]) < 3000000) return "grown";
    const buffer = window.quorvendalistTerminal.buffer.active;
    const row = buffer.getLine(buffer.baseY + buffer.cursorY - 1)?.translateToString(true);
    return row?.startsWith("Type 'esci'") ? "ended" : false;
  }, { timeout: 0, polling: 20 });
  assert.equal(await first.jsonValue(), "grown");
  await waitForLines(page, "Type 'esci'", 1);
  assert.match(await page.$eval("#picture-summary", (p) => p.textContent), /after 3000000 steps/);
});

test("an address ending in #abc60 opens the page with that picture drawn", async () => {
  const page = await browser.newPage();
  await page.goto(address + "#abc60");
  await page.waitForFunction(() => document.querySelectorAll("#picture-figure polyline").length === 3,
    { timeout: deadline, polling: 50 });
  assert.match(await page.$eval("#picture-figure title", (t) => t.textContent), /methods abc, n = 60$/);
});
