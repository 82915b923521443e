#!/usr/bin/env python3
"""Writes the dictation corpus: sentences of the kind people put into an image
comment, one per line, lower case, numbers spoken as words.

    corpus.py [--data DIR] [--sentences N] [--seed S] > corpus.txt

The words and sentence shapes live in the data files of DIR (corpus/ beside
this script, read in name order; corpus/README describes the format). A
template names slots in braces ({side}, {size}, ...); each slot draws from a
word list or from one of the number slots below. The output depends only on
the data, N and the seed, so the build makes the same model every time.
"""
import argparse
import os
import random
import re
import sys

ONES = ["zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine"]
TEENS = ["ten", "eleven", "twelve", "thirteen", "fourteen", "fifteen", "sixteen",
         "seventeen", "eighteen", "nineteen"]
TENS = ["", "", "twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"]


def spoken(n):
    """0..999 as spoken words."""
    if n < 10:
        return ONES[n]
    if n < 20:
        return TEENS[n - 10]
    if n < 100:
        t, o = divmod(n, 10)
        return TENS[t] + ("" if o == 0 else " " + ONES[o])
    h, r = divmod(n, 100)
    return ONES[h] + " hundred" + ("" if r == 0 else " " + spoken(r))


def decimal(r):
    whole = r.randint(0, 12)
    frac = r.randint(1, 9)
    if whole == 0 and r.random() < 0.5:
        return "point " + ONES[frac]
    return spoken(whole) + " point " + ONES[frac]


def size_cm(r):
    c = r.random()
    if c < 0.45:
        return decimal(r) + " centimeters"
    if c < 0.6:
        return spoken(r.randint(1, 15)) + " centimeters"
    if c < 0.9:
        return spoken(r.randint(2, 40)) + " millimeters"
    return "one centimeter"


def dims(r):
    c = r.random()
    unit = r.choice(["centimeters", "centimeters", "millimeters"])
    if unit == "millimeters":
        a, b = spoken(r.randint(2, 40)), spoken(r.randint(2, 40))
    else:
        a, b = decimal(r), decimal(r)
    if c < 0.6:
        return f"{a} by {b} {unit}"
    third = decimal(r) if unit == "centimeters" else spoken(r.randint(2, 40))
    return f"{a} by {b} by {third} {unit}"


def small_mm(r):
    return spoken(r.randint(2, 15)) + " millimeter"


def adj_size(r):
    if r.random() < 0.5:
        return (decimal(r) if r.random() < 0.6 else spoken(r.randint(1, 9))) + " centimeter"
    return spoken(r.randint(2, 30)) + " millimeter"


def level(r):
    region = r.random()
    if region < 0.35:
        n = r.randint(2, 7)
        return f"c {spoken(n)} c {spoken(n + 1)}" if n < 7 else "c seven t one"
    if region < 0.55:
        n = r.randint(1, 11)
        return f"t {spoken(n)} t {spoken(n + 1)}"
    n = r.randint(1, 5)
    return f"l {spoken(n)} l {spoken(n + 1)}" if n < 5 else "l five s one"


def vertebra(r):
    c = r.random()
    if c < 0.25:
        return "c " + spoken(r.randint(1, 7))
    if c < 0.65:
        return "t " + spoken(r.randint(1, 12))
    return "l " + spoken(r.randint(1, 5))


def date(r):
    month = r.choice(["january", "february", "march", "april", "may", "june", "july", "august",
                      "september", "october", "november", "december"])
    day = r.choice(["first", "second", "third", "fourth", "fifth", "sixth", "seventh", "eighth",
                    "ninth", "tenth", "eleventh", "twelfth", "fifteenth", "twentieth",
                    "twenty first", "twenty second", "twenty third", "thirtieth"])
    if r.random() < 0.5:
        return f"{month} {day}"
    year = r.choice(["twenty twenty", "twenty twenty one", "twenty twenty two", "twenty twenty three",
                     "twenty twenty four", "twenty twenty five", "twenty nineteen", "two thousand eighteen"])
    return f"{month} {day} {year}"


def article(words):
    return "an" if words[:1] in ("a", "e", "i", "o", "u") and not words.startswith("one") else "a"


# Slots filled by code rather than a word list: sizes, levels and dates.
NUMBERS = {
    "size": size_cm, "dims": dims, "small_mm": small_mm, "adj_size": adj_size,
    "percent": lambda r: spoken(r.choice([10, 20, 25, 30, 40, 50, 50, 60, 70, 70, 75, 80, 90, 95, 99])) + " percent",
    "level": level, "vertebra": vertebra, "date": date,
    "clock": lambda r: spoken(r.randint(1, 12)) + " o'clock",
    "cm_dist": lambda r: spoken(r.randint(1, 8)) + " centimeters",
    "cmd": lambda r: spoken(r.randint(1, 8)) + " centimeters",
    "degrees": lambda r: spoken(r.choice([5, 10, 15, 20, 25, 30, 40, 45])) + " degrees",
    "age": lambda r: spoken(r.randint(18, 95)),
    "months": lambda r: r.choice(["three months", "six months", "three to six months", "six to twelve months",
                                  "twelve months", "one year", "two weeks", "four to six weeks", "one month",
                                  "eighteen months", "two years"]),
    "rib": lambda r: r.choice(["first", "second", "third", "fourth", "fifth", "sixth", "seventh", "eighth",
                               "ninth", "tenth", "eleventh", "twelfth"]),
    "count": lambda r: r.choice(["two", "three", "four", "several", "multiple", "numerous", "a few"]),
    "cm": lambda r: decimal(r) + " centimeters",
    "num": lambda r: spoken(r.choice([r.randint(2, 99), r.randint(100, 400)])),
    "a_adj_size": lambda r: (lambda s: article(s) + " " + s)(adj_size(r)),
    "a_small_mm": lambda r: (lambda s: article(s) + " " + s)(small_mm(r)),
}
NUMBERS["an_adj_size"] = NUMBERS["a_adj_size"]

SLOT = re.compile(r"\{([a-z_0-9]+)\}")
HEADER = re.compile(r"\[([a-z_0-9]+)\](?: (.*))?$")
TEMPLATE = re.compile(r"(\d+) (\S.*)$")


class Corpus:
    """Word lists and weighted templates read from the data files."""

    def __init__(self, data_dir):
        self.lists = {}      # name -> entries, in the order read
        self.carriers = {}   # name -> sentence that holds each entry alone, "..." for the entry
        self.templates = []  # (weight, text)
        where = {}   # list name -> where it starts
        texts = []   # (where, entry or template), to check the slots
        names = sorted(n for n in os.listdir(data_dir) if n.endswith(".txt"))
        if not names:
            raise ValueError(f"{data_dir}: no corpus data files (*.txt)")
        for name in names:
            path = os.path.join(data_dir, name)
            section = None
            try:
                with open(path, encoding="utf-8") as f:
                    lines = f.readlines()
            except UnicodeDecodeError as e:
                raise ValueError(f"{path}: not UTF-8 text ({e.reason} at byte {e.start})")
            for n, line in enumerate(lines, 1):
                line = " ".join(line.split())
                at = f"{path}:{n}"
                if not line or line.startswith("#"):
                    continue
                m = HEADER.match(line)
                if m:
                    section = m.group(1)
                    if section == "templates":
                        continue
                    if section in self.lists:
                        raise ValueError(f"{at}: [{section}] is also defined at {where[section]}")
                    if section in NUMBERS:
                        raise ValueError(f"{at}: [{section}] is a number slot")
                    self.lists[section], where[section] = [], at
                    if m.group(2):
                        if "..." not in m.group(2):
                            raise ValueError(f"{at}: the sentence after [{section}] needs ... for the entry")
                        self.carriers[section] = m.group(2)
                    continue
                if section is None:
                    raise ValueError(f"{at}: text before the first [section]")
                if line != line.lower() or "[" in line:
                    raise ValueError(f"{at}: entries are lower case and have no brackets: {line}")
                if section == "templates":
                    m = TEMPLATE.match(line)
                    if not m or int(m.group(1)) <= 0:
                        raise ValueError(f"{at}: a template is a weight above zero, a space, then the words")
                    self.templates.append((int(m.group(1)), m.group(2)))
                    texts.append((at, m.group(2)))
                else:
                    self.lists[section].append(line)
                    texts.append((at, line))
        for name, entries in self.lists.items():
            if not entries:
                raise ValueError(f"{where[name]}: [{name}] is empty")
        # Every slot must name a list or a number slot.
        for at, text in texts:
            for slot in SLOT.findall(text):
                if slot not in self.lists and slot not in NUMBERS:
                    raise ValueError(f"{at}: no word list for {{{slot}}} in: {text}")
            if SLOT.sub("", text).count("{") or SLOT.sub("", text).count("}"):
                raise ValueError(f"{at}: a brace that is not a slot in: {text}")
        if not self.templates:
            raise ValueError(f"{data_dir}: no templates")
        # A/an after these words is dropped (see fix_articles).
        self.adjectives = {w for k in ("severity", "sizeword", "chronic") for e in self.lists.get(k, []) for w in e.split()}
        self.adjectives |= {"new", "stable", "unchanged", "interval", "redemonstrated", "bilateral", "right", "left"}

    def expand(self, text, r, depth=0):
        if depth > 6:
            raise ValueError("templates nest too deep: " + text)

        def one(m):
            name = m.group(1)
            if name in NUMBERS:
                return NUMBERS[name](r)
            return self.expand(r.choice(self.lists[name]), r, depth + 1)

        return SLOT.sub(one, text)

    def fix_articles(self, s):
        # "a" or "an" as a speaker says it before the next word; none after an
        # adjective that a template put in front of a noun phrase with its own.
        words = s.split()
        words = [w for i, w in enumerate(words)
                 if not (w in ("a", "an") and i > 0 and words[i - 1] in self.adjectives and words[i - 1] != "is")]
        for i in range(len(words) - 1):
            if words[i] in ("a", "an"):
                nxt = words[i + 1]
                vowel = nxt[0] in "aeiou" and not nxt.startswith(("one", "uni", "use", "ure", "uter", "ultra"))
                vowel = vowel or nxt.startswith(("eight", "eleven", "ultras", "x", "ultra"))
                words[i] = "an" if vowel else "a"
        return " ".join(words)

    def sentences(self, count, seed):
        r = random.Random(seed)
        # One sentence for each entry of several words (or in a list with a
        # carrier sentence), so that every listed word is in the corpus;
        # single words come through the templates.
        for name, entries in self.lists.items():
            for e in entries:
                if name in self.carriers:
                    yield self.carriers[name].replace("...", self.expand(e, r))
                elif " " in e:
                    yield self.expand(e, r)
        weights = [w for w, _ in self.templates]
        for _ in range(count):
            yield self.expand(r.choices(self.templates, weights=weights)[0][1], r)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--data", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus"))
    ap.add_argument("--sentences", type=int, default=200000)
    ap.add_argument("--seed", type=int, default=20261208)
    args = ap.parse_args()
    try:
        corpus = Corpus(args.data)
        lines = list(corpus.sentences(args.sentences, args.seed))
    except (OSError, ValueError) as e:
        sys.exit(f"corpus.py: {e}")
    out = sys.stdout
    for s in lines:
        out.write(corpus.fix_articles(" ".join(s.split())) + "\n")


if __name__ == "__main__":
    main()
