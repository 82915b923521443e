#!/usr/bin/env python3
"""Writes the recogniser's dictionary: the acoustic model's own dictionary plus a
pronunciation for every corpus word it lacks, from festival's letter-to-sound
rules (CMU lexicon), mapped to the acoustic model's phone set.

    pronounce.py BASE.dict CORPUS.txt OUT.dict [RANKED.txt N]

With RANKED.txt (words of the general model, most likely first) only the N
commonest of them are kept beside the corpus words: every word in the
dictionary is one the recogniser may hear, and rare ones it can mistake a
radiology term for cost more than they bring.

A few words get pronunciations of their own (OWN below), beside what the
rules or the base dictionary give: letter names that the rules would read as
a word, and terms whose vowels or stress the rules or the base get audibly
wrong, as a radiologist says them.
"""
import os
import re
import subprocess
import sys
import tempfile

# festival's phones to the acoustic model's (upper case, no stress).
PHONES = {
    "ax": "AH", "axr": "ER", "dx": "T", "el": "AH L", "em": "AH M", "en": "AH N", "nx": "N", "hv": "HH",
}
MODEL_PHONES = set("AA AE AH AO AW AY B CH D DH EH ER EY F G HH IH IY JH K L M N NG OW OY P R S SH T TH "
                   "UH UW V W Y Z ZH".split())

# Letter names, for words said letter by letter.
LETTERS = {
    "a": "EY", "b": "B IY", "c": "S IY", "d": "D IY", "e": "IY", "f": "EH F", "g": "JH IY", "h": "EY CH",
    "i": "AY", "j": "JH EY", "k": "K EY", "l": "EH L", "m": "EH M", "n": "EH N", "o": "OW", "p": "P IY",
    "q": "K Y UW", "r": "AA R", "s": "EH S", "t": "T IY", "u": "Y UW", "v": "V IY", "w": "D AH B AH L Y UW",
    "x": "EH K S", "y": "W AY", "z": "Z IY",
}
SPELLED = {"acl", "copd", "gi", "kub", "mrcp", "ct", "mri", "pa", "dvt", "ivc", "svc", "mca", "ica", "cbd",
           "ecg", "egfr", "icd", "icu", "ij", "iv", "iud", "gp", "crt", "mdt"}

# Words with pronunciations of their own, added beside the others.
OWN = {
    "ureter": ["Y UH R IY T ER", "Y ER IY T ER"],
    "ureters": ["Y UH R IY T ER Z", "Y ER IY T ER Z"],
    "atelectatic": ["AE T AH L EH K T AE T IH K"],
    "lingula": ["L IH NG G Y AH L AH"],
    "hemangioma": ["HH IY M AE N JH IY OW M AH"],
    "basilar": ["B AE S AH L ER"],
    "infrarenal": ["IH N F R AH R IY N AH L"],
    "subclavian": ["S AH B K L EY V IY AH N"],
    "angiography": ["AE N JH IY AA G R AH F IY"],
    "periappendiceal": ["P EH R IY AE P AH N D IH SH AH L"],
    "heterogeneously": ["HH EH T ER AH JH IY N IY AH S L IY"],
    "metatarsal": ["M EH T AH T AA R S AH L"],
    "steatosis": ["S T IY AH T OW S IH S"],
    "bibasilar": ["B AY B EY S AH L ER"],
    "aneurysmal": ["AE N Y ER IH Z M AH L"],
    "mesentery": ["M EH S AH N T EH R IY"],
    "foraminal": ["F AO R AE M AH N AH L"],
    "emphysematous": ["EH M F AH S EH M AH T AH S"],
    "sclerotic": ["S K L ER AA T IH K"],
    "retroperitoneal": ["R EH T R OW P EH R AH T AH N IY AH L"],
    "hyperdense": ["HH AY P ER D EH N S"],
    "hypodense": ["HH AY P OW D EH N S"],
    "paracolic": ["P EH R AH K AA L IH K"],
    "perihilar": ["P EH R IY HH AY L ER"],
    "apices": ["EY P AH S IY Z"],
    "malleolus": ["M AH L IY AH L AH S"],
    "meniscus": ["M AH N IH S K AH S"],
    "fibroglandular": ["F AY B R OW G L AE N JH AH L ER"],
    "periprosthetic": ["P EH R IY P R AA S TH EH T IH K"],
    "ileum": ["IH L IY AH M"],
    "cerebellar": ["S EH R AH B EH L ER"],
    "nonemergent": ["N AA N IH M ER JH AH N T"],
    "cholecystitis": ["K OW L AH S IH S T AY T AH S"],
    "granulomatous": ["G R AE N Y AH L OW M AH T AH S"],
    "granulomas": ["G R AE N Y AH L OW M AH Z"],
    "epididymis": ["EH P AH D IH D AH M AH S"],
    "sternotomy": ["S T ER N AA T AH M IY"],
    "intraperitoneal": ["IH N T R AH P EH R AH T AH N IY AH L"],
    "hemipelvis": ["HH EH M IY P EH L V IH S"],
    "saphenous": ["S AH F IY N AH S"],
    "peroneal": ["P EH R AH N IY AH L"],
    "ureterovesical": ["Y UH R IY T ER OW V EH S IH K AH L"],
    "ureteral": ["Y UH R IY T ER AH L"],
    "ureteropelvic": ["Y UH R IY T ER OW P EH L V IH K"],
    "ostial": ["AA S T IY AH L"],
    "brachial": ["B R EY K IY AH L"],
    "pneumatosis": ["N UW M AH T OW S IH S"],
    "paranasal": ["P AE R AH N EY Z AH L"],
    "peritoneum": ["P EH R AH T AH N IY AH M"],
    "adenopathy": ["AE D AH N AA P AH TH IY"],
    "splenomegaly": ["S P L IY N OW M EH G AH L IY"],
    "nephrolithiasis": ["N EH F R OW L IH TH AY AH S IH S"],
    "endoleak": ["EH N D OW L IY K"],
    "exophytic": ["EH K S OW F IH T IH K"],
    "tenosynovitis": ["T EH N OW S AY N AH V AY T AH S"],
    "cecum": ["S IY K AH M"],
    "demyelinating": ["D IY M AY AH L AH N EY T IH NG"],
    "cruciate": ["K R UW SH IY AH T"],
    "hypovascular": ["HH AY P OW V AE S K Y AH L ER"],
    "aerated": ["EH R EY T IH D"],
    "celiac": ["S IY L IY AE K"],
    "intramedullary": ["IH N T R AH M EH D AH L EH R IY"],
    "nonocclusive": ["N AA N AH K L UW S IH V"],
    "occlusive": ["AH K L UW S IH V"],
    "hemodynamically": ["HH IY M OW D AY N AE M IH K L IY"],
    "labrum": ["L EY B R AH M"],
    "demineralized": ["D IY M IH N ER AH L AY Z D"],
    "hypoattenuating": ["HH AY P OW AH T EH N Y UW EY T IH NG"],
    "arteriovenous": ["AA R T IH R IY OW V IY N AH S"],
    "hilar": ["HH AY L ER"],
    "hilum": ["HH AY L AH M"],
    "picc": ["P IH K"],
    "cabg": ["K AE B IH JH"],
    "hida": ["HH AY D AH"],
    "birads": ["B AY R AE D Z"],
    "rads": ["R AE D Z"],
    "tirads": ["T IY R AE D Z", "T AY R AE D Z"],
    "mr": ["EH M AA R"],
    "mediport": ["M IY D IY P AO R T"],
    "pneumothorax": ["N UW M OW TH AO R AE K S", "N UW M AH TH AO R AE K S"],
    "effusion": ["IH F Y UW ZH AH N", "EH F Y UW ZH AH N"],
    "cardiomegaly": ["K AA R D IY OW M EH G AH L IY"],
    "atelectasis": ["AE T AH L EH K T AH S IH S"],
    "nondisplaced": ["N AA N D IH S P L EY S T"],
    "endotracheal": ["EH N D OW T R EY K IY AH L"],
    "hydronephrosis": ["HH AY D R OW N AH F R OW S IH S"],
    "echogenic": ["EH K OW JH EH N IH K"],
    "hypoechoic": ["HH AY P OW EH K OW IH K"],
    "hyperechoic": ["HH AY P ER EH K OW IH K"],
    "anechoic": ["AE N EH K OW IH K"],
    "isoechoic": ["AY S OW EH K OW IH K"],
    "osseous": ["AA S IY AH S"],
    "mediastinal": ["M IY D IY AH S T AY N AH L"],
    "hematoma": ["HH IY M AH T OW M AH"],
    "subdural": ["S AH B D UH R AH L"],
    "infarct": ["IH N F AA R K T"],
    "infarcts": ["IH N F AA R K T S"],
    "opacities": ["OW P AE S AH T IY Z"],
    "ct": ["S IY T IY"],
    "kub": ["K EY Y UW B IY"],
    "ulna": ["AH L N AH"],
    "ulnar": ["AH L N ER"],
    "sulci": ["S AH L K AY", "S AH L S AY"],
    "foci": ["F OW S AY", "F OW K AY"],
    "ascites": ["AH S AY T IY Z"],
    "biliary": ["B IH L IY EH R IY"],
    "thrombus": ["TH R AA M B AH S"],
    "emboli": ["EH M B AH L AY"],
    "calculi": ["K AE L K Y AH L AY"],
    "situ": ["S IH T UW", "S AY T UW"],
    # Technologists' notes and chest films.
    "pa": ["P IY EY"],
    "et": ["IY T IY"],
    "ng": ["EH N JH IY"],
    "og": ["OW JH IY"],
    "hila": ["HH AY L AH"],
    "bronchogram": ["B R AA NG K OW G R AE M"],
    "bronchograms": ["B R AA NG K OW G R AE M Z"],
    "bullae": ["B UH L IY", "B AH L IY"],
    "decubitus": ["D IH K Y UW B IH T AH S"],
    "cannula": ["K AE N Y AH L AH"],
    "cannulated": ["K AE N Y AH L EY T IH D"],
    "creatinine": ["K R IY AE T AH N IY N"],
    "subpleural": ["S AH B P L UH R AH L"],
    "scapulae": ["S K AE P Y AH L IY"],
    "diaphragms": ["D AY AH F R AE M Z"],
    "azygos": ["AE Z IH G OW S"],
    "antecubital": ["AE N T IY K Y UW B IH T AH L"],
    "oximetry": ["AA K S IH M AH T R IY"],
    "obliques": ["OW B L IY K S"],
    "lobar": ["L OW B ER"],
    "intercostal": ["IH N T ER K AA S T AH L"],
    "midazolam": ["M IH D AE Z AH L AE M"],
    "vasovagal": ["V EY Z OW V EY G AH L"],
}


def festival_lookup(words):
    """Pronunciations festival's CMU lexicon (with its letter-to-sound rules) gives."""
    with tempfile.TemporaryDirectory() as tmp:
        script = os.path.join(tmp, "lookup.scm")
        with open(script, "w") as f:
            f.write('(lex.select "cmu")\n')
            for w in words:
                f.write('(print (list "%s" (lex.lookup "%s" nil)))\n' % (w, w))
        out = subprocess.run(["festival", "-b", script], capture_output=True, text=True, check=True).stdout
    result = {}
    for line in out.splitlines():
        m = re.match(r'\("([^"]+)" \("[^"]*" [^ ]+ (.*)\)\)$', line.strip())
        if not m:
            continue
        phones = re.findall(r"[a-z]+", m.group(2))
        mapped = " ".join(PHONES.get(p, p.upper()) for p in phones).split()
        if mapped and all(p in MODEL_PHONES for p in mapped):
            result[m.group(1)] = " ".join(mapped)
    return result


def main():
    base_path, corpus_path, out_path = sys.argv[1:4]
    keep = None
    if len(sys.argv) == 6:
        with open(sys.argv[4], encoding="utf-8") as f:
            keep = set(line.split()[0] for _, line in zip(range(int(sys.argv[5])), f))
    base = {}
    order = []
    with open(base_path, encoding="utf-8") as f:
        for line in f:
            parts = line.split()
            if not parts:
                continue
            word = re.sub(r"\(\d+\)$", "", parts[0])
            if word not in base:
                base[word] = []
                order.append(word)
            base[word].append(" ".join(parts[1:]))
    vocab = set()
    with open(corpus_path, encoding="utf-8") as f:
        for line in f:
            vocab.update(line.split())
    missing = sorted(w for w in vocab if w not in base)
    # The rules know no apostrophes: "morison's" is "morison" and a Z.
    stems = {w: w.replace("'s", "") for w in missing}
    lts = festival_lookup(sorted(set(stems.values())))
    extra = {}
    for w in missing:
        if w in SPELLED or (len(w) <= 3 and not re.search(r"[aeiouy]", w)):
            extra[w] = [" ".join(LETTERS[c] for c in w if c in LETTERS)]
            continue
        p = lts.get(stems[w])
        if not p and w in OWN:
            continue
        if not p:
            sys.exit("no pronunciation for the corpus word: " + w)
        if w.endswith("'s"):
            p += " Z"
        extra[w] = [p]
    for w, prons in OWN.items():
        if w in vocab:
            extra[w] = extra.get(w, []) + [p for p in prons if p not in extra.get(w, [])]
    tmp = out_path + ".tmp"
    with open(tmp, "w", encoding="utf-8") as out:
        words = set(order) if keep is None else (set(order) & (keep | vocab))
        for word in sorted(words | set(extra)):
            prons = list(base.get(word, []))
            for p in extra.get(word, []):
                if p not in prons:
                    prons.append(p)
            for i, p in enumerate(prons):
                out.write(("%s %s\n" % (word, p)) if i == 0 else ("%s(%d) %s\n" % (word, i + 1, p)))
    os.replace(tmp, out_path)


if __name__ == "__main__":
    main()
