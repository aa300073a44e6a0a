#!/usr/bin/python3
"""Reads every given song with mido, an independent MIDI reader, and with
`cantavo --info --json`, and compares the tempo map, the signatures and the lyrics.

Files that mido itself cannot read are listed and skipped; the demo songs must all be
compared. Exits non-zero on any disagreement.
"""
import json
import subprocess
import sys

import mido

TABLE = {0x00: ' ', 0x80: 'C', 0x81: 'ü', 0x82: 'é', 0x83: 'â', 0x84: 'ä', 0x85: 'à', 0x86: 'a', 0x87: 'c',
         0x88: 'ê', 0x89: 'ë', 0x8A: 'è', 0x8B: 'ï', 0x8C: 'î', 0x8D: 'ì', 0x8E: 'Ä', 0x8F: 'A', 0x90: 'É',
         0x93: 'ê', 0x94: 'ö', 0x95: 'ò', 0x96: 'û', 0x97: 'ù', 0x98: 'ÿ', 0x99: 'Ö', 0x9A: 'Ü', 0xA0: 'á',
         0xA1: 'í', 0xA2: 'ó', 0xA3: 'ú', 0xA4: 'ñ', 0xA5: 'Ñ'}

MINOR = {'m'}


CODECS = {'UTF-8': 'utf-8', 'Shift_JIS': 'shift_jis', 'GBK': 'gbk', 'Big5': 'big5', 'EUC-KR': 'euc_kr'}


def decode(raw, encoding):
    """The text as the program reads it under `encoding`, the name --info --json reports."""
    if encoding != 'character-table':
        codec = CODECS.get(encoding) or encoding.replace('windows-', 'cp')
        return raw.replace(b'\0', b' ').decode(codec)
    out = []
    for b in raw:
        if b in TABLE:
            out.append(TABLE[b])
        else:
            try:
                out.append(bytes([b]).decode('cp1252'))
            except UnicodeDecodeError:
                out.append(chr(b))
    return ''.join(out)


def lyric_rule(text):
    if text.endswith('-'):
        text = text[:-1]
    if text.startswith('//'):
        text = '\\' + text[2:]
    return text


def absolute(track):
    t = 0
    for msg in track:
        t += msg.time
        yield t, msg


def raw_text(msg):
    return msg.text.encode('latin-1')


def song_is_utf8(mid):
    multi = False
    for track in mid.tracks:
        for msg in track:
            if msg.type in ('text', 'lyrics'):
                raw = raw_text(msg)
                try:
                    raw.decode('utf-8')
                except UnicodeDecodeError:
                    return False
                multi = multi or any(b >= 0x80 for b in raw)
    return multi


def expected_from_mido(mid):
    first = mid.tracks[0]
    tempo = [{'tick': t, 'micros': m.tempo, 'bpm': round(60000000 / m.tempo)}
             for t, m in absolute(first) if m.type == 'set_tempo' and m.tempo > 0]
    meters = [m for _, m in absolute(first) if m.type == 'time_signature']
    meter = f'{meters[0].numerator}/{meters[0].denominator}' if meters else ''
    keys = [m for _, m in absolute(first) if m.type == 'key_signature']
    key = ''
    if keys:
        k = keys[-1].key
        key = (k[:-1] + ' Minor') if k.endswith('m') else (k + ' Major')
    return tempo, meter, key


def soft_karaoke_lyrics(mid, encoding):
    for track in mid.tracks[1:3]:
        lyrics = []
        for t, m in absolute(track):
            if m.type != 'text':
                continue
            text = decode(raw_text(m), encoding)
            if text.startswith('@'):
                continue
            lyrics.append({'tick': t, 'text': lyric_rule(text)})
        if lyrics and lyrics[0]['text'] != '':
            return lyrics
    return lyrics


def fallback_ticks(mid, kind):
    best = max(mid.tracks, key=lambda tr: sum(1 for m in tr if m.type == kind and
                                              (kind == 'lyrics' or not raw_text(m).startswith(b'@'))))
    return [t for t, m in absolute(best) if m.type == kind and raw_text(m).strip(b'\r\n')
            and (kind == 'lyrics' or not raw_text(m).startswith(b'@'))]


def compare(cantavo, path):
    try:
        mid = mido.MidiFile(path)
    except Exception as e:  # mido rejects damaged files our reader is meant to survive
        return None, f'mido cannot read it ({type(e).__name__}: {e})'
    ours = json.loads(subprocess.run([cantavo, '--info', '--json', path], capture_output=True, text=True).stdout)
    problems = []
    tempo, meter, key = expected_from_mido(mid)
    if ours['tempoMap'] != tempo:
        problems.append(f'tempo map {ours["tempoMap"]} != {tempo}')
    if ours['meter'] != meter:
        problems.append(f'meter {ours["meter"]!r} != {meter!r}')
    if ours['key'] != key:
        problems.append(f'key {ours["key"]!r} != {key!r}')
    encoding = ours.get('encoding', 'character-table')
    if song_is_utf8(mid) and encoding != 'UTF-8':
        problems.append(f'valid UTF-8 read as {encoding}')
    if ours['source'] == 'text':
        expected = soft_karaoke_lyrics(mid, encoding)
        if ours['lyrics'] != expected:
            problems.append(f'lyrics {ours["lyrics"]} != {expected}')
    elif ours['source'] in ('lyric-events', 'text-events'):
        kind = 'lyrics' if ours['source'] == 'lyric-events' else 'text'
        ticks = fallback_ticks(mid, kind)
        if [l['tick'] for l in ours['lyrics']] != ticks:
            problems.append(f'fallback ticks {[l["tick"] for l in ours["lyrics"]]} != {ticks}')
    elif any(m.type == 'text' and not raw_text(m).startswith(b'@') for tr in mid.tracks[1:3] for m in tr) \
            and mid.type != 0 and len(mid.tracks) >= 3:
        problems.append('mido sees lyrics that we do not')
    return problems, None


def main():
    cantavo, paths = sys.argv[1], sys.argv[2:]
    compared, failed, required_missing = 0, 0, 0
    for path in paths:
        problems, skipped = compare(cantavo, path)
        if skipped:
            print(f'SKIP {path}: {skipped}')
            if '/songs/' in path or path.endswith('cantavo.mid'):
                required_missing += 1
            continue
        compared += 1
        if problems:
            failed += 1
            print(f'FAIL {path}')
            for p in problems:
                print(f'     {p}')
        else:
            print(f'ok   {path}')
    print(f'{compared - failed} passed, {failed + required_missing} failed')
    return 1 if failed or required_missing or compared == 0 else 0


if __name__ == '__main__':
    sys.exit(main())
