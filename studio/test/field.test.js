// The field toward a goal in Chromium: the goal set by a click with the Field tool (chosen by its
// key), each cell's distance, colour and arrow as drawn against a breadth-first search over the
// map's cells as varnholt-import exports them, and the same again after an edit walls a way off.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const {execFileSync} = require('node:child_process');
const {env, scratch, openStudio, idle, openThroughInput, generated, screenOf, level0Of} = require('./chromium.js');
const L = require('../page/logic.js');

// The map's cells, true where blocked, from the level-0 bytes the page holds.
async function cellsOf(page) {
  const folder = fs.mkdtempSync(path.join(scratch, 'field-'));
  fs.writeFileSync(path.join(folder, 'Field1Level0Map.raw'), await level0Of(page));
  execFileSync(env.importer, ['--export', 'map', path.join(folder, 'Field1Level0Map.raw'), path.join(folder, 'out.map')]);
  return fs.readFileSync(path.join(folder, 'out.map'), 'latin1').split('\n').slice(4).filter((row) => row !== '').map((row) => [...row].map((c) => c === '@'));
}

// Steps from the goal to every cell, 4-adjacent; -1 where blocked or not joined.
function breadthFirst(cells, goal) {
  const side = cells.length;
  const distance = cells.map((row) => row.map(() => -1));
  distance[goal[0]][goal[1]] = 0;
  const queue = [goal];
  for (let k = 0; k < queue.length; ++k) {
    const [r, c] = queue[k];
    for (const [dr, dc] of [[-1, 0], [1, 0], [0, -1], [0, 1]]) {
      const nr = r + dr, nc = c + dc;
      if (nr < 0 || nc < 0 || nr >= side || nc >= side || cells[nr][nc] || distance[nr][nc] >= 0) continue;
      distance[nr][nc] = distance[r][c] + 1;
      queue.push([nr, nc]);
    }
  }
  return distance;
}

// The overlay's pixel near the top left corner of cell (Row, Column), off the arrow and the borders.
function overlayAt(page, row, column) {
  return page.evaluate(([r, c]) => {
    const view = window.varnholtStudio.view();
    const ratio = window.devicePixelRatio || 1;
    const x = Math.floor(((c + 0.15 - view.column) / view.scale) * ratio), y = Math.floor(((r + 0.15 - view.row) / view.scale) * ratio);
    return Array.from(document.querySelector('#overlay').getContext('2d').getImageData(x, y, 1, 1).data);
  }, [row, column]);
}

// Every cell of the rectangle in view checked: the library's distance and the one drawn are the
// search's, the colour drawn is the heat map's for it (nothing where unreachable), and the arrow
// points to the first of up, down, left and right one step nearer.
async function checkView(page, distance, goal) {
  let reached = 0, unreached = 0;
  for (let row = 2; row < 27; row += 2) {
    for (let column = 1; column < 36; column += 3) {
      if (row === goal[0] && column === goal[1]) continue;
      const {distance: asked, shown} = await page.evaluate(([r, c]) => window.varnholtStudio.field(r, c), [row, column]);
      const expected = distance[row][column];
      assert.equal(asked, expected, `library's distance at ${row}, ${column}`);
      assert.ok(shown, `nothing drawn at ${row}, ${column}: ${JSON.stringify(await page.evaluate(() => window.varnholtStudio.view()))}`);
      assert.equal(shown.distance, expected, `distance drawn at ${row}, ${column}`);
      const pixel = await overlayAt(page, row, column);
      if (expected < 0) {
        ++unreached;
        assert.equal(shown.colour, null);
        assert.equal(pixel[3], 0, `uncoloured at ${row}, ${column}`);
        continue;
      }
      ++reached;
      const colour = L.heatColour(expected, shown.most);
      assert.deepEqual(shown.colour, colour);
      assert.ok(Math.abs(pixel[3] - Math.round(255 * L.kHeatAlpha)) <= 1, `alpha at ${row}, ${column}: ${pixel}`);
      for (let k = 0; k < 3; ++k) assert.ok(Math.abs(pixel[k] - colour[k]) <= 3, `colour at ${row}, ${column}: ${pixel} for ${colour}`);
      if (expected === 0) continue;
      const toward = [[-1, 0], [1, 0], [0, -1], [0, 1]].findIndex(([dr, dc]) => distance[row + dr] && distance[row + dr][column + dc] === expected - 1);
      assert.equal(shown.next, toward + 1, `arrow at ${row}, ${column}`);
    }
  }
  return {reached, unreached};
}

test('a click with the Field tool sets a goal; the heat map and arrows drawn follow a breadth-first search, and an edit', async () => {
  const {page, errors} = await openStudio();
  await openThroughInput(page, generated('Noise1Level0Map.raw', 'noise', '1', '38', '4'));
  // The marks the overlay draws besides the field are hidden, so that its pixels are the field's.
  for (const layer of ['waypoints', 'links', 'marks', 'grid']) await page.click(`[data-layer="${layer}"]`);
  await page.evaluate(() => window.varnholtStudio.view({scale: 1 / 20, row: 0, column: 0}));
  await idle(page);
  const cells = await cellsOf(page);
  let goal = null;
  for (let row = 14; !goal; ++row) if (!cells[row][20]) goal = [row, 20];
  await page.keyboard.press('d');
  assert.equal(await page.getAttribute('[data-tool="field"]', 'class'), 'chosen');
  await page.mouse.click(...await screenOf(page, goal[0], goal[1]));
  await idle(page);
  assert.match(await page.textContent('#field-facts'), new RegExp(`^Goal at row ${goal[0]}, column ${goal[1]}; the farthest cell in view that reaches it is \\d+ steps away$`));
  const before = await checkView(page, breadthFirst(cells, goal), goal);
  assert.ok(before.reached > 40 && before.unreached > 10, JSON.stringify(before));

  // A wall across the map above the goal, two rows high: every distance beyond it changes.
  const wall = goal[0] - 4;
  await page.evaluate((row) => window.varnholtStudio.setCells(row, 0, 2, 128, new Uint8Array(256).fill(1)), wall);
  await idle(page);
  const edited = await cellsOf(page);
  assert.ok(edited[wall].every(Boolean));
  const after = await checkView(page, breadthFirst(edited, goal), goal);
  assert.ok(after.unreached > before.unreached, JSON.stringify({before, after}));

  // Zoomed out, a blocked goal is refused in words and the field kept.
  await page.mouse.click(...await screenOf(page, wall, 3));
  await page.waitForFunction(() => !document.querySelector('#error').hidden);
  assert.match(await page.textContent('#error'), /^Field: Cell blocked: /);
  assert.match(await page.textContent('#field-facts'), new RegExp(`^Goal at row ${goal[0]}, column ${goal[1]}`));
  assert.deepEqual(errors, []);
  await page.close();
});
