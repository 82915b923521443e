#!/usr/bin/python3
"""Builds the seed corpora of the fuzz targets, one folder per target:

    /usr/bin/python3 scripts/fuzz-seeds.py OUTDIR

load/ and writer/ get whole files: tests/data/, samples/, Debian's pydicom
test files, and encapsulated variants made from them with DCMTK. The decoder
targets get first fragments of encapsulated pixel data: lossless/ (process 14
streams), jpeg/ (every other JPEG-family stream) and rle/ and jpegext/ (JPEG-LS
and JPEG 2000) with a 6-byte geometry prefix (see fuzz/fuzz_rle.cpp) before
the fragment. Seeds are copied or
made at run time and never committed (the corpora the fuzzers grew from them
are, in fuzz/corpus/); a target without seeds of its own gets an empty folder.
"""
import hashlib
import shutil
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

import warnings

import pydicom

ROOT = Path(__file__).resolve().parent.parent
PYDICOM_FILES = Path("/usr/lib/python3/dist-packages/pydicom/data/test_files")
PYDICOM_CHARSET_FILES = Path("/usr/lib/python3/dist-packages/pydicom/data/charset_files")
MAX_SEED = 512 * 1024
LEARN_TEXTS = (
    "FINDINGS: A 3.5 cm nodule at C5-C6, 2/3 of the way. Seen at 10:30.\n\nIMPRESSION: s/p CABG w/ wires.",
    "Pt is 65 yo. 20G IV in rt arm; x2 views. 3x4x5cm mass ~50% L\u00e9sion caf\u00e9 1,200 ml 1st rib.",
    "Dr. Smith e.g. \u201cquoted\u201d it\u2019s L4-5 T12 2024 r/o PNA 3-5 mm; 0.5 mm, .5 mm, 007.",
)
# Dictated words as the recogniser gives them, for the text forms.
CLINICAL_WORDS = (
    "there is a three point two by two point one centimeter nodule period",
    "mild disc bulge at c five c six and l five s one comma",
    "contrast was injected at ten thirty through a twenty gauge line",
    "see series four image fifty six march fifth twenty twenty four",
    "dose length product four hundred fifty milligray centimeters forty percent",
)
LOSSLESS = ("1.2.840.10008.1.2.4.57", "1.2.840.10008.1.2.4.70")
RLE = "1.2.840.10008.1.2.5"
JPEGEXT = ("1.2.840.10008.1.2.4.80", "1.2.840.10008.1.2.4.81", "1.2.840.10008.1.2.4.90", "1.2.840.10008.1.2.4.91")
TARGETS = tuple(line.split()[0] for line in (ROOT / "fuzz" / "targets.txt").read_text().splitlines()
                if line[:1].isalpha())


def put(folder: Path, data: bytes, hint: str = "") -> None:
    if not data or len(data) > MAX_SEED:
        return
    folder.mkdir(parents=True, exist_ok=True)
    name = hashlib.sha1(data).hexdigest()[:16] + (("-" + hint) if hint else "")
    (folder / name).write_bytes(data)


def first_fragment(pixel_data: bytes):
    """The first fragment after the Basic Offset Table, or None."""
    pos = 0
    fragments = []
    while pos + 8 <= len(pixel_data) and len(fragments) < 2:
        tag, length = struct.unpack_from("<II", pixel_data, pos)
        if tag != 0xE000FFFE:
            break
        fragments.append(pixel_data[pos + 8 : pos + 8 + length])
        pos += 8 + length
    return fragments[1] if len(fragments) == 2 else None


def candidates():
    for folder in (ROOT / "tests" / "data", ROOT / "samples", PYDICOM_FILES, PYDICOM_CHARSET_FILES):
        if folder.is_dir():
            for p in sorted(folder.rglob("*")):
                if p.is_file() and p.stat().st_size <= MAX_SEED:
                    yield p


def encapsulated_variants(work: Path, sources):
    """DCMTK-made lossless, lossy and RLE versions of small uncompressed files."""
    jpeg_modes = [["+e1"], ["+el", "+sv", "1"], ["+el", "+sv", "4"], ["+el", "+sv", "7"], ["+eb"], ["+ee"],
                  ["+es"], ["+ep"], ["+el", "+sv", "6", "+pt", "2"]]
    made = []
    for i, src in enumerate(sources):
        for j, mode in enumerate(jpeg_modes):
            out = work / f"v{i}-jpeg{j}.dcm"
            if subprocess.run(["dcmcjpeg", "-q", *mode, str(src), str(out)], stderr=subprocess.DEVNULL).returncode == 0:
                made.append(out)
        out = work / f"v{i}-rle.dcm"
        if subprocess.run(["dcmcrle", "-q", str(src), str(out)], stderr=subprocess.DEVNULL).returncode == 0:
            made.append(out)
    return made


def main() -> int:
    warnings.simplefilter("ignore")
    out = Path(sys.argv[1])
    for t in TARGETS:
        shutil.rmtree(out / t, ignore_errors=True)
        (out / t).mkdir(parents=True)
    files = list(candidates())
    uncompressed = []
    for p in files:
        data = p.read_bytes()
        put(out / "load", data)
        put(out / "writer", data)
        try:
            ds = pydicom.dcmread(str(p), force=True)
            ts = str(ds.file_meta.TransferSyntaxUID)
        except Exception:
            continue
        if "PixelData" in ds and ts in ("1.2.840.10008.1.2", "1.2.840.10008.1.2.1") and len(data) <= 128 * 1024:
            uncompressed.append(p)
    with tempfile.TemporaryDirectory() as tmp:
        made = encapsulated_variants(Path(tmp), uncompressed[:12])
        for p in files + made:
            data = p.read_bytes()
            if p in made:
                put(out / "load", data)
                put(out / "writer", data)
            try:
                ds = pydicom.dcmread(str(p), force=True)
                ts = str(ds.file_meta.TransferSyntaxUID)
                pixel = ds.get("PixelData")
            except Exception:
                continue
            if pixel is None or not ts.startswith("1.2.840.10008.1.2.") or ts[18:19] < "3":
                continue
            frag = first_fragment(pixel)
            if frag is None:
                continue
            if ts in LOSSLESS:
                put(out / "lossless", frag, "lossless")
            elif ts == RLE or ts in JPEGEXT:
                bits = int(ds.get("BitsAllocated", 8))
                spp = int(ds.get("SamplesPerPixel", 1))
                geometry = struct.pack("<HHBB", int(ds.Rows), int(ds.Columns),
                                       ((spp - 1) & 3) | (int(ds.get("PlanarConfiguration", 0)) & 1) << 2,
                                       1 if bits == 16 else 0)
                target = "rle" if ts == RLE else "jpegext"
                put(out / target, geometry + frag, target)
            elif ts[18:19] == "4":
                put(out / "jpeg", frag, "jpeg")
    # Report text for the learning normaliser, in a few encodings.
    for i, text in enumerate(LEARN_TEXTS):
        put(out / "learntext", text.encode("utf-8"), "learntext")
        put(out / "learntext", text.encode("cp1252", "replace"), "learntext")
    # Written text and dictated words for the text forms.
    for text in LEARN_TEXTS + CLINICAL_WORDS:
        put(out / "clinicalforms", text.encode("utf-8"), "clinicalforms")
    for t in TARGETS:
        n = len(list((out / t).glob("*"))) if (out / t).is_dir() else 0
        print(f"{t}: {n} seeds")
    return 0


if __name__ == "__main__":
    sys.exit(main())
