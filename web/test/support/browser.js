// The page as a person meets it: served from the plain folder by `python3 -m http.server`, in
// the system's Chromium (headless, through playwright-core), with the console watched.
import { spawn } from 'node:child_process';
import { join } from 'node:path';

import { chromium } from 'playwright-core';

import { repositoryRoot } from './native.js';

export const chromiumPath = process.env.CHROMIUM_BIN ?? '/usr/bin/chromium';

// Serves web/ on a free port of the loopback address: {url, close()}.
export async function serveWebFolder() {
  const server = spawn('python3', ['-u', '-m', 'http.server', '0', '--bind', '127.0.0.1',
    '-d', join(repositoryRoot, 'web')], { stdio: ['ignore', 'pipe', 'ignore'] });
  const port = await new Promise((resolve, reject) => {
    server.stdout.on('data', (chunk) => {
      const found = /port (\d+)/.exec(chunk.toString());
      if (found) resolve(Number(found[1]));
    });
    server.on('exit', (code) => reject(new Error(`http.server ended with status ${code}`)));
  });
  // The server must not outlive a run that ends early (a failed hook, an uncaught error).
  const stop = () => server.kill();
  process.once('exit', stop);
  return { url: `http://127.0.0.1:${port}/`, close: stop };
}

// A headless Chromium whose microphone plays `captureFile` (a WAV file, looped).
export function launchChromium(captureFile) {
  return chromium.launch({
    executablePath: chromiumPath,
    args: ['--use-fake-ui-for-media-stream', '--use-fake-device-for-media-stream',
      `--use-file-for-fake-audio-capture=${captureFile}`, '--autoplay-policy=no-user-gesture-required',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      '--no-first-run', '--disable-quic'],
  });
}

// Opens the page at `url` in a new page of `browser`, `width` pixels wide, once its module is
// ready. Console errors and uncaught exceptions are collected in `page.problems`.
export async function openPage(browser, url, width = 900) {
  const page = await browser.newPage({ viewport: { width, height: 900 } });
  page.problems = [];
  page.on('console', (message) => {
    if (message.type() === 'error') page.problems.push(message.text());
  });
  page.on('pageerror', (error) => page.problems.push(error.message));
  await page.goto(url);
  await page.waitForSelector('body[data-ready="true"]');
  return page;
}
