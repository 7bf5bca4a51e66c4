// The page: takes a lap, has the core report on it, shows the report as the
// core shows it, names in the letters chosen, and saves its exact bytes.
'use strict';
(() => {
  const $ = (id) => document.getElementById(id);

  // The code page Windows gives each language it knows as its ANSI code
  // page; 1252 for the rest.
  const codePageOfLanguage = {
    th: 874, ja: 932, zh: 936, ko: 949,
    pl: 1250, cs: 1250, sk: 1250, hu: 1250, sl: 1250, hr: 1250, ro: 1250, sq: 1250, bs: 1250,
    ru: 1251, uk: 1251, be: 1251, bg: 1251, mk: 1251, sr: 1251, kk: 1251, ky: 1251, tt: 1251,
    mn: 1251, el: 1253, tr: 1254, az: 1254, he: 1255, yi: 1255, ar: 1256, fa: 1256, ur: 1256,
    et: 1257, lv: 1257, lt: 1257, vi: 1258,
  };
  // Every ANSI code page of Windows, by the name of the browser's decoder
  // for it (gbk and big5 as the browser has them, which differ from Windows'
  // 936 and 950 in a few rare characters).
  const codePages = {
    874: ['windows-874', 'Thai'], 932: ['shift_jis', 'Japanese'], 936: ['gbk', 'Simplified Chinese'],
    949: ['euc-kr', 'Korean'], 950: ['big5', 'Traditional Chinese'], 1250: ['windows-1250', 'Central European'],
    1251: ['windows-1251', 'Cyrillic'], 1252: ['windows-1252', 'Western'], 1253: ['windows-1253', 'Greek'],
    1254: ['windows-1254', 'Turkish'], 1255: ['windows-1255', 'Hebrew'], 1256: ['windows-1256', 'Arabic'],
    1257: ['windows-1257', 'Baltic'], 1258: ['windows-1258', 'Vietnamese'],
  };
  function defaultCodePage() {
    const language = ((navigator.languages && navigator.languages[0]) || navigator.language || '')
      .toLowerCase();
    const [primary, ...subtags] = language.split('-');
    if (primary === 'sr' && subtags.includes('latn')) {
      return 1250;
    }
    // Chinese in traditional characters: Taiwan, Hong Kong, Macao.
    if (primary === 'zh' && !subtags.includes('hans') &&
        subtags.some((subtag) => ['hant', 'tw', 'hk', 'mo'].includes(subtag))) {
      return 950;
    }
    return codePageOfLanguage[primary] || 1252;
  }
  const select = $('code-page');
  for (const [number, [decoder, name]] of Object.entries(codePages)) {
    select.add(new Option(`Windows ${number} (${name})`, decoder));
  }
  select.add(new Option('UTF-8', 'utf-8'));
  select.value = codePages[defaultCodePage()][0];

  const coreModule = Uint8Array.from(atob(zvkCoreModule), (c) => c.charCodeAt(0));
  // A browser that refuses to compile WebAssembly (as those before
  // 'wasm-unsafe-eval' do under the page's policy) answers null.
  const core = createZvkCore({ wasmBinary: coreModule }).catch(() => null);

  // Copies `bytes` into the room the core makes for them.
  function handIn(module, bytes, room) {
    const at = room(bytes.length);
    module.HEAPU8.set(bytes, at);
  }

  // The core's answer: the report's text, and how the run ended, as the
  // console tool's exit status and the ending's name (web_entry.cpp).
  function answer(module, status) {
    const text = module._zvk_report_text();
    return { status, ending: module.UTF8ToString(module._zvk_ending()),
             bytes: module.HEAPU8.slice(text, text + module._zvk_report_size()) };
  }

  // The report on the first bytes of a file `length` bytes long: its exact
  // bytes, or, given a code page, the text to show in UTF-8, names not in
  // UTF-8 read in that code page.
  function runCore(module, head, length, codePage) {
    handIn(module, head, module._zvk_input);
    if (codePage) {
      handIn(module, new TextEncoder().encode(codePage), module._zvk_code_page_input);
    }
    return answer(module, module._zvk_report(length, Boolean(codePage)));
  }

  // What the console tool prints for a file it cannot open or read.
  function cannotOpen(module) {
    return answer(module, module._zvk_report_unreadable());
  }

  // A file's name as the core shows it: its controls, and the characters
  // that would reorder it, by their code ("Pilot<U+202E>exe.qdp").
  function shownName(module, name) {
    handIn(module, new TextEncoder().encode(name), module._zvk_name_input);
    return module.UTF8ToString(module._zvk_shown_name());
  }

  // What each ending means, said plainly under the lines that show it.
  const meanings = {
    done: () => '',
    not_a_hotlap: () => 'This is not a ZVK hotlap file.',
    too_short: () => 'This file is too short for a hotlap: it ends before the car setup.',
    too_long: () => 'This file is too large for a hotlap: the tool refuses it unread.',
    not_loaded: () => 'This file could not be read: it was moved or deleted, is a folder, or may not be ' +
                      'read. Choose another lap.',
    front_rear_undecidable: (status) => 'The four wheels lie on one axle: the tool cannot tell the front ' +
      `from the rear, and the console tool ends with exit status ${status}.`,
  };

  // { module, head, length, name, saved }: the lap shown, its head null
  // where it could not be read.
  let current = null;

  // The report as the core shows it in the chosen code page: asked again
  // when the choice changes.
  function show() {
    $('report').textContent = !current ? '' : new TextDecoder().decode(current.head
      ? runCore(current.module, current.head, current.length, select.value).bytes : current.saved);
  }

  // The newest lap chosen or dropped; an older one whose read ends later
  // shows nothing.
  let choice = 0;
  function choose() {
    choice += 1;
    current = null;
    for (const id of ['name', 'message', 'meaning', 'outcome']) {
      $(id).textContent = '';
    }
    $('save').disabled = true;
    $('copy').disabled = true;
    show();
    return choice;
  }

  // The lap's outcome: what it means, under its lines, and in one line for
  // a screen reader to announce; all of it brought into view.
  function conclude(meaning) {
    $('meaning').textContent = meaning;
    const name = $('name').textContent;
    $('outcome').textContent = `${name ? `${name}: ` : ''}${meaning || 'the car setup is shown.'}`;
    $('lap').scrollIntoView({ block: 'nearest' });
  }

  async function report(file, folder = false) {
    const mine = choose();
    const module = await core;
    if (mine !== choice) {
      return;
    }
    if (!module) {
      conclude('This page cannot run in this browser, which refuses the WebAssembly the report is made ' +
               'with. Open it in a current Firefox, Chrome, Edge or Safari, or use the console tool ' +
               '(zvk-setup-dumper).');
      return;
    }
    const name = shownName(module, file.name);
    $('name').textContent = name;
    // A file needed whole is read whole, not as a slice: a folder that the
    // browser hands over as an empty file then fails as it should.
    const wanted = Math.min(file.size, module._zvk_bytes_needed());
    const head = folder ? null : await (wanted < file.size ? file.slice(0, wanted) : file).arrayBuffer()
      .then((bytes) => new Uint8Array(bytes), () => null);
    if (mine !== choice) {
      return;
    }
    const read = head !== null && head.length === wanted;
    const saved = read ? runCore(module, head, file.size) : cannotOpen(module);
    current = { module, head: read ? head : null, length: file.size, name, saved: saved.bytes };
    $('save').disabled = !read;
    $('copy').disabled = false;
    $('report').classList.toggle('failure', saved.ending !== 'done');
    show();
    conclude(meanings[saved.ending](saved.status));
  }

  $('choose').addEventListener('click', () => $('file').click());
  $('file').addEventListener('change', (event) => {
    const [file] = event.target.files;
    event.target.value = '';
    if (file) {
      report(file);
    }
  });
  select.addEventListener('change', () => {
    $('message').textContent = ''; // said of the text shown before
    show();
  });

  // Dropped anywhere: the first lap, as the console tool takes its first
  // argument. The browser must not open a file dropped beside the zone.
  const drop = $('drop');
  window.addEventListener('dragover', (event) => {
    event.preventDefault();
    drop.classList.add('over');
  });
  window.addEventListener('dragleave', () => drop.classList.remove('over'));
  window.addEventListener('drop', (event) => {
    event.preventDefault();
    drop.classList.remove('over');
    const item = event.dataTransfer.items && event.dataTransfer.items[0];
    const entry = item && item.webkitGetAsEntry ? item.webkitGetAsEntry() : null;
    const [file] = event.dataTransfer.files;
    if (file) {
      report(file, Boolean(entry && entry.isDirectory));
    }
  });

  $('save').addEventListener('click', () => {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([current.saved], { type: 'application/octet-stream' }));
    link.download = `${current.name.replace(/\.qdp$/i, '')}.txt`;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  });
  $('copy').addEventListener('click', async () => {
    try {
      await navigator.clipboard.writeText($('report').textContent);
      $('message').textContent = 'Copied.';
    } catch (error) {
      getSelection().selectAllChildren($('report'));
      $('message').textContent = 'Copying was refused: the report is selected, press Ctrl+C.';
    }
  });
})();
