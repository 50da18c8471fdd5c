// The page's folder served on a free port of 127.0.0.1, as `make web-serve` serves it, and the
// browser the tests drive: Debian's Chromium, or its Firefox ESR with QV_BROWSER=firefox.
"use strict";
const { spawn } = require("node:child_process");
const puppeteer = require("puppeteer-core");

async function serveAndLaunch(site) {
  const server = spawn("python3", ["-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", site]);
  const address = await new Promise((resolve, reject) => {
    server.stdout.on("data", (text) => {
      const port = /port (\d+)/.exec(text);
      if (port) resolve(`http://127.0.0.1:${port[1]}/`);
    });
    server.on("exit", reject);
  });
  const browser = await puppeteer.launch(process.env.QV_BROWSER === "firefox"
    ? { browser: "firefox", executablePath: "/usr/bin/firefox-esr", headless: true }
    : { executablePath: "/usr/bin/chromium", headless: true,
        args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"] });
  const stop = async () => {
    await browser.close();
    server.kill();
  };
  return { address, browser, stop };
}

module.exports = { serveAndLaunch };
