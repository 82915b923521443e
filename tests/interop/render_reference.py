#!/usr/bin/python3
"""Checks `varnelo-dicom render` against an independent model of the preview
rules, written with numpy over pydicom's decoded pixels.

Uncompressed images (pydicom's own test files and DCMTK-made copies of them in
the three uncompressed syntaxes) must match pixel for pixel. Baseline and
extended 8-bit JPEG must match DCMTK's own decompression within 2 levels;
12-bit JPEG (pydicom's and DCMTK-made extended and progressive ones) within
1 level of DCMTK's decompression, rendered uncompressed.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import warnings
import zlib

import numpy as np
import pydicom

warnings.simplefilter("ignore")

TEST_FILES = "/usr/lib/python3/dist-packages/pydicom/data/test_files"
UNCOMPRESSED = {"1.2.840.10008.1.2", "1.2.840.10008.1.2.1", "1.2.840.10008.1.2.2"}
RLE = "1.2.840.10008.1.2.5"
GREY = ("MONOCHROME1", "MONOCHROME2")
KNOWN = GREY + ("RGB", "YBR_FULL", "YBR_FULL_422", "PALETTE COLOR")


def read_png(path):
    """A small PNG reader for what the tool writes: 8-bit palette or RGB,
    not interlaced. Returns an (h, w, 3) uint8 array."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    pos, idat, palette = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        pos += 12 + length
        if kind == b"IHDR":
            w, h, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and ctype in (2, 3) and interlace == 0
        elif kind == b"PLTE":
            palette = np.frombuffer(body, np.uint8).reshape(-1, 3)
        elif kind == b"IDAT":
            idat += body
    bpp = 3 if ctype == 2 else 1
    raw = np.frombuffer(zlib.decompress(idat), np.uint8).reshape(h, 1 + w * bpp)
    out = np.zeros((h, w * bpp), np.int32)
    prev = np.zeros(w * bpp, np.int32)
    for y in range(h):
        f, line = raw[y, 0], raw[y, 1:].astype(np.int32)
        if f == 0:
            cur = line
        elif f == 2:
            cur = (line + prev) & 255
        else:
            cur = np.zeros_like(line)
            for x in range(w * bpp):
                a = cur[x - bpp] if x >= bpp else 0
                b = prev[x]
                c = prev[x - bpp] if x >= bpp else 0
                if f == 1:
                    p = a
                elif f == 3:
                    p = (a + b) // 2
                else:
                    pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
                    p = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                cur[x] = (line[x] + p) & 255
        out[y] = cur
        prev = cur
    out = out.astype(np.uint8)
    if ctype == 3:
        return palette[out]
    return out.reshape(h, w, 3)


def ybr_to_rgb(y, cb, cr):
    y = y.astype(np.int64)
    cbf = (cb.astype(np.int64) - 128).astype(np.longdouble)
    crf = (cr.astype(np.int64) - 128).astype(np.longdouble)
    r = y + np.trunc(np.longdouble("1.401988") * crf - np.longdouble("0.0000037") * cbf).astype(np.int64)
    g = y - np.trunc(np.longdouble("0.34411") * cbf + np.longdouble("0.7141") * crf).astype(np.int64)
    b = y + np.trunc(np.longdouble("1.771978") * cbf - np.longdouble("0.00013") * crf).astype(np.int64)
    rgb = np.stack([r, g, b], axis=-1) & 255
    rgb[y == 0] = 0
    return rgb.astype(np.uint8)


def stretch(samples):
    """Frame minimum to 0, maximum to 255, nearest level, halves up."""
    lo, hi = samples.min(), samples.max()
    bits = samples.dtype.itemsize * 8
    if lo == hi:
        return np.full(samples.shape, (int(hi) % (1 << bits)) >> (bits - 8), np.uint8)
    a = samples.astype(np.float64) - float(lo)
    return np.floor(a * 255.0 / (float(hi) - float(lo)) + 0.5).astype(np.uint8)


def palette(ds, samples):
    """DICOM palette lookup: each sample clamped to the mapped range, entry
    sample - first mapped value. Little-endian files only (big-endian ones
    are checked against their little-endian source)."""
    assert ds.is_little_endian
    channels = []
    for colour in ("Red", "Green", "Blue"):
        entries, first, bits = [int(v) for v in ds[f"{colour}PaletteColorLookupTableDescriptor"].value]
        entries = entries or 65536
        data = bytes(ds[f"{colour}PaletteColorLookupTableData"].value)
        if bits == 8 and len(data) < 2 * entries:
            table = np.frombuffer(data, np.uint8)[:entries]  # one entry per byte
        else:
            words = np.frombuffer(data[:2 * entries], "<u2")
            table = (words >> 8 if bits == 16 else words & 255).astype(np.uint8)
        index = np.clip(samples.astype(np.int64), first, first + entries - 1) - first
        channels.append(table[index])
    return np.stack(channels, axis=-1)


def reference(ds):
    """The expected preview as (rows, width, 3) RGB, or None when no picture
    is expected, or "fail" when the load must fail."""
    pm = str(ds.get("PhotometricInterpretation", "")).strip()
    if pm not in KNOWN:
        return "fail"
    rows, cols = int(ds.Rows), int(ds.Columns)
    ba = int(ds.BitsAllocated)
    signed = int(ds.get("PixelRepresentation", 0)) == 1
    if not ds.is_little_endian and ds["PixelData"].VR == "OW" and ba in (1, 8):
        # Bytes in 16-bit words, swapped as words in big endian.
        ds.PixelData = np.frombuffer(ds.PixelData, ">u2").astype("<u2").tobytes()
    arr = ds.pixel_array
    if int(ds.get("NumberOfFrames", 1) or 1) > 1:
        arr = arr[0]
    arr = arr.reshape(rows, cols, -1)
    if pm == "PALETTE COLOR":
        return palette(ds, arr[..., 0])
    if ba == 8:
        disp = arr.astype(np.uint8)
        if pm.startswith("YBR"):
            disp = ybr_to_rgb(disp[..., 0], disp[..., 1], disp[..., 2])
    elif ba == 1:
        disp = (arr.astype(np.uint8) & 1) * 255
    elif ba in (16, 32):
        kind = {16: (np.uint16, np.int16), 32: (np.uint32, np.int32)}[ba]
        raw = arr.astype(kind[0]) if arr.dtype.kind == "u" else arr.astype(kind[1]).view(kind[0])
        if ba == 16:
            d = int(ds.BitsStored) - int(ds.HighBit) - 1
            if d > 0:
                raw = (raw.astype(np.uint32) << d).astype(np.uint16)
        samples = raw.view(kind[1]) if signed else raw
        if pm.startswith("YBR"):
            return None  # not in the test set
        disp = stretch(samples)
    else:
        return None
    if pm in GREY:
        width = (cols + 7) // 8 * 8
        grey = np.zeros((rows, width), np.uint8)
        grey[:, :cols] = disp[..., 0]
        if pm == "MONOCHROME1":
            grey = 255 - grey
        return np.repeat(grey[..., None], 3, axis=2)
    if disp.shape[2] == 1:
        disp = np.repeat(disp, 3, axis=2)
    return disp[..., :3]


def render(tool, path, out):
    r = subprocess.run([tool, "render", path, out], capture_output=True, text=True)
    return r.returncode, r.stderr.strip()


def uncompressed_sources():
    for name in sorted(os.listdir(TEST_FILES)):
        path = os.path.join(TEST_FILES, name)
        if not name.endswith(".dcm"):
            continue
        try:
            ds = pydicom.dcmread(path)
            ts = str(ds.file_meta.TransferSyntaxUID)
            if "PixelData" not in ds or (ts not in UNCOMPRESSED and ts != RLE):
                continue
            ds.pixel_array
        except Exception:
            continue
        yield path


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--tool", required=True)
    args = ap.parse_args()
    work = tempfile.mkdtemp(prefix="varnelo-render-")
    failures, checked, exact = [], 0, 0
    try:
        files = list(uncompressed_sources())
        # The deflated 8-bit image, inflated, gives an 8-bit greyscale source.
        inflated = os.path.join(work, "image_dfl_inflated.dcm")
        if subprocess.run(["dcmconv", "+te", os.path.join(TEST_FILES, "image_dfl.dcm"), inflated]).returncode == 0:
            files.append(inflated)
        variants = []
        for path in files:
            base = os.path.splitext(os.path.basename(path))[0]
            for tool, opt in (("dcmconv", "+ti"), ("dcmconv", "+te"), ("dcmconv", "+tb"), ("dcmcrle", "+ff")):
                out = os.path.join(work, base + opt.replace("+", "_") + ".dcm")
                if subprocess.run([tool, opt, path, out], capture_output=True).returncode == 0:
                    variants.append(out)
        # Palette images from DCMTK's quantiser: 8-bit entries packed one per
        # byte (its default), 16-bit entries, and 1000 colours (16-bit samples,
        # more entries than an indexed bitmap holds); each also in big and
        # implicit little endian, which must look the same as its source.
        same_as = {}
        for path in files:
            ds = pydicom.dcmread(path, stop_before_pixels=True)
            if str(ds.PhotometricInterpretation).strip() != "RGB" or int(ds.BitsAllocated) != 8:
                continue
            base = os.path.splitext(os.path.basename(path))[0]
            for tag, opts in (("q8", []), ("q16", ["+pe"]), ("q1000", ["+pc", "1000"])):
                out = os.path.join(work, f"{base}_{tag}.dcm")
                if subprocess.run(["dcmquant", *opts, path, out], capture_output=True).returncode != 0:
                    continue
                # The model reads little-endian palettes: every copy is held
                # to the explicit little-endian one.
                le = os.path.join(work, f"{base}_{tag}_te.dcm")
                if subprocess.run(["dcmconv", "+te", out, le], capture_output=True).returncode != 0:
                    continue
                variants.append(out)
                same_as[out] = le
                for opt in ("+tb", "+ti"):
                    conv = os.path.join(work, f"{base}_{tag}{opt.replace('+', '_')}.dcm")
                    if subprocess.run(["dcmconv", opt, out, conv], capture_output=True).returncode == 0:
                        variants.append(conv)
                        same_as[conv] = le
        for path in files + variants:
            ds = pydicom.dcmread(same_as.get(path, path))
            expected = reference(ds)
            png = os.path.join(work, "out.png")
            if os.path.exists(png):
                os.remove(png)
            rc, err = render(args.tool, path, png)
            name = os.path.basename(path)
            checked += 1
            if isinstance(expected, str):
                if rc != 1:
                    failures.append(f"{name}: expected a failed load, got exit {rc}")
                continue
            if expected is None:
                continue
            if rc != 0:
                failures.append(f"{name}: exit {rc}: {err}")
                continue
            got = read_png(png)
            exact += 1
            if got.shape != expected.shape:
                failures.append(f"{name}: size {got.shape} instead of {expected.shape}")
                continue
            diff = np.argwhere(np.any(got != expected, axis=2))
            if len(diff):
                y, x = diff[0]
                failures.append(f"{name}: {len(diff)} pixels differ, first ({x},{y}): "
                                f"{got[y, x].tolist()} instead of {expected[y, x].tolist()}")
        checked += check_jpeg(args.tool, work, files, failures)
        checked += check_jpeg12(args.tool, work, failures)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAIL", f)
    print(f"{checked} files checked ({exact} compared pixel for pixel), {len(failures)} failures")
    return 1 if failures or checked == 0 else 0


def check_jpeg(tool, work, files, failures):
    """Baseline and extended 8-bit JPEG, ours against dcmdjpeg's within 2."""
    sources = [p for p in files if int(pydicom.dcmread(p, stop_before_pixels=True).BitsAllocated) == 8
               and str(pydicom.dcmread(p, stop_before_pixels=True).PhotometricInterpretation).strip()
               in ("MONOCHROME2", "RGB")]
    jpegs = []
    for path in sources:
        base = os.path.splitext(os.path.basename(path))[0]
        for opt in ("+eb", "+ee"):
            out = os.path.join(work, base + opt.replace("+", "_") + ".dcm")
            if subprocess.run(["dcmcjpeg", opt, path, out], capture_output=True).returncode == 0:
                jpegs.append(out)
    for name in ("SC_rgb_jpeg_dcmtk.dcm", "SC_rgb_jpeg_lossy_gdcm.dcm", "SC_rgb_small_odd_jpeg.dcm",
                 "SC_jpeg_no_color_transform.dcm", "SC_jpeg_no_color_transform_2.dcm", "SC_rgb_jpeg_app14_dcmd.dcm"):
        jpegs.append(os.path.join(TEST_FILES, name))
    count = 0
    for path in jpegs:
        plain = os.path.join(work, "plain.dcm")
        if subprocess.run(["dcmdjpeg", path, plain], capture_output=True).returncode != 0:
            failures.append(f"{os.path.basename(path)}: dcmdjpeg failed")
            continue
        ds = pydicom.dcmread(plain)
        arr = ds.pixel_array
        if int(ds.get("NumberOfFrames", 1) or 1) > 1:
            arr = arr[0]
        arr = arr.reshape(int(ds.Rows), int(ds.Columns), -1).astype(np.int32)
        pm = str(ds.PhotometricInterpretation).strip()
        if pm.startswith("YBR"):
            arr = ybr_to_rgb(arr[..., 0], arr[..., 1], arr[..., 2]).astype(np.int32)
        if arr.shape[2] == 1:
            arr = np.repeat(arr, 3, axis=2)
        png = os.path.join(work, "out.png")
        rc, err = render(tool, path, png)
        count += 1
        name = os.path.basename(path)
        if rc != 0:
            failures.append(f"{name}: exit {rc}: {err}")
            continue
        got = read_png(png).astype(np.int32)
        if got.shape != arr.shape:
            failures.append(f"{name}: size {got.shape} instead of {arr.shape}")
            continue
        worst = int(np.abs(got - arr).max())
        if worst > 2:
            failures.append(f"{name}: differs by up to {worst} levels from dcmdjpeg")
    return count


def twelve_bit_sources(work):
    """pydicom's 16-bit CT and MR images brought to 12 bits stored, unsigned
    (0..4095) and signed (-2048..2047)."""
    out = []
    for name in ("CT_small.dcm", "MR_small.dcm"):
        for signed in (False, True):
            ds = pydicom.dcmread(os.path.join(TEST_FILES, name))
            a = ds.pixel_array.astype(np.int64)
            u = (a - a.min()) * 4095 // max(1, int(a.max() - a.min()))
            ds.BitsStored, ds.HighBit, ds.PixelRepresentation = 12, 11, int(signed)
            ds.PixelData = ((u - 2048).astype(np.int16) if signed else u.astype(np.uint16)).tobytes()
            path = os.path.join(work, f"{name[:-4]}_12{'s' if signed else 'u'}.dcm")
            ds.save_as(path)
            out.append(path)
    return out


def check_jpeg12(tool, work, failures):
    """12-bit extended and progressive JPEG, ours against dcmdjpeg's output:
    rendered uncompressed by us, and by the model over pydicom's reading of
    it (which also takes signed samples as signed), within 1 level."""
    jpegs = [os.path.join(TEST_FILES, n) for n in ("JPEG-lossy.dcm", "JPGExtended.dcm")]
    for path in twelve_bit_sources(work):
        for opt in ("+ee", "+ep"):
            out = path[:-4] + opt.replace("+", "_") + ".dcm"
            if subprocess.run(["dcmcjpeg", opt, path, out], capture_output=True).returncode != 0:
                failures.append(f"{os.path.basename(out)}: dcmcjpeg {opt} failed")
                continue
            jpegs.append(out)
    count = 0
    for path in jpegs:
        name = os.path.basename(path)
        plain = os.path.join(work, "plain12.dcm")
        if subprocess.run(["dcmdjpeg", path, plain], capture_output=True).returncode != 0:
            failures.append(f"{name}: dcmdjpeg failed")
            continue
        png, plain_png = os.path.join(work, "out12.png"), os.path.join(work, "plain12.png")
        count += 1
        rc, err = render(tool, path, png)
        if rc != 0:
            failures.append(f"{name}: exit {rc}: {err}")
            continue
        got = read_png(png).astype(np.int32)
        ds = pydicom.dcmread(plain)
        expected = {"model": reference(ds)}
        if int(ds.get("PixelRepresentation", 0)) == 0:
            # DCMTK leaves signed samples in 12 bits, which the renderer
            # reads as they stand; unsigned ones it must show alike.
            rc, err = render(tool, plain, plain_png)
            if rc != 0:
                failures.append(f"{name}: dcmdjpeg's output: exit {rc}: {err}")
                continue
            expected["ours, uncompressed"] = read_png(plain_png)
        for how, want in expected.items():
            if got.shape != want.shape:
                failures.append(f"{name}: size {got.shape} instead of {want.shape} ({how})")
                continue
            worst = int(np.abs(got - want.astype(np.int32)).max())
            if worst > 1:
                failures.append(f"{name}: differs by up to {worst} levels from dcmdjpeg ({how})")
    return count


if __name__ == "__main__":
    sys.exit(main())
