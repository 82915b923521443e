#!/usr/bin/env python3
"""Mixes the general English model's word distribution into the radiology
model, so that ordinary words a radiologist says now and then can be heard:

    mixlm.py RADIOLOGY.arpa RANKED.txt N SHARE OUT.arpa

RANKED.txt lists the general model's words, most likely first, with their
unigram log10 probabilities (rankwords). The N commonest, renormalised, get
SHARE of every probability; the radiology model keeps the rest:

    P(w | h) = (1 - SHARE) P_radiology(w | h) + SHARE P_general(w)

for every n-gram the radiology model holds; backoff weights are computed
again so that each history's probabilities add up to one.
"""
import math
import sys


def read_arpa(path):
    """{order: {words tuple: [log10 prob, log10 backoff]}}"""
    grams = {}
    order = 0
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line:
                continue
            if line.startswith("\\") and line.endswith("-grams:"):
                order = int(line[1:line.index("-")])
                grams[order] = {}
                continue
            if line.startswith("\\") or order == 0 or line.startswith("ngram "):
                continue
            parts = line.split()
            if len(parts) < order + 1:
                continue
            words = tuple(parts[1:order + 1])
            bo = float(parts[order + 1]) if len(parts) > order + 1 else 0.0
            grams[order][words] = [float(parts[0]), bo]
    return grams


def main():
    rad_path, ranked_path, n, share, out_path = sys.argv[1:6]
    n, share = int(n), float(share)
    grams = read_arpa(rad_path)
    top = max(grams)
    general = {}
    with open(ranked_path, encoding="utf-8") as f:
        for line in f:
            if len(general) >= n:
                break
            word, logp = line.split()
            if word not in ("<s>", "</s>", "<unk>"):
                general[word] = 10 ** float(logp)
    total = sum(general.values())
    gen = {w: p / total for w, p in general.items()}

    # Probabilities as plain numbers from here on.
    prob = {k: {g: 10 ** v[0] for g, v in grams[k].items()} for k in grams}
    bow = {k: {g: 10 ** v[1] for g, v in grams[k].items()} for k in grams}
    uni = prob[1]
    for w in gen:
        uni.setdefault((w,), 0.0)
        bow[1].setdefault((w,), 1.0)
    for k in prob:
        for g in prob[k]:
            if g[-1] == "<s>":
                continue
            prob[k][g] = (1 - share) * prob[k][g] + share * gen.get(g[-1], 0.0)
    # Unigrams add up to one again (<s> is never predicted).
    s = sum(p for g, p in uni.items() if g[0] != "<s>")
    for g in uni:
        if g[0] != "<s>":
            uni[g] /= s

    def p_lower(g):
        """P(g[-1] | g[:-1]) in the mixed model, backing off as a decoder does."""
        k = len(g)
        if g in prob[k]:
            return prob[k][g]
        return bow[k - 1].get(g[:-1], 1.0) * p_lower(g[1:])

    for k in range(1, top):
        # Each history of order k that continues explicitly at order k + 1.
        seen, lower = {}, {}
        for g, p in prob[k + 1].items():
            h = g[:-1]
            seen[h] = seen.get(h, 0.0) + p
            lower[h] = lower.get(h, 0.0) + p_lower(g[1:])
        for h in bow[k]:
            if h in seen:
                num, den = 1.0 - seen[h], 1.0 - lower[h]
                bow[k][h] = num / den if num > 1e-9 and den > 1e-9 else 1e-9
    with open(out_path, "w", encoding="utf-8") as out:
        out.write("\\data\\\n")
        for k in sorted(prob):
            out.write("ngram %d=%d\n" % (k, len(prob[k])))
        for k in sorted(prob):
            out.write("\n\\%d-grams:\n" % k)
            for g in sorted(prob[k]):
                p = prob[k][g]
                lp = math.log10(p) if p > 0 else -99.0
                if k < top:
                    out.write("%.6f\t%s\t%.6f\n" % (lp, " ".join(g), math.log10(max(bow[k][g], 1e-30))))
                else:
                    out.write("%.6f\t%s\n" % (lp, " ".join(g)))
        out.write("\n\\end\\\n")


if __name__ == "__main__":
    main()
