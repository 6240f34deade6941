// What tells a file opened and reads a Tiled JSON map (sources.js), and PNG's chunks (png.js),
// under Node: the kinds told by first bytes and names, a Tiled map's tilesets, layers, groups and
// chunks with their failures named as varnholt-import names them, pictures cut short or damaged
// found so before any decoding, and pictures decoded to the samples varnholt-import reads.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const zlib = require('node:zlib');
const S = require('../page/sources.js');
const P = require('../page/png.js');

const bytes = (text) => new TextEncoder().encode(text);
const inflate = async (data, format) => new Uint8Array(format === 'gzip' ? zlib.gunzipSync(data) : zlib.inflateSync(data));
const gidBase64 = (gids, pack = (b) => b) => Buffer.from(pack(Buffer.from(Uint32Array.from(gids).buffer))).toString('base64');

test('a file is told by its first bytes, the map among files dropped together, and the name an import takes', () => {
  assert.equal(S.kindOf(Uint8Array.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0]), 'x.raw'), 'png');
  assert.equal(S.kindOf(bytes('\ufeff \n{"type":"map"}')), 'tiled');
  assert.equal(S.kindOf(bytes('<?xml version="1.0"?>')), 'tmx');
  assert.equal(S.kindOf(bytes('type octile\nheight 1\n')), 'movingai');
  assert.equal(S.kindOf(bytes('height 1\n'), 'arena.MAP'), 'movingai');
  assert.equal(S.kindOf(Uint8Array.from([0x89, 0x50, 0x4e]), 'a.raw'), 'level0');
  assert.equal(S.kindOf(new Uint8Array(32), 'Infantry1Level0Map.raw'), 'level0');
  assert.equal(S.mainFile(['walls.tsj', 'arena.tmj']), 1);
  assert.equal(S.mainFile(['InfantryInfo.raw', 'Infantry1Level0Map.raw']), 1);
  assert.equal(S.mainFile(['a.raw', 'b.raw']), 0);
  assert.equal(S.level0Name('maze512.png'), 'maze1Level0Map.raw');
  assert.equal(S.level0Name('42.map'), 'Imported1Level0Map.raw');
});

test('a Tiled map\'s tilesets, layers within groups and chunks are read with their gids; faults name where they are', async () => {
  const tileset = bytes(JSON.stringify({tiles: [{id: 2, properties: [{name: 'collides', type: 'bool', value: true}]}, {id: 3, properties: [{name: 'collides', value: 'yes'}]}]}));
  const map = {
    type: 'map', width: 3, height: 2,
    tilesets: [{firstgid: 1, tiles: [{id: 0, properties: [{name: 'collides', value: true}]}]}, {firstgid: 10, source: 'sets/walls.tsj'}],
    layers: [
      {type: 'tilelayer', name: 'Ground', width: 3, height: 2, data: [1, 0, 2, 12, 0, 1]},
      {type: 'group', layers: [{type: 'tilelayer', name: 'Packed', width: 3, height: 2, encoding: 'base64', compression: 'zlib', data: gidBase64([0, 12, 0, 0, 0, 0], zlib.deflateSync)}]},
      {type: 'objectgroup', name: 'Things'},
    ],
  };
  const read = S.readTiled(bytes(JSON.stringify(map)), 'maps/arena.tmj', [{name: 'walls.tsj', bytes: tileset}]);
  assert.deepEqual(read.firstGids, [1, 10]);
  assert.deepEqual(read.colliding, [0, 0, 1, 2]);
  assert.deepEqual(read.extent, {x: 0, y: 0, width: 3, height: 2});
  assert.deepEqual(read.pieces.map((p) => p.where), ["maps/arena.tmj, layer 'Ground'", "maps/arena.tmj, layer 'Packed'"]);
  assert.deepEqual(Array.from(await S.pieceGids(read.pieces[0], inflate)), [1, 0, 2, 12, 0, 1]);
  assert.deepEqual(Array.from(await S.pieceGids(read.pieces[1], inflate)), [0, 12, 0, 0, 0, 0]);

  // An infinite map spans its chunks' bounds, gzip and plain base64 alike.
  const infinite = {type: 'map', infinite: true, tilesets: [], layers: [{type: 'tilelayer', name: 'L', encoding: 'base64', compression: 'gzip', chunks: [
    {x: -16, y: 0, width: 2, height: 1, data: gidBase64([5, 6], zlib.gzipSync)}, {x: 0, y: 16, width: 1, height: 1, data: gidBase64([7])}]}]};
  const spread = S.readTiled(bytes(JSON.stringify(infinite)), 'i.tmj');
  assert.deepEqual(spread.extent, {x: -16, y: 0, width: 17, height: 17});
  assert.deepEqual(Array.from(await S.pieceGids(spread.pieces[0], inflate)), [5, 6]);
  assert.equal(spread.pieces[1].where, "i.tmj, layer 'L', chunk at 0, 16");

  const fails = async (changed, message, beside = [{name: 'walls.tsj', bytes: tileset}]) => {
    await assert.rejects(async () => {
      const found = S.readTiled(bytes(typeof changed === 'string' ? changed : JSON.stringify(changed)), 'a.tmj', beside);
      for (const piece of found.pieces) await S.pieceGids(piece, inflate);
    }, {message});
  };
  await fails({...map, tilesets: [{firstgid: 1, source: 'gone.tsj'}]}, "a.tmj, tileset 'gone.tsj': gone.tsj was not opened with the map: open or drop it with the map");
  await fails({...map, layers: [{type: 'tilelayer', name: 'W', width: 3, height: 2, data: [1, 2]}]}, "a.tmj, layer 'W': the data holds 2 tiles, 6 expected");
  await fails({...map, layers: [{type: 'tilelayer', name: 'W', width: 3, height: 2, encoding: 'base32', data: ''}]}, "a.tmj, layer 'W': unknown encoding 'base32'");
  await fails({...map, layers: [{type: 'tilelayer', name: 'W', width: 3, height: 2, encoding: 'base64', data: gidBase64([1, 2, 3])}]}, "a.tmj, layer 'W': 12 bytes of tiles, 24 expected (6 tiles)");
  await fails({...map, layers: [{type: 'tilelayer', name: 'W', width: 3, height: 2, encoding: 'base64', data: 'AAA*'}]}, "a.tmj, layer 'W': base64 data holds '*' at character 4");
  await fails({...map, layers: [{type: 'tilelayer', name: 'W', x: 2, width: 3, height: 2, data: [0, 0, 0, 0, 0, 0]}]}, "a.tmj, layer 'W': 3 x 2 tiles at 2, 0 reach outside the map's 3 x 2");
  await fails({...map, width: 'wide'}, "a.tmj: 'width' is not a whole number");
  await fails({type: 'tileset'}, 'a.tmj: a Tiled tileset, not a map');
  await fails('{"type": "map", ', /^a\.tmj: not JSON: /);
});

test('a PNG file is whole only with every chunk complete and its checksum right; a picture written reads back', () => {
  const rows = Uint8Array.from([0, 0b10100000, 0, 0b01000000, 0, 0b11100000]);
  const picture = P.greyPicture(3, 3, zlib.deflateSync(rows));
  assert.equal(P.problem(picture), null);
  const chunks = P.chunks(picture);
  assert.deepEqual(chunks.map((c) => c.type), ['IHDR', 'IDAT', 'IEND']);
  assert.deepEqual(Array.from(chunks[0].data), [0, 0, 0, 3, 0, 0, 0, 3, 1, 0, 0, 0, 0]);
  assert.deepEqual(Array.from(zlib.inflateSync(chunks[1].data)), Array.from(rows));
  assert.match(P.problem(picture.subarray(0, picture.length - 5)), /^it is cut short at byte \d+, inside a chunk's header/);
  assert.match(P.problem(picture.subarray(0, 50)), /^it is cut short at byte 50, inside its IDAT chunk/);
  assert.equal(P.problem(picture.subarray(0, 33)), 'it is cut short at byte 33: it ends before its IEND chunk');
  const damaged = Uint8Array.from(picture);
  damaged[20] ^= 1;
  assert.equal(P.problem(damaged), "its IHDR chunk at byte 8 is damaged (its checksum is wrong)");
  // Long streams go in IDAT chunks of 8192 bytes, as libpng writes them.
  const long = P.greyPicture(1, 1, new Uint8Array(20000));
  assert.deepEqual(P.chunks(long).map((c) => c.data.length), [13, 8192, 8192, 3616, 0]);
  assert.equal(P.crc32(bytes('IEND')), 0xae426082);
  // The zlib headers varnholt-import's pictures of 64, 128, 256 and 512 cells a side begin with.
  assert.deepEqual([576, 2176, 8448, 33280].map(P.zlibHeader), [[0x28, 0x91], [0x48, 0x89], [0x68, 0x81], [0x78, 0x9c]]);
});

test('Tiled\'s XML reads as its JSON: tilesets in the map and beside it, CSV, <tile> elements, base64 and chunks; faults name the line', async () => {
  const T = require('../page/tmx.js');
  const tsx = bytes('<?xml version="1.0" encoding="UTF-8"?>\n<tileset name="walls">\n <tile id="2"><properties><property name="collides" type="bool" value="true"/></properties></tile>\n</tileset>\n');
  const packed = zlib.deflateSync(Buffer.from(Uint32Array.from([0, 12, 0, 0, 0, 0]).buffer)).toString('base64');
  const tmx = `<?xml version="1.0" encoding="UTF-8"?>
<!-- drawn in Tiled &amp; saved as XML -->
<map version="1.10" orientation="orthogonal" width="3" height="2" tilewidth="16" tileheight="16" infinite="0">
 <tileset firstgid="1" name="ground"><tile id="0"><properties><property name="collides" type="bool" value="true"/></properties></tile></tileset>
 <tileset firstgid="10" source="sets/walls.tsx"/>
 <layer id="1" name="Ground &lt;1&gt; &amp; &#233;" width="3" height="2">
  <data encoding="csv">
1,0,2,
12,0,1
</data>
 </layer>
 <group name="Upper">
  <layer name="Packed" width="3" height="2"><data encoding="base64" compression="zlib">
   ${packed}
  </data></layer>
  <layer name="Tiles" width="3" height="2"><data><tile gid="3"/><tile/><tile/><tile/><tile/><tile gid="1"/></data></layer>
 </group>
 <objectgroup name="Things"><object id="1" x="3" y="4"/></objectgroup>
</map>`;
  const read = S.readTiled(bytes(tmx), 'arena.tmx', [{name: 'walls.tsx', bytes: tsx}]);
  assert.deepEqual(read.firstGids, [1, 10]);
  assert.deepEqual(read.colliding, [0, 0, 1, 2]);
  assert.deepEqual(read.extent, {x: 0, y: 0, width: 3, height: 2});
  assert.deepEqual(read.pieces.map((p) => p.where), ["arena.tmx, layer 'Ground <1> & é'", "arena.tmx, layer 'Packed'", "arena.tmx, layer 'Tiles'"]);
  const gids = [];
  for (const piece of read.pieces) gids.push(Array.from(await S.pieceGids(piece, inflate)));
  assert.deepEqual(gids, [[1, 0, 2, 12, 0, 1], [0, 12, 0, 0, 0, 0], [3, 0, 0, 0, 0, 1]]);

  const chunked = '<map infinite="1"><layer name="L"><data encoding="csv"><chunk x="-16" y="0" width="2" height="1">5,6</chunk><chunk x="0" y="16" width="1" height="1">7</chunk></data></layer></map>';
  const spread = S.readTiled(bytes(chunked), 'i.tmx');
  assert.deepEqual(spread.extent, {x: -16, y: 0, width: 17, height: 17});
  assert.deepEqual(Array.from(await S.pieceGids(spread.pieces[0], inflate)), [5, 6]);

  const fails = (text, message) => assert.throws(() => S.readTiled(bytes(text), 'a.tmx', [{name: 'walls.tsx', bytes: tsx}]), {message});
  fails('<map width="3" height="2"><layer name="W" width="3" height="2"><data encoding="csv">1,2,x</data></layer></map>', "a.tmx, layer 'W': tile 3 of the CSV data is not a gid");
  fails('<map width="3" height="2"><layer name="W" width="3" height="2"><data encoding="csv">1,2;3</data></layer></map>', "a.tmx, layer 'W': the CSV data holds ';' after tile 2");
  fails('<map width="3" height="2"><layer name="W" width="3" height="2"><data encoding="csv">1,2</data></layer></map>', "a.tmx, layer 'W': the CSV data holds 2 tiles, 6 expected");
  fails('<map width="3"\n height="two"></map>', "a.tmx, line 1: 'height' is not a number: 'two'");
  fails('<map>\n<layer>\n</map>', 'a.tmx, line 3: </map> where </layer> is due');
  fails('<map>\n<layer/>', 'a.tmx, line 2: <map> is not closed');
  fails('<map><tileset firstgid="1" source="gone.tsx"/></map>', "a.tmx, tileset 'gone.tsx': gone.tsx was not opened with the map: open or drop it with the map");
  fails('<world/>', 'a.tmx: neither a Tiled map nor a tileset: its root is <world>');
  assert.equal(T.parseXml('<a x="1 &lt; 2" y=\'&#65;&#x42;\'><![CDATA[<raw>]]></a>', 'p').attributes.y, 'AB');
  assert.equal(T.parseXml('<a><![CDATA[<raw>]]></a>', 'p').text, '<raw>');
});

test('a PNG picture decodes to the RGBA samples varnholt-import reads: every colour type and bit depth, every filter, Adam7, tRNS', async () => {
  const {writePng} = require('./pngs.js');
  const unpack = async (data) => new Uint8Array(zlib.inflateSync(data));
  // Samples that vary from pixel to pixel, channel to channel, below 2^Depth.
  const value = (x, y, c, depth) => {
    let h = Math.imul(x * 4099 + y * 257 + c * 17 + 1, 0x9e3779b1);
    h = Math.imul(h ^ (h >>> 15), 0x85ebca6b);
    return ((h ^ (h >>> 13)) >>> 0) % 2 ** depth;
  };
  const eight = (v, depth) => (depth === 16 ? v >> 8 : (v * 255) / (2 ** depth - 1));
  const channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4};
  const palette = Array.from({length: 3 * 200}, (_, k) => (k * 37 + 11) % 256);
  const paletteAlpha = Array.from({length: 150}, (_, k) => (k * 59) % 256);
  for (const [colour, depths] of [[0, [1, 2, 4, 8, 16]], [2, [8, 16]], [3, [1, 2, 4, 8]], [4, [8, 16]], [6, [8, 16]]]) {
    for (const depth of depths) {
      for (const interlace of [0, 1]) {
        for (const [width, height] of [[13, 11], [3, 2], [1, 1], [40, 9]]) {
          const samples = (x, y) => Array.from({length: channels[colour]}, (_, c) => value(x, y, c, depth) % (colour === 3 ? 200 : 2 ** depth));
          // The first pixel's colour is the transparent one, where a colour key applies.
          const key = samples(0, 0);
          const transparency = colour === 3 ? paletteAlpha : colour === 0 || colour === 2 ? Buffer.from(key.flatMap((v) => [v >> 8, v & 255])) : null;
          const options = {depth, colour, interlace, palette: colour === 3 ? palette : null, transparency};
          const got = await P.decode(writePng(width, height, options, samples), unpack);
          const what = `colour ${colour}, ${depth} bits, interlace ${interlace}, ${width} x ${height}`;
          assert.equal(got.width, width, what);
          assert.equal(got.height, height, what);
          const expected = [];
          for (let y = 0; y < height; ++y) {
            for (let x = 0; x < width; ++x) {
              const s = samples(x, y), e = s.map((v) => eight(v, depth));
              const keyed = s.every((v, c) => v === key[c]) ? 0 : 255;
              if (colour === 0) expected.push(e[0], e[0], e[0], keyed);
              if (colour === 2) expected.push(e[0], e[1], e[2], keyed);
              if (colour === 3) expected.push(...palette.slice(3 * s[0], 3 * s[0] + 3), s[0] < 150 ? paletteAlpha[s[0]] : 255);
              if (colour === 4) expected.push(e[0], e[0], e[0], e[1]);
              if (colour === 6) expected.push(...e);
            }
          }
          assert.deepEqual(Array.from(got.rgba), expected, what);
        }
      }
    }
  }
});

test('a PNG picture\'s samples as libpng gives them: 16 bits by their high byte, the colour key in full, indices past the palette black', async () => {
  const {writePng} = require('./pngs.js');
  const unpack = async (data) => new Uint8Array(zlib.inflateSync(data));
  const decoded = async (width, height, options, pixels) => Array.from((await P.decode(writePng(width, height, options, (x, y) => pixels[y * width + x]), unpack)).rgba);
  // A 16-bit grey keyed at 0x8001: 0x8000 stays opaque, its high byte the same.
  assert.deepEqual(await decoded(3, 1, {depth: 16, colour: 0, transparency: [0x80, 0x01]}, [[0x8000], [0x8001], [0xffff]]),
    [0x80, 0x80, 0x80, 255, 0x80, 0x80, 0x80, 0, 255, 255, 255, 255]);
  // 2-bit grey: 0, 85, 170, 255; the key 2 transparent.
  assert.deepEqual(await decoded(4, 1, {depth: 2, colour: 0, transparency: [0, 2]}, [[0], [1], [2], [3]]),
    [0, 0, 0, 255, 85, 85, 85, 255, 170, 170, 170, 0, 255, 255, 255, 255]);
  // A palette of two, tRNS for the first alone; index 2 past its end is black.
  assert.deepEqual(await decoded(3, 1, {depth: 4, colour: 3, palette: [10, 20, 30, 40, 50, 60], transparency: [128]}, [[0], [1], [2]]),
    [10, 20, 30, 128, 40, 50, 60, 255, 0, 0, 0, 255]);
  // A key beyond the bit depth's samples is taken by its low bits, as libpng takes it; a tRNS longer
  // than the palette is passed over.
  assert.deepEqual(await decoded(2, 1, {depth: 8, colour: 0, transparency: [0x01, 0x80]}, [[0x80], [0x81]]), [0x80, 0x80, 0x80, 0, 0x81, 0x81, 0x81, 255]);
  assert.deepEqual(await decoded(1, 1, {depth: 1, colour: 3, palette: [9, 9, 9, 7, 7, 7], transparency: [0, 0, 0]}, [[0]]), [9, 9, 9, 255]);
  // A tRNS of the wrong length is passed over; 16-bit RGBA by high bytes.
  assert.deepEqual(await decoded(1, 1, {depth: 8, colour: 2, transparency: [0, 1]}, [[0, 0, 1]]), [0, 0, 1, 255]);
  assert.deepEqual(await decoded(1, 1, {depth: 16, colour: 6}, [[0x7fff, 0x8000, 0x0180, 0x80ff]]), [0x7f, 0x80, 0x01, 0x80]);

  // Faults said in words.
  const good = writePng(2, 2, {depth: 8, colour: 0}, () => [1]);
  await assert.rejects(P.decode(good, async () => Uint8Array.from([0, 1, 1, 5, 1, 1])), {message: 'row 1 has filter type 5, which PNG does not know'});
  await assert.rejects(P.decode(good, async () => Uint8Array.from([0, 1, 1])), {message: 'its picture data ends before its last row'});
  await assert.rejects(P.decode(writePng(2, 2, {depth: 8, colour: 3}, () => [1]), unpack), {message: 'its palette (PLTE) is missing'});
  const badDepth = Buffer.from(good);
  badDepth[24] = 3;
  assert.throws(() => P.header(badDepth), {message: 'a bit depth of 3 is none its colour type 0 takes'});
  assert.deepEqual(P.header(good), {width: 2, height: 2, depth: 8, colour: 0, interlace: 0});
});
