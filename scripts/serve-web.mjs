// A static file server for the built page (scripts/web.sh and the web tests): plain files with
// their types, nothing else. Usage: node scripts/serve-web.mjs DIR [PORT] [HOST]
import { createServer } from 'node:http';
import { createReadStream, statSync } from 'node:fs';
import { extname, join, normalize, resolve, sep } from 'node:path';
import { pathToFileURL } from 'node:url';

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
  '.wav': 'audio/wav',
  '.json': 'application/json',
};

export function serve(dir, port = 8000, host = '127.0.0.1') {
  const root = resolve(dir);
  const server = createServer((request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    let file = normalize(join(root, path));
    if (file !== root && !file.startsWith(root + sep)) {
      response.writeHead(403).end();
      return;
    }
    try {
      if (statSync(file).isDirectory()) file = join(file, 'index.html');
      const size = statSync(file).size;
      response.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream', 'Content-Length': size, 'Cache-Control': 'no-cache' });
      if (request.method === 'HEAD') response.end();
      else createReadStream(file).pipe(response);
    } catch {
      response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
    }
  });
  return new Promise((resolvePromise, reject) => {
    server.once('error', reject);
    server.listen(port, host, () => resolvePromise(server));
  });
}

if (import.meta.url === pathToFileURL(process.argv[1]).href) {
  const [dir, port = '8000', host = '127.0.0.1'] = process.argv.slice(2);
  if (!dir) {
    console.error('usage: node scripts/serve-web.mjs DIR [PORT] [HOST]');
    process.exit(2);
  }
  const server = await serve(dir, Number(port), host);
  const { port: actual } = server.address();
  console.log(`Pelorvane in your browser: http://localhost:${actual}/  (Ctrl+C stops the server)`);
}
