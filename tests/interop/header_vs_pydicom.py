#!/usr/bin/python3
"""Every DICOM file that Debian's pydicom ships: our header walk must agree
with pydicom on the raw summary values, the image size and the transfer
syntax decisions; files we refuse must be refused for a reason pydicom
confirms.

The summary strings as decoded by the data set's Specific Character Set
must be pydicom's, for its test files and for every file of its
charset_files.

DCMTK-made files with elements of the VRs that later editions put in the
long form must load whole: summary, image size and preview.

usage: header_vs_pydicom.py VARNELO_DICOM [TEST_FILES_DIR]
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

import pydicom
import pydicom.multival
from pydicom.tag import Tag

import longvr_variants

FIELDS = {
    "PatientName": 0x00100010, "PatientID": 0x00100020, "PatientBirthDate": 0x00100030,
    "ContentDate": 0x00080023, "Modality": 0x00080060, "Manufacturer": 0x00080070,
    "InstitutionName": 0x00080080, "AccessionNumber": 0x00080050,
    "ReferringPhysicianName": 0x00080090, "InstanceNumber": 0x00200013,
    "BodyPartExamined": 0x00180015, "ImageComments": 0x00204000,
}
DEFLATED = "1.2.840.10008.1.2.1.99"


def raw_bytes(ds, tag):
    """The value bytes of a top-level element as stored, or None."""
    if tag not in ds:
        return None
    elem = ds.get_item(tag)
    value = elem.value
    if isinstance(value, bytes):
        return value
    return None


def unescape(s):
    return s.encode("latin-1")


def decoded_text(s, vr):
    """A decoded value without what pydicom drops: padding, and empty
    trailing component groups of person names."""
    values = [s] if vr in ("LT", "ST", "UT") else s.split("\\")
    out = []
    for v in values:
        v = v.rstrip(" \0")
        if vr == "PN":
            v = v.rstrip("=")
        out.append(v)
    return "\\".join(out).rstrip(" \0\\")


def pydicom_text(elem):
    value = elem.value
    if isinstance(value, pydicom.multival.MultiValue):
        return "\\".join(str(v) for v in value)
    return "" if value is None else str(value)


def ours(tool, path, header_only=True):
    p = subprocess.run([tool, "info"] + (["--header-only"] if header_only else []) + [str(path)],
                       capture_output=True, timeout=60)
    if p.returncode != 0:
        return None, p.stderr.decode("latin-1").strip()
    text = p.stdout.decode("ascii")
    return json.loads(text), None


def first_group(path):
    with open(path, "rb") as f:
        head = f.read(132)
    if len(head) >= 132 and head[128:132] == b"DICM":
        return "part10"
    return int.from_bytes(head[:2], "little") if len(head) >= 2 else None


def compare(tool, files, failures, header_only=True):
    """Compares every file; returns how many were compared and refused."""
    checked = refused = 0
    for path in files:
        try:
            ds = pydicom.dcmread(str(path), force=True, defer_size=None)
        except Exception:
            ds = None
        got, err = ours(tool, path, header_only)
        ts = None
        if ds is not None and hasattr(ds, "file_meta") and "TransferSyntaxUID" in ds.file_meta:
            ts = str(ds.file_meta.TransferSyntaxUID).rstrip("\0 ")
        if got is None:
            # Refusals must be the right ones.
            group = first_group(path)
            if ts == DEFLATED:
                ok = err == "Deflate syntax not supported."
            elif group not in ("part10", 2, 8):
                ok = err == "No valid DicomFile."
            elif err.endswith("is not a valid integer value"):
                # A Number of Frames that is no decimal number refuses the file.
                raw = raw_bytes(ds, Tag(0x00280008)) if ds is not None else None
                ok = raw is not None and not raw.strip(b" \0").isdigit()
            else:
                ok = False
            if not ok:
                failures.append(f"{path.name}: refused with {err!r}")
            refused += 1
            continue
        if ds is None:
            failures.append(f"{path.name}: pydicom cannot read it but we can")
            continue
        if ts == DEFLATED:
            failures.append(f"{path.name}: deflated file was accepted")
            continue
        header = got["header"]
        for name, tag in FIELDS.items():
            want = raw_bytes(ds, Tag(tag))
            have = unescape(header[name])
            if want is None:
                if have != b"":
                    failures.append(f"{path.name}: {name} {have!r} but pydicom has none")
            elif have != want:
                failures.append(f"{path.name}: {name} {have!r} != pydicom {want!r}")
        decoded = got["decoded"]
        for name, tag in FIELDS.items():
            if Tag(tag) not in ds or isinstance(ds[tag].value, bytes):
                continue
            elem = ds[tag]
            want = decoded_text(pydicom_text(elem), elem.VR)
            have = decoded_text(decoded[name], elem.VR)
            if have != want:
                failures.append(f"{path.name}: decoded {name} {have!r} != pydicom {want!r}")
        for name in ("Rows", "Columns"):
            want = int(ds.get(name, 0) or 0)
            if header[name] != want:
                failures.append(f"{path.name}: {name} {header[name]} != {want}")
        frames = ds.get("NumberOfFrames", None)
        want = int(frames) & 0xFFFF if frames not in (None, "") else 0
        if header["NumberOfFrames"] != want:
            failures.append(f"{path.name}: NumberOfFrames {header['NumberOfFrames']} != {want}")
        state = got["transferSyntax"]
        # pydicom's decisions as it read the data set (it follows the bytes
        # where they contradict the Transfer Syntax UID).
        read_implicit = _read_implicit(ds)
        if read_implicit is not None and state["ImplicitVR"] != read_implicit:
            failures.append(f"{path.name}: ImplicitVR {state['ImplicitVR']}, pydicom {read_implicit}")
        if ds.is_little_endian is not None and state["BigEndian"] != (not ds.is_little_endian):
            failures.append(f"{path.name}: BigEndian {state['BigEndian']}, pydicom {not ds.is_little_endian}")
        if ts:
            uid = pydicom.uid.UID(ts)
            if uid.is_transfer_syntax and state["Compressed"] != uid.is_compressed:
                failures.append(f"{path.name}: Compressed {state['Compressed']} for {ts}")
        has_pixels = Tag(0x7FE00010) in ds
        if got["pixelDataFound"] != has_pixels:
            failures.append(f"{path.name}: pixel data found {got['pixelDataFound']}, pydicom {has_pixels}")
        if not header_only:
            bitmap = got["bitmap"]
            if not got["loaded"] or (bitmap["Width"], bitmap["Height"]) != (int(ds.Columns), int(ds.Rows)):
                failures.append(f"{path.name}: no preview of the image ({got['loaded']}, {bitmap})")
        checked += 1
    return checked, refused


def main():
    tool = sys.argv[1]
    folder = Path(sys.argv[2]) if len(sys.argv) > 2 else Path(pydicom.__file__).parent / "data" / "test_files"
    files = sorted(p for p in folder.rglob("*") if p.is_file() and p.suffix.lower() in (".dcm", "") and
                   "dicomdirtests" not in p.parts)
    failures = []
    checked, refused = compare(tool, files, failures)
    charset_files = sorted((Path(pydicom.__file__).parent / "data" / "charset_files").glob("*.dcm"))
    cchecked, crefused = compare(tool, charset_files, failures)
    if crefused or cchecked != len(charset_files) or cchecked < 15:
        failures.append(f"charset files: {cchecked} of {len(charset_files)} compared")
    work = tempfile.mkdtemp(prefix="varnelo-header-interop-")
    try:
        variants = longvr_variants.make(work)
        vchecked, vrefused = compare(tool, [Path(p) for p in sorted(variants.values())], failures, header_only=False)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    if vrefused or vchecked != len(variants):
        failures.append(f"long-form VR variants: {vchecked} of {len(variants)} loaded")
    for f in failures:
        print("FAIL", f)
    print(f"{checked} files compared, {refused} refused, {cchecked} charset files, {vchecked} long-form VR variants, "
          f"{len(failures)} disagreements")
    if checked < 40:
        print("too few files compared")
        return 1
    return 1 if failures else 0


def _read_implicit(ds):
    """How pydicom actually read the data set: its raw elements remember."""
    for tag in ds.keys():
        elem = ds.get_item(tag)
        if hasattr(elem, "is_implicit_VR") and elem.is_implicit_VR is not None:
            return elem.is_implicit_VR
    return ds.is_implicit_VR


if __name__ == "__main__":
    sys.exit(main())
