// The TypeScript declarations of the package installed from its tarball, by the pinned tsc: an
// example that uses every export compiles, and mistakes are refused line by line.
import test from 'node:test';
import assert from 'node:assert/strict';
import {spawnSync} from 'node:child_process';
import {copyFileSync, readFileSync, writeFileSync} from 'node:fs';
import {join} from 'node:path';
import {fileURLToPath} from 'node:url';
import {installedPackage} from './support.js';

const tsc = fileURLToPath(new URL('../node_modules/typescript/bin/tsc', import.meta.url));

// tsc --noEmit on the file, strict, as a project of ES modules for Node; its output.
function compile(file) {
  const {folder} = installedPackage();
  copyFileSync(fileURLToPath(new URL(file, import.meta.url)), join(folder, file));
  const options = {strict: true, noEmit: true, module: 'nodenext', moduleResolution: 'nodenext', target: 'es2022', lib: ['es2022', 'dom'], types: []};
  writeFileSync(join(folder, 'tsconfig.json'), JSON.stringify({compilerOptions: options, files: [file]}));
  const run = spawnSync(process.execPath, [tsc, '-p', '.'], {cwd: folder, encoding: 'utf8'});
  return {status: run.status, output: run.stdout + run.stderr};
}

test('an example that uses every export compiles', () => {
  const {status, output} = compile('example.ts');
  assert.equal(output, '');
  assert.equal(status, 0);
});

test('each mistake is refused, on its own line', () => {
  const {status, output} = compile('mistakes.ts');
  assert.notEqual(status, 0);
  const refused = new Set([...output.matchAll(/^mistakes\.ts\((\d+),\d+\): error/gm)].map((found) => Number(found[1])));
  const lines = readFileSync(fileURLToPath(new URL('mistakes.ts', import.meta.url)), 'utf8').split('\n');
  const marked = new Set(lines.flatMap((line, k) => (line.endsWith('// refused') ? [k + 1] : [])));
  assert.deepEqual(refused, marked, output);
});
