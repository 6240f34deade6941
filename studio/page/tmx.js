// Tiled's XML maps (.tmx) and tilesets (.tsx) read into the JSON form sources.js reads, as
// varnholt-import reads them: the map's size, its tilesets with their tiles' properties, and its
// tile layers within groups, their data as CSV, <tile> elements or base64 text, whole or in
// chunks. The worker has no DOMParser, so the XML is read here: machine-written XML, its
// elements, attributes, text, CDATA, comments and the five named and numeric references. Pure,
// for the worker and the tests in Node.
'use strict';

const VarnholtTmx = (() => {
  const fail = (where, what) => { throw new Error(`${where}: ${what}`); };
  const kNamed = {lt: '<', gt: '>', amp: '&', quot: '"', apos: "'"};

  function decode(text, where) {
    return text.replace(/&(#x[0-9a-fA-F]+|#[0-9]+|[a-z]+);/g, (whole, name) => {
      if (name[0] === '#') return String.fromCodePoint(name[1] === 'x' ? parseInt(name.slice(2), 16) : parseInt(name.slice(1), 10));
      if (!(name in kNamed)) fail(where, `unknown entity '${whole}'`);
      return kNamed[name];
    });
  }

  const kToken = /<!--[\s\S]*?-->|<!\[CDATA\[([\s\S]*?)\]\]>|<\?[\s\S]*?\?>|<!DOCTYPE[^>]*>|<\/([^\s>]+)\s*>|<([^\s/>!?]+)((?:\s+[^\s=/>]+\s*=\s*(?:"[^"]*"|'[^']*'))*)\s*(\/?)>|([^<]+)/y;
  const kAttribute = /([^\s=]+)\s*=\s*(?:"([^"]*)"|'([^']*)')/g;

  // The root element: {name, attributes, children, text, line}.
  function parseXml(text, path) {
    const document = {name: '', attributes: {}, children: [], text: '', line: 1};
    const open = [document];
    let line = 1;
    kToken.lastIndex = 0;
    while (kToken.lastIndex < text.length) {
      const at = kToken.lastIndex;
      const token = kToken.exec(text);
      if (!token) fail(`${path}, line ${line}`, 'not well-formed XML');
      const where = `${path}, line ${line}`;
      const top = open[open.length - 1];
      const [whole, cdata, closing, name, attributes, empty, chars] = token;
      if (cdata !== undefined) top.text += cdata;
      else if (chars !== undefined) top.text += decode(chars, where);
      else if (closing !== undefined) {
        if (open.length === 1) fail(where, `</${closing}> closes no element`);
        if (closing !== top.name) fail(where, `</${closing}> where </${top.name}> is due`);
        open.pop();
      } else if (name !== undefined) {
        const element = {name, attributes: {}, children: [], text: '', line};
        for (const [, key, doubled, single] of attributes.matchAll(kAttribute)) element.attributes[key] = decode(doubled !== undefined ? doubled : single, where);
        top.children.push(element);
        if (!empty) open.push(element);
      }
      for (let k = at; k < kToken.lastIndex; ++k) if (text.charCodeAt(k) === 10) ++line;
    }
    if (open.length > 1) fail(`${path}, line ${line}`, `<${open[open.length - 1].name}> is not closed`);
    const root = document.children[0];
    if (!root) fail(path, 'no XML element');
    return root;
  }

  const whereOf = (path, element) => `${path}, line ${element.line}`;

  function integer(text, key, where) {
    if (!/^-?[0-9]+$/.test(text)) fail(where, `'${key}' is not a number: '${text.slice(0, 40)}'`);
    return Number(text);
  }

  function copyIntegers(object, element, path, keys) {
    for (const key of keys) if (key in element.attributes) object[key] = integer(element.attributes[key], key, whereOf(path, element));
  }

  function copyText(object, element, keys) {
    for (const key of keys) if (key in element.attributes) object[key] = element.attributes[key];
  }

  // Properties as JSON has them; of their values only a boolean's matters here.
  function copyProperties(object, element) {
    for (const child of element.children) {
      if (child.name !== 'properties') continue;
      object.properties = child.children.filter((p) => p.name === 'property').map((p) => {
        const type = p.attributes.type || 'string';
        const value = 'value' in p.attributes ? p.attributes.value : p.text;
        return {name: p.attributes.name || '', type, value: type === 'bool' ? value === 'true' : value};
      });
    }
  }

  function tilesetOf(element, path) {
    const tileset = {};
    copyIntegers(tileset, element, path, ['firstgid']);
    copyText(tileset, element, ['source', 'name']);
    const tiles = element.children.filter((c) => c.name === 'tile').map((c) => {
      const tile = {};
      copyIntegers(tile, c, path, ['id']);
      copyProperties(tile, c);
      return tile;
    });
    copyProperties(tileset, element);
    if (tiles.length > 0) tileset.tiles = tiles;
    return tileset;
  }

  const isSpace = (c) => c === ' ' || c === '\t' || c === '\n' || c === '\r';

  // CSV text of Count gids, read as varnholt-import reads it.
  function csvGids(text, count, where) {
    const gids = [];
    let at = 0;
    for (;;) {
      while (at < text.length && isSpace(text[at])) ++at;
      if (at === text.length && gids.length === 0) break;
      const digits = /^[0-9]+/.exec(text.slice(at, at + 12));
      if (!digits || Number(digits[0]) > 0xffffffff) fail(where, `tile ${gids.length + 1} of the CSV data is not a gid`);
      gids.push(Number(digits[0]));
      at += digits[0].length;
      while (at < text.length && isSpace(text[at])) ++at;
      if (at === text.length) break;
      if (text[at] !== ',' || gids.length > count) break;
      ++at;
    }
    if (gids.length > count) fail(where, `the CSV data holds more than ${count} tiles, ${count} expected`);
    if (at !== text.length) {
      const c = text[at];
      fail(where, `the CSV data holds '${c >= ' ' && c <= '~' ? c : '?'}' after tile ${gids.length}`);
    }
    if (gids.length !== count) fail(where, `the CSV data holds ${gids.length} tiles, ${count} expected`);
    return gids;
  }

  function copyTiles(object, element, encoding, count, where) {
    if (encoding === 'csv') object.data = csvGids(element.text, count, where);
    else if (encoding === '') object.data = element.children.filter((t) => t.name === 'tile').map((t) => ('gid' in t.attributes ? integer(t.attributes.gid, 'gid', where) : 0));
    else object.data = element.text.replace(/[ \t\r\n]/g, '');
  }

  const tileCount = (object) => {
    const size = (key) => (Number.isInteger(object[key]) && object[key] > 0 ? object[key] : 0);
    return size('width') * size('height');
  };

  function copyData(layer, data, path) {
    const encoding = data.attributes.encoding || '';
    if (encoding !== '') layer.encoding = encoding;
    if ('compression' in data.attributes) layer.compression = data.attributes.compression;
    const where = `${path}, layer '${layer.name || ''}'`;
    const chunks = data.children.filter((c) => c.name === 'chunk');
    if (chunks.length > 0) {
      layer.chunks = chunks.map((c) => {
        const chunk = {};
        copyIntegers(chunk, c, path, ['x', 'y', 'width', 'height']);
        copyTiles(chunk, c, encoding, tileCount(chunk), where);
        return chunk;
      });
    } else {
      copyTiles(layer, data, encoding, tileCount(layer), where);
    }
    if (encoding === '' || encoding === 'csv') layer.encoding = 'csv';
  }

  function layersOf(parent, path) {
    return parent.children.filter((c) => c.name === 'layer' || c.name === 'group').map((element) => {
      const layer = {type: element.name === 'layer' ? 'tilelayer' : 'group'};
      copyText(layer, element, ['name']);
      if (element.name === 'layer') copyIntegers(layer, element, path, ['width', 'height']);
      if (element.name === 'group') layer.layers = layersOf(element, path);
      for (const child of element.children) if (element.name === 'layer' && child.name === 'data') copyData(layer, child, path);
      return layer;
    });
  }

  // The JSON form of a TMX map or TSX tileset in Bytes, read from the file named Path.
  function document(bytes, path) {
    const root = parseXml(new TextDecoder('utf-8').decode(bytes).replace(/^\ufeff/, ''), path);
    if (root.name === 'map') {
      const map = {type: 'map'};
      copyIntegers(map, root, path, ['width', 'height']);
      map.infinite = root.attributes.infinite === '1';
      map.tilesets = root.children.filter((c) => c.name === 'tileset').map((c) => tilesetOf(c, path));
      map.layers = layersOf(root, path);
      return map;
    }
    if (root.name === 'tileset') return {...tilesetOf(root, path), type: 'tileset'};
    return fail(path, `neither a Tiled map nor a tileset: its root is <${root.name}>`);
  }

  return {parseXml, csvGids, document};
})();

if (typeof module === 'object') module.exports = VarnholtTmx;
