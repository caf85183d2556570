// node bench/BenchPage.mjs PAGE FIRMWARE [--runs N]: a full 35-region update (2085 messages)
// through the web page in headless Chromium, against the virtual console's Web MIDI answering at
// once, N runs (default 5), medians reported as bench_dialog reports the programs' (scripts/bench.sh
// runs both, one after the other):
//   per round trip: the page's side, from a reply going to the page to its next message arriving,
//   as the console measures it (its Asyncify resumption, the reply rules, the next packet);
//   per message: the whole exchange, the console's own work included.
// The five-second pause is shortened to nothing; it is not counted anyway.
import {createRequire} from 'node:module';
import {pathToFileURL} from 'node:url';
import {join} from 'node:path';

const require = createRequire(join(import.meta.dirname, '../tests/web/package.json'));
const {chromium} = require('playwright-core');
const [page, firmware, option, count] = process.argv.slice(2);
const runs = option === '--runs' ? Number(count) : 5;
const args = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
              '--disable-component-update', '--disable-sync'];
const median = (values) => [...values].sort((a, b) => a - b)[values.length >> 1];

const browser = await chromium.launch({executablePath: '/usr/bin/chromium', args});
const figures = [];
try {
  for (let run = 0; run < runs; ++run) {
    const tab = await browser.newPage();
    await tab.addInitScript(() => { window.versionupTiming = {settleStepMs: 0}; });
    await tab.goto(pathToFileURL(page).href);
    await tab.waitForFunction(() => document.getElementById('out-port').textContent !== '');
    await tab.setInputFiles('#file', firmware);
    const start = Date.now();
    await tab.click('#load');
    await tab.waitForFunction(() => !document.getElementById('load').disabled, null, {timeout: 0});
    const milliseconds = Date.now() - start;
    const status = await tab.textContent('#status');
    const stats = await tab.evaluate(() => window.vconsole.stats());
    await tab.close();
    if (status !== 'Complete!' || stats.received !== 2085)
      throw new Error(`run ${run + 1}: "${status}" after ${stats.received} messages`);
    figures.push({roundTrip: stats.turnaroundUs / stats.turnarounds, message: milliseconds * 1000 / stats.received});
    console.log(`  page: ${figures.at(-1).roundTrip.toFixed(1)} us per round trip, ` +
                `${figures.at(-1).message.toFixed(1)} us per message`);
  }
} finally {
  await browser.close();
}
console.log(`median page: ${median(figures.map((f) => f.roundTrip)).toFixed(1)} us per round trip (target <= 100), ` +
            `${median(figures.map((f) => f.message)).toFixed(1)} us per message`);
