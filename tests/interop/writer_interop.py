#!/usr/bin/python3
"""The comment writer's output as DCMTK and pydicom read it.

For every file among pydicom's test files and for DCMTK-made variants, writes
a comment with `varnelo-dicom comment` and checks that the written file reads
without new complaints in dcmdump and pydicom, that Image Comments holds the
comment and its trailer, that (0020,0000) is gone and that every other element
is the source's. Writing over the source must give the same bytes as writing
to a new name, the date and time aside. A refused file must get one message
and no target.

usage: writer_interop.py VARNELO_DICOM
"""
import concurrent.futures
import glob
import json
import logging
import os
import re
import shutil
import subprocess
import sys
import tempfile
import warnings

import pydicom
from pydicom.tag import Tag

import longvr_variants

TOOL = sys.argv[1]
TEST_FILES = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files")
ENV = dict(os.environ, LC_ALL="C")
COMMENT = "Right kidney: small cyst.\nNo further action."
STORED = COMMENT.replace("\n", "\r\n")
DATE = rb"\d\d/\d\d/\d\d \d\d:\d\d:\d\d"


def trailer(stored):
    return re.compile(
        re.escape(stored) + r"\r\n\r\n\*{30}\r\nThis comment was recorded with\r\n"
        r"  Varnelo \(c\) the Varnelo authors\. All rights reserved\.\r\n"
        r"https://varnelo\.example/app\r\n\r\n\d\d/\d\d/\d\d \d\d:\d\d:\d\d\r\n\*{30} ?$"
    )


TRAILER = trailer(STORED)
CHARSET_FILES = os.path.join(os.path.dirname(pydicom.__file__), "data", "charset_files")
# Comments saved into files of each character set: accented, Greek, Cyrillic
# and CJK text into UTF-8 files above all, and each script into a file whose
# own set holds it.
ROUND_TRIPS = [
    ("chrX1.dcm", "Gr\u00fc\u00dfe, caf\u00e9, na\u00efve \u00c5se"),
    ("chrX1.dcm", "\u03a9\u03bc\u03ad\u03b3\u03b1 \u03ba\u03b1\u03b9 \u03ac\u03bb\u03c6\u03b1"),
    ("chrX1.dcm", "\u0416\u0443\u043a \u0438 \u0451\u0436\n\u0421\u0435\u0440\u0434\u0446\u0435 \u0432 \u043d\u043e\u0440\u043c\u0435"),
    ("chrX1.dcm", "\u738b\u5c0f\u6771 \u8179\u90e8 \uac80\uc0ac \u3084\u307e\u3060 \U0001F600"),
    ("v_utf8_ct.dcm", "R\u00f6ntgen: \u03b1-\u0416\n\u4e2d\u6587\u30c6\u30b9\u30c8"),
    # (ISO_IR 100 keeps the Windows-1252 bytes of old, whose 80-9F other
    # readers take for C1 controls: nothing from that range here.)
    ("chrFren.dcm", "J\u00e9r\u00f4me \u00e0 c\u00f4t\u00e9 \u00bd"),
    ("chrGreek.dcm", "\u0394\u03b9\u03bf\u03bd\u03c5\u03c3\u03b9\u03bf\u03c2 \u03bf\u03ba"),
    ("chrRuss.dcm", "\u041b\u044e\u043a\u0441\u0435\u043c\u0431\u0443\u0440\u0433"),
    ("chrArab.dcm", "\u0642\u0628\u0627\u0646\u064a"),
    ("chrHbrw.dcm", "\u05e9\u05dc\u05d5\u05dd"),
    ("chrX2.dcm", "\u738b\u5c0f\u4e1c \u8179\u90e8"),
    ("chrI2.dcm", "\ud64d\uae38\ub3d9 \u6d2a\u5409\u6d1e test\n\ud64d"),
    ("chrH31.dcm", "\u5c71\u7530\u592a\u90ce \u3084\u307e\u3060\nline two"),
    ("chrH32.dcm", "\uff94\uff8f\uff80\uff9e \u5c71\u7530"),
]
# Characters the file's set cannot store: refused, nothing written.
REFUSED = [
    ("chrFren.dcm", "\u03a9\u03bc\u03ad\u03b3\u03b1"),
    ("chrRuss.dcm", "caf\u00e9"),
    ("chrH31.dcm", "caf\u00e9"),
    ("CT_small.dcm", "\u738b"),
]
CHARSET_REFUSAL = " could not be written: the comment holds characters that the file's character set cannot store."
KNOWN_REFUSALS = (
    "No valid DicomFile.",
    "Deflate syntax not supported.",
    "Stream read error",
    " is not a valid DICOM Image.",
    " is not a DICOM file.",
)
# Sources the writer must take, whatever else it refuses.
MUST_ACCEPT = {
    "CT_small.dcm", "MR_small.dcm", "MR_small_implicit.dcm", "MR_small_bigendian.dcm", "MR_small_RLE.dcm",
    "JPEG-lossy.dcm", "rtplan.dcm", "nested_priv_SQ.dcm", "SC_rgb_rle.dcm",
}

failures = []


def fail(name, what):
    failures.append(f"{name}: {what}")


def run(args, **kw):
    return subprocess.run(args, capture_output=True, env=ENV, **kw)


def make_variants(work):
    """DCMTK-made variants of a few of pydicom's files."""
    mr = os.path.join(TEST_FILES, "MR_small.dcm")
    ct = os.path.join(TEST_FILES, "CT_small.dcm")
    out = {}

    def dcmtk(name, *args):
        path = os.path.join(work, name)
        r = run(list(args[:-1]) + [args[-1], path])
        if r.returncode != 0:
            fail(name, "DCMTK could not make it: " + r.stderr.decode(errors="replace"))
            return
        out[name] = path

    dcmtk("v_implicit.dcm", "dcmconv", "+ti", mr)
    dcmtk("v_explicit_le.dcm", "dcmconv", "+te", mr)
    dcmtk("v_explicit_be.dcm", "dcmconv", "+tb", mr)
    dcmtk("v_bare_implicit.dcm", "dcmconv", "-F", "+ti", ct)
    dcmtk("v_jpeg_lossless_sv1.dcm", "dcmcjpeg", "+e1", mr)
    dcmtk("v_jpeg_lossless.dcm", "dcmcjpeg", "+el", ct)
    dcmtk("v_rle.dcm", "dcmcrle", mr)
    dcmtk("v_nested_undefined.dcm", "dcmconv", "-e", os.path.join(TEST_FILES, "rtplan.dcm"))
    dcmtk("v_nested_undefined_be.dcm", "dcmconv", "-e", "+tb", os.path.join(TEST_FILES, "nested_priv_SQ.dcm"))
    try:
        out.update(longvr_variants.make(work, ENV))
    except subprocess.CalledProcessError as e:
        fail("longvr variants", "DCMTK could not make them: " + e.stderr.decode(errors="replace"))
    # A UTF-8 CT as DCMTK writes one.
    utf8 = os.path.join(work, "v_utf8_ct.dcm")
    shutil.copy(ct, utf8)
    r = run(["dcmodify", "-nb", "-i", "(0008,0005)=ISO_IR 192", utf8])
    if r.returncode != 0:
        fail("v_utf8_ct.dcm", r.stderr.decode(errors="replace"))
    else:
        out["v_utf8_ct.dcm"] = utf8
    # One that already carries a comment, to be replaced.
    commented = os.path.join(work, "v_commented.dcm")
    shutil.copy(ct, commented)
    r = run(["dcmodify", "-nb", "-i", "(0020,4000)=An earlier note", commented])
    if r.returncode != 0:
        fail("v_commented.dcm", r.stderr.decode(errors="replace"))
    else:
        out["v_commented.dcm"] = commented
    # Image Comments as the last element of the file.
    dump = os.path.join(work, "last.dump")
    with open(dump, "w") as f:
        f.write(
            "(0002,0001) OB 00\\01\n"
            "(0002,0002) UI =SecondaryCaptureImageStorage\n"
            "(0002,0003) UI [1.2.826.0.1.3680043.8.498.77]\n"
            "(0002,0010) UI =LittleEndianExplicit\n"
            "(0008,0016) UI =SecondaryCaptureImageStorage\n"
            "(0008,0018) UI [1.2.826.0.1.3680043.8.498.77]\n"
            "(0010,0010) PN [Doe^Jane]\n"
            "(0020,000d) UI [1.2.826.0.1.3680043.8.498.78]\n"
            "(0020,0013) IS [3]\n"
            "(0020,4000) LT [Last element]\n"
        )
    dcmtk("v_comment_last.dcm", "dump2dcm", "+E", dump)
    return out


def dcmdump(path):
    r = run(["dcmdump", "+L", path])
    complaints = {
        line.replace(path, "FILE") for line in r.stderr.decode(errors="replace").splitlines() if line.strip()
    }
    # A value with line breaks spreads over several lines: join them to
    # their element's line first.
    lines = []
    for line in r.stdout.decode(errors="replace").splitlines():
        if lines and not re.match(r"^\s*[(#]", line):
            lines[-1] += "\n" + line
        else:
            lines.append(line)
    lines = [line for line in lines if not line.lstrip().startswith(("(0020,0000)", "(0020,4000)"))]
    return r.returncode, complaints, lines


class Collect(logging.Handler):
    def __init__(self):
        super().__init__()
        self.messages = set()

    def emit(self, record):
        self.messages.add(record.getMessage())


def pydicom_read(path):
    handler = Collect()
    logger = logging.getLogger("pydicom")
    logger.addHandler(handler)
    try:
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            try:
                ds = pydicom.dcmread(path, force=True)
                ds.walk(lambda d, e: e.value)  # every element, nested ones too
                error = None
            except Exception as e:  # noqa: BLE001 - the complaint is the result
                ds, error = None, f"{type(e).__name__}: {e}"
        complaints = {str(w.message).replace(path, "FILE") for w in caught} | {
            m.replace(path, "FILE") for m in handler.messages
        }
    finally:
        logger.removeHandler(handler)
    return ds, error, complaints


def check_written(name, src, out, stored=STORED):
    rc_s, comp_s, lines_s = dcmdump(src)
    rc_o, comp_o, lines_o = dcmdump(out)
    if rc_o != 0 and rc_s == 0:
        fail(name, f"dcmdump failed on the written file: {sorted(comp_o)}")
    if not comp_o <= comp_s:
        fail(name, f"dcmdump complains anew: {sorted(comp_o - comp_s)}")
    if lines_o != lines_s:
        diff = [l for l in lines_o if l not in lines_s][:3] + ["--"] + [l for l in lines_s if l not in lines_o][:3]
        fail(name, f"dcmdump shows other elements: {diff}")

    ds_s, err_s, pcomp_s = pydicom_read(src)
    ds_o, err_o, pcomp_o = pydicom_read(out)
    if err_o and not err_s:
        fail(name, f"pydicom cannot read the written file: {err_o}")
        return
    if not pcomp_o <= pcomp_s:
        fail(name, f"pydicom complains anew: {sorted(pcomp_o - pcomp_s)}")
    if ds_o is None:
        return
    comments = ds_o.get(Tag(0x0020, 0x4000))
    if comments is None:
        fail(name, "no Image Comments")
    else:
        raw = comments.value if isinstance(comments.value, str) else str(comments.value)
        if not trailer(stored).match(raw):
            fail(name, f"Image Comments is {raw!r}")
        elif len(pydicom.dcmread(out, force=True).get_item(Tag(0x0020, 0x4000)).value) % 2:
            fail(name, "odd comment length")
    if Tag(0x0020, 0x0000) in ds_o:
        fail(name, "(0020,0000) is still there")
    if ds_s is None:
        return
    skip = {Tag(0x0020, 0x0000), Tag(0x0020, 0x4000)}
    tags_s = [t for t in ds_s.keys() if t not in skip]
    tags_o = [t for t in ds_o.keys() if t not in skip]
    if tags_s != tags_o:
        fail(name, f"other elements: {sorted(set(tags_s) ^ set(tags_o))}")
    for t in tags_s:
        if t in ds_o and ds_s[t] != ds_o[t]:
            fail(name, f"element {t} differs")
    meta_s = getattr(ds_s, "file_meta", None)
    meta_o = getattr(ds_o, "file_meta", None)
    if (meta_s is None) != (meta_o is None) or (meta_s is not None and meta_s != meta_o):
        fail(name, "file meta information differs")
    if getattr(ds_s, "preamble", None) != getattr(ds_o, "preamble", None):
        fail(name, "preamble differs")


def dcmtk_utf8_comment(path, work):
    """Image Comments as DCMTK reads it: converted to UTF-8 by dcmconv. None
    when DCMTK cannot convert the file's character set."""
    conv = os.path.join(work, "dcmtk-utf8-" + os.path.basename(path))
    r = run(["dcmconv", "+U8", path, conv])
    if r.returncode != 0:
        return None
    try:
        raw = pydicom.dcmread(conv, force=True).get_item(Tag(0x0020, 0x4000)).value
    finally:
        os.remove(conv)
    return raw.decode("utf-8")


def check_charsets(work, variants):
    """Round trips of comments in many scripts, read back by pydicom and by
    DCMTK where its converter knows the file's set; and refusals."""
    folder = os.path.join(work, "charsets")
    os.mkdir(folder)
    sources = dict(variants)
    for i, (name, comment) in enumerate(ROUND_TRIPS):
        src = sources.get(name) or os.path.join(CHARSET_FILES, name)
        out = os.path.join(folder, f"{i}-{name}")
        label = f"{name} with {comment!r}"
        r = run([TOOL, "comment", src, out, comment])
        if r.returncode != 0:
            fail(label, "refused: " + r.stderr.decode(errors="replace"))
            continue
        stored = comment.replace("\n", "\r\n")
        check_written(label, src, out, stored)
        ds = pydicom.dcmread(out, force=True)
        if ds.get("SpecificCharacterSet") != pydicom.dcmread(src, force=True).get("SpecificCharacterSet"):
            fail(label, "Specific Character Set changed")
        by_dcmtk = dcmtk_utf8_comment(out, folder)
        if by_dcmtk is None:
            if dcmtk_utf8_comment(src, folder) is not None:
                fail(label, "DCMTK cannot convert the written file")
        elif not trailer(stored).match(by_dcmtk):
            fail(label, f"DCMTK reads {by_dcmtk!r}")
        # Written again from its own output: the window shows the stored text,
        # and saving that changes nothing in it but a second trailer.
        got = json.loads(run([TOOL, "info", "--header-only", out]).stdout)["decoded"]["ImageComments"]
        if not got.startswith(stored + "\r\n\r\n"):
            fail(label, f"our own reading is {got!r}")
    # The command line takes its text as UTF-8 and says so when it is not.
    out = os.path.join(folder, "not-utf8.dcm")
    r = subprocess.run([TOOL, "comment", os.path.join(CHARSET_FILES, "chrX1.dcm"), out, b"caf\xe9"],
                       capture_output=True, env=ENV)
    if r.returncode == 0 or r.stderr.decode(errors="replace").strip() != "The comment is not UTF-8 text." or \
            os.path.exists(out):
        fail("not-utf8", f"a comment that is no UTF-8 was not refused: {r.stderr!r}")
    for name, comment in REFUSED:
        src = os.path.join(CHARSET_FILES, name) if name.startswith("chr") else os.path.join(TEST_FILES, name)
        out = os.path.join(folder, "refused-" + name)
        r = run([TOOL, "comment", src, out, comment])
        message = r.stderr.decode(errors="replace").strip()
        if r.returncode == 0 or message != out + CHARSET_REFUSAL or os.path.exists(out):
            fail(f"{name} with {comment!r}", f"not refused as it should be: {message!r}")


def produce(work, name, src):
    """Both writes of one source: to a new name, and over a copy of itself.
    Each write syncs its file, so they run side by side."""
    out = os.path.join(work, "out", name)
    selfdir = os.path.join(work, "self", name)
    own = os.path.join(selfdir, name)
    os.makedirs(selfdir)
    shutil.copy(src, own)
    r_new = run([TOOL, "comment", src, out, COMMENT])
    r_self = run([TOOL, "comment", own, own, "-"], input=COMMENT.encode()) if r_new.returncode == 0 else None
    return out, selfdir, own, r_new, r_self


def main():
    work = tempfile.mkdtemp(prefix="varnelo-writer-interop-")
    try:
        sources = {os.path.basename(p): p for p in sorted(glob.glob(os.path.join(TEST_FILES, "*.dcm")))}
        sources.update({os.path.basename(p): p for p in sorted(glob.glob(os.path.join(CHARSET_FILES, "*.dcm")))})
        variants = make_variants(os.path.join(work))
        sources.update(variants)
        os.mkdir(os.path.join(work, "out"))
        with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
            written = {name: pool.submit(produce, work, name, src) for name, src in sources.items()}
        accepted, refused = [], []
        for name, src in sorted(sources.items()):
            out, selfdir, own, r, r_self = written[name].result()
            message = r.stderr.decode(errors="replace").strip()
            if r.returncode != 0:
                refused.append((name, message))
                if os.path.exists(out):
                    fail(name, "refused, yet a target was written")
                if len(message.splitlines()) != 1 or not any(k in message for k in KNOWN_REFUSALS):
                    fail(name, f"refused with {message!r}")
                if name in MUST_ACCEPT or name in variants:
                    fail(name, f"refused: {message}")
                continue
            accepted.append(name)
            if message:
                fail(name, f"wrote, yet said {message!r}")
            check_written(name, src, out)

            # Over the source itself: same bytes but for the date and time.
            if r_self.returncode != 0:
                fail(name, "writing over the source failed: " + r_self.stderr.decode(errors="replace"))
            else:
                with open(own, "rb") as f1, open(out, "rb") as f2:
                    a, b = re.sub(DATE, b"DATE", f1.read()), re.sub(DATE, b"DATE", f2.read())
                if a != b:
                    fail(name, "writing over the source gives other bytes")
                if os.listdir(selfdir) != [name]:
                    fail(name, f"left behind: {os.listdir(selfdir)}")
        check_charsets(work, variants)
        print(f"accepted {len(accepted)}: {' '.join(accepted)}")
        for name, message in refused:
            print(f"refused {name}: {message}")
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAIL", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
