// The contract between the page and the program in WebAssembly: every function the program
// imports from JavaScript, linked in with --js-library (cmake/web.cmake); page.h declares them
// for the C++ side. Under node the module gets none of the page's properties and each function
// answers as if there were no page.
//
// What the page hands the module it creates (createQuorvendalist), by the time main runs: the
// page creates it early, so that the wasm compiles meanwhile, and holds main back with a run
// dependency ("terminal", through the exported add/removeRunDependency) until these are set:
//   terminal   the xterm.js Terminal that shows the dialogue; the program writes to it, reads
//              its size and scrollback, and listens to its onData and onResize.
//   pageKeys   optional: the page's own key rules, asked first with every key event (false: the
//              terminal and the program do not see the event).
//   onExit     called with the exit status once the terminal has drawn the last byte.
//   onAbort    called with the reason when the module stops without its own end.
// What the page offers as a global:
//   quorvendalistPicture(svg, summary, rows, method)   shows a run's convergence picture.
//
// Asynchronous functions (their names are in ASYNCIFY_IMPORTS) put the module's stack aside
// while the browser runs, and resume it with their result.
/* global mergeInto, LibraryManager, Module, Asyncify, HEAPU8, HEAP32, UTF8ToString */
"use strict";

mergeInto(LibraryManager.library, {
  // 1 when the page gave the module a terminal.
  qv_pageTerminalPresent: function() {
    return Module['terminal'] ? 1 : 0;
  },

  // The terminal parses one write at a time, and looks at the clock only between writes: slices
  // of 16 KiB (a few milliseconds of parsing) let it give the browser its thread back in between.
  qv_pageTerminalWrite: function(bytes, count) {
    const slice = 16384;
    for (let at = bytes; at < bytes + count; at += slice) {
      const piece = HEAPU8.slice(at, Math.min(at + slice, bytes + count));
      Module['qvUnparsed'] = (Module['qvUnparsed'] || 0) + piece.length;
      Module['terminal'].write(piece, function() {
        Module['qvUnparsed'] -= piece.length;
      });
    }
  },

  // The bytes handed over that the terminal has not parsed yet.
  qv_pageTerminalUnparsed: function() {
    return Module['qvUnparsed'] || 0;
  },

  // Columns, rows and scrollback rows, into three ints at size.
  qv_pageTerminalSize: function(size) {
    const term = Module['terminal'];
    HEAP32[size >> 2] = term.cols;
    HEAP32[(size >> 2) + 1] = term.rows;
    HEAP32[(size >> 2) + 2] = term.options.scrollback;
  },

  // The browser runs whatever waits (keys, the terminal's parsing and drawing), then the program
  // goes on: a message to itself, which no timer clamp or background throttling delays.
  qv_giveThreadToPage: function() {
    return Asyncify.handleAsync(async function() {
      let channel = Module['qvYield'];
      if (!channel) {
        channel = new MessageChannel();
        channel.waiting = [];
        channel.port1.onmessage = function() {
          channel.waiting.shift()();
        };
        Module['qvYield'] = channel;
      }
      await new Promise(function(resolve) {
        channel.waiting.push(resolve);
        channel.port2.postMessage(0);
      });
    });
  },

  // Listening to the terminal: bytes from onData (Ctrl-C noted apart, so that a queue full of
  // typed keys cannot hide it), Alt keypad digits and Alt's release from its key events (kept
  // from the terminal, which would send something else for them; the page's own key rules come
  // first), a note of a new size from onResize. Whatever waits for the page is woken by each.
  // The queue holds numbers: a byte the terminal sent, 256 + an Alt keypad digit, 266 for Alt
  // let go (console/web/keyboard.cc).
  qv_listenToPage: function() {
    const term = Module['terminal'];
    const input = { items: [], resized: false, interrupt: false, wake: null, altDigits: false };
    const pageKeys = Module['pageKeys'];
    const wake = function() {
      const waiting = input.wake;
      input.wake = null;
      if (waiting) waiting();
    };
    const encoder = new TextEncoder();
    input.listeners = [
      term.onData(function(data) {
        for (const b of encoder.encode(data)) input.items.push(b);
        if (data.indexOf('\x03') >= 0) input.interrupt = true;
        wake();
      }),
      term.onResize(function() {
        input.resized = true;
        wake();
      }),
    ];
    term.attachCustomKeyEventHandler(function(ev) {
      if (pageKeys && !pageKeys(ev)) return false;
      const code = ev.code || '';
      const digit = code.length === 7 && code.startsWith('Numpad') ? code.charCodeAt(6) - 48 : -1;
      if (ev.type === 'keydown' && ev.altKey && digit >= 0 && digit <= 9) {
        input.items.push(256 + digit);
        input.altDigits = true;
      } else if (ev.type === 'keyup' && ev.key === 'Alt' && input.altDigits) {
        input.items.push(266);
        input.altDigits = false;
      } else {
        return true;
      }
      ev.preventDefault();
      wake();
      return false;
    });
    Module['qvInput'] = input;
    // What a resumed run throws (a JavaScript error, a trap) would reach no one but the
    // browser's console: the page hears of it as of an abort.
    Asyncify.whenDone().catch(function(error) {
      if (Module['onAbort']) Module['onAbort'](error);
    });
  },

  qv_stopListening: function() {
    const input = Module['qvInput'];
    if (!input) return;
    for (const listener of input.listeners) listener.dispose();
    Module['terminal'].attachCustomKeyEventHandler(Module['pageKeys'] || function() {
      return true;
    });
    Module['qvInput'] = null;
  },

  // Moves up to limit queued numbers into the ints at items; how many.
  qv_takeInput: function(items, limit) {
    const input = Module['qvInput'];
    if (!input) return 0;
    const taken = input.items.splice(0, limit);
    HEAP32.set(taken, items >> 2);
    return taken.length;
  },

  // 1 once for each Ctrl-C typed since the last look.
  qv_takeInterrupt: function() {
    const input = Module['qvInput'];
    if (!input || !input.interrupt) return 0;
    input.interrupt = false;
    return 1;
  },

  // 1 once for a new size, with columns and rows in the two ints at size.
  qv_takeResize: function(size) {
    const input = Module['qvInput'];
    if (!input || !input.resized) return 0;
    input.resized = false;
    const term = Module['terminal'];
    HEAP32[size >> 2] = term.cols;
    HEAP32[(size >> 2) + 1] = term.rows;
    return 1;
  },

  // The one place the program waits for the page: the browser goes on until a key, a new size
  // or the timeout (milliseconds, -1 for none). 1 when something came.
  qv_waitForPage: function(timeoutMs) {
    return Asyncify.handleAsync(async function() {
      const input = Module['qvInput'];
      if (!input || input.items.length > 0 || input.resized) return 1;
      return await new Promise(function(resolve) {
        let timer = null;
        input.wake = function() {
          clearTimeout(timer);
          resolve(1);
        };
        if (timeoutMs >= 0) {
          timer = setTimeout(function() {
            input.wake = null;
            resolve(0);
          }, timeoutMs);
        }
      });
    });
  },

  // The end in a page: the page hears of it once its terminal has parsed and drawn the last
  // byte, and the module's stack stays put aside for good, so that nothing of the program runs
  // any more and nothing is thrown through the page.
  qv_endOnPage: function(status) {
    return Asyncify.handleAsync(async function() {
      await new Promise(function(resolve) {
        Module['terminal'].write('', resolve);
      });
      await new Promise(function(resolve) {
        requestAnimationFrame(function() {
          resolve();
        });
      });
      if (Module['onExit']) Module['onExit'](status);
      await new Promise(function() {});
    });
  },

  // The convergence picture for the page, if it shows one; rowsLength -1: the run goes on, no
  // rows yet; 0: the run ended with too many rows to offer.
  qv_showPicture: function(svg, svgLength, summary, summaryLength, rows, rowsLength, method) {
    const show = globalThis['quorvendalistPicture'];
    if (!show) return;
    let latestRows = null;
    if (rowsLength > 0) latestRows = UTF8ToString(rows, rowsLength);
    else if (rowsLength < 0) latestRows = undefined;
    show(UTF8ToString(svg, svgLength), UTF8ToString(summary, summaryLength), latestRows,
         String.fromCharCode(method));
  },
});
