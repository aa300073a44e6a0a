#!/usr/bin/python3
"""Modifies every given song with `cantavo --modify` (transposition, tempo, mixer, a muted
track and a changed patch) and reads the original and the result with mido, an independent
MIDI reader: the result must hold exactly the notes, velocities, programs, division and
tracks the rewriting rules give, every other message unchanged.

Songs mido cannot read, or reads into other tracks than the program's track list, are listed
and skipped; the demo songs must all be compared. Exits non-zero on any disagreement.
"""
import json
import os
import subprocess
import sys
import tempfile

import mido

TRANSPOSE = 3
KEEP = 10
TEMPO = 10
MIXER = {1: 50, 2: 200, 3: 0, 4: 75}
PATCH_PROGRAM = 41


def moved(note):
    n = note + TRANSPOSE
    while n > 127:
        n -= 12
    while n < 0:
        n += 12
    return n


def scaled(velocity, slider):
    return min(127, round(velocity * slider / 100 + 1))


def new_division(division):
    d = division * (1 + TEMPO / 100)
    high = round(d) // 256
    return high * 256 + round(d - high * 256)


def expected_message(msg, patched_channel):
    """The message as the rules rewrite it; patched_channel is None when the track keeps
    its programs."""
    if msg.type in ('note_on', 'note_off'):
        channel = msg.channel + 1
        note = msg.note if channel == KEEP else moved(msg.note)
        velocity = msg.velocity
        slider = MIXER.get(channel, 100)
        if slider != 100 and not (msg.type == 'note_on' and velocity == 0):
            velocity = scaled(velocity, slider)
        return msg.copy(note=note, velocity=velocity)
    if msg.type == 'program_change' and patched_channel == msg.channel + 1:
        return msg.copy(program=PATCH_PROGRAM)
    return msg


def check(cantavo, path, out_dir):
    """None when the file was compared and agrees; a reason to skip; raises on a disagreement."""
    info = json.loads(subprocess.run([cantavo, '--info', '--json', path], capture_output=True, text=True).stdout or '{}')
    rows = info.get('tracks', [])
    mute = len(rows) if len(rows) >= 5 else None
    patch = next((i + 1 for i, r in enumerate(rows) if i >= 2 and r['program'] != '' and i + 1 != mute), None)
    out = os.path.join(out_dir, os.path.basename(path) + '.ktf')
    args = [cantavo, '--modify', path, '-o', out, '--transpose', str(TRANSPOSE), '--tempo', str(TEMPO)]
    for ch, pct in MIXER.items():
        args += ['--volume', f'{ch}={pct}']
    if mute:
        args += ['--mute', str(mute)]
    if patch:
        args += ['--patch', f'{patch}={PATCH_PROGRAM}']
    run = subprocess.run(args, capture_output=True, text=True)
    if run.returncode != 0:
        if run.stderr.strip() == 'Error in modifying file':
            return 'refused: its division cannot take the tempo change'
        if 'not a MIDI file' in run.stderr and not rows:
            return 'not a MIDI file'
        raise AssertionError(f'--modify failed: {run.stderr.strip()}')
    # What the program writes is well-formed, whatever it read.
    result = mido.MidiFile(out)
    assert len(result.tracks) == len(rows) - (1 if mute else 0), 'tracks of the result'
    try:
        original = mido.MidiFile(path, clip=True)
    except Exception as e:  # mido refuses damaged files the program reads
        return f'mido cannot read the original ({e}); it reads the result'

    if len(original.tracks) != len(rows):
        return f'mido finds {len(original.tracks)} tracks, the track list {len(rows)}'
    assert result.type == 1, 'format'
    assert result.ticks_per_beat == new_division(original.ticks_per_beat), \
        f'division {result.ticks_per_beat}, expected {new_division(original.ticks_per_beat)}'
    kept = [i for i in range(len(rows)) if i + 1 != mute]
    assert len(result.tracks) == len(kept), f'{len(result.tracks)} tracks, expected {len(kept)}'
    notes = 0
    for j, i in enumerate(kept):
        patched_channel = int(rows[i]['channel']) if patch == i + 1 else None
        want = [expected_message(m, patched_channel) for m in original.tracks[i]]
        got = list(result.tracks[j])
        assert len(got) == len(want), f'track {i + 1}: {len(got)} messages, expected {len(want)}'
        for k, (g, w) in enumerate(zip(got, want)):
            assert g == w, f'track {i + 1} message {k}: {g}, expected {w}'
            notes += g.type == 'note_on'
    if any(r['channel'] not in ('-', '10') for r in rows):
        assert notes > 0, 'no notes compared'
    return None


def main():
    cantavo, files = sys.argv[1], sys.argv[2:]
    failures = 0
    with tempfile.TemporaryDirectory() as out_dir:
        for path in files:
            name = os.path.basename(path)
            try:
                skipped = check(cantavo, path, out_dir)
            except AssertionError as e:
                print(f'DIFFERS {name}: {e}')
                failures += 1
                continue
            if skipped:
                if '/songs/' in path:
                    print(f'DIFFERS {name}: a demo song must be compared ({skipped})')
                    failures += 1
                else:
                    print(f'skipped {name}: {skipped}')
            else:
                print(f'agrees  {name}')
    sys.exit(1 if failures else 0)


if __name__ == '__main__':
    main()
