// The page in headless Chromium: a WAV through the file input draws the tool's frames, lists its
// notes and downloads the tool's bytes, a FLAC copy goes through the browser's decoder, the
// default analysis of a minute of audio is timed, the microphone path (Chromium's
// fake capture of the example melody) shows the notes live, and nothing scrolls sideways at
// 390 pixels. Writes the README's screenshots, docs/browser.png and docs/browser-live.png.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { after, before, test } from 'node:test';

import { launchChromium, openPage, serveWebFolder } from './support/browser.js';
import { repositoryRoot, runTool } from './support/native.js';
import { encoded, hummedMelody, melody, wavFile } from './support/signals.js';

const melodyPath = join(repositoryRoot, 'examples', 'melody.wav');
let server;
let browser;

before(async () => {
  server = await serveWebFolder();
  browser = await launchChromium(melodyPath);
});
after(async () => {
  await browser?.close();
  server?.close();
});

// The native tool's pitched frame count (precise analysis) and note numbers for melody.wav.
function nativeMelody() {
  const bytes = readFileSync(melodyPath);
  const line = runTool(bytes, 'melody.wav', ['-q', '--precise']).stdout.toString().trim();
  const notes = runTool(bytes, 'melody.wav', ['-q', '--notes', '--format=csv']).stdout.toString();
  return {
    pitchedFrames: line.split('+').filter((value) => value !== '0').length,
    notes: notes.trim().split('\n').slice(1).map((row) => Number(row.split(',')[2])),
  };
}

for (const width of [900, 390]) {
  test(`at ${width} pixels a WAV through the file input shows the tool's frames and notes`, async () => {
    const page = await openPage(browser, server.url, width);
    await page.setInputFiles('#file', melodyPath);
    await page.waitForSelector('#notes li');
    const expected = nativeMelody();
    const drawn = await page.getAttribute('#contour', 'data-pitched-frames');
    const notes = await page.$$eval('#notes li', (items) => items.map((item) => Number(item.dataset.midi)));
    assert.equal(Number(drawn), expected.pitchedFrames);
    assert.deepEqual(notes, expected.notes);
    const overflow = await page.evaluate(() => document.documentElement.scrollWidth - innerWidth);
    assert.ok(overflow <= 0, `the page scrolls ${overflow} pixels sideways`);
    if (width === 900) {
      await page.screenshot({ path: join(repositoryRoot, 'docs', 'browser.png') });
      for (const [format, args] of [['json', ['--precise', '--format=json']], ['midi', ['--notes', '--format=midi']]]) {
        const [download] = await Promise.all([page.waitForEvent('download'),
          page.click(`.downloads button[data-format="${format}"]`)]);
        const native = runTool(readFileSync(melodyPath), 'melody.wav', ['-q', ...args]).stdout;
        assert.deepEqual(readFileSync(await download.path()), native, format);
      }
    }
    assert.deepEqual(page.problems, []);
    await page.close();
  });
}

test('another format goes through the browser\'s decoder, with the WAV\'s notes', async () => {
  const folder = mkdtempSync(join(tmpdir(), 'pitchtrack-page-'));
  try {
    const flac = join(folder, 'melody.flac');
    execFileSync('sox', [melodyPath, flac]);
    const page = await openPage(browser, server.url);
    await page.setInputFiles('#file', flac);
    await page.waitForSelector('#notes li');
    const notes = await page.$$eval('#notes li', (items) => items.map((item) => Number(item.dataset.midi)));
    assert.deepEqual(notes, nativeMelody().notes);
    assert.deepEqual(page.problems, []);
    await page.close();
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
});

// The figures of the browser's speed and live latency are reported (bench/RESULTS.md records
// them); the bounds below only catch a broken build (the portable loops without WebAssembly
// vectors, a hang), not a slow machine.
test('the default analysis of a 60 s recording: its time in the page, reported', async (t) => {
  const page = await openPage(browser, server.url);
  const minute = wavFile(encoded(hummedMelody(44100, Array(18).fill(melody).flat(), 0.3, 0.12),
    's16'), 44100);
  await page.route('**/minute.wav', (route) => route.fulfill({ body: Buffer.from(minute) }));
  const timings = await page.evaluate(async () => {
    const { trackWav } = await import('/index.js');
    const bytes = new Uint8Array(await (await fetch('/minute.wav')).arrayBuffer());
    const milliseconds = [];
    for (let run = 0; run < 10; run += 1) {
      const started = performance.now();
      const contour = trackWav(bytes);
      milliseconds.push(performance.now() - started);
      if (contour.recordingSeconds < 60) throw new Error(`${contour.recordingSeconds} s`);
    }
    return milliseconds;
  });
  t.diagnostic(`60 s at 44100 Hz, default analysis: ${timings.map((ms) => ms.toFixed(1)).join(', ')} ms`);
  assert.ok(Math.min(...timings) < 1000, `${Math.min(...timings)} ms`);
  assert.deepEqual(page.problems, []);
  await page.close();
});

// The notes of `sequence` with repeats in a row merged.
const distinct = (sequence) => sequence.filter((note, i) => i === 0 || note !== sequence[i - 1]);

// Whether `part` appears in `whole` in order, other entries between allowed.
function inOrder(part, whole) {
  let next = 0;
  for (const entry of whole) if (entry === part[next]) next += 1;
  return next === part.length;
}

test('singing: the fake microphone\'s melody shows its notes live, with their delay reported', async (t) => {
  const page = await openPage(browser, server.url);
  await page.evaluate(() => {
    window.noteChanges = [];
    document.getElementById('now').addEventListener('notechange', (event) => {
      window.noteChanges.push(event.detail);
    });
  });
  const melodyNotes = distinct(nativeMelody().notes);
  await page.click('#sing');
  await page.waitForFunction((expected) => {
    let next = 0;
    for (const { midiNote } of window.noteChanges) if (midiNote === expected[next]) next += 1;
    return next === expected.length;
  }, melodyNotes, { timeout: 40000 });
  await page.screenshot({ path: join(repositoryRoot, 'docs', 'browser-live.png') });
  await page.click('#sing');
  await page.waitForFunction(() => /Stopped/.test(document.getElementById('status').textContent));
  const changes = await page.evaluate(() => window.noteChanges);
  assert.ok(inOrder(melodyNotes, changes.map((change) => change.midiNote)));
  const latencies = changes.map((change) => change.latencySeconds).sort((a, b) => a - b);
  t.diagnostic(`${changes.length} note changes shown; seconds from the note's first frame to the `
    + `screen: median ${latencies[latencies.length >> 1].toFixed(3)}, `
    + `max ${latencies[latencies.length - 1].toFixed(3)}`);
  assert.ok(latencies[latencies.length - 1] <= 2, `${latencies[latencies.length - 1]} s`);
  assert.deepEqual(page.problems, []);
  await page.close();
});
