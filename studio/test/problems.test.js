// Varnholt Studio in Chromium, finding and understanding what is wrong with a map, by mouse and
// keyboard: every split and unreachable place of a map with thousands listed and stepped through;
// a split's parts and the erased areas joining them against the library's survey; the ground of
// a clicked cell against the library's paths, before and after an edit cuts it; the panels saying
// they are behind while a stroke is under way; the legend, the help, the go-to box, the zoom and
// the minimap; a split's fix applied and undone.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const {openStudio, idle, openThroughInput, generated, screenOf, shownAt, level0Of} = require('./chromium.js');
const L = require('../page/logic.js');

const studio = (page, call, ...args) => page.evaluate(([name, values]) => window.varnholtStudio[name](...values), [call, args]);
const connected = (page, a, b) => page.evaluate(([r0, c0, r1, c1]) => window.varnholtStudio.findPath(r0, c0, r1, c1).then((cells) => cells.length > 0), [...a, ...b]);
// Whether the canvas shows Colour at a cell, give or take the canvas's rounding.
const near = (shown, colour) => shown.every((value, k) => Math.abs(value - colour[k]) <= 3);

test('every problem of a map with thousands is listed, a page at a time, and stepped through by N and Shift+N', async () => {
  const {page, errors} = await openStudio();
  await openThroughInput(page, generated('Noise1Level0Map.raw', 'noise', '3', '30', '1'));
  const listed = await studio(page, 'problems');
  assert.deepEqual([listed.splits.length, listed.lost.length], [listed.splitComponents, listed.lostComponents]);
  assert.ok(listed.lostComponents > 1000, `${listed.lostComponents} unreachable places`);
  const total = listed.splitComponents + listed.lostComponents, count = (n) => n.toLocaleString('en-US');
  assert.equal(await page.textContent('#lost-pager span'), `1–20 of ${count(listed.lostComponents)}`);
  await page.click('#lost-pager button:last-child');
  assert.equal(await page.textContent('#lost-pager span'), `21–40 of ${count(listed.lostComponents)}`);
  // N from none is the first, the split; Shift+N from the first is the last place of all.
  await page.mouse.move(300, 300);
  await page.keyboard.press('n');
  assert.equal(await page.textContent('#problem-position'), `1 of ${count(total)}`);
  await page.keyboard.press('Shift+N');
  assert.equal(await page.textContent('#problem-position'), `${count(total)} of ${count(total)}`);
  await idle(page);
  const last = listed.lost[listed.lost.length - 1];
  const view = await studio(page, 'view'), box = await page.locator('#overlay').boundingBox();
  assert.ok(Math.abs(view.row + (box.height / 2) * view.scale - last[0]) < 1 && Math.abs(view.column + (box.width / 2) * view.scale - last[1]) < 1);
  assert.match(await page.textContent('#lost li.chosen'), new RegExp(`\\(${last[0]}, ${last[1]}\\)`));
  assert.equal(await page.textContent('#lost-pager span'), `${count(listed.lostComponents - ((listed.lostComponents - 1) % 20))}–${count(listed.lostComponents)} of ${count(listed.lostComponents)}`);
  // A click on an entry flies there too; the ground looked at is that place, and nothing else.
  await page.click('#lost li:first-child button');
  await idle(page);
  const ground = await studio(page, 'ground');
  const first = listed.lost[listed.lost.length - 1 - ((listed.lostComponents - 1) % 20)];
  assert.deepEqual([ground.cell, ground.keptAreas, ground.parts.length], [first, 0, 0]);
  assert.deepEqual(errors, []);
  await page.close();
});

test('a split\'s parts and the erased areas joining them are the survey\'s, and shown in their colours', async () => {
  const {page, errors} = await openStudio();
  await openThroughInput(page, generated('Noise1Level0Map.raw', 'noise', '3', '30', '1'));
  const {splits} = await studio(page, 'problems');
  await page.click('#splits li:first-child button');
  await idle(page);
  const ground = await studio(page, 'ground');
  const [split] = splits;
  assert.equal(ground.parts.length, split.parts);
  assert.deepEqual(ground.parts.slice(0, 3).map((part) => part.cell), split.partCells);
  assert.deepEqual(ground.erased.slice(0, 3), split.erasedCells);
  assert.ok(ground.joining.length > 0 && ground.joining.every((group) => group.parts.length >= 2));
  assert.equal(await page.textContent('#ground-parts-title'), `Parts: ${split.parts}`);
  // Each part's waypoint in its colour, each joining area marked, ground about it dimmed: each
  // looked at in a view about it.
  const shownThere = async (cell) => {
    await page.evaluate(([row, column]) => window.varnholtStudio.view({scale: 0.5, row: row - 100, column: column - 100}), cell);
    await idle(page);
    return shownAt(page, ...cell);
  };
  for (const [p, part] of ground.parts.entries()) assert.ok(near(await shownThere(part.cell), L.partColour(p)), `part ${p + 1} at (${part.cell})`);
  for (const group of ground.joining.slice(0, 4)) assert.ok(near(await shownThere(group.cell), [0xff, 0x4f, 0xd8]), `joining area at (${group.cell})`);
  const lost = (await studio(page, 'problems')).lost[0];
  assert.ok(near(await shownThere(lost), L.dimmed(L.kErased)), `unreachable place at (${lost})`);
  // The joining areas are where the hover says erased areas are.
  await shownThere(ground.joining[0].cell);
  await page.mouse.move(...await screenOf(page, ...ground.joining[0].cell));
  await page.waitForFunction(() => /erased area/.test(document.querySelector('#hover').textContent));
  assert.deepEqual(errors, []);
  await page.close();
});

test('the ground of a clicked cell is the library\'s component, and follows an edit that cuts it', async () => {
  const {page, errors} = await openStudio();
  await openThroughInput(page, generated('Caves1Level0Map.raw', 'caves', '3', '1'));
  await page.evaluate(() => window.varnholtStudio.view({scale: 0.5, row: 0, column: 0}));
  await idle(page);
  // Open cells on a grid over what the view shows, and how each is drawn before anything is looked at.
  const cells = [];
  for (let row = 6; row < 300; row += 23) {
    for (let column = 7; column < 400; column += 29) {
      if (await page.evaluate(([r, c]) => window.varnholtStudio.findPath(r, c, r, c).then(() => true, () => false), [row, column])) cells.push([row, column]);
    }
  }
  const plain = await Promise.all(cells.map((cell) => shownAt(page, ...cell)));
  const clicked = cells[Math.floor(cells.length / 2)];
  await page.keyboard.press('i');
  await page.mouse.click(...await screenOf(page, ...clicked));
  await idle(page);
  const compare = async () => {
    let inside = 0;
    for (const [k, cell] of cells.entries()) {
      const joined = await connected(page, clicked, cell), shown = await shownAt(page, ...cell);
      assert.ok(joined ? near(shown, plain[k]) : near(shown, L.dimmed(plain[k])), `(${cell}) ${joined ? 'joined' : 'apart'}, shown as ${shown}, was ${plain[k]}`);
      inside += joined ? 1 : 0;
    }
    return inside;
  };
  const before = await compare();
  assert.ok(before > 3 && before < cells.length, `${before} of ${cells.length} cells joined`);
  const {cells: size} = await studio(page, 'ground');
  // A wall with the brush, right through the clicked cell's row: what is cut off is dimmed.
  await page.keyboard.press('b');
  await page.fill('#brush-size', '4');
  await page.mouse.move(...await screenOf(page, clicked[0] - 40, clicked[1] + 3));
  await page.mouse.down();
  await page.mouse.move(...await screenOf(page, clicked[0] + 40, clicked[1] + 3), {steps: 10});
  await page.mouse.up();
  await idle(page);
  const painted = (cell) => Math.abs(cell[1] - clicked[1] - 3) <= 3 && Math.abs(cell[0] - clicked[0]) <= 41;
  for (let k = cells.length - 1; k >= 0; --k) {
    if (!painted(cells[k])) continue;
    cells.splice(k, 1);
    plain.splice(k, 1);
  }
  const after = await compare();
  assert.ok((await studio(page, 'ground')).cells < size);
  assert.ok(after <= before, `${after} joined after the wall, ${before} before`);
  assert.deepEqual(errors, []);
  await page.close();
});

test('a split\'s fix is drawn over the map, applied by its button as one edit, and taken back by Ctrl+Z', async () => {
  const {page, errors} = await openStudio();
  await openThroughInput(page, generated('Noise1Level0Map.raw', 'noise', '3', '30', '1'));
  const level0 = await level0Of(page);
  const {splitComponents} = await studio(page, 'problems');
  await page.mouse.move(300, 300);
  await page.keyboard.press('n');
  await idle(page);
  const fix = await studio(page, 'fixes');
  assert.equal(fix.index, 0);
  assert.ok(fix.block.length > 0, 'no cells to block');
  assert.equal(await page.textContent('#fix-title'), 'Mend split 1');
  assert.match(await page.textContent('#fix-block-text'), new RegExp(`^Block ${fix.block.length} erased cells?,`));
  const isOpen = (cell) => page.evaluate(([r, c]) => window.varnholtStudio.findPath(r, c, r, c).then(() => true, () => false), cell);
  for (const cell of fix.block) assert.equal(await isOpen(cell), true, `(${cell}) to block is not open`);
  for (const cell of fix.open) assert.equal(await isOpen(cell), false, `(${cell}) to open is not blocked`);
  // A click on the words goes to the first cell to block, drawn over the map in the fix's colour.
  const [first] = fix.block;
  await page.click('#fix-block-text');
  await idle(page);
  const view = await studio(page, 'view'), box = await page.locator('#overlay').boundingBox();
  assert.deepEqual([view.row + (box.height / 2) * view.scale, view.column + (box.width / 2) * view.scale], first);
  const overlayAt = await page.evaluate(([r, c]) => {
    const view = window.varnholtStudio.view(), ratio = window.devicePixelRatio || 1;
    const x = Math.floor(((c + 0.5 - view.column) / view.scale) * ratio), y = Math.floor(((r + 0.5 - view.row) / view.scale) * ratio);
    return Array.from(document.querySelector('#overlay').getContext('2d').getImageData(x, y, 1, 1).data);
  }, first);
  assert.deepEqual(overlayAt, [0xff, 0xe6, 0x00, 0xff]);
  // Applied: the cells blocked, the split gone and no other made; one Ctrl+Z takes it all back.
  await page.click('#fix-block-apply');
  await page.waitForFunction(() => /^Blocked \d+ cells? to mend split 1$/.test(document.querySelector('#note').textContent));
  await idle(page);
  for (const cell of fix.block) assert.equal(await isOpen(cell), false, `(${cell}) not blocked`);
  assert.equal((await studio(page, 'problems')).splitComponents, splitComponents - 1);
  assert.match(await page.title(), / \* - Varnholt Studio$/);
  await page.keyboard.press('Control+z');
  await idle(page);
  assert.ok((await level0Of(page)).equals(level0), 'the map is not as it was');
  assert.equal((await studio(page, 'problems')).splitComponents, splitComponents);
  assert.deepEqual(await studio(page, 'fixes'), fix);
  assert.deepEqual(errors, []);
  await page.close();
});

test('the panels say they are behind while a stroke is under way, and are current once it ends', async () => {
  const {page, errors} = await openStudio();
  await openThroughInput(page, generated('Noise1Level0Map.raw', 'noise', '3', '30', '1'));
  const before = (await studio(page, 'problems')).lost;
  await page.keyboard.press('b');
  await page.mouse.move(...await screenOf(page, 100, 100));
  await page.mouse.down();
  await page.mouse.move(...await screenOf(page, 100, 260), {steps: 8});
  assert.equal(await page.textContent('#problems-state'), 'updating…');
  await page.mouse.up();
  await idle(page);
  const after = await studio(page, 'problems');
  assert.equal(await page.textContent('#problems-state'), '');
  assert.equal(after.stale, false);
  assert.notDeepEqual(after.lost, before);
  assert.deepEqual(errors, []);
  await page.close();
});

test('the legend and the help open by keyboard; the go-to box, the zoom, the minimap and a rectangle\'s size tell where one is', async () => {
  const {page, errors} = await openStudio();
  await openThroughInput(page, generated('Caves1Level0Map.raw', 'caves', '3', '1'));
  await page.mouse.move(300, 300);
  await page.keyboard.press('Shift+?');
  assert.equal(await page.isVisible('#help'), true);
  assert.match(await page.textContent('#help-keys'), /Ctrl\+S\s*Save the three maps/);
  await page.keyboard.press('Escape');
  assert.equal(await page.isVisible('#help'), false);
  await page.keyboard.press('l');
  assert.equal(await page.isVisible('#legend-items'), true);
  assert.equal(await page.evaluate(() => document.activeElement.textContent), 'Legend (L)');
  assert.match(await page.textContent('#legend-items'), /Unreachable place: ground without any kept area/);
  await page.keyboard.press('Enter');
  assert.equal(await page.isVisible('#legend-items'), false);
  // Ctrl+G, a row and a column: there, near enough to read the cell, the zoom told.
  await page.keyboard.press('Control+g');
  await page.keyboard.type('100, 200');
  await page.keyboard.press('Enter');
  const view = await studio(page, 'view'), box = await page.locator('#overlay').boundingBox();
  assert.deepEqual([view.row + (box.height / 2) * view.scale, view.column + (box.width / 2) * view.scale, view.scale], [100, 200, 1 / 16]);
  await page.waitForFunction(() => document.querySelector('#zoom').textContent === 'zoom 1,600 %');
  await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
  for (let k = 0; k < 10; ++k) await page.mouse.wheel(0, -400);
  await page.waitForFunction(() => document.querySelector('#zoom').textContent === 'zoom 6,400 %');
  // The minimap: a click takes the view to the map's bottom right quarter.
  await page.locator('#minimap').scrollIntoViewIfNeeded();
  const minimap = await page.locator('#minimap').boundingBox();
  await page.mouse.click(minimap.x + minimap.width * 0.75, minimap.y + minimap.height * 0.75);
  const moved = await studio(page, 'view');
  assert.ok(Math.abs(moved.row + (box.height / 2) * moved.scale - 384) < 2 && Math.abs(moved.column + (box.width / 2) * moved.scale - 384) < 2);
  await page.keyboard.press('0');
  await page.keyboard.press('r');
  const [x, y] = await screenOf(page, 10, 20);
  await page.mouse.move(x, y);
  await page.mouse.down();
  await page.mouse.move(...await screenOf(page, 44, 30), {steps: 3});
  assert.equal(await page.textContent('#note'), 'Rectangle 11 × 35 cells');
  await page.mouse.up();
  assert.deepEqual(errors, []);
  await page.close();
});
