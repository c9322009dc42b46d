#!/usr/bin/env python3
"""Measures the decay time (RT60) of factory presets with the renderer.

    measure-decay.py RENDERER [PRESET...]      (no preset: all that --list-presets lists)

Renders a single impulse (-6 dBFS, 48 kHz) through each preset at Mix 100 % (Mix does not change
the decay) with a tail of up to 150 s, and fits a straight line to the energy decay curve of
both channels (Schroeder's backward integration): between -5 and -35 dB (T30), and between -5
and -25 dB (T20); each is extended to -60 dB. Standard library only.
"""
import array
import math
import os
import re
import struct
import subprocess
import sys
import tempfile
import wave

RATE = 48000


def write_impulse(path):
    with wave.open(path, "wb") as file:
        file.setnchannels(1)
        file.setsampwidth(2)
        file.setframerate(RATE)
        frames = [16384] + [0] * (RATE // 10 - 1)
        file.writeframes(struct.pack("<%dh" % len(frames), *frames))


def read_float_wav(path):
    data = open(path, "rb").read()
    position, channels = 12, 2
    while position < len(data):
        chunk, size = data[position:position + 4], struct.unpack("<I", data[position + 4:position + 8])[0]
        body = data[position + 8:position + 8 + size]
        if chunk == b"fmt ":
            channels = struct.unpack("<H", body[2:4])[0]
        elif chunk == b"data":
            samples = array.array("f")
            samples.frombytes(body[:len(body) // 4 * 4])
            return channels, samples
        position += 8 + size + (size & 1)
    raise ValueError("no audio in " + path)


def decay_times(path):
    channels, samples = read_float_wav(path)
    frames = len(samples) // channels
    energy = [0.0] * frames
    for channel in range(channels):
        for i, sample in enumerate(samples[channel::channels]):
            energy[i] += sample * sample
    remaining, curve = 0.0, [0.0] * frames
    for i in range(frames - 1, -1, -1):
        remaining += energy[i]
        curve[i] = remaining
    level = [10 * math.log10(value / curve[0]) if value > 0 else -300.0 for value in curve]

    def fitted(top, bottom):
        if min(level) > bottom - 1:
            return None
        points = [(i / RATE, db) for i, db in enumerate(level) if bottom <= db <= top]
        mean_t = sum(t for t, _ in points) / len(points)
        mean_db = sum(db for _, db in points) / len(points)
        slope = sum((t - mean_t) * (db - mean_db) for t, db in points) / sum((t - mean_t) ** 2 for t, _ in points)
        return -60.0 / slope if slope < 0 else math.inf

    return frames / RATE, fitted(-5, -35), fitted(-5, -25)


def preset_names(renderer):
    listing = subprocess.run([renderer, "--list-presets"], check=True, capture_output=True, text=True).stdout
    return re.findall(r"^  (.*\S) +Space [ 0-9.]+ +Lumens ", listing, re.MULTILINE)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    renderer, names = sys.argv[1], sys.argv[2:] or preset_names(sys.argv[1])
    seconds = lambda value: "-" if value is None else "%.1f s" % value
    with tempfile.TemporaryDirectory() as work:
        impulse = os.path.join(work, "impulse.wav")
        write_impulse(impulse)
        print("%-14s  %8s  %8s  %9s" % ("preset", "T30", "T20", "rendered"))
        for name in names:
            output = os.path.join(work, "response.wav")
            subprocess.run([renderer, impulse, "-o", output, "--float", "--tail", "150", "--preset", name, "--mix", "100"],
                           check=True, capture_output=True)
            length, t30, t20 = decay_times(output)
            print("%-14s  %8s  %8s  %7.1f s" % (name, seconds(t30), seconds(t20), length))


if __name__ == "__main__":
    main()
