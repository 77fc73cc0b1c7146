// Bundles the page into one folder that any static server can serve:
//   node web/build.mjs WASM_DIR OUT_DIR
// WASM_DIR holds armkin_page.mjs and armkin_page.wasm (cmake --build --preset
// wasm: build/wasm/web); OUT_DIR gets index.html, style.css, app.js, the
// .wasm beside it and the example arms under arms/ with their index.json.

import { build } from 'esbuild';
import { copyFileSync, mkdirSync, readdirSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const [wasmDir, outDir] = process.argv.slice(2).map((p) => resolve(p));
if (!wasmDir || !outDir) {
  console.error('usage: node web/build.mjs WASM_DIR OUT_DIR');
  process.exit(2);
}
mkdirSync(join(outDir, 'arms'), { recursive: true });
await build({
  entryPoints: [join(here, 'src/main.js')],
  bundle: true,
  format: 'esm',
  minify: true,
  target: 'es2022',
  alias: { 'armkin-wasm': join(wasmDir, 'armkin_page.mjs') },
  outfile: join(outDir, 'app.js'),
  logLevel: 'warning',
});
copyFileSync(join(wasmDir, 'armkin_page.wasm'), join(outDir, 'armkin_page.wasm'));
for (const file of ['index.html', 'style.css']) copyFileSync(join(here, file), join(outDir, file));
const arms = readdirSync(join(here, '../arms')).filter((f) => /\.(urdf|yaml)$/.test(f)).sort();
for (const file of arms) copyFileSync(join(here, '../arms', file), join(outDir, 'arms', file));
writeFileSync(join(outDir, 'arms/index.json'), `${JSON.stringify(arms)}\n`);
