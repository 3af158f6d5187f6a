// The page: a recording opened or dropped is tracked and drawn with its notes, and its results
// can be downloaded; "Sing" follows the microphone live (live.js).
import { PitchtrackError, init, track, trackWav } from '../index.js';
import { drawContour, noteName } from './contour_view.js';
import { startSinging } from './live.js';

// The rate at which the browser decodes formats other than WAV.
const decodeRate = 48000;
const canvas = document.getElementById('contour');
const status = document.getElementById('status');
const wasm = init();
let shown = null;  // {name, contour (the chosen analysis), precise (for the notes)}
let lastFile = null;

function report(text, isError = false) {
  status.textContent = text;
  status.classList.toggle('error', isError);
}

function isWav(bytes) {
  const tag = (at) => String.fromCharCode(...bytes.subarray(at, at + 4));
  return bytes.length >= 12 && tag(0) === 'RIFF' && tag(8) === 'WAVE';
}

// A recording the browser decodes, mixed to one channel at decodeRate Hz.
async function decoded(bytes) {
  const audio = await new OfflineAudioContext(1, 1, decodeRate).decodeAudioData(bytes.buffer);
  const mono = new Float32Array(audio.length);
  for (let c = 0; c < audio.numberOfChannels; c += 1) {
    audio.getChannelData(c).forEach((x, i) => { mono[i] += x / audio.numberOfChannels; });
  }
  return mono;
}

// Tracks the bytes with both analyses: the chosen one for the contour, the precise for notes.
async function analysed(bytes, name) {
  const analysis = document.getElementById('analysis').value;
  const samples = isWav(bytes) ? null : await decoded(bytes);
  const run = (precise) => (samples ? track(samples, decodeRate, { precise, name })
    : trackWav(bytes, { precise, name }));
  const started = performance.now();
  const precise = run(true);
  const contour = analysis === 'precise' ? precise : run(false);
  return { name, contour, precise, milliseconds: performance.now() - started };
}

function pitchedFrames(contour) {
  const frames = [];
  contour.values.forEach((value, i) => {
    if (value !== 0) {
      const seconds = contour.startSeconds(i) + contour.frameSeconds / 2;
      frames.push({ index: contour.firstFrame + i, seconds, midi: value / 10 });
    }
  });
  return frames;
}

function listNotes(notes) {
  const list = document.getElementById('notes');
  list.replaceChildren(...notes.map((note) => {
    const item = document.createElement('li');
    item.dataset.midi = note.midiNote;
    item.textContent = `${noteName(note.midiNote)} ${note.onsetSeconds.toFixed(2)}–`
      + `${note.offsetSeconds.toFixed(2)} s`;
    return item;
  }));
}

// Draws the shown recording (again, after a resize).
function drawShown() {
  if (!shown) return;
  const { contour, precise } = shown;
  const drawn = drawContour(canvas, {
    frames: pitchedFrames(contour),
    notes: precise.notes,
    fromSeconds: 0,
    toSeconds: Math.max(contour.recordingSeconds, 1),
  });
  canvas.dataset.pitchedFrames = drawn;
}

async function open(file) {
  lastFile = file;
  report(`Tracking ${file.name}…`);
  try {
    await wasm;
    shown = await analysed(new Uint8Array(await file.arrayBuffer()), file.name);
  } catch (error) {
    const reason = error instanceof PitchtrackError ? error.message : `${file.name}: ${error.message}`;
    report(reason, true);
    return;
  }
  const { contour, precise, milliseconds } = shown;
  drawShown();
  listNotes(precise.notes);
  document.querySelectorAll('.downloads button').forEach((button) => { button.disabled = false; });
  report(`${file.name}: ${contour.recordingSeconds.toFixed(1)} s, ${canvas.dataset.pitchedFrames} `
    + `pitched frames, ${precise.notes.length} notes (tracked in ${milliseconds.toFixed(0)} ms)`);
}

function download(format) {
  const source = format.startsWith('notes') || format === 'midi' ? shown.precise : shown.contour;
  const extension = { csv: '.csv', json: '.json', 'notes-csv': '.notes.csv', midi: '.mid' }[format];
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([source.bytes(format)]));
  link.download = shown.name.replace(/\.[^.]*$/, '') + extension;
  link.click();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

function wireDrops() {
  const { body } = document;
  const dragging = (on) => (event) => {
    event.preventDefault();
    body.classList.toggle('dragging', on);
  };
  ['dragenter', 'dragover'].forEach((type) => body.addEventListener(type, dragging(true)));
  body.addEventListener('dragleave', dragging(false));
  body.addEventListener('drop', (event) => {
    dragging(false)(event);
    const [file] = event.dataTransfer.files;
    if (file) open(file);
  });
}

document.getElementById('context-rate').textContent = `${decodeRate} Hz`;
document.getElementById('file').addEventListener('change', (event) => {
  const [file] = event.target.files;
  if (file) open(file);
});
document.getElementById('analysis').addEventListener('change', () => {
  if (lastFile) open(lastFile);
});
document.querySelectorAll('.downloads button').forEach((button) => {
  button.addEventListener('click', () => download(button.dataset.format));
});
document.getElementById('sing').addEventListener('click', async () => {
  startSinging(await wasm, { canvas, report });
});
window.addEventListener('resize', drawShown);
wireDrops();
wasm.then(() => { document.body.dataset.ready = 'true'; },
  (error) => report(`The module did not load: ${error.message}`, true));
