// The page of every shipped profile's output plays in a browser without Flash and without the
// internet: FLV1 through the emulator the web-ready output folder holds, H.264 through the
// browser's own <video>. Opened from file://, a page the emulator would play says why it does not.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { appDir, chromiumMissing, serve, launch, diff, sleep } from './harness.mjs';

const skip = chromiumMissing() || false;
const MESSAGE = 'This page plays when it is opened through a web server. In Reelmaker, use Watch result.';
const NO_FILES = 'The player files were not found beside this page: copy the ruffle folder of the output folder with it';
// Profile display name -> how its page plays in a browser without Flash.
const PROFILES = [
  ['Low quality(Flash Video Files)', 'ruffle'],
  ['Normal quality(Flash Video Files)', 'ruffle'],
  ['High quality(Flash Video Files)', 'ruffle'],
  ['HD quality(Flash Video Files)', 'ruffle'],
  ['H.264 Flash Video(FLV, H.264/AAC)', 'video'],
  ['MPEG-4 Video(MP4, H.264/AAC)', 'video'],
];
let work, out, browser;
const jobs = new Map();  // profile -> job folder

function run(cmd, args, env) {
  const r = spawnSync(cmd, args, { encoding: 'utf8', env: { ...process.env, ...env }, timeout: 240000 });
  if (r.status !== 0) throw new Error(`${path.basename(cmd)} ${args.join(' ')} -> ${r.status}\n${r.stdout}\n${r.stderr}`);
  return r;
}

function convert(profile, extra = []) {
  const home = path.join(work, 'home');
  const before = new Set(fs.readdirSync(out));
  run(path.join(appDir, 'reelmaker-cli'),
    ['convert', '--output', out, '--profile', profile, '--size', '320x240', '--autoplay', '--swf-type', '2', ...extra,
      path.join(work, 'clip.flv')],
    { HOME: home, XDG_CONFIG_HOME: path.join(home, '.config') });
  const made = fs.readdirSync(out).filter((d) => !before.has(d) && d !== 'ruffle');
  assert.equal(made.length, 1, `one job folder for ${profile}`);
  return path.join(out, made[0]);
}

before(async () => {
  if (skip) return;
  work = fs.mkdtempSync(path.join(os.tmpdir(), 'rm-e2e-profiles-'));
  out = path.join(work, 'out');
  fs.mkdirSync(out);
  fs.mkdirSync(path.join(work, 'home'));
  // A moving picture with sound, long enough to watch it move.
  run('ffmpeg', ['-loglevel', 'error', '-f', 'lavfi', '-i', 'testsrc2=s=320x240:r=25:d=8', '-f', 'lavfi',
    '-i', 'sine=f=440:d=8', '-c:v', 'flv', '-q:v', '4', '-c:a', 'libmp3lame', '-ar', '44100', path.join(work, 'clip.flv')]);
  for (const [profile] of PROFILES) {
    // Clips pause between runs: job folders are named to the second.
    await sleep(1100);
    jobs.set(profile, convert(profile, ['--web-ready']));
  }
  browser = await launch();
});

after(async () => {
  if (browser) await browser.close();
  if (work) fs.rmSync(work, { recursive: true, force: true });
});

// Only the page's own server answers: anything else would be the internet.
async function openOffline(url) {
  const page = await browser.context.newPage();
  const seen = { outside: [], errors: [] };
  page.on('pageerror', (e) => seen.errors.push(String(e)));
  await page.route((u) => !/^(http:\/\/127\.0\.0\.1[:/]|file:)/.test(u.href), (r) => {
    seen.outside.push(r.request().url());
    return r.abort();
  });
  await page.goto(url);
  return { page, seen };
}

async function assertMoves(page, selector) {
  const el = page.locator(selector).first();
  await el.waitFor({ timeout: 20000 });
  const box = await el.boundingBox();
  assert.equal(Math.round(box.width), 320, selector);
  assert.equal(Math.round(box.height), 240, selector);
  // The picture area above the player's controls.
  const clip = { x: box.x, y: box.y, width: box.width, height: box.height - 60 };
  const { PNG } = await import('pngjs');
  let last = PNG.sync.read(await page.screenshot({ clip }));
  for (let i = 0; i < 40; i++) {
    await sleep(250);
    const next = PNG.sync.read(await page.screenshot({ clip }));
    if (diff(last, next, 0, 0, last.width, last.height) > 0.5) return;
    last = next;
  }
  assert.fail(`the picture of ${selector} does not move`);
}

test('every profile\'s page plays from its web-ready output folder, offline', { skip }, async (t) => {
  // The output folder as it would be uploaded: nothing injected, no emulator but its own copy.
  const site = await serve(out, {}, { ruffle: false });
  try {
    for (const [profile, how] of PROFILES) {
      await t.test(profile, async () => {
        const job = jobs.get(profile);
        const html = fs.readdirSync(job).find((f) => f.endsWith('.html'));
        assert.ok(html, 'the page was written');
        const url = `${site.base}/${encodeURIComponent(path.basename(job))}/${encodeURIComponent(html)}`;
        const { page, seen } = await openOffline(url);
        try {
          if (how === 'video') {
            // The player names the file the run wrote; the browser plays an MP4 of it in the
            // player's HTML5 twin, with the skin's bar and the thumbnail as its poster.
            const v = await page.waitForSelector('.rm-twin video', { timeout: 10000 });
            const src = await v.evaluate((e) => e.currentSrc);
            assert.match(src, /\/clip\.mp4$/);
            assert.ok(fs.existsSync(path.join(job, 'clip.mp4')));
            assert.equal(await page.evaluate(() => {
              const poster = document.querySelector('.rm-twin .vjs-poster img');
              return !!poster && poster.src.endsWith('/clip.jpg') && !!document.querySelector('.rm-twin .vjs-control-bar');
            }), true);
            await page.waitForFunction(() => document.querySelector('video').currentTime > 0.3, null, { timeout: 15000 });
            await assertMoves(page, 'video');
          } else {
            await page.waitForFunction(() => {
              const p = document.querySelector('ruffle-embed, ruffle-object');
              return p && p.ruffle && p.ruffle().metadata;
            }, null, { timeout: 20000 });
            await assertMoves(page, 'ruffle-embed, ruffle-object');
          }
          assert.deepEqual(seen.outside, [], 'nothing asked for outside 127.0.0.1');
          assert.deepEqual(seen.errors, []);
        } finally {
          await page.close();
        }
      });
    }
  } finally {
    site.server.closeAllConnections();
    await site.close();
  }
});

test('the output folder holds one complete emulator copy, reused by later runs', { skip }, () => {
  const ruffle = path.join(out, 'ruffle');
  const shipped = fs.readdirSync(path.join(appDir, 'ruffle')).sort();
  assert.deepEqual(fs.readdirSync(ruffle).sort(), shipped);
  assert.deepEqual(fs.readdirSync(out).filter((f) => f.startsWith('.ruffle')), [], 'no half copy left');
  const stamp = fs.statSync(path.join(ruffle, 'ruffle.js')).mtimeMs;
  convert(PROFILES[0][0], ['--web-ready']);
  assert.equal(fs.statSync(path.join(ruffle, 'ruffle.js')).mtimeMs, stamp, 'the copy was reused');
  // A folder that is not web-ready gets no copy.
  const plain = path.join(work, 'plain');
  fs.mkdirSync(plain);
  const saved = out;
  out = plain;
  try {
    convert(PROFILES[0][0], ['--no-web-ready']);
    assert.equal(fs.existsSync(path.join(plain, 'ruffle')), false);
  } finally {
    out = saved;
  }
});

test('opened from file://, an emulator page shows its thumbnail and says why it does not play', { skip }, async () => {
  const job = jobs.get(PROFILES[1][0]);
  const { page, seen } = await openOffline(pathToFileURL(path.join(job, 'clip.html')).href);
  try {
    const box = page.locator('.rm-no-player');
    await box.waitFor({ timeout: 10000 });
    assert.equal(await box.innerText(), MESSAGE);
    assert.equal(await page.locator('embed, ruffle-embed').count(), 0, 'no dead plug-in placeholder');
    const img = page.locator('.rm-no-player img');
    await page.waitForFunction(() => document.querySelector('.rm-no-player img').complete);
    assert.equal(await img.evaluate((e) => e.naturalWidth > 0 && e.src.endsWith('/clip.jpg')), true, 'the thumbnail shows');
    const b = await box.boundingBox();
    assert.deepEqual([Math.round(b.width), Math.round(b.height)], [320, 240]);
    await page.screenshot({ path: path.join(process.env.RM_E2E_WORK || work, 'file-page.png') }).catch(() => {});
    assert.deepEqual(seen.errors, []);
  } finally {
    await page.close();
  }
});

test('opened from file://, a <video> page plays as it is', { skip }, async () => {
  const job = jobs.get(PROFILES[5][0]);
  const { page } = await openOffline(pathToFileURL(path.join(job, 'clip.html')).href);
  try {
    await page.waitForFunction(() => {
      const v = document.querySelector('video');
      return v && v.currentTime > 0.3;
    }, null, { timeout: 15000 });
  } finally {
    await page.close();
  }
});

test('served where no emulator can be had, the page says so instead of a placeholder', { skip }, async () => {
  // The job folder alone: no ruffle/ beside the page or above it, and no internet.
  const job = jobs.get(PROFILES[0][0]);
  const site = await serve(job, {}, { ruffle: false });
  try {
    const { page, seen } = await openOffline(`${site.base}/clip.html`);
    await page.locator('.rm-no-player').waitFor({ timeout: 15000 });
    // Served, the web-server sentence would be false: the page names what is missing.
    assert.equal(await page.locator('.rm-no-player').innerText(), NO_FILES);
    assert.ok(seen.outside.some((u) => u.startsWith('https://unpkg.com/')), 'the public copy was tried last');
    await page.close();
  } finally {
    site.server.closeAllConnections();
    await site.close();
  }
});
