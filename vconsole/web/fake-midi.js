// The virtual console for browsers: Web MIDI (navigator.requestMIDIAccess) whose ports are the
// console's devices and whose console is the engine the WinMM driver plays (console-engine.js,
// loaded before this script). It reads the driver's configuration text from
// window.vconsoleConfig when it starts, and window.vconsole changes and reads it at run time
// (vconsole/README.md). It belongs to the tests and the demo page, never to the released page.
(() => {
  'use strict';
  const kFlashBytes = 4 * 1024 * 1024;
  // Web MIDI has no maker or product IDs: every port names this maker, whatever its line says.
  const kManufacturer = 'Virtual console';

  let engine = null;
  let settings = null;          // the last configuration: devices, console ports, faults
  let journal = [];
  const inputs = new Map();     // by id, in the order the devices first appeared, as browsers keep them
  const outputs = new Map();
  const pending = new Set();    // events of answers not yet handed over, in the order they came
  let handedOver = 0;           // when the last reply reached the page, until its next message

  // Browsers hand MIDI events and port changes over in tasks of their own. A MessageChannel
  // makes one at once: a timer would be clamped to 4 ms once nested.
  const tasks = [];
  const channel = new MessageChannel();
  channel.port1.onmessage = () => tasks.shift()();
  const soon = (task) => {
    tasks.push(task);
    channel.port2.postMessage(null);
  };

  const call = (name, types, args) => engine.ccall(name, 'string', types, args);
  const note = (delivered, event) =>
    engine.ccall('vc_note', null, ['number', 'string', 'array', 'number'],
                 [delivered ? 1 : 0, event.kind, event.bytes, event.bytes.length]);

  function fire(target, type, fields) {
    target.dispatchEvent(Object.assign(new Event(type), fields));
  }

  // An event handler attribute, as onstatechange and onmidimessage are.
  function handlerAttribute(cls, type) {
    const key = Symbol(type);
    Object.defineProperty(cls.prototype, 'on' + type, {
      get() { return this[key] ?? null; },
      set(handler) {
        if (this[key]) this.removeEventListener(type, this[key]);
        this[key] = typeof handler === 'function' ? handler : null;
        if (this[key]) this.addEventListener(type, this[key]);
      },
    });
  }

  class MIDIAccess extends EventTarget {
    get inputs() { return inputs; }
    get outputs() { return outputs; }
    get sysexEnabled() { return true; }
  }
  handlerAttribute(MIDIAccess, 'statechange');
  const access = new MIDIAccess();

  // A port stays in its map once seen: unplugged it is "disconnected", and an open one
  // "pending" until it comes back, as Chromium keeps them.
  class MIDIPort extends EventTarget {
    #id; #name; #state = 'connected'; #connection = 'closed';
    index = -1;                 // its device's line among the configured ones; -1 while unplugged
    constructor(id, name) {
      super();
      this.#id = id;
      this.#name = name;
    }
    get id() { return this.#id; }
    get name() { return this.#name; }
    get manufacturer() { return kManufacturer; }
    get version() { return '1.0'; }
    get type() { return this instanceof MIDIInput ? 'input' : 'output'; }
    get state() { return this.#state; }
    get connection() { return this.#connection; }

    setStates(state, connection) {
      if (state === this.#state && connection === this.#connection) return;
      this.#state = state;
      this.#connection = connection;
      fire(this, 'statechange', {port: this});
      fire(access, 'statechange', {port: this});
    }
    open() {
      return new Promise((resolve, reject) => soon(() => {
        if (this.#connection !== 'closed') return resolve(this);
        if (this.#state === 'connected' && heldElsewhere(this))
          return reject(new DOMException(`${this.#name} is in use by another program.`, 'InvalidAccessError'));
        this.setStates(this.#state, this.#state === 'connected' ? 'open' : 'pending');
        resolve(this);
      }));
    }
    close() {
      return new Promise((resolve) => soon(() => {
        if (this.#connection !== 'closed') {
          this.setStates(this.#state, 'closed');
          closedOne();
        }
        resolve(this);
      }));
    }
  }
  handlerAttribute(MIDIPort, 'statechange');

  class MIDIInput extends MIDIPort {
    // A listener for MIDI messages opens the port, as in browsers.
    addEventListener(type, listener, options) {
      super.addEventListener(type, listener, options);
      if (type === 'midimessage') this.open().catch(() => {});
    }
  }
  handlerAttribute(MIDIInput, 'midimessage');

  class MIDIOutput extends MIDIPort {
    // The timestamp is not honoured: every message goes at once.
    send(data) {
      if (this.state === 'disconnected') throw new DOMException('The port is disconnected.', 'InvalidStateError');
      const messages = messagesOf(Uint8Array.from(data));
      if (this.connection === 'closed') this.open().catch(() => {});
      if (heldElsewhere(this) || !isConsole(settings.consoleOut, this)) return;
      for (const message of messages) receive(message);
    }
  }

  function heldElsewhere(port) {
    return port instanceof MIDIInput ? settings.failOpenIn || settings.busyIn.includes(port.index)
                                     : settings.busyOut.includes(port.index);
  }

  // Without console_out (console_in) lines every device of that direction is the console.
  function isConsole(indices, port) {
    return port.index >= 0 && (indices.length === 0 || indices.includes(port.index));
  }

  // Browsers take whole messages only: a status byte first, a SysEx message up to its end byte.
  function messagesOf(bytes) {
    const messages = [];
    for (let start = 0; start < bytes.length;) {
      const sysex = bytes[start] === 0xF0;
      let end = sysex ? bytes.indexOf(0xF7, start) + 1 : bytes.findIndex((b, i) => i > start && b >= 0x80);
      if (!sysex && end < 0) end = bytes.length;
      if (bytes[start] < 0x80 || end <= start)
        throw new TypeError('A message must start with a status byte and a SysEx message must end in the same send().');
      messages.push(bytes.slice(start, end));
      start = end;
    }
    return messages;
  }

  function receive(message) {
    const arrival = performance.now();
    if (message[0] !== 0xF0) {
      const packed = message.slice(0, 3).reduce((value, byte, i) => value | byte << 8 * i, 0);
      return engine.ccall('vc_receive_short', null, ['number'], [packed]);
    }
    if (handedOver) {
      engine.ccall('vc_note_turnaround', null, ['number'], [(arrival - handedOver) * 1000]);
      handedOver = 0;
    }
    const answer = JSON.parse(call('vc_receive', ['array', 'number'], [message, message.length]));
    if (answer.refused) throw new DOMException('The MIDI driver refused the message.', 'InvalidStateError');
    // An early answer is due at once, its pauses and delays ignored, as the driver hands it over
    // inside midiOutLongMsg.
    let due = arrival + (answer.early ? 0 : answer.delayMs);
    for (const event of answer.events) {
      due += answer.early ? 0 : event.pauseMs;
      const entry = {event, arrival, timer: 0, due: false, started: false, sent: 0};
      pending.add(entry);
      // Timers count whole milliseconds: rounded down, a reply would come before its time.
      const wait = Math.ceil(due - performance.now());
      if (wait > 0) entry.timer = setTimeout(() => release(entry), wait);
      else soon(() => release(entry));
    }
  }

  // An event falls due; it goes out once those before it have, whole, as from the driver's queue.
  function release(entry) {
    entry.due = true;
    if (entry === pending.values().next().value) start(entry);
  }

  function start(entry) {
    if (entry.started) return;
    entry.started = true;
    deliver(entry);
  }

  function finish(entry) {
    pending.delete(entry);
    const next = pending.values().next().value;
    if (next?.due) soon(() => start(next));
  }

  // The replies go to the first open console input only.
  function answeringInput() {
    for (const port of inputs.values()) {
      if (port.connection === 'open' && isConsole(settings.consoleIn, port)) return port;
    }
    return null;
  }

  // One midimessage per piece (pieces N), each in a task of its own. A browser drops a damaged
  // message (LongError): it is journaled as the driver hands it over, the page never sees it.
  function deliver(entry) {
    if (!pending.has(entry)) return;
    const {event} = entry;
    const input = answeringInput();
    if (!input || event.kind === 'LongError') {
      finish(entry);
      return note(input !== null, event);
    }
    if (entry.sent === 0) {
      note(true, event);
      if (event.kind === 'Sysex') {
        handedOver = performance.now();
        engine.ccall('vc_note_reply_delay', null, ['number'], [(handedOver - entry.arrival) * 1000]);
      }
    }
    const size = event.kind === 'Short' ? event.bytes.length : settings.pieceBytes || event.bytes.length;
    const data = Uint8Array.from(event.bytes.slice(entry.sent, entry.sent + size));
    entry.sent += size;
    if (entry.sent < event.bytes.length) soon(() => deliver(entry));
    else finish(entry);
    fire(input, 'midimessage', {data});
  }

  // Once every port is closed, the replies still due are dropped and the console closes, as
  // with the driver.
  function closedOne() {
    const all = [...inputs.values(), ...outputs.values()];
    if (all.some((port) => port.connection !== 'closed')) return;
    for (const entry of pending) {
      clearTimeout(entry.timer);
      note(false, entry.event);
    }
    pending.clear();
    handedOver = 0;
    engine.ccall('vc_closed', null, [], []);
  }

  // The lines only a browser has; they leave blank lines behind, so that the engine's
  // journal still names the lines of the text.
  function browserDirectives(text) {
    const web = {permissionDenied: false, busyOut: [], busyIn: []};
    const rest = text.split('\n').map((line) => {
      const [word, index, extra] = line.replace(/#.*/, '').trim().split(/\s+/);
      if (word === 'permission_denied' && index === undefined) web.permissionDenied = true;
      else if (/^busy_(out|in)$/.test(word) && /^\d+$/.test(index) && extra === undefined)
        web[word === 'busy_out' ? 'busyOut' : 'busyIn'].push(Number(index));
      else return line;
      return '';
    });
    return [web, rest.join('\n')];
  }

  // Devices plugged in and unplugged, with their statechange events.
  function plug(map, Port, devices, unreadable) {
    const present = new Set();
    devices.forEach((device, index) => {
      if (unreadable.includes(index)) return;   // a browser skips a device it cannot read
      // The same device stays the same port, identical ones are told apart by their order.
      const base = `${Port === MIDIInput ? 'input' : 'output'}-${device.mid}-${device.pid}-${device.name}`;
      let id = base;
      for (let n = 2; present.has(id); ++n) id = `${base}#${n}`;
      present.add(id);
      let port = map.get(id);
      if (!port) {
        port = new Port(id, device.name);
        map.set(id, port);
        fire(access, 'statechange', {port});
      }
      port.index = index;
      port.setStates('connected', port.connection === 'pending' ? 'open' : port.connection);
    });
    for (const port of map.values()) {
      if (present.has(port.id)) continue;
      port.index = -1;
      port.setStates('disconnected', port.connection === 'open' ? 'pending' : port.connection);
    }
  }

  function configure(text) {
    const [web, engineText] = browserDirectives(text);
    settings = {...JSON.parse(call('vc_configure', ['string'], [engineText])), ...web};
    plug(outputs, MIDIOutput, settings.outputs, settings.unreadableOut);
    plug(inputs, MIDIInput, settings.inputs, settings.unreadableIn);
    return settings.problems;
  }

  const started = createConsoleEngine().then((module) => {
    engine = module;
    configure(window.vconsoleConfig ?? '');
  });

  navigator.requestMIDIAccess = async () => {
    await started;
    if (settings.permissionDenied) throw new DOMException('Permission denied.', 'NotAllowedError');
    return access;
  };
  const query = navigator.permissions.query.bind(navigator.permissions);
  navigator.permissions.query = async (descriptor) => {
    if (descriptor?.name !== 'midi') return query(descriptor);
    await started;
    return Object.assign(new EventTarget(), {name: 'midi', state: settings.permissionDenied ? 'denied' : 'granted', onchange: null});
  };

  // The test and demo API.
  const flash = (address = 0, count = kFlashBytes) => {
    const start = engine.ccall('vc_flash', 'number', [], []);
    return start ? engine.HEAPU8.slice(start + address, start + Math.min(kFlashBytes, address + count)) : new Uint8Array();
  };
  window.vconsole = {
    configure: async (text) => (await started, configure(text)),
    journal: async () => {
      await started;
      const lines = call('vc_take_journal', [], []);
      if (lines) journal = journal.concat(lines.slice(0, -1).split('\n'));
      return journal.slice();
    },
    stats: async () => (await started, JSON.parse(call('vc_stats', [], []))),
    flash: async (address, count) => (await started, flash(address, count)),
    flashSha256: async () => {
      await started;
      const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', flash()));
      return Array.from(digest, (b) => b.toString(16).padStart(2, '0')).join('');
    },
  };
})();
