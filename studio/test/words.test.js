// What the studio says, under Node: the cell under the pointer in map cells and plain words, why
// a file did not open told from what the file is, names that cannot be files', the zoom and the
// place in a long list.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const L = require('../page/logic.js');
const W = require('../page/words.js');

test('a cell is told in map cells: blocked, erased, or its area with the waypoint and links', () => {
  const bytes = new Uint8Array(16);
  bytes[12] = (1 << 4) | (1 << 5);  // areas 1 and 2
  bytes[6] = 10; bytes[7] = 20;     // area 2 at column 10, row 20
  bytes[0] = 1 << 4;                // area 2 linked to area 1 below
  bytes[2] = (1 << 4) | (1 << 5);   // and to areas 1 and 2 to the right
  const record = L.parseRecord(bytes);
  const at = {row: 150, column: 75, i: 2, j: 1, record};
  assert.equal(W.cellText({...at, blocked: true}), 'Row 150, column 75: blocked (segment 2, 1)');
  assert.match(W.cellText({...at, blocked: false, area: 0}), /^Row 150, column 75: open, in an erased area of segment 2, 1.*not in the info map/);
  assert.equal(W.cellText({...at, blocked: false, area: 2}),
    'Row 150, column 75: open, area 2 of segment 2, 1; waypoint at row 148, column 74; linked to area 1 below and areas 1 and 2 to the right');
  assert.match(W.cellText({...at, blocked: false, area: 1}), /linked to no area below or to the right$/);
});

test('a file that does not open is told by what it is, with the library\'s words', () => {
  const png = Uint8Array.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0, 0, 0, 13]);
  assert.equal(W.fileProblem('shot.png', png, 5000, 'You selected an Info map!'), 'shot.png is a PNG image, not a level-0 map (You selected an Info map!)');
  const text = new TextEncoder().encode('Notes on the map\r\nrow 1, column 2\n');
  assert.equal(W.fileProblem('notes.txt', text, text.length, 'Error reading file'), 'notes.txt is a text file, not a level-0 map (Error reading file)');
  const cut = Uint8Array.from([6, 0, 0, 0, 6, 0, 0, 0, 6, 0, 0, 0, 0, 0]);
  assert.equal(W.fileProblem('Cave1Level0Map.raw', cut, 1234567, 'Error reading file'),
    'Cave1Level0Map.raw ends before the map it begins does, after 1,234,567 bytes: it is cut short, or no level-0 map (Error reading file)');
  assert.match(W.fileProblem('CaveInfo.raw', cut, 99, 'You selected an Info map!'), /^CaveInfo\.raw did not open: it is an info map.*open the level-0 map.*\(You selected an Info map!\)$/);
  assert.equal(W.fileProblem('x.raw', cut, 99, 'Something new'), 'x.raw: Something new');
});

test('names no system can write are refused with the characters that stand in the way', () => {
  assert.equal(W.nameProblem('Forest1Level0Map.raw'), null);
  assert.equal(W.nameProblem('  '), 'Give the map a file name');
  assert.equal(W.nameProblem('a/b\\c:d1Level0Map.raw'), 'A file name cannot hold /, \\ and :');
  assert.equal(W.nameProblem('what?*.raw'), 'A file name cannot hold ? and *');
  assert.equal(W.nameProblem('tab\there.raw'), 'A file name cannot hold control characters');
});

test('the zoom is told as a map editor tells it, and a page of a long list by its entries', () => {
  assert.deepEqual(W.zoomText(1), {text: '100 %', detail: '1 pixel a cell'});
  assert.deepEqual(W.zoomText(0.25), {text: '400 %', detail: '4 pixels a cell'});
  assert.deepEqual(W.zoomText(1 / 64), {text: '6,400 %', detail: '64 pixels a cell'});
  assert.deepEqual(W.zoomText(16), {text: '6.3 %', detail: '16 cells a pixel'});
  assert.deepEqual(W.zoomText(27.3), {text: '3.7 %', detail: '27.3 cells a pixel'});
  assert.equal(W.rectText({rows: 12, columns: 1500}), '1,500 × 12 cells');
  assert.equal(W.rangeText(100, 150, 116695), '101–150 of 116,695');
  assert.equal(W.rangeText(0, 0, 0), 'none');
});
