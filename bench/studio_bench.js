// Varnholt Studio's targets, measured in headless Chromium as a map maker meets them: a map
// opened through the file input until every tile in view is drawn, and until the survey and the
// minimap are current too, with the renderer's memory; frames a second while the view pans and
// zooms about the map's middle; a path query of the automation interface; a 64 x 64 stroke
// analysed and drawn again; every problem listed and the last reached by Shift+N; the first
// split's fix found, applied by the mouse and undone; a stroke of the 64-cell brush of 20 moves
// by the mouse (the sign of work, the side panel current again after it, the frames meanwhile);
// and fills by the mouse of a walled region larger than the view and of the ground at the middle
// of the map. With --screenshot FILE SAMPLE it also draws the sample
// map with a path and the ground it crosses looked at, as README shows it.
//   node bench/studio_bench.js build/varnholt-studio.html MAP... [--screenshot FILE SAMPLE]
'use strict';

const path = require('node:path');
const {execSync} = require('node:child_process');
const {chromium} = require(path.join(__dirname, '../studio/node_modules/playwright-core'));

const [studio, ...rest] = process.argv.slice(2);
const shotAt = rest.indexOf('--screenshot');
const maps = shotAt < 0 ? rest : rest.slice(0, shotAt);

function rendererMegabytes() {
  let kilobytes = 0;
  for (const line of execSync('ps -eo rss,args').toString().split('\n')) {
    if (/chrom.*--type=renderer/.test(line)) kilobytes += Number(line.trim().split(/\s+/)[0]);
  }
  return Math.round(kilobytes / 1024);
}

const idle = (page) => page.evaluate(() => window.varnholtStudio.idle());
const view = (page, wanted) => page.evaluate((next) => window.varnholtStudio.view(next), wanted);

async function opened(page, file) {
  const started = Date.now();
  await page.setInputFiles('#open-file', file);
  await page.waitForFunction(() => document.querySelector('#note').textContent.startsWith('Opened') && window.varnholtStudio.drawn(), null, {timeout: 120000, polling: 20});
  const shown = Date.now() - started;
  await idle(page);
  return {shown, current: Date.now() - started};
}

// Pan in circles about the middle, zooming in and out between a whole quarter and 4 px a cell.
function panAndZoom(page, side) {
  return page.evaluate(async (cells) => {
    let frames = 0;
    const start = performance.now();
    while (performance.now() - start < 4000) {
      await new Promise((resolve) => requestAnimationFrame(resolve));
      const t = (performance.now() - start) / 1000;
      const scale = Math.pow(2, 2 + 3 * Math.sin(t)) / 16 * (cells / 4096);
      window.varnholtStudio.view({scale, row: cells / 2 + (cells / 8) * Math.sin(t / 2) - 400 * scale, column: cells / 2 + (cells / 8) * Math.cos(t / 2) - 640 * scale});
      ++frames;
    }
    return frames / ((performance.now() - start) / 1000);
  }, side);
}

// A path between the first open cells of two rows a quarter and three quarters down.
function pathQuery(page, side) {
  return page.evaluate(async (cells) => {
    const studio = window.varnholtStudio, ends = [];
    for (const row of [Math.floor(cells / 4), Math.floor((3 * cells) / 4)]) {
      for (let column = Math.floor(cells / 8); column < cells && ends.length < (row === Math.floor(cells / 4) ? 1 : 2); column += 7) {
        if (await studio.findPath(row, column, row, column).catch(() => null)) ends.push([row, column]);
      }
    }
    const start = performance.now();
    const found = await studio.findPath(ends[0][0], ends[0][1], ends[1][0], ends[1][1]).catch((error) => error.message);
    return {milliseconds: performance.now() - start, cells: typeof found === 'string' ? found : found.length};
  }, side);
}

// 64 x 64 strokes through the interface, each begun as a frame begins: the median time until it
// is drawn, and how often in the next frame.
function strokes(page, side) {
  return page.evaluate(async (cells) => {
    const studio = window.varnholtStudio;
    studio.view({scale: 1, row: cells / 2 - 300, column: cells / 2 - 500});
    await studio.idle();
    const times = [];
    let nextFrame = 0;
    for (let k = 0; k < 9; ++k) {
      // Strokes seconds apart, as a map maker's are: the survey after the last is in.
      await studio.idle();
      await new Promise((resolve) => requestAnimationFrame(resolve));
      let frames = 0, counting = true;
      const count = () => {
        if (!counting) return;
        ++frames;
        requestAnimationFrame(count);
      };
      requestAnimationFrame(count);
      const start = performance.now();
      await studio.setCells(cells / 2 + 11 * k, cells / 2 + 17 * k, 64, 64, new Uint8Array(64 * 64).fill(k % 2 === 0 ? 1 : 0));
      while (!studio.drawn()) await new Promise((resolve) => requestAnimationFrame(resolve));
      counting = false;
      times.push(performance.now() - start);
      if (frames <= 1) ++nextFrame;
    }
    times.sort((a, b) => a - b);
    for (let k = 0; k < 9; ++k) await studio.undo();
    return {milliseconds: times[4], nextFrame};
  }, side);
}

const count = (n) => n.toLocaleString('en-US');

// Every problem listed, and the last reached from none by Shift+N: when the panel says so, and
// when its ground is shown; then N round to the first.
async function problems(page) {
  const listed = await page.evaluate(() => window.varnholtStudio.problems());
  const total = listed.splitComponents + listed.lostComponents;
  const all = listed.splits.length === listed.splitComponents && listed.lost.length === listed.lostComponents;
  const box = await page.locator('#overlay').boundingBox();
  await page.mouse.move(box.x + 20, box.y + 20);
  const step = async (key, position) => {
    const started = Date.now();
    await page.keyboard.press(key);
    await page.waitForFunction((text) => document.querySelector('#problem-position').textContent === text, position, {polling: 5});
    const told = Date.now() - started;
    await idle(page);
    return `${told} ms, its ground shown in ${Date.now() - started} ms`;
  };
  const last = await step('Shift+N', `${count(total)} of ${count(total)}`);
  const first = await step('n', `1 of ${count(total)}`);
  await page.keyboard.press('Escape');
  await idle(page);
  return `${count(listed.splitComponents)} splits and ${count(listed.lostComponents)} unreachable places, ${all ? 'every one' : 'NOT all'} listed; ` +
    `Shift+N to the last ${last}; N round to the first ${first}`;
}

// The first split chosen by a click on its entry, from the last problem chosen: the time until
// what mends it is shown; then Apply, by the mouse, until the map is drawn with it and the panels
// are current; then Ctrl+Z.
async function splitFix(page) {
  const listed = await page.evaluate(() => window.varnholtStudio.problems());
  if (listed.splitComponents === 0) return 'no split';
  const box = await page.locator('#overlay').boundingBox();
  await page.mouse.move(box.x + 20, box.y + 20);
  await page.keyboard.press('Shift+N');
  await idle(page);
  let started = Date.now();
  await page.click('#splits li:first-child button');
  await page.waitForFunction(() => { const fix = window.varnholtStudio.fixes(); return fix && fix.index === 0; }, null, {timeout: 120000, polling: 5});
  const found = Date.now() - started;
  const fix = await page.evaluate(() => window.varnholtStudio.fixes());
  const blocked = fix.block.length > 0;
  if (!blocked && fix.open.length === 0) return `no fix found, in ${found} ms`;
  await page.evaluate(() => { document.querySelector('#note').textContent = ''; });
  started = Date.now();
  await page.click(blocked ? '#fix-block-apply' : '#fix-open-apply');
  await page.waitForFunction(() => /^(Blocked|Opened)/.test(document.querySelector('#note').textContent) && window.varnholtStudio.drawn(), null, {timeout: 120000, polling: 5});
  const applied = Date.now() - started;
  await idle(page);
  const current = Date.now() - started;
  const after = await page.evaluate(() => window.varnholtStudio.problems().splitComponents);
  await page.keyboard.press('Control+z');
  await page.keyboard.press('Escape');
  await idle(page);
  return `found in ${found} ms (${fix.block.length} to block, ${fix.open.length} to open); ${blocked ? 'blocked' : 'opened'} and drawn ` +
    `${applied} ms after the click, panels current after ${current} ms, splits ${count(listed.splitComponents)} → ${count(after)}`;
}

// A stroke of the 64-cell brush, 20 moves of the mouse a frame apart, at View: when the page first
// shows it is behind or working, when after the release the side panel is current again, and the
// frames drawn meanwhile with the longest wait between two.
async function strokeAt(page, wanted) {
  await view(page, wanted);
  await idle(page);
  await page.keyboard.press('b');
  await page.fill('#brush-size', '64');
  const box = await page.locator('#overlay').boundingBox();
  await page.evaluate(() => {
    const probe = window.strokeProbe = {frames: [], sign: null, start: 0, stop: false};
    const tick = (now) => { probe.frames.push(now); if (!probe.stop) requestAnimationFrame(tick); };
    requestAnimationFrame(tick);
    const watch = () => {
      const behind = document.querySelector('#problems-state').textContent !== '' || !document.querySelector('#busy').hidden;
      if (probe.sign === null && behind) probe.sign = performance.now();
      if (!probe.stop) setTimeout(watch, 2);
    };
    watch();
  });
  const x0 = box.x + box.width / 4, y0 = box.y + box.height / 2;
  await page.mouse.move(x0, y0);
  await page.evaluate(() => { window.strokeProbe.start = performance.now(); });
  await page.mouse.down();
  for (let k = 1; k <= 20; ++k) {
    await page.mouse.move(x0 + k * 20, y0 + (k % 2) * 12);
    await page.waitForTimeout(16);
  }
  await page.mouse.up();
  const released = await page.evaluate(() => performance.now());
  await page.waitForFunction(() => document.querySelector('#problems-state').textContent === '' && document.querySelector('#busy').hidden, null, {timeout: 60000, polling: 5});
  const result = await page.evaluate((up) => {
    const probe = window.strokeProbe, end = performance.now();
    probe.stop = true;
    const frames = probe.frames.filter((at) => at >= probe.start && at <= end);
    let longest = 0;
    for (let k = 1; k < frames.length; ++k) longest = Math.max(longest, frames[k] - frames[k - 1]);
    return {sign: probe.sign - probe.start, current: end - up, fps: (frames.length - 1) / ((end - probe.start) / 1000), longest};
  }, released);
  await page.keyboard.press('Control+z');
  await idle(page);
  return `sign of work ${result.sign.toFixed(0)} ms after the press, side panel current ${result.current.toFixed(0)} ms after the release, ` +
    `${result.fps.toFixed(0)} frames/s meanwhile (longest frame ${result.longest.toFixed(0)} ms)`;
}

async function brushStroke(page, side) {
  await page.keyboard.press('0');
  const whole = await strokeAt(page, await view(page));
  const near = await strokeAt(page, {scale: 1, row: side / 2 - 300, column: side / 2 - 500});
  return `the whole map in view: ${whole}; at 1 pixel a cell: ${near}`;
}

// An open cell near Cell, looking along its row.
function openNear(page, [row, column]) {
  return page.evaluate(async ([r, c]) => {
    for (let k = 0; k < 4096; ++k) {
      if (await window.varnholtStudio.findPath(r, c + k, r, c + k).then(() => true, () => false)) return [r, c + k];
    }
    return null;
  }, [row, column]);
}

// A fill by the mouse at Cell, the view at 1 pixel a cell about it: its size as the ground looked
// at first tells it, against what the fill says it filled, and the time from the click until the
// fill is drawn.
async function fillAt(page, cell) {
  await view(page, {scale: 1, row: cell[0] - 300, column: cell[1] - 450});
  await page.evaluate(([row, column]) => window.varnholtStudio.look(row, column), cell);
  await idle(page);
  const ground = await page.evaluate(() => window.varnholtStudio.ground());
  await page.keyboard.press('Escape');
  await idle(page);
  await page.keyboard.press('f');
  const box = await page.locator('#overlay').boundingBox(), at = await view(page);
  await page.evaluate(() => {
    document.querySelector('#note').textContent = '';
    document.querySelector('#error').hidden = true;
  });
  const started = Date.now();
  await page.mouse.click(box.x + (cell[1] + 0.5 - at.column) / at.scale, box.y + (cell[0] + 0.5 - at.row) / at.scale);
  await page.waitForFunction(() => (/^Filled/.test(document.querySelector('#note').textContent) && window.varnholtStudio.drawn()) ||
    !document.querySelector('#error').hidden, null, {timeout: 120000, polling: 5});
  const drawn = Date.now() - started;
  if (await page.isVisible('#error')) return `${count(ground.cells)} cells, refused after ${drawn} ms: ${await page.textContent('#error')}`;
  const filled = Number((await page.textContent('#note')).match(/Filled ([\d,]+)/)[1].replace(/,/g, ''));
  const {top, bottom, left, right} = ground.segments;
  await page.keyboard.press('Control+z');
  await idle(page);
  return `${count(filled)} cells (the ground: ${count(ground.cells)}), ${(bottom - top + 1) * 64} x ${(right - left + 1) * 64} cells across, drawn ${drawn} ms after the click`;
}

// Fills of a region walled in, 1536 cells a side (half the map's side on smaller maps), larger
// than the view, and of the ground at the map's middle as it is.
async function fills(page, side) {
  const middle = Math.floor(side / 2), half = Math.min(768, side / 4);
  const walls = [[middle - half, middle - half, 2, 2 * half], [middle + half, middle - half, 2, 2 * half + 2],
    [middle - half, middle - half, 2 * half, 2], [middle - half, middle + half, 2 * half, 2]];
  for (const [row, column, rows, columns] of walls) {
    await page.evaluate((args) => window.varnholtStudio.setCells(...args, new Uint8Array(args[2] * args[3]).fill(1)), [row, column, rows, columns]);
  }
  const walled = await fillAt(page, await openNear(page, [middle, middle]));
  for (let k = 0; k < walls.length; ++k) await page.evaluate(() => window.varnholtStudio.undo());
  const whole = await fillAt(page, await openNear(page, [middle, middle]));
  return `walled in: ${walled}; the ground at the middle: ${whole}`;
}

async function screenshot(browser, file, sample) {
  const page = await browser.newPage({viewport: {width: 1280, height: 760}});
  await page.goto(`file://${path.resolve(studio)}`);
  await page.waitForFunction(() => window.varnholtStudio);
  await opened(page, sample);
  const at = async (row, column) => {
    const now = await view(page), box = await page.locator('#overlay').boundingBox();
    return [box.x + (column + 0.5 - now.column) / now.scale, box.y + (row + 0.5 - now.row) / now.scale];
  };
  await page.mouse.click(...await at(10, 10));
  await page.waitForFunction(() => /goal/.test(document.querySelector('#path-facts').textContent));
  await page.mouse.click(...await at(470, 40));
  await page.waitForFunction(() => /shortest/.test(document.querySelector('#path-facts').textContent));
  // The ground the path crosses looked at with Inspect: the islands apart from it dimmed.
  await page.keyboard.press('i');
  await page.mouse.click(...await at(10, 10));
  await idle(page);
  await page.mouse.move(...await at(250, 120));
  await page.waitForTimeout(300);
  await page.screenshot({path: file});
  await page.close();
}

(async () => {
  const browser = await chromium.launch({executablePath: process.env.VARNHOLT_CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox', '--disable-gpu']});
  for (const file of maps) {
    const page = await browser.newPage({viewport: {width: 1280, height: 800}});
    await page.goto(`file://${path.resolve(studio)}`);
    await page.waitForFunction(() => window.varnholtStudio);
    const open = await opened(page, file);
    const memory = rendererMegabytes();
    const side = await page.evaluate(() => Number(document.querySelector('#map-facts').textContent.split(' ')[0]));
    const listed = await problems(page);
    const fps = await panAndZoom(page, side), query = await pathQuery(page, side), stroke = await strokes(page, side);
    console.log(`${path.basename(file)} (${side}²): shown ${open.shown} ms, all current ${open.current} ms, renderer ${memory} MB; ` +
      `pan and zoom ${fps.toFixed(0)} frames/s; path query ${query.milliseconds.toFixed(1)} ms (${query.cells} cells); ` +
      `64 x 64 stroke drawn in ${stroke.milliseconds.toFixed(1)} ms (median of 9), in the next frame ${stroke.nextFrame} times of 9`);
    console.log(`  problems: ${listed}`);
    console.log(`  split fix: ${await splitFix(page)}`);
    console.log(`  brush: ${await brushStroke(page, side)}`);
    console.log(`  fills: ${await fills(page, side)}`);
    await page.close();
  }
  if (shotAt >= 0) await screenshot(browser, rest[shotAt + 1], rest[shotAt + 2]);
  await browser.close();
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
