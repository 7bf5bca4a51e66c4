// The core as the page runs it (WebAssembly under Node, given a lap's
// leading bytes and its true length), against what the native console tool
// writes to a file for the same lap, byte for byte, a lap it could not read
// included; the report and a file's name as the page shows them, names read
// in the chosen code page; and laps side by side.
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
function handIn(file) {
  const length = fs.statSync(file).size;
  const head = Buffer.alloc(Math.min(length, core._zvk_bytes_needed()));
  const fd = fs.openSync(file, 'r');
  fs.readSync(fd, head, 0, head.length, 0);
  fs.closeSync(fd);
  core.HEAPU8.set(head, core._zvk_input(head.length));
  return length;
}
// Hands in a text the core makes room for: a name, a code page.
function handInText(text, room) {
  const utf8 = Buffer.from(text);
  const at = room(utf8.length);
  core.HEAPU8.set(utf8, at);
}
// The exact bytes, or, given a code page, the report as the page shows it.
function pageReport(file, codePage) {
  const length = handIn(file);
  if (codePage) {
    handInText(codePage, core._zvk_code_page_input);
  }
  const status = core._zvk_report(length, Boolean(codePage));
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

// A lap the page could not read: what the console prints for a file it cannot open.
const missing = nativeReport(path.join(scratch, 'missing.qdp'));
assert.equal(core._zvk_report_unreadable(), missing.status);
assert.equal(core.UTF8ToString(core._zvk_ending()), 'not_loaded');
assert.equal(core.UTF8ToString(core._zvk_report_text(), core._zvk_report_size()), missing.bytes.toString());

// As the page shows it, in UTF-8: each name in UTF-8 or else in the chosen
// code page, controls and the characters that reorder a line by their code,
// the padding NUL as nothing.
const shown = [
  ['controls.qdp', 'windows-1252', 'Player: ^[]0;pwned^G^[[2J^?^A\n'],
  ['markup.qdp', 'windows-1252', 'Player: </pre><script>alert(1)</script>\n'],
  ['high.qdp', 'windows-1250', 'Player: Pawe\u0142\u203a\u00c2\u203a\u02d9\n'],
  ['high.qdp', 'utf-8', 'Player: Pawe\ufffd\ufffd<U+009B>\ufffd\n'],
  [lap('utf8.qdp', 4096, 'J\\xc3\\xb6rg \\xc3\\x89mile \\xe3\\x83\\xa9\\xe3\\x83\\x83\\xe3\\x83\\x97'), 'windows-1252',
   'Player: J\u00f6rg \u00c9mile \u30e9\u30c3\u30d7\n'],
  [lap('rlm.qdp', 4096, '\\xe2\\x80\\x8f12 - 34'), 'windows-1252', 'Player: <U+200F>12 - 34\n'],
  [lap('hebrew.qdp', 4096, '\\xfe12 - 34'), 'windows-1255', 'Player: <U+200F>12 - 34\n'],
  ['sample.qdp', 'windows-1252', 'Motion Range:\t 0.063\tm\n'],
];
for (const [name, codePage, expected] of shown) {
  const file = name === 'sample.qdp' ? laps[0][1] : path.resolve(scratch, name);
  assert.ok(pageReport(file, codePage).bytes.toString().includes(expected), `${name}: ${JSON.stringify(expected)}`);
}
// A file's name, shown so too.
for (const [name, expected] of [['Pilot\u202eexe.qdp', 'Pilot<U+202E>exe.qdp'],
                                ['J\u00f6rg\u200f\x1b[2J.qdp', 'J\u00f6rg<U+200F>^[[2J.qdp']]) {
  handInText(name, core._zvk_name_input);
  assert.equal(core.UTF8ToString(core._zvk_shown_name()), expected);
}

// Laps side by side: each lap's name and leading bytes, then the comparison.
function compare(entries, reference = -1, codePage = 'windows-1252') {
  core._zvk_compare_clear();
  handInText(codePage, core._zvk_code_page_input);
  for (const [name, file] of entries) {
    const length = handIn(file);
    handInText(name, core._zvk_name_input);
    core._zvk_compare_add(length);
  }
  return JSON.parse(core.UTF8ToString(core._zvk_comparison(reference)));
}
const float = (value) => { const bytes = Buffer.alloc(4); bytes.writeFloatLE(value); return [...bytes]; };
const front = (offset, value) => [2, 3].map((wheel) => [512 + 128 * wheel + offset, float(value)]);
const faster = lap('faster.qdp', 4096, 'Jorg Pilot',
  [...front(32, 110000), ...front(44, 1400), [208, [6]], [232, float(0.8)]]);
const sample = laps[0][1];
const pair = compare([['sample.qdp', sample], ['faster.qdp', faster]]);
assert.deepEqual(pair.laps.map((l) => [l.name, l.ending, l.message]),
  [['sample.qdp', 'done', ''], ['faster.qdp', 'done', '']]);
assert.equal(pair.reference, 0);
assert.deepEqual(pair.sections.map((s) => s.heading),
  ['File Info', 'Rear Suspension', 'Front Suspension', 'Brakes', 'Gearbox ratios']);
const cells = (table, lap) => table.sections.flatMap((s) => s.rows.map((r) => [s.heading, r.label, r.cells[lap]]));
assert.deepEqual(cells(pair, 1).filter(([, , c]) => c.differs).map(([s, l, c]) => [s, l, c.text, c.note]), [
  ['Front Suspension', 'Stiffness', '110.0 N/mm (\u221210.0)', 'differs from the reference: \u221210.0'],
  ['Brakes', 'Maximum Per Wheel', '1275 Nm (\u2212100)', 'differs from the reference: \u2212100'],
  ['Brakes', 'Brake Balance (front)', '54% (\u22124)', 'differs from the reference: \u22124'],
  ['Gearbox ratios', '6th', '0.800', 'differs from the reference'],
]);
assert.ok(cells(pair, 0).every(([, , c]) => !c.differs));
assert.equal(cells(pair, 0).find(([, l]) => l === '6th')[2].text, '\u2014');
assert.equal(cells(pair, 0).length, 26);
assert.ok(pair.csv.startsWith('\ufeffSection,Line,sample.qdp,faster.qdp\r\nFile Info,ZVK Version,1.2.7,1.2.7\r\n'));
assert.equal(pair.csv.split('\r\n').length, 1 + 26 + 1);
assert.equal(pair.csvName, 'sample-comparison.csv');

// Failing laps keep their columns; a name is text, its controls shown.
const markup = '<img src=x onerror=alert(1)>\x1b[2J.qdp';
const mixed = compare([[markup, path.join(scratch, 'short.qdp')], ['axle.qdp', path.join(scratch, 'axle.qdp')],
                       ['sample.qdp', sample]]);
assert.deepEqual(mixed.laps.map((l) => [l.name, l.ending, l.message]), [
  ['<img src=x onerror=alert(1)>^[[2J.qdp', 'too_short', 'File size: 1023 bytesFile Error/Not A Hotlap!'],
  ['axle.qdp', 'front_rear_undecidable', "Error: can't figure out what tires are front/rear :-)"],
  ['sample.qdp', 'done', '']]);
assert.equal(mixed.reference, 2);
assert.deepEqual(cells(mixed, 1).filter(([, , c]) => c.text !== '').map(([s]) => s), Array(5).fill('File Info'));
// Names in the chosen code page, in the table and in its CSV.
const polish = compare([['polish.qdp', lap('polish.qdp', 4096, 'Pawe\\xb3 \\x8cwi\\xb9tek')], ['sample.qdp', sample]],
                       -1, 'windows-1250');
assert.equal(cells(polish, 0).find(([, l]) => l === 'Player')[2].text, 'Pawe\u0142 \u015awi\u0105tek');
assert.ok(polish.csv.includes('\r\nFile Info,Player,Pawe\u0142 \u015awi\u0105tek,Jorg Pilot\r\n'));

// Eight laps at most; the time to compare them.
const eight = Array.from({ length: 9 }, (_, i) => [`lap ${i + 1}.qdp`, i % 2 ? faster : sample]);
const started = performance.now();
const cut = compare(eight, 1);
const took = performance.now() - started;
assert.equal(cut.laps.length, 8);
assert.equal(cut.notice, 'Only the first 8 of the 9 laps are compared.');
assert.equal(cells(cut, 0).find(([s, l]) => s === 'Front Suspension' && l === 'Stiffness')[2].text,
             '120.0 N/mm (+10.0)');
console.log(`${laps.length} laps as the console tool writes them; ${shown.length} as the page shows them; ` +
            `9 laps compared in ${took.toFixed(1)} ms`);
