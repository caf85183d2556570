// The update's web page against the virtual console's Web MIDI, offline. A row opens the page
// as openPage takes it (`config`, `granted`, `timing`, `script`); `run` must come back with
// `expect`. The firmware files are the emscripten tree's make-firmware's.
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {createHash} from 'node:crypto';
import {copyFileSync, mkdtempSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {basename, join} from 'node:path';
import {after, test} from 'node:test';
import {build, consoleOf, openPage} from './browser.mjs';

const versionup = join(build, 'web/versionup.html');
const folder = mkdtempSync(join(tmpdir(), 'vu-page-'));
after(() => rmSync(folder, {recursive: true, force: true}));
const [sample, sampleFlash, small, changed, junk] =
  ['sample.bin', 'sample.flash', 'first-region.bin', 'changed.bin', 'junk.bin'].map((name) => join(folder, name));
const makeFirmware = join(build, 'vconsole/firmware/make-firmware.js');
execFileSync('node', [makeFirmware, sample, sampleFlash]);
execFileSync('node', [makeFirmware, '--first-region', small]);
copyFileSync(small, changed);
writeFileSync(junk, 'no firmware');

// What the console received, named as the Windows tests name it: U, E<region>, W<address>, F.
const range = (from, to, step = 1) => Array.from({length: (to - from) / step}, (_, i) => from + i * step);
const writes = (end) => range(0, end, 2048).map((address) => `W${address.toString(16)}`);
const firstRegion = ['U', 'E0', 'E2', 'E3', 'E4', ...writes(0x8000), 'F'];
const received = (journal) => journal.filter((line) => line.startsWith('rx ')).map((line) => {
  const p = line.slice(3, 66).split(' ').slice(14).map((hex) => parseInt(hex, 16));
  return p[0] === 0x55 ? 'U' : p[1] === 1 ? `E${p[2]}` : p[1] === 0 ? 'F'
    : `W${p.slice(3, 7).reduce((address, b, k) => address * 256 + (b | p[2] << k + 1 & 0x80), 0).toString(16)}`;
});

// The console's time-out for a reply; no pause after the ports open.
const waits = (replyTimeoutMs) => ({replyTimeoutMs, settleStepMs: 0});
const text = (page, selector) => page.textContent(selector);
// The first sentence of the page's own notice.
const notice = async (page) => (await text(page, '#notice')).split('. ')[0];
// Nothing runs: Browse, Load and Ports... are on again.
const idle = (page) => page.waitForFunction(() => !document.getElementById('load').disabled);
// The port fields once the page has looked for the ports.
const fields = async (page) => {
  await page.waitForFunction(() => document.getElementById('out-port').textContent);
  return [await text(page, '#out-port'), await text(page, '#in-port')];
};
// The browser hands the page a file it chose (and notes its size and time) in a task of its own.
async function choose(page, file, pick = (path) => page.setInputFiles('#file', path)) {
  await pick(file);
  await page.waitForFunction((name) => document.getElementById('file-name').value === name, basename(file));
}
// Chooses `file` (none: null), does what happens `meanwhile`, and presses Load.
async function load(page, file = small, meanwhile = async () => {}) {
  if (file)
    await choose(page, file);
  await meanwhile(page);
  await page.click('#load');
  await idle(page);
  return text(page, '#status');
}
const outcome = async ({page, vconsole}, ...args) =>
  ({status: await load(page, ...args), received: received(await vconsole.journal())});
// Of two pairs of one name, the console is the second.
const twoPairs = 'out 1 2 USB MIDI\nout 1 2 USB MIDI\nin 1 3 USB MIDI\nin 1 3 USB MIDI\nconsole_out 1\nconsole_in 1';
// The console holds the reply to the second write long enough for a row to act meanwhile.
const held = {config: 'fault write 2 delay 3000', timing: waits(4000)};
async function startHeld(page) {
  await choose(page, small);
  await page.click('#load');
  await page.waitForFunction(() => document.getElementById('status').textContent.startsWith('Installing'));
}
const keys = async (page, ...names) => {
  for (const name of names)
    await page.keyboard.press(name);
};
// Every position the progress bar takes, with its range.
const traceProgress = `window.steps = [];
  const setAttribute = Element.prototype.setAttribute;
  Element.prototype.setAttribute = function (name, value) {
    if (this.id === 'progress' && name === 'value' && steps.at(-1) !== this.getAttribute('max') + ':' + value)
      steps.push(this.getAttribute('max') + ':' + value);
    return setAttribute.call(this, name, value);
  };`;
// Chromium holds a background tab's timers back to about a second; the tab stays visible here.
const heldBack = `window.timersFired = 0;
  const setTimer = setTimeout;
  window.setTimeout = (callback, wait, ...rest) =>
    setTimer(() => { ++timersFired; callback(...rest); }, Math.max(wait || 0, 1000));`;
// The clock runs ten times as fast, and each timer the page sets waits so much less: every wait
// of the page at its full length, noted in whole seconds.
const fastClock = `window.waits = [];
  const now = performance.now.bind(performance);
  const setTimer = setTimeout;
  performance.now = () => now() * 10;
  window.setTimeout = (callback, wait, ...rest) => {
    waits.push(Math.round(wait / 1000));
    return setTimer(callback, Math.ceil(wait / 10), ...rest);
  };`;

// Each configuration in turn on one page, and the status every update with it must end with. The
// updates that fail wait for a short time-out; the others wait for none.
const faults = (status, ...configs) => ({
  name: `the console's faults, replies in pieces and echoes that end in "${status}"`,
  timing: waits(status === 'Complete!' ? 2000 : 600),
  run: async ({page, vconsole}) => {
    const seen = {};
    for (const config of configs) {
      await vconsole.configure(config);
      seen[config] = await load(page);
    }
    return seen;
  },
  expect: Object.fromEntries(configs.map((config) => [config, status])),
});

const rows = [
  {name: 'a whole update: every message the engine checked, in order, and the flash a complete update leaves',
   run: async (o) => ({...await outcome(o, sample), violations: (await o.vconsole.stats()).violations,
                       flash: await o.vconsole.flashSha256(), online: await o.page.evaluate(() => navigator.onLine)}),
   expect: {status: 'Complete!', violations: 0, flash: createHash('sha256').update(readFileSync(sampleFlash)).digest('hex'),
            received: ['U', ...[0, 2, 3, 4, 1, ...range(5, 35)].map((region) => `E${region}`), ...writes(0x400000), 'F'],
            online: false}},
  {name: 'a healthy console: its ports in the fields at once, "Complete!", the dialog\'s progress range and steps',
   script: traceProgress,
   run: async (o) => ({ports: await fields(o.page), ...await outcome(o), steps: await o.page.evaluate(() => steps.join(' '))}),
   expect: {ports: ['KALDIR USB OUT', 'KALDIR USB IN'], status: 'Complete!', received: firstRegion,
            steps: '3:0 3:1 3:2 3:3 5:3 5:0 5:1 5:2 5:3 5:4 5:5 4:4 4:0 4:1 4:2 4:3 4:4 8:4 8:0 8:1 8:2 8:3 8:4 8:5 8:6 8:7 8:8'}},
  {name: 'no file chosen', run: (o) => outcome(o, null), expect: {status: 'File not found!!', received: []}},
  // A file removed since it was chosen still reads here: the browser's error for it stands in.
  {name: 'the file removed since it was chosen',
   run: (o) => outcome(o, small, (page) => page.evaluate(() => {
     Blob.prototype.arrayBuffer = () => Promise.reject(new DOMException('Gone.', 'NotFoundError'));
   })),
   expect: {status: 'File not found!!', received: []}},
  {name: 'the file changed since it was chosen', run: (o) => outcome(o, changed, () => writeFileSync(changed, 'changed')),
   expect: {status: 'File read error!!', received: []}},
  {name: 'a file that is no firmware', run: (o) => outcome(o, junk), expect: {status: 'File format error!!', received: []}},
  {name: 'an output that another program holds', config: 'busy_out 0', run: outcome,
   expect: {status: 'Device open failed!!', received: []}},
  {name: 'an input that another program holds', config: 'busy_in 0', run: outcome,
   expect: {status: 'Device open failed!!', received: []}},
  {name: 'the dialog\'s waits unless a test shortens them: five steps of a second once the ports open, five seconds for a reply',
   script: fastClock, timing: undefined, config: 'fault erase 1 silent',
   run: async (o) => ({...await outcome(o), waits: await o.page.evaluate(() => waits)}),
   expect: {status: 'Uninstall failed!!', received: ['U', 'E0'], waits: [1, 1, 1, 1, 1, 5]}},
  faults('Uninstall failed!!', 'fault erase 2 silent', 'fault erase 2 result 01', 'fault erase 2 other_region',
         'fault erase 2 long_error', 'fault erase 2 echo_command', 'fault erase 2 delay 1500', 'fault erase 3 refuse_send',
         'fault erase 2 cut 17'),
  faults('Install failed!!', 'fault write 3 silent', 'fault write 3 result 7F', 'fault write 3 wrong_echo',
         'fault write 3 long_error', 'fault write 3 delay 1500', 'fault write 4 refuse_send', 'fault write 3 cut 21'),
  faults('Complete! please restart PQ4400.', 'fault final 1 silent', 'fault final 1 result 01', 'fault final 1 echo_command',
         'fault final 1 long_error', 'fault final 1 cut 17', 'fault final 1 refuse_send'),
  faults('Complete!', 'fault erase 2 delay 50', 'fault erase 1 early', 'fault erase 1 short_before', 'fault erase 1 malformed',
         'fault erase 1 oversized 5000', 'fault write 2 echo_high_bits', 'fault write 2 oversized 6000', 'fault write 16 early',
         'fault write 4 short_before', 'fault write 4 malformed', 'fault erase 2 cut 18', 'fault write 3 cut 22',
         'fault final 1 cut 18', 'fault erase 2 thru', 'fault write 3 thru', 'fault final 1 thru', 'pieces 7', 'pieces 1',
         'pieces 6\nfault erase 2 cut_restart 12', 'fault write 5 split_delay 50', 'fault erase 3 tail_before 6',
         'latency_ms 5\nthru 0', 'latency_ms 5\nthru 3', 'latency_ms 1\nthru 4'),
  {name: 'MIDI not allowed before: asked for at the first Load, which then goes on with the update',
   script: `navigator.permissions.query = async () => ({state: 'prompt'});
            const request = navigator.requestMIDIAccess;
            window.requests = 0;
            navigator.requestMIDIAccess = (options) => (++requests, request(options));`,
   run: async (o) => {
     await o.page.waitForFunction(() => document.getElementById('version').textContent);
     const requests = () => o.page.evaluate(() => requests);
     return {before: await requests(), ...await outcome(o), after: await requests()};
   },
   expect: {before: 0, status: 'Complete!', received: firstRegion, after: 1}},
  {name: 'MIDI refused: the page says it needs MIDI with SysEx, and nothing else happens', granted: false,
   run: async (o) => {
     await o.page.click('#ports');
     await idle(o.page);
     return {...await outcome(o), notice: await notice(o.page), chooser: await o.page.isVisible('#chooser')};
   },
   expect: {status: '', received: [], notice: 'This page needs MIDI with SysEx allowed', chooser: false}},
  {name: 'no Web MIDI: the page says which browsers work',
   script: 'delete Navigator.prototype.requestMIDIAccess; delete navigator.requestMIDIAccess;',
   run: async (o) => ({...await outcome(o), notice: await notice(o.page)}),
   expect: {status: '', received: [], notice: 'This browser cannot reach MIDI devices from this page'}},
  {name: 'no console\'s ports: the message box; the chooser lists every port as they come; the second of two ' +
         'same-named pairs, chosen, is used, and found again after a reload', config: twoPairs,
   run: async ({page, vconsole}) => {
     await page.waitForSelector('#message-box[open]');
     const box = await text(page, '#message-text');
     await page.click('#message-box button');
     const status = await text(page, '#status');
     await page.click('#ports');
     await vconsole.configure(`${twoPairs}\nout 2 2 LATE OUT`);
     const lists = await page.$$eval('#chooser option', (options) => options.map((option) => option.textContent));
     await page.selectOption('#out-list', '1');
     await page.selectOption('#in-list', '1');
     await page.click('#chooser-ok');
     const chosen = [await fields(page), await load(page)];
     await page.reload();
     return {box, status, lists, chosen, reloaded: [await fields(page), await load(page)]};
   },
   expect: {box: 'KALDIR USB Driver not found!!', status: 'KALDIR USB Driver not found!!',
            lists: ['USB MIDI', 'USB MIDI', 'LATE OUT', 'USB MIDI', 'USB MIDI'].map((name) => `${name}  (Virtual console)`),
            chosen: [['USB MIDI', 'USB MIDI'], 'Complete!'], reloaded: [['USB MIDI', 'USB MIDI'], 'Complete!']}},
  {name: 'the console unplugged before Load: nothing is sent',
   run: async (o) => {
     await fields(o.page);
     await o.vconsole.configure('no_devices');
     return outcome(o);
   },
   expect: {status: 'Device open failed!!', received: []}},
  {name: 'the console unplugged during an update: the step fails at its time-out; plugged in again, it updates', ...held,
   run: async ({page, vconsole}) => {
     await startHeld(page);
     await vconsole.configure('no_devices');
     await idle(page);
     const unplugged = await text(page, '#status');
     await vconsole.configure('');
     return [unplugged, await load(page)];
   },
   expect: ['Install failed!!', 'Complete!']},
  {name: 'two tabs: the second update ends before its console hears anything', ...held,
   run: async ({page, context}) => {
     const second = await context.newPage();
     await second.goto(page.url());
     await fields(second);
     await choose(second, small);
     await startHeld(page);
     const other = await outcome({page: second, vconsole: consoleOf(second)}, null);
     await idle(page);
     return {other, first: await text(page, '#status')};
   },
   expect: {other: {status: 'Device open failed!!', received: []}, first: 'Complete!'}},
  {name: 'while an update runs, Browse, Load and Ports... are off and clicks and keys do nothing', ...held,
   run: async ({page, vconsole}) => {
     const choosers = [];
     page.on('filechooser', (chooser) => choosers.push(chooser));
     await startHeld(page);
     const off = await page.$$eval('#browse, #load, #ports', (buttons) => buttons.map((button) => button.disabled));
     for (const button of ['#browse', '#load', '#ports']) {
       await page.click(button, {force: true});
       await keys(page, 'Enter', 'Space');
     }
     await idle(page);
     return {off, choosers: choosers.length, chooser: await page.isVisible('#chooser'), status: await text(page, '#status'),
             received: received(await vconsole.journal())};
   },
   expect: {off: [true, true, true], choosers: 0, chooser: false, status: 'Complete!', received: firstRegion}},
  {name: 'by keyboard: Tab reaches Ports..., Browse and Load, and Enter and Space press them',
   run: async ({page}) => {
     // Listening from the start: the browser takes a while before it hands the chooser over.
     const chooser = new Promise((resolve) => page.once('filechooser', resolve));
     await fields(page);
     const order = [];
     for (let i = 0; i < 4; ++i) {
       await keys(page, 'Tab');
       order.push(await page.evaluate(() => document.activeElement.id));
     }
     await keys(page, 'Shift+Tab', 'Shift+Tab', 'Shift+Tab', 'Enter');
     await page.waitForSelector('#chooser[open]');
     await keys(page, 'Escape');
     await page.waitForFunction(() => document.activeElement.id === 'ports' && !document.activeElement.disabled);
     await keys(page, 'Tab', 'Tab', 'Space');
     await choose(page, small, async (path) => (await chooser).setFiles(path));
     await keys(page, 'Tab', 'Enter');
     await idle(page);
     return {order, file: await page.inputValue('#file-name'), status: await text(page, '#status')};
   },
   expect: {order: ['ports', 'file-name', 'browse', 'load'], file: 'first-region.bin', status: 'Complete!'}},
  {name: 'leaving the page during an update asks first', ...held,
   run: async ({page}) => {
     const dialogs = [];
     page.on('dialog', (dialog) => dialogs.push(dialog.type()) && dialog.dismiss());
     await startHeld(page);
     await Promise.all([page.waitForEvent('dialog'), page.close({runBeforeUnload: true})]);
     await idle(page);
     const status = await text(page, '#status');
     await Promise.all([page.waitForEvent('close'), page.close({runBeforeUnload: true})]);
     return {dialogs, status};
   },
   expect: {dialogs: ['beforeunload'], status: 'Complete!'}},
  {name: 'timers held back as in a background tab: replies end the waits of a whole update, the clock a silent one',
   script: heldBack, timing: waits(900),
   run: async (o) => {
     await fields(o.page);
     const timersFired = () => o.page.evaluate(() => timersFired);
     const before = await timersFired();
     const whole = [(await outcome(o, sample)).status, await timersFired() - before];
     await o.vconsole.configure('fault erase 1 silent');
     return {whole, silent: [await load(o.page), await timersFired() - before]};
   },
   // The one timer fired is the silent erase's, set for its time-out and held back beyond it.
   expect: {whole: ['Complete!', 0], silent: ['Uninstall failed!!', 1]}},
];

test('the page', {concurrency: 3}, async (t) => {
  await Promise.all(rows.map((row) => t.test(row.name, async (t) => {
    const opened = await openPage(t, versionup, {timing: waits(2000), ...row});
    assert.deepEqual(await row.run(opened), row.expect);
  })));
});
