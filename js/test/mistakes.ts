// Uses of the package its declarations must refuse: tsc reports an error on each marked line alone.
import {load} from 'varnholt';

const map = (await load()).create(64);
map.file('infos'); // refused
map.findPath(0, 0, 1); // refused
map.cellsPerSide = 128; // refused
const path: number[] = map.findPath(0, 0, 1, 1); // refused
map.setCells(0, 0, 1, 1, [0]); // refused
map.compare('level0', new Uint8Array(0)); // refused
map.splitFix(0, 'mend'); // refused
const distance: number | null = map.field(0, 0).next(1, 1); // refused
map.field(0, 0).goalRow = 1; // refused
(await load()).importPixels({data: new Uint8Array(4), width: 1}); // refused
(await load()).importMovingAi(['type octile']); // refused
console.log(path, distance);
