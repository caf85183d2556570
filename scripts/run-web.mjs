// The web page with the virtual console, driven in headless Chromium as a user would: the file
// chosen, Load pressed, each status text printed as it appears.
//   node scripts/run-web.mjs PAGE FIRMWARE [--picture PNG]
// With --picture the console answers slowly enough to be seen, and the page is taken amid the
// update, as the README shows it; the update is then left.
import {createRequire} from 'node:module';
import {copyFile, mkdtemp, rm} from 'node:fs/promises';
import {tmpdir} from 'node:os';
import {basename, join} from 'node:path';
import {pathToFileURL} from 'node:url';

const require = createRequire(join(import.meta.dirname, '../tests/web/package.json'));
const {chromium} = require('playwright-core');
const [page, firmware, option, picture] = process.argv.slice(2);
const args = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
              '--disable-component-update', '--disable-sync'];

const folder = await mkdtemp(join(tmpdir(), 'vu-run-web-'));
const browser = await chromium.launch({executablePath: '/usr/bin/chromium', args});
try {
  const context = await browser.newContext({viewport: {width: 760, height: 480}});
  const tab = await context.newPage();
  if (option === '--picture')
    await tab.addInitScript(() => { window.vconsoleConfig = 'latency_ms 4'; });
  await tab.goto(pathToFileURL(page).href);
  await tab.waitForFunction(() => document.getElementById('out-port').textContent !== '');
  console.log(`Output Port : ${await tab.textContent('#out-port')}\nInput Port : ${await tab.textContent('#in-port')}`);
  // A user's download, by its name.
  const chosen = join(folder, option === '--picture' ? 'PQ4400_V103.bin' : basename(firmware));
  await copyFile(firmware, chosen);
  await tab.setInputFiles('#file', chosen);
  // Every text the status line shows, as it shows it.
  const shown = [];
  await tab.exposeFunction('statusShown', (text) => {
    shown.push(text);
    console.log(text);
  });
  await tab.evaluate(() => {
    const status = document.getElementById('status');
    new MutationObserver(() => window.statusShown(status.textContent)).observe(status, {childList: true});
  });
  await tab.click('#load');
  if (option === '--picture') {
    await tab.waitForFunction(() => document.getElementById('status').textContent === 'Installing.... (20/35)');
    await tab.waitForTimeout(100);   // a part of the region on the bar
    await tab.locator('main').screenshot({path: picture});
  } else {
    await tab.waitForFunction(() => !document.getElementById('load').disabled, null, {timeout: 0});
  }
} finally {
  await browser.close();
  await rm(folder, {recursive: true, force: true});
}
