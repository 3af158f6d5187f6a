// The live tracker under node: blocks of any size at any rate give every frame of the precise
// analysis as it becomes final, with the whole recording's values, and its notes as they end.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { LiveTracker, PitchtrackError, init, track } from '../index.js';
import { encoded, hummedMelody } from './support/signals.js';

await init();

// Splits `samples` into blocks of 1 to `largest` samples, the same for the same seed.
function* randomBlocks(samples, largest, seed) {
  let state = seed;
  for (let start = 0; start < samples.length;) {
    state = (state * 48271) % 2147483647;
    const end = Math.min(samples.length, start + 1 + (state % largest));
    yield samples.subarray(start, end);
    start = end;
  }
}

const streams = [
  { rate: 8000, encoding: 'u8', largest: 300 },
  { rate: 16000, encoding: 's16', largest: 5000 },
  { rate: 44100, encoding: 'f32', largest: 128 },
  { rate: 48000, encoding: 'f32', largest: 20000 },
];

for (const { rate, encoding, largest } of streams) {
  test(`${encoding} at ${rate} Hz in blocks of up to ${largest}: the file's frames and notes, live`, () => {
    const samples = encoded(hummedMelody(rate), encoding);
    const bitsPerSample = encoding === 'u8' ? 8 : 16;
    const whole = encoding === 'f32' ? track(samples, rate, { precise: true })
      : track(samples, rate, bitsPerSample, { precise: true });
    const tracker = new LiveTracker(rate, { bitsPerSample });
    const frames = [];
    const notes = [];
    for (const block of randomBlocks(samples, largest, rate)) {
      const part = tracker.push(block);
      frames.push(...part.frames);
      notes.push(...part.notes);
    }
    const last = tracker.finish();
    assert.ok(last.frames.length <= 4, `${last.frames.length} frames waited for the end`);
    frames.push(...last.frames);
    notes.push(...last.notes);
    assert.deepEqual(frames.map((frame) => frame.index), [...frames.keys()]);
    for (const { index, value, hz, confidence } of frames) {
      const i = index - whole.firstFrame;
      const expected = i >= 0 && i < whole.length
        ? [whole.values[i], whole.hz[i], whole.confidence[i]] : [0, 0, 0];
      assert.deepEqual([value, hz, confidence], expected, `frame ${index}`);
    }
    assert.deepEqual(notes, whole.notes);
  });
}

test('a live tracker refuses what the library refuses, and use after finish', () => {
  assert.throws(() => new LiveTracker(800), PitchtrackError);
  assert.throws(() => new LiveTracker(8000, { bitsPerSample: 24 }), PitchtrackError);
  const tracker = new LiveTracker(8000, { bitsPerSample: 8 });
  assert.throws(() => tracker.push(new Int16Array(10)), TypeError);
  assert.throws(() => tracker.push(new Float32Array(10)), TypeError);
  tracker.finish();
  assert.throws(() => tracker.push(new Uint8Array(10)), Error);
  assert.throws(() => tracker.finish(), Error);
});
