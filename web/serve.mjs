// A small static server for the built page, on this machine only:
//   node web/serve.mjs DIR [PORT]     (PORT 0: any free port)
// prints the address and serves DIR until stopped. The browser tests
// import serve() to serve the page on a free port of their own.

import { createReadStream, statSync } from 'node:fs';
import { createServer } from 'node:http';
import { extname, join, normalize, resolve, sep } from 'node:path';
import { fileURLToPath } from 'node:url';

const types = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8', '.json': 'application/json', '.map': 'application/json',
  '.wasm': 'application/wasm', '.urdf': 'application/xml', '.xml': 'application/xml',
  '.yaml': 'text/yaml; charset=utf-8', '.png': 'image/png', '.stl': 'model/stl',
};

/** Serves dir on 127.0.0.1:port; resolves to the server once it listens. */
export function serve(dir, port = 0) {
  const root = resolve(dir);
  const server = createServer((request, response) => {
    let path;
    try {
      path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    } catch {
      response.writeHead(400, { 'Content-Type': 'text/plain' }).end('bad request\n');
      return;
    }
    let file = normalize(join(root, path));
    if (file !== root && !file.startsWith(root + sep)) {
      response.writeHead(403).end();
      return;
    }
    try {
      if (statSync(file).isDirectory()) file = join(file, 'index.html');
      const size = statSync(file).size;
      response.writeHead(200, { 'Content-Type': types[extname(file)] ?? 'application/octet-stream', 'Content-Length': size });
      createReadStream(file).on('error', () => response.destroy()).pipe(response);
    } catch {
      response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found\n');
    }
  });
  return new Promise((done, fail) => {
    server.once('error', fail);
    server.listen(port, '127.0.0.1', () => done(server));
  });
}

if (process.argv[1] && resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  const [dir, port = '8000'] = process.argv.slice(2);
  if (!dir) {
    console.error('usage: node web/serve.mjs DIR [PORT]');
    process.exit(2);
  }
  const server = await serve(dir, Number(port));
  console.log(`armkin page: http://127.0.0.1:${server.address().port}/  (Ctrl-C stops it)`);
}
