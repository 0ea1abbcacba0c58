"""Writes WAVE files with sox and the samples the sound decoder must produce from each, into
the folder named by the first argument, with a manifest of "name tolerance" lines:
  - files at every accepted rate, mono and stereo, and frame counts just around multiples of
    the rate; headers are read back with the wave module, and the expected samples are a
    numpy transcription of the 16.16 interpolation (tolerance 0);
  - 44100 Hz mono against sox's own "downsample 2" (tolerance 0);
  - 22050 Hz stereo against sox's "remix 1v0.5,2v0.5" (tolerance 1: sox rounds, the decoder
    floors)."""
import os
import subprocess
import sys
import wave

import numpy as np

out = sys.argv[1]
manifest = []


def sox(*args):
    subprocess.run(["sox", "-R", "-D"] + list(args), check=True)


def frames_of(path):
    with wave.open(path, "rb") as w:
        assert w.getsampwidth() == 2
        data = np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(np.int64)
        return w.getframerate(), w.getnchannels(), data.reshape(-1, w.getnchannels())


def transcribe(rate, frames):
    """The decoder's conversion, written from its rule with numpy integers."""
    if frames.shape[1] == 2:
        src = (frames[:, 0] + frames[:, 1]) >> 1
    else:
        src = frames[:, 0]
    f_count = len(src)
    count = (f_count % rate) * 22050 // rate + (f_count // rate) * 22050
    step_whole, step_fraction = rate // 22050, ((rate % 22050) * 65536) // 22050
    i = np.arange(count, dtype=np.int64)
    total = i * step_fraction  # 16.16 accumulation: carries are the whole part of the sum
    position = i * step_whole + (total >> 16)
    fraction = total & 0xFFFF
    m = np.minimum(position, f_count - 1)
    n = np.minimum(m + 1, f_count - 1)
    a, b = src[m], src[n]
    return (a + (((b - a) * (fraction >> 1)) >> 15)).astype("<i2")


def emit(name, expected, tolerance):
    expected.astype("<i2").tofile(os.path.join(out, name + ".raw"))
    manifest.append("%s %d" % (name, tolerance))


for rate in (8000, 11025, 16000, 22050, 44100, 48000):
    for channels in (1, 2):
        # Frame counts just below, at and above a multiple of the rate.
        for extra in (-1, 0, 1):
            frames = rate + extra
            name = "r%d_c%d_%+d" % (rate, channels, extra)
            path = os.path.join(out, name + ".wav")
            sox("-r", str(rate), "-n", "-r", str(rate), "-c", str(channels), "-b", "16", path,
                "synth", "%ds" % frames, "whitenoise", "vol", "0.9")
            got_rate, got_channels, data = frames_of(path)
            assert (got_rate, got_channels, len(data)) == (rate, channels, frames), name
            emit(name, transcribe(rate, data), 0)

src = os.path.join(out, "down_src.wav")
sox("-r", "44100", "-n", "-r", "44100", "-c", "1", "-b", "16", src, "synth", "4410s", "sine", "300-5000", "vol", "0.8")
ref = os.path.join(out, "down_ref.wav")
sox(src, "-r", "22050", ref, "downsample", "2")
os.rename(src, os.path.join(out, "down.wav"))
emit("down", frames_of(ref)[2][:, 0], 0)

src = os.path.join(out, "fold_src.wav")
sox("-r", "22050", "-n", "-r", "22050", "-c", "2", "-b", "16", src, "synth", "3000s", "whitenoise", "sine", "700")
ref = os.path.join(out, "fold_ref.wav")
sox(src, ref, "remix", "1v0.5,2v0.5")
os.rename(src, os.path.join(out, "fold.wav"))
emit("fold", frames_of(ref)[2][:, 0], 1)

with open(os.path.join(out, "manifest"), "w") as f:
    f.write("\n".join(manifest) + "\n")
