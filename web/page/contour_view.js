// Draws pitched frames and notes on a note axis: time across (marked in seconds), one row per
// semitone up the side, named at every note when there is room and at every C otherwise.

const names = ['C', 'C♯', 'D', 'E♭', 'E', 'F', 'F♯', 'G', 'A♭', 'A', 'B♭', 'B'];

// "C4" for MIDI note 60.
export function noteName(midi) {
  return `${names[((midi % 12) + 12) % 12]}${Math.floor(midi / 12) - 1}`;
}

// The semitone range to show: the frames' and notes' pitches with a margin, an octave at least.
function pitchRange(frames, notes) {
  let low = Infinity;
  let high = -Infinity;
  for (const { midi } of frames) [low, high] = [Math.min(low, midi), Math.max(high, midi)];
  for (const { midiNote } of notes) [low, high] = [Math.min(low, midiNote), Math.max(high, midiNote)];
  if (low > high) [low, high] = [48, 60];
  low = Math.floor(low) - 2;
  high = Math.ceil(high) + 2;
  const missing = 12 - (high - low);
  if (missing > 0) [low, high] = [low - Math.floor(missing / 2), high + Math.ceil(missing / 2)];
  return { low, high };
}

// A 2D context on `canvas` sized to its box in device pixels, drawing in CSS pixels.
function fittedContext(canvas) {
  const scale = window.devicePixelRatio || 1;
  const { width, height } = canvas.getBoundingClientRect();
  canvas.width = Math.round(width * scale);
  canvas.height = Math.round(height * scale);
  const context = canvas.getContext('2d');
  context.setTransform(scale, 0, 0, scale, 0, 0);
  return { context, width, height };
}

function drawAxis(context, area, range, y) {
  const rowHeight = area.height / (range.high - range.low);
  context.font = '11px system-ui, sans-serif';
  context.textBaseline = 'middle';
  for (let midi = range.low; midi <= range.high; midi += 1) {
    const isC = midi % 12 === 0;
    context.strokeStyle = isC ? '#b8c2d1' : '#edf0f4';
    context.beginPath();
    context.moveTo(area.left, y(midi));
    context.lineTo(area.right, y(midi));
    context.stroke();
    if (isC || rowHeight >= 13) {
      context.fillStyle = isC ? '#1d2430' : '#6b778a';
      context.fillText(noteName(midi), 4, y(midi));
    }
  }
}

// Marks whole seconds (or every 2, 5, 10, ... when they would crowd) along the bottom.
function drawTimes(context, area, fromSeconds, toSeconds, x) {
  const perSecond = (area.right - area.left) / (toSeconds - fromSeconds);
  const step = [0.5, 1, 2, 5, 10, 20, 30, 60, 120, 300].find((s) => s * perSecond >= 56) ?? 600;
  context.fillStyle = '#6b778a';
  context.textBaseline = 'top';
  context.textAlign = 'center';
  for (let t = Math.ceil(fromSeconds / step) * step; t <= toSeconds; t += step) {
    context.fillRect(x(t), area.bottom, 1, 4);
    context.fillText(`${Number(t.toFixed(1))} s`, x(t), area.bottom + 5);
  }
  context.textAlign = 'start';
}

function drawNotes(context, notes, x, y, rowHeight) {
  context.fillStyle = 'rgba(58, 111, 216, 0.22)';
  for (const note of notes) {
    const left = x(note.onsetSeconds);
    context.fillRect(left, y(note.midiNote) - rowHeight / 2, x(note.offsetSeconds) - left, rowHeight);
  }
}

// Draws the frames as a line (broken where frames are missing) with a dot each; returns how many
// were drawn.
function drawFrames(context, frames, x, y) {
  context.strokeStyle = '#c8323c';
  context.fillStyle = '#c8323c';
  context.lineWidth = 1.5;
  let previous = null;
  for (const frame of frames) {
    context.beginPath();
    if (previous && frame.index === previous.index + 1) {
      context.moveTo(x(previous.seconds), y(previous.midi));
      context.lineTo(x(frame.seconds), y(frame.midi));
      context.stroke();
    }
    context.fillRect(x(frame.seconds) - 1, y(frame.midi) - 1, 2, 2);
    previous = frame;
  }
  return frames.length;
}

// Draws `frames` ({index, seconds, midi}: pitched frames only, by time) and `notes` (the
// library's notes) between `fromSeconds` and `toSeconds`. Returns the number of frames drawn.
export function drawContour(canvas, { frames, notes, fromSeconds, toSeconds }) {
  const { context, width, height } = fittedContext(canvas);
  context.clearRect(0, 0, width, height);
  const area = { left: 40, right: width - 16, top: 8, bottom: height - 22 };
  area.height = area.bottom - area.top;
  const range = pitchRange(frames, notes);
  const span = Math.max(toSeconds - fromSeconds, 1e-3);
  const x = (seconds) => area.left + ((seconds - fromSeconds) / span) * (area.right - area.left);
  const y = (midi) => area.bottom - ((midi - range.low) / (range.high - range.low)) * area.height;
  drawAxis(context, area, range, y);
  drawTimes(context, area, fromSeconds, fromSeconds + span, x);
  drawNotes(context, notes, x, y, area.height / (range.high - range.low));
  return drawFrames(context, frames, x, y);
}
