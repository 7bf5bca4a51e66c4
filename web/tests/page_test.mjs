// The built page in one browser engine (engines.mjs says how each is
// driven), opened from disk, scenario by scenario as listed below; after
// every scenario: no request, no policy violation, no error.
//   node page_test.mjs ENGINE PAGE NPM_DIR NATIVE_BUILD SOURCE_DIR SCRATCH_DIR
// An engine that cannot run here is skipped, with the reason; where
// ZVK_ALL_ENGINES is set (CI) that fails, unless npm cannot reach its registry.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import * as fs from 'node:fs';
import * as path from 'node:path';
import { pathToFileURL } from 'node:url';
import { engines } from './engines.mjs';

const started = performance.now();
const [engineName, ...folders] = process.argv.slice(2);
const [pageFile, npmDir, native, source, scratch] = folders.map((folder) => path.resolve(folder));
const engine = engines[engineName];
const modules = path.join(npmDir, 'node_modules');

function skip(reason) {
  if (process.env.ZVK_ALL_ENGINES && !reason.startsWith('npm cannot reach its registry')) {
    console.log(`${engineName} must run here (ZVK_ALL_ENGINES is set), but cannot: ${reason}`);
    process.exit(1);
  }
  console.log(`SKIPPED: ${reason}`);
  process.exit(0);
}
if (!fs.existsSync(path.join(modules, 'puppeteer-core'))) {
  const why = path.join(npmDir, 'skipped.txt');
  skip(fs.existsSync(why) ? fs.readFileSync(why, 'utf8').trim() : `no npm packages in ${npmDir} (see web.npm)`);
}
if (engine.missing()) {
  skip(engine.missing());
}

// The one file stays within 100 KiB.
assert.ok(fs.statSync(pageFile).size <= 102400, `the page is ${fs.statSync(pageFile).size} bytes`);
fs.rmSync(scratch, { recursive: true, force: true });
const downloads = path.join(scratch, 'downloads');
fs.mkdirSync(downloads, { recursive: true });
const sample = path.join(source, 'examples', 'sample.qdp');
const sampleReport = fs.readFileSync(path.join(source, 'examples', 'sample.txt'));
const environment = { PATH: process.env.PATH, LC_ALL: 'C', TZ: 'UTC' };

// A lap from the project's builder, then bytes changed where a case needs it.
function lap(name, player, patches = [], length = 4096) {
  const file = path.join(scratch, name);
  const made = spawnSync(path.join(native, 'tools', 'make_hotlap'), [file, String(length), player],
                         { env: environment });
  assert.equal(made.status, 0, `make_hotlap ${name}`);
  const bytes = fs.readFileSync(file);
  for (const [offset, patch] of patches) {
    bytes.set(patch, offset);
  }
  fs.writeFileSync(file, bytes);
  return file;
}
// The four wheels behind the centre (-1.0f), so that no axle is the front.
const allAtTheRear = [0, 1, 2, 3].map((wheel) => [512 + 128 * wheel + 4, [0, 0, 0x80, 0xbf]]);
// The example's setup but for a front spring of 110.0 N/mm and a front
// brake of 1400 Nm, and a sixth gear (the front wheels are the last two).
const float = (value) => [...new Uint8Array(new Float32Array([value]).buffer)];
const fasterSetup = [[208, [6]], [232, float(0.8)], ...[2, 3].flatMap((wheel) => [
  [512 + 128 * wheel + 32, float(110000)], [512 + 128 * wheel + 44, float(1400)]])];
// What the console tool writes to a file for a lap (stdout), and its status.
function consoleRun(file) {
  return spawnSync(path.join(native, 'zvk-setup-dumper'), [file],
                   { env: environment, stdio: ['ignore', 'pipe', 'inherit'] });
}
// Each line of a report that holds a value, as [heading, label].
function reportLines(file) {
  let heading = '';
  return consoleRun(file).stdout.toString('latin1').split('\n').flatMap((line) => {
    const rule = line.match(/^-+([^-].*?)-+$/);
    heading = rule ? rule[1] : heading;
    const label = !rule && heading && line.match(/^([^:\t]+?)(?::|\t| (?=\d))/);
    return label ? [[heading, label[1]]] : [];
  });
}
// The last line the console tool prints for a lap: where a failing one stopped.
const lastLine = (file) => consoleRun(file).stdout.toString('latin1').trimEnd().split('\n').pop();

// The page as an engine before 'wasm-unsafe-eval' sees it: WebAssembly refused.
const withoutWasm = path.join(scratch, 'without-wasm.html');
const allowing = /(http-equiv="Content-Security-Policy" content="[^"]*) 'wasm-unsafe-eval'/;
const built = fs.readFileSync(pageFile, 'latin1');
assert.match(built, allowing);
fs.writeFileSync(withoutWasm, built.replace(allowing, '$1'), 'latin1');

// What every scenario's page carries from its opening on: the policy's
// violations, errors, Save's Blob and the name given to it (caught as every
// engine makes them, since not every engine saves a download headless), the
// time of a choice, and each lap's outcome as announced, with its time.
function watch() {
  const probes = { violations: [], errors: [], saved: null, announced: [], chosen: 0, shown: 0 };
  window.zvkTest = probes;
  document.addEventListener('securitypolicyviolation', (event) => probes.violations.push(event.effectiveDirective));
  window.addEventListener('error', (event) => probes.errors.push(String(event.message)));
  window.addEventListener('unhandledrejection', (event) => probes.errors.push(`unhandled: ${event.reason}`));
  const createObjectURL = URL.createObjectURL;
  URL.createObjectURL = (blob) => {
    probes.saved = { blob, name: '' };
    return createObjectURL.call(URL, blob);
  };
  const click = HTMLAnchorElement.prototype.click;
  HTMLAnchorElement.prototype.click = function saving() {
    if (probes.saved) {
      probes.saved.name = this.download;
    }
    return click.call(this);
  };
  window.addEventListener('change', () => { probes.chosen = performance.now(); }, true);
  const outcome = document.querySelector('#outcome');
  new MutationObserver(() => {
    if (outcome.textContent !== '') {
      probes.announced.push(outcome.textContent);
      probes.shown = performance.now();
    }
  }).observe(outcome, { childList: true, characterData: true, subtree: true });
}

// Holds the page's next read of a file until the test calls
// window.zvkTest.release(fail): then it reads, or fails as a lost file does.
function holdRead() {
  const read = Blob.prototype.arrayBuffer;
  Blob.prototype.arrayBuffer = function held() {
    Blob.prototype.arrayBuffer = read;
    return new Promise((resolve, reject) => {
      window.zvkTest.release = (fail) => (fail ? reject(new DOMException('gone', 'NotReadableError'))
                                               : read.call(this).then(resolve, reject));
    });
  };
}

// What scenarios do with a page, in any engine.
function pageOf(session) {
  const page = {
    async open(file = pageFile) {
      await session.open(pathToFileURL(path.resolve(file)).href);
      await session.run(watch);
    },
    run: (fn, ...args) => session.run(fn, ...args),
    click: (selector) => session.click(selector),
    press: (key) => session.press(key),
    text: (selector) => session.run((s) => document.querySelector(s).textContent, selector),
    async until(fn, ...args) {
      for (let waited = 0; waited < 400; ++waited) {
        if (await session.run(fn, ...args)) {
          return;
        }
        await new Promise((resolve) => setTimeout(resolve, 20));
      }
      throw new Error(`timed out waiting for ${fn}`);
    },
    // A lap or several (an array), given to the chooser, or to the one of
    // "Compare with another lap…"; dropped on the window, as a file manager
    // drops them.
    choose: (files) => session.choose('#file', files),
    compareWith: (files) => session.choose('#more', files),
    drop: (files) => session.run((dropped) => {
      const transfer = new DataTransfer();
      for (const [name, content] of dropped) {
        transfer.items.add(new File([new Uint8Array(content)], name));
      }
      document.querySelector('#drop').dispatchEvent(
        new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
    }, [files].flat().map((file) => [path.basename(file), [...fs.readFileSync(file)]])),
    // Chooses or drops laps (or gives them as `how` does) and waits for
    // their outcome on screen.
    async show(file, how = 'choose') {
      const before = await session.run(() => window.zvkTest.announced.length);
      await (typeof how === 'function' ? how(file) : page[how](file));
      await page.until((count) => window.zvkTest.announced.length > count, before);
    },
    // Clicks Save (or Save comparison): the name and bytes of the Blob the
    // page made, and the file the engine saved where it saves downloads headless.
    async save(button = '#save') {
      await session.click(button);
      const saved = await session.run(async () => {
        const { blob, name } = window.zvkTest.saved;
        return { name, bytes: [...new Uint8Array(await blob.arrayBuffer())] };
      });
      const bytes = Buffer.from(saved.bytes);
      const downloaded = await session.downloaded(saved.name);
      if (downloaded) {
        assert.deepEqual(downloaded, bytes, `the download ${saved.name} holds the Blob`);
        fs.rmSync(path.join(downloads, saved.name));
      }
      return { name: saved.name, bytes };
    },
    // Chooses the letters names are read in, as the list does.
    select: (value) => session.run((chosen) => {
      const list = document.querySelector('#code-page');
      list.value = chosen;
      list.dispatchEvent(new Event('change'));
      return list.value === chosen;
    }, value),
    // What is shown of the last laps chosen: one lap's, or laps side by side.
    outcome: () => session.run(() => ({
      ...Object.fromEntries(['name', 'report', 'meaning', 'message'].map((id) => [id, document.getElementById(id).textContent])),
      compared: document.getElementById('compared').hidden ? '' : document.getElementById('compared').textContent,
    })),
    // The comparison shown: whether it took the report's place and is a
    // table headed in both ways; each lap's column header (its name, and
    // whether it is the reference); each row as its group's heading, its
    // label and its cells (a marked one with '*', and its words for a
    // screen reader); how a marked cell and another look; the notice.
    comparison: () => session.run(() => {
      const table = document.querySelector('#comparison');
      const [names, ...body] = table.rows;
      const headed = [...names.cells].every((cell) => cell.scope === 'col') && body.every((row) => {
        const [header, ...cells] = row.cells;
        return ['row', 'rowgroup'].includes(header.scope) &&
               cells.every((cell) => cell.tagName === 'TD') && header.colSpan + cells.length === names.cells.length;
      });
      const rows = [...table.tBodies].flatMap((group) => {
        const heading = group.rows[0].cells[0].scope === 'rowgroup' ? group.rows[0].textContent : '';
        return [...group.rows].slice(heading ? 1 : 0).map((row) => [heading, ...[...row.cells].map((cell) => (
          cell.className === 'differs' ? `*${cell.textContent}` : cell.textContent))]);
      });
      const looks = (cell) => {
        const { fontWeight, boxShadow } = getComputedStyle(cell);
        return `${cell.className === 'differs' ? 'marked' : 'plain'} ${fontWeight >= 600 ? 'bold' : 'normal'} ` +
               `${boxShadow === 'none' ? 'unbarred' : 'barred'}`;
      };
      return {
        shown: !document.querySelector('#compared').hidden && document.querySelector('#lap').hidden,
        headed,
        columns: [...names.cells].slice(1).map((cell) => [cell.querySelector('span').textContent,
                                                          cell.querySelector('button').getAttribute('aria-pressed')]),
        rows,
        looks: [...new Set([...table.querySelectorAll('td')].map(looks))].sort(),
        notice: document.querySelector('#notice').textContent,
      };
    }),
    violations: () => session.run(() => window.zvkTest.violations.splice(0)),
    engineProblems: () => session.problems.splice(0),
    choosesFolders: session.choosesFolders,
    pointer: session.pointer,
    // The viewport as asked, or as near as the engine goes: its width.
    async resize(width, height) {
      await session.resize(width, height);
      return session.run(() => innerWidth);
    },
  };
  return page;
}

// Scenarios: each runs on a page opened afresh, in a browser of its
// language, colour scheme and device (one browser for all the scenarios of
// the same), on the device's screen.
const scenarios = [];
function scenario(name, settings, body) {
  scenarios.push({ name, settings: { language: 'en-US', scheme: 'light', device: 'desktop', ...settings }, body });
}
const figures = [];
const notes = new Set(); // what this engine's driver cannot do

scenario('the policy as built, directive by directive, and enforced', {}, async (page) => {
  const { policy, script, style } = await page.run(async () => {
    const digest = async (text) => {
      const hash = await crypto.subtle.digest('SHA-256', new TextEncoder().encode(text));
      return `'sha256-${btoa(String.fromCharCode(...new Uint8Array(hash)))}'`;
    };
    return {
      policy: document.querySelector('meta[http-equiv="Content-Security-Policy"]').content,
      script: await digest(document.scripts[0].textContent),
      style: await digest(document.querySelector('style').textContent),
    };
  });
  const directives = Object.fromEntries(policy.split(';').map((directive) => {
    const [name, ...sources] = directive.trim().split(/\s+/);
    return [name, sources.join(' ')];
  }));
  assert.deepEqual(directives, {
    'default-src': "'none'",
    'script-src': `${script} 'wasm-unsafe-eval'`,
    'style-src': style,
    'img-src': "'none'",
    'form-action': "'none'",
    'base-uri': "'none'",
  });
  // Each directive refuses what it is there to refuse, and says so.
  const probes = [
    ['connect-src', async () => { await fetch('http://127.0.0.1:9/').catch(() => {}); return true; }],
    ['script-src-elem', async () => {
      const script = document.createElement('script');
      script.textContent = 'window.zvkInjected = true;';
      document.body.append(script);
      return window.zvkInjected === undefined;
    }],
    ['script-src', async () => {
      setTimeout('window.zvkEvaluated = true;'); // a string is evaluated, as eval() is
      await new Promise((resolve) => setTimeout(resolve, 50));
      return window.zvkEvaluated === undefined;
    }],
    ['style-src-elem', () => {
      const style = document.createElement('style');
      style.textContent = 'body { visibility: hidden }';
      document.head.append(style);
      return getComputedStyle(document.body).visibility === 'visible';
    }],
    ['style-src-attr', () => {
      document.body.setAttribute('style', 'visibility: hidden');
      return getComputedStyle(document.body).visibility === 'visible';
    }],
    ['img-src', () => new Promise((resolve) => {
      const image = new Image();
      image.onload = () => resolve(false);
      image.onerror = () => resolve(true);
      image.src = 'data:image/gif;base64,R0lGODlhAQABAAAAACw=';
    })],
    ['base-uri', () => {
      const base = document.createElement('base');
      base.href = 'http://127.0.0.1:9/';
      document.head.append(base);
      return document.baseURI === location.href;
    }],
    // Last: a form that is sent reloads the page.
    ['form-action', () => {
      const form = document.createElement('form');
      form.action = '#sent';
      document.body.append(form);
      form.requestSubmit();
      return true;
    }],
  ];
  const unenforced = [];
  for (const [directive, probe] of probes) {
    try {
      const refused = await page.run(probe);
      await page.until(() => window.zvkTest.violations.length > 0).catch(() => {});
      const reported = await page.violations();
      if (!refused || !reported.length || !reported.every((name) => name.startsWith(directive.replace(/-(elem|attr)$/, '')))) {
        unenforced.push(`${directive}: ${refused ? 'refused' : 'done'}, violations ${JSON.stringify(reported)}`);
      }
    } catch (error) {
      unenforced.push(`${directive}: ${error.message}`);
    }
  }
  assert.deepEqual(unenforced, []);
  // Firefox reports each violation as an error of the page too.
  for (const problem of page.engineProblems()) {
    assert.match(problem, /^error Content-Security-Policy: /);
  }
});

scenario('the example: its report, its time, and Save', {}, async (page) => {
  assert.equal(await page.run(() => document.querySelector('#code-page').value), 'windows-1252');
  await page.show(sample);
  const { chosen, shown } = await page.run(() => window.zvkTest);
  figures.push(`the example reported ${(shown - chosen).toFixed(1)} ms after its choice`);
  assert.equal(await page.text('#name'), 'sample.qdp');
  assert.equal(await page.text('#report'), sampleReport.toString('latin1').replace(/\0/g, ''));
  assert.deepEqual(await page.save(), { name: 'sample.txt', bytes: sampleReport });
});

// Markup and controls in a dropped lap's name: shown as text, saved as the
// console tool writes them.
scenario("a crafted lap's name is text", {}, async (page) => {
  for (const [name, shown] of [['<img src=x onerror=alert(1)>', '<img src=x onerror=alert(1)>'],
                               ['</pre><script>alert(2)</script>', '</pre><script>alert(2)</script>'],
                               ['\\x1b]0;pwned\\x07\\x1b[2J', '^[]0;pwned^G^[[2J']]) {
    const file = lap('crafted.qdp', name);
    await page.show(file, 'drop');
    assert.ok((await page.text('#report')).includes(`Player: ${shown}`), name);
    assert.equal(await page.run(() => document.querySelectorAll('#report *, #name *').length), 0, name);
    assert.deepEqual((await page.save()).bytes, consoleRun(file).stdout, name);
  }
});

// The example and a lap that changes its front spring and brake and adds a
// sixth gear, compared through "Compare with another lap…": one row per
// line of the reports, the differences marked by more than colour, the CSV,
// another reference, other letters of names, a third lap; then one lap
// alone shows its report again. The second lap's name is in UTF-8, with
// markup that stays text.
scenario('two laps side by side: what differs, the CSV, another reference', {}, async (page) => {
  const name = 'Zo\u00eb <img src=x onerror=alert(1)>.qdp';
  const faster = lap(name, 'Jorg Pilot', fasterSetup);
  await page.show(sample);
  await page.run(() => {
    HTMLInputElement.prototype.click = function chooser() { window.zvkTest.clicked = this.id; };
  });
  await page.click('#compare');
  assert.equal(await page.run(() => window.zvkTest.clicked), 'more');
  await page.show(faster, 'compareWith');
  const table = await page.comparison();
  assert.deepEqual([table.shown, table.headed, table.columns, table.notice],
                   [true, true, [['sample.qdp', 'true'], [name, 'false']], '']);
  assert.deepEqual(table.rows.map(([heading, label]) => [heading, label]), reportLines(faster));
  const marked = table.rows.filter((row) => row.some((cell) => cell.startsWith('*')));
  assert.deepEqual(marked, [
    ['Front Suspension', 'Stiffness', '120.0 N/mm', '*110.0 N/mm (\u221210.0) differs from the reference: \u221210.0'],
    ['Brakes', 'Maximum Per Wheel', '1375 Nm', '*1275 Nm (\u2212100) differs from the reference: \u2212100'],
    ['Brakes', 'Brake Balance (front)', '58%', '*54% (\u22124) differs from the reference: \u22124'],
    ['Gearbox ratios', '6th', '\u2014', '*0.800 differs from the reference'],
  ]);
  assert.ok(table.rows.every((row) => marked.includes(row) || row[2] === row[3]));
  assert.deepEqual(table.looks, ['marked bold barred', 'plain normal unbarred']);
  assert.equal(await page.run(() => document.querySelectorAll('#comparison img, #comparison script').length), 0);

  const csv = await page.save('#save-csv');
  assert.equal(csv.name, 'sample-comparison.csv');
  assert.deepEqual([...csv.bytes.subarray(0, 3)], [0xef, 0xbb, 0xbf]);
  const records = csv.bytes.subarray(3).toString('utf8').split('\r\n');
  assert.deepEqual([records[0], records.pop(), records.some((record) => record.includes('\n'))],
                   [`Section,Line,sample.qdp,${name}`, '', false]);
  assert.deepEqual(records.slice(1).map((record) => record.split(',').slice(0, 2)), reportLines(faster));
  assert.ok(records.includes('Front Suspension,Stiffness,120.0,110.0'), records.join('\n'));

  await page.click('#comparison th:nth-child(3) button');
  const switched = await page.comparison();
  assert.deepEqual(switched.columns, [['sample.qdp', 'false'], [name, 'true']]);
  assert.deepEqual(switched.rows.find(([heading, label]) => heading === 'Front Suspension' && label === 'Stiffness'),
    ['Front Suspension', 'Stiffness', '*120.0 N/mm (+10.0) differs from the reference: +10.0', '110.0 N/mm']);
  assert.equal(await page.run(() => document.activeElement.closest('th').cellIndex), 2);
  assert.ok(await page.select('windows-1250'));
  assert.deepEqual(await page.comparison(), switched);
  await page.show(sample, 'compareWith');
  assert.deepEqual((await page.comparison()).columns.map(([, reference]) => reference), ['false', 'true', 'false']);

  await page.show(sample);
  assert.deepEqual(await page.outcome(), { name: 'sample.qdp', report: sampleReport.toString('latin1').replace(/\0/g, ''),
                                          meaning: '', message: '', compared: '' });
});

// Names side by side follow the letters chosen, as in a report.
scenario('laps side by side read names in the letters chosen', {}, async (page) => {
  await page.show([sample, lap('pawel.qdp', 'Pawe\\xb3')], 'drop');
  for (const [codePage, player] of [['windows-1250', 'Pawe\u0142'], ['windows-1252', 'Pawe\u00b3']]) {
    assert.ok(await page.select(codePage), codePage);
    const [, , , shown] = (await page.comparison()).rows.find(([, label]) => label === 'Player');
    assert.equal(shown, `*${player} differs from the reference`, codePage);
  }
});

// Laps dropped together, one of them lost before it is read: each failing
// lap keeps its column with the console's last line, and the lap whose
// information block was printed its rows; the reference is the first whole
// report.
scenario('failing laps among good ones keep their columns', {}, async (page) => {
  const gone = lap('gone.qdp', 'Jorg Pilot');
  const laps = [gone, lap('short.qdp', 'Jorg Pilot', [], 1023), sample, lap('axle.qdp', 'Jorg Pilot', allAtTheRear)];
  await page.run(holdRead);
  await page.show(laps, async () => {
    await page.drop(laps);
    await page.until(() => typeof window.zvkTest.release === 'function');
    fs.rmSync(gone);
    await page.run(() => window.zvkTest.release(true));
  });
  const { columns, rows } = await page.comparison();
  assert.deepEqual(columns.map(([, reference]) => reference), ['false', 'false', 'true', 'false']);
  assert.deepEqual(rows[0], ['', 'Message', ...laps.map((file) => (file === sample ? '' : lastLine(file)))]);
  for (const [heading, label, ...cells] of rows.slice(1)) {
    assert.deepEqual(cells.map((cell) => cell !== ''), [false, false, true, heading === 'File Info'], label);
  }
});

// Eight laps chosen at once, in time; a ninth is left out, and the page
// says so.
scenario('eight laps side by side in time, and no more', {}, async (page) => {
  const laps = Array.from({ length: 9 }, (_, i) => lap(`lap ${i + 1}.qdp`, 'Jorg Pilot', i % 2 ? fasterSetup : []));
  for (const count of [8, 9]) {
    await page.show(laps.slice(0, count));
    const { columns, notice } = await page.comparison();
    assert.deepEqual(columns.map(([name]) => name), laps.slice(0, 8).map((file) => path.basename(file)));
    assert.equal(notice, count > 8 ? 'Only the first 8 of the 9 laps are compared.' : '');
    if (count === 8) {
      const { chosen, shown } = await page.run(() => window.zvkTest);
      figures.push(`eight laps side by side ${(shown - chosen).toFixed(1)} ms after their choice`);
      assert.ok(shown - chosen < 100, `${shown - chosen} ms`);
    }
  }
});

// A name as each code page reads it; C1 controls and bidirectional
// controls by their code. What Copy said goes once the text has changed.
scenario('names in the letters chosen', {}, async (page) => {
  await page.show(lap('pawel.qdp', 'Pawe\\xb3 \\x81 \\xe2\\x80\\xae!'));
  await page.click('#copy');
  await page.until(() => document.querySelector('#message').textContent !== ''); // copied, or how to
  for (const [codePage, shown] of [['windows-1252', 'Player: Pawe\u00b3 <U+0081> '],
                                   ['windows-1250', 'Player: Pawe\u0142 <U+0081> '],
                                   ['utf-8', 'Player: Pawe\ufffd \ufffd <U+202E>!\n']]) {
    assert.ok(await page.select(codePage), codePage);
    assert.ok((await page.text('#report')).includes(shown), `${codePage}: ${await page.text('#report')}`);
  }
  assert.equal(await page.text('#message'), '');
});

// A name written in UTF-8 is read so, whatever the letters chosen; a file's
// name that would read "Pilotpdq.exe", and be saved as one that reads
// "Pilottxt.exe", shows the character that reorders it by its code.
scenario('names in the letters they were written in, and a name that would reorder itself', {}, async (page) => {
  await page.show(lap('utf8.qdp', 'J\\xc3\\xb6rg \\xc3\\x89mile \\xe3\\x83\\xa9\\xe3\\x83\\x83\\xe3\\x83\\x97'));
  assert.ok((await page.text('#report')).includes('Player: J\u00f6rg \u00c9mile \u30e9\u30c3\u30d7\n'));
  const reordering = path.join(scratch, 'Pilot\u202eexe.qdp');
  fs.copyFileSync(sample, reordering);
  await page.show(reordering);
  assert.equal(await page.text('#name'), 'Pilot<U+202E>exe.qdp');
  await page.click('#save');
  assert.equal(await page.run(() => window.zvkTest.saved.name), 'Pilot<U+202E>exe.txt');
});

// Every ANSI code page of Windows, each named by its number, read as it
// writes a name.
scenario('every code page of Windows to read names in', {}, async (page) => {
  const options = await page.run(() => [...document.querySelector('#code-page').options]
    .map((option) => [option.value, option.textContent]));
  assert.deepEqual(options.map(([value]) => value), [
    'windows-874', 'shift_jis', 'gbk', 'euc-kr', 'big5', 'windows-1250', 'windows-1251', 'windows-1252',
    'windows-1253', 'windows-1254', 'windows-1255', 'windows-1256', 'windows-1257', 'windows-1258', 'utf-8']);
  assert.deepEqual(options.map(([, label]) => label.match(/\d{3,}|UTF-8/)[0]),
                   ['874', '932', '936', '949', '950', '1250', '1251', '1252', '1253', '1254', '1255', '1256',
                    '1257', '1258', 'UTF-8']);
  // (Its label found by closest(): after a read of an element's labels list,
  // WebKitGTK 2.50's web process aborts in a later garbage collection.)
  assert.match(await page.run(() => document.querySelector('#code-page').closest('label').textContent),
               /^Letters of names/);
  for (const [codePage, bytes, name] of [['windows-874', '\\xa1\\xd2\\xc3', '\u0e01\u0e32\u0e23'],
                                         ['shift_jis', '\\x83\\x89\\x83\\x62\\x83\\x76', '\u30e9\u30c3\u30d7'],
                                         ['gbk', '\\xc8\\xfc\\xb3\\xb5', '\u8d5b\u8f66'],
                                         ['euc-kr', '\\xb7\\xb9\\xc0\\xcc\\xbd\\xba', '\ub808\uc774\uc2a4'],
                                         ['big5', '\\xc1\\xc9\\xa8\\xae', '\u8cfd\u8eca']]) {
    await page.show(lap(`${codePage}.qdp`, bytes));
    assert.ok(await page.select(codePage), codePage);
    assert.ok((await page.text('#report')).includes(`Player: ${name}\n`), `${codePage}: ${await page.text('#report')}`);
  }
});

// The newest choice wins, from the chooser or dropped, one lap or two
// compared, over an older choice whose read is slow and then ends, or fails.
const choices = { choose: 'a lap chosen', drop: 'a lap dropped', compare: 'two laps chosen' };
for (const [first, second, ending] of [['choose', 'choose', 'ends'], ['choose', 'drop', 'fails'],
                                       ['drop', 'choose', 'fails'], ['drop', 'drop', 'ends'],
                                       ['compare', 'choose', 'ends'], ['choose', 'compare', 'fails']]) {
  scenario(`${choices[second]} after ${choices[first]} whose slow read ${ending}`, {}, async (page) => {
    const newer = lap('newer.qdp', 'Newer Pilot');
    const ways = { choose: page.choose, drop: page.drop, compare: (file) => page.choose([file, sample]) };
    await page.run(holdRead);
    await ways[first](sample);
    await page.until(() => typeof window.zvkTest.release === 'function');
    await page.show(newer, ways[second]);
    const expected = await page.outcome();
    assert.ok(expected[second === 'compare' ? 'compared' : 'report'].includes('Newer Pilot'), expected.report);
    await page.run(async (fail) => {
      window.zvkTest.release(fail);
      await new Promise((resolve) => setTimeout(resolve, 100));
    }, ending === 'fails');
    assert.deepEqual(await page.outcome(), expected);
    if (second === 'compare') {
      assert.equal((await page.save('#save-csv')).name, 'newer-comparison.csv');
    } else {
      assert.deepEqual(await page.save(), { name: 'newer.txt', bytes: consoleRun(newer).stdout });
    }
  });
}

// Laps that end otherwise, each shown as the console tool prints it, with a
// line on what that means (and the console's exit status where it is not 0)
// and Save where the console could read the lap: wheels on one axle, a lap
// cut short, no signature, a sparse file of 3 GiB, a lap deleted between its
// choice and its read, a folder. Each outcome is announced in one line.
scenario('the laps the report refuses', {}, async (page) => {
  const sparse = lap('sparse.qdp', 'Jorg Pilot');
  fs.truncateSync(sparse, 3 * 2 ** 30);
  const deleted = async (file) => {
    await page.run(holdRead);
    await page.choose(file);
    await page.until(() => typeof window.zvkTest.release === 'function');
    fs.rmSync(file);
    await page.run(() => window.zvkTest.release(false));
  };
  const refused = [
    [lap('axle.qdp', 'Jorg Pilot', allAtTheRear), /front from the rear/],
    [lap('short.qdp', 'Jorg Pilot', [], 1023), /too short/],
    [lap('zvk.qdp', 'Jorg Pilot', [[0, [0x5a, 0x56, 0x4b]]]), /not a ZVK hotlap/],
    [sparse, /too large/],
    [lap('gone.qdp', 'Jorg Pilot'), /could not be read/, deleted],
  ];
  if (page.choosesFolders) {
    refused.push([downloads, /could not be read/]);
  } else {
    notes.add('a folder given to the file chooser');
  }
  const announced = [];
  for (const [file, meaning, how = 'choose'] of refused) {
    await page.show(file, how);
    const shown = await page.outcome();
    const ran = consoleRun(file);
    assert.equal(shown.report, ran.stdout.toString('latin1').replace(/\0/g, ''), file);
    assert.match(shown.meaning, meaning);
    assert.equal(shown.meaning.includes(`exit status ${ran.status}`), ran.status !== 0, shown.meaning);
    const unread = shown.report.endsWith("File doesn't exist/Unable to open file\n");
    assert.equal(await page.run(() => document.querySelector('#save').disabled), unread, file);
    if (!unread) {
      assert.deepEqual((await page.save()).bytes, ran.stdout, file);
    }
    announced.push([path.basename(file), shown.meaning]);
  }
  const report = sampleReport.toString('latin1').replace(/\0/g, '');
  for (const again of [1, 2]) {
    await page.show(sample);
    assert.deepEqual(await page.outcome(), { name: 'sample.qdp', report, meaning: '', message: '', compared: '' },
                     `time ${again}`);
    announced.push(['sample.qdp', '']);
  }
  const lines = await page.run(() => window.zvkTest.announced);
  assert.equal(lines.length, announced.length, lines.join('\n'));
  announced.forEach(([name, meaning], i) => {
    assert.ok(lines[i].startsWith(`${name}: `) && lines[i].includes(meaning) && !lines[i].includes('\n'), lines[i]);
  });
});

// Where the browser refuses to compile WebAssembly: a sentence that says so.
scenario('without WebAssembly the page says it cannot run', {}, async (page) => {
  await page.open(withoutWasm);
  await page.show(sample);
  const shown = await page.outcome();
  assert.equal(shown.report, '');
  assert.match(shown.meaning, /browser/);
  assert.equal(await page.run(() => document.querySelector('#save').disabled), true);
  const refused = await page.violations();
  assert.ok(refused.every((name) => name.startsWith('script-src')), refused.join());
  for (const problem of page.engineProblems()) {
    assert.match(problem, /^error Content-Security-Policy: .*WebAssembly/);
  }
});

// The default as Windows has it for the browser's language; Esperanto has
// no code page of its own there.
for (const [language, codePage] of [['pl-PL', 'windows-1250'], ['ru-RU', 'windows-1251'],
                                    ['ja-JP', 'shift_jis'], ['zh-TW', 'big5'], ['eo', 'windows-1252']]) {
  scenario(`the letters of names for a browser in ${language}`, { language }, async (page) => {
    assert.equal(await page.run(() => navigator.language.split('-')[0]), language.split('-')[0]);
    assert.equal(await page.run(() => document.querySelector('#code-page').value), codePage);
  });
}

// axe-core's rules of WCAG 2.0 to 2.2, A and AA, before and after a lap.
const axeSource = fs.readFileSync(path.join(modules, 'axe-core', 'axe.min.js'), 'utf8');
async function inaccessible(page) {
  await page.run(new Function(`${axeSource}\nreturn true;`)); // eslint-disable-line no-new-func
  return page.run(async () => {
    const tags = ['wcag2a', 'wcag2aa', 'wcag21aa', 'wcag22aa'];
    const { violations } = await window.axe.run(document, { runOnly: { type: 'tag', values: tags } });
    return violations.map(({ id, nodes }) => `${id}: ${nodes.map((node) => node.target.join(' ')).join(', ')}`);
  });
}
for (const [scheme, device] of [['light', 'desktop'], ['dark', 'desktop'], ['light', 'phone']]) {
  scenario(`every accessibility rule kept in the ${scheme} scheme on a ${device}`, { scheme, device }, async (page) => {
    assert.deepEqual(await inaccessible(page), [], 'before a lap');
    await page.show(sample);
    assert.deepEqual(await inaccessible(page), [], 'after a lap');
    await page.show([sample, lap('faster.qdp', 'Jorg Pilot', fasterSetup), lap('short.qdp', 'Jorg Pilot', [], 1023)]);
    assert.deepEqual(await inaccessible(page), [], 'with laps side by side');
    await page.show(lap('short.qdp', 'Jorg Pilot', [], 1023));
    assert.deepEqual(await inaccessible(page), [], 'after a failure');
    // The focus as the keyboard moves it: an outline of the page's own, not
    // the engine's faint default; where the window has the focus to show.
    await page.press('Tab');
    const focus = await page.run(() => {
      const { outlineStyle, outlineWidth } = getComputedStyle(document.activeElement);
      return [document.activeElement.id, document.hasFocus() && `${outlineStyle} ${outlineWidth}`];
    });
    assert.equal(focus[0], 'choose');
    if (focus[1]) {
      assert.equal(focus[1], 'solid 3px');
    } else {
      notes.add(`the focus outline on a ${device} (the window has not the focus)`);
    }
  });
}

// What each pointer is offered: to drop a lap only where a mouse can, and
// on a touch screen targets of 44 by 44 px at least, laps side by side too.
for (const [device, pointer] of [['desktop', 'mouse'], ['phone', 'touch']]) {
  scenario(`what the ${pointer} of a ${device} is offered`, { device }, async (page) => {
    await page.show([sample, sample]);
    const offered = await page.run(() => ({
      coarse: matchMedia('(pointer: coarse)').matches,
      drop: document.body.innerText.includes('Drop a lap'),
      small: [...document.querySelectorAll('button, select')].filter((control) => {
        const { width, height } = control.getBoundingClientRect();
        return width > 0 && (width < 44 || height < 44);
      }).map((control) => control.id),
    }));
    assert.equal(offered.drop, page.pointer === 'mouse', 'the words on dropping');
    assert.equal(offered.coarse, page.pointer === 'touch');
    if (page.pointer === 'touch') {
      assert.deepEqual(offered.small, []);
    }
    if (page.pointer !== pointer) {
      notes.add(`a ${device}'s ${pointer} (the engine has none to give here)`);
    }
  });
}

// On a phone, at its size and on a screen 360 px wide: every character of
// a failure's lines without scrolling sideways (a whole report keeps its
// columns, and scrolls in its box); the report in view once chosen. Two
// laps side by side fit; four scroll sideways in their box, their labels
// kept in view.
scenario('a phone shows a lap whole and in view', { device: 'phone' }, async (page) => {
  const laps = [lap('short.qdp', 'Jorg Pilot', [], 1023), lap('axle.qdp', 'Jorg Pilot', allAtTheRear), sample];
  const faster = lap('faster.qdp', 'Jorg Pilot', fasterSetup);
  for (const [width, height] of [[390, 844], [360, 740]]) {
    const got = await page.resize(width, height);
    if (got !== width) {
      notes.add(`a screen narrower than ${got} px (the window goes no narrower; checked at ${got} px)`);
    }
    for (const file of laps) {
      await page.show(file);
      const seen = await page.run((failed) => {
        const report = document.querySelector('#report');
        const meaning = document.querySelector('#meaning');
        const { top } = report.getBoundingClientRect();
        const { bottom } = (meaning.textContent ? meaning : report).getBoundingClientRect();
        const { scrollWidth, clientWidth } = document.documentElement;
        return { sideways: scrollWidth > clientWidth,
                 cut: failed && report.scrollWidth > report.clientWidth,
                 inView: top >= 0 && (top < innerHeight / 4 || bottom < innerHeight + 1) };
      }, file !== sample);
      assert.deepEqual(seen, { sideways: false, cut: false, inView: true }, `${path.basename(file)} at ${got} px`);
    }
    for (const count of [2, 4]) {
      await page.show(Array.from({ length: count }, (_, i) => (i % 2 ? faster : sample)));
      const seen = await page.run(() => {
        const box = document.querySelector('#sideways');
        box.scrollLeft = box.scrollWidth;
        const { left, top } = box.getBoundingClientRect();
        const { scrollWidth, clientWidth } = document.documentElement;
        return { sideways: scrollWidth > clientWidth, scrolls: box.scrollLeft > 0,
                 labels: document.querySelector('#comparison th[scope=row]').getBoundingClientRect().left - left,
                 inView: top >= 0 && top < innerHeight / 2 };
      });
      assert.deepEqual(seen, { sideways: false, scrolls: count > 2, labels: 1, inView: true }, `${count} laps at ${got} px`);
    }
  }
});

// Runs the scenarios.
const screens = { desktop: [1280, 800], phone: [390, 844] };
const groups = new Map();
for (const item of scenarios) {
  const key = JSON.stringify(item.settings);
  groups.set(key, [...(groups.get(key) || []), item]);
}
let failed = 0;
let passed = 0;
for (const group of groups.values()) {
  const { settings } = group[0];
  const session = await engine.launch({
    ...settings, downloads, modules,
    profile: path.join(scratch, 'profile'), // one for all: a fresh one makes a start slower
    locales: path.join(path.dirname(scratch), 'locales'),
  });
  const page = pageOf(session);
  for (const { name, body } of group) {
    try {
      await session.resize(...screens[settings.device]);
      await page.open();
      await body(page);
      const left = await page.run(() => ({
        violations: window.zvkTest.violations,
        errors: window.zvkTest.errors,
        resources: performance.getEntriesByType('resource').map((entry) => entry.name)
          .filter((name) => !name.startsWith('data:')),
      }));
      assert.deepEqual({ ...left, engine: session.problems.splice(0) },
                       { violations: [], errors: [], resources: [], engine: [] });
      passed += 1;
      console.log(`ok: ${name}`);
    } catch (error) {
      failed += 1;
      session.problems.splice(0);
      console.log(`FAILED: ${name}\n${error.stack}`);
    }
  }
  await session.close();
}
const seconds = ((performance.now() - started) / 1000).toFixed(1);
console.log(`${engineName}: page ${fs.statSync(pageFile).size} bytes; ${figures.join('; ')}; ` +
            `whole test ${seconds} s`);
for (const note of notes) {
  console.log(`not checked in ${engineName}: ${note}`);
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
