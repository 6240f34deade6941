// The three files a map makes, by the names the package gives them: varnholt_file, and the most
// bytes the header says each takes for a map of n x n segments, header + perSegment n^2.
import {argumentError} from './errors.js';

const kFiles = {
  level0: {kind: 0, header: 32, perSegment: 516},
  info: {kind: 1, header: 32, perSegment: 260},
  waypoint: {kind: 2, header: 8, perSegment: 16},
};

export function fileOf(name) {
  if (!Object.hasOwn(kFiles, name)) throw argumentError(`Unknown file kind: ${String(name)}; 'level0', 'info' or 'waypoint'`);
  return kFiles[name];
}
