// What the studio's tests in Chromium share: the browser, the page opened from disk as a map
// maker opens it, maps opened through the file input or made by varnholt-genmap, where a cell is
// on the screen, and what the canvas shows there.
'use strict';

const test = require('node:test');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const {execFileSync} = require('node:child_process');
const {chromium} = require('../node_modules/playwright-core');

const env = {
  studio: process.env.VARNHOLT_STUDIO, program: process.env.VARNHOLT_PROGRAM,
  genmap: process.env.VARNHOLT_GENMAP, sample: process.env.VARNHOLT_SAMPLE, importer: process.env.VARNHOLT_IMPORT,
};
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'varnholt-studio-'));
let browser = null;

test.before(async () => {
  browser = await chromium.launch({executablePath: process.env.VARNHOLT_CHROMIUM, args: ['--no-sandbox', '--disable-gpu']});
});
test.after(async () => {
  await browser.close();
  fs.rmSync(scratch, {recursive: true, force: true});
});

async function openStudio(viewport = {width: 1100, height: 760}) {
  const page = await browser.newPage({viewport, acceptDownloads: true});
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.goto(`file://${env.studio}`);
  await page.waitForFunction(() => window.varnholtStudio);
  return {page, errors};
}

// The page at rest, or a failure after a minute: a page that never rests fails its test rather
// than holding it up.
const idle = (page) => page.evaluate(() => Promise.race([window.varnholtStudio.idle(),
  new Promise((resolve, reject) => setTimeout(() => reject(new Error('The page is not idle after a minute')), 60000))]));

// Opens files through the file input and waits for the map, or for the message that it failed.
async function openThroughInput(page, files) {
  await page.evaluate(() => {
    document.querySelector('#note').textContent = '';
    document.querySelector('#error').hidden = true;
  });
  await page.setInputFiles('#open-file', files);
  await page.waitForFunction(() => document.querySelector('#note').textContent.startsWith('Opened') || !document.querySelector('#error').hidden,
    null, {timeout: 120000});
  await idle(page);
}

// A map varnholt-genmap makes (Arguments as it takes them, the file last), made once per run.
function generated(name, ...generator) {
  const file = path.join(scratch, name);
  if (!fs.existsSync(file)) execFileSync(env.genmap, [...generator, file]);
  return file;
}

// Where the middle of cell (Row, Column) is on the screen, the view as it now stands.
async function screenOf(page, row, column) {
  const view = await page.evaluate(() => window.varnholtStudio.view());
  const box = await page.locator('#overlay').boundingBox();
  return [box.x + (column + 0.5 - view.column) / view.scale, box.y + (row + 0.5 - view.row) / view.scale];
}

// The colour the map's canvas shows at the middle of cell (Row, Column).
function shownAt(page, row, column) {
  return page.evaluate(([r, c]) => {
    const view = window.varnholtStudio.view();
    const ratio = window.devicePixelRatio || 1;
    const x = Math.floor(((c + 0.5 - view.column) / view.scale) * ratio), y = Math.floor(((r + 0.5 - view.row) / view.scale) * ratio);
    return Array.from(document.querySelector('#map').getContext('2d').getImageData(x, y, 1, 1).data.slice(0, 3));
  }, [row, column]);
}

// The level-0 map's bytes as the page now holds it.
async function level0Of(page) {
  return Buffer.from(Object.values(await page.evaluate(() => window.varnholtStudio.files().then((files) => files.level0))));
}

module.exports = {env, scratch, openStudio, idle, openThroughInput, generated, screenOf, shownAt, level0Of};
