// "Sing": the microphone (with the browser's echo cancellation, noise suppression and gain
// control off, which would bend the pitch and the level) goes through an AudioWorklet that runs
// the live precise tracker (live_worklet.js). The page scrolls the contour, with each note drawn
// once it has ended, and shows the note of the latest frame with its cents, large. Each change of the shown note is announced by a
// "notechange" event on #now, with the seconds from the start of the note's first frame in the
// microphone's audio to the frame on screen.
import { drawContour, noteName } from './contour_view.js';

const viewSeconds = 8;
const keptSeconds = 60;
let session = null;

function nearestNote(hz) {
  const midi = 69 + 12 * Math.log2(hz / 440);
  const note = Math.round(midi);
  return { note, cents: Math.round(100 * (midi - note)) };
}

class LiveSession {
  constructor(module, { canvas, report }) {
    Object.assign(this, { module, canvas, report });
    this.frames = [];  // pitched frames of the last keptSeconds, for the drawing
    this.notes = [];  // the notes that ended in the last keptSeconds
    this.latest = null;
    this.shownNote = null;
    this.onsetTime = null;  // audio clock at which the shown note's first frame began to arrive
    this.nameView = document.getElementById('note-name');
    this.centsView = document.getElementById('note-cents');
  }

  async start() {
    this.stream = await navigator.mediaDevices.getUserMedia({
      audio: { echoCancellation: false, noiseSuppression: false, autoGainControl: false },
    });
    this.context = new AudioContext();
    await this.context.audioWorklet.addModule(new URL('./live_worklet.js', import.meta.url));
    this.node = new AudioWorkletNode(this.context, 'pitchtrack-live', {
      numberOfInputs: 1,
      numberOfOutputs: 0,
      channelCount: 1,
      channelCountMode: 'explicit',
      processorOptions: { module: this.module },
    });
    this.node.port.onmessage = ({ data }) => this.receive(data);
    this.context.createMediaStreamSource(this.stream).connect(this.node);
    this.report(`Listening at ${this.context.sampleRate} Hz…`);
    this.drawing = requestAnimationFrame(() => this.draw());
  }

  receive({ frames, notes, received, clock, finished, error }) {
    if (error) this.report(`The live tracker did not start: ${error}`, true);
    // Sample s of the stream arrived at clock - (received - s) / rate on the audio clock.
    const arrival = (seconds) => clock - (received / this.context.sampleRate - seconds);
    for (const frame of frames ?? []) this.take(frame, arrival);
    this.notes.push(...(notes ?? []));
    if (finished) this.close();
  }

  take(frame, arrival) {
    this.latest = frame;
    if (frame.value === 0) return;
    const seconds = frame.startSeconds + 0.016;
    this.frames.push({ index: frame.index, seconds, midi: frame.value / 10 });
    const { note } = nearestNote(frame.hz);
    if (note !== this.shownNote) {
      this.shownNote = note;
      this.onsetTime = arrival(frame.startSeconds);
      this.announced = false;
    }
  }

  show() {
    const frame = this.latest;
    this.nameView.classList.toggle('idle', !frame || frame.value === 0);
    if (!frame || frame.value === 0) {
      this.nameView.textContent = '–';
      this.centsView.textContent = '';
      return;
    }
    const { note, cents } = nearestNote(frame.hz);
    this.nameView.textContent = noteName(note);
    this.centsView.textContent = `${cents >= 0 ? '+' : '−'}${Math.abs(cents)} ¢`;
    if (!this.announced && note === this.shownNote) {
      this.announced = true;
      const latencySeconds = this.context.currentTime - this.onsetTime;
      document.getElementById('now').dispatchEvent(new CustomEvent('notechange', {
        detail: { note: noteName(note), midiNote: note, latencySeconds },
      }));
    }
  }

  draw() {
    this.show();
    const now = this.latest ? this.latest.startSeconds + 0.032 : 0;
    this.frames = this.frames.filter((frame) => frame.seconds > now - keptSeconds);
    this.notes = this.notes.filter((note) => note.offsetSeconds > now - keptSeconds);
    drawContour(this.canvas, {
      frames: this.frames.filter((frame) => frame.seconds > now - viewSeconds),
      notes: this.notes.filter((note) => note.offsetSeconds > now - viewSeconds),
      fromSeconds: now - viewSeconds,
      toSeconds: now,
    });
    if (!this.closed) this.drawing = requestAnimationFrame(() => this.draw());
  }

  stop() {
    this.node.port.postMessage('finish');
  }

  close() {
    this.closed = true;
    cancelAnimationFrame(this.drawing);
    this.stream.getTracks().forEach((track) => track.stop());
    this.context.close();
    const seconds = this.latest ? this.latest.startSeconds + 0.032 : 0;
    this.report(`Stopped after ${seconds.toFixed(1)} s.`);
  }
}

// Starts following the microphone, or stops when it is already followed.
export async function startSinging(module, page) {
  const button = document.getElementById('sing');
  if (session) {
    session.stop();
    session = null;
    button.textContent = 'Sing';
    button.classList.remove('live');
    return;
  }
  session = new LiveSession(module, page);
  button.textContent = 'Stop';
  button.classList.add('live');
  button.disabled = true;  // until the microphone runs, so that a stop finds it running
  try {
    await session.start();
  } catch (error) {
    page.report(`No microphone: ${error.message}`, true);
    session = null;
    button.textContent = 'Sing';
    button.classList.remove('live');
  } finally {
    button.disabled = false;
  }
}
