// pitchtrack in JavaScript: the library compiled to WebAssembly (dist/), with the pitchtrack
// tool's results and output bytes. Works in pages, workers, AudioWorklets and node.
//
//   import { init, trackWav } from 'pitchtrack';
//   await init();
//   const contour = trackWav(bytesOfAWavFile, { precise: true });
//   contour.values; contour.notes; contour.text('csv'); contour.bytes('midi');
import createPitchtrack from './dist/pitchtrack.mjs';

let engine = null;

const isNode = typeof process === 'object' && typeof process.versions?.node === 'string';

async function compiledModule(source) {
  if (source instanceof WebAssembly.Module) return source;
  if (source instanceof ArrayBuffer || ArrayBuffer.isView(source)) {
    return WebAssembly.compile(source);
  }
  const url = source ?? new URL('./dist/pitchtrack.wasm', import.meta.url);
  if (isNode) {
    const { readFile } = await import('node:fs/promises');
    return WebAssembly.compile(await readFile(url));
  }
  const response = await fetch(url);
  if (!response.ok) throw new Error(`cannot load ${url}: HTTP ${response.status}`);
  return WebAssembly.compile(await response.arrayBuffer());
}

// Loads the module; every other entry needs it. `source` is where the .wasm comes from: by
// default the file beside this one (read in node, fetched elsewhere); or a URL, the .wasm's
// bytes, or a compiled WebAssembly.Module (what an AudioWorklet, which cannot fetch, is handed).
// Resolves to the compiled module, which can be posted to a worklet or a worker.
export async function init(source) {
  const wasm = await compiledModule(source);
  // A failed instantiation rejects here: emscripten's own promise would never settle.
  engine = await new Promise((resolve, reject) => {
    createPitchtrack({
      locateFile: (path) => path,
      instantiateWasm(imports, receive) {
        WebAssembly.instantiate(wasm, imports).then((instance) => receive(instance, wasm))
          .catch(reject);
        return {};
      },
    }).then(resolve, reject);
  });
  return wasm;
}

function loaded() {
  if (!engine) throw new Error('pitchtrack: call and await init() first');
  return engine;
}

// A refusal of the library: `kind` is 'wave' (a recording that cannot be read; `reason` and
// `code` as the tool reports them), 'argument' (a rate, sample size or sample out of range),
// 'length', 'memory', 'state' or 'internal'.
export class PitchtrackError extends Error {
  constructor({ kind, message, reason, code }) {
    super(message);
    this.name = 'PitchtrackError';
    this.kind = kind;
    if (reason !== undefined) this.reason = reason;
    if (code !== undefined) this.code = code;
  }
}

function checked(answer) {
  if (answer.error) throw new PitchtrackError(answer.error);
  return answer;
}

const optionNames = new Set(['precise', 'voicing', 'normalize', 'keepFinal', 'minNoteSeconds',
  'onsetDb', 'name']);

// A number option within the range the tool's option takes.
function within(options, key, fallback, low, high) {
  const value = options[key] ?? fallback;
  if (typeof value !== 'number' || !(value >= low && value <= high)) {
    throw new RangeError(`pitchtrack: ${key} is a number from ${low} to ${high}, not ${value}`);
  }
  return value;
}

function moduleOptions(options = {}) {
  for (const key of Object.keys(options)) {
    if (!optionNames.has(key)) throw new TypeError(`pitchtrack: unknown option '${key}'`);
  }
  const { voicing = 'relative' } = options;
  if (voicing !== 'relative' && voicing !== 'strict') {
    throw new TypeError(`pitchtrack: voicing is 'relative' or 'strict', not '${voicing}'`);
  }
  return {
    precise: Boolean(options.precise),
    strictVoicing: voicing === 'strict',
    normalize: Boolean(options.normalize),
    keepFinal: Boolean(options.keepFinal),
    minNoteSeconds: within(options, 'minNoteSeconds', 0.1, 0.03, 10),
    onsetDb: within(options, 'onsetDb', 6, 1, 60),
    name: String(options.name ?? 'recording.wav'),
  };
}

// The contour of a recording, as the library's Contour holds it, with the tool's outputs.
export class Contour {
  constructor(raw, name) {
    this.values = raw.values;
    this.firstFrame = raw.firstFrame;
    this.frameSeconds = raw.frameSeconds;
    this.recordingSeconds = raw.recordingSeconds;
    this.hz = raw.hz;
    this.confidence = raw.confidence;
    this.notes = raw.notes;
    this.progress = raw.progress;
    this.warnings = raw.warnings;
    this.name = name;
  }

  get length() {
    return this.values.length;
  }

  // Start of value i's frame, in seconds from the start of the recording.
  startSeconds(i) {
    return (this.firstFrame + i) * this.frameSeconds;
  }

  // The bytes the pitchtrack tool writes for this recording with --format=FORMAT: 'line' (the
  // pitch file), 'csv', 'json'; of the notes, 'notes', 'notes-csv', 'notes-json', 'midi'.
  bytes(format = 'line') {
    return checked(loaded().outputBytes(format, this, this.name));
  }

  // The same as text; every format but 'midi' is text.
  text(format = 'line') {
    return new TextDecoder().decode(this.bytes(format));
  }
}

function tracked(answer, options) {
  return new Contour(checked(answer), options.name);
}

// The contour of a recording file's bytes (a Uint8Array or an ArrayBuffer), read by the
// library's own reader: every WAV the tool reads (8-, 16-, 24-, 32-bit PCM, float, mu-law,
// A-law, any channel count and rate), the same contour, byte for byte.
export function trackWav(bytes, options = {}) {
  const data = bytes instanceof ArrayBuffer ? new Uint8Array(bytes) : bytes;
  if (!(data instanceof Uint8Array)) {
    throw new TypeError('pitchtrack: trackWav takes a Uint8Array or an ArrayBuffer');
  }
  const settings = moduleOptions(options);
  return tracked(loaded().trackWavBytes(data, settings), settings);
}

// A whole number that reaches the library as it is (embind would wrap a larger one into 32 bits,
// turning 2^32 + 8000 Hz into 8000 Hz); the library then checks its range.
function checkWhole(name, value) {
  if (!Number.isInteger(value) || Math.abs(value) >= 2 ** 31) {
    throw new TypeError(`pitchtrack: ${name} is a whole number, not ${value}`);
  }
}

// The contour of one channel of samples at sampleRate Hz:
//   track(int16Array, sampleRate, 16, options)   signed 16-bit samples
//   track(uint8Array, sampleRate, 8, options)    8-bit PCM, the unsigned values 0..255
//   track(float32Array, sampleRate, options)     full scale -1..1, converted as the reader
//                                                converts a float WAV's samples
export function track(samples, sampleRate, bitsPerSample, options) {
  checkWhole('the sample rate', sampleRate);
  if (samples instanceof Float32Array) {
    if (typeof bitsPerSample === 'number') {
      throw new TypeError('pitchtrack: Float32Array samples take no bitsPerSample');
    }
    const settings = moduleOptions(bitsPerSample);
    return tracked(loaded().trackFloatSamples(samples, sampleRate, settings), settings);
  }
  if (!(samples instanceof Int16Array || samples instanceof Uint8Array)) {
    throw new TypeError('pitchtrack: samples are an Int16Array, a Uint8Array or a Float32Array');
  }
  checkWhole('bitsPerSample', bitsPerSample);
  if (samples instanceof Uint8Array && bitsPerSample !== 8) {
    throw new TypeError('pitchtrack: a Uint8Array holds 8-bit samples: bitsPerSample is 8');
  }
  const settings = moduleOptions(options);
  return tracked(loaded().trackIntegerSamples(samples, sampleRate, bitsPerSample, settings),
    settings);
}

function finalPart(answer) {
  const { frames, notes } = checked(answer);
  for (const frame of frames) frame.startSeconds = frame.index * 0.032;
  return { frames, notes };
}

// Follows a recording while it is made, with the precise analysis: push() each block of samples
// as it arrives (any size) and get the frames that became final, each as soon as the audio up to
// 80 ms past its end has arrived, and the notes that ended. Every frame comes, from index 0 on,
// also the unpitched ones; its value, hz and confidence are those the whole recording's precise
// contour holds for it. Nothing of the recording is kept, so it may run for ever; finish() ends
// it and frees its memory.
//   new LiveTracker(sampleRate)                      Float32Array or Int16Array blocks
//   new LiveTracker(sampleRate, { bitsPerSample: 8 }) Uint8Array blocks of 8-bit PCM
// The other options are minNoteSeconds and onsetDb (how frames are grouped into notes).
export class LiveTracker {
  constructor(sampleRate, { bitsPerSample = 16, ...options } = {}) {
    checkWhole('the sample rate', sampleRate);
    checkWhole('bitsPerSample', bitsPerSample);
    const engine = loaded();
    this.bitsPerSample = bitsPerSample;
    this.session = new engine.LiveSession();
    const refusal = this.session.open(sampleRate, bitsPerSample, moduleOptions(options));
    if (refusal) {
      this.session.delete();
      throw new PitchtrackError(refusal.error);
    }
  }

  // {frames: [{index, startSeconds, value, hz, confidence}], notes: [Note]}: what became final.
  push(samples) {
    if (!this.session) throw new Error('pitchtrack: push after finish');
    if (samples instanceof Float32Array && this.bitsPerSample === 16) {
      return finalPart(this.session.pushFloats(samples));
    }
    const fits = this.bitsPerSample === 8 ? samples instanceof Uint8Array
      : samples instanceof Int16Array;
    if (!fits) {
      throw new TypeError(`pitchtrack: this tracker takes ${this.bitsPerSample === 8
        ? 'Uint8Array' : 'Int16Array or Float32Array'} blocks`);
    }
    return finalPart(this.session.pushIntegers(samples));
  }

  // Ends the stream: the last frames and notes.
  finish() {
    if (!this.session) throw new Error('pitchtrack: finish called twice');
    try {
      return finalPart(this.session.finish());
    } finally {
      this.session.delete();
      this.session = null;
    }
  }
}
