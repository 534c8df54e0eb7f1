// Node's own engine doing the same decoding as decodeEscapedText: the protections,
// the script string with unescape, and their undoing. Started once; measures the CPU
// time of the decodes only. Usage: node node_decode.js <reply file> <iterations>
'use strict';
const fs = require('fs');
const [file, count] = process.argv.slice(2);
const reply = fs.readFileSync(file, 'latin1');  // the reply is ASCII
const iterations = Number(count);

function decode(text, serial) {
  let t = text.split('\r\n').join('{$}');
  if (t[0] === '\r') t = t.slice(1);
  t = t.split('\\u').join('%u').split("'").join('\u2019');
  // A comment that differs each time keeps the engine from reusing a compiled script,
  // as a fresh script engine would not.
  const value = (0, eval)("function xx(){var x='" + t + "';return unescape(x);}\n//" + serial + '\nxx()');
  return value.split('\u2019').join("'").split('{$}').join('\r\n');
}

let sink = 0;
for (let i = 0; i < 5; ++i) sink += decode(reply, -1 - i).length;
// CPU time, as the C++ side reports: the machine may be shared.
const start = process.cpuUsage();
for (let i = 0; i < iterations; ++i) sink += decode(reply, i).length;
const used = process.cpuUsage(start);
const seconds = (used.user + used.system) / 1e6;
process.stdout.write(JSON.stringify({cpuSecondsPerDecode: seconds / iterations, length: sink}) + '\n');
