// pitchtrack in WebAssembly: the types of index.js.

/** Loads the module (by default dist/pitchtrack.wasm beside index.js); resolves to the compiled
 * module, which a worklet or worker can be handed. */
export function init(source?: URL | string | BufferSource | WebAssembly.Module): Promise<WebAssembly.Module>;

export interface Options {
  /** The precise analysis: tenths of a semitone, Hz and confidence per frame, and notes. */
  precise?: boolean;
  /** The default analysis' voicing: relative to the recording (default) or strict. */
  voicing?: 'relative' | 'strict';
  /** The default analysis: scale the recording to full range before the reduction to 8 bits. */
  normalize?: boolean;
  /** The default analysis: keep the last stretch of sound however long the silence before it. */
  keepFinal?: boolean;
  /** Notes: the shortest note in seconds, 0.03 to 10 (default 0.1). */
  minNoteSeconds?: number;
  /** Notes: the dip and rise of the level in dB that starts a new note, 1 to 60 (default 6). */
  onsetDb?: number;
  /** The recording's name in errors and in the JSON outputs (default 'recording.wav'). */
  name?: string;
}

export interface Note {
  onsetSeconds: number;
  offsetSeconds: number;
  /** The nearest MIDI note number (69 = A4) to the note's median pitch. */
  midiNote: number;
  /** The median pitch's deviation from midiNote, -50..50. */
  cents: number;
  hz: number;
  frames: number;
  confidence: number;
  levelDb: number;
  velocity: number;
}

export interface Warning {
  kind: 'clipping' | 'quietRecording' | 'finalStretchDropped' | 'outsideFinalRange' |
    'emptyContour' | 'streamEndedEarly';
  startSeconds: number;
  endSeconds: number;
  message: string;
}

export type OutputFormat = 'line' | 'csv' | 'json' | 'notes' | 'notes-csv' | 'notes-json' | 'midi';

export class Contour {
  /** Tenths of a semitone per 32 ms frame; 0 = no pitch. Unpitched frames at both ends cut. */
  readonly values: Int32Array;
  /** Index in the recording of the frame of values[0]. */
  readonly firstFrame: number;
  readonly frameSeconds: number;
  readonly recordingSeconds: number;
  /** The precise analysis: measured Hz and confidence per value (empty from the default one). */
  readonly hz: Float64Array;
  readonly confidence: Float64Array;
  /** The precise analysis: the notes (empty from the default one). */
  readonly notes: Note[];
  /** The progress lines the tool prints ("fs=44100 ===> Resample to have fs=8000", ...). */
  readonly progress: string[];
  readonly warnings: Warning[];
  readonly name: string;
  readonly length: number;
  startSeconds(i: number): number;
  /** The bytes the pitchtrack tool writes with that --format (and --notes). */
  bytes(format?: OutputFormat): Uint8Array;
  text(format?: Exclude<OutputFormat, 'midi'>): string;
}

/** A refusal of the library: kind 'wave' (with the tool's reason and code), 'argument',
 * 'length', 'memory', 'state' or 'internal'. */
export class PitchtrackError extends Error {
  readonly kind: 'wave' | 'argument' | 'length' | 'memory' | 'state' | 'internal';
  readonly reason?: string;
  readonly code?: number;
}

/** The contour of a recording file's bytes, read by the library's own reader (WAV). */
export function trackWav(bytes: Uint8Array | ArrayBuffer, options?: Options): Contour;

/** One channel of samples: Int16Array (16-bit) or Uint8Array (8-bit PCM, 0..255) with their
 * bitsPerSample, or Float32Array of full scale -1..1. */
export function track(samples: Int16Array | Uint8Array, sampleRate: number, bitsPerSample: 8 | 16,
  options?: Options): Contour;
export function track(samples: Float32Array, sampleRate: number, options?: Options): Contour;

export interface Frame {
  /** Frame `index` covers index * 32 ms .. (index + 1) * 32 ms of the stream. */
  index: number;
  startSeconds: number;
  /** Tenths of a semitone, rounded; 0 = no pitch. */
  value: number;
  hz: number;
  confidence: number;
}

/** The precise analysis of a stream, block by block: each frame as soon as it is final (80 ms
 * of audio past its end), each note as soon as it ends; nothing kept. */
export class LiveTracker {
  constructor(sampleRate: number, options?: { bitsPerSample?: 8 | 16; minNoteSeconds?: number;
    onsetDb?: number });
  push(samples: Float32Array | Int16Array | Uint8Array): { frames: Frame[]; notes: Note[] };
  finish(): { frames: Frame[]; notes: Note[] };
}
