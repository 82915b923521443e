#!/usr/bin/env python3
"""Picks the sentences the user reads to train the recogniser on their voice:

    prompts.py CORPUS.txt DICT [N] > prompts.txt

N sentences (20 by default) of the corpus, chosen greedily so that each adds
the most phone pairs not yet read (within and across words): twenty sentences
then hold nearly every phone many times over and most of their pairs, which
is what the adaptation's statistics need. Sentences of 7 to 14 words only, so
that each is one breath. The choice depends only on the two files.

It wrote prompts.txt beside it, which the build ships as it stands: run it by
hand on the built corpus and dictionary only when the prompts are meant to
change, since users' kept recordings are of these sentences.
"""
import sys


def main():
    if len(sys.argv) < 3:
        sys.exit("usage: prompts.py CORPUS.txt DICT [N]")
    corpus, dictionary = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 20
    pron = {}
    with open(dictionary, encoding="utf-8") as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 2 and "(" not in parts[0]:
                pron.setdefault(parts[0], parts[1:])
    seen_text = set()
    candidates = []
    with open(corpus, encoding="utf-8") as f:
        for line in f:
            words = line.split()
            text = " ".join(words)
            if not 7 <= len(words) <= 14 or text in seen_text:
                continue
            if any(w not in pron for w in words):
                continue
            seen_text.add(text)
            phones = ["SIL"] + [p for w in words for p in pron[w]] + ["SIL"]
            units = set(zip(phones, phones[1:])) | set(phones)
            candidates.append((text, units))
    covered = set()
    chosen = []
    while len(chosen) < count and candidates:
        # Most new units per word read; the first such sentence on ties.
        best = max(range(len(candidates)),
                   key=lambda i: (len(candidates[i][1] - covered) / len(candidates[i][0].split()), -i))
        text, units = candidates.pop(best)
        covered |= units
        chosen.append(text)
    for text in chosen:
        print(text)


if __name__ == "__main__":
    main()
