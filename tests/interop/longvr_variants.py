"""DCMTK-made files carrying elements of every VR that the long form gained
in later editions of the standard (OD OL OV SV UC UR UV): a Retrieve URL at
top level and a code item holding the others inside a sequence, in explicit
little and big endian, with defined and with undefined lengths."""
import os
import shutil
import subprocess

import pydicom

TEST_FILES = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files")

INSERTS = [
    "(0008,1190)=http://archive.example/wado/studies/1.2.3",
    "(0008,1032)[0].(0008,0119)=LONG-CODE-VALUE-0001",
    "(0008,1032)[0].(0008,0102)=99LOCAL",
    "(0008,1032)[0].(0066,0022)=1.5\\2.5",
    "(0008,1032)[0].(0066,0040)=1\\2\\3",
    "(0008,1032)[0].(0072,0081)=8",
    "(0008,1032)[0].(0072,0082)=-5\\6",
    "(0008,1032)[0].(0072,0083)=7",
    "(0072,0083)=9",
]

# name: dcmconv options applied after the inserts (None: as dcmodify left it).
SHAPES = {
    "longvr_le.dcm": None,
    "longvr_be.dcm": ["+tb"],
    "longvr_le_undefined.dcm": ["-e"],
    "longvr_be_undefined.dcm": ["-e", "+tb"],
}


def make(work, env=None):
    """Writes the variants into work; returns {name: path}. Raises when DCMTK
    refuses, since then the test has nothing to check."""
    base = os.path.join(work, "longvr_base.dcm")
    shutil.copy(os.path.join(TEST_FILES, "CT_small.dcm"), base)
    args = ["dcmodify", "-nb"]
    for ins in INSERTS:
        args += ["-i", ins]
    subprocess.run(args + [base], check=True, capture_output=True, env=env)
    out = {}
    for name, opts in SHAPES.items():
        path = os.path.join(work, name)
        if opts is None:
            shutil.copy(base, path)
        else:
            subprocess.run(["dcmconv"] + opts + [base, path], check=True, capture_output=True, env=env)
        out[name] = path
    os.remove(base)
    return out
