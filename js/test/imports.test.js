// Maps from other tools, from the package installed from its tarball: Moving AI text, pictures
// and Tiled layers make the level-0 bytes varnholt-import makes of the same sources, and each
// cell is what a plain reading of the source says; Moving AI text written is the program's.
import test from 'node:test';
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {readFileSync, writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {deflateSync} from 'node:zlib';
import {generatedMap, importPackage, scratchFolder} from './support.js';

const {load, VarnholtError} = await importPackage();
const varnholt = await load();
const program = process.env.VARNHOLT_IMPORT;  // built where zlib is found
const folder = scratchFolder('imports');

function assertFails(call, message, status) {
  assert.throws(call, (failure) => failure instanceof VarnholtError && failure.message === message && failure.status === status);
}

// The level-0 bytes varnholt-import makes of the source (its bytes, written as name), with the
// options given.
function programImport(name, source, ...options) {
  const [input, output] = [join(folder, name), join(folder, `Imported1Level0Map.raw`)];
  writeFileSync(input, source);
  execFileSync(program, [...options, input, output], {stdio: 'pipe'});
  return new Uint8Array(readFileSync(output));
}

// The map's cells against a source of rows x columns cells placed at (0, 0), the rest blocked.
function assertPlaced(map, rows, columns, blockedAt) {
  const side = map.cellsPerSide, cells = map.getCells(0, 0, side, side);
  assert.ok(side >= Math.max(rows, columns, 64) && side / 2 < Math.max(rows, columns, 64));
  for (let at = 0; at < side * side; ++at) {
    const [row, column] = [Math.floor(at / side), at % side];
    assert.equal(cells[at], row < rows && column < columns ? blockedAt(row, column) : 1, `${row}, ${column}`);
  }
}

let state = 7;
function random(below) {
  state = (Math.imul(state, 1103515245) + 12345) >>> 0;
  return Math.floor((state / 2 ** 32) * below);
}

test('Moving AI text round-trips and makes the level-0 bytes of varnholt-import', {skip: !program && 'varnholt-import not built'}, () => {
  for (const words of [['maze', 2, 3, 5], ['noise', 3, 30, 2], ['rooms', 1, 4]]) {
    const {path} = generatedMap(words[0], ...words);
    const map = varnholt.analyse(readFileSync(path)), side = map.cellsPerSide;
    const text = map.exportMovingAi();
    const exported = join(folder, 'exported.map');
    execFileSync(program, ['--export', 'map', path, exported], {stdio: 'pipe'});
    assert.equal(text, readFileSync(exported, 'latin1'));
    const imported = varnholt.importMovingAi(text);
    assert.deepEqual(imported.getCells(0, 0, side, side), map.getCells(0, 0, side, side));
    assert.deepEqual(imported.file('level0'), programImport('round.map', text));
    assert.deepEqual(varnholt.importMovingAi(new TextEncoder().encode(text)).file('level0'), imported.file('level0'));
    imported.close();
    map.close();
  }
  // A source smaller than its map and not square, every kind of byte, CR LF and blank lines after.
  const rows = Array.from({length: 70}, () => Array.from({length: 9}, () => '.GST@W'[random(6)]).join(''));
  const text = ['type octile', 'height 70', 'width 9', 'map', ...rows, '', ''].join('\r\n');
  const map = varnholt.importMovingAi(text);
  assertPlaced(map, 70, 9, (row, column) => ('.GS'.includes(rows[row][column]) ? 0 : 1));
  assert.deepEqual(map.file('level0'), programImport('small.map', text));
  map.close();
  assertFails(() => varnholt.importMovingAi('type octile\nwidth 4\n'), "line 2: 'height N' expected, found 'width 4'", 'VARNHOLT_ERROR_READ');
  assertFails(() => varnholt.importMovingAi('type octile\nheight 1\nwidth 2\nmap\n...\n'), 'line 5: 3 characters, the width is 2', 'VARNHOLT_ERROR_READ');
});

// A PNG of 8-bit RGBA pixels, filter 0 on every row, as any decoder reads it.
function png(width, height, rgba) {
  const crcTable = Array.from({length: 256}, (_, n) => {
    for (let k = 0; k < 8; ++k) n = n & 1 ? 0xedb88320 ^ (n >>> 1) : n >>> 1;
    return n >>> 0;
  });
  const chunk = (type, data) => {
    const body = Buffer.concat([Buffer.from(type, 'latin1'), data]);
    let crc = 0xffffffff;
    for (const byte of body) crc = crcTable[(crc ^ byte) & 255] ^ (crc >>> 8);
    const framed = Buffer.alloc(body.length + 8);
    framed.writeUInt32BE(data.length, 0);
    body.copy(framed, 4);
    framed.writeUInt32BE((crc ^ 0xffffffff) >>> 0, body.length + 4);
    return framed;
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header.set([8, 6, 0, 0, 0], 8);
  const rows = Buffer.concat(Array.from({length: height}, (_, r) => Buffer.concat([Buffer.of(0), rgba.subarray(4 * width * r, 4 * width * (r + 1))])));
  return Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), chunk('IHDR', header), chunk('IDAT', deflateSync(rows)), chunk('IEND', Buffer.alloc(0))]);
}

test('pixels are open when opaque and light enough, as varnholt-import reads the picture', () => {
  const [width, height] = [100, 37];
  // Greys about each threshold, colours, and alpha about half.
  const data = Uint8Array.from({length: 4 * width * height}, (_, k) => (k % 4 === 3 ? [0, 127, 128, 255, 255][random(5)] : random(256)));
  const pixel = (row, column) => data.subarray(4 * (row * width + column), 4 * (row * width + column) + 4);
  for (const [threshold, darkOpen] of [[50, false], [0, false], [100, false], [30, true], [73, false]]) {
    const map = varnholt.importPixels({data, width, height}, {threshold, darkOpen});
    assertPlaced(map, height, width, (row, column) => {
      const [red, green, blue, alpha] = pixel(row, column), luma = 2126 * red + 7152 * green + 722 * blue;
      return alpha >= 128 && (darkOpen ? luma <= 25500 * (100 - threshold) : luma >= 25500 * threshold) ? 0 : 1;
    });
    if (program) {
      const options = ['--threshold', String(threshold), ...(darkOpen ? ['--dark-open'] : [])];
      assert.deepEqual(map.file('level0'), programImport('picture.png', png(width, height, data), ...options));
    }
    map.close();
  }
  assertFails(() => varnholt.importPixels({data, width, height}, {threshold: 101}), 'Threshold outside 0 to 100: 101', 'VARNHOLT_ERROR_ARGUMENT');
  assertFails(() => varnholt.importPixels({data, width: 99, height}), `Expected 99 x 37 pixels of four bytes, not ${data.length} bytes`, 'VARNHOLT_ERROR_ARGUMENT');
});

test('Tiled layers block the cells whose tile collides in any layer, as varnholt-import reads the map', () => {
  const [width, height] = [80, 3];
  // Two tilesets: tiles 1 and 4 of the first and 0 of the second collide; flip bits count as none.
  const firstGids = [1, 9], colliding = [[0, 1], [0, 4], [1, 0]];
  const flips = [0, 0x80000000, 0x40000000, 0x20000000];
  const layers = [0, 1].map(() => Array.from({length: width * height}, () => (random(13) + flips[random(4)]) >>> 0));
  const collides = (gid) => [2, 5, 9].includes(gid & 0x0fffffff);
  const map = varnholt.importTiled({rows: height, columns: width, layers, firstGids, colliding});
  assertPlaced(map, height, width, (row, column) => (layers.some((layer) => collides(layer[row * width + column])) ? 1 : 0));
  if (program) {
    const tileset = (firstgid, ids) => ({firstgid, name: `set${firstgid}`, tilecount: 8, columns: 8, tilewidth: 16, tileheight: 16,
      image: 'tiles.png', imagewidth: 128, imageheight: 16, tiles: ids.map((id) => ({id, properties: [{name: 'collides', type: 'bool', value: true}]}))});
    const source = {type: 'map', orientation: 'orthogonal', infinite: false, width, height, tilewidth: 16, tileheight: 16,
      layers: layers.map((data, k) => ({type: 'tilelayer', name: `layer${k}`, width, height, data, visible: true, opacity: 1, x: 0, y: 0})),
      tilesets: [tileset(1, [1, 4]), tileset(9, [0])]};
    assert.deepEqual(map.file('level0'), programImport('level.tmj', JSON.stringify(source)));
  }
  map.close();
  const tiledFails = (source, message) => assertFails(() => varnholt.importTiled({rows: 1, columns: 1, layers: [[1]], firstGids: [1], colliding: [], ...source}), message, 'VARNHOLT_ERROR_ARGUMENT');
  tiledFails({colliding: [[1, 0]]}, 'No such tile: tileset 1, tile 0');
  tiledFails({firstGids: [1, 1]}, 'First gids not ascending from 1: tileset 1 at 1');
  tiledFails({layers: [[1, 1]]}, 'A layer is not 1 x 1 tile ids');
  tiledFails({layers: [[-1]]}, 'layer 0 is not a Uint32Array or an array of unsigned 32-bit integers');
  tiledFails({colliding: [[0]]}, 'colliding is not an array of [tileset, tile] pairs');
});

test('cells given make the map a plain placement says', () => {
  const blocked = Uint8Array.from({length: 130 * 5}, () => random(2) * 255);
  const map = varnholt.importCells(130, 5, blocked);
  assertPlaced(map, 130, 5, (row, column) => (blocked[row * 5 + column] ? 1 : 0));
  map.close();
  assertFails(() => varnholt.importCells(0, 5, new Uint8Array(0)), 'Empty source: 0 x 5 cells', 'VARNHOLT_ERROR_SIZE');
  assertFails(() => varnholt.importCells(70000, 1, new Uint8Array(70000)), 'Source too large: 70000 x 1 cells, at most 65536 a side', 'VARNHOLT_ERROR_SIZE');
});
