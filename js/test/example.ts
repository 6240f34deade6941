// Every export of the package as a user's TypeScript sees it, checked by tsc against the package
// installed from its tarball.
import {load, VarnholtError} from 'varnholt';
import type {Varnholt, VarnholtField, VarnholtFile, VarnholtFixKind, VarnholtMap, VarnholtStatus, VarnholtSurvey} from 'varnholt';

const varnholt: Varnholt = await load();

// A map made anew with a wall across it, opened again from its level-0 file as a game would.
const blank: VarnholtMap = varnholt.create(256, false);
blank.setCells(128, 0, 1, 200, new Uint8Array(200).fill(1));
const map: VarnholtMap = varnholt.analyse(blank.file('level0'));
blank.close();

const side: number = map.cellsPerSide + map.segmentsPerSide;
const cells: Uint8Array = map.getCells(0, 0, 256, 256);
const path: Int32Array = map.findPath(10, 10, 250, 10);
const corners: Int32Array = map.smoothPath(map.findPathToward(10, 10, 128, 5));
const plain: Int32Array = map.smoothPath([10, 10, 10, 11]);
const answers: number[] = [map.areaOf(10, 10), map.shortestPathCells(10, 10, 250, 10), Number(map.connected(0, 0, 1, 1))];
const segment: [Uint8Array, Uint16Array, Uint8Array] = [map.segmentAreas(0, 0), map.segmentRegions(0, 0), map.segmentRecord(0, 0)];
const survey: VarnholtSurvey = map.survey({splits: 4});
const lost: [number, number] | undefined = survey.lost[0];
const files: Uint8Array[] = (['level0', 'info', 'waypoint'] as VarnholtFile[]).map((kind) => map.file(kind));
const difference: string = map.compare('waypoint', files[2]) + varnholt.filePath('maps/Infantry1Level0Map.raw', 'info');
// Units heading for one goal, and fixes for the survey's first split.
const field: VarnholtField = map.field(250, 10);
const next: Int32Array | null = field.next(10, 10);
const toGoal: [number, Int32Array] = [field.distance(10, 10), field.path(10, 10)];
field.close();
const fixes: Int32Array[] = survey.splitComponents > 0 ? (['open', 'block'] as VarnholtFixKind[]).map((kind) => map.splitFix(0, kind)) : [];
// Maps from other tools, and back.
const text: string = map.exportMovingAi();
const imported: VarnholtMap[] = [varnholt.importMovingAi(text), varnholt.importCells(2, 3, new Uint8Array(6)),
  varnholt.importPixels({data: new Uint8ClampedArray(4 * 6), width: 3, height: 2}, {threshold: 40, darkOpen: true}),
  varnholt.importTiled({rows: 1, columns: 2, layers: [[1, 2], new Uint32Array(2)], firstGids: [1], colliding: [[0, 1]]})];
imported.forEach((other) => other.close());
// A canvas's pixels as the browser gives them.
const fromCanvas = (image: ImageData): VarnholtMap => varnholt.importPixels(image);
console.log(fromCanvas, next, toGoal, fixes, field.closed, field.goalRow + field.goalColumn);
try {
  map.findPath(-1, 0, 0, 0);
} catch (failure) {
  const status: VarnholtStatus | undefined = failure instanceof VarnholtError ? failure.status : undefined;
  console.log(status);
}
map.close();
console.log(side, cells, path, corners, plain, answers, segment, survey.splits[0]?.parts, lost, difference, map.closed);
