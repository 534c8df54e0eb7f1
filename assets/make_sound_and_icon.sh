#!/usr/bin/env bash
# Makes the embedded alert sound (autio.mp3) and tray icon (tray_icon.ico) from
# nothing but arithmetic: a synthesised chime encoded by lame, and a magnifier drawn
# pixel by pixel. Needs /usr/bin/python3 and lame (scripts/setup.sh installs them).
#
# The sound has a fixed form: MPEG-1 Layer III, 128 kbit/s constant, 44.1 kHz,
# stereo, 1021 frames (about 26.7 s), no ID3 tag and no Xing/LAME info frame, which
# makes it 426,736 bytes. The icon is one 32 x 32 image at 32 bits per pixel, 4286 bytes.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Input length chosen so that lame gives exactly 1021 frames (its encoder delay and
# padding add the rest).
samples=1174500

/usr/bin/python3 - "$work/chime.wav" "$samples" <<'PY'
import array, math, sys, wave

path, total = sys.argv[1], int(sys.argv[2])
rate = 44100
left = array.array("d", bytes(8 * total))
right = array.array("d", bytes(8 * total))

# A struck metal bar: its overtones sit at the free-bar mode ratios and die away
# faster the higher they are, which is what makes it sound like a chime.
partials = [(1.0, 1.0, 2.4), (2.756, 0.32, 0.9), (5.404, 0.12, 0.35), (8.933, 0.05, 0.18)]

def strike(start, freq, gain, pan):
    first = int(start * rate)
    length = min(int(3.2 * rate), total - first)
    lg, rg = gain * math.cos(pan * math.pi / 2), gain * math.sin(pan * math.pi / 2)
    waves = [(2 * math.pi * freq * ratio / rate, amp, math.exp(-1.0 / (decay * rate)))
             for ratio, amp, decay in partials]
    for step, amp, fall in waves:
        level = amp
        attack = int(0.004 * rate)
        for i in range(length):
            v = level * math.sin(step * i)
            if i < attack:
                v *= i / attack
            left[first + i] += v * lg
            right[first + i] += v * rg
            level *= fall

# Eight rings of a rising three-note figure (C6 E6 G6, then a lower C6), the later
# ones softer.
notes = [(0.00, 1046.50, 0.42), (0.28, 1318.51, 0.50), (0.56, 1567.98, 0.58), (1.10, 1046.50, 0.50)]
for ring in range(8):
    gain = 1.0 if ring < 3 else 0.75 ** (ring - 2)
    for offset, freq, pan in notes:
        strike(0.05 + ring * 3.3 + offset, freq, gain, pan)

peak = max(max(abs(x) for x in left), max(abs(x) for x in right))
scale = 0.7 * 32767 / peak
fade = int(1.5 * rate)
frames = array.array("h", bytes(4 * total))
for i in range(total):
    f = scale * min(1.0, (total - i) / fade)
    frames[2 * i] = int(round(left[i] * f))
    frames[2 * i + 1] = int(round(right[i] * f))
with wave.open(path, "wb") as w:
    w.setnchannels(2)
    w.setsampwidth(2)
    w.setframerate(rate)
    w.writeframes(frames.tobytes())
PY

lame --quiet -t --cbr -b 128 --resample 44.1 -m s "$work/chime.wav" "$work/autio.mp3"
mv "$work/autio.mp3" autio.mp3

/usr/bin/python3 - tray_icon.ico <<'PY'
import math, struct, sys

size = 32
blue = (0x56, 0xA8, 0xF2)
dark = (0x1F, 0x5F, 0x9E)

def coverage(x, y):
    """Colour and opacity of one point of a magnifier: a ring with a light lens and
    a handle towards the lower right."""
    cx, cy, r_out, r_in = 13.0, 13.0, 10.5, 7.2
    d = math.hypot(x - cx, y - cy)
    if r_in <= d <= r_out:
        return blue, 1.0
    if d < r_in:
        # the lens: pale blue with a glint in the upper left
        glint = math.hypot(x - 10.0, y - 10.0) < 2.2
        return ((255, 255, 255), 0.95) if glint else ((0xD6, 0xEB, 0xFD), 0.85)
    # the handle: a thick segment from the ring outwards
    ax, ay, bx, by = 20.5, 20.5, 29.0, 29.0
    t = max(0.0, min(1.0, ((x - ax) * (bx - ax) + (y - ay) * (by - ay)) / ((bx - ax) ** 2 + (by - ay) ** 2)))
    if math.hypot(x - (ax + t * (bx - ax)), y - (ay + t * (by - ay))) <= 2.6:
        return dark, 1.0
    return (0, 0, 0), 0.0

# 4 x 4 samples per pixel smooth the edges.
pixels = []
for py in range(size):
    row = []
    for px in range(size):
        r = g = b = a = 0.0
        for sy in range(4):
            for sx in range(4):
                (cr, cg, cb), ca = coverage(px + (sx + 0.5) / 4, py + (sy + 0.5) / 4)
                r, g, b, a = r + cr * ca, g + cg * ca, b + cb * ca, a + ca
        if a > 0:
            row.append((round(b / a), round(g / a), round(r / a), round(255 * a / 16)))
        else:
            row.append((0, 0, 0, 0))
    pixels.append(row)

xor = b"".join(bytes(p) for row in reversed(pixels) for p in row)  # rows bottom-up, BGRA
mask = bytearray()
for row in reversed(pixels):
    bits = 0
    for x, p in enumerate(row):
        if p[3] == 0:
            bits |= 1 << (31 - x)  # transparent where nothing is drawn
    mask += struct.pack(">I", bits)
header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
image = header + xor + bytes(mask)
ico = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), 22) + image
with open(sys.argv[1], "wb") as f:
    f.write(ico)
PY

ls -l autio.mp3 tray_icon.ico
