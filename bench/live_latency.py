#!/usr/bin/env python3
"""Latency and cost of pitchtrack --live under a paced feeder (not a test).

Writes a WAV stream (data size 0xFFFFFFFF, as arecord writes it) into the tool's standard input
in real time, BLOCK_MS of audio per write, and timestamps each output line as it arrives. A
frame's latency is the time from the write that carried the last sample of its 32 ms to the
arrival of its line. The frames become final 80 ms of audio after their end, so a feeder of
10 ms blocks puts a floor of about 90 ms under the figures.

    bench/live_latency.py [--tool build/pitchtrack] [--seconds 60] [--rate 16000] [--block-ms 10]

Prints the latency quantiles and the tool's CPU time (user + system, from wait4) as a share of
one core over the audio's duration. Frames the end of the stream makes final are left out.
"""
import argparse
import math
import os
import struct
import subprocess
import threading
import time


def tone(rate, seconds):
    """A hummed phrase: notes of 0.4 s with 0.1 s rests, eight harmonics at 1/k."""
    out = bytearray()
    notes = [196.0, 220.0, 247.0, 262.0, 294.0, 330.0]
    for n in range(int(seconds * rate)):
        t = n / rate
        cycle = t % 0.5
        f0 = notes[int(t / 0.5) % len(notes)]
        v = 0.0
        if cycle < 0.4:
            v = sum(math.sin(2 * math.pi * k * f0 * t) / k for k in range(1, 9))
        out += struct.pack('<h', int(5000 * v))
    return bytes(out)


def header(rate):
    fmt = struct.pack('<HHIIHH', 1, 1, rate, 2 * rate, 2, 16)
    return (b'RIFF' + struct.pack('<I', 0xFFFFFFFF) + b'WAVE' + b'fmt ' +
            struct.pack('<I', len(fmt)) + fmt + b'data' + struct.pack('<I', 0xFFFFFFFF))


def feed(pipe, rate, samples, block, entered):
    """Writes `block` samples at a time in real time; entered[i] = when sample i's write ended."""
    pipe.write(header(rate))
    pipe.flush()
    start = time.monotonic()
    for at in range(0, len(samples) // 2, block):
        due = start + at / rate
        delay = due - time.monotonic()
        if delay > 0:
            time.sleep(delay)
        pipe.write(samples[2 * at:2 * (at + block)])
        pipe.flush()
        entered.append(time.monotonic())
    pipe.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--tool', default='build/pitchtrack')
    parser.add_argument('--seconds', type=float, default=60)
    parser.add_argument('--rate', type=int, default=16000)
    parser.add_argument('--block-ms', type=float, default=10)
    args = parser.parse_args()
    samples = tone(args.rate, args.seconds)
    block = max(1, int(args.rate * args.block_ms / 1000))
    tool = subprocess.Popen([args.tool, '--live', '-', '-'], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE, bufsize=0)
    entered = []
    feeder = threading.Thread(target=feed, args=(tool.stdin, args.rate, samples, block, entered))
    feeder.start()
    arrived = []
    for line in tool.stdout:
        arrived.append(time.monotonic())
    feeder.join()
    _, status, usage = os.wait4(tool.pid, 0)
    hop = args.rate * 32 // 1000
    latencies = []
    for k, when in enumerate(arrived):
        last = (k + 1) * hop - 1           # the frame's last input sample
        write = last // block
        if write < len(entered) - 1:       # frames made final by the end of the stream excluded
            latencies.append(when - entered[write])
    latencies.sort()
    q = lambda p: latencies[min(len(latencies) - 1, int(p * len(latencies)))]
    cpu = usage.ru_utime + usage.ru_stime
    print(f'frames {len(arrived)}, measured {len(latencies)}, status {os.waitstatus_to_exitcode(status)}')
    print(f'latency s: median {q(0.5):.3f}, p95 {q(0.95):.3f}, p99 {q(0.99):.3f}, '
          f'max {latencies[-1]:.3f}')
    print(f'within 0.25 s: {sum(x <= 0.25 for x in latencies) / len(latencies):.1%}; '
          f'over 0.5 s: {sum(x > 0.5 for x in latencies)}')
    # (ru_maxrss here would count the forked Python before exec: bench/live_soak.sh measures memory)
    print(f'cpu {cpu:.3f} s for {args.seconds:.0f} s of audio: '
          f'{100 * cpu / args.seconds:.2f} % of one core')


if __name__ == '__main__':
    main()
