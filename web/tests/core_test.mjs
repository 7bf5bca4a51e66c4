// The core as the page runs it (WebAssembly under Node, given a lap's
// leading bytes and its true length), against what the native console tool
// writes to a file for the same lap, byte for byte; and the caret form of
// the controls that the page decodes.
//   node core_test.mjs ZVK_CORE_JS NATIVE_BUILD SOURCE_DIR SCRATCH_DIR
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import * as fs from 'node:fs';
import { createRequire } from 'node:module';
import * as path from 'node:path';

const [coreScript, native, source, scratch] = process.argv.slice(2);
const createZvkCore = createRequire(import.meta.url)(path.resolve(coreScript));
const core = await createZvkCore({ wasmBinary: fs.readFileSync(coreScript.replace(/\.js$/, '.wasm')) });
fs.rmSync(scratch, { recursive: true, force: true });
fs.mkdirSync(scratch, { recursive: true });

// What the page does: reads at most what the report needs, passes the length.
function pageReport(file, shown) {
  const length = fs.statSync(file).size;
  const head = Buffer.alloc(Math.min(length, core._zvk_bytes_needed()));
  const fd = fs.openSync(file, 'r');
  fs.readSync(fd, head, 0, head.length, 0);
  fs.closeSync(fd);
  core.HEAPU8.set(head, core._zvk_input(head.length));
  const status = core._zvk_report(length, shown);
  const text = core._zvk_report_text();
  return { status, ending: core.UTF8ToString(core._zvk_ending()),
           bytes: Buffer.from(core.HEAPU8.slice(text, text + core._zvk_report_size())) };
}
const env = { PATH: process.env.PATH, LC_ALL: 'C', TZ: 'UTC' };
function nativeReport(file) {
  const output = path.join(scratch, 'native.txt');
  const fd = fs.openSync(output, 'w');
  const run = spawnSync(path.join(native, 'zvk-setup-dumper'), [file], { stdio: ['ignore', fd, 'inherit'], env });
  fs.closeSync(fd);
  return { status: run.status, bytes: fs.readFileSync(output) };
}
// A lap from the project's builder, then one field changed where a row needs
// it (offsets as the simulator writes them).
function lap(name, length = 4096, player = 'Jorg Pilot', patches = []) {
  const file = path.join(scratch, name);
  const made = spawnSync(path.join(native, 'tools', 'make_hotlap'), [file, String(length), player], { env });
  assert.equal(made.status, 0, `make_hotlap ${name}`);
  const fd = fs.openSync(file, 'r+');
  for (const [offset, bytes] of patches) {
    fs.writeSync(fd, Buffer.from(bytes), 0, bytes.length, offset);
  }
  fs.closeSync(fd);
  return file;
}
const rearOffset = [0, 0, 0x80, 0xbf]; // -1.0f: every wheel behind the centre
// Each lap, and how the page's entry names its ending.
const laps = [
  ['the example', path.join(source, 'examples', 'sample.qdp'), 'done'],
  ['a lap of 6 MiB', lap('big.qdp', 6 << 20), 'done'],
  ['a lap of exactly 1024 bytes', lap('exact.qdp', 1024), 'done'],
  ['a file of 1023 bytes', lap('short.qdp', 1023), 'too_short'],
  ['an empty file', lap('empty.qdp', 0), 'not_a_hotlap'],
  ['a wrong signature', lap('signature.qdp', 4096, 'Jorg Pilot', [[0, [0x5a, 0x56, 0x4b]]]), 'not_a_hotlap'],
  ['the excluded format', lap('format.qdp', 4096, 'Jorg Pilot', [[15, [1]]]), 'not_a_hotlap'],
  ['every wheel at the rear', lap('axle.qdp', 4096, 'Jorg Pilot',
    [0, 1, 2, 3].map((wheel) => [512 + 128 * wheel + 4, rearOffset])), 'front_rear_undecidable'],
  ['controls in a name', lap('controls.qdp', 4096, '\\x1b]0;pwned\\x07\\x1b[2J\\x7f\\x01'), 'done'],
  ['markup in a name', lap('markup.qdp', 4096, '</pre><script>alert(1)</script>'), 'done'],
  ['high bytes and NUL in a name', lap('high.qdp', 4096, 'Pawe\\xb3\\x00\\x9b\\xc2\\x9b\\xff'), 'done'],
];
// 3 GiB, sparse: the page never holds it, and it is refused by its size.
const sparse = lap('sparse.qdp', 4096);
fs.truncateSync(sparse, 3 * 2 ** 30);
laps.push(['a sparse file of 3 GiB', sparse, 'too_long']);

for (const [row, file, ending] of laps) {
  const page = pageReport(file, 0);
  const console = nativeReport(file);
  assert.equal(page.bytes.toString('latin1'), console.bytes.toString('latin1'), row);
  assert.equal(page.status, console.status, `${row}: the exit status`);
  assert.equal(page.ending, ending, `${row}: the ending`);
}
assert.deepEqual(pageReport(laps[0][1], 0).bytes, fs.readFileSync(path.join(source, 'examples', 'sample.txt')));

// The caret form: C0 and DEL shown, bytes 80-FF and NUL left for the page.
const shown = [
  ['controls.qdp', 'Player: ^[]0;pwned^G^[[2J^?^A\0'],
  ['markup.qdp', 'Player: </pre><script>alert(1)</script>\0'],
  ['high.qdp', 'Player: Pawe\xb3\0\x9b\xc2\x9b\xff\0'],
  ['sample.qdp', 'Motion Range:\t 0.063\tm\n'],
];
for (const [name, expected] of shown) {
  const file = name === 'sample.qdp' ? laps[0][1] : path.join(scratch, name);
  assert.ok(pageReport(file, 1).bytes.toString('latin1').includes(expected), `${name}: ${JSON.stringify(expected)}`);
}
console.log(`${laps.length} laps as the console tool writes them; ${shown.length} shown with carets`);
