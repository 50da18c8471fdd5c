// The page's figures in headless Chromium (or Firefox ESR with QV_BROWSER=firefox), served as
// `make web-serve` serves it: load to the drawn menu, key press to echo, Enter to the exit
// question for a 10^6 run (and the longest main-thread task meanwhile, where the browser reports
// long tasks), a 10^7 run, Ctrl-C during a run to the end notice; the native program's 10^6 run
// into /dev/null for comparison; and the transfer size of the folder, raw (python3 -m
// http.server sends it so) and gzipped (as a static host that compresses does).
//   node page_bench.cjs SITE_DIR [LOADS [NATIVE_PROGRAM]]      (puppeteer-core through NODE_PATH)
"use strict";
const { spawn, spawnSync } = require("node:child_process");
const fs = require("node:fs");
const path = require("node:path");
const zlib = require("node:zlib");
const puppeteer = require("puppeteer-core");

const site = process.argv[2];
const loads = Number(process.argv[3] ?? 10);
const native = process.argv[4];
const firefox = process.env.QV_BROWSER === "firefox";

function spread(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const median = sorted[Math.floor(sorted.length / 2)];
  return `median ${median.toFixed(0)} ms, ${sorted[0].toFixed(0)}-${sorted.at(-1).toFixed(0)} ms (${sorted.length} runs)`;
}

function rowShown(page, text) {
  return page.waitForFunction((text) => {
    const buffer = window.quorvendalistTerminal?.buffer.active;
    if (!buffer) return false;
    for (let y = buffer.length - 1; y >= 0; --y) {
      if (buffer.getLine(y).translateToString(true).trimEnd() === text) return true;
    }
    return false;
  }, { timeout: 60000, polling: "raf" }, text);
}

function exitQuestionShown(page) {
  return page.waitForFunction(() => {
    const buffer = window.quorvendalistTerminal.buffer.active;
    const row = (dy) => buffer.getLine(buffer.baseY + buffer.cursorY + dy).translateToString(true).trimEnd();
    return row(0) === "=>" && row(-1) === "Type 'esci' to exit or press enter to continue";
  }, { timeout: 0, polling: 50 });
}

(async () => {
  let total = 0, gzipped = 0;
  for (const name of fs.readdirSync(site)) {
    const bytes = fs.readFileSync(path.join(site, name));
    const packed = zlib.gzipSync(bytes, { level: 9 }).length;
    console.log(`${name}: ${bytes.length} bytes, ${packed} gzipped`);
    total += bytes.length;
    gzipped += packed;
  }
  console.log(`transfer: ${total} bytes, ${gzipped} gzipped (${(gzipped / 1024).toFixed(0)} KiB)`);

  const server = spawn("python3", ["-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", site]);
  const address = await new Promise((resolve) => server.stdout.on("data", (text) => {
    const port = /port (\d+)/.exec(text);
    if (port) resolve(`http://127.0.0.1:${port[1]}/`);
  }));
  if (native && fs.existsSync(native)) {
    const times = [];
    for (let i = 0; i < 3; ++i) {
      const start = performance.now();
      spawnSync(native, ["a", "1000000"], { stdio: ["ignore", "ignore", "inherit"] });
      times.push(performance.now() - start);
    }
    console.log(`native a 1000000 > /dev/null: ${spread(times)}`);
  }
  const browser = await puppeteer.launch(firefox
    ? { browser: "firefox", executablePath: "/usr/bin/firefox-esr", headless: true }
    : { executablePath: "/usr/bin/chromium", headless: true,
        args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"] });
  try {
    // From the start of the navigation (performance's time origin) to the menu's prompt drawn.
    const loadTimes = [];
    for (let i = 0; i < loads; ++i) {
      const page = await browser.newPage();
      await page.goto(address);
      await rowShown(page, "=>");
      loadTimes.push(await page.evaluate(() => performance.now()));
      await page.close();
    }
    console.log(`load to the drawn menu: first (empty cache) ${loadTimes[0].toFixed(0)} ms; ` +
                `then ${spread(loadTimes.slice(1))}`);

    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 800 });
    await page.goto(address);
    await rowShown(page, "=>");
    // Key down to the echo written into the terminal and painted (the next animation frame).
    const echoes = [];
    for (const key of "abcdefghijklmnopqrst") {
      await page.evaluate((key) => {
        const term = window.quorvendalistTerminal;
        window.echoTime = undefined;
        let down = 0;
        window.addEventListener("keydown", () => { down = performance.now(); }, { capture: true, once: true });
        const listener = term.onWriteParsed(() => {
          const buffer = term.buffer.active;
          if (!buffer.getLine(buffer.baseY + buffer.cursorY).translateToString(true).endsWith(key)) return;
          listener.dispose();
          requestAnimationFrame(() => { window.echoTime = performance.now() - down; });
        });
      }, key);
      await page.keyboard.press(key);
      // Firefox's clock has whole milliseconds: an echo within the same one is 0, not "not yet".
      await page.waitForFunction(() => window.echoTime !== undefined, { polling: 5 });
      echoes.push(await page.evaluate(() => window.echoTime));
    }
    console.log(`key press to echo: ${spread(echoes)}`);
    await page.keyboard.press("Escape");
    await rowShown(page, "=>");

    // From Enter after n to the exit question drawn, each pass on a cleared screen; the longest
    // task of the page meanwhile (Chromium reports them).
    await page.evaluate(() => {
      window.longest = NaN;
      if (!PerformanceObserver.supportedEntryTypes.includes("longtask")) return;
      window.longest = 0;
      new PerformanceObserver((list) => {
        for (const task of list.getEntries()) window.longest = Math.max(window.longest, task.duration);
      }).observe({ type: "longtask" });
    });
    const run = async (n, repeats) => {
      const times = [], tasks = [];
      for (let i = 0; i < repeats; ++i) {
        await page.keyboard.type(`a\r${n}`);
        const start = await page.evaluate(() => { window.longest = window.longest * 0; return performance.now(); });
        await page.keyboard.press("Enter");
        await exitQuestionShown(page);
        times.push(await page.evaluate(() => performance.now()) - start);
        tasks.push(await page.evaluate(() => window.longest));
        await page.keyboard.press("Enter");
        await rowShown(page, "=>");
      }
      const longest = Number.isNaN(tasks[0]) ? "not reported" : `${Math.max(...tasks).toFixed(0)} ms`;
      console.log(`a ${n}, Enter to the exit question: ${spread(times)}; longest task ${longest}`);
    };
    await run(100000, 3);
    await run(1000000, 3);
    await run(10000000, 1);

    // Ctrl-C a second into a run of 10^7 to the end notice on the page.
    const stops = [];
    for (let i = 0; i < 3; ++i) {
      await page.keyboard.type("a\r10000000\r");
      await new Promise((resolve) => setTimeout(resolve, 1000));
      const start = await page.evaluate(() => performance.now());
      await page.keyboard.down("Control");
      await page.keyboard.press("c");
      await page.keyboard.up("Control");
      await page.waitForSelector("#end:not([hidden])", { timeout: 60000 });
      stops.push(await page.evaluate(() => performance.now()) - start);
      await page.click("#restart");
      await rowShown(page, "=>");
    }
    console.log(`Ctrl-C during a run to the end notice: ${spread(stops)}`);
  } finally {
    await browser.close();
    server.kill();
  }
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
