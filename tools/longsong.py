#!/usr/bin/env python3
"""Writes a longer song for the real-time benchmarks: a score whose music tracks play their
verse `times` times over, with the words again each time (kargen turns it into a .kar).

    longsong.py SCORE TIMES > LONG.score
"""
import sys


def main():
    path, times = sys.argv[1], int(sys.argv[2])
    sections, head = [], []
    for line in open(path, encoding="utf-8"):
        if line.startswith("track"):
            sections.append([line])
        elif sections:
            sections[-1].append(line)
        else:
            head.append(line)
    out = head[:]
    for section in sections:
        # The first track holds the tempo map; its text events stay single.
        body = [l for l in section[1:] if not l.lstrip().startswith(("text", "timesig", "keysig"))]
        fixed = [l for l in section[1:] if l not in body]
        out += [section[0]] + fixed + body * times
    sys.stdout.write("".join(out))


if __name__ == "__main__":
    main()
