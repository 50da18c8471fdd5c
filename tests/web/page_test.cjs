// The page in headless Chromium, served as `make web-serve` serves it: what its user sees in the
// terminal (rows, colours, the cursor) as keys are typed, and the end of the program on the page.
//   node page_test.cjs SITE_DIR      (puppeteer-core through NODE_PATH)
// in Debian's Chromium, or in its Firefox ESR with QV_BROWSER=firefox.
"use strict";
const { test, before, after } = require("node:test");
const assert = require("node:assert/strict");
const { spawn } = require("node:child_process");
const puppeteer = require("puppeteer-core");

const site = process.argv[2];
const firefox = process.env.QV_BROWSER === "firefox";
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

let server, address, browser;

before(async () => {
  server = spawn("python3", ["-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", site]);
  address = await new Promise((resolve, reject) => {
    server.stdout.on("data", (text) => {
      const port = /port (\d+)/.exec(text);
      if (port) resolve(`http://127.0.0.1:${port[1]}/`);
    });
    server.on("exit", reject);
  });
  browser = await puppeteer.launch(firefox
    ? { browser: "firefox", executablePath: "/usr/bin/firefox-esr", headless: true }
    : { executablePath: "/usr/bin/chromium", headless: true,
        args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"] });
});

after(async () => {
  await browser?.close();
  server?.kill();
});

async function openPage() {
  const page = await browser.newPage();
  const problems = [];
  page.on("pageerror", (error) => problems.push(error.message));
  page.on("console", (message) => message.type() === "error" && problems.push(message.text()));
  await page.goto(address);
  await waitForRow(page, banner);
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
// cursor on that line: behind the text for true, in that column for a number.
function waitForRow(page, text, cursor = false) {
  return page.waitForFunction((text, regex, cursor) => {
    const term = window.quorvendalistTerminal;
    if (!term) return false;
    const buffer = term.buffer.active;
    for (let y = 0; y < buffer.length; ++y) {
      const row = buffer.getLine(y).translateToString(true).trimEnd();
      if (regex ? new RegExp(text).test(row) : row === text) {
        const column = cursor === true ? row.length : cursor;
        return cursor === false || (buffer.baseY + buffer.cursorY === y && buffer.cursorX === column);
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
  assert.deepEqual(await page.evaluate(() => window.quorvendalistTerminal.buffer.active.cursorY), 24);
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
