#!/usr/bin/python3
"""Reads a 16-bit PCM WAV file with numpy and prints what the audio tests check:
  regions WAV           "start end" in seconds of every stretch that sounds
  pitch WAV START END   the fundamental frequency in Hz between two times (seconds)
  onsets WAV            the times in ms at which sound starts after silence
  evenness WAV          of the sample-exact onsets fitted to even time: "count interval_ms
                        p99_ms max_ms median_ms", the deviations from the fit in ms
"""
import sys
import wave

import numpy as np

FRAME_S = 0.001      # envelope resolution
SOUNDING = 0.05      # share of the loudest frame above which a region sounds
ONSET = 0.10         # share of the loudest frame that starts a note
GAP_S = 0.3          # silence shorter than this does not end a region
QUIET_S = 0.030      # silence needed before a new onset
ZERO_PAD = 8         # finer frequency bins by zero padding
HARMONICS = 3        # partials multiplied in the harmonic product spectrum
MIN_PITCH_HZ = 50
EVEN_ONSET = 0.3     # share of the loudest sample that marks a note's onset for evenness
EVEN_QUIET_S = 0.040 # time below that share before a new onset
USUAL_GAP_SHARE = 0.3 # gaps this close to the median are a note's own


def samples(path):
    with wave.open(path) as w:
        if w.getsampwidth() != 2:
            sys.exit("not 16-bit PCM")
        raw = np.frombuffer(w.readframes(w.getnframes()), dtype=np.int16)
        rate, channels = w.getframerate(), w.getnchannels()
    return raw.reshape(-1, channels).astype(float).mean(axis=1), rate


def envelope(x, rate):
    """Peak amplitude per millisecond frame."""
    hop = int(rate * FRAME_S)
    n = len(x) // hop
    return np.abs(x[: n * hop]).reshape(n, hop).max(axis=1)


def runs(mask, min_gap):
    """(first, last) frame indices of runs of True, joining runs split by short gaps."""
    out = []
    for i in np.flatnonzero(mask):
        if out and i - out[-1][1] <= min_gap:
            out[-1][1] = i
        else:
            out.append([i, i])
    return out


def regions(path):
    x, rate = samples(path)
    env = envelope(x, rate)
    if env.max() == 0:
        return
    for first, last in runs(env > SOUNDING * env.max(), int(GAP_S / FRAME_S)):
        print(f"{first * FRAME_S:.3f} {(last + 1) * FRAME_S:.3f}")


def pitch(path, start, end):
    """The fundamental by the harmonic product spectrum: a piano's second partial is often
    stronger than its first, so the loudest bin alone would name the octave above."""
    x, rate = samples(path)
    part = x[int(float(start) * rate): int(float(end) * rate)]
    spectrum = np.abs(np.fft.rfft(part * np.hanning(len(part)), ZERO_PAD * len(part)))
    n = len(spectrum) // HARMONICS
    product = np.ones(n)
    for h in range(1, HARMONICS + 1):
        product *= spectrum[::h][:n]
    lowest = int(MIN_PITCH_HZ * ZERO_PAD * len(part) / rate)
    print(f"{(lowest + np.argmax(product[lowest:])) * rate / (ZERO_PAD * len(part)):.1f}")


def onsets(path):
    x, rate = samples(path)
    env = envelope(x, rate)
    quiet = int(QUIET_S / FRAME_S)
    loud = env > ONSET * env.max()
    for first, _ in runs(loud, quiet):
        print(f"{first * FRAME_S * 1000:.0f}")


def sample_onsets(x, rate):
    """Onset times in ms to the sample: the first sample above EVEN_ONSET of the loudest after
    EVEN_QUIET_S below it. Notes of one sound reach that share at the same point of their attack,
    so the spacing of these times is the spacing of the note starts."""
    loud = np.flatnonzero(np.abs(x) > EVEN_ONSET * np.abs(x).max())
    if len(loud) == 0:
        return np.array([])
    starts = np.concatenate(([loud[0]], loud[1:][np.diff(loud) > EVEN_QUIET_S * rate]))
    return starts * 1000.0 / rate


def evenness(path):
    """Each onset is given its place on the grid of the usual gap (the mean of the gaps near their
    median, so that a note lost or merged does not shift the rest), and the places are fitted to
    even time by least squares."""
    x, rate = samples(path)
    t = sample_onsets(x, rate)
    if len(t) < 3:
        print(f"{len(t)} 0 0 0 0")
        return
    gaps = np.diff(t)
    usual = gaps[np.abs(gaps - np.median(gaps)) < USUAL_GAP_SHARE * np.median(gaps)].mean()
    place = np.round((t - t[0]) / usual)
    slope, start = np.polyfit(place, t, 1)
    deviation = np.abs(t - (start + slope * place))
    print(f"{len(t)} {slope:.3f} {np.percentile(deviation, 99):.3f} {deviation.max():.3f} "
          f"{np.median(deviation):.3f}")


if __name__ == "__main__":
    commands = {"regions": regions, "pitch": pitch, "onsets": onsets, "evenness": evenness}
    if len(sys.argv) < 3 or sys.argv[1] not in commands:
        sys.exit(__doc__)
    commands[sys.argv[1]](*sys.argv[2:])
