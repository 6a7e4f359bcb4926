#!/usr/bin/env bash
# Regenerates the four short interface sounds with sox (16-bit, 44.1 kHz, mono).
# The WAVs are committed; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"
fmt=(-r 44100 -b 16 -c 1)

# Tink: a high, bright tick (two bell-like partials, very short decay).
sox -n "${fmt[@]}" Tink.wav synth 0.14 sine 2637 sine 5274 remix 1,2 \
    fade q 0.001 0.14 0.13 gain -n -9

# Pop: a soft pop, a quick downward pitch drop with a rounded attack.
sox -n "${fmt[@]}" Pop.wav synth 0.09 sine 900:260 fade h 0.004 0.09 0.07 \
    lowpass 2500 gain -n -6

# Funk: a low descending two-step with a warm, slightly square tone.
sox -n "${fmt[@]}" funk-a.wav synth 0.12 square 392 fade h 0.005 0.12 0.03 lowpass 1200
sox -n "${fmt[@]}" funk-b.wav synth 0.2 square 262:220 fade h 0.005 0.2 0.14 lowpass 900
sox funk-a.wav funk-b.wav Funk.wav gain -n -8
rm -f funk-a.wav funk-b.wav

# Basso: a low buzz that dies away.
sox -n "${fmt[@]}" Basso.wav synth 0.3 sawtooth 98 sawtooth 98.7 remix 1,2 \
    lowpass 700 fade h 0.008 0.3 0.22 gain -n -7
