// Sources whose names hold URL syntax ('#', '%', '?', ':') or blanks and control characters,
// converted by reelmaker-cli and played by Ruffle in headless Chromium: each player finds its
// thumbnail and its video, and a slide group's playlist plays its members one after the other.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import * as h from './harness.mjs';

const skip = h.chromiumMissing() || false;
const NAMES = ['Episode #3', '100% done', 'what? now: 1+1', 'tab\there', 'new\nline'];
// Each name's picture has a corner of its own colour, so a wrong file would show.
const CORNERS = [['red', [255, 0, 0]], ['blue', [0, 0, 255]], ['lime', [0, 255, 0]], ['yellow', [255, 255, 0]],
  ['magenta', [255, 0, 255]]];
let work, out, site, browser;
const players = new Map();  // name -> { dir, swf }

function run(cmd, args, env) {
  const r = spawnSync(cmd, args, { encoding: 'utf8', env: { ...process.env, ...env }, timeout: 300000 });
  if (r.status !== 0) throw new Error(`${path.basename(cmd)} ${args.join(' ')} -> ${r.status}\n${r.stdout}\n${r.stderr}`);
  return r;
}

// The job folders below the output folder, with the SWF each holds.
function jobs() {
  const found = [];
  for (const dir of fs.readdirSync(out)) {
    for (const f of fs.readdirSync(path.join(out, dir))) if (f.endsWith('.swf')) found.push({ dir, swf: f });
  }
  return found;
}

before(async () => {
  if (skip) return;
  work = fs.mkdtempSync(path.join(os.tmpdir(), 'rm-e2e-names-'));
  const src = path.join(work, 'src');
  fs.mkdirSync(src);
  // 3 s sources
  NAMES.forEach((name, i) => run('ffmpeg', ['-v', 'error', '-y', '-f', 'lavfi', '-i',
    `testsrc2=s=320x240:r=25:d=3,drawbox=x=0:y=0:w=60:h=60:c=${CORNERS[i][0]}:t=fill`, '-f', 'lavfi', '-i', 'sine=d=3',
    '-c:v', 'mpeg4', '-c:a', 'aac', '-shortest', path.join(src, `${name}.mp4`)]));
  const home = path.join(work, 'home');
  fs.mkdirSync(home);
  const env = { HOME: home, XDG_CONFIG_HOME: path.join(home, '.config') };
  const cli = path.join(h.appDir, 'reelmaker-cli');
  out = path.join(work, 'out');
  run(cli, ['convert', '--output', out, '--size', '320x240', '--swf-type', '2', ...NAMES.map((n) => path.join(src, `${n}.mp4`))], env);
  for (const j of jobs()) players.set(j.swf.slice(0, -4), j);
  run(cli, ['convert', '--output', out, '--size', '320x240', '--autoplay', '--slide',
    path.join(src, `${NAMES[0]}.mp4`), path.join(src, `${NAMES[1]}.mp4`)], env);
  for (const j of jobs()) if (!players.has(j.swf.slice(0, -4))) players.set('slide', j);
  site = await h.serve(out);
  browser = await h.launch();
});

after(async () => {
  if (browser) await browser.close();
  if (site) {
    site.server.closeAllConnections();
    await site.close();
  }
  if (work) fs.rmSync(work, { recursive: true, force: true });
});

// Opens one player on a page of its own and notes every answer the site gave.
async function open(key) {
  const j = players.get(key);
  assert.ok(j, `no player for ${JSON.stringify(key)} among ${JSON.stringify([...players.keys()])}`);
  const swfUrl = `/${encodeURIComponent(j.dir)}/${encodeURIComponent(j.swf)}`;
  const page = await browser.context.newPage();
  const answers = [];
  page.on('response', (r) => answers.push(`${r.status()} ${decodeURIComponent(new URL(r.url()).pathname)}`));
  page.on('requestfailed', (r) => answers.push(`failed ${r.url()}`));
  await page.route('**/player.html', (route) => route.fulfill({ contentType: 'text/html', body: h.playerPage(swfUrl, 320, 240) }));
  await page.goto(`${site.base}/player.html`);
  await h.waitLoaded(page);
  return { page, answers, j };
}

const bad = (answers) => answers.filter((a) => !a.startsWith('200 '));

for (const name of NAMES) {
  test(`${JSON.stringify(name)}: the player shows its thumbnail and plays its video`, { skip }, async () => {
    const { page, answers, j } = await open(name);
    // Without auto play the thumbnail waits behind the play button: its corner has the name's colour
    // (before that the page is white, then the stage black, for as long as the machine takes).
    const rgb = CORNERS[NAMES.indexOf(name)][1];
    const corner = (png) => h.share(png, 10, 10, 40, 40, rgb, 90);
    const idle = await h.waitUntil(() => h.shot(page, 320, 240), (png) => corner(png) > 0.8);
    assert.ok(corner(idle) > 0.8, `no thumbnail (${corner(idle)} of its corner has its colour)`);
    await page.mouse.click(160, 110);
    const moved = await h.secondChange(() => h.shot(page, 320, 240), 4, 4, 312, 190);
    assert.ok(moved > 3, `the video does not play (${moved.toFixed(2)})`);
    // The stream's answer is logged once it has been sent, which a busy machine can delay.
    const fetched = () => answers.some((x) => x === `200 /${j.dir}/${name}.flv`);
    for (let i = 0; i < 40 && !fetched(); ++i) await h.sleep(250);
    assert.ok(fetched(), `the video was not fetched: ${answers.join(' | ')}`);
    assert.ok(answers.some((x) => x === `200 /${j.dir}/${name}.jpg`), `the thumbnail was not fetched: ${answers.join(' | ')}`);
    assert.deepEqual(bad(answers), []);
    await page.close();
  });
}

test('a slide group of such names plays both members', { skip }, async () => {
  const { page, answers, j } = await open('slide');
  const grab = () => h.shot(page, 320, 240);
  const moved = await h.secondChange(grab, 4, 4, 312, 190);
  assert.ok(moved > 3, `the first member does not play (${moved.toFixed(2)})`);
  // The members' files carry their names (with a number when the group needs one).
  const fetched = (name) => answers.some((x) => x.startsWith(`200 /${j.dir}/${name}`) && x.endsWith('.flv'));
  // the second member (blue corner) follows the first (red corner)
  const blue = (png) => h.share(png, 10, 10, 20, 20, CORNERS[1][1], 120) > 0.5;
  const second = blue(await h.waitUntil(grab, (png) => fetched(NAMES[1]) && blue(png), { timeout: 30000 })) && fetched(NAMES[1]);
  assert.ok(second, `the second member did not play: ${answers.join(' | ')}`);
  assert.ok(fetched(NAMES[0]), 'the first member was not fetched');
  assert.deepEqual(bad(answers), []);
  await page.close();
});

for (const name of NAMES.slice(0, 2)) {
  test(`${JSON.stringify(name)}: the page written beside the player plays it`, { skip }, async () => {
    const j = players.get(name);
    // The job folder is the site, so "ruffle/ruffle.js" beside the page is answered.
    const jobSite = await h.serve(path.join(out, j.dir));
    const page = await browser.context.newPage();
    const answers = [];
    page.on('response', (r) => answers.push(`${r.status()} ${decodeURIComponent(new URL(r.url()).pathname)}`));
    await page.goto(`${jobSite.base}/${encodeURIComponent(name)}.html`);
    const player = page.locator('ruffle-embed, ruffle-object').first();
    await player.waitFor({ timeout: 20000 });
    await page.waitForFunction(() => {
      const p = document.querySelector('ruffle-embed, ruffle-object');
      return p && p.ruffle && p.ruffle().metadata;
    }, null, { timeout: 20000 });
    const box = await player.boundingBox();
    // Ruffle's hint about hardware acceleration would cover the player at the first mouse-over.
    await page.evaluate(() => {
      const p = document.querySelector('ruffle-embed, ruffle-object');
      const modal = p.shadowRoot && p.shadowRoot.getElementById('hardware-acceleration-modal');
      if (modal) modal.remove();
    });
    await h.sleep(500);
    await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2 - 10);
    const clip = { x: box.x, y: box.y, width: box.width, height: box.height };
    const { PNG } = await import('pngjs');
    const grab = async () => PNG.sync.read(await page.screenshot({ clip }));
    const moved = await h.secondChange(grab, 4, 4, Math.floor(box.width) - 8, Math.floor(box.height) - 50);
    assert.ok(moved > 3, `the video does not play (${moved.toFixed(2)})`);
    assert.ok(answers.includes(`200 /${name}.swf`), `the player was not fetched: ${answers.join(' | ')}`);
    assert.ok(answers.includes(`200 /${name}.flv`), `the video was not fetched: ${answers.join(' | ')}`);
    assert.deepEqual(bad(answers), []);
    await page.close();
    jobSite.server.closeAllConnections();
    await jobSite.close();
  });
}
