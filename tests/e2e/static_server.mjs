// A plain static web server for the end-to-end tests, run as a user of its own:
// node static_server.mjs ROOT. Prints "port N" once it listens on 127.0.0.1.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';

const root = path.resolve(process.argv[2]);
const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
  '.mp4': 'video/mp4', '.jpg': 'image/jpeg', '.swf': 'application/x-shockwave-flash', '.flv': 'video/x-flv' };
const server = http.createServer((req, res) => {
  let file;
  try {
    file = path.join(root, decodeURIComponent(new URL(req.url, 'http://x').pathname));
  } catch {
    res.writeHead(400);
    return res.end();
  }
  if (!file.startsWith(root)) {
    res.writeHead(403);
    return res.end();
  }
  fs.readFile(file, (err, data) => {
    if (err) {
      res.writeHead(err.code === 'EACCES' ? 403 : 404);
      return res.end(err.code);
    }
    const type = types[path.extname(file)] || 'application/octet-stream';
    const range = /^bytes=(\d+)-(\d*)$/.exec(req.headers.range || '');
    if (range && Number(range[1]) < data.length) {
      const start = Number(range[1]);
      const end = range[2] ? Math.min(Number(range[2]), data.length - 1) : data.length - 1;
      res.writeHead(206, { 'content-type': type, 'accept-ranges': 'bytes', 'content-range': `bytes ${start}-${end}/${data.length}` });
      return res.end(data.subarray(start, end + 1));
    }
    res.writeHead(200, { 'content-type': type, 'accept-ranges': 'bytes' });
    res.end(data);
  });
});
server.listen(0, '127.0.0.1', () => console.log(`port ${server.address().port}`));
