#!/usr/bin/python3
"""Engraving beside MuseScore 3: for each score, plinkel's LilyPond source compiled by lilypond
(errors, failed bar checks, pages, seconds of our writer and of lilypond), the notes of the MIDI
lilypond makes from it against plinkel's own MIDI export, the spelled note names of the source
against plinkel's MusicXML spelling, and the pages of MuseScore's PDF of the same input.
Usage: PLINKEL_PREFIX=INSTALLED_TREE bench/engrave_compare.py SCORE.(mid|musicxml|mxl)..."""
import collections, os, re, subprocess, sys, tempfile, time
import xml.etree.ElementTree as ET
import mido

CONVERT = os.path.join(os.environ["PLINKEL_PREFIX"], "bin", "plinkel-convert")
NOTE = re.compile(r"(?<![\\a-z])([a-g])(isis|eses|is|es)?([',]*)(?=[0-9<>~ |])")
ALTER = {"isis": 2, "is": 1, "": 0, "es": -1, "eses": -2}


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, **kw)


def pages(pdf):
    out = run(["pdfinfo", pdf]).stdout
    m = re.search(r"^Pages:\s+(\d+)", out, re.M)
    return int(m.group(1)) if m else 0


def midi_notes(path):
    """(pitch, onset in 20 ms steps) of every note-on, drums too, as a multiset."""
    notes, now = collections.Counter(), 0.0
    for msg in mido.MidiFile(path):
        now += msg.time
        if msg.type == "note_on" and msg.velocity > 0:
            notes[(msg.note, round(now * 50))] += 1
    return notes


def ly_names(ly):
    """The distinct spelled pitches (step, alteration, octave) of the notes in a source."""
    body = ly[ly.index("\\score"):]
    body = re.sub(r"\\[a-zA-Z]+|\"[^\"]*\"", " ", body)
    names = set()
    for step, alt, marks in NOTE.findall(body):
        octave = 3 + marks.count("'") - marks.count(",")
        names.add((step.upper(), ALTER[alt or ""], octave))
    return names


def xml_names(path):
    names = set()
    for p in ET.parse(path).iter("pitch"):
        names.add((p.findtext("step"), int(float(p.findtext("alter") or 0)), int(p.findtext("octave"))))
    return names


def compare(src, work):
    base = os.path.join(work, os.path.splitext(os.path.basename(src))[0])
    t = time.time()
    if run([CONVERT, src, base + ".ly"]).returncode:
        return None
    ours = time.time() - t
    run([CONVERT, src, base + ".mid"])
    run([CONVERT, src, base + ".musicxml"])
    t = time.time()
    lp = run(["lilypond", "--loglevel=WARNING", "-o", base, base + ".ly"])
    ly_s = time.time() - t
    errors = len(re.findall(r"error", lp.stderr))
    barchecks = len(re.findall(r"barcheck failed", lp.stderr))
    ms_pdf = base + "-ms.pdf"
    run(["mscore3", "-o", ms_pdf, src], env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
    want, got = midi_notes(base + ".mid"), midi_notes(base + ".midi") if os.path.exists(base + ".midi") else collections.Counter()
    matched = sum((want & got).values())
    with open(base + ".ly") as f:
        ly = ly_names(f.read())
    xml = xml_names(base + ".musicxml")
    return dict(name=os.path.basename(src), ours=ours, lily=ly_s, errors=errors, barchecks=barchecks,
                pages=pages(base + ".pdf"), ms_pages=pages(ms_pdf),
                notes=f"{matched}/{sum(want.values())}", extra=sum((got - want).values()),
                spelling="same" if ly == xml else f"ly-only {sorted(ly - xml)[:3]} xml-only {sorted(xml - ly)[:3]}")


def main():
    work = tempfile.mkdtemp(prefix="plinkel-engrave-bench-")
    print(f"{'score':28} {'ours s':>6} {'ly s':>6} {'err':>3} {'bar':>3} {'pages':>5} {'mscore':>6} {'notes matched':>14} {'extra':>5} spelling")
    for src in sys.argv[1:]:
        r = compare(src, work)
        if not r:
            print(f"{os.path.basename(src):28} cannot be converted")
            continue
        print(f"{r['name'][:28]:28} {r['ours']:6.2f} {r['lily']:6.1f} {r['errors']:3} {r['barchecks']:3} "
              f"{r['pages']:5} {r['ms_pages']:6} {r['notes']:>14} {r['extra']:5} {r['spelling']}", flush=True)
    print(f"files in {work}")


main()
