// Recordings made for the tests: a hummed melody (harmonics, vibrato, a breath of noise, silence
// between the notes) as samples, and those samples as the bytes of a WAV file.

// The melody: MIDI note numbers, each sung for `noteSeconds` with a short rest after it.
export const melody = [48, 55, 57, 55, 53, 52, 50, 48];

// Full-scale -1..1 samples of `notes` hummed at `rate` Hz, the same for the same arguments.
export function hummedMelody(rate, notes = melody, noteSeconds = 0.4, restSeconds = 0.12) {
  const noteLength = Math.round(noteSeconds * rate);
  const restLength = Math.round(restSeconds * rate);
  const samples = new Float64Array(restLength + notes.length * (noteLength + restLength));
  let seed = 12345;
  const noise = () => {
    seed = (seed * 1103515245 + 12345) % 2147483648;
    return seed / 1073741824 - 1;
  };
  notes.forEach((note, n) => {
    const start = restLength + n * (noteLength + restLength);
    let phase = 0;
    for (let i = 0; i < noteLength; i += 1) {
      const vibrato = 0.2 * Math.sin((2 * Math.PI * 5.5 * i) / rate);
      phase += (2 * Math.PI * 440 * 2 ** ((note + vibrato - 69) / 12)) / rate;
      const envelope = Math.min(1, i / (0.03 * rate), (noteLength - i) / (0.03 * rate));
      let value = 0;
      for (let k = 1; k <= 6; k += 1) value += Math.sin(k * phase) / k;
      samples[start + i] = 0.3 * envelope * value;
    }
  });
  return samples.map((value) => value + 0.002 * noise());
}

// The samples as the typed array of an encoding: 'u8' (8-bit PCM, 0..255), 's16' or 'f32'.
export function encoded(samples, encoding) {
  if (encoding === 'f32') return Float32Array.from(samples);
  if (encoding === 'u8') return Uint8Array.from(samples, (x) => Math.round(128 + 127 * x));
  return Int16Array.from(samples, (x) => Math.round(32767 * x));
}

// A RIFF WAVE file of one channel of `typed` (from encoded()) at `rate` Hz.
export function wavFile(typed, rate) {
  const bytesPerSample = typed.BYTES_PER_ELEMENT;
  const formatTag = typed instanceof Float32Array ? 3 : 1;
  const data = new Uint8Array(typed.buffer, typed.byteOffset, typed.byteLength);
  const file = new Uint8Array(44 + data.length);
  const view = new DataView(file.buffer);
  const text = (at, word) => [...word].forEach((c, i) => view.setUint8(at + i, c.charCodeAt(0)));
  text(0, 'RIFF');
  view.setUint32(4, 36 + data.length, true);
  text(8, 'WAVE');
  text(12, 'fmt ');
  view.setUint32(16, 16, true);
  view.setUint16(20, formatTag, true);
  view.setUint16(22, 1, true);
  view.setUint32(24, rate, true);
  view.setUint32(28, rate * bytesPerSample, true);
  view.setUint16(32, bytesPerSample, true);
  view.setUint16(34, 8 * bytesPerSample, true);
  text(36, 'data');
  view.setUint32(40, data.length, true);
  file.set(data, 44);
  return file;
}
