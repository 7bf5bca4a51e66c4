// Makes the one-file page: the template with the core's loader, its
// WebAssembly module (base64) and the page's script in one inline script,
// and a Content-Security-Policy that allows only that script and the page's
// style, by their hashes, and nothing from anywhere.
//   node make_page.mjs page.html page.js zvk-core.js zvk-core.wasm VERSION OUTPUT
import { createHash } from 'node:crypto';
import { readFileSync, writeFileSync } from 'node:fs';

const [templateFile, pageScript, coreScript, coreModule, version, output] = process.argv.slice(2);
const hash = (text) => `'sha256-${createHash('sha256').update(text, 'utf8').digest('base64')}'`;

const script = [
  `const zvkCoreModule = "${readFileSync(coreModule).toString('base64')}";`,
  readFileSync(coreScript, 'utf8'),
  readFileSync(pageScript, 'utf8'),
].join('\n');
// An inline script ends at the first "</script", whatever the JavaScript means.
if (/<\/script|<!--/i.test(script)) {
  throw new Error('the page script holds "</script" or "<!--"');
}
let page = readFileSync(templateFile, 'utf8');
const style = page.match(/<style>([^]*?)<\/style>/)[1];
const policy = `default-src 'none'; script-src ${hash(script)} 'wasm-unsafe-eval'; ` +
               `style-src ${hash(style)}; img-src 'none'; form-action 'none'; base-uri 'none'`;
page = page.replace('@POLICY@', policy).replaceAll('@VERSION@', version);
const [before, after] = page.split('@SCRIPT@');
writeFileSync(output, before + script + after);
