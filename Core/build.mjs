// Bundles the editor page into OUTDIR: node build.mjs OUTDIR
import { build } from 'esbuild';
import { copyFile, mkdir } from 'node:fs/promises';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const outdir = process.argv[2];
if (!outdir) {
    console.error('usage: node build.mjs OUTDIR');
    process.exit(2);
}
await mkdir(outdir, { recursive: true });
await build({
    entryPoints: [join(here, 'src/editor.js')],
    outfile: join(outdir, 'editor.js'),
    bundle: true,
    format: 'iife',
    minify: true,
    // QtWebEngine 6.4 is Chromium 102.
    target: 'chrome102',
    legalComments: 'none',
    logLevel: 'warning',
});
for (const page of ['index.html', 'index-dark.html', 'editor.css'])
    await copyFile(join(here, page), join(outdir, page));
