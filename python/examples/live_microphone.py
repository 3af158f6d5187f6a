"""The pitch of a microphone while someone sings: arecord (Debian alsa-utils) writes a WAV
stream into a pipe, and pitchtrack.live hands out each 32 ms frame about 0.1 s after its audio.

    python3 python/examples/live_microphone.py [DEVICE]     # Ctrl-C ends it
"""
import subprocess
import sys

import pitchtrack

command = ["arecord", "-q", "-f", "S16_LE", "-r", "16000", "-c", "1", "-t", "wav", "-"]
if len(sys.argv) > 1:
    command += ["-D", sys.argv[1]]
with subprocess.Popen(command, stdout=subprocess.PIPE) as arecord:
    try:
        for frame in pitchtrack.live(arecord.stdout):
            if frame.value:
                print(f"{frame.seconds:8.3f} s  {frame.hz:7.1f} Hz  MIDI {frame.value / 10:5.1f}",
                      flush=True)
    except KeyboardInterrupt:
        arecord.terminate()
