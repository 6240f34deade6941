// What the studio says in words, apart from the page: the cell under the pointer, why a file did
// not open, whether a name can be a file's, the zoom, a rectangle's size and the place in a long
// list. Plain words for a map maker, the library's own message kept beside them; pure, so that
// the page and the worker say the same and the tests read it under Node.
'use strict';

const VarnholtWords = (() => {
  // One format for every count: toLocaleString makes a new one at each call, which a frame's
  // zoom readout and a list's page of entries feel.
  const numbers = new Intl.NumberFormat('en-US', {maximumFractionDigits: 20});
  const count = (n) => numbers.format(n);
  const plural = (n, one, many = `${one}s`) => `${count(n)} ${n === 1 ? one : many}`;
  const listed = (items) => (items.length <= 1 ? items.join('') : `${items.slice(0, -1).join(', ')} and ${items[items.length - 1]}`);

  // ---- The cell under the pointer ----

  // The areas of the segment below or to the right that kept area Area is linked to.
  function linksOf(links, area) {
    return links.filter(([a]) => a === area).map(([, b]) => b);
  }

  // What the status line says of cell (Row, Column) of segment (I, J): blocked, open in an erased
  // area, or open in a kept area with its waypoint (in map cells) and the areas it is linked to in
  // the segments below and to the right, as the waypoint map's record (Record, parsed) says.
  function cellText({row, column, i, j, blocked, area, record}) {
    const where = `Row ${row}, column ${column}`;
    const segment = `segment ${i}, ${j}`;
    if (blocked) return `${where}: blocked (${segment})`;
    if (area === 0) return `${where}: open, in an erased area of ${segment}, which keeps only its four largest areas: not in the info map, no waypoint`;
    const kept = record.areas.find((a) => a.area === area);
    const waypoint = kept ? `; waypoint at row ${i * 64 + kept.row}, column ${j * 64 + kept.column}` : '';
    const toward = (list, side) => (list.length === 0 ? [] : [`${list.length === 1 ? 'area' : 'areas'} ${listed(list.map(String))} ${side}`]);
    const links = [...toward(linksOf(record.down, area), 'below'), ...toward(linksOf(record.right, area), 'to the right')];
    const four = area === 4 ? ' (in the waypoint map only: the info map has no number for it)' : '';
    return `${where}: open, area ${area} of ${segment}${four}${waypoint}; linked to ${links.length === 0 ? 'no area below or to the right' : listed(links)}`;
  }

  // ---- Files ----

  const kSignatures = [
    [[0x89, 0x50, 0x4e, 0x47], 'a PNG image'], [[0xff, 0xd8, 0xff], 'a JPEG image'], [[0x47, 0x49, 0x46, 0x38], 'a GIF image'],
    [[0x50, 0x4b, 0x03, 0x04], 'a zip archive'], [[0x25, 0x50, 0x44, 0x46], 'a PDF document'], [[0x1f, 0x8b], 'a gzip archive'],
  ];
  // What the library's messages mean for a map maker, by message.
  const kMeanings = {
    'You selected an Info map!': 'it is an info map, which the converter writes beside a level-0 map: open the level-0 map, with this one beside it if you like',
    'This is not a level 0 map!': 'its header names another level than 0',
    'Invalid map size!': 'its header gives a size of less than one segment (64 cells) a side',
    'Range check error': 'its header gives a size far too large to be held',
    'Out of memory': 'the map is larger than the memory the browser grants this page',
  };

  // What a file is, from its first bytes, where it is plainly no map: an image, an archive, text.
  function foreignKind(head) {
    for (const [signature, kind] of kSignatures) {
      if (head.length >= signature.length && signature.every((byte, k) => head[k] === byte)) return kind;
    }
    const text = head.length > 0 && head.every((byte) => byte === 9 || byte === 10 || byte === 13 || (byte >= 32 && byte !== 127));
    return text ? 'a text file' : null;
  }

  // Why the file Name (Size bytes, Head its first bytes) did not open, the library having said
  // Message: what it plainly is where that can be told, else what the message means; the
  // library's own words in brackets.
  function fileProblem(name, head, size, message) {
    const kind = foreignKind(head);
    if (kind) return `${name} is ${kind}, not a level-0 map (${message})`;
    if (message === 'Error reading file') return `${name} ends before the map it begins does, after ${plural(size, 'byte')}: it is cut short, or no level-0 map (${message})`;
    const meaning = kMeanings[message];
    return meaning ? `${name} did not open: ${meaning} (${message})` : `${name}: ${message}`;
  }

  // Why Name cannot name a file, or null where it can: the characters no system's file names hold.
  function nameProblem(name) {
    if (name.trim() === '') return 'Give the map a file name';
    const found = [...new Set(name.match(/[/\\:*?"<>|\u0000-\u001f]/g) || [])];
    if (found.length === 0) return null;
    const shown = found.map((c) => (c < ' ' ? 'control characters' : c));
    return `A file name cannot hold ${listed(shown)}`;
  }

  // ---- The view ----

  // The zoom as a map editor shows it, 100 % one cell a screen pixel, with the cells a pixel or
  // pixels a cell in words.
  function zoomText(scale) {
    const percent = 100 / scale;
    const shown = percent >= 10 ? Math.round(percent) : Number(percent.toPrecision(2));
    const detail = scale <= 1 ? plural(Number((1 / scale).toPrecision(3)), 'pixel') + ' a cell' : plural(Number(scale.toPrecision(3)), 'cell') + ' a pixel';
    return {text: `${count(shown)} %`, detail};
  }

  function rectText(rect) {
    return `${count(rect.columns)} × ${count(rect.rows)} cells`;
  }

  // "41–60 of 3,480": items First to Last (from 0, Last excluded) of Total.
  function rangeText(first, last, total) {
    return total === 0 ? 'none' : `${count(first + 1)}–${count(last)} of ${count(total)}`;
  }

  return {count, plural, listed, cellText, foreignKind, fileProblem, nameProblem, zoomText, rectText, rangeText};
})();

if (typeof module === 'object') module.exports = VarnholtWords;
