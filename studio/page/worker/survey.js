// The survey of the map, read out of the library's memory: the varnholt_survey struct, the split
// components and the first cells of the lost ones. The structs' layout, as varnholt.h declares
// it, is written down here alone; reading them needs only the bytes, so the tests check it
// against structs laid out by hand.
'use strict';

const WorkerSurvey = (() => {
  // varnholt_survey: sixteen int64 counts, in the order the header declares them.
  const kCounts = ['filledOpen', 'filledBlocked', 'explicit', 'areasFound', 'areasKept', 'segmentsOverFour',
    'erasedCells', 'segmentsWithArea4', 'area4Cells', 'downLinks', 'rightLinks', 'gridComponents',
    'graphComponents', 'lostComponents', 'lostCells', 'splitComponents'];
  const kSurveyBytes = 8 * kCounts.length;
  // varnholt_split: the parts as an int64, then as int32s part_count, three cells (row, column),
  // erased_count and three cells.
  const kSplitBytes = 64;
  const kSplitPartCount = 0, kSplitErasedCount = 7;  // in int32s after the parts
  // A lost component's first cell: row, column as int32s.
  const kCellBytes = 8;

  function readSplit(buffer, at) {
    const parts = Number(new BigInt64Array(buffer, at, 1)[0]);
    const words = new Int32Array(buffer, at + 8, (kSplitBytes - 8) / 4);
    const cells = (countAt) => {
      const found = [];
      for (let c = 0; c < words[countAt]; ++c) found.push([words[countAt + 1 + 2 * c], words[countAt + 2 + 2 * c]]);
      return found;
    };
    return {parts, partCells: cells(kSplitPartCount), erasedCells: cells(kSplitErasedCount)};
  }

  // What varnholt_survey_map wrote into Buffer (an ArrayBuffer): the survey at At.survey, room for
  // At.splitCapacity splits at At.splits and for At.lostCapacity cells at At.lost. The counts as
  // numbers by name, with the splits and lost cells the room held.
  function read(buffer, at) {
    const numbers = new BigInt64Array(buffer, at.survey, kCounts.length);
    const result = {};
    kCounts.forEach((name, k) => { result[name] = Number(numbers[k]); });
    result.splits = [];
    for (let k = 0; k < Math.min(at.splitCapacity, result.splitComponents); ++k) result.splits.push(readSplit(buffer, at.splits + kSplitBytes * k));
    const lost = new Int32Array(buffer, at.lost, 2 * at.lostCapacity);
    result.lost = [];
    for (let k = 0; k < Math.min(at.lostCapacity, result.lostComponents); ++k) result.lost.push([lost[2 * k], lost[2 * k + 1]]);
    return result;
  }

  // The survey of the map the worker holds, with at most SplitCapacity splits and LostCapacity
  // lost cells.
  function surveyWith(splitCapacity, lostCapacity) {
    const map = WorkerMap.handle();
    const {checked, withBuffer} = WorkerLibrary;
    return withBuffer(kSurveyBytes + kSplitBytes * splitCapacity + kCellBytes * lostCapacity, null, (pointer) => {
      const at = {survey: pointer, splits: pointer + kSurveyBytes, splitCapacity, lostCapacity};
      at.lost = at.splits + kSplitBytes * splitCapacity;
      const core = WorkerLibrary.core;
      checked(core._varnholt_survey_map(map, at.survey, at.splits, BigInt(splitCapacity), at.lost, BigInt(lostCapacity)));
      return read(core.HEAPU8.buffer, at);
    });
  }

  // The survey with every split and every lost component's first cell, however many: asked with
  // room for as many as the last survey found and more, and again with room for all where that
  // was too little. The lost cells go as row, column pairs in one array.
  let room = {splits: 64, lost: 4096};
  function survey() {
    let found = surveyWith(room.splits, room.lost);
    if (found.splitComponents > room.splits || found.lostComponents > room.lost) {
      room = {splits: found.splitComponents + 64, lost: found.lostComponents + 4096};
      found = surveyWith(room.splits, room.lost);
    }
    const lost = Int32Array.from(found.lost.flat());
    return {...found, lost, transfer: [lost.buffer]};
  }

  return {read, survey};
})();

if (typeof module === 'object') module.exports = WorkerSurvey;
