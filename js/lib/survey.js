// The survey read out of the library's memory: varnholt_survey, the split components and the
// first cells of the lost ones. The structs' layout, as varnholt.h declares them, is written down
// here alone.

// varnholt_survey: sixteen int64 counts, in the order the header declares them.
const kCounts = ['filledOpenSegments', 'filledBlockedSegments', 'explicitSegments', 'areasFound',
  'areasKept', 'segmentsOverFour', 'erasedCells', 'segmentsWithArea4', 'area4Cells', 'downLinks',
  'rightLinks', 'gridComponents', 'graphComponents', 'lostComponents', 'lostCells', 'splitComponents'];
const kSurveyBytes = 8 * kCounts.length;
// varnholt_split: parts as an int64, then int32s: part_count, three cells, erased_count, three
// cells.
const kSplitBytes = 64;
const kPartCountAt = 0, kErasedCountAt = 7;  // in int32s after the parts
const kCellBytes = 8;

// The first count cells of a list of three, as [row, column] pairs.
function cellList(words, countAt) {
  const cells = [];
  for (let k = 0; k < words[countAt]; ++k) cells.push([words[countAt + 1 + 2 * k], words[countAt + 2 + 2 * k]]);
  return cells;
}

function readSplit(buffer, at) {
  const parts = Number(new BigInt64Array(buffer, at, 1)[0]);
  const words = new Int32Array(buffer, at + 8, (kSplitBytes - 8) / 4);
  return {parts, partCells: cellList(words, kPartCountAt), erasedCells: cellList(words, kErasedCountAt)};
}

function read(buffer, at, splitRoom, lostRoom) {
  const numbers = new BigInt64Array(buffer, at, kCounts.length);
  const survey = {};
  kCounts.forEach((name, k) => { survey[name] = Number(numbers[k]); });
  const splitsAt = at + kSurveyBytes, lostAt = splitsAt + kSplitBytes * splitRoom;
  survey.splits = [];
  for (let k = 0; k < Math.min(splitRoom, survey.splitComponents); ++k) survey.splits.push(readSplit(buffer, splitsAt + kSplitBytes * k));
  const lost = new Int32Array(buffer, lostAt, 2 * lostRoom);
  survey.lost = [];
  for (let k = 0; k < Math.min(lostRoom, survey.lostComponents); ++k) survey.lost.push([lost[2 * k], lost[2 * k + 1]]);
  return survey;
}

// The survey of the map, with at most splitRoom split components and lostRoom lost cells.
export function surveyMap(heap, map, splitRoom, lostRoom) {
  const bytes = kSurveyBytes + kSplitBytes * splitRoom + kCellBytes * lostRoom;
  return heap.lend(bytes, null, (pointer) => {
    const splitsAt = pointer + kSurveyBytes, lostAt = splitsAt + kSplitBytes * splitRoom;
    heap.checked(heap.core._varnholt_survey_map(map, pointer, splitsAt, BigInt(splitRoom), lostAt, BigInt(lostRoom)));
    return read(heap.core.HEAPU8.buffer, pointer, splitRoom, lostRoom);
  });
}
