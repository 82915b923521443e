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
TRAILER = re.compile(
    re.escape(STORED) + r"\r\n\r\n\*{30}\r\nThis comment was recorded with\r\n"
    r"  Varnelo \(c\) the Varnelo authors\. All rights reserved\.\r\n"
    r"https://varnelo\.example/app\r\n\r\n\d\d/\d\d/\d\d \d\d:\d\d:\d\d\r\n\*{30} ?$"
)
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


def check_written(name, src, out):
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
        if not TRAILER.match(raw):
            fail(name, f"Image Comments is {raw!r}")
        elif len(raw) % 2:
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
