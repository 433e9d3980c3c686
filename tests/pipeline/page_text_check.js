// Evaluates the configuration script a page received (UTF-8 file, first argument) and checks
// that it defines exactly the cards' text, written here in the script language's own notation.
'use strict';
const assert = require('assert');
const fs = require('fs');
const vm = require('vm');

vm.runInThisContext(fs.readFileSync(process.argv[2], 'utf8'));
assert.deepStrictEqual(globalThis.ZLVX_config, {
  rids: ['\u8868\u793a'],
  '\u8868\u793a:Caf\u00e9 \u00ab\u00c9t\u00e9\u00bb \u2014 10\u20ac': '\u{1F600} \u30bd\u30d5\u30c8',
});
console.log('the page script defines exactly the cards\' text');
