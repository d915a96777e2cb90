// Shared pieces of the end-to-end tests: a static server on 127.0.0.1, headless Chromium with
// Ruffle, and picture checks on screenshots.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import os from 'node:os';
import { fileURLToPath } from 'node:url';
import { PNG } from 'pngjs';

export const here = path.dirname(fileURLToPath(import.meta.url));
export const appDir = process.env.RM_APP_DIR || path.resolve(here, '../../build/reelmaker');
export const chromiumPath = process.env.RM_CHROMIUM || '/usr/bin/chromium';
export const rufflePath = path.join(here, 'node_modules/@ruffle-rs/ruffle');

// What the players need to be played: false when all is there, else what to install. Under CTest
// (RM_UNDER_CTEST, set by the test command) a missing piece throws, so the run fails with that
// text instead of passing with skipped tests; by hand the callers skip.
export function chromiumMissing() {
  const missing = [];
  if (!fs.existsSync(chromiumPath))
    missing.push(`chromium is not installed at ${chromiumPath} (apt-get install chromium, or set RM_CHROMIUM)`);
  if (!fs.existsSync(path.join(rufflePath, 'ruffle.js')))
    missing.push(`the Ruffle package is missing in ${rufflePath} (npm ci in tests/e2e)`);
  if (!fs.existsSync(path.join(here, 'node_modules/playwright-core/package.json')))
    missing.push('playwright-core is missing (npm ci in tests/e2e)');
  if (missing.length === 0) return false;
  const text = missing.join('; ');
  if (process.env.RM_UNDER_CTEST && process.env.RM_UNDER_CTEST !== '0') throw new Error(text);
  return text;
}

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.wasm': 'application/wasm',
  '.swf': 'application/x-shockwave-flash', '.flv': 'video/x-flv', '.jpg': 'image/jpeg', '.mp4': 'video/mp4',
  '.json': 'application/json', '.png': 'image/png', '.css': 'text/css',
};

// Serves /ruffle/* from the npm package (unless options.ruffle is false: the folder as it is)
// and everything else from root; extra pages (path -> HTML text) are served from memory.
export async function serve(root, pages = {}, options = {}) {
  const injectRuffle = options.ruffle !== false;
  const server = http.createServer((req, res) => {
    let url;
    try {
      url = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    } catch {
      // a malformed escape ("100% done") is the client's fault, as a real server would say
      res.writeHead(400);
      res.end('bad request');
      return;
    }
    if (pages[url] !== undefined) {
      res.writeHead(200, { 'content-type': types['.html'] });
      res.end(pages[url]);
      return;
    }
    let file;
    const fromPackage = injectRuffle && url.startsWith('/ruffle/');
    if (fromPackage) file = path.join(rufflePath, url.slice(8));
    else file = path.join(root, url);
    const base = fromPackage ? rufflePath : root;
    // inside base: its own name followed by a separator ("root2" beside "root" is outside)
    if (!path.resolve(file).startsWith(path.resolve(base) + path.sep) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      res.writeHead(404);
      res.end('not found');
      return;
    }
    const send = () => {
      // Byte ranges, as every web server answers them: a browser seeks a video with them.
      const size = fs.statSync(file).size;
      const type = types[path.extname(file)] || 'application/octet-stream';
      const range = /^bytes=(\d*)-(\d*)$/.exec(req.headers.range || '');
      if (range && (range[1] || range[2])) {
        let start = range[1] ? Number(range[1]) : Math.max(0, size - Number(range[2]));
        let end = range[1] && range[2] ? Math.min(Number(range[2]), size - 1) : size - 1;
        if (start >= size || start > end) {
          res.writeHead(416, { 'content-range': `bytes */${size}` });
          res.end();
          return;
        }
        res.writeHead(206, { 'content-type': type, 'accept-ranges': 'bytes', 'content-length': end - start + 1,
          'content-range': `bytes ${start}-${end}/${size}` });
        fs.createReadStream(file, { start, end }).pipe(res);
        return;
      }
      res.writeHead(200, { 'content-type': type, 'accept-ranges': 'bytes', 'content-length': size });
      fs.createReadStream(file).pipe(res);
    };
    // RM_E2E_SLOW=<ms> answers every file of the site that late, to try the tests as a slow
    // machine would run them.
    if (process.env.RM_E2E_SLOW && !fromPackage) setTimeout(send, Number(process.env.RM_E2E_SLOW));
    else send();
  });
  await new Promise((r) => server.listen(0, '127.0.0.1', r));
  const { port } = server.address();
  return { server, base: `http://127.0.0.1:${port}`, close: () => new Promise((r) => server.close(r)) };
}

export async function launch() {
  const { chromium } = await import('playwright-core');
  const userDataDir = fs.mkdtempSync(path.join(os.tmpdir(), 'rm-e2e-chromium-'));
  const context = await chromium.launchPersistentContext(userDataDir, {
    executablePath: chromiumPath,
    headless: true,
    viewport: { width: 400, height: 320 },
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--autoplay-policy=no-user-gesture-required'],
  });
  return {
    context,
    async close() {
      await context.close();
      fs.rmSync(userDataDir, { recursive: true, force: true });
    },
  };
}

// A page that plays one SWF with Ruffle at its own size.
export function playerPage(swfUrl, width, height) {
  return `<!doctype html><html><head><meta charset="utf-8">
<style>html,body{margin:0;padding:0;background:#808080}#box{position:absolute;left:0;top:0}</style>
<script>window.RufflePlayer = window.RufflePlayer || {};
window.RufflePlayer.config = { autoplay: "on", unmuteOverlay: "hidden", splashScreen: false,
  logLevel: "warn", letterbox: "off", allowFullscreen: true, publicPath: "/ruffle/" };
window.rmLog = [];
for (const k of ["warn", "error"]) { const o = console[k]; console[k] = (...a) => { window.rmLog.push(k + ": " + a.join(" ")); o.apply(console, a); }; }
</script>
<script src="/ruffle/ruffle.js"></script></head><body>
<div id="box"></div>
<script>
  const ruffle = window.RufflePlayer.newest();
  const player = ruffle.createPlayer();
  player.id = "player";
  player.style.width = "${width}px";
  player.style.height = "${height}px";
  document.getElementById("box").appendChild(player);
  window.rmLoaded = player.ruffle().load({ url: ${JSON.stringify(swfUrl)} }).then(() => {
    // Software rendering makes Ruffle offer a hint about hardware acceleration on the first
    // mouse-over; it would cover the player.
    const modal = player.shadowRoot && player.shadowRoot.getElementById("hardware-acceleration-modal");
    if (modal) modal.remove();
    return "ok";
  }, (e) => "error: " + e);
</script></body></html>`;
}

// Waits until Ruffle has loaded the movie (or failed).
export async function waitLoaded(page, timeout = 15000) {
  const state = await page.evaluate(() => Promise.race([
    window.rmLoaded, new Promise((r) => setTimeout(() => r('timeout'), 14000))]));
  if (state !== 'ok') throw new Error(`Ruffle did not load the movie: ${state}`);
  await page.waitForFunction(() => {
    const p = document.getElementById('player');
    return p && p.ruffle && p.ruffle().isPlaying !== false;
  }, null, { timeout });
}

export async function shot(page, width, height, file) {
  const buf = await page.screenshot({ clip: { x: 0, y: 0, width, height }, path: file });
  return PNG.sync.read(buf);
}

// Mean colour of a rectangle.
export function mean(png, x, y, w, h) {
  let r = 0, g = 0, b = 0, n = 0;
  for (let yy = y; yy < y + h; yy++) {
    for (let xx = x; xx < x + w; xx++) {
      const i = (yy * png.width + xx) * 4;
      r += png.data[i]; g += png.data[i + 1]; b += png.data[i + 2]; n++;
    }
  }
  return [r / n, g / n, b / n];
}

// The highest channel value of any pixel in a rectangle.
export function brightest(png, x, y, w, h) {
  let top = 0;
  for (let yy = y; yy < y + h; yy++) {
    for (let xx = x; xx < x + w; xx++) {
      const i = (yy * png.width + xx) * 4;
      top = Math.max(top, png.data[i], png.data[i + 1], png.data[i + 2]);
    }
  }
  return top;
}

// Share of pixels of a rectangle in strong colour (neither white, black nor grey).
export function colourful(png, x, y, w, h) {
  let hit = 0, n = 0;
  for (let yy = y; yy < y + h; yy++) {
    for (let xx = x; xx < x + w; xx++) {
      const i = (yy * png.width + xx) * 4;
      const c = [png.data[i], png.data[i + 1], png.data[i + 2]];
      if (Math.max(...c) - Math.min(...c) > 100) hit++;
      n++;
    }
  }
  return hit / n;
}

// Mean absolute difference per channel between the same rectangle of two pictures.
export function diff(a, b, x, y, w, h) {
  let d = 0, n = 0;
  for (let yy = y; yy < y + h; yy++) {
    for (let xx = x; xx < x + w; xx++) {
      const i = (yy * a.width + xx) * 4;
      for (let c = 0; c < 3; c++) d += Math.abs(a.data[i + c] - b.data[i + c]);
      n += 3;
    }
  }
  return d / n;
}

// Share of pixels of a rectangle within tol of a colour.
export function share(png, x, y, w, h, rgb, tol = 60) {
  let hit = 0, n = 0;
  for (let yy = y; yy < y + h; yy++) {
    for (let xx = x; xx < x + w; xx++) {
      const i = (yy * png.width + xx) * 4;
      const dd = Math.abs(png.data[i] - rgb[0]) + Math.abs(png.data[i + 1] - rgb[1]) + Math.abs(png.data[i + 2] - rgb[2]);
      if (dd <= tol) hit++;
      n++;
    }
  }
  return hit / n;
}

// The smallest rectangle holding every pixel for which is([r, g, b]) holds, with their count;
// null when there is none.
export function bounds(png, is) {
  let x0 = Infinity, y0 = Infinity, x1 = -1, y1 = -1, n = 0;
  for (let y = 0; y < png.height; y++) {
    for (let x = 0; x < png.width; x++) {
      const i = (y * png.width + x) * 4;
      if (!is([png.data[i], png.data[i + 1], png.data[i + 2]])) continue;
      x0 = Math.min(x0, x); x1 = Math.max(x1, x);
      y0 = Math.min(y0, y); y1 = Math.max(y1, y);
      n++;
    }
  }
  return n ? { x: x0, y: y0, w: x1 - x0 + 1, h: y1 - y0 + 1, n } : null;
}

export const sleep = (ms) => new Promise((r) => setTimeout(r, ms));

// Calls probe() until ok(value) holds or the (generous) limit passes; returns the last value, for
// the caller's assertion to judge. A busy machine only makes it take longer.
export async function waitUntil(probe, ok = Boolean, { timeout = 20000, interval = 150 } = {}) {
  const end = Date.now() + timeout;
  let v = await probe();
  while (!ok(v) && Date.now() < end) {
    await sleep(interval);
    v = await probe();
  }
  return v;
}

// Whether the picture in a rectangle keeps moving: it changes, then changes again (one change
// alone may be a play button going away or a late first frame). Waits as long as a busy machine
// needs; returns the mean difference of the second change, for the caller's assertion.
export async function secondChange(grab, x, y, w, h, { timeout = 20000 } = {}) {
  const a = await grab();
  const b = await waitUntil(grab, (png) => diff(a, png, x, y, w, h) > 3, { timeout });
  const c = await waitUntil(grab, (png) => diff(b, png, x, y, w, h) > 3, { timeout });
  return diff(b, c, x, y, w, h);
}
