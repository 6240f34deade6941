// Runs inside the module emscripten makes, before its start-up code. That code, for Node, sets
// its folder from __dirname, which Node's ES modules do not define; the WebAssembly is inside the
// file, so no folder is ever read and an empty one will do.
var __dirname = '';
