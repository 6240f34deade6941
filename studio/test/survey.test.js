// The worker's reading of the survey under Node, against a varnholt_survey, its splits and lost
// cells laid out by hand field by field as varnholt.h declares them, at an offset as in the
// library's memory.
'use strict';

const test = require('node:test');
const assert = require('node:assert/strict');
const WorkerSurvey = require('../page/worker/survey.js');

test('the survey reads as varnholt.h lays out the survey, its splits and lost cells', () => {
  const at = {survey: 24, splits: 24 + 128, splitCapacity: 2, lost: 24 + 128 + 2 * 64, lostCapacity: 3};
  const buffer = new ArrayBuffer(at.lost + 8 * at.lostCapacity + 16);
  const data = new DataView(buffer);
  const counts = {filledOpen: 1, filledBlocked: 2, explicit: 3, areasFound: 4, areasKept: 5, segmentsOverFour: 6,
    erasedCells: 2 ** 40 + 7, segmentsWithArea4: 8, area4Cells: 9, downLinks: 10, rightLinks: 11, gridComponents: 12,
    graphComponents: 13, lostComponents: 2, lostCells: 15, splitComponents: 5};
  Object.values(counts).forEach((value, k) => data.setBigInt64(at.survey + 8 * k, BigInt(value), true));
  // A split: parts (int64), part_count, part_cells[3][2], erased_count, erased_cells[3][2].
  const split = (offset, parts, partCells, erasedCells) => {
    data.setBigInt64(offset, BigInt(parts), true);
    data.setInt32(offset + 8, partCells.length, true);
    partCells.flat().forEach((value, k) => data.setInt32(offset + 12 + 4 * k, value, true));
    data.setInt32(offset + 36, erasedCells.length, true);
    erasedCells.flat().forEach((value, k) => data.setInt32(offset + 40 + 4 * k, value, true));
  };
  split(at.splits, 7, [[1, 2], [3, 4], [5, 6]], [[70, 80]]);
  split(at.splits + 64, 2, [[9, 10], [11, 12]], [[13, 14], [15, 16], [17, 18]]);
  [[100, 200], [300, 400], [-1, -1]].flat().forEach((value, k) => data.setInt32(at.lost + 4 * k, value, true));

  const survey = WorkerSurvey.read(buffer, at);
  const {splits, lost, ...read} = survey;
  assert.deepEqual(read, counts);
  // Five split components, room for two; two lost components of room for three.
  assert.deepEqual(splits, [
    {parts: 7, partCells: [[1, 2], [3, 4], [5, 6]], erasedCells: [[70, 80]]},
    {parts: 2, partCells: [[9, 10], [11, 12]], erasedCells: [[13, 14], [15, 16], [17, 18]]},
  ]);
  assert.deepEqual(lost, [[100, 200], [300, 400]]);
});
