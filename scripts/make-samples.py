#!/usr/bin/python3
"""Generates the sample folder that `make run` opens: small synthetic images
made from formulas, so nothing in it comes from a real patient or a real file.

    /usr/bin/python3 scripts/make-samples.py samples/
"""
import sys
from pathlib import Path

import numpy as np
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, ImplicitVRLittleEndian, generate_uid

SC = "1.2.840.10008.5.1.4.1.1.7"
CT = "1.2.840.10008.5.1.4.1.1.2"


def base(sop_class, modality, name, pid, number, transfer=ExplicitVRLittleEndian):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = sop_class
    # Fixed UIDs keep the generated files byte-for-byte reproducible.
    uid = "1.2.826.0.1.3680043.8.498.4242." + str(number)
    meta.MediaStorageSOPInstanceUID = uid
    meta.TransferSyntaxUID = transfer
    ds = Dataset()
    ds.file_meta = meta
    ds.is_little_endian = True
    ds.is_implicit_VR = transfer == ImplicitVRLittleEndian
    ds.SOPClassUID = sop_class
    ds.SOPInstanceUID = uid
    ds.ContentDate = "20261201"
    ds.Modality = modality
    ds.Manufacturer = "Varnelo Samples"
    ds.InstitutionName = "Synthetic Teaching Hospital"
    ds.AccessionNumber = "A%05d" % number
    ds.ReferringPhysicianName = "Doe^Jane"
    ds.PatientName = name
    ds.PatientID = pid
    ds.PatientBirthDate = "19700101"
    ds.BodyPartExamined = "CHEST"
    ds.StudyInstanceUID = "1.2.826.0.1.3680043.8.498.4242.100"
    ds.SeriesInstanceUID = "1.2.826.0.1.3680043.8.498.4242.200"
    ds.InstanceNumber = str(number)
    return ds


def phantom(size):
    """A CT-like slice: body ellipse, lungs, spine, a little noise."""
    y, x = np.mgrid[0:size, 0:size].astype(np.float64) / size - 0.5
    img = np.full((size, size), -1000.0)
    body = (x / 0.42) ** 2 + (y / 0.33) ** 2 < 1
    img[body] = 40
    for cx in (-0.18, 0.18):
        lung = ((x - cx) / 0.13) ** 2 + ((y + 0.02) / 0.2) ** 2 < 1
        img[lung] = -850
    spine = (x / 0.05) ** 2 + ((y - 0.22) / 0.05) ** 2 < 1
    img[spine] = 700
    heart = ((x + 0.04) / 0.1) ** 2 + ((y + 0.03) / 0.09) ** 2 < 1
    img[heart] = 60
    rng = np.random.default_rng(7)
    img += rng.normal(0, 12, img.shape)
    return img


def save(ds, folder, name):
    ds.save_as(str(folder / name), write_like_original=False)


def main():
    folder = Path(sys.argv[1] if len(sys.argv) > 1 else "samples")
    folder.mkdir(parents=True, exist_ok=True)

    # 16-bit signed CT.
    ds = base(CT, "CT", "Phantom^Chest", "VAR-001", 1)
    img = np.clip(phantom(256), -1024, 3071).astype(np.int16)
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.Rows, ds.Columns = img.shape
    ds.BitsAllocated, ds.BitsStored, ds.HighBit = 16, 16, 15
    ds.PixelRepresentation = 1
    ds.RescaleIntercept, ds.RescaleSlope = "0", "1"
    ds.PixelData = img.tobytes()
    save(ds, folder, "ct-chest.dcm")

    # 8-bit greyscale with a stored comment, implicit VR.
    ds = base(SC, "OT", "Gradient^Test", "VAR-002", 2, ImplicitVRLittleEndian)
    y, x = np.mgrid[0:200, 0:240]
    img = ((x * 255 // 239) ^ (y // 25 % 2 * 64)).astype(np.uint8)
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.Rows, ds.Columns = img.shape
    ds.BitsAllocated, ds.BitsStored, ds.HighBit = 8, 8, 7
    ds.PixelRepresentation = 0
    ds.ImageComments = "Grey ramp for checking the display.\r\nSecond line of the stored comment."
    ds.PixelData = img.tobytes()
    save(ds, folder, "grey-ramp-commented.dcm")

    # RGB colour bars.
    ds = base(SC, "XC", "Colour^Bars", "VAR-003", 3)
    bars = np.array([[255, 255, 255], [255, 255, 0], [0, 255, 255], [0, 255, 0],
                     [255, 0, 255], [255, 0, 0], [0, 0, 255], [0, 0, 0]], dtype=np.uint8)
    img = np.repeat(bars, 40, axis=0)[None, :, :].repeat(180, axis=0)
    ds.SamplesPerPixel = 3
    ds.PhotometricInterpretation = "RGB"
    ds.PlanarConfiguration = 0
    ds.Rows, ds.Columns = img.shape[:2]
    ds.BitsAllocated, ds.BitsStored, ds.HighBit = 8, 8, 7
    ds.PixelRepresentation = 0
    ds.PixelData = img.tobytes()
    save(ds, folder, "colour-bars.dcm")

    # A two-frame MR-like 12-bit image, to show the frame count.
    ds = base("1.2.840.10008.5.1.4.1.1.4", "MR", "Phantom^Head", "VAR-004", 4)
    y, x = np.mgrid[0:192, 0:192].astype(np.float64) / 192 - 0.5
    head = np.exp(-((x / 0.35) ** 2 + (y / 0.42) ** 2) ** 3) * 3000
    frames = np.stack([head, head * 0.8]).astype(np.uint16)
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.NumberOfFrames = 2
    ds.Rows, ds.Columns = frames.shape[1:]
    ds.BitsAllocated, ds.BitsStored, ds.HighBit = 16, 12, 11
    ds.PixelRepresentation = 0
    ds.PixelData = frames.tobytes()
    save(ds, folder, "mr-head-2frames.dcm")

    (folder / "README.txt").write_text(
        "Synthetic DICOM files made by scripts/make-samples.py for trying Varnelo.\n"
        "They show no real patient. Regenerate with: /usr/bin/python3 scripts/make-samples.py samples/\n")


if __name__ == "__main__":
    main()
