// Varnholt for JavaScript: level-0 pathfinding maps, paths on them, edits and the files varnholt
// writes, from the library's C interface compiled to WebAssembly. index.d.ts documents each call.
export {load} from './lib/library.js';
export {VarnholtError} from './lib/errors.js';
