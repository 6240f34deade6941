// Imports and exports in Chromium against varnholt-import: a Moving AI map, PNG pictures and Tiled
// maps in JSON and XML with external tilesets, each dropped on the page, open as the very level-0 map
// the program makes of the file; files cut short or malformed say so in one line and keep the map;
// the Export buttons download what varnholt-import --export writes of the map as it stands.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');
const {execFileSync} = require('node:child_process');
const {env, scratch, openStudio, idle, openThroughInput, generated, level0Of} = require('./chromium.js');
const P = require('../page/png.js');
const {writePng} = require('./pngs.js');

// varnholt-import's level-0 map of Source, its tilesets beside it.
function imported(source) {
  const out = `${source}.level0`;
  execFileSync(env.importer, [source, out]);
  return fs.readFileSync(out);
}

// Drops Files ([name, bytes]) on the stage as a file manager would, and waits for the map or the
// message that it failed.
async function drop(page, files) {
  await page.evaluate(() => {
    document.querySelector('#note').textContent = '';
    document.querySelector('#error').hidden = true;
  });
  await page.evaluate((dropped) => {
    const transfer = new DataTransfer();
    for (const {name, bytes} of dropped) transfer.items.add(new File([new Uint8Array(bytes)], name));
    document.querySelector('#stage').dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, bubbles: true, cancelable: true}));
  }, files.map(([name, bytes]) => ({name, bytes: [...bytes]})));
  await page.waitForFunction(() => document.querySelector('#note').textContent.startsWith('Opened') || !document.querySelector('#error').hidden,
    null, {timeout: 120000});
  await idle(page);
}

// Opaque pixels of every kind about the threshold (a grey of 127 is dark, 128 light, and colours
// whose luma falls either side), and white or black at every alpha about one half.
function testPicture() {
  const opaque = [[127, 127, 127], [128, 128, 128], [255, 0, 0], [0, 255, 0], [0, 0, 255], [255, 0, 255], [0, 255, 255], [200, 90, 40], [30, 140, 250], [0, 0, 0], [255, 255, 255]];
  return writePng(97, 70, {}, (x, y) => {
    if ((x * 7 + y * 3) % 5 === 0) return [255 * (y & 1), 255 * (y & 1), 255 * (y & 1), [0, 1, 127, 128, 129, 254][x % 6]];
    return [...opaque[(x * 31 + y * 17) % opaque.length], 255];
  });
}

// A Moving AI map wider than high, every byte the format knows, lines ended by CR LF.
function testMovingAi() {
  const rows = [];
  for (let y = 0; y < 66; ++y) {
    let row = '';
    for (let x = 0; x < 131; ++x) row += '.GS@OTW'[(x * x + 3 * y + ((x ^ y) & 4)) % 7];
    rows.push(row);
  }
  return Buffer.from(`type octile\r\nheight 66\r\nwidth 131\r\nmap\r\n${rows.join('\r\n')}\r\n`);
}

// A Tiled map of 70 x 45 tiles: a CSV layer and, within a group, a zlib layer with flipped tiles;
// an embedded tileset and one in a file of its own.
function testTiled() {
  const width = 70, height = 45;
  const ground = [], walls = [];
  for (let k = 0; k < width * height; ++k) {
    ground.push([0, 1, 2, 3][(k * 7 + Math.floor(k / width)) % 4]);
    const gid = (k % 11 === 0 ? 20 : k % 13 === 0 ? 21 : 0);
    walls.push(gid === 0 ? 0 : (gid | (k % 3 === 0 ? 0x80000000 : 0)) >>> 0);
  }
  const map = {
    type: 'map', orientation: 'orthogonal', width, height, tilewidth: 16, tileheight: 16, infinite: false,
    tilesets: [{firstgid: 1, name: 'ground', tiles: [{id: 1, properties: [{name: 'collides', type: 'bool', value: true}]}]}, {firstgid: 20, source: 'walls.tsj'}],
    layers: [
      {type: 'tilelayer', name: 'Ground', width, height, x: 0, y: 0, data: ground},
      {type: 'group', name: 'Upper', layers: [{type: 'tilelayer', name: 'Walls', width, height, encoding: 'base64', compression: 'zlib',
        data: zlib.deflateSync(Buffer.from(Uint32Array.from(walls).buffer)).toString('base64')}]},
    ],
  };
  const tileset = {name: 'walls', tiles: [{id: 0, properties: [{name: 'collides', type: 'bool', value: true}]}, {id: 1, properties: [{name: 'collides', type: 'bool', value: false}]}]};
  return {map: Buffer.from(JSON.stringify(map)), tileset: Buffer.from(JSON.stringify(tileset))};
}

// The same in Tiled's XML, the walls gzipped, a layer of <tile> elements more, and the tileset a
// .tsx file; an infinite map's chunks besides.
function testTmx() {
  const width = 70, height = 45;
  const ground = [], walls = [], tiles = [];
  for (let k = 0; k < width * height; ++k) {
    ground.push([0, 1, 2, 3][(k * 5 + Math.floor(k / width)) % 4]);
    walls.push(k % 9 === 0 ? 20 : k % 17 === 0 ? 21 : 0);
    tiles.push(k % 23 === 0 ? '<tile gid="2"/>' : '<tile/>');
  }
  const csv = (gids) => gids.map((gid, k) => (k % width === width - 1 ? `${gid},\n` : `${gid},`)).join('').replace(/,\n$/, '\n');
  const map = `<?xml version="1.0" encoding="UTF-8"?>
<map version="1.10" orientation="orthogonal" renderorder="right-down" width="${width}" height="${height}" tilewidth="16" tileheight="16" infinite="0">
 <tileset firstgid="1" name="ground" tilewidth="16" tileheight="16" tilecount="4" columns="4">
  <image source="ground.png" width="64" height="16"/>
  <tile id="1"><properties><property name="collides" type="bool" value="true"/></properties></tile>
 </tileset>
 <tileset firstgid="20" source="walls.tsx"/>
 <layer id="1" name="Ground" width="${width}" height="${height}">
  <data encoding="csv">
${csv(ground)}</data>
 </layer>
 <group id="2" name="Upper">
  <layer id="3" name="Walls" width="${width}" height="${height}">
   <data encoding="base64" compression="gzip">
    ${zlib.gzipSync(Buffer.from(Uint32Array.from(walls).buffer)).toString('base64')}
   </data>
  </layer>
  <layer id="4" name="Marks" width="${width}" height="${height}"><data>${tiles.join('')}</data></layer>
 </group>
 <objectgroup id="5" name="Spawns"><object id="1" x="32" y="48"/></objectgroup>
</map>
`;
  const tileset = '<?xml version="1.0" encoding="UTF-8"?>\n<tileset version="1.10" name="walls" tilewidth="16" tileheight="16" tilecount="2" columns="2">\n <tile id="0">\n  <properties>\n   <property name="collides" type="bool" value="true"/>\n  </properties>\n </tile>\n</tileset>\n';
  const chunks = [];
  for (const [x, y] of [[-16, 0], [0, 0], [16, 16], [-16, 32]]) {
    const gids = Array.from({length: 256}, (_, k) => ((k * 7 + x + y) % 5 === 0 ? 2 : 1));
    chunks.push(`<chunk x="${x}" y="${y}" width="16" height="16">${gids.join(',')}</chunk>`);
  }
  const infinite = `<?xml version="1.0"?><map orientation="orthogonal" width="30" height="30" tilewidth="16" tileheight="16" infinite="1">
 <tileset firstgid="1" name="ground"><tile id="1"><properties><property name="collides" type="bool" value="true"/></properties></tile></tileset>
 <layer id="1" name="Ground" width="30" height="30"><data encoding="csv">${chunks.join('\n')}</data></layer>
</map>`;
  return {map: Buffer.from(map), tileset: Buffer.from(tileset), infinite: Buffer.from(infinite)};
}

test('a Moving AI map, a PNG picture and Tiled maps in JSON and XML dropped on the page open as the level-0 map varnholt-import makes of each', async () => {
  const folder = fs.mkdtempSync(path.join(scratch, 'import-'));
  const write = (name, bytes) => {
    fs.writeFileSync(path.join(folder, name), bytes);
    return path.join(folder, name);
  };
  const tiled = testTiled(), tmx = testTmx();
  write('walls.tsj', tiled.tileset);
  write('walls.tsx', tmx.tileset);
  // And a picture as varnholt-import exports one, 1-bit grey, of a map varnholt-genmap makes.
  const caves = generated('Caves1Level0Map.raw', 'caves', '2', '5');
  const exported = path.join(folder, 'caves.png');
  execFileSync(env.importer, ['--export', 'png', caves, exported]);
  const sources = [
    ['arena.map', testMovingAi(), 'arena1Level0Map.raw', '256 x 256 cells'],
    ['picture.png', testPicture(), 'picture1Level0Map.raw', '128 x 128 cells'],
    ['caves.png', fs.readFileSync(exported), 'caves1Level0Map.raw', '256 x 256 cells'],
    ['keep.tmj', tiled.map, 'keep1Level0Map.raw', '128 x 128 cells'],
    ['tower.tmx', tmx.map, 'tower1Level0Map.raw', '128 x 128 cells'],
    ['wilds.tmx', tmx.infinite, 'wilds1Level0Map.raw', '64 x 64 cells'],
  ];
  const {page, errors} = await openStudio();
  // An import is no level-0 file yet: opening the next asks before it is lost.
  const asked = [];
  page.on('dialog', (dialog) => {
    asked.push(dialog.message());
    dialog.accept();
  });
  for (const [name, bytes, level0Name, size] of sources) {
    const expected = imported(write(name, bytes));
    const tilesets = {'.tmj': [['walls.tsj', tiled.tileset]], '.tmx': [['walls.tsx', tmx.tileset]]}[path.extname(name)] || [];
    await drop(page, [...tilesets, [name, bytes]]);
    assert.equal(await page.isHidden('#error'), true, `${name}: ${await page.textContent('#error')}`);
    assert.equal(await page.textContent('#note'), `Opened ${name} as ${level0Name}`);
    assert.ok((await page.textContent('#map-facts')).startsWith(size), name);
    assert.equal(await page.inputValue('#map-name'), level0Name);
    assert.ok((await level0Of(page)).equals(expected), `${name}: the level-0 bytes differ from varnholt-import's`);
  }
  assert.deepEqual(asked, Array(sources.length - 1).fill('The map has unsaved edits. Open another and lose them?'));
  // The caves' picture, dropped above, is the map it was exported from.
  assert.ok(imported(exported).equals(fs.readFileSync(caves)));
  assert.deepEqual(errors, []);
  await page.close();
});

// Pictures whose pixels lie about the threshold in every form PNG stores them: partly transparent
// (alpha 127, 128, 129), greys and colours a step either side of one half, in 16 bits, from a
// palette with tRNS, keyed by a colour, interlaced. A canvas would round the colours of the partly
// transparent; the studio must read each sample as varnholt-import does.
function thresholdPictures() {
  const alphas = [127, 128, 129, 254, 255, 1];
  const colours = [[127, 127, 127], [128, 128, 128], [126, 130, 127], [0, 178, 0], [1, 178, 0], [0, 178, 3], [255, 0, 0], [60, 150, 200]];
  const pick = (x, y, list) => list[(x * 5 + y * 3 + ((x * y) >> 2)) % list.length];
  const palette = colours.flat();
  return [
    ['halves.png', writePng(61, 37, {depth: 8, colour: 6}, (x, y) => [...pick(x, y, colours), pick(y, x, alphas)])],
    ['halves16.png', writePng(45, 50, {depth: 16, colour: 6, interlace: 1}, (x, y) => [...pick(x, y, colours).map((v) => v * 256 + pick(y, x, [0, 255, 128])), pick(y, x, alphas) * 256 + pick(x, y, [0, 255])])],
    ['greys16.png', writePng(33, 21, {depth: 16, colour: 0, interlace: 1, transparency: [0x80, 0x01]}, (x, y) => [pick(x, y, [0x7fff, 0x8000, 0x8001, 0x80ff, 0xffff])])],
    ['greyalpha.png', writePng(30, 29, {depth: 8, colour: 4, interlace: 1}, (x, y) => [pick(x, y, [126, 127, 128, 129]), pick(y, x, alphas)])],
    ['palette.png', writePng(40, 40, {depth: 8, colour: 3, palette, transparency: [127, 128, 129, 0, 200]}, (x, y) => [pick(x, y, [0, 1, 2, 3, 4, 5, 6, 7, 9])])],
    ['palette4.png', writePng(19, 23, {depth: 4, colour: 3, interlace: 1, palette, transparency: [255, 129, 127]}, (x, y) => [pick(x, y, [0, 1, 2, 3, 7])])],
    ['grey2.png', writePng(27, 14, {depth: 2, colour: 0, interlace: 1, transparency: [0, 2]}, (x, y) => [pick(x, y, [0, 1, 2, 3])])],
    ['rgb16.png', writePng(25, 25, {depth: 16, colour: 2, transparency: [0x80, 0x00, 0x80, 0x00, 0x80, 0x01]}, (x, y) => pick(x, y, [[0x8000, 0x8000, 0x8001], [0x8000, 0x8000, 0x8000], [0x7fff, 0x7fff, 0x7fff]]))],
    // A key beyond the depth's samples, and a tRNS longer than the palette.
    ['keywide.png', writePng(9, 9, {depth: 8, colour: 0, transparency: [0x01, 0x80]}, (x, y) => [pick(x, y, [0x80, 0x7f, 0xff])])],
    ['longtrns.png', writePng(9, 9, {depth: 8, colour: 3, palette: [255, 255, 255, 0, 0, 0], transparency: [0, 0, 0]}, (x, y) => [pick(x, y, [0, 1])])],
  ];
}

test('pictures of partly transparent pixels about the threshold, 16-bit, palettes with tRNS, keyed and interlaced open as varnholt-import makes them', async () => {
  const folder = fs.mkdtempSync(path.join(scratch, 'threshold-'));
  const {page, errors} = await openStudio();
  page.on('dialog', (dialog) => dialog.accept());
  for (const [name, bytes] of thresholdPictures()) {
    fs.writeFileSync(path.join(folder, name), bytes);
    const expected = imported(path.join(folder, name));
    await drop(page, [[name, bytes]]);
    assert.equal(await page.isHidden('#error'), true, `${name}: ${await page.textContent('#error')}`);
    assert.ok((await level0Of(page)).equals(expected), `${name}: the level-0 bytes differ from varnholt-import's`);
  }
  assert.deepEqual(errors, []);
  await page.close();
});

test('a picture cut short, a .map with a wrong row, a Tiled map without its tileset: one line each, and the map kept', async () => {
  const {page, errors} = await openStudio();
  const caves = generated('Caves1Level0Map.raw', 'caves', '2', '5');
  await openThroughInput(page, caves);
  const before = await level0Of(page);
  const folder = fs.mkdtempSync(path.join(scratch, 'hostile-'));
  const picture = path.join(folder, 'caves.png');
  execFileSync(env.importer, ['--export', 'png', caves, picture]);
  const whole = fs.readFileSync(picture);
  const wrongRow = Buffer.from('type octile\nheight 3\nwidth 4\nmap\n....\n...\n....\n');
  const cases = [
    ['cut.png', whole.subarray(0, Math.floor(whole.length / 2)), /^cut\.png: not a whole PNG image: it is cut short at byte \d+, inside its IDAT chunk of \d+ bytes$/],
    ['flipped.png', Buffer.concat([whole.subarray(0, 45), Buffer.from([whole[45] ^ 0x10]), whole.subarray(46)]), /^flipped\.png: not a whole PNG image: its IDAT chunk at byte 33 is damaged/],
    ['rows.map', wrongRow, /^rows\.map: line 6: 3 characters, the width is 4$/],
    ['keep.tmj', testTiled().map, /^keep\.tmj, tileset 'walls\.tsj': walls\.tsj was not opened with the map/],
    ['broken.tmx', Buffer.from('<?xml version="1.0"?>\n<map width="3" height="2">\n<layer name="W">\n</map>\n'), /^broken\.tmx, line 4: <\/map> where <\/layer> is due$/],
  ];
  for (const [name, bytes, message] of cases) {
    await drop(page, [[name, bytes]]);
    const shown = await page.textContent('#error');
    assert.match(shown, message);
    assert.ok(!shown.includes('\n'), shown);
    assert.equal(await page.inputValue('#map-name'), 'Caves1Level0Map.raw');
    assert.ok((await level0Of(page)).equals(before), `${name} changed the map`);
  }
  // The program refuses the same .map at the same line.
  fs.writeFileSync(path.join(folder, 'rows.map'), wrongRow);
  assert.throws(() => execFileSync(env.importer, [path.join(folder, 'rows.map'), path.join(folder, 'out.raw')], {stdio: 'pipe'}),
    (error) => /line 6: 3 characters, the width is 4/.test(error.stderr.toString() + error.stdout.toString()));
  assert.deepEqual(errors, []);
  await page.close();
});

test('Export .map and Export PNG download what varnholt-import --export writes of the map as it stands, edits included', async () => {
  const {page, errors} = await openStudio();
  await openThroughInput(page, generated('Noise1Level0Map.raw', 'noise', '2', '35', '3'));
  // An edit first: the export is of the map as it now stands.
  await page.evaluate(() => window.varnholtStudio.setCells(10, 20, 3, 40, new Uint8Array(120).fill(1)));
  await idle(page);
  const folder = fs.mkdtempSync(path.join(scratch, 'export-'));
  const level0 = path.join(folder, 'Edited1Level0Map.raw');
  fs.writeFileSync(level0, await level0Of(page));
  const programs = {};
  for (const format of ['map', 'png']) {
    execFileSync(env.importer, ['--export', format, level0, path.join(folder, `out.${format}`)]);
    programs[format] = fs.readFileSync(path.join(folder, `out.${format}`));
  }
  const downloaded = async (button) => {
    const [download] = await Promise.all([page.waitForEvent('download'), page.click(button)]);
    return {name: download.suggestedFilename(), bytes: fs.readFileSync(await download.path())};
  };
  const map = await downloaded('#export-map');
  assert.equal(map.name, 'Noise1Level0Map.map');
  assert.ok(map.bytes.equals(programs.map), 'the .map differs from varnholt-import --export map');
  assert.equal(await page.textContent('#note'), 'Exported Noise1Level0Map.map');

  // The picture: its chunks and header those libpng writes, and its rows, once inflated, the
  // same bytes; then the whole file, whose deflate stream is the browser's (zlib's, in the
  // Chromium tested) under libpng's zlib header: should a browser compress otherwise, the checks
  // before tell that the picture is still the same.
  const png = await downloaded('#export-png');
  assert.equal(png.name, 'Noise1Level0Map.png');
  assert.equal(P.problem(png.bytes), null);
  const ours = P.chunks(png.bytes), theirs = P.chunks(programs.png);
  const types = (chunks) => [...new Set(chunks.map((c) => c.type))];
  assert.deepEqual(types(ours), types(theirs));
  assert.ok(Buffer.from(ours[0].data).equals(Buffer.from(theirs[0].data)), 'IHDR differs');
  const rows = (chunks) => zlib.inflateSync(Buffer.concat(chunks.filter((c) => c.type === 'IDAT').map((c) => c.data)));
  assert.ok(rows(ours).equals(rows(theirs)), 'the picture\'s rows differ');
  assert.ok(png.bytes.equals(programs.png), 'the PNG differs from varnholt-import --export png in its compressed stream');
  // And the picture imports as the map exported.
  fs.writeFileSync(path.join(folder, 'ours.png'), png.bytes);
  assert.ok(imported(path.join(folder, 'ours.png')).equals(imported(path.join(folder, 'out.png'))));
  assert.deepEqual(errors, []);
  await page.close();
});
