#!/usr/bin/env python3
"""Composes the built-in song: a calm ambient piece in D-flat major at 75 beats per minute, as a Standard
MIDI File (format 1, 480 ticks per quarter note, a conductor track and 32 tracks of channel events).

Form, 95 bars of 4/4 (182,400 ticks, a little over five minutes), looping without a seam:

    intro 8 | A 16 | B 16 | A' 16 | C 16 | A'' 16 | coda 7

A and the intro share one eight-bar progression (I - V/3 - vi - IV - I/3 - IV - ii - Vsus), B moves to the
subdominant side, C leans on the relative minor, and the coda settles on the tonic before two bars of
the suspended dominant lead back into the intro's first chord. Every part is one voice per track: the
player sends one event per track per millisecond, so chord notes on separate tracks start together.
Voices are led chord to chord by the smallest total movement, starting from the voicing they end with,
so the loop point moves like any other bar line. The pads' expression rises over the intro and falls back
over the coda to where it began, and every note ends by the last tick, so nothing jumps when it restarts.

Only exact integer arithmetic: any Python 3 writes the same bytes.

    song.py OUT_DIR [--verbose]
"""

import struct
import sys

import imagefiles

TICKS_PER_QUARTER = 480
BEAT = TICKS_PER_QUARTER
BAR = 4 * BEAT
BARS = 95
END = BARS * BAR  # 182,400 ticks: 380 quarter notes
TEMPO = 800000  # microseconds per quarter note: 75 beats per minute
FILE_SIZE = 13051

# Pitch classes, C = 0.
DB, EB, F, GB, AB, BB, C = 1, 3, 5, 6, 8, 10, 0

# name: (bass pitch class, chord tones from the root up, tones a voicing must hold)
CHORDS = {
    "Dbmaj9": (DB, [DB, F, AB, C, EB], [F, C]),
    "Ab/C": (C, [AB, C, EB, BB], [C, EB]),
    "Bbm9": (BB, [BB, DB, F, AB, C], [DB, AB]),
    "Gbmaj9": (GB, [GB, BB, DB, F, AB], [BB, F]),
    "Db/F": (F, [DB, F, AB, C, EB], [AB, C]),
    "Ebm9": (EB, [EB, GB, BB, DB, F], [GB, DB]),
    "Ab7sus4": (AB, [AB, DB, EB, GB, BB], [DB, GB]),
    "Fm7": (F, [F, AB, C, EB], [AB, EB]),
    "Fm7/Ab": (AB, [F, AB, C, EB], [F, EB]),
    "Gbmaj9/Db": (DB, [GB, BB, DB, F, AB], [BB, F]),
}
PROGRESSION_A = ["Dbmaj9", "Ab/C", "Bbm9", "Gbmaj9", "Db/F", "Gbmaj9", "Ebm9", "Ab7sus4"]
PROGRESSION_B = ["Gbmaj9", "Fm7", "Ebm9", "Dbmaj9", "Gbmaj9", "Fm7", "Bbm9", "Ab7sus4"]
PROGRESSION_C = ["Bbm9", "Fm7/Ab", "Gbmaj9", "Db/F", "Ebm9", "Bbm9", "Gbmaj9", "Ab7sus4"]
PROGRESSION_CODA = ["Dbmaj9", "Gbmaj9/Db", "Dbmaj9", "Gbmaj9", "Ebm9", "Ab7sus4", "Ab7sus4"]

# (name, first bar, bars, progression)
SECTIONS = [
    ("intro", 0, 8, PROGRESSION_A),
    ("A", 8, 16, PROGRESSION_A),
    ("B", 24, 16, PROGRESSION_B),
    ("A'", 40, 16, PROGRESSION_A),
    ("C", 56, 16, PROGRESSION_C),
    ("A''", 72, 16, PROGRESSION_A),
    ("coda", 88, 7, PROGRESSION_CODA),
]


def chord_at(bar):
    for _, first, length, progression in SECTIONS:
        if first <= bar < first + length:
            return progression[(bar - first) % len(progression)]
    raise ValueError(bar)


def section_at(bar):
    for name, first, length, _ in SECTIONS:
        if first <= bar < first + length:
            return name, bar - first
    raise ValueError(bar)


def ticks(beats):
    """Beats (quarter notes, possibly halves or quarters of them) as ticks, exactly."""
    return int(beats * 4) * BEAT // 4


def variation(*keys):
    """A small deterministic spread, -3..3, that keeps repeated notes from sounding mechanical."""
    h = 2166136261
    for k in keys:
        h = ((h ^ (k & 0xFFFFFFFF)) * 16777619) & 0xFFFFFFFF
    h ^= h >> 13
    return h % 7 - 3


class Track:
    """The events of one track; one MIDI channel, one voice."""

    def __init__(self, name, channel):
        self.name = name
        self.channel = channel
        self.events = []  # (tick, order, bytes): at one tick, note-offs, then set-up, then note-ons
        self.sounding = {}  # key: the tick its latest note ends

    @property
    def notes(self):
        return sum(1 for _, order, _ in self.events if order == 2)

    def note(self, tick, length, key, velocity):
        assert 0 <= tick and tick + length <= END and length > 0, (self.name, tick, length)
        assert 0 <= key < 128 and 1 <= velocity < 128, (self.name, key, velocity)
        # A voice never strikes a key that it still holds, so every note-off ends the note it belongs to.
        assert self.sounding.get(key, -1) <= tick, (self.name, tick, key)
        self.sounding[key] = tick + length
        self.events.append((tick, 2, bytes((0x90 | self.channel, key, velocity))))
        # A note-on of velocity 0 ends the note and keeps the running status of the notes.
        self.events.append((tick + length, 0, bytes((0x90 | self.channel, key, 0))))

    def control(self, tick, number, value):
        self.events.append((tick, 1, bytes((0xB0 | self.channel, number, value))))

    def program(self, tick, number):
        self.events.append((tick, 1, bytes((0xC0 | self.channel, number))))

    def chunk(self):
        data = bytearray()
        now, status = 0, 0
        for tick, _, message in sorted(self.events, key=lambda e: (e[0], e[1])):
            data += varlen(tick - now)
            data += message if message[0] != status else message[1:]
            now, status = tick, message[0]
        data += varlen(END - now) + b"\xff\x2f\x00"
        return b"MTrk" + struct.pack(">I", len(data)) + bytes(data)


def varlen(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def conductor_chunk():
    data = (b"\x00\xff\x51\x03" + TEMPO.to_bytes(3, "big")
            + b"\x00\xff\x59\x02\xfb\x00"  # five flats, major
            + b"\x00\xff\x58\x04\x04\x02\x18\x08"  # 4/4, a click every quarter, 8 32nds a quarter
            + varlen(END) + b"\xff\x2f\x00")
    return b"MTrk" + struct.pack(">I", len(data)) + data


# ---------------------------------------------------------------------------------------------------------
# Harmony helpers


def chord_pitches(name, low, high):
    _, tones, _ = CHORDS[name]
    return [p for p in range(low, high + 1) if p % 12 in tones]


def voicings(name, voices, low, high, span):
    """Every voicing of a chord: distinct pitch classes, the required tones, no minor seconds."""
    _, tones, required = CHORDS[name]
    pitches = chord_pitches(name, low, high)
    result = []

    def extend(chosen, start):
        if len(chosen) == voices:
            classes = {p % 12 for p in chosen}
            if len(classes) == voices and all(r in classes for r in required[:voices]):
                result.append(tuple(chosen))
            return
        for i in range(start, len(pitches)):
            p = pitches[i]
            if chosen and (p - chosen[-1] < 2 or p - chosen[0] > span):
                continue
            extend(chosen + [p], i + 1)

    extend([], 0)
    return result


def lead_voices(names, voices, low, high, span, start=None):
    """Voicings for a chord sequence, each the closest to the one before (ties: the lower)."""
    previous = start
    led = []
    for name in names:
        candidates = voicings(name, voices, low, high, span)
        if previous is None:
            centre = (low + high) // 2
            best = min(candidates, key=lambda v: (abs(sum(v) - centre * voices), v))
        else:
            best = min(candidates, key=lambda v: (sum(abs(a - b) for a, b in zip(v, previous)), v))
        led.append(best)
        previous = best
    return led


def looped_voices(voices, low, high, span):
    """Voicings for the whole song, the first bar led from the last, as the loop plays them."""
    names = [chord_at(bar) for bar in range(BARS)]
    first_pass = lead_voices(names, voices, low, high, span)
    return lead_voices(names, voices, low, high, span, start=first_pass[-1])


SCALE = [C, DB, EB, F, GB, AB, BB]


def scale_neighbour(pitch, direction):
    """The next pitch of the D-flat major scale above (direction 1) or below (-1) pitch."""
    pitch += direction
    while pitch % 12 not in SCALE:
        pitch += direction
    return pitch


def bass_pitch(name, low=33):
    """The chord's bass in the octave from low up."""
    pc = CHORDS[name][0]
    return low + (pc - low) % 12


def held_lines(track, voicing_of_bar, voice, bars, velocity):
    """One voice of sustained chords, a note per bar, tied over while the pitch stays."""
    run = None  # (first bar, pitch, last bar)
    for bar in list(bars) + [None]:
        pitch = voicing_of_bar[bar][voice] if bar is not None else None
        contiguous = run is not None and bar is not None and bar == run[2] + 1
        if run is not None and (pitch != run[1] or not contiguous):
            start, held, last = run
            track.note(start * BAR, (last + 1 - start) * BAR, held, velocity(start) + variation(voice, start))
            run = None
        if bar is not None:
            run = (bar, pitch, bar) if run is None else (run[0], run[1], bar)


def bars_of(*names):
    result = []
    for name, first, length, _ in SECTIONS:
        if name in names:
            result += range(first, first + length)
    return result


# ---------------------------------------------------------------------------------------------------------
# The melodies: (beat in the bar, beats long, pitch) per bar.

Db4, Eb4, F4, Gb4, Ab4, Bb4, C5 = 61, 63, 65, 66, 68, 70, 72
Db5, Eb5, F5, Gb5, Ab5, Bb5, C6, Db6 = 73, 75, 77, 78, 80, 82, 84, 85

MELODY_A = [
    [(0, 1.5, F5), (1.5, 0.5, Eb5), (2, 2, Ab5)],
    [(0, 1.5, Eb5), (1.5, 0.5, F5), (2, 2, C5)],
    [(0, 1.5, Db5), (1.5, 0.5, Eb5), (2, 1, F5), (3, 1, Ab5)],
    [(0, 3, Bb5), (3, 1, Ab5)],
    [(0, 1.5, F5), (1.5, 0.5, Eb5), (2, 2, Db5)],
    [(0, 1, Bb4), (1, 1, Db5), (2, 2, F5)],
    [(0, 1.5, Gb5), (1.5, 0.5, F5), (2, 2, Eb5)],
    [(0, 3, Eb5)],
    [(0, 1.5, F5), (1.5, 0.5, Eb5), (2, 2, Ab5)],
    [(0, 1.5, C6), (1.5, 0.5, Bb5), (2, 2, Ab5)],
    [(0, 1.5, Bb5), (1.5, 0.5, Ab5), (2, 1, F5), (3, 1, Db5)],
    [(0, 2, F5), (2, 1, Eb5), (3, 1, F5)],
    [(0, 1.5, Ab5), (1.5, 0.5, F5), (2, 2, Eb5)],
    [(0, 1.5, Db5), (1.5, 0.5, Bb4), (2, 2, Db5)],
    [(0, 1.5, Gb5), (1.5, 0.5, F5), (2, 2, Eb5)],
    [(0, 3.5, Db5)],
]

# The return of A after the bridge: the same line, lifted at its peaks and turned at the cadences.
MELODY_A_LAST = [list(bar) for bar in MELODY_A]
MELODY_A_LAST[3] = [(0, 2, Bb5), (2, 1, C6), (3, 1, Db6)]
MELODY_A_LAST[4] = [(0, 1.5, C6), (1.5, 0.5, Ab5), (2, 2, F5)]
MELODY_A_LAST[11] = [(0, 2, F5), (2, 1, Ab5), (3, 1, Bb5)]
MELODY_A_LAST[12] = [(0, 1.5, C6), (1.5, 0.5, Ab5), (2, 2, Eb5)]

MELODY_B = [
    [(0, 1, Db5), (1, 1, F5), (2, 2, Bb5)],
    [(0, 2, Ab5), (2, 2, Eb5)],
    [(0, 1, Gb5), (1, 1, F5), (2, 2, Db5)],
    [(0, 3, C5), (3, 1, Db5)],
    [(0, 1, Db5), (1, 1, F5), (2, 1, Bb5), (3, 1, C6)],
    [(0, 3, C6), (3, 1, Ab5)],
    [(0, 2, Bb5), (2, 1, Ab5), (3, 1, F5)],
    [(0, 3, Eb5)],
]

MELODY_C = [
    [(0, 2, F5), (2, 2, Db5)],
    [(0, 2, C5), (2, 2, Eb5)],
    [(0, 3, F5), (3, 1, Ab5)],
    [(0, 2, Ab5), (2, 2, F5)],
    [(0, 2, Gb5), (2, 2, Bb5)],
    [(0, 2, Ab5), (2, 2, F5)],
    [(0, 2, Db5), (2, 2, F5)],
    [(0, 4, Eb5)],
]


def play_melody(track, bars, first_bar, transpose, loudness, legato=0.92):
    """A melody from first_bar on, shaped in two-bar swells that peak on each phrase's high note."""
    for i, bar in enumerate(bars):
        for beat, length, pitch in bar:
            start = (first_bar + i) * BAR + ticks(beat)
            duration = ticks(length) * int(legato * 100) // 100
            shape = (6, 10, 8, 2)[i % 4] if length >= 1 else 0
            velocity = loudness + shape + (pitch - Ab5) // 3 + variation(track.channel, start)
            track.note(start, duration, pitch + transpose, max(1, min(velocity, 120)))


# ---------------------------------------------------------------------------------------------------------
# The arrangement


CHANNELS = {
    # channel: (GM program, volume, pan, expression, reverb, chorus)
    0: (73, 92, 70, 100, 80, 20),  # flute
    1: (4, 78, 54, 100, 72, 40),  # electric piano
    2: (89, 86, 64, 72, 96, 50),  # warm pad
    3: (49, 80, 78, 84, 96, 30),  # slow strings
    4: (52, 70, 46, 100, 110, 30),  # choir aahs
    5: (46, 84, 86, 100, 84, 10),  # harp
    6: (11, 72, 38, 100, 90, 20),  # vibraphone
    7: (35, 96, 64, 100, 44, 0),  # fretless bass
    8: (94, 66, 64, 100, 110, 64),  # halo pad
    10: (42, 72, 56, 100, 80, 10),  # cello
    11: (71, 76, 44, 100, 84, 10),  # clarinet
    12: (8, 70, 90, 100, 96, 20),  # celesta
    13: (0, 86, 58, 100, 84, 10),  # grand piano
    14: (60, 70, 72, 100, 100, 10),  # french horn
    15: (75, 74, 98, 100, 110, 20),  # pan flute
}


def set_up(track):
    """Puts the channel in its known state at the start of every pass, before its first note."""
    program, volume, pan, expression, reverb, chorus = CHANNELS[track.channel]
    track.control(0, 121, 0)  # reset controllers
    track.control(0, 0, 0)  # bank: General MIDI
    track.program(0, program)
    track.control(0, 7, volume)
    track.control(0, 10, pan)
    track.control(0, 11, expression)
    track.control(0, 91, reverb)
    track.control(0, 93, chorus)


def ramp(track, number, first_bar, bars, start, end, steps_per_bar):
    """A controller moving in even steps from start, at first_bar, to end, a step before bars later."""
    steps = bars * steps_per_bar
    for i in range(steps):
        track.control(first_bar * BAR + i * BAR // steps_per_bar, number, start + (end - start) * (i + 1) // steps)


def compose():
    tracks = []

    def new(name, channel):
        track = Track(name, channel)
        if all(t.channel != channel for t in tracks):
            set_up(track)
        tracks.append(track)
        return track

    every_bar = range(BARS)
    chord = [chord_at(bar) for bar in every_bar]

    # Bass: the chord's bass, held through the quiet sections, walking to the next bar in the others.
    bass = new("bass", 7)
    for bar in every_bar:
        section, _ = section_at(bar)
        root = bass_pitch(chord[bar])
        loud = {"intro": 70, "C": 72, "coda": 70}.get(section, 80)
        if section in ("intro", "C", "coda") or bar == BARS - 1:
            bass.note(bar * BAR, BAR - 24, root, loud + variation(7, bar))
        else:
            nxt = bass_pitch(chord[(bar + 1) % BARS])
            fifth = root + (CHORDS[chord[bar]][1][0] + 7 - root) % 12
            fifth = fifth if fifth <= 50 else fifth - 12
            approach = scale_neighbour(nxt, 1 if nxt < root else -1) if nxt != root else fifth
            bass.note(bar * BAR, ticks(2.5) - 24, root, loud + variation(7, bar))
            bass.note(bar * BAR + ticks(2.5), ticks(1) - 24, fifth, loud - 10 + variation(7, bar, 1))
            bass.note(bar * BAR + ticks(3.5), ticks(0.5) - 12, approach, loud - 16 + variation(7, bar, 2))

    # Warm pad: four voices through the whole song; it swells in over the intro and back over the coda.
    pad = looped_voices(4, 53, 76, 16)
    for voice in range(4):
        track = new(f"pad {voice + 1}", 2)
        held_lines(track, pad, voice, every_bar, lambda bar: 64 if section_at(bar)[0] == "C" else 70)
    ramp(tracks[1], 11, 0, 4, 72, 104, 4)
    ramp(tracks[1], 11, 88, 7, 104, 72, 2)

    # Cello: the bass line's roots an octave up, sustained, under the fuller sections.
    cello = new("cello", 10)
    for bar in bars_of("B", "A'", "A''"):
        cello.note(bar * BAR, BAR - 30, bass_pitch(chord[bar], 45), 66 + variation(10, bar))

    # Strings: four voices above the pad, entering with B; a swell across every four bars.
    strings = looped_voices(4, 60, 84, 19)
    string_bars = bars_of("B", "A'", "A''") + list(range(88, 92))
    for voice in range(4):
        track = new(f"strings {voice + 1}", 3)
        held_lines(track, strings, voice, string_bars, lambda bar: 62 if bar < 40 else 70)
    for first in range(24, 88, 4):
        if first in string_bars:
            ramp(tracks[-4], 11, first, 2, 84, 110, 2)
            ramp(tracks[-4], 11, first + 2, 2, 110, 84, 2)

    # Choir: three voices over the bridge and the last A.
    choir = looped_voices(3, 55, 74, 14)
    for voice in range(3):
        track = new(f"choir {voice + 1}", 4)
        held_lines(track, choir, voice, bars_of("C", "A''"), lambda bar: 58 if bar < 72 else 64)

    # Halo pad: a high, slow shimmer in the open sections.
    halo = looped_voices(3, 68, 89, 17)
    for voice in range(3):
        track = new(f"halo {voice + 1}", 8)
        held_lines(track, halo, voice, bars_of("intro", "C", "coda"), lambda bar: 56)

    # Harp: a rippling arpeggio under the A melody, quarters at first, eighths once the song has opened.
    harp = new("harp arpeggio", 5)
    for bar in list(range(4, 8)) + bars_of("A", "A'", "A''") + list(range(88, 92)):
        section, index = section_at(bar)
        ladder = chord_pitches(chord[bar], bass_pitch(chord[bar], 48), 92)
        eighths = section in ("A'", "A''") or (section == "A" and index >= 8)
        pattern = [0, 2, 3, 4, 5, 4, 3, 2] if eighths else [0, 3, 5, 3]
        step = BAR // len(pattern)
        for i, rung in enumerate(pattern):
            accent = 10 if i == 0 else (4 if i == len(pattern) // 2 else 0)
            harp.note(bar * BAR + i * step, 2 * step - 20 if eighths else step - 20, ladder[rung],
                      58 + accent + variation(5, bar, i))
    harp_low = new("harp bass", 5)
    for bar in bars_of("intro", "C", "coda"):
        harp_low.note(bar * BAR, BAR - 40, bass_pitch(chord[bar], 45), 60 + variation(5, bar))

    # The A melody on the flute; the second time the electric piano sings its first half, the third
    # time it is lifted at its peaks.
    flute = new("flute", 0)
    play_melody(flute, MELODY_A, 8, 0, 74)
    play_melody(flute, MELODY_A[8:], 48, 0, 80)
    play_melody(flute, MELODY_A_LAST, 72, 0, 84)
    play_melody(flute, [MELODY_A[0], [(0, 1.5, Bb5), (1.5, 0.5, Ab5), (2, 2, F5)]], 88, 0, 64)
    flute.note(90 * BAR, ticks(3.5), Ab5, 58)

    # Clarinet: a slow counter-line under the flute's returns, a chord tone each half bar.
    clarinet = new("clarinet", 11)
    previous = Ab4
    for bar in list(range(48, 56)) + bars_of("A''"):
        for half in range(2):
            tones = chord_pitches(chord[bar], 58, 72)
            melody = MELODY_A if bar < 72 else MELODY_A_LAST
            sounding = {p % 12 for b, _, p in melody[(bar - 40) % 16] if b // 2 == half}
            choices = [p for p in tones if p % 12 not in sounding] or tones
            pitch = min(choices, key=lambda p: (abs(p - previous), p))
            clarinet.note(bar * BAR + half * 2 * BEAT, 2 * BEAT - 40, pitch, 60 + variation(11, bar, half))
            previous = pitch

    # Electric piano: the B melody and its answering chords, then the first half of A'.
    ep = new("e.piano melody", 1)
    play_melody(ep, MELODY_B, 24, 0, 72)
    play_melody(ep, MELODY_B, 32, 0, 78)
    play_melody(ep, MELODY_A[:8], 40, 0, 76)
    comp = lead_voices([chord[bar] for bar in bars_of("B")], 2, 60, 74, 12)
    for voice in range(2):
        track = new(f"e.piano chord {voice + 1}", 1)
        for i, bar in enumerate(bars_of("B")):
            for beat, length in ((0, 1.5), (1.5, 1), (2.5, 1.5)):
                track.note(bar * BAR + ticks(beat) + voice * 12, ticks(length) - 30 - voice * 12, comp[i][voice],
                           50 + (6 if beat == 0 else 0) + variation(1, bar, voice, int(beat * 2)))

    # Vibraphone: chord tones on the beat through B; in the last A, a second voice answers off the beat.
    vibes = new("vibraphone", 6)
    for bar in bars_of("B"):
        ladder = chord_pitches(chord[bar], 70, 88)
        for i, rung in enumerate((0, 2, 4, 2)):
            vibes.note(bar * BAR + i * BEAT, BEAT - 20, ladder[rung], 52 + variation(6, bar, i))
    vibes_echo = new("vibraphone echo", 6)
    for bar in bars_of("A''"):
        ladder = chord_pitches(chord[bar], 72, 92)
        for i, rung in enumerate((3, 1)):
            vibes_echo.note(bar * BAR + ticks(1.5 + 2 * i), BEAT - 20, ladder[rung], 46 + variation(6, bar, i, 9))

    # Celesta: the B melody's second time an octave up, and the coda's last glints.
    celesta = new("celesta", 12)
    play_melody(celesta, MELODY_B, 32, 12, 54)
    for bar, beat, pitch in ((92, 0, Gb5 + 12), (92, 2, F5 + 12), (93, 0, Eb5 + 12), (93, 2, Db5 + 12),
                              (94, 0, Bb5), (94, 2, Ab5)):
        # The very last glint lets go an eighth before the loop point, so its ring overlaps the restart.
        length = ticks(2) - 40 if (bar, beat) != (94, 2) else ticks(1.5)
        celesta.note(bar * BAR + ticks(beat), length, pitch, 50 - 4 * (bar - 92))

    # Piano over the bridge: the melody, its lower third the second time, and a broken chord below.
    piano = new("piano melody", 13)
    play_melody(piano, MELODY_C, 56, 0, 70)
    play_melody(piano, MELODY_C, 64, 0, 76)
    # The pedal changes with the harmony: lifted on each bar line, pressed again just after the new chord.
    for bar in bars_of("C"):
        if bar > 56:
            piano.control(bar * BAR, 64, 0)
        piano.control(bar * BAR + 40, 64, 127)
    piano.control(72 * BAR - 40, 64, 0)
    piano_third = new("piano harmony", 13)
    for i, bar in enumerate(MELODY_C):
        for beat, length, pitch in bar:
            below = [p for p in chord_pitches(PROGRESSION_C[i], pitch - 5, pitch - 3)]
            if below:
                piano_third.note((64 + i) * BAR + ticks(beat), ticks(length) * 92 // 100, below[-1],
                                 62 + variation(13, i, beat))
    piano_left = new("piano left hand", 13)
    for bar in bars_of("C"):
        ladder = chord_pitches(chord[bar], bass_pitch(chord[bar], 41), 72)
        for i, rung in enumerate((0, 2, 3, 2)):
            piano_left.note(bar * BAR + i * BEAT, BEAT * 2 - 30 if i < 3 else BEAT - 30, ladder[rung],
                            54 + (6 if i == 0 else 0) + variation(13, bar, i))

    # Horns: a warm swell into the last A and under its peaks.
    horns = lead_voices([chord[bar] for bar in range(68, 88)], 2, 53, 70, 10)
    for voice in range(2):
        track = new(f"horn {voice + 1}", 14)
        for i, bar in enumerate(range(68, 88, 2)):
            track.note(bar * BAR, 2 * BAR - 60, horns[2 * i][voice], 56 + variation(14, bar, voice))

    # Pan flute: a distant echo of the melody's cadences.
    pan = new("pan flute", 15)
    for bar, motif in ((7, [(1, 1, Ab5), (2, 2, Eb5)]), (15, [(2, 1, Eb5), (3, 1, F5)]), (23, [(0.5, 3, Ab5)]),
                       (39, [(1, 1, Ab5), (2, 2, Gb5)]), (55, [(1, 1, F5), (2, 2, Eb5)]),
                       (87, [(0.5, 3, Ab5)]), (94, [(0, 3, Ab4 + 12)])):
        for beat, length, pitch in motif:
            pan.note(bar * BAR + ticks(beat), ticks(length) - 40, pitch, 56 + variation(15, bar, int(beat)))

    return tracks


def song_bytes(tracks):
    header = b"MThd" + struct.pack(">IHHH", 6, 1, 1 + len(tracks), TICKS_PER_QUARTER)
    return header + conductor_chunk() + b"".join(t.chunk() for t in tracks)


def main(argv):
    tracks = compose()
    data = song_bytes(tracks)
    if "--verbose" in argv:
        for t in tracks:
            print(f"{t.name:20} ch{t.channel + 1:2} {t.notes:4} notes {len(t.chunk()):5} bytes")
        print(f"{len(tracks)} tracks, {sum(t.notes for t in tracks)} notes, {len(data)} bytes")
    assert len(tracks) == 32, len(tracks)
    assert len(data) == FILE_SIZE, len(data)
    imagefiles.write(f"{argv[1]}/song.mid", data)


if __name__ == "__main__":
    main(sys.argv)
