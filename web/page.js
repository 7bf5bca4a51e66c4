// The page: takes a lap, has the core report on it, shows the report as the
// core shows it, names in the letters chosen, and saves its exact bytes; or
// takes several and shows the core's comparison of them as a table.
'use strict';
(() => {
  const $ = (id) => document.getElementById(id);

  // The code page Windows gives each language it knows as its ANSI code
  // page; 1252 for the rest.
  const codePageOfLanguage = {
    th: 874, ja: 932, zh: 936, ko: 949,
    pl: 1250, cs: 1250, sk: 1250, hu: 1250, sl: 1250, hr: 1250, ro: 1250, sq: 1250, bs: 1250,
    tk: 1250, ru: 1251, uk: 1251, be: 1251, bg: 1251, mk: 1251, sr: 1251, kk: 1251, ky: 1251,
    tt: 1251, mn: 1251, tg: 1251, ba: 1251, sah: 1251, el: 1253, tr: 1254, az: 1254, uz: 1254,
    he: 1255, yi: 1255, ar: 1256, fa: 1256, prs: 1256, ur: 1256, ug: 1256, ckb: 1256, sd: 1256,
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
    // A language written in either script: Serbian in Latin letters,
    // Azerbaijani, Bosnian and Uzbek in Cyrillic ones.
    if (primary === 'sr' && subtags.includes('latn')) {
      return 1250;
    }
    if (subtags.includes('cyrl')) {
      return 1251;
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
  // The laps shown, one or side by side, each as { name, length, head }, its
  // head null where the file could not be read; the reference chosen (-1:
  // the first whole report); the comparison once shown: { module, table }.
  let laps = [];
  let reference = -1;
  let comparison = null;

  // The report as the core shows it in the chosen code page: asked again
  // when the choice changes.
  function show() {
    $('report').textContent = !current ? '' : new TextDecoder().decode(current.head
      ? runCore(current.module, current.head, current.length, select.value).bytes : current.saved);
  }

  // The newest lap chosen or dropped; an older one whose read ends later
  // shows nothing.
  let choice = 0;
  function choose(name) {
    choice += 1;
    current = null;
    $('name').textContent = name;
    for (const id of ['message', 'meaning', 'outcome']) {
      $(id).textContent = '';
    }
    $('save').disabled = true;
    $('copy').disabled = true;
    show();
    laps = [];
    reference = -1;
    comparison = null;
    for (const id of ['compare', 'save-csv']) {
      $(id).disabled = true;
    }
    $('compared').hidden = true;
    $('lap').hidden = false;
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

  // The core, once the newest choice is still `mine`: null where the
  // browser refuses its WebAssembly, which the page then says.
  async function coreFor(mine) {
    const module = await core;
    if (mine === choice && !module) {
      conclude('This page cannot run in this browser, which refuses the WebAssembly the report is made ' +
               'with. Open it in a current Firefox, Chrome, Edge or Safari, or use the console tool ' +
               '(zvk-setup-dumper).');
    }
    return mine === choice ? module : null;
  }

  // A lap's name, length and the bytes the report reads, or null for those
  // where it cannot be read. A file needed whole is read whole, not as a
  // slice: a folder that the browser hands over as an empty file then fails
  // as it should.
  async function readLap(module, file, folder = false) {
    const wanted = Math.min(file.size, module._zvk_bytes_needed());
    const head = folder ? null : await (wanted < file.size ? file.slice(0, wanted) : file).arrayBuffer()
      .then((bytes) => new Uint8Array(bytes), () => null);
    return { name: file.name, length: file.size, head: head !== null && head.length === wanted ? head : null };
  }

  async function report(file, folder = false) {
    const mine = choose('');
    const module = await coreFor(mine);
    if (!module) {
      return;
    }
    const name = shownName(module, file.name);
    $('name').textContent = name;
    const lap = await readLap(module, file, folder);
    if (mine !== choice) {
      return;
    }
    const { head } = lap;
    const read = head !== null;
    const saved = read ? runCore(module, head, file.size) : cannotOpen(module);
    current = { module, head, length: file.size, name, saved: saved.bytes };
    laps = [lap];
    $('save').disabled = !read;
    $('copy').disabled = false;
    $('compare').disabled = false;
    $('report').classList.toggle('failure', saved.ending !== 'done');
    show();
    conclude(meanings[saved.ending](saved.status));
  }

  // Hands the laps to the core afresh: each one's name and leading bytes,
  // copied in just before it is added (the input is the report's too).
  function addLaps(module) {
    handIn(module, new TextEncoder().encode(select.value), module._zvk_code_page_input);
    module._zvk_compare_clear();
    for (const { name, length, head } of laps) {
      handIn(module, new TextEncoder().encode(name), module._zvk_name_input);
      if (head) {
        handIn(module, head, module._zvk_input);
        module._zvk_compare_add(length);
      } else {
        module._zvk_compare_add_unread();
      }
    }
  }

  // The comparison against the reference, as a table of text: a column per
  // lap headed by its name and a button that makes it the reference, a
  // failing lap's message, then a group of rows per heading of the report.
  // A cell that differs is in bold with a bar, and says so to a screen reader.
  function tabulate(module) {
    const table = JSON.parse(module.UTF8ToString(module._zvk_comparison(reference)));
    comparison = { module, table };
    const element = (tag, text = '', properties = {}) =>
      Object.assign(document.createElement(tag), { textContent: text }, properties);
    const row = (...cells) => {
      const line = document.createElement('tr');
      line.append(...cells);
      return line;
    };
    const group = (...rows) => {
      const body = document.createElement('tbody');
      body.append(...rows);
      return body;
    };
    const head = document.createElement('thead');
    head.append(row(element('th', 'Line', { scope: 'col' }), ...table.laps.map((lap, i) => {
      const name = element('span', lap.name, { id: `lap-${i}` });
      const button = element('button', 'Reference', { type: 'button', value: i });
      button.setAttribute('aria-pressed', i === table.reference);
      button.setAttribute('aria-describedby', name.id);
      const header = element('th', '', { scope: 'col' });
      header.append(name, button);
      return header;
    })));
    const groups = table.sections.map(({ heading, rows }) => {
      const title = element('th', '', { scope: 'rowgroup', colSpan: table.laps.length + 1 });
      title.append(element('span', heading));
      return group(row(title), ...rows.map(({ label, cells }) => row(element('th', label, { scope: 'row' }),
        ...cells.map(({ text, differs, note }) => {
          const cell = element('td', text, { className: differs ? 'differs' : '' });
          if (differs) {
            cell.append(element('span', ` ${note}`, { className: 'unseen' }));
          }
          return cell;
        }))));
    });
    if (table.laps.some((lap) => lap.message)) {
      groups.unshift(group(row(element('th', 'Message', { scope: 'row' }),
        ...table.laps.map((lap) => element('td', lap.message, { className: 'failure' })))));
    }
    const caption = $('comparison').caption;
    $('comparison').replaceChildren(caption, head, ...groups);
    $('notice').textContent = table.notice;
  }

  // Several laps side by side: those given after those already shown,
  // against the reference chosen among them.
  async function compare(files, folders = [], before = [], kept = -1) {
    const mine = choose(`${before.length + files.length} laps`);
    const module = await coreFor(mine);
    const read = module && await Promise.all(files.map((file, i) => readLap(module, file, folders[i])));
    if (!read || mine !== choice) {
      return;
    }
    laps = [...before, ...read];
    reference = kept;
    addLaps(module);
    tabulate(module);
    $('lap').hidden = true;
    $('compared').hidden = false;
    $('compare').disabled = false;
    $('save-csv').disabled = false;
    const { table } = comparison;
    $('outcome').textContent = `${table.laps.length} laps side by side, against ` +
      `${table.laps[table.reference].name}. ${table.notice}`.trim();
    $('compared').scrollIntoView({ block: 'nearest' });
  }

  // One lap is reported; several are compared.
  function take(files, folders = []) {
    if (files.length > 1) {
      compare(files, folders);
    } else if (files.length === 1) {
      report(files[0], folders[0]);
    }
  }

  $('choose').addEventListener('click', () => $('file').click());
  $('file').addEventListener('change', (event) => {
    const files = [...event.target.files];
    event.target.value = '';
    take(files);
  });
  $('compare').addEventListener('click', () => $('more').click());
  $('more').addEventListener('change', (event) => {
    const files = [...event.target.files];
    event.target.value = '';
    if (files.length > 0) {
      compare(files, [], laps, reference);
    }
  });
  // Another reference: the same laps, compared again, the focus kept.
  $('comparison').addEventListener('click', (event) => {
    const button = event.target.closest('button');
    if (button && comparison) {
      reference = Number(button.value);
      tabulate(comparison.module);
      $('comparison').tHead.querySelectorAll('button')[reference].focus();
    }
  });
  // Names read in other letters: the laps handed over again.
  select.addEventListener('change', () => {
    if (comparison) {
      addLaps(comparison.module);
      tabulate(comparison.module);
    }
  });
  select.addEventListener('change', () => {
    $('message').textContent = ''; // said of the text shown before
    show();
  });

  // Dropped anywhere: one lap reported, or several compared. The browser
  // must not open a file dropped beside the zone.
  const drop = $('drop');
  window.addEventListener('dragover', (event) => {
    event.preventDefault();
    drop.classList.add('over');
  });
  window.addEventListener('dragleave', () => drop.classList.remove('over'));
  window.addEventListener('drop', (event) => {
    event.preventDefault();
    drop.classList.remove('over');
    const folders = [...(event.dataTransfer.items || [])].filter((item) => item.kind === 'file').map((item) => {
      const entry = item.webkitGetAsEntry ? item.webkitGetAsEntry() : null;
      return Boolean(entry && entry.isDirectory);
    });
    take([...event.dataTransfer.files], folders);
  });

  function saveAs(blob, name) {
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = name;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  }
  $('save').addEventListener('click', () => saveAs(new Blob([current.saved], { type: 'application/octet-stream' }),
                                                   `${current.name.replace(/\.qdp$/i, '')}.txt`));
  $('save-csv').addEventListener('click', () => saveAs(new Blob([comparison.table.csv], { type: 'text/csv' }),
                                                       comparison.table.csvName));
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
