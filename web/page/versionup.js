// The page's own part: its controls, the firmware file and the Web MIDI link that carries the
// update's messages. The update itself, port discovery and every text of the status line and the
// progress bar come from the programs' own code, compiled to WebAssembly (createVersionUp).
'use strict';
(async () => {
  const $ = (id) => document.getElementById(id);
  const ui = {
    version: $('version'), outPort: $('out-port'), inPort: $('in-port'), ports: $('ports'),
    fileName: $('file-name'), browse: $('browse'), file: $('file'), status: $('status'),
    progress: $('progress'), load: $('load'), notice: $('notice'), chooser: $('chooser'),
    outList: $('out-list'), inList: $('in-list'), chooserNote: $('chooser-note'), chooserOk: $('chooser-ok'),
    messageBox: $('message-box'), messageText: $('message-text'),
  };
  // What only a browser can lack: these are the page's texts, beside the programs'.
  const kNeedsSysex = 'This page needs MIDI with SysEx allowed. Allow MIDI device control (with SysEx) ' +
    'for this page in the browser\'s site settings (the icon at the left of the address), then press Load again.';
  const kNoWebMidi = 'This browser cannot reach MIDI devices from this page. Open it in Chrome, Edge or Opera ' +
    '(Windows, macOS, Linux, ChromeOS), or in Firefox once MIDI is allowed for it, from a file on this computer ' +
    'or an https address.';
  const kPortGone = 'Port not found!! choose again.';
  const kMemoryKey = 'PQ4400 Version up Program: ports';
  const kLockName = 'PQ4400 Version up Program: update';

  let module = null;
  let access = null;
  let busy = false;
  let chosen = null;
  // The connected ports, in the order the browser lists them: the update numbers them so.
  const lists = {outputs: [], inputs: []};
  const bar = {upper: 35, position: 0};

  // Calls `done` once the clock has reached `deadline`; returns what stops it. A timer may be
  // held back in a tab in the background: it only tells when to look at the clock again.
  function atClock(deadline, done) {
    let timer = 0;
    const check = () => {
      const left = deadline - performance.now();
      if (left <= 0)
        done();
      else
        timer = setTimeout(check, left);
    };
    check();
    return () => clearTimeout(timer);
  }

  // The console's link. Pieces of input are kept only while a reply is awaited; a piece ends the
  // wait at once, with no timer in between.
  const link = {
    output: null, input: null, armed: false, pieces: [], wake: null,
    async open(outDevice, inDevice) {
      const output = lists.outputs[outDevice];
      const input = lists.inputs[inDevice];
      if (!output || !input)
        return false;
      try {
        await output.open();
      } catch {
        return false;   // another program holds it, or it is gone
      }
      try {
        await input.open();
      } catch {
        await output.close().catch(() => {});
        return false;
      }
      input.onmidimessage = (event) => this.receive(event.data);
      this.output = output;
      this.input = input;
      return true;
    },
    async close() {
      const {output, input} = this;
      this.output = this.input = null;
      if (input) {
        input.onmidimessage = null;
        await input.close().catch(() => {});
      }
      if (output)
        await output.close().catch(() => {});
    },
    send(bytes) {
      try {
        this.output.send(bytes);
      } catch {
        // The port is gone: the console does not answer a message it never got.
      }
    },
    arm() {
      this.pieces = [];
      this.armed = true;
    },
    disarm() {
      this.armed = false;
      this.pieces = [];
    },
    receive(data) {
      if (!this.armed)
        return;
      this.pieces.push(data);
      if (this.wake)
        this.wake();
    },
    putBack(rest) {
      this.pieces.unshift(rest);
    },
    nextPiece(deadline) {
      if (this.pieces.length)
        return Promise.resolve(this.pieces.shift());
      return new Promise((resolve) => {
        const stop = atClock(deadline, () => {
          this.wake = null;
          resolve(null);
        });
        this.wake = () => {
          stop();
          this.wake = null;
          resolve(this.pieces.shift());
        };
      });
    },
  };

  let releaseLock = null;
  let wakeLock = null;
  let updating = false;
  async function takeWakeLock() {
    if (!updating || wakeLock || !navigator.wakeLock || document.visibilityState !== 'visible')
      return;
    try {
      const lock = await navigator.wakeLock.request('screen');
      if (updating && !wakeLock)
        wakeLock = lock;
      else
        lock.release();
    } catch {
      // Refused (a battery saver, a policy): the update goes on without it.
    }
  }

  // The file chosen, read as the programs read a file: opened (is it still there?), measured,
  // and read whole in one request.
  const file = {
    async open(name) {
      if (!chosen || chosen.name !== name)
        return false;
      try {
        await chosen.slice(0, 1).arrayBuffer();
      } catch (error) {
        return error.name !== 'NotFoundError';   // removed since it was chosen
      }
      return true;
    },
    size() {
      return chosen.size;
    },
    async read(count) {
      try {
        return new Uint8Array(await chosen.slice(0, count).arrayBuffer());
      } catch {
        return null;   // changed since it was chosen
      }
    },
  };

  // What the update reaches on the page (Module.page).
  const page = {
    link,
    file,
    showStatus(text) {
      ui.status.textContent = text;
    },
    // As the dialog's bar: a position outside the range stands at the nearest bound.
    setRange(upper) {
      bar.upper = upper;
      page.setPos(bar.position);
    },
    setPos(position) {
      bar.position = Math.min(Math.max(position, 0), bar.upper);
      ui.progress.setAttribute('max', String(bar.upper));
      ui.progress.setAttribute('value', String(bar.position));
    },
    offsetPos(delta) {
      page.setPos(bar.position + delta);
    },
    showPortName(output, name) {
      (output ? ui.outPort : ui.inPort).textContent = name;
    },
    showMessageBox(text) {
      ui.messageText.textContent = text;
      ui.messageBox.showModal();
      return new Promise((resolve) => ui.messageBox.addEventListener('close', resolve, {once: true}));
    },
    ports(output) {
      return output ? lists.outputs : lists.inputs;
    },
    // Each port by its name and its place among the ports of that name. The page's storage may be
    // switched off: then nothing is remembered.
    recallPort(output) {
      try {
        const port = JSON.parse(localStorage.getItem(kMemoryKey))?.[output ? 'out' : 'in'];
        return typeof port?.name === 'string' && Number.isInteger(port.place) && port.place >= 0 ? port : null;
      } catch {
        return null;
      }
    },
    rememberPorts(out, input) {
      try {
        localStorage.setItem(kMemoryKey, JSON.stringify({out, in: input}));
        return true;
      } catch {
        return false;
      }
    },
    // 0: taken; 1: another tab or window of this page is updating; 2: no lock to be had.
    acquireUpdateLock() {
      if (!navigator.locks)
        return Promise.resolve(2);
      return new Promise((resolve) => {
        navigator.locks.request(kLockName, {ifAvailable: true}, (lock) => {
          resolve(lock ? 0 : 1);
          return lock ? new Promise((release) => { releaseLock = release; }) : undefined;
        }).catch(() => resolve(2));
      });
    },
    releaseUpdateLock() {
      if (releaseLock)
        releaseLock();
      releaseLock = null;
    },
    keepAwake(awake) {
      updating = awake;
      if (awake) {
        takeWakeLock();
      } else if (wakeLock) {
        wakeLock.release().catch(() => {});
        wakeLock = null;
      }
    },
    pause(milliseconds) {
      return new Promise((resolve) => atClock(performance.now() + milliseconds, resolve));
    },
  };

  function showNotice(text) {
    ui.notice.textContent = text;
    ui.notice.hidden = text === '';
  }

  function connected(ports) {
    return [...ports.values()].filter((port) => port.state === 'connected');
  }

  function entry(port) {
    return port.manufacturer ? `${port.name}  (${port.manufacturer})` : port.name;
  }

  // Each entry names a port by its name and its place among the ports of that name.
  function describe(ports) {
    const seen = new Map();
    return ports.map((port, index) => {
      const place = seen.get(port.name) || 0;
      seen.set(port.name, place + 1);
      return {index, name: port.name, place, text: entry(port)};
    });
  }

  function fill(select, ports, wanted) {
    const entries = describe(ports);
    select.replaceChildren(...entries.map(({index, text}) => new Option(text, String(index))));
    const found = entries.find((e) => wanted && e.name === wanted.name && e.place === wanted.place);
    select.selectedIndex = found ? found.index : entries.length ? 0 : -1;
    return !wanted || found !== undefined;
  }

  function selected(select, ports) {
    return describe(ports)[select.selectedIndex] || null;
  }

  // The chooser's lists follow the ports as they come and go, keeping what is selected.
  function fillChooser(outWanted, inWanted) {
    const outKept = fill(ui.outList, lists.outputs, outWanted);
    const inKept = fill(ui.inList, lists.inputs, inWanted);
    ui.chooserNote.textContent = outKept && inKept ? '' : kPortGone;
    ui.chooserOk.disabled = !lists.outputs.length || !lists.inputs.length;
  }

  function refreshPorts() {
    const outWanted = selected(ui.outList, lists.outputs);
    const inWanted = selected(ui.inList, lists.inputs);
    lists.outputs = connected(access.outputs);
    lists.inputs = connected(access.inputs);
    if (ui.chooser.open)
      fillChooser(outWanted, inWanted);
  }

  // MIDI with SysEx, asked for at a press of Load or Ports...; once allowed, the console's ports
  // are looked for as the dialog does when it opens.
  async function ensureAccess() {
    if (access)
      return true;
    if (!navigator.requestMIDIAccess) {
      showNotice(kNoWebMidi);
      return false;
    }
    try {
      access = await navigator.requestMIDIAccess({sysex: true});
    } catch (error) {
      showNotice(error.name === 'NotAllowedError' || error.name === 'SecurityError' ? kNeedsSysex : kNoWebMidi);
      return false;
    }
    showNotice('');
    access.addEventListener('statechange', refreshPorts);
    refreshPorts();
    await module.ccall('vu_find_ports', 'number', [], [], {async: true});
    return true;
  }

  // The buttons that start something are off while anything runs; the focus comes back after.
  async function run(task) {
    if (busy)
      return;
    const focus = document.activeElement;
    busy = true;
    for (const button of [ui.browse, ui.load, ui.ports])
      button.disabled = true;
    try {
      await task();
    } finally {
      busy = false;
      for (const button of [ui.browse, ui.load, ui.ports])
        button.disabled = false;
      if (focus instanceof HTMLElement)
        focus.focus();
    }
  }

  function chooserClosed() {
    return new Promise((resolve) => ui.chooser.addEventListener('close', () => resolve(ui.chooser.returnValue),
      {once: true}));
  }

  async function choosePorts() {
    module.ccall('vu_confirm_ports', 'number');
    const inUse = (output) => describe(lists[output ? 'outputs' : 'inputs'])[module._vu_port_in_use(output)];
    fillChooser(inUse(1), inUse(0));
    ui.chooser.returnValue = '';
    ui.chooser.showModal();
    while (await chooserClosed() === 'ok') {
      const out = selected(ui.outList, lists.outputs);
      const input = selected(ui.inList, lists.inputs);
      if (out && input && module.ccall('vu_choose_ports', 'number', ['string', 'number', 'string', 'number'],
        [out.name, out.place, input.name, input.place]))
        return;
      refreshPorts();
      ui.chooserNote.textContent = kPortGone;
      ui.chooser.showModal();
    }
  }

  ui.browse.addEventListener('click', () => {
    if (!busy)
      ui.file.click();
  });
  // As the dialog's Browse: the field shows what was chosen, and a cancelled choice empties it.
  ui.file.addEventListener('change', () => {
    if (busy)
      return;
    chosen = ui.file.files[0] || null;
    ui.fileName.value = chosen ? chosen.name : '';
    ui.file.value = '';
  });
  ui.file.addEventListener('cancel', () => {
    if (busy)
      return;
    chosen = null;
    ui.fileName.value = '';
  });
  ui.load.addEventListener('click', () => run(async () => {
    if (await ensureAccess())
      await module.ccall('vu_load', null, ['string'], [chosen ? chosen.name : ''], {async: true});
  }));
  ui.ports.addEventListener('click', () => run(async () => {
    if (await ensureAccess())
      await choosePorts();
  }));
  document.addEventListener('visibilitychange', takeWakeLock);
  window.addEventListener('beforeunload', (event) => {
    if (updating)
      event.preventDefault();
  });

  // The console's waits are the programs' own; the virtual console's test pages shorten them.
  const timing = globalThis.versionupTiming || {};
  module = await createVersionUp({page});
  module.ccall('vu_start', 'number', ['number', 'number'], [timing.replyTimeoutMs ?? -1, timing.settleStepMs ?? -1]);
  ui.version.textContent = module.ccall('vu_version', 'string');
  if (!navigator.requestMIDIAccess) {
    showNotice(kNoWebMidi);
    return;
  }
  // Allowed before: the ports are looked for at once, as the dialog does when it opens.
  try {
    const permission = await navigator.permissions.query({name: 'midi', sysex: true});
    if (permission.state === 'granted')
      await run(ensureAccess);
  } catch {
    // The browser knows no such permission: the first Load or Ports... asks.
  }
})();
