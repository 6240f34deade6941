// Varnholt Studio in Chromium as a map maker met it, with the mouse and the keyboard: each of the
// faults found in use, as it now behaves. A fill reaches the whole room however much of it the
// view shows; Ctrl+S saves from the name field; every display follows the map it shows; a drag of
// files shows over the map; the footer stays one line; a file that does not open says what it
// is; a click on a path's start begins a new path; and the page's own faults (idle, names,
// strokes cancelled, answers about another map, paths after a failed query).
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const {spawnSync, execFileSync} = require('node:child_process');
const {env, scratch, openStudio, idle, openThroughInput, screenOf} = require('./chromium.js');

const hover = (page) => page.textContent('#hover');
const isOpen = (page, row, column) => page.evaluate(([r, c]) => window.varnholtStudio.findPath(r, c, r, c).then(() => true, () => false), [row, column]);
const cellsOf = (rows, columns, value) => Array(rows * columns).fill(value);

test('a fill takes the whole room, however much of it is out of view, and undoes in one step', async () => {
  const {page, errors} = await openStudio();
  await page.evaluate(() => window.varnholtStudio.create(1024, false));
  // A room of 798 x 798 cells inside a wall two cells thick, at 2 pixels a cell: a corner in view.
  for (const [row, column, rows, columns] of [[100, 100, 2, 802], [900, 100, 2, 802], [100, 100, 802, 2], [100, 900, 802, 2]]) {
    await page.evaluate((args) => window.varnholtStudio.setCells(...args), [row, column, rows, columns, cellsOf(rows, columns, 1)]);
  }
  await page.evaluate(() => window.varnholtStudio.view({scale: 0.5, row: 60, column: 60}));
  await idle(page);
  await page.keyboard.press('f');
  await page.mouse.click(...await screenOf(page, 150, 150));
  await page.waitForFunction(() => /^Filled/.test(document.querySelector('#note').textContent));
  await idle(page);
  assert.equal(await page.textContent('#note'), 'Filled 636,804 cells from (150, 150)');
  assert.deepEqual(await Promise.all([[850, 850], [102, 897], [897, 102], [50, 50], [950, 950]].map(([r, c]) => isOpen(page, r, c))),
    [false, false, false, true, true]);
  await page.keyboard.press('Control+z');
  await idle(page);
  assert.equal(await isOpen(page, 850, 850), true);
  // Open cells fill the same way: the whole wall, the part out of view too.
  await page.keyboard.press('x');
  await page.mouse.click(...await screenOf(page, 100, 300));
  await page.waitForFunction(() => /^Filled 6,400 cells/.test(document.querySelector('#note').textContent));
  assert.equal(await isOpen(page, 901, 500), true);
  // A staircase corridor across the map, filled a row of segments at a time: the whole of it.
  await page.evaluate(async () => {
    await window.varnholtStudio.create(512, true);
    for (let k = 0; k < 7; ++k) {
      await window.varnholtStudio.setCells(64 * k + 10, 64 * k + 10, 2, 66, new Uint8Array(132));
      await window.varnholtStudio.setCells(64 * k + 10, 64 * k + 74, 66, 2, new Uint8Array(132));
    }
  });
  await idle(page);
  await page.keyboard.press('x');
  await page.mouse.click(...await screenOf(page, 10, 10));
  await page.waitForFunction(() => /^Filled 1,796 cells/.test(document.querySelector('#note').textContent));
  assert.equal(await isOpen(page, 458, 458), false);
  assert.deepEqual(errors, []);
  await page.close();
});

test('Ctrl+S in the name field saves under the name typed, and the name typed outlives edits', async () => {
  const {page, errors} = await openStudio();
  await openThroughInput(page, env.sample);
  await page.evaluate(() => { window.showDirectoryPicker = undefined; });
  await page.click('#map-name');
  await page.keyboard.press('Control+a');
  await page.keyboard.type('Typed1Level0Map.raw');
  // An edit does not take the name typed away.
  await page.evaluate(() => window.varnholtStudio.setCells(5, 5, 2, 2, [1, 1, 1, 1]));
  await idle(page);
  assert.equal(await page.inputValue('#map-name'), 'Typed1Level0Map.raw');
  const downloads = [];
  page.on('download', (download) => downloads.push(download.suggestedFilename()));
  await page.focus('#map-name');
  await page.keyboard.press('Control+s');
  await page.waitForFunction(() => document.querySelector('#note').textContent.startsWith('Saved'));
  while (downloads.length < 3) await new Promise((resolve) => setTimeout(resolve, 50));
  assert.deepEqual(downloads.sort(), ['Typed.raw', 'Typed1Level0Map.raw', 'TypedInfo.raw']);
  assert.equal(await page.title(), 'Typed1Level0Map.raw - Varnholt Studio');
  assert.deepEqual(errors, []);
  await page.close();
});

test('the status line, the brush, the note and the pair\'s notes follow the map as it is', async () => {
  const folder = fs.mkdtempSync(path.join(scratch, 'stale-'));
  const level0 = path.join(folder, 'Sample1Level0Map.raw');
  fs.copyFileSync(env.sample, level0);
  execFileSync(env.program, [level0]);
  const {page, errors} = await openStudio();
  await openThroughInput(page, [level0, path.join(folder, 'SampleInfo.raw')]);
  await page.evaluate(() => window.varnholtStudio.view({scale: 0.5, row: 0, column: 0}));
  await idle(page);
  // The cell under the pointer, blocked by a fill where it stands: the line says so.
  await page.mouse.move(...await screenOf(page, 10, 10));
  await page.waitForFunction(() => /^Row 10, column 10: open/.test(document.querySelector('#hover').textContent));
  await page.keyboard.press('f');
  await page.mouse.click(...await screenOf(page, 10, 10));
  await page.waitForFunction(() => /^Row 10, column 10: blocked/.test(document.querySelector('#hover').textContent));
  assert.match(await page.textContent('#pair-notes'), /SampleInfo\.raw was the info map the converter makes of this map as opened; it is edited since/);
  // Off the map, neither words nor the brush's square stay: the overlay about the cell is as it
  // was before the brush came.
  const overlayAbout = (row, column) => screenOf(page, row, column).then((at) => page.evaluate(([px, py]) => {
    const box = document.querySelector('#overlay').getBoundingClientRect(), ratio = window.devicePixelRatio || 1;
    return Array.from(document.querySelector('#overlay').getContext('2d').getImageData(Math.floor((px - box.left) * ratio) - 12, Math.floor((py - box.top) * ratio) - 12, 24, 24).data).join();
  }, at));
  await page.keyboard.press('b');
  const aside = await page.locator('aside').boundingBox();
  await page.mouse.move(aside.x + 50, aside.y + 300);
  await idle(page);
  const bare = await overlayAbout(200, 204);
  await page.mouse.move(...await screenOf(page, 200, 200));
  await idle(page);
  assert.notEqual(await overlayAbout(200, 204), bare, 'no brush square under the pointer');
  await page.mouse.move(aside.x + 50, aside.y + 300);
  await idle(page);
  assert.equal(await hover(page), '');
  assert.equal(await overlayAbout(200, 204), bare, 'the brush square stayed');
  // Over the map again, then another map opens under the pointer: nothing of the last one stays.
  await page.mouse.move(...await screenOf(page, 300, 300));
  await page.waitForFunction(() => document.querySelector('#hover').textContent.startsWith('Row 300'));
  await page.evaluate(() => window.varnholtStudio.create(128, true));
  await idle(page);
  assert.equal(await hover(page), '');
  assert.equal(await page.textContent('#note'), 'New map of 128 x 128 cells, all blocked');
  assert.equal(await page.textContent('#pair-notes'), '');
  assert.deepEqual(errors, []);
  await page.close();
});

test('a drag of files shows over the map, and the footer stays one line under a map that fills the stage', async () => {
  const {page, errors} = await openStudio({width: 900, height: 700});
  await openThroughInput(page, env.sample);
  const stage = await page.locator('#stage').boundingBox();
  const edge = {x: stage.x, y: stage.y + 40, width: 30, height: stage.height - 80};
  const before = await page.screenshot({clip: edge});
  await page.dispatchEvent('#stage', 'dragenter', {dataTransfer: await page.evaluateHandle(() => new DataTransfer())});
  assert.notDeepEqual(await page.screenshot({clip: edge}), before, 'the drag does not show over the map');
  await page.dispatchEvent('#stage', 'drop', {dataTransfer: await page.evaluateHandle(() => new DataTransfer())});
  assert.deepEqual(await page.screenshot({clip: edge}), before);
  // The longest words the status line says, and an error that takes room from the stage.
  await page.fill('#map-name', 'no/name');
  await page.click('#save');
  assert.equal(await page.isVisible('#error'), true);
  await page.evaluate(() => window.varnholtStudio.view({scale: 0.5, row: 0, column: 0}));
  await page.mouse.move(...await screenOf(page, 40, 40));
  await page.waitForFunction(() => /linked to/.test(document.querySelector('#hover').textContent));
  await idle(page);
  const laid = await page.evaluate(() => {
    const box = (selector) => document.querySelector(selector).getBoundingClientRect();
    const hover = document.querySelector('#hover');
    // One line of 13-pixel text is under 20 pixels high, two over 30.
    return {footer: box('footer'), stage: box('#stage'), canvas: box('#map'), oneLine: box('#hover').height < 20, cut: hover.scrollWidth > hover.clientWidth};
  });
  assert.deepEqual([laid.footer.height, laid.oneLine, laid.cut], [26, true, true]);
  assert.equal(laid.stage.bottom, laid.footer.top);
  assert.equal(laid.canvas.height, laid.stage.height, 'the map is not the size of the stage');
  assert.deepEqual(errors, []);
  await page.close();
});

test('a file that does not open says what it is, asks nothing, and keeps the map; a good one asks first', async () => {
  const {page, errors} = await openStudio();
  await page.click('#save');
  assert.equal(await page.textContent('#error'), 'Nothing to save: open a map or make a new one first');
  await openThroughInput(page, env.sample);
  await page.evaluate(() => window.varnholtStudio.setCells(5, 5, 1, 1, [1]));
  const asked = [];
  page.on('dialog', (dialog) => {
    asked.push(dialog.message());
    dialog.dismiss();
  });
  const png = path.join(scratch, 'Shot.png'), text = path.join(scratch, 'Notes1Level0Map.raw'), cut = path.join(scratch, 'Cut1Level0Map.raw');
  // A whole picture now opens as a map (imports.test.js); one cut short says so.
  const shot = await page.screenshot({clip: {x: 0, y: 0, width: 40, height: 40}});
  fs.writeFileSync(png, shot.subarray(0, shot.length - 20));
  fs.writeFileSync(text, 'Forest map notes:\nrow 10, column 20 blocked\n');
  fs.writeFileSync(cut, fs.readFileSync(env.sample).subarray(0, 1000));
  // What the varnholt program says of each, the last line of its run.
  const programSays = (file) => spawnSync(env.program, [file]).stdout.toString().trim().split(/\r?\n/).pop();
  await openThroughInput(page, png);
  assert.match(await page.textContent('#error'), /^Shot\.png: not a whole PNG image: it is cut short at byte \d+/);
  for (const [file, words] of [[text, 'is a text file, not a level-0 map'],
    [cut, 'ends before the map it begins does, after 1,000 bytes: it is cut short, or no level-0 map']]) {
    await openThroughInput(page, file);
    assert.equal(await page.textContent('#error'), `${path.basename(file)} ${words} (${programSays(file)})`);
  }
  assert.match(programSays(cut), /Error reading file/);
  assert.deepEqual(asked, []);
  assert.equal(await page.title(), 'Sample1Level0Map.raw * - Varnholt Studio');
  await page.setInputFiles('#open-file', env.sample);
  while (asked.length === 0) await new Promise((resolve) => setTimeout(resolve, 50));
  assert.deepEqual(asked, ['The map has unsaved edits. Open another and lose them?']);
  await idle(page);
  assert.equal(await page.title(), 'Sample1Level0Map.raw * - Varnholt Studio');
  // A name no system writes is refused, not saved under another.
  await page.evaluate(() => { window.showDirectoryPicker = undefined; });
  await page.fill('#map-name', 'a/b:c\\d1Level0Map.raw');
  assert.equal(await page.getAttribute('#map-name', 'aria-invalid'), 'true');
  let downloaded = 0;
  page.on('download', () => ++downloaded);
  await page.keyboard.press('Control+s');
  assert.equal(await page.textContent('#error'), 'Not saved: A file name cannot hold /, : and \\');
  await page.waitForTimeout(300);
  assert.equal(downloaded, 0);
  assert.deepEqual(errors, []);
  await page.close();
});

test('a click on the start begins a new path there; a drag moves it; a path is found again after a failed query', async () => {
  const {page, errors} = await openStudio();
  await page.evaluate(() => window.varnholtStudio.create(256, false));
  await page.evaluate(() => window.varnholtStudio.view({scale: 0.5, row: 0, column: 0}));
  await idle(page);
  await page.keyboard.press('p');
  await page.mouse.click(...await screenOf(page, 20, 20));
  await page.mouse.click(...await screenOf(page, 20, 120));
  await page.waitForFunction(() => /^100 steps/.test(document.querySelector('#path-facts').textContent));
  await page.mouse.click(...await screenOf(page, 20, 20));
  assert.equal(await page.textContent('#path-facts'), 'Now click the goal');
  await page.mouse.click(...await screenOf(page, 60, 20));
  await page.waitForFunction(() => /^40 steps/.test(document.querySelector('#path-facts').textContent));
  await page.mouse.move(...await screenOf(page, 60, 20));
  await page.mouse.down();
  await page.mouse.move(...await screenOf(page, 80, 20), {steps: 5});
  await page.mouse.up();
  await page.waitForFunction(() => /^60 steps/.test(document.querySelector('#path-facts').textContent));
  // The start blocked: the query fails; undone, the path is found again.
  await page.evaluate(() => window.varnholtStudio.setCells(20, 20, 1, 1, [1]));
  await page.waitForFunction(() => /Cell blocked/.test(document.querySelector('#path-facts').textContent));
  await page.keyboard.press('Control+z');
  await page.waitForFunction(() => /^60 steps/.test(document.querySelector('#path-facts').textContent));
  assert.deepEqual(errors, []);
  await page.close();
});

test('idle waits for the survey and resolves with no map; a cancelled stroke ends; an edit for the last map leaves the next alone', async () => {
  const {page, errors} = await openStudio();
  assert.equal(await Promise.race([idle(page).then(() => 'idle'), new Promise((resolve) => setTimeout(() => resolve('waiting'), 5000))]), 'idle');
  await page.evaluate(() => window.varnholtStudio.create(256, true));
  await idle(page);
  // Five single open cells in one segment: it keeps four, and the fifth is unreachable, counted
  // as soon as the page is idle.
  await page.evaluate(() => window.varnholtStudio.setCells(10, 10, 1, 9, [0, 1, 0, 1, 0, 1, 0, 1, 0]));
  await idle(page);
  const problems = await page.evaluate(() => window.varnholtStudio.problems());
  assert.deepEqual([problems.lostComponents, problems.lost.length, problems.stale], [1, 1, false]);
  // A stroke the browser cancels (no release follows) ends: the next edit is a stroke of its own.
  await page.evaluate(() => window.varnholtStudio.view({scale: 0.5, row: 0, column: 0}));
  await page.keyboard.press('b');
  await page.keyboard.press('x');
  await page.mouse.move(...await screenOf(page, 100, 100));
  await page.mouse.down();
  await page.mouse.move(...await screenOf(page, 100, 140), {steps: 4});
  await page.dispatchEvent('#overlay', 'pointercancel', {pointerId: 1});
  await idle(page);
  await page.evaluate(() => window.varnholtStudio.setCells(200, 200, 1, 1, [0]));
  await page.evaluate(() => window.varnholtStudio.undo());
  await idle(page);
  assert.deepEqual([await isOpen(page, 200, 200), await isOpen(page, 100, 120)], [false, true]);
  // An edit sent for this map once another is asked for: it changes neither, and the new map is
  // not marked edited.
  const edit = await page.evaluate(() => {
    const made = window.varnholtStudio.create(64, false);
    const edited = window.varnholtStudio.setCells(0, 0, 8, 8, new Uint8Array(64).fill(1)).then(() => 'edited', (error) => error.message);
    return made.then(() => edited);
  });
  assert.equal(edit, 'The map was replaced before this edit reached it');
  await idle(page);
  assert.equal(await isOpen(page, 0, 0), true);
  assert.equal(await page.title(), 'New1Level0Map.raw - Varnholt Studio');
  assert.deepEqual(errors, []);
  await page.close();
});
