// The built page in the system's headless Chromium, opened from disk with no
// network: the example's report as a UTF-8 terminal shows it and saved byte
// for byte, crafted names shown as text with no script, dialog or request,
// names read in UTF-8 or the chosen code page, a file's name that would
// reorder itself, and the files the report refuses.
//   node page_test.mjs PAGE CHROMIUM NODE_MODULES NATIVE_BUILD SOURCE_DIR SCRATCH_DIR
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import * as fs from 'node:fs';
import { createRequire } from 'node:module';
import * as path from 'node:path';
import { pathToFileURL } from 'node:url';

const [pageFile, chromium, nodeModules, native, source, scratch] = process.argv.slice(2);
if (!fs.existsSync(path.join(nodeModules, 'puppeteer-core'))) {
  console.log(`SKIPPED: no puppeteer-core in ${nodeModules} (see web.puppeteer)`);
  process.exit(0);
}
const puppeteer = createRequire(path.join(nodeModules, 'x.js'))('puppeteer-core');
fs.rmSync(scratch, { recursive: true, force: true });
const downloads = path.join(scratch, 'downloads');
fs.mkdirSync(downloads, { recursive: true });
const sample = path.join(source, 'examples', 'sample.qdp');
const sampleReport = fs.readFileSync(path.join(source, 'examples', 'sample.txt'));

function lap(name, player, patches = []) {
  const file = path.join(scratch, name);
  const made = spawnSync(path.join(native, 'tools', 'make_hotlap'), [file, '4096', player],
                         { env: { PATH: process.env.PATH, LC_ALL: 'C' } });
  assert.equal(made.status, 0, `make_hotlap ${name}`);
  const bytes = fs.readFileSync(file);
  for (const [offset, patch] of patches) {
    bytes.set(patch, offset);
  }
  fs.writeFileSync(file, bytes);
  return file;
}

// Root (as CI runs) needs --no-sandbox; the rest keeps Chromium off the network.
const browser = await puppeteer.launch({
  executablePath: chromium,
  headless: true,
  userDataDir: path.join(scratch, 'profile'),
  env: { ...process.env, LANG: 'en_US.UTF-8', LANGUAGE: 'en_US', TZ: 'UTC' },
  args: ['--no-sandbox', '--headless', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync',
         '--lang=en-US'],
});
const problems = [];
try {
  const page = await browser.newPage();
  const url = pathToFileURL(path.resolve(pageFile)).href;
  page.on('request', (request) => {
    if (request.url() !== url && !request.url().startsWith('blob:')) {
      problems.push(`request ${request.url()}`);
    }
  });
  page.on('dialog', async (dialog) => {
    problems.push(`dialog ${dialog.message()}`);
    await dialog.dismiss();
  });
  page.on('pageerror', (error) => problems.push(`error ${error.message}`));
  page.on('console', (message) => {
    if (message.type() === 'error') {
      problems.push(`console ${message.text()}`);
    }
  });
  const cdp = await page.createCDPSession();
  await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
  await page.goto(url);
  const text = (id) => page.$eval(id, (element) => element.textContent);
  const input = await page.$('#file');
  // Picks a file, and waits for a report that is not the one on screen.
  async function pick(file) {
    const before = await text('#report');
    await input.uploadFile(file);
    await page.waitForFunction((old) => {
      const shown = document.querySelector('#report').textContent;
      return shown !== old && (shown !== '' || document.querySelector('#message').textContent !== '');
    }, {}, before);
  }

  // The example, and the time from its selection to its report on screen.
  assert.equal(await page.$eval('#code-page', (select) => select.value), 'windows-1252');
  await page.evaluate(() => {
    window.addEventListener('change', () => { window.picked = performance.now(); }, true);
    new MutationObserver(() => { window.shown = performance.now(); })
      .observe(document.querySelector('#report'), { childList: true });
  });
  await pick(sample);
  const milliseconds = await page.evaluate(() => window.shown - window.picked);
  assert.equal(await text('#name'), 'sample.qdp');
  assert.equal(await text('#report'), sampleReport.toString('latin1').replace(/\0/g, ''));

  // Saved: the exact bytes the console tool writes to a file.
  await page.click('#save');
  const saved = path.join(downloads, 'sample.txt');
  for (let waited = 0; !fs.existsSync(saved) && waited < 100; ++waited) {
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  assert.deepEqual(fs.readFileSync(saved), sampleReport);

  // Drops a file of that name holding the bytes of `file`.
  async function drop(name, file) {
    await page.evaluate((fileName, content) => {
      const transfer = new DataTransfer();
      transfer.items.add(new File([new Uint8Array(content)], fileName));
      document.querySelector('#drop').dispatchEvent(
        new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
    }, name, [...fs.readFileSync(file)]);
  }

  // Markup in a dropped lap's name is text; the policy runs no other script.
  for (const name of ['<img src=x onerror=alert(1)>', '</pre><script>alert(2)</script>']) {
    await drop('crafted.qdp', lap('crafted.qdp', name));
    await page.waitForFunction((shown) => document.querySelector('#report').textContent
      .includes(`Player: ${shown}`), {}, name);
    assert.equal(await page.$$eval('#report *', (elements) => elements.length), 0, name);
  }
  await page.addScriptTag({ content: 'window.injected = true;' }).catch(() => {});
  assert.equal(await page.evaluate(() => window.injected), undefined, 'an inline script ran');
  assert.match(problems.pop() || '', /Content Security Policy/);

  // A name as each code page reads it; C1 controls and bidirectional
  // controls by their code.
  await pick(lap('pawel.qdp', 'Pawe\\xb3 \\x81 \\xe2\\x80\\xae!'));
  for (const [codePage, shown] of [['windows-1252', 'Player: Pawe\u00b3 <U+0081> '],
                                   ['windows-1250', 'Player: Pawe\u0142 <U+0081> '],
                                   ['utf-8', 'Player: Pawe\ufffd \ufffd <U+202E>!\n']]) {
    await page.select('#code-page', codePage);
    assert.ok((await text('#report')).includes(shown), `${codePage}: ${await text('#report')}`);
  }
  await page.select('#code-page', 'windows-1252');
  await pick(lap('utf8.qdp', 'J\\xc3\\xb6rg \\xc3\\x89mile \\xe3\\x83\\xa9\\xe3\\x83\\x83\\xe3\\x83\\x97'));
  assert.ok((await text('#report')).includes('Player: J\u00f6rg \u00c9mile \u30e9\u30c3\u30d7\n'));

  // A file's name that would read "Pilotpdq.exe", and be saved as one that
  // reads "Pilottxt.exe".
  await drop('Pilot\u202eexe.qdp', sample);
  await page.waitForFunction(() => document.querySelector('#report').textContent.includes('Jorg Pilot'));
  assert.equal(await text('#name'), 'Pilot<U+202E>exe.qdp');
  await page.click('#save');
  let savedNames = [];
  for (let waited = 0; !savedNames.some((name) => name.endsWith('.txt')) && waited < 100; ++waited) {
    await new Promise((resolve) => setTimeout(resolve, 50));
    savedNames = fs.readdirSync(downloads).filter((name) => name.startsWith('Pilot'));
  }
  assert.match(savedNames.join('/'), /^Pilot.U\+202E.exe\.txt$/);

  // The rows that end otherwise: wheels on one axle (status 1 in the
  // console tool), a sparse file of 3 GiB, a folder.
  const rear = [0, 0, 0x80, 0xbf];
  await pick(lap('axle.qdp', 'Jorg Pilot', [0, 1, 2, 3].map((w) => [512 + 128 * w + 4, rear])));
  assert.ok((await text('#report')).endsWith("Error: can't figure out what tires are front/rear :-)\n"));
  assert.match(await text('#status-note'), /exit status 1/);
  const sparse = lap('sparse.qdp', 'Jorg Pilot');
  fs.truncateSync(sparse, 3 * 2 ** 30);
  await pick(sparse);
  assert.ok((await text('#report')).endsWith('File size: 3221225472 bytesFile Error/Not A Hotlap!'));
  assert.equal(await text('#status-note'), '');
  await pick(downloads);
  assert.match(await text('#message'), /cannot be read/);
  assert.equal(await text('#report'), '');
  await pick(sample);
  assert.equal(await text('#message'), '');

  assert.deepEqual(problems, []);
  console.log(`page ${fs.statSync(pageFile).size} bytes; example reported ${milliseconds.toFixed(1)} ms after its selection`);
} finally {
  await browser.close();
}
