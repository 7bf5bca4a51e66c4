// The browser engines the page is tested in, each behind the same few calls
// so that one set of scenarios runs in all of them. Each runs headless on the
// system's own browser (none is downloaded) and opens pages from disk.
//
//   engine.missing()  why the engine cannot run here, or '' when it can
//   engine.launch({ language, scheme, device, downloads, profile, locales, modules })
//     a browser whose language (a BCP 47 tag with its region, e.g. pl-PL) and
//     colour scheme ('light' or 'dark') are as a user would have set them, on
//     a 'desktop' or a 'phone' (whose touch screen the engine emulates where
//     it can, once resize() has set its size); with its profile, downloads
//     and compiled locales in the folders given and its npm packages in
//     `modules`; answers a session:
//   session.open(url)              loads a page
//   session.run(fn, ...args)       runs fn in the page, answers its (awaited) value
//   session.choose(selector, files) gives a file, or several (an array), to a file
//                                  input, as the chooser does
//   session.click(selector)        clicks as a user does
//   session.press(key)             presses a key ('Tab') as a user does
//   session.problems               the page's requests, errors and dialogs, as the
//                                  engine reports them
//   session.downloaded(name)       the bytes saved under that name, or null
//                                  where the engine saves no download headless
//   session.choosesFolders         whether choose() hands a folder over (as one
//                                  whose read fails), not refusing it
//   session.pointer                what the page is given to point with: 'mouse',
//                                  'touch' or 'none'
//   session.resize(width, height)  makes the page's viewport that size in CSS
//                                  pixels, or as near as the engine's window goes
//   session.close()
import { execFileSync, spawn } from 'node:child_process';
import * as fs from 'node:fs';
import * as http from 'node:http';
import { createRequire } from 'node:module';
import * as net from 'node:net';
import * as os from 'node:os';
import * as path from 'node:path';

function onPath(...names) {
  for (const name of names) {
    for (const folder of (process.env.PATH || '').split(path.delimiter)) {
      const file = path.join(folder, name);
      try {
        fs.accessSync(file, fs.constants.X_OK);
        return file;
      } catch {
        // not in this folder
      }
    }
  }
  return '';
}

const sleep = (milliseconds) => new Promise((resolve) => setTimeout(resolve, milliseconds));
// What every engine's process is given of the environment; each sets its
// language itself.
const baseEnvironment = { PATH: process.env.PATH, HOME: os.homedir(), TZ: 'UTC' };

// Chromium and Firefox: puppeteer-core, over CDP and WebDriver BiDi.
function puppeteerSession(browser, page, downloads, { choosesFolders, pointer }) {
  const problems = [];
  let url = '';
  page.on('request', (request) => {
    if (request.url() !== url && !/^(blob|data):/.test(request.url())) {
      problems.push(`request ${request.url()}`);
    }
  });
  page.on('pageerror', (error) => problems.push(`error ${error.message}`));
  page.on('dialog', async (dialog) => {
    problems.push(`dialog ${dialog.message()}`);
    await dialog.dismiss();
  });
  return {
    problems,
    choosesFolders,
    async open(address) {
      url = address;
      await page.goto(address);
    },
    run: (fn, ...args) => page.evaluate(fn, ...args),
    async choose(selector, files) {
      await (await page.$(selector)).uploadFile(...[files].flat());
    },
    click: (selector) => page.click(selector),
    press: (key) => page.keyboard.press(key),
    pointer,
    resize: (width, height) => page.setViewport({ width, height, isMobile: pointer === 'touch',
                                                   hasTouch: pointer === 'touch' }),
    // Each writes a download under a temporary name (Firefox .part, Chromium
    // .crdownload) beside an empty file of its own name, then renames it:
    // done when no temporary file is left.
    async downloaded(name) {
      const file = path.join(downloads, name);
      for (let waited = 0; waited < 200; ++waited) {
        const names = fs.readdirSync(downloads);
        if (names.includes(name) && !names.some((other) => /\.(part|crdownload)$/.test(other))) {
          return fs.readFileSync(file);
        }
        await sleep(25);
      }
      throw new Error(`no download ${name} in ${downloads}`);
    },
    close: () => browser.close(),
  };
}

function loadPuppeteer(modules) {
  return createRequire(path.join(modules, 'loader.js'))('puppeteer-core');
}

// A browser found on the PATH by any of its names.
function browserOnPath(debianPackage, ...names) {
  return {
    executable: () => onPath(...names),
    missing() {
      return this.executable() ? '' : `no ${names[0]} (Debian: ${debianPackage})`;
    },
  };
}

const chromium = {
  ...browserOnPath('chromium', 'chromium', 'chromium-browser'),
  async launch({ language, scheme, device, downloads, modules, profile }) {
    const browser = await loadPuppeteer(modules).launch({
      executablePath: this.executable(),
      headless: true,
      userDataDir: profile,
      env: { ...baseEnvironment, LANG: 'C.UTF-8' },
      // Root needs --no-sandbox; the rest keeps Chromium's own traffic off.
      args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
             '--disable-component-update', '--disable-sync', `--lang=${language}`,
             `--accept-lang=${language}`],
    });
    const page = await browser.newPage();
    await page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
    const cdp = await page.createCDPSession();
    await cdp.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    // Headless, it has no mouse; a phone's touch screen it emulates.
    return puppeteerSession(browser, page, downloads,
                            { choosesFolders: true, pointer: device === 'phone' ? 'touch' : 'none' });
  },
};

const firefox = {
  ...browserOnPath('firefox-esr', 'firefox-esr', 'firefox'),
  async launch({ language, scheme, device, downloads, modules, profile }) {
    // What it points with: a touch screen (coarse), or a mouse (fine, hover).
    const pointing = device === 'phone' ? 1 : 2 | 4;
    const browser = await loadPuppeteer(modules).launch({
      browser: 'firefox',
      executablePath: this.executable(),
      headless: true,
      userDataDir: profile,
      env: { ...baseEnvironment, LANG: 'C.UTF-8' },
      extraPrefsFirefox: {
        'intl.accept_languages': language,
        'layout.css.prefers-color-scheme.content-override': scheme === 'dark' ? 0 : 1,
        'browser.download.folderList': 2,
        'browser.download.dir': downloads,
        'browser.download.useDownloadDir': true,
        'browser.download.always_ask_before_handling_new_types': false,
        'ui.primaryPointerCapabilities': pointing,
        'ui.allPointerCapabilities': pointing,
      },
    });
    const page = (await browser.pages())[0] || (await browser.newPage());
    return puppeteerSession(browser, page, downloads, {
      choosesFolders: false, // BiDi's input.setFiles refuses folders
      pointer: device === 'phone' ? 'touch' : 'mouse',
    });
  },
};

// WebKitGTK: its WebDriver (WebKitWebDriver, which starts the MiniBrowser)
// through selenium-webdriver, on an X server of its own. It reports no
// requests, so the session sends them all to a proxy that logs and refuses
// them. It takes its language from the locale, so each is compiled once
// into `locales`; its colour scheme from the GTK theme. It points with the X
// server's mouse, and its window is no narrower than its toolbar.
const webkit = {
  missing() {
    const needed = [['WebKitWebDriver', 'webkit2gtk-driver'], ['Xvfb', 'xvfb'], ['localedef', 'locales']];
    const lacking = needed.filter(([command]) => !onPath(command)).map(([, name]) => name);
    if (!fs.existsSync('/usr/share/i18n/locales') && !lacking.includes('locales')) {
      lacking.push('locales');
    }
    return lacking.length ? `WebKit needs ${lacking.join(', ')} (Debian packages)` : '';
  },
  locale(language, locales) {
    const name = language.replace('-', '_');
    if (!fs.existsSync(path.join(locales, `${name}.UTF-8`))) {
      fs.mkdirSync(locales, { recursive: true });
      execFileSync('localedef', ['-i', name, '-f', 'UTF-8', path.join(locales, `${name}.UTF-8`)]);
    }
    return `${name}.UTF-8`;
  },
  async launch({ language, scheme, locales, modules }) {
    const { Builder, By, Key } = createRequire(path.join(modules, 'loader.js'))('selenium-webdriver');
    const problems = [];
    const proxy = http.createServer((request, response) => {
      problems.push(`request ${request.method} ${request.url}`);
      response.writeHead(403).end();
    });
    proxy.on('connect', (request, socket) => {
      problems.push(`request CONNECT ${request.url}`);
      socket.end('HTTP/1.1 403 Forbidden\r\n\r\n');
    });
    const children = [];
    const stop = () => {
      children.forEach((child) => child.kill());
      proxy.close();
      process.off('exit', stop);
    };
    process.on('exit', stop);
    try {
      // Xvfb takes the first free display and writes its number to fd 3;
      // what it says on the way is shown only if it fails.
      const xvfb = spawn('Xvfb', ['-displayfd', '3', '-nolisten', 'tcp', '-screen', '0', '1280x1024x24'],
                         { stdio: ['ignore', 'ignore', 'pipe', 'pipe'] });
      children.push(xvfb);
      let said = '';
      xvfb.stderr.on('data', (data) => { said += data; });
      const display = await new Promise((resolve, reject) => {
        xvfb.stdio[3].once('data', (data) => resolve(String(data).trim()));
        xvfb.once('exit', (status) => reject(new Error(`Xvfb ended with status ${status}: ${said}`)));
      });
      const freePort = () => new Promise((resolve) => {
        const probe = net.createServer().listen(0, '127.0.0.1', () => {
          const { port } = probe.address();
          probe.close(() => resolve(port));
        });
      });
      const port = await freePort();
      const environment = { ...baseEnvironment, DISPLAY: `:${display}`, LOCPATH: locales,
                            LC_ALL: this.locale(language, locales),
                            GTK_THEME: scheme === 'dark' ? 'Adwaita:dark' : 'Adwaita' };
      children.push(spawn('WebKitWebDriver', [`--port=${port}`], { env: environment, stdio: 'ignore' }));
      const server = `http://127.0.0.1:${port}`;
      const ready = () => new Promise((resolve) => {
        http.get(`${server}/status`, (response) => resolve(response.resume().statusCode === 200))
          .on('error', () => resolve(false));
      });
      for (let waited = 0; !(await ready()); ++waited) {
        if (waited === 200) {
          throw new Error('WebKitWebDriver did not start');
        }
        await sleep(25);
      }
      await new Promise((resolve) => proxy.listen(0, '127.0.0.1', resolve));
      const proxyAddress = `127.0.0.1:${proxy.address().port}`;
      const driver = await new Builder().usingServer(server).withCapabilities({
        browserName: 'MiniBrowser',
        'webkitgtk:browserOptions': { args: ['--automation'] },
        proxy: { proxyType: 'manual', httpProxy: proxyAddress, sslProxy: proxyAddress },
      }).build();
      return {
        problems,
        choosesFolders: true, // as an empty file, whose read fails
        pointer: 'mouse',
        async resize(width, height) {
          const [aside, above] = await driver.executeScript(() => [outerWidth - innerWidth,
                                                                   outerHeight - innerHeight]);
          await driver.manage().window().setRect({ width: width + aside, height: height + above });
        },
        open: (url) => driver.get(url),
        run: (fn, ...args) => driver.executeScript(fn, ...args),
        // Several files as WebDriver takes them: one per line.
        choose: async (selector, files) => (await driver.findElement(By.css(selector)))
          .sendKeys([files].flat().join('\n')),
        click: async (selector) => (await driver.findElement(By.css(selector))).click(),
        press: (key) => driver.actions().sendKeys(Key[key.toUpperCase()]).perform(),
        downloaded: async () => null, // the MiniBrowser asks where to save, which no one answers
        async close() {
          await driver.quit();
          stop();
        },
      };
    } catch (error) {
      stop();
      throw error;
    }
  },
};

export const engines = { chromium, firefox, webkit };
