#!/usr/bin/env python3
"""Chest X-ray reports of one terse radiologist with habits of his own, for
the learning benchmark (bench/learning.sh): abbreviations, numbers as digits,
"?" for doubt, favourite phrases our corpus does not use.

    learning_reports.py SEED COUNT OUT.txt

writes COUNT reports, one per line, as he types them.
"""
import random
import sys

SIDES = ["R", "L", "rt", "lt", "bilat"]
ZONES = ["base", "apex", "mid zone", "infrahilar region", "lingula", "perihilar region", "costophrenic angle"]


def side(r):
    return r.choice(SIDES)


def report(r):
    s = []
    view = r.choice(["PA and lat CXR.", "AP portable CXR.", "PA CXR.", "Semi-erect AP CXR at 06:30.", "CXR x2 views."])
    s.append(view)
    if r.random() < 0.4:
        s.append(r.choice(["Comparison %d/%d." % (r.randint(1, 12), r.randint(1, 28)), "No prior for comparison.",
                           "Cf. study of %d days ago." % r.randint(2, 30)]))
    s.append(r.choice([
        "Heart nl size.", "Heart size upper limits of nl.", "Cardiomegaly, CTR approx 0.%d." % r.randint(55, 70),
        "Heart size difficult to assess on AP film.", "Low lung volumes accentuate the heart.",
        "Heart borders obscured by overlying haziness."]))
    s.append(r.choice([
        "Hila are somewhat prominent, ?lordotic positioning.", "Hila nl.", "Prominent hila, likely vascular.",
        "Hila bulky bilat, ?adenopathy.", "Hila are crowded due to low volumes."]))
    for _ in range(r.randint(1, 3)):
        z = r.choice(ZONES)
        s.append(r.choice([
            "Streaky opacity %s %s, ?atelectasis." % (side(r), z),
            "Patchy haziness %s %s c/w early consolidation." % (side(r), z),
            "Kerley B lines at %s bases, interstitial edema." % r.choice(["both", "the R", "the L"]),
            "Air bronchograms %s %s." % (side(r), z),
            "Fissural thickening, minor fissure.",
            "%d mm nodular density %s %s, ?nipple shadow." % (r.randint(4, 15), side(r), z),
            "Lingular scarring unchanged.",
            "Blunting of the %s costophrenic angle, small effusion." % r.choice(["R", "L"]),
            "Pleural fluid tracks into the major fissure.",
            "Hyperinflated lungs with flattened hemidiaphragms, c/w COPD.",
            "Subsegmental atelectasis %s %s." % (side(r), z),
        ]))
    if r.random() < 0.5:
        s.append(r.choice([
            "Pacer with leads in RA and RV.", "Dual lead pacer, leads intact.",
            "Defibrillator pad over the L chest.", "ETT tip %.1f cm above carina." % (r.randint(20, 70) / 10),
            "NGT tip below the diaphragm.", "R IJ line tip in the SVC.", "L PICC tip at cavoatrial junction.",
            "Sternotomy wires intact.", "20G IV over the L arm noted."]))
    s.append(r.choice(["No PTX.", "No pneumothorax.", "No PTX or effusion.", "Bones unremarkable.",
                       "Degenerative change T-spine.", "Old healed R rib fx."]))
    s.append(r.choice([
        "Impression: no acute cardiopulmonary process.", "Impr: mild CHF.", "Impr: ?early pneumonia %s %s." % (side(r), r.choice(ZONES)),
        "Impr: low volumes, no focal airspace disease.", "Impr: lines and tubes as above.",
        "Impr: stable chest, f/u as clinically indicated.", "Impr: suggest repeat PA and lat in %d wks." % r.randint(2, 8)]))
    return " ".join(s)


def main():
    seed, count, out = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    r = random.Random(seed)
    with open(out, "w", encoding="utf-8") as f:
        for _ in range(count):
            f.write(report(r) + "\n")


if __name__ == "__main__":
    main()
