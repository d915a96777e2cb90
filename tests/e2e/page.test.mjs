// The HTML page written beside a player, opened in headless Chromium: it must be a working page
// for any output name (here one full of markup and quote characters), find AC_RunActiveContent.js,
// and play the player through Ruffle, loaded from beside the page or from Ruffle's public address.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { appDir, chromiumMissing, rufflePath, serve, launch, diff, sleep, waitUntil } from './harness.mjs';

const NAME = `it's <mine> & "yours"`;
const skip = chromiumMissing() || false;
let work, jobDir, jobName, browser;

function run(cmd, args, env) {
  const r = spawnSync(cmd, args, { encoding: 'utf8', env: { ...process.env, ...env }, timeout: 240000 });
  if (r.status !== 0) throw new Error(`${path.basename(cmd)} ${args.join(' ')} -> ${r.status}\n${r.stdout}\n${r.stderr}`);
  return r;
}

before(async () => {
  if (skip) return;
  work = fs.mkdtempSync(path.join(os.tmpdir(), 'rm-e2e-page-'));
  // A source video made with the project's own fixture code (the players' helper writes FLVs).
  const maker = process.env.RM_E2E_MAKE_PLAYERS;
  assert.ok(maker && fs.existsSync(maker), 'RM_E2E_MAKE_PLAYERS names the fixture maker');
  run(maker, [path.join(work, 'fixtures'), appDir]);
  const source = path.join(work, `${NAME}.flv`);
  fs.copyFileSync(path.join(work, 'fixtures/t2_default/t2_default.flv'), source);

  const out = path.join(work, 'out');
  const home = path.join(work, 'home');
  fs.mkdirSync(home);
  const r = run(path.join(appDir, 'reelmaker-cli'),
    ['convert', '--output', out, '--size', '320x240', '--autoplay', '--swf-type', '2', '--no-web-ready', source],
    { HOME: home, XDG_CONFIG_HOME: path.join(home, '.config') });
  assert.equal(r.stdout, `${NAME} --> Convert Successful!\n`);
  const dirs = fs.readdirSync(out);
  assert.equal(dirs.length, 1);
  jobName = dirs[0];
  jobDir = path.join(out, jobName);
  for (const f of [`${NAME}.html`, `${NAME}.swf`, `${NAME}.flv`, 'AC_RunActiveContent.js'])
    assert.ok(fs.existsSync(path.join(jobDir, f)), f);
  browser = await launch();
});

after(async () => {
  if (browser) await browser.close();
  if (work) fs.rmSync(work, { recursive: true, force: true });
});

// The browser keeps its connections open; end them so the server closes at once.
async function closeSite(site) {
  site.server.closeAllConnections();
  await site.close();
}

// Opens the page and collects what a user would notice: dialogs, page errors, requests.
async function open(url, routes = {}) {
  const page = await browser.context.newPage();
  const seen = { dialogs: [], errors: [], requests: [], swf: [] };
  page.on('dialog', async (d) => { seen.dialogs.push(d.message()); await d.dismiss(); });
  page.on('pageerror', (e) => seen.errors.push(String(e)));
  page.on('request', (r) => seen.requests.push(r.url()));
  page.on('response', (r) => { if (/\.swf$/.test(new URL(r.url()).pathname)) seen.swf.push(r.status()); });
  for (const [pattern, handler] of Object.entries(routes)) await page.route(pattern, handler);
  await page.goto(url);
  return { page, seen };
}

// The player element Ruffle put in place of the written <embed>, and proof that it plays.
async function assertPlays(page, seen) {
  const player = page.locator('ruffle-embed, ruffle-object').first();
  await player.waitFor({ timeout: 20000 });
  await page.waitForFunction(() => {
    const p = document.querySelector('ruffle-embed, ruffle-object');
    return p && p.ruffle && p.ruffle().metadata;
  }, null, { timeout: 20000 });
  assert.deepEqual(seen.swf, [200], 'the page asked for its SWF once and got it');
  const box = await player.boundingBox();
  assert.equal(Math.round(box.width), 320);
  assert.equal(Math.round(box.height), 240);
  const clip = { x: box.x, y: box.y, width: box.width, height: box.height };
  const { PNG } = await import('pngjs');
  const grab = async () => PNG.sync.read(await page.screenshot({ clip }));
  const changed = (from) => (png) => diff(from, png, 0, 0, from.width, from.height) > 0.5;
  // Two changes in a row: the first picture drawn, then playback.
  const first = await grab();
  const a = await waitUntil(grab, changed(first));
  const b = await waitUntil(grab, changed(a));
  assert.ok(diff(a, b, 0, 0, a.width, a.height) > 0.5, 'the picture changes while the player plays');
}

test('the page keeps a hostile name intact and plays with Ruffle beside it', { skip }, async () => {
  // The job folder is the site's root, so "ruffle/ruffle.js" beside the page exists.
  const site = await serve(jobDir);
  try {
    const { page, seen } = await open(`${site.base}/${encodeURIComponent(NAME)}.html`);
    assert.equal(await page.title(), NAME);
    assert.deepEqual(seen.dialogs, []);
    assert.deepEqual(seen.errors, []);
    assert.ok(seen.requests.some((u) => u === `${site.base}/ruffle/ruffle.js`));
    assert.ok(!seen.requests.some((u) => u.startsWith('https://')), 'nothing fetched from the internet');
    // What AC_FL_RunContent wrote reads back exactly.
    const written = await page.evaluate(() => {
      const e = document.querySelector('ruffle-embed, embed');
      return { name: e.getAttribute('name'), bgcolor: e.getAttribute('bgcolor') };
    });
    assert.equal(written.name, NAME);
    await assertPlays(page, seen);
    await page.close();
  } finally {
    await closeSite(site);
  }
});

test('without Ruffle beside the page it comes from its public address', { skip }, async () => {
  // Served one level down: nothing answers "ruffle/ruffle.js" next to the page. The public
  // address is answered from the npm package (no internet here).
  const site = await serve(path.dirname(jobDir), {}, { ruffle: false });
  let publicAsked = 0;
  const fromPackage = async (route) => {
    publicAsked++;
    const u = new URL(route.request().url());
    const rel = u.pathname.replace(/^\/@ruffle-rs\/ruffle(@[^/]*)?\/?/, '') || 'ruffle.js';
    const file = path.join(rufflePath, rel);
    if (!fs.existsSync(file)) return route.fulfill({ status: 404, body: 'not found' });
    const type = file.endsWith('.wasm') ? 'application/wasm' : 'text/javascript';
    return route.fulfill({ status: 200, contentType: type, body: fs.readFileSync(file) });
  };
  try {
    const url = `${site.base}/${encodeURIComponent(jobName)}/${encodeURIComponent(NAME)}.html`;
    const { page, seen } = await open(url, { 'https://unpkg.com/**': fromPackage });
    assert.deepEqual(seen.dialogs, []);
    await assertPlays(page, seen);
    assert.ok(publicAsked > 0, 'Ruffle was asked for at its public address');
    assert.ok(seen.requests.some((u) => u.endsWith('/ruffle/ruffle.js') && u !== `${site.base}/ruffle/ruffle.js`),
      'the copy beside the page was tried first');
    assert.ok(seen.requests.some((u) => u === `${site.base}/ruffle/ruffle.js`), 'then the one a folder up');
    await page.close();
  } finally {
    await closeSite(site);
  }
});

test('a page without its script says so', { skip }, async () => {
  const bare = fs.mkdtempSync(path.join(work, 'bare-'));
  fs.copyFileSync(path.join(jobDir, `${NAME}.html`), path.join(bare, 'page.html'));
  const site = await serve(bare);
  try {
    const { page, seen } = await open(`${site.base}/page.html`);
    await waitUntil(() => seen.dialogs.length > 0, Boolean, { timeout: 10000 });
    assert.deepEqual(seen.dialogs, ['Can not find AC_RunActiveContent.js!']);
    await page.close();
  } finally {
    await closeSite(site);
  }
});
