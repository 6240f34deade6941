// Varnholt Studio in Debian's Chromium, headless, from disk as a map maker opens it: maps opened
// through the file input, alone and with their pair; a bad file; what the canvas shows, cell by
// cell, against what the library says of each cell; painting with the mouse, undo and redo; paths;
// and a save by the Save button whose three files are compared byte for byte with what the
// varnholt program writes of the saved level-0 map.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const {execFileSync, spawnSync} = require('node:child_process');
const {chromium} = require('../node_modules/playwright-core');

const studio = process.env.VARNHOLT_STUDIO;
const program = process.env.VARNHOLT_PROGRAM;
const genmap = process.env.VARNHOLT_GENMAP;
const sample = process.env.VARNHOLT_SAMPLE;
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'varnholt-studio-'));

let browser;
test.before(async () => {
  browser = await chromium.launch({executablePath: process.env.VARNHOLT_CHROMIUM, args: ['--no-sandbox', '--disable-gpu']});
});
test.after(async () => {
  await browser.close();
  fs.rmSync(scratch, {recursive: true, force: true});
});

async function openStudio() {
  const page = await browser.newPage({viewport: {width: 1100, height: 760}, acceptDownloads: true});
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  await page.goto(`file://${studio}`);
  await page.waitForFunction(() => window.varnholtStudio);
  return {page, errors};
}

// Opens files through the file input and waits for the map, or for the message that it failed.
async function openThroughInput(page, files) {
  await page.evaluate(() => { document.querySelector('#note').textContent = ''; });
  await page.setInputFiles('#open-file', files);
  await page.waitForFunction(() => document.querySelector('#note').textContent.startsWith('Opened') || !document.querySelector('#error').hidden);
  await page.evaluate(() => window.varnholtStudio.idle());
}

// The varnholt program's info and waypoint maps of a level-0 map, made in a folder of their own.
function convert(level0Bytes, name) {
  const folder = fs.mkdtempSync(path.join(scratch, 'convert-'));
  const file = path.join(folder, name);
  fs.writeFileSync(file, level0Bytes);
  execFileSync(program, [file]);
  const stem = name.replace(/\d.*$/, '');
  return {
    level0: fs.readFileSync(file),
    info: fs.readFileSync(path.join(folder, `${stem}Info.raw`)),
    waypoint: fs.readFileSync(path.join(folder, `${stem}.raw`)),
  };
}

const asBuffer = (bytes) => Buffer.from(Object.values(bytes));

test('a map opens through the file input, and the canvas shows each cell as the library has it', async () => {
  const {page, errors} = await openStudio();
  await openThroughInput(page, sample);
  assert.equal(await page.textContent('#map-facts'), '512 x 512 cells, 8 x 8 segments');
  assert.equal(await page.isHidden('#error'), true);
  // Two screen pixels a cell, the map's top left corner at the canvas's.
  await page.evaluate(() => window.varnholtStudio.view({scale: 0.5, row: 0, column: 0}));
  await page.evaluate(() => window.varnholtStudio.idle());
  const checked = await page.evaluate(async () => {
    const canvas = document.querySelector('#map');
    const ratio = window.devicePixelRatio || 1;
    const context = canvas.getContext('2d');
    const found = [];
    for (let row = 3; row < 300; row += 37) {
      for (let column = 5; column < 400; column += 41) {
        const pixel = context.getImageData(Math.floor((column * 2 + 1) * ratio), Math.floor((row * 2 + 1) * ratio), 1, 1).data;
        found.push({row, column, pixel: Array.from(pixel.slice(0, 3))});
      }
    }
    return found;
  });
  const kinds = new Set();
  for (const {row, column, pixel} of checked) {
    // What the library says of the cell, through the page's hover.
    await page.mouse.move(column * 2 + 1 + (await page.locator('#overlay').boundingBox()).x, row * 2 + 1 + (await page.locator('#overlay').boundingBox()).y);
    await page.waitForFunction((text) => document.querySelector('#hover').textContent.startsWith(text), `Row ${row}, column ${column}:`);
    const said = await page.textContent('#hover');
    const kind = said.includes('blocked') ? 'blocked' : said.includes('erased') ? 'erased' : `area ${said.match(/area (\d)/)[1]}`;
    kinds.add(kind);
    const brightness = pixel[0] + pixel[1] + pixel[2];
    if (kind === 'blocked') {
      assert.ok(brightness < 200, `${row}, ${column}: ${said} shown as ${pixel}`);
    } else if (kind === 'erased') {
      assert.ok(pixel[0] > pixel[1] + 60, `${row}, ${column}: ${said} shown as ${pixel}`);
    } else {
      const hue = {'area 1': 2, 'area 2': 1, 'area 3': 0}[kind];  // the strongest channel
      if (hue !== undefined) assert.equal(pixel.indexOf(Math.max(...pixel)), hue, `${row}, ${column}: ${said} shown as ${pixel}`);
      assert.ok(brightness > 250, `${row}, ${column}: ${said} shown as ${pixel}`);
    }
  }
  assert.ok(kinds.has('blocked') && kinds.has('area 1'), [...kinds].join(', '));
  await page.screenshot({path: path.join(scratch, 'sample.png')});
  assert.deepEqual(errors, []);
  await page.close();
});

test('a bad file shows the library\'s message in the page, and the map open stays', async () => {
  const {page, errors} = await openStudio();
  await openThroughInput(page, sample);
  const bad = path.join(scratch, 'Bad1Level0Map.raw');
  fs.writeFileSync(bad, 'short');
  const said = spawnSync(program, [bad]).stdout.toString().trim().split(/\r?\n/).pop();
  await openThroughInput(page, bad);
  assert.equal(await page.textContent('#error'), `Bad1Level0Map.raw is a text file, not a level-0 map (${said})`);
  assert.equal(await page.textContent('#map-facts'), '512 x 512 cells, 8 x 8 segments');
  await assert.rejects(page.evaluate(() => window.varnholtStudio.open(new Uint8Array([1, 2, 3]))), new RegExp(said));
  await assert.rejects(page.evaluate(() => window.varnholtStudio.findPath(-1, 0, 5, 5)), /Cell outside the map: -1, 0/);
  assert.deepEqual(errors, []);
  await page.close();
});

test('a generated map opened with its pair says whether the pair is the converter\'s', async () => {
  const folder = fs.mkdtempSync(path.join(scratch, 'pair-'));
  const level0 = path.join(folder, 'Caves1Level0Map.raw');
  execFileSync(genmap, ['caves', '4', '7', level0]);
  execFileSync(program, [level0]);
  const info = path.join(folder, 'CavesInfo.raw'), waypoint = path.join(folder, 'Caves.raw');
  const {page, errors} = await openStudio();
  await openThroughInput(page, [level0, info, waypoint]);
  assert.equal(await page.textContent('#map-facts'), '1024 x 1024 cells, 16 x 16 segments');
  const notes = await page.textContent('#pair-notes');
  assert.match(notes, /CavesInfo\.raw is the info map the converter makes of this map/);
  assert.match(notes, /Caves\.raw is the waypoint map the converter makes of this map/);
  const stale = Buffer.from(fs.readFileSync(waypoint));
  stale[8 + 16 * 5 + 12] ^= 0x10;  // segment (0, 5): another area mask
  fs.writeFileSync(waypoint, stale);
  await openThroughInput(page, [level0, waypoint]);
  assert.match(await page.textContent('#pair-notes'), /Caves\.raw is not the waypoint map the converter makes of this map: segment \(0, 5\), AreaMask/);
  assert.deepEqual(errors, []);
  await page.close();
});

test('a map dropped on the window opens with its pair; edits mark it, and leaving or a new map asks first', async () => {
  const folder = fs.mkdtempSync(path.join(scratch, 'drop-'));
  const level0 = path.join(folder, 'Sample1Level0Map.raw');
  fs.copyFileSync(sample, level0);
  execFileSync(program, [level0]);
  const {page, errors} = await openStudio();
  const files = ['Sample1Level0Map.raw', 'SampleInfo.raw'].map((name) => ({name, bytes: [...fs.readFileSync(path.join(folder, name))]}));
  await page.evaluate((dropped) => {
    const transfer = new DataTransfer();
    for (const {name, bytes} of dropped) transfer.items.add(new File([new Uint8Array(bytes)], name));
    document.querySelector('#stage').dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, bubbles: true, cancelable: true}));
  }, files);
  await page.waitForFunction(() => document.querySelector('#note').textContent === 'Opened Sample1Level0Map.raw');
  assert.equal(await page.textContent('#map-facts'), '512 x 512 cells, 8 x 8 segments');
  assert.match(await page.textContent('#pair-notes'), /SampleInfo\.raw is the info map the converter makes of this map/);
  assert.equal(await page.title(), 'Sample1Level0Map.raw - Varnholt Studio');

  // A rectangle dragged by the mouse: an edit, and the user's gesture a leave prompt needs.
  await page.evaluate(() => window.varnholtStudio.view({scale: 0.5, row: 0, column: 0}));
  await page.click('[data-tool="rectangle"]');
  const box = await page.locator('#overlay').boundingBox();
  await page.mouse.move(box.x + 100, box.y + 100);
  await page.mouse.down();
  await page.mouse.move(box.x + 140, box.y + 130);
  await page.mouse.up();
  await page.waitForFunction(() => document.title.startsWith('Sample1Level0Map.raw *'));
  const asked = [];
  page.on('dialog', (dialog) => {
    asked.push(dialog.type());
    dialog.dismiss();
  });
  await page.click('#new-map');
  await page.selectOption('#new-size', '256');
  // The dialog closes before it asks, in a task of its own: the question is waited for.
  const question = page.waitForEvent('dialog');
  await page.click('#create');
  await question;
  assert.deepEqual(asked, ['confirm']);
  assert.equal(await page.textContent('#map-facts'), '512 x 512 cells, 8 x 8 segments');
  // Leaving asks while edits are unsaved: the page's handler cancels the leave. (Headless
  // Chromium closes a page without showing the prompt, so the handler is asked directly.)
  const leaveCancelled = () => page.evaluate(() => {
    const leaving = new Event('beforeunload', {cancelable: true});
    window.dispatchEvent(leaving);
    return leaving.defaultPrevented;
  });
  assert.equal(await leaveCancelled(), true);
  await page.evaluate(() => window.varnholtStudio.files());
  assert.equal(await leaveCancelled(), true, 'taking the files as bytes is no save');
  await page.evaluate(() => { window.showDirectoryPicker = undefined; });
  await page.click('#save');
  await page.waitForFunction(() => document.querySelector('#note').textContent.startsWith('Saved'));
  assert.equal(await leaveCancelled(), false);
  assert.equal(await page.title(), 'Sample1Level0Map.raw - Varnholt Studio');
  assert.deepEqual(errors, []);
  await page.close();
});

test('painting, undo and redo, paths, and a save that writes what varnholt writes', async () => {
  const {page, errors} = await openStudio();
  await openThroughInput(page, sample);
  const original = asBuffer(await page.evaluate(() => window.varnholtStudio.files().then((f) => f.level0)));
  const before = await page.evaluate(() => window.varnholtStudio.findPath(10, 10, 470, 40));
  assert.equal(before.length, 507);
  assert.deepEqual(before[0], [10, 10]);
  assert.deepEqual(before[before.length - 1], [470, 40]);

  // A wall across the path, painted with the brush by the mouse.
  await page.evaluate(() => window.varnholtStudio.view({scale: 0.5, row: 150, column: 0}));
  await page.click('[data-tool="brush"]');
  await page.fill('#brush-size', '6');
  const box = await page.locator('#overlay').boundingBox();
  const middle = before[Math.floor(before.length / 2)];
  const at = (row, column) => [box.x + (column - 0) * 2 + 1, box.y + (row - 150) * 2 + 1];
  await page.mouse.move(...at(middle[0], Math.max(0, middle[1] - 30)));
  await page.mouse.down();
  for (let step = -30; step <= 30; step += 4) await page.mouse.move(...at(middle[0], Math.max(0, middle[1] + step)));
  await page.mouse.up();
  await page.evaluate(() => window.varnholtStudio.idle());
  assert.equal(await page.isDisabled('#undo'), false);
  // The canvas shows the wall as the edits answer with their tiles, and takes it away on undo.
  const shownAt = (row, column) => page.evaluate(([x, y]) => {
    const ratio = window.devicePixelRatio || 1;
    const pixel = document.querySelector('#map').getContext('2d').getImageData(Math.floor(x * ratio), Math.floor(y * ratio), 1, 1).data;
    return pixel[0] + pixel[1] + pixel[2];
  }, [column * 2 + 1, (row - 150) * 2 + 1]);
  assert.ok(await shownAt(...middle) < 200, 'the painted wall is not drawn');
  const painted = asBuffer(await page.evaluate(() => window.varnholtStudio.files().then((f) => f.level0)));
  assert.notDeepEqual(painted, original);
  const around = await page.evaluate(() => window.varnholtStudio.findPath(10, 10, 470, 40));
  assert.ok(around.length > 507 || around.length === 0, `a path of ${around.length} cells through the wall`);
  assert.equal(around.some(([row, column]) => row === middle[0] && column === middle[1]), false);

  // Undo by the keys brings back the cells, redo the wall; a stroke through the interface too.
  await page.keyboard.press('Control+z');
  await page.evaluate(() => window.varnholtStudio.idle());
  assert.deepEqual(asBuffer(await page.evaluate(() => window.varnholtStudio.files().then((f) => f.level0))), original);
  assert.ok(await shownAt(...middle) > 250, 'the wall undone is still drawn');
  await page.keyboard.press('Control+Shift+z');
  await page.evaluate(() => window.varnholtStudio.idle());
  assert.deepEqual(asBuffer(await page.evaluate(() => window.varnholtStudio.files().then((f) => f.level0))), painted);
  assert.ok(await shownAt(...middle) < 200, 'the wall redone is not drawn');
  await page.evaluate(() => window.varnholtStudio.setCells(100, 100, 3, 70, new Uint8Array(210).fill(1)));
  await page.evaluate(() => window.varnholtStudio.undo());
  assert.deepEqual(asBuffer(await page.evaluate(() => window.varnholtStudio.files().then((f) => f.level0))), painted);
  await page.evaluate(() => window.varnholtStudio.redo());
  await assert.rejects(page.evaluate(() => window.varnholtStudio.setCells(500, 500, 20, 20, new Uint8Array(400))), /outside|Cell/);

  // Save by the button: downloads where the browser offers no folder to write to.
  await page.evaluate(() => { window.showDirectoryPicker = undefined; });
  await page.fill('#map-name', 'Edited1Level0Map.raw');
  const downloads = [];
  page.on('download', (download) => downloads.push(download));
  await page.click('#save');
  await page.waitForFunction(() => document.querySelector('#note').textContent.startsWith('Saved'));
  while (downloads.length < 3) await new Promise((resolve) => setTimeout(resolve, 50));
  const saved = {};
  for (const download of downloads) {
    const file = path.join(scratch, download.suggestedFilename());
    await download.saveAs(file);
    saved[download.suggestedFilename()] = fs.readFileSync(file);
  }
  assert.deepEqual(Object.keys(saved).sort(), ['Edited.raw', 'Edited1Level0Map.raw', 'EditedInfo.raw']);
  const expected = convert(saved['Edited1Level0Map.raw'], 'Edited1Level0Map.raw');
  assert.deepEqual(expected.level0, saved['Edited1Level0Map.raw']);
  assert.deepEqual(saved['EditedInfo.raw'], expected.info);
  assert.deepEqual(saved['Edited.raw'], expected.waypoint);
  assert.equal(await page.title(), 'Edited1Level0Map.raw - Varnholt Studio');
  assert.deepEqual(errors, []);
  await page.close();
});

test('the path tool finds a path between two clicks and says how long it is', async () => {
  const {page, errors} = await openStudio();
  await page.evaluate(() => window.varnholtStudio.create(256, false));
  await page.evaluate(() => window.varnholtStudio.setCells(0, 100, 200, 4, new Uint8Array(800).fill(1)));
  await page.evaluate(() => window.varnholtStudio.view({scale: 0.5, row: 0, column: 0}));
  const box = await page.locator('#overlay').boundingBox();
  await page.click('[data-tool="path"]');
  await page.mouse.click(box.x + 20 * 2 + 1, box.y + 10 * 2 + 1);
  await page.mouse.click(box.x + 180 * 2 + 1, box.y + 10 * 2 + 1);
  await page.waitForFunction(() => /shortest/.test(document.querySelector('#path-facts').textContent));
  const facts = await page.textContent('#path-facts');
  // Round the wall's end: down 190 rows and back, and 160 columns across.
  assert.match(facts, /^540 steps, \d+ corners, [\d.]+ cells long smoothed; found in [\d.]+ ms; the shortest 540 steps \(1\.000\)/);
  const files = await page.evaluate(() => window.varnholtStudio.files());
  const expected = convert(asBuffer(files.level0), 'New1Level0Map.raw');
  assert.deepEqual(asBuffer(files.info), expected.info);
  assert.deepEqual(asBuffer(files.waypoint), expected.waypoint);
  assert.deepEqual(errors, []);
  await page.close();
});
