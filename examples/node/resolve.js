// resolve.js: a Node.js host that calls Quenlark.dll through the koffi FFI.
//
//   node resolve.js SHARE_URL
//
// Loads the Quenlark.dll beside this file (of node's own width), prints the file's direct link
// and the address that link redirects to, one per line. Exit code 0 when both are non-empty.
'use strict';

const path = require('node:path');
const koffi = require('koffi');

const dll = koffi.load(path.join(__dirname, 'Quenlark.dll'));
// stdcall (the name is undecorated in both widths). The argument goes over as a Buffer of code
// page 936 bytes and the result comes back as a bare pointer: declared as text, koffi would
// read and write UTF-8.
const quenlark = {
  HttpGetUrl: dll.func('__stdcall', 'HttpGetUrl', 'void *', ['void *']),
  Quenlark_Location: dll.func('__stdcall', 'Quenlark_Location', 'void *', ['void *']),
};

// The URL as a NUL-terminated code page 936 argument. Node has no 936 encoder; a URL needs none:
// its ASCII bytes are the same in 936, and any other character is percent-encoded as UTF-8, as a
// browser sends it. (Other text would need a real 936 encoder, such as the iconv-lite package.)
function urlArgument(url) {
  if (url.includes('\0')) throw new TypeError('a URL holds no NUL character');
  const ascii = url.replace(/[^\x00-\x7f]+/gu, (run) => encodeURIComponent(run));
  return Buffer.from(ascii + '\0', 'latin1');
}

const gbk = new TextDecoder('gbk');

// The result's bytes copied and decoded from code page 936 at once: the library reuses its memory
// at the next call of the same export (and frees it itself). A null pointer and the empty text
// both mean "no result".
function resultText(pointer) {
  if (pointer === null) return '';
  let length = 0;
  while (koffi.decode(pointer, length, 'uint8_t') !== 0) length++;
  return gbk.decode(koffi.decode(pointer, 'uint8_t', length));
}

function call(name, url) {
  return resultText(quenlark[name](urlArgument(url)));
}

if (process.argv.length !== 3) {
  process.stderr.write('usage: node resolve.js SHARE_URL\n');
  process.exit(2);
}
const link = call('HttpGetUrl', process.argv[2]);
if (link === '') {
  process.stderr.write('resolve: no direct link\n');
  process.exit(1);
}
const target = call('Quenlark_Location', link);
process.stdout.write(`${link}\n${target}\n`);
process.exitCode = target !== '' ? 0 : 1;
