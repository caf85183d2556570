// Pages in Debian's headless Chromium, opened from file:// with the virtual console's Web MIDI
// installed before their own scripts, each in a browser with a new empty profile.
import assert from 'node:assert/strict';
import {mkdtemp, readFile, rm} from 'node:fs/promises';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {pathToFileURL} from 'node:url';
import {chromium} from 'playwright-core';

const source = join(import.meta.dirname, '../..');
export const build = process.env.VU_WEB_BUILD ?? join(source, 'build/web');
// Without the networking flags Chromium keeps trying hosts that this closed network refuses.
const args = ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
              '--disable-component-update', '--disable-sync'];

// The fake's API (window.vconsole) of a page: its calls run in that page.
export const consoleOf = (page) => new Proxy({}, {
  get: (_, name) => (...callArgs) => page.evaluate(([n, a]) => window.vconsole[n](...a), [name, callArgs]),
});

// Opens `file`, offline, with the console configured by `config` (vconsole/README.md) and MIDI
// with SysEx allowed, or refused without `granted`; `timing` shortens the page's waits for the
// console and `script` runs after the fake, before the page's own scripts, as in every page the
// browser opens later. Hands back the page, its console and the browser. Closing checks that
// nothing came from a network and no script failed.
export async function openPage(t, file, {config = '', granted = true, timing, script = ''} = {}) {
  const profile = await mkdtemp(join(tmpdir(), 'vu-chromium-'));
  const context = await chromium.launchPersistentContext(profile,
                                                         {executablePath: '/usr/bin/chromium', args, offline: true});
  const failures = [];
  t.after(async () => {
    await context.close();
    await rm(profile, {recursive: true, force: true});
    assert.deepEqual(failures, []);
  });
  if (granted)
    await context.grantPermissions(['midi', 'midi-sysex']);
  const scripts = await Promise.all([join(build, 'vconsole/web/console-engine.js'), join(source, 'vconsole/web/fake-midi.js')]
    .map((path) => readFile(path, 'utf8')));
  const settings = `window.vconsoleConfig = ${JSON.stringify(granted ? config : `${config}\npermission_denied`)};
                    window.versionupTiming = ${JSON.stringify(timing)};`;
  await context.addInitScript({content: [scripts[0], settings, scripts[1], script].join('\n')});
  context.on('request', (request) => /^(file|data|blob):/.test(request.url()) || failures.push(request.url()));
  context.on('weberror', (error) => failures.push(error.error().message));
  const page = context.pages()[0] ?? await context.newPage();
  await page.goto(pathToFileURL(file).href);
  return {page, vconsole: consoleOf(page), context};
}
