// The page: takes a lap, has the core report on it, shows the report as the
// core shows it, names read in the chosen code page, and saves its exact
// bytes.
'use strict';
(() => {
  const $ = (id) => document.getElementById(id);

  // The code pages Windows gives the languages it knows; 1252 for the rest.
  const codePageOfLanguage = {
    pl: 1250, cs: 1250, sk: 1250, hu: 1250, sl: 1250, hr: 1250, ro: 1250, sq: 1250, bs: 1250,
    ru: 1251, uk: 1251, be: 1251, bg: 1251, mk: 1251, sr: 1251, kk: 1251, ky: 1251, tt: 1251,
    mn: 1251, el: 1253, tr: 1254, az: 1254, he: 1255, yi: 1255, ar: 1256, fa: 1256, ur: 1256,
    et: 1257, lv: 1257, lt: 1257, vi: 1258,
  };
  const codePageNames = {
    1250: 'Central European', 1251: 'Cyrillic', 1252: 'Western', 1253: 'Greek', 1254: 'Turkish',
    1255: 'Hebrew', 1256: 'Arabic', 1257: 'Baltic', 1258: 'Vietnamese',
  };
  function defaultCodePage() {
    const language = ((navigator.languages && navigator.languages[0]) || navigator.language || '')
      .toLowerCase();
    const primary = language.split('-')[0];
    if (primary === 'sr' && language.includes('latn')) {
      return 'windows-1250';
    }
    return `windows-${codePageOfLanguage[primary] || 1252}`;
  }
  const select = $('code-page');
  for (const number of Object.keys(codePageNames)) {
    select.add(new Option(`Windows ${number} (${codePageNames[number]})`, `windows-${number}`));
  }
  select.add(new Option('UTF-8', 'utf-8'));
  select.value = defaultCodePage();

  const coreModule = Uint8Array.from(atob(zvkCoreModule), (c) => c.charCodeAt(0));
  const core = createZvkCore({ wasmBinary: coreModule });

  // Copies `bytes` into the room the core makes for them.
  function handIn(module, bytes, room) {
    const at = room(bytes.length);
    module.HEAPU8.set(bytes, at);
  }

  // The report on the first bytes of a file `length` bytes long: its exact
  // bytes, or, given a code page, the text to show in UTF-8, names not in
  // UTF-8 read in that code page; and how it ended, as the console tool's
  // exit status and the ending's name (web_entry.cpp).
  function runCore(module, head, length, codePage) {
    handIn(module, head, module._zvk_input);
    if (codePage) {
      handIn(module, new TextEncoder().encode(codePage), module._zvk_code_page_input);
    }
    const status = module._zvk_report(length, Boolean(codePage));
    const text = module._zvk_report_text();
    return { status, ending: module.UTF8ToString(module._zvk_ending()),
             bytes: module.HEAPU8.slice(text, text + module._zvk_report_size()) };
  }

  // A file's name as the core shows it: its controls, and the characters
  // that would reorder it, by their code ("Pilot<U+202E>exe.qdp").
  function shownName(module, name) {
    handIn(module, new TextEncoder().encode(name), module._zvk_name_input);
    return module.UTF8ToString(module._zvk_shown_name());
  }

  let current = null; // { module, head, length, name, saved }

  // The report as the core shows it in the chosen code page: asked again
  // when the choice changes.
  function show() {
    $('report').textContent = current ? new TextDecoder().decode(
      runCore(current.module, current.head, current.length, select.value).bytes) : '';
  }

  function clear(name, message) {
    current = null;
    $('name').textContent = name;
    $('message').textContent = message;
    $('status-note').textContent = '';
    $('save').disabled = true;
    $('copy').disabled = true;
    show();
  }

  async function report(file) {
    const module = await core;
    const name = shownName(module, file.name);
    clear(name, '');
    const wanted = Math.min(file.size, module._zvk_bytes_needed());
    let head = null;
    try {
      head = new Uint8Array(await file.slice(0, wanted).arrayBuffer());
    } catch (error) {
      head = null;
    }
    if (!head || head.length !== wanted) {
      clear(name, 'This file cannot be read: it may be a folder, or it was moved, ' +
                  'or it may not be read. Choose another lap.');
      return;
    }
    const saved = runCore(module, head, file.size);
    current = { module, head, length: file.size, name, saved: saved.bytes };
    if (saved.ending === 'front_rear_undecidable') {
      $('status-note').textContent = `The console tool ends with exit status ${saved.status} ` +
        'here: it cannot tell the front wheels from the rear.';
    }
    $('save').disabled = false;
    $('copy').disabled = false;
    show();
  }

  $('choose').addEventListener('click', () => $('file').click());
  $('file').addEventListener('change', (event) => {
    const [file] = event.target.files;
    event.target.value = '';
    if (file) {
      report(file);
    }
  });
  select.addEventListener('change', show);

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
    if (entry && entry.isDirectory) {
      core.then((module) => clear(file ? shownName(module, file.name) : '',
                                  'A folder cannot be read: drop a lap file.'));
    } else if (file) {
      report(file);
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
