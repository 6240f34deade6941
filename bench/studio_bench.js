// Varnholt Studio's targets, measured in headless Chromium as a map maker meets them: a map
// opened through the file input until every tile in view is drawn, with the renderer's memory;
// frames a second while the view pans and zooms about the map's middle; a path query of the
// automation interface; and a 64 x 64 stroke analysed and drawn again. With --screenshot FILE it
// also draws the sample map with a path, as README shows it.
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

async function measure(browser, file) {
  const page = await browser.newPage({viewport: {width: 1280, height: 800}});
  await page.goto(`file://${path.resolve(studio)}`);
  await page.waitForFunction(() => window.varnholtStudio);
  const started = Date.now();
  await page.setInputFiles('#open-file', file);
  await page.waitForFunction(() => document.querySelector('#note').textContent.startsWith('Opened'), null, {timeout: 120000});
  await page.evaluate(() => window.varnholtStudio.idle());
  const opened = Date.now() - started;
  const memory = rendererMegabytes();
  const side = await page.evaluate(() => Number(document.querySelector('#map-facts').textContent.split(' ')[0]));
  // Pan in circles about the middle, zooming in and out between a whole quarter and 4 px a cell.
  const framesPerSecond = await page.evaluate(async (cells) => {
    const studio = window.varnholtStudio;
    let frames = 0;
    const start = performance.now();
    while (performance.now() - start < 4000) {
      await new Promise((resolve) => requestAnimationFrame(resolve));
      const t = (performance.now() - start) / 1000;
      const scale = Math.pow(2, 2 + 3 * Math.sin(t)) / 16 * (cells / 4096);
      const row = cells / 2 + (cells / 8) * Math.sin(t / 2) - 400 * scale, column = cells / 2 + (cells / 8) * Math.cos(t / 2) - 640 * scale;
      studio.view({scale, row, column});
      ++frames;
    }
    return frames / ((performance.now() - start) / 1000);
  }, side);
  // A path between two open cells far apart: the first open cells of two rows a quarter and
  // three quarters down, found through the interface's hover-free queries.
  const query = await page.evaluate(async (cells) => {
    const studio = window.varnholtStudio;
    const ends = [];
    for (const row of [Math.floor(cells / 4), Math.floor((3 * cells) / 4)]) {
      for (let column = Math.floor(cells / 8); column < cells && ends.length < (row === Math.floor(cells / 4) ? 1 : 2); column += 7) {
        const found = await studio.findPath(row, column, row, column).catch(() => null);
        if (found) ends.push([row, column]);
      }
    }
    const start = performance.now();
    const found = await studio.findPath(ends[0][0], ends[0][1], ends[1][0], ends[1][1]).catch((error) => error.message);
    return {milliseconds: performance.now() - start, cells: typeof found === 'string' ? found : found.length};
  }, side);
  const stroke = await page.evaluate(async (cells) => {
    const studio = window.varnholtStudio;
    studio.view({scale: 1, row: cells / 2 - 300, column: cells / 2 - 500});
    await studio.idle();
    // Each stroke starts as a frame begins, as the pointer's events do; the frames that begin
    // before the page has drawn it are counted: 1 is the next frame.
    const times = [];
    let nextFrame = 0;
    for (let k = 0; k < 9; ++k) {
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
      await studio.idle();
      counting = false;
      times.push(performance.now() - start);
      if (frames <= 1) ++nextFrame;
    }
    times.sort((a, b) => a - b);
    return {milliseconds: times[4], nextFrame};
  }, side);
  await page.close();
  return {file: path.basename(file), side, opened, memory, framesPerSecond, query, stroke};
}

async function screenshot(browser, file, sample) {
  const page = await browser.newPage({viewport: {width: 1280, height: 760}});
  await page.goto(`file://${path.resolve(studio)}`);
  await page.waitForFunction(() => window.varnholtStudio);
  await page.setInputFiles('#open-file', sample);
  await page.waitForFunction(() => document.querySelector('#note').textContent.startsWith('Opened'));
  await page.evaluate(() => window.varnholtStudio.idle());
  const view = await page.evaluate(() => window.varnholtStudio.view());
  const box = await page.locator('#overlay').boundingBox();
  const at = (row, column) => [box.x + (column + 0.5 - view.column) / view.scale, box.y + (row + 0.5 - view.row) / view.scale];
  await page.mouse.click(...at(10, 10));
  await page.waitForFunction(() => /goal/.test(document.querySelector('#path-facts').textContent));
  await page.mouse.click(...at(470, 40));
  await page.waitForFunction(() => /shortest/.test(document.querySelector('#path-facts').textContent));
  await page.mouse.move(...at(250, 120));
  await page.waitForTimeout(300);
  await page.screenshot({path: file});
  await page.close();
}

(async () => {
  const browser = await chromium.launch({executablePath: process.env.VARNHOLT_CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox', '--disable-gpu']});
  for (const file of maps) {
    const result = await measure(browser, file);
    console.log(`${result.file} (${result.side}²): open and show ${result.opened} ms, renderer ${result.memory} MB; ` +
      `pan and zoom ${result.framesPerSecond.toFixed(0)} frames/s; path query ${result.query.milliseconds.toFixed(1)} ms ` +
      `(${result.query.cells} cells); 64 x 64 stroke analysed and drawn in ${result.stroke.milliseconds.toFixed(1)} ms ` +
      `(median of 9), in the next frame ${result.stroke.nextFrame} times of 9`);
  }
  if (shotAt >= 0) await screenshot(browser, rest[shotAt + 1], rest[shotAt + 2]);
  await browser.close();
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
