// The HTML5 twin of the designed player, in headless Chromium without Flash and without the
// internet: outputs of the MP4 profile made by reelmaker-cli with a saved design (skin, hidden
// controls, opening credit, picture decoration with a link, auto play, auto hide) play in the
// twin from their web-ready output folder, with nothing injected by the test. The same task's SWF,
// played by the emulator the output folder holds, shows the decoration at the same place.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { PNG } from 'pngjs';
import { appDir, chromiumMissing, here, serve, launch, playerPage, secondChange, waitUntil } from './harness.mjs';

const skip = chromiumMissing() || false;
const PROFILE = 'MPEG-4 Video(MP4, H.264/AAC)';
const NO_FILES = 'The player files were not found beside this page: copy the ruffle folder of the output folder with it';
const W = 480, H = 360;
// The decoration: a magenta picture drawn at 20,20 80x40 in the wizard's preview (its place in
// the player is the design's, read back from the player's design). The picture video is grey:
// magenta is the decoration alone.
const DECO = { x: 20, y: 20 };
const CREDIT_BG = [0, 0, 200];
let work, out, site, browser;
const jobs = {};  // name -> job folder

function run(cmd, args, env) {
  const r = spawnSync(cmd, args, { encoding: 'utf8', env: { ...process.env, ...env }, timeout: 240000 });
  if (r.status !== 0) throw new Error(`${path.basename(cmd)} ${args.join(' ')} -> ${r.status}\n${r.stdout}\n${r.stderr}`);
  return r;
}

// The saved customisation the run takes its design from (the settings file of a fresh home).
function saveDesign(home, values) {
  const colour = ([r, g, b]) => String(r + 256 * g + 65536 * b);
  const v = {
    IsCustom: 1, ProfileName: PROFILE, Width: W, Height: H, dscale: 2.25, dscale_X: 1.5, dscale_Y: 1.5,
    IsGeneralFlv: 1, IsGeneralSwf: 1, SwfType: 1, IsGeneralHtml: 1, IsGeneralThumbnail: 1,
    BackgrounColor: colour([40, 40, 40]), PlayerSkinPath: 'Christmas_h40', EffectSkinPath: 'None', PreloaderSkinPath: 'None',
    IsSkinAutoHide: 1, IsMouseAutoHide: 1, IsSliderAutoHide: 1, hideDelay: 2, IsAutoPlay: 1, IsHideAll: 0,
    IsHideMuteBtn: 1, IsHideFullscreenBtn: 0, IsHidePreNextBtn: 1, IsHidePlaylistBtn: 0, IsHidePlayingprocessBar: 0,
    IsHideVolumeBar: 1, IsHidePlayingTime: 0, IsHidePlayList: 0,
    IsCreditHead: 1, Head_imagePath: '', Head_textContent: 'Opening night', Head_fontType: 'DejaVu Sans', Head_fontSize: 16,
    Head_fontColor: colour([255, 255, 255]), Head_fontX: 40, Head_fontY: 20, Head_backgroundColor: colour(CREDIT_BG),
    Head_duration: 4, IsCreditTail: 0,
    IsDecorate: 1, FileType: 1, Dec_imagePath: path.join(work, 'deco.jpg'), Dec_textContent: '', Dec_fontType: 'DejaVu Sans',
    Dec_fontSize: 8, Dec_fontColor: colour([255, 255, 255]), Dec_X: 20, Dec_Y: 20, Dec_Width: 80, Dec_Height: 40,
    Dec_img_X: 20, Dec_img_Y: 20, Dec_img_Width: 80, Dec_img_Height: 40,
    ...values,
  };
  const dir = path.join(home, '.config', 'Orvane');
  fs.mkdirSync(dir, { recursive: true });
  const lines = ['[custom]', ...Object.entries(v).map(([k, x]) => `${k}="${String(x).replace(/\\/g, '\\\\').replace(/"/g, '\\"')}"`)];
  fs.writeFileSync(path.join(dir, 'Reelmaker.conf'), lines.join('\n') + '\n');
}

// One conversion in a home of its own; returns the new job folder.
function convert(name, design, files, extra = []) {
  const home = path.join(work, `home-${name}`);
  saveDesign(home, design);
  const before = new Set(fs.readdirSync(out));
  run(path.join(appDir, 'reelmaker-cli'), ['convert', '--output', out, '--profile', PROFILE, '--size', `${W}x${H}`,
    ...extra, ...files], { HOME: home, XDG_CONFIG_HOME: path.join(home, '.config') });
  const made = fs.readdirSync(out).filter((d) => !before.has(d) && d !== 'ruffle');
  assert.equal(made.length, 1, `one job folder for ${name}`);
  jobs[name] = path.join(out, made[0]);
  return jobs[name];
}

function clip(file, seconds, extra = '') {
  run('ffmpeg', ['-v', 'error', '-y', '-f', 'lavfi', '-i', `testsrc2=s=320x240:r=25:d=${seconds},hue=s=0${extra}`,
    '-f', 'lavfi', '-i', `sine=f=440:d=${seconds}`, '-c:v', 'mpeg4', '-q:v', '4', '-c:a', 'aac', '-shortest', file]);
}

before(async () => {
  if (skip) return;
  work = fs.mkdtempSync(path.join(os.tmpdir(), 'rm-e2e-twin-'));
  out = path.join(work, 'out');
  fs.mkdirSync(out);
  // The site is up before the conversions: the decoration links to a page of its own.
  site = await serve(out, { '/landing.html': '<!doctype html><title>landing</title><p>landing</p>' }, { ruffle: false });
  clip(path.join(work, 'clip.mp4'), 20);
  clip(path.join(work, 'first.mp4'), 2, ',drawbox=x=0:y=0:w=320:h=120:c=white:t=fill');
  clip(path.join(work, 'second.mp4'), 2, ',drawbox=x=0:y=120:w=320:h=120:c=black:t=fill');
  run('ffmpeg', ['-v', 'error', '-y', '-f', 'lavfi', '-i', 'color=c=0xff00ff:s=80x40:d=0.04', '-frames:v', '1',
    path.join(work, 'deco.jpg')]);
  convert('clip', { Dec_URL: `${site.base}/landing.html` }, [path.join(work, 'clip.mp4')], ['--web-ready']);
  convert('script', { Dec_URL: ' javascript:alert(1)', IsCreditHead: 0 }, [path.join(work, 'clip.mp4')]);
  convert('slide', { IsCreditHead: 0, IsDecorate: 0, IsHidePreNextBtn: 0 },
    [path.join(work, 'first.mp4'), path.join(work, 'second.mp4')], ['--slide']);
  browser = await launch();
});

after(async () => {
  if (browser) await browser.close();
  if (site) {
    site.server.closeAllConnections();
    await site.close();
  }
  if (work) fs.rmSync(work, { recursive: true, force: true });
});

function pageOf(job) {
  return fs.readdirSync(job).find((f) => f.endsWith('.html'));
}

function urlOf(base, job, prefix = '') {
  return `${base}${prefix}/${encodeURIComponent(path.basename(job))}/${encodeURIComponent(pageOf(job))}`;
}

// A page of its own in the shared browser; only 127.0.0.1 answers, as on a machine offline.
async function open(url, viewport = { width: 800, height: 600 }) {
  const page = await browser.context.newPage();
  await page.setViewportSize(viewport);
  const seen = { outside: [], errors: [], requests: [] };
  page.on('pageerror', (e) => seen.errors.push(String(e)));
  page.on('request', (r) => seen.requests.push(r.url()));
  await page.route((u) => !/^(http:\/\/127\.0\.0\.1[:/]|file:|data:|blob:)/.test(u.href), (r) => {
    seen.outside.push(r.request().url());
    return r.abort();
  });
  await page.goto(url);
  return { page, seen };
}

async function grabber(page, selector) {
  const box = await page.locator(selector).first().boundingBox();
  return { box, grab: async () => PNG.sync.read(await page.screenshot({ clip: box })) };
}

// The box of the pixels near a colour (null when there are none).
function boxOf(png, rgb, tol = 90, yMax = png.height) {
  let x0 = Infinity, y0 = Infinity, x1 = -1, y1 = -1;
  for (let y = 0; y < Math.min(yMax, png.height); y++) {
    for (let x = 0; x < png.width; x++) {
      const i = (y * png.width + x) * 4;
      const d = Math.abs(png.data[i] - rgb[0]) + Math.abs(png.data[i + 1] - rgb[1]) + Math.abs(png.data[i + 2] - rgb[2]);
      if (d > tol) continue;
      x0 = Math.min(x0, x); y0 = Math.min(y0, y); x1 = Math.max(x1, x); y1 = Math.max(y1, y);
    }
  }
  return x1 < 0 ? null : { x: x0, y: y0, w: x1 - x0 + 1, h: y1 - y0 + 1 };
}

function shareOf(png, rgb, tol = 60) {
  let hit = 0;
  for (let i = 0; i < png.data.length; i += 4) {
    const d = Math.abs(png.data[i] - rgb[0]) + Math.abs(png.data[i + 1] - rgb[1]) + Math.abs(png.data[i + 2] - rgb[2]);
    if (d <= tol) hit++;
  }
  return hit / (png.width * png.height);
}

const twinState = (page) => page.evaluate(() => {
  const v = document.querySelector('.rm-twin video');
  const bar = document.querySelector('.rm-twin .vjs-control-bar');
  return v && {
    time: v.currentTime, paused: v.paused, muted: v.muted, src: v.currentSrc,
    credit: !document.querySelector('.rm-twin .rm-credit').hidden,
    barOpacity: bar ? Number(getComputedStyle(bar).opacity) : -1,
    fullscreen: !!document.fullscreenElement,
  };
});

test('the twin carries the design: credit first, then play, the skin without the hidden controls, the decoration where the SWF has it', { skip }, async () => {
  const job = jobs.clip;
  for (const f of ['clip.mp4', 'clip.swf', 'clip.html', 'clip.html5.js']) assert.ok(fs.existsSync(path.join(job, f)), f);
  const { page, seen } = await open(urlOf(site.base, job));
  try {
    await page.waitForSelector('.rm-twin video', { timeout: 15000 });
    const { grab } = await grabber(page, '.rm-twin');
    // The opening credit covers the player first (4 s): its background, its text, no video yet.
    let s = await waitUntil(() => twinState(page), (x) => x && x.credit, { timeout: 10000 });
    assert.equal(s.credit, true, 'the credit shows first');
    assert.equal(s.time, 0, 'the video waits for the credit');
    const credit = await grab();
    assert.ok(shareOf(credit, CREDIT_BG) > 0.5, 'the credit background fills the player');
    assert.ok(boxOf(credit, [255, 255, 255], 60, H - 40), 'the credit text is drawn');
    // Then the video plays: the picture changes, and changes again.
    await page.waitForFunction(() => document.querySelector('.rm-twin video').currentTime > 0.2, null, { timeout: 20000 });
    assert.ok(await secondChange(grab, 0, 100, W, 200) > 3, 'the picture moves');
    s = await twinState(page);
    assert.equal(s.credit, false);
    assert.match(s.src, /\/clip\.mp4$/);

    // The skin's bar: Christmas red, the controls the design keeps, none of those it hides,
    // each with an accessible name.
    const names = await page.evaluate(() => [...document.querySelectorAll('.rm-twin .vjs-control-bar button')]
      .filter((b) => getComputedStyle(b).display !== 'none').map((b) => b.getAttribute('aria-label') || b.title || b.innerText.trim()));
    assert.ok(names.some((n) => /^(Play|Pause)$/.test(n)), `play button among ${names}`);
    assert.ok(names.includes('Fullscreen'), `full screen button among ${names}`);
    assert.ok(names.every((n) => n), 'every control has a name');
    assert.equal(await page.locator('.rm-twin .vjs-mute-control').count(), 0, 'the hidden mute button is left out');
    assert.equal(await page.locator('.rm-twin .vjs-volume-control').count(), 0, 'the hidden volume bar is left out');
    assert.equal(await page.locator('.rm-twin .vjs-progress-control').count(), 1);
    const barColour = await page.evaluate(() => getComputedStyle(document.querySelector('.rm-twin .vjs-control-bar')).backgroundImage);
    assert.match(barColour, /rgb\(208, 32, 46\)/, 'the bar takes the skin colours');

    // The decoration, within a few pixels of its place in the design and of the SWF's.
    const text = fs.readFileSync(path.join(job, 'clip.html5.js'), 'utf8');
    const designed = JSON.parse(text.slice(text.indexOf('RmTwinDesign(') + 13, text.lastIndexOf(')'))).player.deco;
    assert.ok(designed.w > 40 && designed.h > 20, JSON.stringify(designed));
    const playing = await grab();
    if (process.env.RM_E2E_SHOTS) fs.writeFileSync(path.join(process.env.RM_E2E_SHOTS, 'twin-christmas.png'), PNG.sync.write(playing));
    const twinDeco = boxOf(playing, [255, 0, 255], 120, H - 40);
    assert.ok(twinDeco, 'the decoration shows while the video plays');
    for (const k of ['x', 'y', 'w', 'h']) assert.ok(Math.abs(twinDeco[k] - designed[k]) <= 3, `twin ${k}: ${twinDeco[k]} vs ${designed[k]}`);

    // Auto hide: with the mouse still, the bar goes after the design's delay (2 s) while playing.
    await page.waitForFunction(() => {
      const bar = document.querySelector('.rm-twin .vjs-control-bar');
      return document.querySelector('.rm-twin .video-js').classList.contains('vjs-user-inactive') && Number(getComputedStyle(bar).opacity) === 0;
    }, null, { timeout: 15000 });
    assert.equal((await twinState(page)).paused, false);

    // A click on the decoration opens its http link in a new window; the video plays on.
    const [popup] = await Promise.all([
      page.waitForEvent('popup', { timeout: 10000 }),
      page.mouse.click((await page.locator('.rm-twin').boundingBox()).x + DECO.x + 20, (await page.locator('.rm-twin').boundingBox()).y + DECO.y + 20),
    ]);
    await popup.waitForLoadState();
    assert.equal(popup.url(), `${site.base}/landing.html`);
    await popup.close();
    assert.deepEqual(seen.outside, [], 'nothing asked for outside 127.0.0.1');
    assert.deepEqual(seen.errors, []);
    await page.close();

    // The same task's SWF, played by the emulator of the output folder, has it at the same place.
    const swfDeco = await swfDecoration(job);
    for (const k of ['x', 'y', 'w', 'h']) assert.ok(Math.abs(twinDeco[k] - swfDeco[k]) <= 3, `twin ${k} ${twinDeco[k]} vs SWF ${swfDeco[k]}`);
  } finally {
    if (!page.isClosed()) await page.close();
  }
});

// Where the SWF of the same task shows its decoration, played by the output folder's emulator.
async function swfDecoration(job) {
  const swf = `/${encodeURIComponent(path.basename(job))}/clip.swf`;
  const page = await browser.context.newPage();
  await page.setViewportSize({ width: 800, height: 600 });
  await page.route('**/swf-reference.html', (r) => r.fulfill({ contentType: 'text/html', body: playerPage(swf, W, H) }));
  try {
    await page.goto(`${site.base}/swf-reference.html`);
    const grab = async () => {
      // The emulator cannot decode H.264 from MP4 and offers the video in a window of its own
      // over the player: kept out of the way, the player's stage is what is compared.
      await page.evaluate(() => {
        const modal = document.getElementById('player')?.shadowRoot?.getElementById('video-modal');
        if (modal) modal.classList.add('hidden');
      });
      return PNG.sync.read(await page.screenshot({ clip: { x: 0, y: 0, width: W, height: H } }));
    };
    // After its credit the SWF plays and shows the decoration.
    const png = await waitUntil(grab, (p) => boxOf(p, [255, 0, 255], 120, H - 40) !== null, { timeout: 30000 });
    if (process.env.RM_E2E_SHOTS) fs.writeFileSync(path.join(process.env.RM_E2E_SHOTS, 'swf-christmas.png'), PNG.sync.write(png));
    const box = boxOf(png, [255, 0, 255], 120, H - 40);
    assert.ok(box, 'the SWF shows its decoration');
    return box;
  } finally {
    await page.close();
  }
}

test('a decoration whose link is a script opens nothing', { skip }, async () => {
  const { page, seen } = await open(urlOf(site.base, jobs.script));
  try {
    await page.waitForSelector('.rm-twin .rm-deco', { state: 'visible', timeout: 20000 });
    assert.equal(await page.locator('.rm-twin a.rm-deco').count(), 0, 'no link element');
    const popups = [];
    const dialogs = [];
    page.on('popup', (p) => popups.push(p.url()));
    page.on('dialog', async (d) => { dialogs.push(d.message()); await d.dismiss(); });
    const box = await page.locator('.rm-twin').boundingBox();
    const at = { x: box.x + DECO.x + 20, y: box.y + DECO.y + 20 };
    // What lies under the pointer there is the decoration, and no link.
    assert.deepEqual(await page.evaluate(({ x, y }) => {
      const e = document.elementFromPoint(x, y);
      return { deco: !!e.closest('.rm-deco'), link: !!e.closest('a[href]') };
    }, at), { deco: true, link: false });
    await page.mouse.click(at.x, at.y);
    await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => r())));  // the click was handled
    assert.deepEqual(popups, []);
    assert.deepEqual(dialogs, [], 'the script did not run');
    // The rule the twin shares with the SWF: http, https, mailto and relative links only, read as
    // a browser reads them.
    const cases = [
      ['http://example.org/a', 'http://example.org/a'], ['HTTPS://example.org', 'HTTPS://example.org'],
      ['mailto:me@example.org', 'mailto:me@example.org'], ['more/page.html', 'more/page.html'],
      ['  http://example.org/ ', 'http://example.org/'], ['http://', null], ['mailto:', null], ['', null],
      ['javascript:alert(1)', null], [' JaVaScRiPt:alert(1)', null], ['java\tscript:alert(1)', null],
      ['\u0000javascript:alert(1)', null], ['data:text/html,hi', null], ['vbscript:x', null], ['file:///etc/passwd', null],
    ];
    const got = await page.evaluate((list) => list.map(([u]) => window.RmTwin.decorationLink(u)), cases);
    assert.deepEqual(got, cases.map(([, want]) => want));
    assert.deepEqual(seen.errors, []);
  } finally {
    await page.close();
  }
});

test('keyboard: space pauses and plays, the arrows seek, M mutes, F toggles full screen', { skip }, async () => {
  const { page } = await open(urlOf(site.base, jobs.script));
  try {
    await page.waitForFunction(() => document.querySelector('.rm-twin video')?.currentTime > 0.3, null, { timeout: 20000 });
    await page.keyboard.press('Space');
    let s = await waitUntil(() => twinState(page), (x) => x.paused);
    assert.equal(s.paused, true, 'space pauses');
    const t = s.time;
    await page.keyboard.press('ArrowRight');
    s = await waitUntil(() => twinState(page), (x) => x.time > t + 3);
    assert.ok(s.time > t + 3, `right arrow seeks forward (${t} -> ${s.time})`);
    await page.keyboard.press('ArrowLeft');
    s = await waitUntil(() => twinState(page), (x) => x.time < t + 2);
    assert.ok(s.time < t + 2, 'left arrow seeks back');
    await page.keyboard.press('Space');
    s = await waitUntil(() => twinState(page), (x) => !x.paused);
    assert.equal(s.paused, false, 'space plays again');
    await page.keyboard.press('m');
    s = await waitUntil(() => twinState(page), (x) => x.muted);
    assert.equal(s.muted, true, 'M mutes');
    await page.keyboard.press('M');
    s = await waitUntil(() => twinState(page), (x) => !x.muted);
    assert.equal(s.muted, false, 'M again brings the sound back');
    await page.keyboard.press('f');
    s = await waitUntil(() => twinState(page), (x) => x.fullscreen);
    assert.equal(s.fullscreen, true, 'F goes full screen');
    await page.keyboard.press('f');
    s = await waitUntil(() => twinState(page), (x) => !x.fullscreen);
    assert.equal(s.fullscreen, false, 'F again leaves it');
  } finally {
    await page.close();
  }
});

test('a slide group of two MP4 members plays the first, then the second', { skip }, async () => {
  const job = jobs.slide;
  const { page, seen } = await open(urlOf(site.base, job));
  try {
    await page.waitForSelector('.rm-twin video', { timeout: 15000 });
    let s = await waitUntil(() => twinState(page), (x) => x.time > 0.2 && /\/first[^/]*\.mp4$/.test(x.src));
    assert.match(s.src, /\/first[^/]*\.mp4$/);
    // The playlist's own controls: back and next (not hidden here) and the playlist button.
    for (const name of ['Previous video', 'Next video', 'Playlist'])
      assert.equal(await page.getByRole('button', { name, exact: true }).count(), 1, name);
    s = await waitUntil(() => twinState(page), (x) => x.time > 0.2 && /\/second[^/]*\.mp4$/.test(x.src), { timeout: 30000 });
    assert.match(s.src, /\/second[^/]*\.mp4$/, 'the second member follows');
    assert.equal(s.paused, false);
    // The picture is the second member's: black below, not white above.
    const { grab } = await grabber(page, '.rm-twin video');
    const png = await grab();
    assert.ok(shareOf(png, [0, 0, 0], 40) > 0.3, 'the second member is shown');
    assert.deepEqual(seen.errors, []);
  } finally {
    await page.close();
  }
});

test('a phone-sized window shows the whole player, scaled to its width', { skip }, async () => {
  const { page } = await open(urlOf(site.base, jobs.script), { width: 360, height: 640 });
  try {
    await page.waitForSelector('.rm-twin .vjs-control-bar', { timeout: 15000 });
    const box = await page.locator('.rm-twin').boundingBox();
    assert.ok(box.x >= 0 && box.x + box.width <= 360, `inside the window: ${JSON.stringify(box)}`);
    assert.ok(box.width >= 300, 'uses the width there is');
    assert.ok(Math.abs(box.height / box.width - H / W) < 0.02, 'keeps its shape');
    const bar = await page.locator('.rm-twin .vjs-control-bar').boundingBox();
    assert.ok(bar.x >= box.x - 1 && bar.x + bar.width <= box.x + box.width + 1 && bar.y + bar.height <= box.y + box.height + 1,
      'the bar is inside the player');
    const full = await page.getByRole('button', { name: 'Fullscreen' }).boundingBox();
    assert.ok(full && full.x + full.width <= 360, 'the last control is on screen');
  } finally {
    await page.close();
  }
});

test('the web-ready folder, copied elsewhere and served by another user, plays; a page without the player files says what is missing', { skip }, async (t) => {
  // The players were copied once into the output folder, readable by everyone.
  const ruffle = path.join(out, 'ruffle');
  assert.equal(fs.statSync(ruffle).mode & 0o777, 0o755);
  for (const f of fs.readdirSync(ruffle)) assert.equal(fs.statSync(path.join(ruffle, f)).mode & 0o777, 0o644, f);
  for (const f of ['ruffle.js', 'twin.js', 'twin.css', 'video.core.min.js', 'video-js.min.css'])
    assert.ok(fs.existsSync(path.join(ruffle, f)), f);

  await t.test('served by another user from a copy below a sub-path', async (tt) => {
    if (process.getuid() !== 0) return tt.skip('needs root to serve as another user');
    const site2 = fs.mkdtempSync(path.join(os.tmpdir(), 'rm-e2e-twin-site-'));
    fs.chmodSync(site2, 0o755);
    const copy = path.join(site2, 'videos', 'party');
    fs.mkdirSync(path.dirname(copy), { recursive: true, mode: 0o755 });
    fs.chmodSync(path.dirname(copy), 0o755);
    run('cp', ['-r', out, copy]);
    const server = spawn('setpriv', ['--reuid=nobody', '--regid=nogroup', '--clear-groups', process.execPath,
      path.join(here, 'static_server.mjs'), site2], { stdio: ['ignore', 'pipe', 'inherit'] });
    try {
      const port = await new Promise((resolve, reject) => {
        let text = '';
        server.stdout.on('data', (d) => { text += d; const m = /port (\d+)/.exec(text); if (m) resolve(Number(m[1])); });
        server.on('exit', (c) => reject(new Error(`the server ended: ${c}`)));
      });
      const base = `http://127.0.0.1:${port}`;
      const job = path.join(copy, path.basename(jobs.clip));
      const { page, seen } = await open(urlOf(base, job, '/videos/party'));
      try {
        await page.waitForFunction(() => document.querySelector('.rm-twin video')?.currentTime > 0.3, null, { timeout: 30000 });
        assert.ok(seen.requests.some((u) => u === `${base}/videos/party/ruffle/twin.js`), 'the twin came from the copy one folder up');
        assert.deepEqual(seen.outside, []);
      } finally {
        await page.close();
      }
    } finally {
      server.kill();
      fs.rmSync(site2, { recursive: true, force: true });
    }
  });

  await t.test('served without the player files', async () => {
    const bare = await serve(jobs.clip, {}, { ruffle: false });
    try {
      const { page, seen } = await open(`${bare.base}/clip.html`);
      try {
        const message = page.locator('.rm-player-message');
        await message.waitFor({ timeout: 15000 });
        assert.equal(await message.innerText(), NO_FILES);
        // The video still plays, with the browser's own controls.
        await page.waitForFunction(() => document.querySelector('video')?.currentTime > 0.3, null, { timeout: 20000 });
        assert.deepEqual(seen.outside, [], 'no player is fetched from another site');
      } finally {
        await page.close();
      }
    } finally {
      bare.server.closeAllConnections();
      await bare.close();
    }
  });
});
