"""Writes uncompressed source images for the encapsulated-data tests.

Smooth synthetic anatomy (an ellipse body with organs and a gradient) plus
noise, in the bit depths and layouts the decoders must handle. Usage:
encaps_sources.py OUTDIR [--bench]
"""
import os
import sys

import numpy as np
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, generate_uid


def anatomy(rows, cols, top, rng, noise):
    y, x = np.mgrid[0:rows, 0:cols].astype(np.float64)
    cy, cx = rows / 2.0, cols / 2.0
    body = ((y - cy) / (0.45 * rows)) ** 2 + ((x - cx) / (0.42 * cols)) ** 2 < 1.0
    img = np.where(body, 0.35, 0.02)
    for oy, ox, ry, rx, v in ((0.4, 0.35, 0.12, 0.08, 0.6), (0.55, 0.62, 0.1, 0.13, 0.8),
                              (0.7, 0.5, 0.05, 0.05, 1.0)):
        organ = ((y - oy * rows) / (ry * rows)) ** 2 + ((x - ox * cols) / (rx * cols)) ** 2 < 1.0
        img = np.where(organ, v, img)
    img = img + 0.1 * (x / cols) + rng.normal(0.0, noise, img.shape)
    return np.clip(img * top, 0, top)


def write(path, pixels, bits_stored, signed=False, photometric="MONOCHROME2", frames=1):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.7"
    meta.MediaStorageSOPInstanceUID = generate_uid()
    meta.TransferSyntaxUID = ExplicitVRLittleEndian
    ds = Dataset()
    ds.file_meta = meta
    ds.is_little_endian = True
    ds.is_implicit_VR = False
    ds.SOPClassUID = meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = meta.MediaStorageSOPInstanceUID
    ds.Modality = "OT"
    ds.PatientName = "Test^Encaps"
    samples = 3 if photometric == "RGB" else 1
    shape = pixels.shape
    ds.SamplesPerPixel = samples
    ds.PhotometricInterpretation = photometric
    if samples == 3:
        ds.PlanarConfiguration = 0
    if frames > 1:
        ds.NumberOfFrames = frames
    ds.Rows = shape[-3] if samples == 3 else shape[-2]
    ds.Columns = shape[-2] if samples == 3 else shape[-1]
    alloc = 8 if pixels.dtype.itemsize == 1 else 16
    ds.BitsAllocated = alloc
    ds.BitsStored = bits_stored
    ds.HighBit = bits_stored - 1
    ds.PixelRepresentation = 1 if signed else 0
    ds.PixelData = pixels.astype(pixels.dtype.newbyteorder("<")).tobytes()
    ds.save_as(path, write_like_original=False)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    rng = np.random.default_rng(20261208)
    if "--bench" in sys.argv:
        write(os.path.join(out, "bench16.dcm"), anatomy(512, 512, 65535, rng, 0.01).astype(np.uint16), 16)
        write(os.path.join(out, "bench12.dcm"), anatomy(2500, 2048, 4095, rng, 0.01).astype(np.uint16), 12)
        return
    write(os.path.join(out, "mono8.dcm"), anatomy(61, 97, 255, rng, 0.02).astype(np.uint8), 8)
    write(os.path.join(out, "mono12.dcm"), anatomy(64, 83, 4095, rng, 0.02).astype(np.uint16), 12)
    write(os.path.join(out, "mono16.dcm"), anatomy(70, 64, 65535, rng, 0.05).astype(np.uint16), 16)
    signed = (anatomy(40, 50, 4000, rng, 0.02) - 2000).astype(np.int16)
    write(os.path.join(out, "signed16.dcm"), signed, 16, signed=True)
    rgb = np.stack([anatomy(48, 57, 255, rng, 0.03) for _ in range(3)], axis=-1).astype(np.uint8)
    write(os.path.join(out, "rgb8.dcm"), rgb, 8, photometric="RGB")
    rgb16 = np.stack([anatomy(30, 41, 4095, rng, 0.03) for _ in range(3)], axis=-1).astype(np.uint16)
    write(os.path.join(out, "rgb16.dcm"), rgb16, 12, photometric="RGB")
    multi = np.stack([anatomy(60, 64, 4095, rng, 0.03) for _ in range(3)]).astype(np.uint16)
    write(os.path.join(out, "multi12.dcm"), multi, 12, frames=3)
    multirgb = np.stack([np.stack([anatomy(40, 44, 255, rng, 0.03) for _ in range(3)], axis=-1)
                         for _ in range(2)]).astype(np.uint8)
    write(os.path.join(out, "multirgb8.dcm"), multirgb, 8, photometric="RGB", frames=2)


if __name__ == "__main__":
    main()
