// The native pitchtrack tool, whose bytes the module must give: PITCHTRACK_BIN, or the one
// `make` builds in build/.
import { spawnSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { fileURLToPath } from 'node:url';

export const repositoryRoot = fileURLToPath(new URL('../../../', import.meta.url));
export const toolPath = process.env.PITCHTRACK_BIN ?? join(repositoryRoot, 'build', 'pitchtrack');

// The tool's command-line options for a format name of Contour.bytes().
export function formatArguments(format, precise) {
  const [notes, kind] = format.startsWith('notes') ? [true, format.slice(6) || 'line'] : [false, format];
  return [`--format=${kind}`, ...(notes ? ['--notes'] : []), ...(precise ? ['--precise'] : [])];
}

// Runs the tool on `bytes` saved as NAME in a fresh folder, writing to standard output:
// {status, stdout (a Buffer), stderr}.
export function runTool(bytes, name, args) {
  const folder = mkdtempSync(join(tmpdir(), 'pitchtrack-web-'));
  try {
    writeFileSync(join(folder, name), bytes);
    const run = spawnSync(toolPath, [...args, name, '-'], { cwd: folder });
    if (run.error) throw run.error;
    return { status: run.status, stdout: run.stdout, stderr: run.stderr.toString() };
  } finally {
    rmSync(folder, { recursive: true, force: true });
  }
}
