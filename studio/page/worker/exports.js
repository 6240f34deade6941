// The map written for other tools, as varnholt-import --export writes it: a Moving AI map by the
// library (varnholt_export_moving_ai), and a picture of a pixel a cell, white open and black
// blocked, as a 1-bit grey PNG whose rows the browser compresses.
'use strict';

const WorkerExports = (() => {
  const {checked, withBuffer, copyOut} = WorkerLibrary;
  const kBandRows = 256;  // rows read from the library at a time, so a large map is never copied whole

  function movingAi() {
    const core = WorkerLibrary.core;
    const map = WorkerMap.handle();
    const size = checked(core._varnholt_export_moving_ai(map, 0, 0n));
    const bytes = withBuffer(size, null, (pointer) => {
      checked(core._varnholt_export_moving_ai(map, pointer, BigInt(size)));
      return copyOut(pointer, size);
    });
    return {bytes, transfer: [bytes.buffer]};
  }

  // The picture's rows as PNG filters them (filter byte 0, none): 8 cells a byte, the first in the
  // high bit, 1 for an open cell.
  function scanlines(map, side) {
    const core = WorkerLibrary.core;
    const stride = 1 + Math.ceil(side / 8);
    const rows = new Uint8Array(stride * side);
    for (let top = 0; top < side; top += kBandRows) {
      const count = Math.min(kBandRows, side - top);
      withBuffer(count * side, null, (pointer) => {
        checked(core._varnholt_get_cells(map, top, 0, count, side, pointer));
        const cells = core.HEAPU8.subarray(pointer, pointer + count * side);
        for (let row = 0; row < count; ++row) {
          const line = (top + row) * stride + 1;
          for (let column = 0; column < side; ++column) {
            if (cells[row * side + column] === 0) rows[line + (column >> 3)] |= 0x80 >> (column & 7);
          }
        }
      });
    }
    return rows;
  }

  async function png() {
    const map = WorkerMap.handle();
    const side = WorkerMap.side();
    const stream = new Blob([scanlines(map, side)]).stream().pipeThrough(new CompressionStream('deflate'));
    const zlib = new Uint8Array(await new Response(stream).arrayBuffer());
    const bytes = VarnholtPng.greyPicture(side, side, zlib);
    return {bytes, transfer: [bytes.buffer]};
  }

  return {movingAi, png};
})();
