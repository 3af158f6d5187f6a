// The module under node against the native tool: the golden cases, every output format of both
// analyses on generated recordings through every entry, the refusals, and the size.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { test } from 'node:test';
import { gzipSync } from 'node:zlib';

import { PitchtrackError, init, track, trackWav } from '../index.js';
import { formatArguments, repositoryRoot, runTool } from './support/native.js';
import { encoded, hummedMelody, wavFile } from './support/signals.js';

await init();

const goldenFolder = join(repositoryRoot, 'tests', 'data', 'golden');

test('every golden case gives the pitch file and progress lines of the tool', () => {
  const cases = readdirSync(goldenFolder);
  assert.equal(cases.length, 12);
  for (const name of cases) {
    const folder = join(goldenFolder, name);
    const contour = trackWav(readFileSync(join(folder, 'in.wav')));
    assert.equal(contour.text(), readFileSync(join(folder, 'expected.pitch'), 'utf8'), name);
    const lines = contour.progress.map((line) => `${line}\n`).join('');
    assert.equal(`${lines}Writing pitch to out.pitch\n`,
      readFileSync(join(folder, 'stdout.txt'), 'utf8'), name);
  }
});

const recordings = [
  { rate: 8000, encoding: 'u8' },
  { rate: 16000, encoding: 's16' },
  { rate: 44100, encoding: 's16' },
  { rate: 48000, encoding: 'f32' },
  { rate: 11025, encoding: 'f32' },
];
const outputs = [
  ...['line', 'csv', 'json'].flatMap((format) => [[format, false], [format, true]]),
  ...['notes', 'notes-csv', 'notes-json', 'midi'].map((format) => [format, true]),
];

for (const { rate, encoding } of recordings) {
  test(`${encoding} at ${rate} Hz: every format of both analyses, by file and by samples`, () => {
    const samples = encoded(hummedMelody(rate), encoding);
    const file = wavFile(samples, rate);
    for (const [format, precise] of outputs) {
      const native = runTool(file, 'rec.wav', ['-q', ...formatArguments(format, precise)]);
      assert.equal(native.status, 0, native.stderr);
      const options = { precise, name: 'rec.wav' };
      const fromFile = trackWav(file, options);
      const fromSamples = encoding === 'f32' ? track(samples, rate, options)
        : track(samples, rate, encoding === 'u8' ? 8 : 16, options);
      assert.deepEqual(fromFile.bytes(format), new Uint8Array(native.stdout), format);
      assert.deepEqual(fromSamples.bytes(format), new Uint8Array(native.stdout), format);
    }
    assert.equal(trackWav(file, { precise: true }).notes.length, 8);
  });
}

test('a recording the tool refuses is refused for the same reason', () => {
  const file = wavFile(encoded(hummedMelody(8000), 's16'), 8000);
  const twelveBit = file.slice();
  twelveBit[34] = 12;
  for (const bytes of [file.slice(0, 1000), twelveBit, new TextEncoder().encode('hello')]) {
    const native = runTool(bytes, 'bad.wav', []);
    assert.equal(native.status, 1);
    assert.throws(() => trackWav(bytes, { name: 'bad.wav' }), (error) => {
      assert.ok(error instanceof PitchtrackError);
      assert.equal(error.kind, 'wave');
      assert.ok(native.stderr.includes(`pitchtrack: bad.wav: ${error.reason}\n`), native.stderr);
      return true;
    });
  }
});

test('wrong arguments are refused, not tracked', () => {
  const samples = new Int16Array(8000);
  const refusals = [
    [() => track(samples, 500, 16), PitchtrackError],
    [() => track(samples, 8000, 12), PitchtrackError],
    [() => track(samples, 8000), TypeError],
    [() => track(new Uint8Array(10), 8000, 16), TypeError],
    [() => track(new Float32Array(10), 8000, 16), TypeError],
    [() => track(samples, 8000.5, 16), TypeError],
    [() => track(samples, 2 ** 32 + 8000, 16), TypeError],
    [() => track(samples, 8000, 2 ** 32 + 16), TypeError],
    [() => track(samples, 8000, 16, { percise: true }), TypeError],
    [() => track(samples, 8000, 16, { voicing: 'loose' }), TypeError],
    [() => track(samples, 8000, 16, { precise: true, minNoteSeconds: 1e300 }), RangeError],
    [() => track(samples, 8000, 16, { precise: true, onsetDb: NaN }), RangeError],
    [() => trackWav('in.wav'), TypeError],
    [() => trackWav(new Uint8Array(0)).text('xml'), PitchtrackError],
  ];
  for (const [call, kind] of refusals) assert.throws(call, kind, call.toString());
});

test('a module that cannot be instantiated rejects init() and leaves the loaded one', async () => {
  const empty = new WebAssembly.Module(new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0]));
  await assert.rejects(init(empty));
  await assert.rejects(init(new URL('file:///nonexistent/pitchtrack.wasm')));
  assert.equal(trackWav(readFileSync(join(goldenFolder, '01_melody_8k_u8', 'in.wav'))).length, 163);
});

test('the module and its .wasm are at most 300 KB gzip-compressed', (t) => {
  const dist = join(repositoryRoot, 'web', 'dist');
  const size = ['pitchtrack.mjs', 'pitchtrack.wasm']
    .map((name) => gzipSync(readFileSync(join(dist, name)), { level: 9 }).length)
    .reduce((a, b) => a + b);
  t.diagnostic(`module + wasm: ${size} bytes gzip-compressed`);
  assert.ok(size <= 300 * 1024, `${size} bytes`);
});

test('npm pack gives a tarball that installs offline and tracks', () => {
  const folder = mkdtempSync(join(tmpdir(), 'pitchtrack-pack-'));
  try {
    const npm = (args, cwd) => execFileSync('npm', [...args, '--no-audit', '--no-fund'],
      { cwd, stdio: 'ignore' });
    npm(['pack', '--pack-destination', folder], join(repositoryRoot, 'web'));
    writeFileSync(join(folder, 'package.json'), '{"name": "app", "private": true, "type": "module"}');
    npm(['install', '--offline', './pitchtrack-2.0.0.tgz'], folder);
    const script = "import { init, trackWav } from 'pitchtrack'; import { readFileSync } from 'node:fs';"
      + "await init(); process.stdout.write(trackWav(readFileSync(process.argv[2])).text());";
    writeFileSync(join(folder, 'run.mjs'), script);
    const melody = join(repositoryRoot, 'examples', 'melody.wav');
    const output = execFileSync('node', ['run.mjs', melody], { cwd: folder }).toString();
    assert.equal(output, readFileSync(join(repositoryRoot, 'examples', 'melody.pitch'), 'utf8'));
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});
