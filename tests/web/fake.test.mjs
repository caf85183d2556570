// The virtual console's Web MIDI as a page meets it. A row opens `page` (by default a test page
// of a few lines) with `config`, and `run` must come back with `expect`.
import assert from 'node:assert/strict';
import {join} from 'node:path';
import {test} from 'node:test';
import {openPage} from './browser.mjs';

const testPage = join(import.meta.dirname, 'fake-page.html');
const hex = (bytes) => bytes.map((b) => b.toString(16).toUpperCase().padStart(2, '0')).join(' ');
// The console's frame: identifier, payload, checksum over both, in 7-bit bytes.
const frame = (payload) => {
  const body = [0x4C, 0x4D, 0x20, 0x20, 0x38, 0x43, 0x31, 0x32, ...payload];
  return [0xF0, 0x43, 0x00, 0x7E, body.length >> 7, body.length & 0x7F, ...body,
          -body.reduce((a, b) => a + b) & 0x7F, 0xF7];
};
const erase0 = frame([0x42, 0x01, 0x00]);
const write0 = frame([0x42, 0x02, ...new Array(5 + 2341).fill(0)]);   // 2048 zero bytes at address 0
const final = frame([0x42, 0x00, 0x00, 0x01]);
const [erased, written, finished] = [[0x42, 0x01, 0x00, 0x00], [0x42, 0x02, 0, 0, 0, 0, 0, 0x00], [0x42, 0x00, 0x00, 0x00]]
  .map((payload) => hex(frame(payload)));
const converse = (page, messages, count) => page.evaluate(async ([m, n]) => {
  await connect();
  return exchange(m, n);
}, [messages, count]);

const rows = [
  {name: 'a healthy console answers erase, write and final byte for byte (two messages in one send)',
   run: async ({page, vconsole}) => ({heard: await converse(page, [[...erase0, ...write0], final], 3),
                                       journal: await vconsole.journal(), flash: Object.values(await vconsole.flash(2046, 4))}),
   expect: {heard: [erased, written, finished], flash: [0, 0, 0xFF, 0xFF],
            journal: [...[erase0, write0, final].map((m) => 'rx ' + hex(m)), ...[erased, written, finished].map((m) => 'tx ' + m)]}},
  {name: 'pieces 6: one midimessage per piece', config: 'pieces 6',
   run: ({page}) => converse(page, [erase0], 4),
   expect: [erased.slice(0, 17), erased.slice(18, 35), erased.slice(36, 53), erased.slice(54)]},
  {name: 'a silent erase and a damaged one: only the final is heard', config: 'fault erase 1 silent\nfault erase 2 long_error',
   run: ({page}) => converse(page, [erase0, erase0, final], 1), expect: [finished]},
  {name: 'a delayed erase: answered late, still before the final', config: 'fault erase 1 delay 50',
   run: async ({page, vconsole}) => [...await converse(page, [erase0, final], 2), (await vconsole.stats()).replyDelayUs >= 50000],
   expect: [erased, finished, true]},
  {name: 'devices plugged in and unplugged: statechange, and replies again once back',
   run: async ({page, vconsole}) => {
     await page.evaluate(() => connect());
     for (const config of ['out 37 4 KALDIR USB OUT\nin 37 5 KALDIR USB IN\nin 1 2 OTHER IN', 'no_devices', ''])
       await vconsole.configure(config);
     return page.evaluate(([m]) => exchange(m, 7), [[erase0]]);
   },
   expect: ['OTHER IN: connected closed', 'KALDIR USB OUT: disconnected pending', 'KALDIR USB IN: disconnected pending',
            'OTHER IN: disconnected closed', 'KALDIR USB OUT: connected open', 'KALDIR USB IN: connected open', erased]},
  {name: 'an input that another program holds: open() rejects', config: 'busy_in 0',
   run: ({page}) => page.evaluate(() => connect().then(() => 'opened', (error) => [error.name, output.connection])),
   expect: ['InvalidAccessError', 'open']},
  {name: 'MIDI refused: the permission says so and the request rejects', granted: false,
   run: ({page}) => page.evaluate(async () => [(await navigator.permissions.query({name: 'midi', sysex: true})).state,
                                               await connect().then(() => 'granted', (error) => error.name)]),
   expect: ['denied', 'NotAllowedError']},
];

for (const row of rows) {
  test(row.name, async (t) => {
    const opened = await openPage(t, row.page ?? testPage, row);
    assert.deepEqual(await row.run(opened), row.expect);
  });
}
