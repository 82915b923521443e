#!/usr/bin/env python3
"""Writes the dictation corpus: sentences of the kind a radiologist dictates as an
image comment, one per line, lower case, numbers spoken as words.

    corpus.py [--sentences N] [--seed S] > corpus.txt

Templates name slots in braces ({side}, {size}, ...); each slot draws from a
word list or from a function. The output depends only on N and the seed, so
the build makes the same model every time.
"""
import argparse
import random
import re
import sys

ONES = ["zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine"]
TEENS = ["ten", "eleven", "twelve", "thirteen", "fourteen", "fifteen", "sixteen",
         "seventeen", "eighteen", "nineteen"]
TENS = ["", "", "twenty", "thirty", "forty", "fifty", "sixty", "seventy", "eighty", "ninety"]


def spoken(n):
    """0..999 as spoken words."""
    if n < 10:
        return ONES[n]
    if n < 20:
        return TEENS[n - 10]
    if n < 100:
        t, o = divmod(n, 10)
        return TENS[t] + ("" if o == 0 else " " + ONES[o])
    h, r = divmod(n, 100)
    return ONES[h] + " hundred" + ("" if r == 0 else " " + spoken(r))


def decimal(r):
    whole = r.randint(0, 12)
    frac = r.randint(1, 9)
    if whole == 0 and r.random() < 0.5:
        return "point " + ONES[frac]
    return spoken(whole) + " point " + ONES[frac]


def size_cm(r):
    c = r.random()
    if c < 0.45:
        return decimal(r) + " centimeters"
    if c < 0.6:
        return spoken(r.randint(1, 15)) + " centimeters"
    if c < 0.9:
        return spoken(r.randint(2, 40)) + " millimeters"
    return "one centimeter"


def dims(r):
    c = r.random()
    unit = r.choice(["centimeters", "centimeters", "millimeters"])
    if unit == "millimeters":
        a, b = spoken(r.randint(2, 40)), spoken(r.randint(2, 40))
    else:
        a, b = decimal(r), decimal(r)
    if c < 0.6:
        return f"{a} by {b} {unit}"
    third = decimal(r) if unit == "centimeters" else spoken(r.randint(2, 40))
    return f"{a} by {b} by {third} {unit}"


def small_mm(r):
    return spoken(r.randint(2, 15)) + " millimeter"


def adj_size(r):
    c = r.random()
    if c < 0.5:
        return (decimal(r) if r.random() < 0.6 else spoken(r.randint(1, 9))) + " centimeter"
    return spoken(r.randint(2, 30)) + " millimeter"


def percent(r):
    return spoken(r.choice([10, 20, 25, 30, 40, 50, 50, 60, 70, 70, 75, 80, 90, 95, 99])) + " percent"


def months(r):
    return r.choice(["three months", "six months", "three to six months", "six to twelve months",
                     "twelve months", "one year", "two weeks", "four to six weeks", "one month",
                     "eighteen months", "two years"])


def level(r):
    region = r.random()
    if region < 0.35:
        n = r.randint(2, 7)
        return f"c {spoken(n)} c {spoken(n + 1)}" if n < 7 else "c seven t one"
    if region < 0.55:
        n = r.randint(1, 11)
        return f"t {spoken(n)} t {spoken(n + 1)}"
    n = r.randint(1, 5)
    return f"l {spoken(n)} l {spoken(n + 1)}" if n < 5 else "l five s one"


def vertebra(r):
    c = r.random()
    if c < 0.25:
        return "c " + spoken(r.randint(1, 7))
    if c < 0.65:
        return "t " + spoken(r.randint(1, 12))
    return "l " + spoken(r.randint(1, 5))


def clock(r):
    return spoken(r.randint(1, 12)) + " o'clock"


def rib(r):
    return r.choice(["first", "second", "third", "fourth", "fifth", "sixth", "seventh", "eighth",
                     "ninth", "tenth", "eleventh", "twelfth"])


def date(r):
    month = r.choice(["january", "february", "march", "april", "may", "june", "july", "august",
                      "september", "october", "november", "december"])
    day = r.choice(["first", "second", "third", "fourth", "fifth", "sixth", "seventh", "eighth",
                    "ninth", "tenth", "eleventh", "twelfth", "fifteenth", "twentieth",
                    "twenty first", "twenty second", "twenty third", "thirtieth"])
    if r.random() < 0.5:
        return f"{month} {day}"
    year = r.choice(["twenty twenty", "twenty twenty one", "twenty twenty two", "twenty twenty three",
                     "twenty twenty four", "twenty twenty five", "twenty nineteen", "two thousand eighteen"])
    return f"{month} {day} {year}"


def cm_dist(r):
    return spoken(r.randint(1, 8)) + " centimeters"


def degrees(r):
    return spoken(r.choice([5, 10, 15, 20, 25, 30, 40, 45])) + " degrees"


def count(r):
    return r.choice(["two", "three", "four", "several", "multiple", "numerous", "a few"])


def age(r):
    return spoken(r.randint(18, 95))


# Word lists. Each list is a slot; "{x}" in a list entry expands again.
L = {
    "side": ["right", "left", "right", "left", "bilateral"],
    "lr": ["right", "left"],
    "severity": ["mild", "moderate", "severe", "minimal", "small", "large", "trace", "mild to moderate",
                 "moderate to severe", "marked"],
    "sizeword": ["small", "tiny", "large", "moderate", "moderate sized", "small to moderate", "large"],
    "negstart": ["no", "there is no", "no evidence of", "negative for", "without evidence of",
                 "there is no evidence of", "no definite", "no significant", "no acute",
                 "no radiographic evidence of", "no sonographic evidence of", "no ct evidence of"],
    "seen": ["is seen", "is noted", "is identified", "is present", "is demonstrated", "is again seen",
             "is again noted", "is visualized", "is redemonstrated", "is suspected", "is likely"],
    "seenpl": ["are seen", "are noted", "are identified", "are present", "are again seen",
               "are redemonstrated", "are demonstrated"],
    "there": ["there is", "there is a", "redemonstrated is a", "again seen is a", "noted is a",
              "there is again a", "there is a new"],
    "stable": ["stable", "unchanged", "not significantly changed", "similar", "grossly stable",
               "essentially unchanged", "stable in size", "minimally increased", "slightly decreased",
               "increased", "decreased", "improved", "worsened", "new", "enlarging", "decreasing in size"],
    "prior": ["the prior study", "the previous study", "the prior examination", "the previous examination",
              "prior imaging", "the most recent prior", "the prior ct", "the prior radiograph",
              "the prior mri", "the prior ultrasound", "the prior chest radiograph", "the comparison study",
              "the study of {date}", "the examination dated {date}", "the ct from {date}",
              "the outside study", "the prior mammogram", "prior studies"],
    "compare": ["compared with", "compared to", "in comparison with", "since", "when compared to",
                "relative to"],
    "rec": ["recommend", "recommend", "suggest", "consider", "would recommend", "we recommend",
            "recommend correlation with", "further evaluation with"],
    "hedge": ["likely", "probably", "possibly", "most likely", "may represent", "suspicious for",
              "consistent with", "compatible with", "suggestive of", "concerning for", "worrisome for",
              "which may represent", "favored to represent", "in keeping with", "representing",
              "which could represent", "likely representing", "can not exclude", "cannot exclude",
              "differential includes"],
    "modality": ["ct", "mri", "ultrasound", "chest ct", "contrast enhanced ct", "ct angiography",
                 "mr angiography", "pet ct", "mammography", "radiographs", "chest radiograph",
                 "noncontrast ct", "ct of the abdomen and pelvis", "mri of the brain", "dedicated ultrasound",
                 "nuclear medicine bone scan", "x ray", "x rays", "fluoroscopy", "mrcp", "ct chest",
                 "contrast enhanced mri", "spot compression views", "diagnostic mammogram",
                 "magnification views", "doppler ultrasound", "echocardiography", "hida scan", "biopsy",
                 "tissue sampling", "ultrasound guided biopsy", "stereotactic biopsy", "fine needle aspiration",
                 "low dose ct", "repeat radiographs", "follow up imaging", "nonemergent mri"],
    # Chest
    "lobe": ["right upper lobe", "right middle lobe", "right lower lobe", "left upper lobe",
             "left lower lobe", "lingula", "left lingula", "lung bases", "lung apices", "right lung base",
             "left lung base", "right apex", "left apex", "both lungs", "right lung", "left lung",
             "superior segment of the right lower lobe", "posterior segment of the right upper lobe",
             "apical segment of the left upper lobe", "lateral segment of the right middle lobe",
             "left lower lobe posterior basal segment", "perihilar regions", "retrocardiac region",
             "both lower lobes", "both upper lobes", "right hemithorax", "left hemithorax"],
    "lungfind": ["consolidation", "airspace disease", "airspace opacity", "atelectasis", "subsegmental atelectasis",
                 "linear atelectasis", "plate like atelectasis", "pneumonia", "infiltrate", "opacity",
                 "ground glass opacity", "ground glass opacities", "nodular opacity", "scarring", "fibrosis",
                 "interstitial opacities", "interstitial thickening", "septal thickening", "bronchiectasis",
                 "bronchial wall thickening", "peribronchial thickening", "mucus plugging", "tree in bud nodularity",
                 "cavitation", "a cavitary lesion", "emphysema", "centrilobular emphysema",
                 "paraseptal emphysema", "bullous changes", "honeycombing", "aspiration", "pulmonary edema",
                 "interstitial edema", "a mass", "a spiculated mass", "a pulmonary nodule", "a solid nodule",
                 "a part solid nodule", "a ground glass nodule", "a calcified granuloma", "granulomas",
                 "a noncalcified nodule", "pleural thickening", "apical pleural thickening",
                 "a small pleural effusion", "a loculated effusion", "a pleural based nodule",
                 "postoperative changes", "radiation fibrosis", "lymphangitic spread", "a hamartoma",
                 "mosaic attenuation", "air trapping", "an abscess", "hyperinflation", "a pneumatocele"],
    "chestneg": ["focal consolidation", "pleural effusion", "pneumothorax", "pulmonary edema",
                 "focal airspace disease", "pleural effusion or pneumothorax", "focal consolidation pleural effusion or pneumothorax",
                 "consolidation effusion or pneumothorax", "suspicious pulmonary nodules",
                 "pulmonary embolism", "central pulmonary embolism", "acute cardiopulmonary disease",
                 "acute cardiopulmonary process", "free air under the diaphragm", "mediastinal lymphadenopathy",
                 "hilar lymphadenopathy", "axillary lymphadenopathy", "pericardial effusion",
                 "aortic dissection", "acute osseous abnormality", "displaced rib fracture", "vascular congestion",
                 "pneumomediastinum", "subcutaneous emphysema", "interstitial lung disease", "mass or adenopathy",
                 "mediastinal widening", "cardiomegaly", "pulmonary nodules or masses", "airspace consolidation"],
    "heart": ["the heart size is normal", "the heart size is within normal limits", "the heart is normal in size",
              "the cardiac silhouette is normal", "the cardiac silhouette is enlarged", "the heart is enlarged",
              "the cardiomediastinal silhouette is normal", "the cardiomediastinal silhouette is within normal limits",
              "the cardiomediastinal silhouette is unremarkable", "the cardiomediastinal silhouette is stable",
              "mild cardiomegaly", "moderate cardiomegaly", "stable cardiomegaly", "the heart is mildly enlarged",
              "the mediastinal contours are normal", "the mediastinal and hilar contours are unremarkable",
              "the hilar contours are normal", "the aorta is tortuous", "atherosclerotic calcification of the aortic arch",
              "the mediastinum is not widened", "coronary artery calcifications are present",
              "there is a small pericardial effusion", "the pulmonary vasculature is normal",
              "there is pulmonary vascular congestion", "there is cephalization of the pulmonary vasculature",
              "the trachea is midline", "the lungs are clear", "the lungs are well expanded and clear",
              "the lungs are hyperinflated", "lung volumes are low", "low lung volumes", "the lungs are clear bilaterally",
              "there is no pleural effusion", "the costophrenic angles are sharp", "blunting of the left costophrenic angle",
              "blunting of the right costophrenic angle", "the diaphragm is elevated on the right",
              "the hemidiaphragms are flattened", "the visualized osseous structures are intact",
              "no acute osseous abnormality", "degenerative changes of the thoracic spine",
              "sternotomy wires are intact", "the patient is status post median sternotomy",
              "the patient is rotated", "the study is limited by patient rotation", "aortic valve replacement",
              "a left chest wall pacemaker with leads in the right atrium and right ventricle",
              "a dual chamber pacemaker is in place", "a right sided port catheter terminates in the superior vena cava"],
    "device": ["endotracheal tube", "nasogastric tube", "orogastric tube", "feeding tube", "enteric tube",
               "right internal jugular central venous catheter", "left internal jugular central venous catheter",
               "right subclavian central line", "left subclavian catheter", "picc line", "right picc line",
               "left upper extremity picc", "tracheostomy tube", "chest tube", "right chest tube", "left chest tube",
               "pigtail catheter", "dialysis catheter", "swan ganz catheter", "pacemaker lead", "port catheter",
               "mediport", "drainage catheter", "nephrostomy tube", "ureteral stent", "biliary stent",
               "foley catheter", "gastrostomy tube", "surgical drain"],
    "devloc": ["terminates {cmd} above the carina", "tip is {cmd} above the carina", "tip projects over the stomach",
               "terminates in the stomach", "tip is in the stomach", "terminates in the distal esophagus",
               "tip is at the cavoatrial junction", "terminates in the superior vena cava",
               "tip projects over the superior vena cava", "tip is in the right atrium", "terminates in the right atrium",
               "tip is in the expected location", "is in satisfactory position", "is in good position",
               "is unchanged in position", "has been removed", "has been advanced", "should be withdrawn {cmd}",
               "could be advanced {cmd}", "is coiled in the esophagus", "tip is in the duodenum",
               "terminates in the right main stem bronchus", "is appropriately positioned", "is in unchanged position",
               "tip is not well visualized", "courses below the diaphragm", "tip is at the thoracic inlet"],
    # Abdomen
    "organ": ["liver", "spleen", "pancreas", "gallbladder", "right kidney", "left kidney", "kidneys",
              "adrenal glands", "bladder", "urinary bladder", "prostate", "uterus", "bowel", "stomach",
              "small bowel", "colon", "appendix", "aorta", "biliary tree", "common bile duct", "ovaries",
              "right ovary", "left ovary", "thyroid", "thyroid gland", "esophagus", "duodenum", "rectum",
              "pancreatic duct", "portal vein", "inferior vena cava", "mesentery", "peritoneum", "abdominal wall",
              "seminal vesicles", "right adrenal gland", "left adrenal gland", "sigmoid colon", "cecum",
              "terminal ileum", "spleen and pancreas"],
    "normalorg": ["is unremarkable", "is normal", "is normal in size", "is normal in appearance",
                  "is within normal limits", "appears normal", "is normal in size and echotexture",
                  "demonstrates normal enhancement", "is unremarkable in appearance", "is grossly unremarkable",
                  "shows no focal abnormality", "is normal in caliber", "is decompressed", "is not dilated",
                  "is surgically absent", "is not visualized", "is normal in size and contour", "are unremarkable",
                  "are normal", "are normal in size"],
    "abdfind": ["hepatic steatosis", "diffuse fatty infiltration of the liver", "hepatomegaly", "splenomegaly",
                "cirrhosis", "a nodular liver contour", "cholelithiasis", "gallstones", "a gallstone",
                "gallbladder sludge", "acute cholecystitis", "gallbladder wall thickening", "pericholecystic fluid",
                "a positive sonographic murphy sign", "biliary ductal dilatation", "intrahepatic biliary dilatation",
                "choledocholithiasis", "pancreatitis", "peripancreatic fat stranding", "a pancreatic cyst",
                "a pancreatic mass", "pancreatic ductal dilatation", "a hepatic cyst", "a hepatic lesion",
                "a hypodense lesion", "a hyperdense lesion", "an enhancing lesion", "a hemangioma",
                "a renal cyst", "a simple renal cyst", "a complex cyst", "a renal mass", "an angiomyolipoma",
                "hydronephrosis", "mild hydronephrosis", "hydroureter", "nephrolithiasis", "a renal calculus",
                "a nonobstructing renal stone", "an obstructing ureteral stone", "perinephric stranding",
                "an adrenal nodule", "an adrenal adenoma", "ascites", "free fluid", "a small amount of free fluid",
                "pneumoperitoneum", "free intraperitoneal air", "small bowel obstruction", "a partial small bowel obstruction",
                "dilated loops of small bowel", "bowel wall thickening", "colitis", "diverticulosis",
                "acute diverticulitis", "sigmoid diverticulitis", "appendicitis", "acute appendicitis",
                "an appendicolith", "a periappendiceal abscess", "a fluid collection", "an abscess",
                "a hernia", "an umbilical hernia", "an inguinal hernia", "a ventral hernia", "a hiatal hernia",
                "a small hiatal hernia", "mesenteric lymphadenopathy", "retroperitoneal lymphadenopathy",
                "fat stranding", "pneumatosis", "portal venous gas", "a bladder stone", "bladder wall thickening",
                "an enlarged prostate", "uterine fibroids", "a fibroid", "an ovarian cyst", "a hemorrhagic cyst",
                "a dermoid cyst", "a complex adnexal mass", "an endometrioma", "volvulus", "intussusception",
                "a large stool burden", "constipation", "a nonspecific bowel gas pattern", "a normal bowel gas pattern",
                "splenic infarct", "a splenic laceration", "a liver laceration", "a hematoma", "a retroperitoneal hematoma",
                "metastatic disease", "hepatic metastases", "peritoneal carcinomatosis", "a portal vein thrombosis",
                "calcified gallstones", "vascular calcifications", "atherosclerotic disease", "a horseshoe kidney",
                "renal atrophy", "cortical thinning", "a duplicated collecting system", "a bosniak two cyst"],
    "abdneg": ["free air", "free fluid", "bowel obstruction", "hydronephrosis", "acute intra abdominal process",
               "acute abdominal or pelvic process", "intra abdominal abscess", "biliary ductal dilatation",
               "appendicitis", "diverticulitis", "nephrolithiasis", "lymphadenopathy", "ascites", "focal hepatic lesion",
               "cholecystitis", "gallstones", "pneumatosis", "hernia", "renal calculi", "obstructive uropathy",
               "fluid collection", "retroperitoneal hematoma", "splenomegaly", "free intraperitoneal air",
               "abdominal aortic aneurysm", "bowel wall thickening", "extravasation of contrast"],
    # Neuro
    "brainloc": ["right frontal lobe", "left frontal lobe", "right parietal lobe", "left parietal lobe",
                 "right temporal lobe", "left temporal lobe", "right occipital lobe", "left occipital lobe",
                 "cerebellum", "right cerebellar hemisphere", "left cerebellar hemisphere", "brainstem", "pons",
                 "basal ganglia", "right basal ganglia", "left basal ganglia", "thalamus", "left thalamus",
                 "right thalamus", "corpus callosum", "periventricular white matter", "subcortical white matter",
                 "deep white matter", "centrum semiovale", "internal capsule", "left corona radiata",
                 "right corona radiata", "frontal horns", "insula", "pituitary gland", "sella", "cerebellopontine angle",
                 "posterior fossa", "vertex", "left middle cerebral artery territory", "right middle cerebral artery territory",
                 "posterior cerebral artery territory", "anterior cerebral artery territory", "left hemisphere",
                 "right hemisphere", "bilateral cerebral hemispheres", "midbrain", "hippocampus", "medulla"],
    "brainfind": ["an acute infarct", "an acute ischemic infarct", "a subacute infarct", "a chronic infarct",
                  "a lacunar infarct", "chronic lacunar infarcts", "encephalomalacia", "gliosis",
                  "an intraparenchymal hemorrhage", "a hemorrhage", "subarachnoid hemorrhage", "a subdural hematoma",
                  "an epidural hematoma", "intraventricular hemorrhage", "a contusion", "a mass", "an enhancing mass",
                  "a meningioma", "a ring enhancing lesion", "vasogenic edema", "cerebral edema", "hydrocephalus",
                  "communicating hydrocephalus", "ventriculomegaly", "white matter hyperintensities",
                  "chronic small vessel ischemic changes", "chronic microvascular ischemic changes",
                  "small vessel ischemic disease", "age related volume loss", "generalized volume loss",
                  "cerebral atrophy", "mild atrophy", "restricted diffusion", "a focus of restricted diffusion",
                  "susceptibility artifact", "microhemorrhages", "a cavernoma", "an aneurysm", "a vascular malformation",
                  "demyelinating lesions", "demyelinating disease", "a pituitary adenoma", "a pituitary microadenoma",
                  "an arachnoid cyst", "a colloid cyst", "mass effect", "midline shift", "uncal herniation",
                  "tonsillar herniation", "sulcal effacement", "loss of gray white differentiation",
                  "a hyperdense middle cerebral artery", "an empty sella", "a metastasis", "metastatic lesions",
                  "leptomeningeal enhancement", "a glioma", "a skull fracture", "a depressed skull fracture",
                  "scalp hematoma", "a soft tissue hematoma", "mastoid effusion", "opacification of the mastoid air cells"],
    "brainneg": ["acute intracranial hemorrhage", "intracranial hemorrhage", "acute intracranial abnormality",
                 "acute intracranial process", "mass effect", "midline shift", "mass effect or midline shift",
                 "hemorrhage mass effect or midline shift", "acute infarct", "hydrocephalus", "extra axial fluid collection",
                 "extra axial collection", "restricted diffusion", "abnormal enhancement", "intracranial mass",
                 "acute territorial infarct", "skull fracture", "calvarial fracture", "herniation", "aneurysm",
                 "large vessel occlusion", "hemodynamically significant stenosis", "subdural hematoma"],
    "sinus": ["mucosal thickening in the maxillary sinuses", "mucosal thickening of the right maxillary sinus",
              "mucosal thickening of the left maxillary sinus", "an air fluid level in the right maxillary sinus",
              "an air fluid level in the left maxillary sinus", "opacification of the ethmoid air cells",
              "mild paranasal sinus disease", "a mucous retention cyst in the left maxillary sinus",
              "the paranasal sinuses and mastoid air cells are clear", "the visualized paranasal sinuses are clear",
              "the mastoid air cells are well aerated", "the orbits are unremarkable", "the globes are intact",
              "the ventricles are normal in size", "the ventricles and sulci are normal", "the ventricles and sulci are prominent",
              "the ventricles are enlarged", "the basal cisterns are patent", "the gray white differentiation is preserved",
              "the calvarium is intact", "the major intracranial flow voids are preserved", "the sella is unremarkable",
              "the craniocervical junction is normal", "the cerebellar tonsils are in normal position"],
    "spinefind": ["disc bulge", "a broad based disc bulge", "a disc protrusion", "a central disc protrusion",
                  "a left paracentral disc protrusion", "a right paracentral disc protrusion", "a disc extrusion",
                  "a disc herniation", "a posterior disc osteophyte complex", "facet arthropathy", "facet hypertrophy",
                  "ligamentum flavum hypertrophy", "central canal stenosis", "spinal canal stenosis",
                  "neural foraminal narrowing", "foraminal stenosis", "right foraminal narrowing", "left foraminal narrowing",
                  "bilateral neural foraminal narrowing", "lateral recess stenosis", "nerve root impingement",
                  "cord compression", "cord signal abnormality", "spondylolisthesis", "anterolisthesis",
                  "retrolisthesis", "grade one anterolisthesis", "spondylolysis", "disc space narrowing",
                  "disc desiccation", "endplate changes", "modic type one endplate changes", "schmorl's nodes",
                  "a compression fracture", "a compression deformity", "a burst fracture", "a hemangioma",
                  "degenerative disc disease", "multilevel degenerative changes", "osteophyte formation",
                  "uncovertebral hypertrophy", "loss of the normal cervical lordosis", "straightening of the cervical lordosis",
                  "scoliosis", "dextroscoliosis", "levoscoliosis", "kyphosis", "a syrinx", "a tarlov cyst",
                  "epidural abscess", "discitis", "a pars defect", "a fusion", "postsurgical changes"],
    # Musculoskeletal
    "bone": ["distal radius", "distal radial metaphysis", "radial head", "radial neck", "distal ulna", "ulnar styloid",
             "scaphoid", "scaphoid waist", "lunate", "triquetrum", "hamate", "first metacarpal", "second metacarpal",
             "third metacarpal", "fourth metacarpal", "fifth metacarpal", "fifth metacarpal neck",
             "proximal phalanx of the thumb", "middle phalanx", "distal phalanx", "proximal phalanx of the index finger",
             "humerus", "proximal humerus", "humeral head", "surgical neck of the humerus", "greater tuberosity",
             "humeral shaft", "distal humerus", "supracondylar humerus", "olecranon", "clavicle", "mid clavicle",
             "distal clavicle", "scapula", "acromion", "coracoid", "glenoid", "rib", "sternum", "pelvis",
             "superior pubic ramus", "inferior pubic ramus", "iliac wing", "acetabulum", "sacrum", "coccyx",
             "femoral neck", "intertrochanteric femur", "greater trochanter", "femoral shaft", "distal femur",
             "femoral head", "patella", "tibial plateau", "lateral tibial plateau", "medial tibial plateau",
             "tibial shaft", "distal tibia", "medial malleolus", "lateral malleolus", "posterior malleolus",
             "distal fibula", "fibular head", "proximal fibula", "calcaneus", "talus", "talar dome", "navicular",
             "cuboid", "cuneiform", "base of the fifth metatarsal", "fifth metatarsal", "second metatarsal",
             "first metatarsal", "great toe", "proximal phalanx of the great toe", "tibia", "fibula", "radius",
             "ulna", "femur", "vertebral body", "spinous process", "transverse process", "odontoid", "pedicle"],
    "fxtype": ["nondisplaced", "minimally displaced", "displaced", "comminuted", "impacted", "angulated",
               "mildly displaced", "oblique", "transverse", "spiral", "segmental", "intra articular",
               "extra articular", "avulsion", "buckle", "torus", "greenstick", "salter harris type two",
               "pathologic", "stress", "healing", "healed", "acute", "subacute", "old", "chronic",
               "comminuted and displaced", "comminuted intra articular", "minimally displaced transverse",
               "nondisplaced oblique", "displaced and angulated", "mildly comminuted", "insufficiency"],
    "mskfind": ["joint effusion", "a small joint effusion", "a large joint effusion", "soft tissue swelling",
                "osteoarthritis", "degenerative joint disease", "joint space narrowing", "osteophytes",
                "marginal osteophytes", "subchondral sclerosis", "subchondral cysts", "chondrocalcinosis",
                "osteopenia", "diffuse osteopenia", "a lytic lesion", "a sclerotic lesion", "a blastic lesion",
                "a bone island", "an enchondroma", "a nonossifying fibroma", "periosteal reaction",
                "cortical destruction", "osteomyelitis", "erosions", "a baker's cyst", "a popliteal cyst",
                "a ganglion cyst", "a foreign body", "a radiopaque foreign body", "soft tissue gas",
                "subcutaneous edema", "bone marrow edema", "a bone contusion", "a bone bruise", "tendinosis",
                "tendinopathy", "tenosynovitis", "bursitis", "a calcaneal spur", "an enthesophyte", "hallux valgus",
                "heterotopic ossification", "a loose body", "dislocation", "subluxation", "a dislocation",
                "an anterior shoulder dislocation", "a hill sachs lesion", "a bankart lesion", "hardware",
                "orthopedic hardware", "a total knee arthroplasty", "a total hip arthroplasty",
                "intramedullary nail", "plate and screw fixation", "hardware loosening", "periprosthetic lucency",
                "a periprosthetic fracture", "vascular calcifications", "muscle atrophy", "fatty atrophy",
                "a muscle strain", "a hematoma", "a lipoma", "a soft tissue mass"],
    "joint": ["knee", "right knee", "left knee", "shoulder", "right shoulder", "left shoulder", "hip",
              "right hip", "left hip", "ankle", "right ankle", "left ankle", "elbow", "right elbow", "left elbow",
              "wrist", "right wrist", "left wrist", "hand", "right hand", "left hand", "foot", "right foot",
              "left foot", "acromioclavicular joint", "sacroiliac joints", "glenohumeral joint", "first metatarsophalangeal joint", "patellofemoral joint", "medial compartment", "lateral compartment",
              "tibiotalar joint", "subtalar joint", "radiocarpal joint", "distal radioulnar joint",
              "temporomandibular joint", "pubic symphysis", "hip joints", "knee joints"],
    "tear": ["anterior cruciate ligament", "posterior cruciate ligament", "medial collateral ligament",
             "lateral collateral ligament", "medial meniscus", "lateral meniscus",
             "posterior horn of the medial meniscus", "body of the lateral meniscus", "supraspinatus tendon",
             "infraspinatus tendon", "subscapularis tendon", "rotator cuff", "long head of the biceps tendon",
             "labrum", "superior labrum", "anterior labrum", "achilles tendon", "anterior talofibular ligament",
             "calcaneofibular ligament", "deltoid ligament", "patellar tendon", "quadriceps tendon",
             "triangular fibrocartilage", "scapholunate ligament", "ulnar collateral ligament",
             "peroneus brevis tendon", "posterior tibial tendon", "plantar fascia", "hamstring tendons",
             "gluteus medius tendon", "common extensor tendon", "distal biceps tendon", "acetabular labrum"],
    "teartype": ["a complete tear", "a partial tear", "a full thickness tear", "a partial thickness tear",
                 "a high grade partial tear", "a low grade partial tear", "a complex tear", "a radial tear",
                 "a horizontal tear", "an oblique tear", "a bucket handle tear", "a small tear",
                 "a full thickness full width tear", "a sprain", "a low grade sprain", "a high grade sprain",
                 "tendinosis without a tear", "a degenerative tear", "a chronic tear", "a retracted tear",
                 "a longitudinal split tear", "a free edge tear", "an articular surface partial tear",
                 "a bursal surface partial tear", "a tear"],
    # Vascular
    "vessel": ["right internal carotid artery", "left internal carotid artery", "right common carotid artery",
               "left common carotid artery", "carotid bulb", "vertebral artery", "right vertebral artery",
               "left vertebral artery", "basilar artery", "middle cerebral artery", "abdominal aorta",
               "infrarenal abdominal aorta", "thoracic aorta", "ascending aorta", "descending thoracic aorta",
               "aortic arch", "celiac artery", "superior mesenteric artery", "renal artery", "right renal artery",
               "left renal artery", "common iliac artery", "right common iliac artery", "left external iliac artery",
               "common femoral artery", "superficial femoral artery", "popliteal artery", "anterior tibial artery",
               "posterior tibial artery", "peroneal artery", "subclavian artery", "main pulmonary artery",
               "right pulmonary artery", "left pulmonary artery", "common femoral vein", "femoral vein",
               "popliteal vein", "great saphenous vein", "internal jugular vein", "subclavian vein", "axillary vein",
               "brachial vein", "cephalic vein", "basilic vein", "portal vein", "splenic vein", "hepatic veins",
               "inferior vena cava", "superior vena cava", "right lower extremity veins", "left lower extremity veins",
               "deep veins of the right lower extremity", "deep veins of the left lower extremity"],
    "vascfind": ["a stenosis", "a high grade stenosis", "a mild stenosis", "a moderate stenosis", "an occlusion",
                 "a complete occlusion", "thrombus", "a nonocclusive thrombus", "an occlusive thrombus",
                 "deep venous thrombosis", "acute deep venous thrombosis", "superficial thrombophlebitis",
                 "an aneurysm", "a fusiform aneurysm", "a saccular aneurysm", "a pseudoaneurysm", "a dissection",
                 "an intimal flap", "mural thrombus", "calcified plaque", "noncalcified plaque",
                 "mixed plaque", "heterogeneous plaque", "atherosclerotic plaque", "ectasia", "dilatation",
                 "an arteriovenous fistula", "a filling defect", "a saddle embolus", "pulmonary emboli",
                 "segmental pulmonary emboli", "subsegmental pulmonary emboli", "a pulmonary embolus",
                 "right heart strain", "collateral vessels", "an endoleak", "a type two endoleak",
                 "in stent stenosis", "a patent stent", "a patent graft", "reversal of flow", "monophasic waveforms",
                 "triphasic waveforms", "elevated peak systolic velocities", "tardus parvus waveforms"],
    "vascneg": ["deep venous thrombosis", "deep vein thrombosis", "hemodynamically significant stenosis",
                "pulmonary embolism", "aortic dissection", "aneurysm", "aortic aneurysm", "occlusion", "thrombus",
                "pseudoaneurysm", "arteriovenous fistula", "active extravasation", "significant plaque",
                "venous thrombosis", "superficial venous thrombosis", "dissection or aneurysm",
                "flow limiting stenosis", "retroperitoneal hematoma", "endoleak"],
    # Ultrasound
    "echo": ["hypoechoic", "hyperechoic", "isoechoic", "anechoic", "echogenic", "heterogeneous",
             "heterogeneously hypoechoic", "mildly hypoechoic", "markedly hypoechoic", "complex", "solid",
             "cystic", "mixed cystic and solid", "predominantly solid", "predominantly cystic", "spongiform",
             "well circumscribed", "ill defined", "lobulated", "irregular", "avascular", "hypervascular",
             "vascular", "septated", "thin walled", "thick walled"],
    "usorgan": ["thyroid", "right thyroid lobe", "left thyroid lobe", "thyroid isthmus", "liver", "right hepatic lobe",
                "left hepatic lobe", "gallbladder", "right kidney", "left kidney", "spleen", "pancreas",
                "right ovary", "left ovary", "uterus", "right adnexa", "left adnexa", "right testis", "left testis",
                "right epididymis", "left epididymis", "scrotum", "bladder", "neck", "right axilla", "left axilla",
                "right groin", "left groin", "popliteal fossa", "anterior abdominal wall", "soft tissues of the neck",
                "lower pole of the right kidney", "upper pole of the left kidney", "right lobe of the liver",
                "left lobe of the liver", "right lobe of the thyroid", "left lobe of the thyroid", "interpolar region"],
    "uslesion": ["nodule", "mass", "cyst", "lesion", "collection", "lymph node", "focus", "area", "structure",
                 "calcification", "stone", "polyp"],
    "usextra": ["with internal vascularity", "without internal vascularity", "with posterior acoustic enhancement",
                "with posterior acoustic shadowing", "with internal echoes", "with thin septations",
                "with a thick septation", "with microcalcifications", "with coarse calcifications",
                "with peripheral calcifications", "with a fatty hilum", "with loss of the fatty hilum",
                "with internal debris", "with mobile echogenic foci", "with comet tail artifact",
                "with smooth margins", "with irregular margins", "with lobulated margins", "with a halo",
                "that is taller than wide", "that is wider than tall", "with increased doppler flow",
                "with no detectable flow", "with a fluid fluid level"],
    "usmisc": ["there is normal color doppler flow", "color doppler flow is normal", "normal arterial and venous waveforms",
               "the veins are fully compressible", "the deep veins are compressible with normal flow and augmentation",
               "there is normal phasic flow", "normal respiratory variation", "there is normal augmentation",
               "the endometrial stripe measures {small_mm}s", "the endometrium is thin", "the endometrium is thickened",
               "the uterus is anteverted", "the uterus is retroverted", "the uterus is enlarged and heterogeneous",
               "both ovaries are visualized and are normal", "the ovaries are not visualized",
               "there is a single live intrauterine pregnancy", "fetal heart rate is {num} beats per minute",
               "crown rump length corresponds to {num} weeks", "a yolk sac is seen", "no intrauterine pregnancy is identified",
               "the gallbladder is distended", "the gallbladder is contracted", "the sonographic murphy sign is negative",
               "the sonographic murphy sign is positive", "the common bile duct measures {small_mm}s",
               "the common duct is not dilated", "hepatopetal flow in the main portal vein", "hepatofugal flow in the portal vein",
               "the kidneys are normal in size and echogenicity", "increased renal cortical echogenicity",
               "the right kidney measures {cm} in length", "the left kidney measures {cm} in length",
               "the bladder is decompressed", "the bladder is well distended", "post void residual is {num} milliliters",
               "the prostate measures {num} grams", "the testes are normal in size and echotexture",
               "a small hydrocele", "a left varicocele", "a right varicocele", "there is no testicular torsion",
               "the thyroid is normal in size", "the thyroid is heterogeneous", "the thyroid is enlarged",
               "no suspicious cervical lymph nodes", "the liver is echogenic", "the liver is coarsened",
               "the spleen measures {cm}", "the aorta is normal in caliber", "the visualized aorta is not dilated",
               "limited visualization of the pancreas due to bowel gas", "the study is limited by body habitus",
               "tirads four", "tirads three", "tirads five", "ti rads category four", "a tirads five nodule",
               "the amniotic fluid is normal", "placenta is posterior without previa"],
    # Mammography
    "density": ["the breasts are almost entirely fatty", "there are scattered areas of fibroglandular density",
                "there are scattered fibroglandular densities", "the breasts are heterogeneously dense",
                "the breasts are heterogeneously dense which may obscure small masses",
                "the breasts are extremely dense", "the breasts are extremely dense which lowers the sensitivity of mammography",
                "the breast tissue is heterogeneously dense", "breast density is scattered fibroglandular",
                "the breasts are predominantly fatty"],
    "quadrant": ["upper outer quadrant", "upper inner quadrant", "lower outer quadrant", "lower inner quadrant",
                 "retroareolar region", "subareolar region", "central breast", "axillary tail", "upper breast",
                 "lower breast", "outer breast", "inner breast", "posterior depth", "middle depth", "anterior depth",
                 "twelve o'clock position", "{clock} position"],
    "mammofind": ["a mass", "an oval mass", "a round mass", "an irregular mass", "a spiculated mass",
                  "a circumscribed mass", "an obscured mass", "a focal asymmetry", "a developing asymmetry",
                  "an asymmetry", "a global asymmetry", "architectural distortion", "grouped calcifications",
                  "amorphous calcifications", "coarse heterogeneous calcifications", "fine pleomorphic calcifications",
                  "fine linear branching calcifications", "punctate calcifications", "segmental calcifications",
                  "clustered microcalcifications", "benign appearing calcifications", "vascular calcifications",
                  "dystrophic calcifications", "a lymph node", "an intramammary lymph node", "skin thickening",
                  "nipple retraction", "trabecular thickening", "a simple cyst", "a complicated cyst",
                  "a fibroadenoma", "a fat necrosis", "an oil cyst", "postsurgical changes", "a biopsy clip",
                  "a biopsy marker clip", "lumpectomy changes", "implants", "intact implants", "an implant rupture"],
    "birads": ["bi rads {birn}", "birads {birn}", "bi rads category {birn}", "birads category {birn}",
               "assessment bi rads {birn}", "bi rads {birn} benign", "bi rads {birn} negative",
               "bi rads {birn} probably benign", "bi rads {birn} suspicious", "bi rads zero incomplete",
               "bi rads one negative", "bi rads two benign", "bi rads three probably benign",
               "bi rads four suspicious abnormality", "bi rads five highly suggestive of malignancy",
               "bi rads six known biopsy proven malignancy"],
    "birn": ["zero", "one", "two", "three", "four", "four a", "four b", "four c", "five", "six"],
    "mammoneg": ["suspicious masses calcifications or architectural distortion",
                 "mammographic evidence of malignancy", "suspicious mass", "suspicious calcifications",
                 "architectural distortion", "suspicious findings", "significant change", "new findings",
                 "axillary adenopathy", "suspicious masses or calcifications", "sonographic abnormality",
                 "sonographic correlate"],
    # Misc words for bridging
    "desc": ["well defined", "ill defined", "irregular", "lobulated", "spiculated", "smooth", "rounded", "oval",
             "heterogeneous", "homogeneous", "enhancing", "nonenhancing", "rim enhancing", "peripherally enhancing",
             "calcified", "partially calcified", "noncalcified", "hypodense", "hyperdense", "hypoattenuating",
             "low attenuation", "high attenuation", "fat containing", "fluid density", "soft tissue density",
             "cystic", "solid", "complex", "exophytic", "infiltrative", "expansile", "mildly enhancing",
             "t two hyperintense", "t one hypointense", "t two hypointense", "t one hyperintense",
             "diffusion restricting", "arterially enhancing", "hypervascular", "hypovascular"],
    "cause": ["infection", "inflammation", "malignancy", "neoplasm", "metastatic disease", "lymphoma", "edema",
              "hemorrhage", "scarring", "postoperative change", "postsurgical change", "post treatment change",
              "radiation change", "atelectasis", "aspiration", "pneumonia", "a benign process", "a cyst",
              "a hemangioma", "an abscess", "a hematoma", "a seroma", "a lymphocele", "granulomatous disease",
              "prior granulomatous disease", "prior infection", "sarcoidosis", "congestive heart failure",
              "fluid overload", "volume overload", "chronic obstructive pulmonary disease", "reactive change",
              "degenerative change", "artifact", "motion artifact", "technique", "a normal variant",
              "an incidental finding", "early pneumonia", "viral pneumonia", "atypical infection", "a primary lung cancer",
              "bronchogenic carcinoma", "an adenoma", "a lipid rich adenoma", "a simple cyst", "a complicated cyst",
              "fibrosis", "an atypical hemangioma", "focal fatty sparing", "focal fat", "a flash filling hemangioma",
              "an inflammatory process", "an infectious process", "a neoplastic process", "contusion", "trauma"],
    "clinical": ["clinical correlation is recommended", "clinical correlation is advised", "correlate clinically",
                 "recommend clinical correlation", "correlation with physical examination is recommended",
                 "correlate with laboratory values", "correlation with prior outside studies would be helpful",
                 "correlation with the patient's symptoms is recommended", "findings were discussed with the referring physician",
                 "findings were communicated to the ordering provider", "these findings were discussed with doctor {name} at {timeofday}",
                 "the referring clinician was notified", "results were called to the emergency department",
                 "the findings were conveyed by telephone", "critical result called to doctor {name}",
                 "preliminary report was given", "this is an addendum", "addendum the study was reviewed again",
                 "no further imaging is needed", "no follow up is needed", "no further follow up is required",
                 "routine annual screening is recommended", "return to annual screening mammography",
                 "annual screening mammogram is recommended", "short interval follow up is recommended",
                 "recommend surgical consultation", "recommend orthopedic consultation", "recommend urology referral",
                 "recommend gastroenterology consultation", "recommend oncology referral", "recommend vascular surgery consultation",
                 "tissue sampling is recommended", "recommend biopsy", "biopsy is recommended",
                 "the patient was given a copy of the results", "the patient was informed of the results",
                 "please see the separate report", "see the report of the same date", "this study is limited",
                 "image quality is limited", "the examination is limited by motion", "limited study due to motion",
                 "motion artifact limits evaluation", "contrast timing is suboptimal", "limited evaluation without contrast",
                 "the study was performed without intravenous contrast", "intravenous contrast was administered",
                 "oral contrast was given", "no contrast was given", "technically adequate study",
                 "technically limited study", "the patient tolerated the procedure well", "there were no immediate complications",
                 "informed consent was obtained", "the procedure was performed under ultrasound guidance",
                 "the procedure was performed under ct guidance", "the specimen was sent to pathology",
                 "a total of {num} milliliters of fluid was aspirated", "a drain was placed"],
    "name": ["smith", "jones", "brown", "johnson", "williams", "miller", "davis", "garcia", "wilson", "anderson",
             "taylor", "thomas", "moore", "martin", "lee", "white", "harris", "clark", "lewis", "young", "allen",
             "king", "wright", "scott", "green", "baker", "adams", "nelson", "hill", "campbell", "patel", "nguyen",
             "chen", "kim", "walker", "hall", "roberts", "turner", "phillips", "evans", "collins", "stewart"],
    "timeofday": ["{hour} a m", "{hour} p m", "{hour} {minute} a m", "{hour} {minute} p m", "{hour} {minute}",
                  "noon", "{hour} o'clock"],
    "hour": ["one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten", "eleven", "twelve"],
    "minute": ["fifteen", "thirty", "forty five", "oh five", "ten", "twenty", "fifty", "oh two", "twenty five"],
    "history": ["history of", "clinical history", "indication", "reason for exam", "patient with", "in a patient with",
                "given the history of", "in this patient with a history of", "in the setting of", "status post",
                "known", "presenting with", "evaluate for", "rule out", "follow up of", "concern for"],
    "indication": ["cough", "fever", "shortness of breath", "chest pain", "abdominal pain", "right upper quadrant pain",
                   "right lower quadrant pain", "left lower quadrant pain", "flank pain", "trauma", "a fall",
                   "motor vehicle collision", "headache", "altered mental status", "stroke symptoms", "weakness",
                   "syncope", "seizure", "hematuria", "nausea and vomiting", "weight loss", "lung cancer",
                   "breast cancer", "colon cancer", "prostate cancer", "lymphoma", "pneumonia", "copd",
                   "congestive heart failure", "hypertension", "diabetes", "renal failure", "kidney stones",
                   "pancreatitis", "cirrhosis", "hepatitis", "dizziness", "back pain", "low back pain", "neck pain",
                   "knee pain", "shoulder pain", "hip pain", "swelling", "leg swelling", "palpable lump",
                   "a palpable mass", "nipple discharge", "pelvic pain", "vaginal bleeding", "elevated liver enzymes",
                   "jaundice", "dysphagia", "hemoptysis", "a pulmonary nodule", "sepsis", "line placement",
                   "tube placement", "intubation", "surgery", "recent surgery", "chemotherapy", "radiation therapy",
                   "a screening examination", "numbness and tingling", "radiculopathy", "instability", "injury",
                   "sports injury", "ankle sprain", "wrist pain after a fall", "foot pain", "elbow pain", "hand pain",
                   "tachycardia", "hypoxia", "anemia", "elevated d dimer", "leukocytosis", "metastatic disease"],
    "general": ["no significant abnormality", "normal examination", "normal study", "unremarkable examination",
                "no acute findings", "no acute abnormality", "no acute process", "no acute findings in the abdomen or pelvis",
                "no acute intracranial abnormality", "no acute cardiopulmonary abnormality", "no acute osseous abnormality",
                "no acute fracture or dislocation", "no fracture or dislocation", "negative examination",
                "stable examination", "no interval change", "no significant interval change",
                "findings are unchanged", "otherwise unremarkable", "otherwise unremarkable examination",
                "otherwise no acute abnormality", "the remainder of the examination is unremarkable",
                "the remainder of the study is unremarkable", "remaining findings are stable",
                "incidental note is made of", "of incidental note", "the visualized upper abdomen is unremarkable",
                "the visualized portions of the upper abdomen are unremarkable", "the soft tissues are unremarkable",
                "the bones are unremarkable", "the osseous structures are intact", "the bones are intact",
                "bone mineralization is normal", "alignment is normal", "alignment is anatomic", "alignment is maintained",
                "there is normal alignment", "the joint spaces are preserved", "the joint spaces are maintained",
                "the soft tissues are normal", "no soft tissue abnormality", "no radiopaque foreign body",
                "no suspicious osseous lesions", "no lytic or blastic lesions", "no aggressive osseous lesion",
                "no worrisome osseous lesion", "the vertebral body heights are maintained", "the disc spaces are preserved",
                "the prevertebral soft tissues are normal", "the spinal cord is normal in signal and caliber",
                "the conus medullaris terminates at {vertebra}", "the conus terminates at a normal level",
                "the cervical cord is normal", "no significant canal or foraminal stenosis"],
}

# Templates: one family per kind of remark; weights say how often each is drawn.
T = [
    # Negations and normal statements
    (8, "{negstart} {chestneg}"),
    (5, "{negstart} {abdneg}"),
    (5, "{negstart} {brainneg}"),
    (3, "{negstart} {vascneg}"),
    (2, "{negstart} {mammoneg}"),
    (3, "{negstart} {chestneg} {seen}"),
    (2, "{negstart} {abdneg} {seen}"),
    (3, "{negstart} {brainneg} {seen}"),
    (2, "{negstart} acute fracture or dislocation"),
    (2, "{negstart} fracture or dislocation of the {bone}"),
    (2, "{negstart} {vascneg} in the {vessel}"),
    (2, "{negstart} {vascneg} in the {side} lower extremity"),
    (2, "{negstart} {vascneg} in the {side} upper extremity"),
    (8, "{heart}"),
    (3, "{heart} {heart}"),
    (3, "{heart} and {heart}"),
    (5, "{general}"),
    (2, "{general} {general}"),
    (5, "the {organ} {normalorg}"),
    (2, "the {organ} and {organ} {normalorg}"),
    (2, "the {organ} {normalorg} without {abdneg}"),
    (4, "{sinus}"),
    (2, "impression {general}"),
    (2, "impression {heart}"),
    (2, "impression {negstart} {chestneg}"),
    (2, "impression {negstart} {brainneg}"),
    (2, "impression {negstart} {abdneg}"),
    # Chest findings
    (6, "{severity} {lungfind} in the {lobe}"),
    (4, "{there} {severity} {lungfind} in the {lobe}"),
    (3, "{there} {lungfind} in the {lobe} {hedge} {cause}"),
    (3, "{lungfind} in the {lobe} {hedge} {cause}"),
    (3, "{lungfind} in the {lobe} is {stable} {compare} {prior}"),
    (3, "{severity} {lungfind} in the {lobe} {compare} {prior}"),
    (2, "{severity} {side} pleural effusion"),
    (3, "{there} {sizeword} {side} pleural effusion"),
    (3, "{sizeword} {side} pleural effusion with adjacent {lungfind}"),
    (2, "{there} {sizeword} {side} pleural effusion with adjacent compressive atelectasis"),
    (2, "{sizeword} {side} pneumothorax"),
    (2, "{there} {sizeword} {lr} apical pneumothorax"),
    (2, "{lr} pneumothorax is {stable} {compare} {prior}"),
    (2, "interval {change} of the {lr} pleural effusion"),
    (2, "interval {change} of the {lobe} {lungfind}"),
    (3, "{adj_size} nodule in the {lobe}"),
    (3, "{there} {adj_size} {desc} nodule in the {lobe}"),
    (2, "{there} {adj_size} {desc} nodule in the {lobe} {stable} {compare} {prior}"),
    (2, "a {desc} mass in the {lobe} measuring {dims}"),
    (2, "{desc} pulmonary nodule measuring {size} in the {lobe}"),
    (2, "{stable} pulmonary nodule in the {lobe} {compare} {prior}"),
    (2, "the {lobe} nodule is {stable} measuring {size}"),
    (3, "the {device} {devloc}"),
    (2, "{device} {devloc}"),
    (2, "interval placement of a {device} which {devloc}"),
    (2, "interval removal of the {device}"),
    (2, "the {device} and {device} are unchanged in position"),
    (2, "{severity} bibasilar atelectasis"),
    (2, "{severity} {side} basilar atelectasis"),
    (2, "patchy {lungfind} in both lungs"),
    (2, "diffuse bilateral {lungfind}"),
    (2, "{severity} pulmonary edema"),
    (2, "{severity} cardiomegaly with {severity} pulmonary vascular congestion"),
    (1, "{severity} {side} hilar lymphadenopathy"),
    (1, "bilateral hilar lymphadenopathy"),
    (2, "mediastinal lymph node measuring {size} in short axis"),
    (2, "{there} {adj_size} lymph node in the {lnode}"),
    (2, "{severity} emphysematous changes in the {lobe}"),
    (2, "acute fracture of the {lr} {rib} rib"),
    (2, "{fxtype} fracture of the {lr} {rib} rib"),
    (2, "{fxtype} fractures of the {lr} {rib} through {rib} ribs"),
    (2, "{count} {fxtype} {lr} rib fractures"),
    (1, "findings {hedge} {cause}"),
    (2, "findings are {hedge} {cause}"),
    (2, "findings {hedge} {cause} or {cause}"),
    (2, "findings are compatible with {lungfind}"),
    (2, "findings are compatible with {abdfind}"),
    (2, "pulmonary embolism in the {vessel}"),
    (2, "{there} {vascfind} in the {vessel}"),
    (2, "{vascfind} in the {vessel}"),
    (2, "{vascfind} involving the {vessel}"),
    # Abdomen
    (6, "{abdfind}"),
    (4, "{there} {abdfind}"),
    (4, "{severity} {abdfind}"),
    (3, "{abdfind} {seen}"),
    (3, "{abdfind} without {abdneg}"),
    (3, "{abdfind} with {abdfind}"),
    (2, "{abdfind} {hedge} {cause}"),
    (3, "{there} {adj_size} {desc} lesion in the {liverloc} {hedge} {cause}"),
    (2, "{there} {adj_size} {desc} lesion in the {organ}"),
    (2, "{desc} lesion in the {organ} measuring {dims}"),
    (2, "a {desc} mass arising from the {organ} measuring {dims}"),
    (2, "subcentimeter {desc} lesion in the {organ} too small to characterize"),
    (2, "{count} subcentimeter hypodensities in the liver too small to characterize"),
    (2, "{severity} {lr} hydronephrosis"),
    (2, "{severity} hydronephrosis of the {lr} kidney"),
    (2, "{severity} {lr} hydronephrosis secondary to {a_small_mm} obstructing stone in the {ureter}"),
    (2, "{a_small_mm} {lr} {ureter} stone with {severity} hydronephrosis"),
    (2, "{count} nonobstructing stones in the {lr} kidney measuring up to {small_mm}s"),
    (2, "{a_small_mm} nonobstructing stone in the {kidneyloc}"),
    (2, "a {size} {desc} cyst in the {kidneyloc}"),
    (2, "a simple cyst in the {kidneyloc}"),
    (2, "the common bile duct measures {small_mm}s"),
    (2, "the common bile duct is dilated measuring {small_mm}s"),
    (1, "the {organ} measures {cm}"),
    (2, "the appendix is normal in caliber"),
    (2, "the appendix is dilated measuring {small_mm}s with periappendiceal fat stranding"),
    (2, "dilated loops of small bowel with air fluid levels {hedge} {cause}"),
    (2, "dilated loops of small bowel with air fluid levels suggesting obstruction"),
    (2, "there is a transition point in the {abdloc}"),
    (2, "{severity} {abdfind} in the {abdloc}"),
    (2, "{abdfind} in the {abdloc}"),
    (2, "{there} {sizeword} amount of free fluid in the {abdloc}"),
    (2, "free fluid in the pelvis"),
    (2, "{there} {sizeword} {abdfind} in the {abdloc}"),
    (2, "infrarenal abdominal aortic aneurysm measuring {size}"),
    (2, "the abdominal aorta measures {size} in diameter"),
    (2, "{an_adj_size} {desc} nodule in the {lr} adrenal gland {hedge} {cause}"),
    (2, "the {organ} is enlarged measuring {cm}"),
    (2, "the liver is enlarged and diffusely echogenic consistent with hepatic steatosis"),
    (2, "the liver is diffusely {desc} {hedge} {cause}"),
    (2, "the spleen is normal in size"),
    (2, "the spleen is enlarged measuring {cm}"),
    (2, "the uterus measures {dims}"),
    (2, "{count} uterine fibroids the largest measuring {size}"),
    (2, "{an_adj_size} {echo} {uslesion} in the {usorgan}"),
    # Neuro
    (5, "{brainfind} in the {brainloc}"),
    (3, "{there} {brainfind} in the {brainloc}"),
    (3, "{severity} {brainfind}"),
    (3, "{brainfind} {hedge} {cause}"),
    (2, "{severity} {brainfind} in the {brainloc}"),
    (2, "{brainfind} in the {brainloc} {seen}"),
    (2, "{brainfind} in the {brainloc} is {stable} {compare} {prior}"),
    (2, "acute infarct in the {brainloc}"),
    (2, "{there} {sizeword} {lr} subdural hematoma measuring {size} in thickness"),
    (2, "{sizeword} {lr} subdural hematoma with {size} of midline shift"),
    (2, "{size} of {lr} to {lr} midline shift"),
    (2, "{brainfind} without {brainneg}"),
    (2, "{chronic} small vessel ischemic changes in the {brainloc}"),
    (2, "{brainfind} and {brainfind}"),
    (2, "the ventricles and sulci are prominent consistent with age related volume loss"),
    (2, "{there} {desc} mass in the {brainloc} measuring {dims}"),
    (2, "{sinus} and {sinus}"),
    (3, "{spinefind} at {level}"),
    (3, "at {level} there is {spinefind}"),
    (3, "at {level} {spinefind} with {severity} {spinefind}"),
    (3, "{severity} {spinefind} at {level}"),
    (2, "{spinefind} at {level} and {level}"),
    (2, "{spinefind} at {level} {hedge} impinging on the {lr} {vertebra} nerve root"),
    (2, "{severity} central canal stenosis at {level}"),
    (2, "{severity} degenerative changes of the {spineregion} spine"),
    (2, "{severity} degenerative changes of the {spineregion} spine with disc space narrowing at {level}"),
    (2, "{severity} compression deformity of the {vertebra} vertebral body"),
    (2, "{fxtype} compression fracture of {vertebra}"),
    (2, "{spinefind} is {stable} {compare} {prior}"),
    (2, "{severity} loss of height of the {vertebra} vertebral body"),
    (1, "osteopenia with a compression deformity of the {vertebra} vertebral body"),
    # Musculoskeletal
    (6, "{fxtype} fracture of the {lr} {bone}"),
    (5, "{fxtype} fracture of the {bone}"),
    (4, "{there} {fxtype} fracture of the {lr} {bone}"),
    (3, "{there} {fxtype} fracture of the {bone} with {severity} {disp}"),
    (3, "{fxtype} fracture of the {bone} with {severity} {disp}"),
    (2, "{fxtype} fracture through the {bone}"),
    (2, "{fxtype} fracture involving the {bone} {extends}"),
    (2, "{fxtype} {bone} fracture"),
    (2, "{fxtype} {lr} {bone} fracture"),
    (2, "{fxtype} fractures of the {bone} and {bone}"),
    (2, "{there} {fxtype} fracture of the {lr} {bone} with {angle} of {angulation}"),
    (2, "fracture of the {bone} with {disp} of {size}"),
    (2, "the fracture fragments are in {alignment}"),
    (2, "{healing} of the {bone} fracture"),
    (2, "{there} {mskfind} of the {joint}"),
    (3, "{severity} {mskfind} of the {joint}"),
    (2, "{mskfind} of the {joint}"),
    (3, "{severity} {mskfind}"),
    (2, "{mskfind} in the {joint}"),
    (2, "{severity} joint effusion of the {joint}"),
    (2, "{severity} {mskfind} with {mskfind}"),
    (2, "{severity} osteoarthritis of the {joint} with joint space narrowing and osteophytes"),
    (2, "{severity} degenerative changes of the {joint}"),
    (2, "soft tissue swelling over the {bone}"),
    (2, "soft tissue swelling without underlying fracture"),
    (3, "{teartype} of the {tear}"),
    (2, "{there} {teartype} of the {tear}"),
    (2, "{teartype} of the {tear} with {severity} {mskfind}"),
    (2, "the {tear} is intact"),
    (2, "the {tear} is {tearstate}"),
    (2, "{severity} {tendon_word} of the {tear}"),
    (2, "{severity} {mskfind} of the {bone}"),
    (2, "{mskfind} is {stable} {compare} {prior}"),
    (2, "{negstart} fracture or dislocation"),
    (2, "no dislocation is seen"),
    (2, "{hardware} in the {bone} {hw_state}"),
    (2, "status post {procedure} with {hardware} {hw_state}"),
    (2, "status post {procedure}"),
    # Vascular
    (3, "{there} {percent} stenosis of the {vprox} {vessel}"),
    (3, "{percent} stenosis of the {vessel}"),
    (2, "{severity} stenosis of the {vprox} {vessel} estimated at {percent}"),
    (2, "less than {percent} stenosis of the {lr} internal carotid artery"),
    (2, "{severity} {plaque} in the {vessel} without hemodynamically significant stenosis"),
    (2, "{severity} {plaque} in the {vessel}"),
    (2, "peak systolic velocity of {num} centimeters per second in the {vessel}"),
    (2, "the {vessel} is patent"),
    (2, "the {vessel} and {vessel} are patent"),
    (2, "{vascfind} in the {vprox} {vessel}"),
    (2, "{there} {vascfind} of the {vessel} measuring {size}"),
    (2, "{acuity} deep venous thrombosis in the {lr} {dvtvein}"),
    (2, "occlusive thrombus in the {lr} {dvtvein}"),
    (2, "the {vessel} is aneurysmal measuring {size}"),
    (2, "the {vessel} measures {size} in diameter"),
    (2, "the aorta is normal in caliber without dissection"),
    (2, "{severity} atherosclerotic calcification of the {vessel}"),
    (1, "{vascfind} {seen}"),
    # Ultrasound
    (3, "{there} {adj_size} {echo} {uslesion} in the {usorgan}"),
    (3, "{a_adj_size} {echo} {uslesion} in the {usorgan} {usextra}"),
    (3, "{echo} {uslesion} in the {usorgan} measuring {dims}"),
    (2, "{echo} {uslesion} in the {usorgan} measuring {dims} {usextra}"),
    (2, "{there} {echo} {uslesion} {usextra}"),
    (2, "{echo} {uslesion} {usextra} {hedge} {cause}"),
    (3, "{usmisc}"),
    (2, "{usmisc} {usmisc}"),
    (2, "{a_adj_size} {echo} nodule in the {usorgan} {tirads}"),
    (2, "recommend fine needle aspiration of the {usorgan} nodule"),
    (2, "{usorgan} nodule is {stable} {compare} {prior}"),
    # Mammography
    (3, "{density}"),
    (3, "{negstart} {mammoneg}"),
    (2, "{mammofind} in the {quadrant} of the {lr} breast"),
    (3, "{there} {mammofind} in the {lr} breast at {clock}"),
    (2, "{mammofind} in the {lr} breast at {clock} {cm_dist} from the nipple"),
    (2, "{mammofind} in the {quadrant} of the {lr} breast measuring {size}"),
    (2, "{mammofind} in the {lr} breast {hedge} {mcause}"),
    (2, "{there} {mammofind} in the {lr} breast {stable} {compare} {prior}"),
    (2, "{echo} {mammofind_us} at {clock} in the {lr} breast measuring {dims}"),
    (2, "{birads}"),
    (2, "impression {birads}"),
    (2, "{density} {negstart} {mammoneg}"),
    (2, "{mammofind} in the {lr} breast {rec} {modality}"),
    (2, "{rec} {modality} of the {lr} breast"),
    (2, "the {lr} axilla is unremarkable"),
    # Comparison
    (4, "{compare} {prior} {changephrase}"),
    (3, "{changephrase} {compare} {prior}"),
    (3, "the {finding_any} is {stable} {compare} {prior}"),
    (3, "{stable} {finding_any} {compare} {prior}"),
    (2, "interval {change} of the {finding_any}"),
    (2, "interval {change} of the {finding_any} {compare} {prior}"),
    (2, "{finding_any} has {changed} {compare} {prior}"),
    (2, "{finding_any} has {changed} since {prior}"),
    (2, "the {finding_any} now measures {size} previously {size}"),
    (2, "the {finding_any} measures {size} compared to {size} on {prior}"),
    (2, "{comparison}"),
    (2, "comparison {prior}"),
    (1, "comparison none"),
    (1, "no prior studies are available for comparison"),
    # Recommendations
    (4, "{rec} {modality}"),
    (4, "{rec} {modality} for further evaluation"),
    (3, "{rec} follow up {modality} in {months}"),
    (3, "follow up {modality} in {months} is recommended"),
    (2, "{rec} follow up {modality} in {months} to document {resolution}"),
    (2, "{rec} {modality} to exclude {cause}"),
    (2, "{rec} {modality} for further characterization"),
    (2, "{rec} {modality} if clinically indicated"),
    (2, "{rec} {modality} as clinically warranted"),
    (2, "{rec} comparison with {prior}"),
    (3, "{clinical}"),
    (2, "{clinical} {clinical}"),
    (2, "per fleischner society guidelines {rec} {modality} in {months}"),
    (2, "if there is continued clinical concern {rec} {modality}"),
    (2, "{modality} {may} be considered for further evaluation"),
    (2, "{modality} is recommended"),
    # History and technique
    (3, "{history} {indication}"),
    (2, "{history} {indication} and {indication}"),
    (2, "{age} year old {sex} with {indication}"),
    (2, "{age} year old {sex} with {history} {indication}"),
    (2, "{exam} {history} {indication}"),
    (2, "{exam}"),
    (2, "{view}"),
    # Impressions combining the above
    (3, "impression {fxtype} fracture of the {lr} {bone}"),
    (2, "impression {abdfind}"),
    (2, "impression {brainfind} in the {brainloc}"),
    (2, "impression {severity} {lungfind} in the {lobe} {hedge} {cause}"),
    (2, "impression {stable} {finding_any} {compare} {prior}"),
    (2, "impression {birads}"),
    (2, "impression {abdfind} {rec} {modality}"),
    (2, "{finding_any} {rec} {modality}"),
    (2, "{finding_any} {hedge} {cause} {rec} {modality}"),
    (2, "{finding_any} {hedge} {cause} {clinical}"),
    (2, "{ordinal} {finding_any}"),
    (2, "{finding_any} and {finding_any}"),
    (2, "{finding_any} with {finding_any}"),
    (2, "{finding_any} without {abdneg}"),
    (2, "{finding_any} which has {changed}"),
    (2, "{finding_any} {seen}"),
    (2, "{finding_any_pl} {seenpl}"),
]

L.update({
    "change": ["improvement", "worsening", "resolution", "increase in size", "decrease in size", "progression",
               "development", "enlargement", "decrease", "increase", "near complete resolution", "partial resolution",
               "improvement in aeration", "clearing", "mild improvement", "mild worsening", "slight increase",
               "slight decrease", "stability"],
    "changed": ["increased", "decreased", "resolved", "improved", "worsened", "enlarged", "progressed",
                "decreased in size", "increased in size", "not changed", "remained stable", "nearly resolved",
                "significantly improved", "slightly increased", "minimally decreased"],
    "changephrase": ["there is no significant change", "there has been no interval change", "findings are stable",
                     "there is interval improvement", "there is interval worsening", "there is no change",
                     "there are no new findings", "no new abnormality is identified", "appearance is unchanged",
                     "findings have progressed", "findings have improved", "there is mild interval improvement",
                     "there is new {finding_any}", "the {finding_any} has resolved", "the {finding_any} is unchanged",
                     "the {finding_any} is slightly larger", "the {finding_any} is smaller"],
    "comparison": ["comparison is made to {prior}", "comparison is made with {prior}", "comparison {prior}",
                   "comparison was made with {prior}", "this study is compared with {prior}",
                   "comparison to {prior} from {date}", "there are no prior studies for comparison",
                   "no comparison studies are available"],
    "resolution": ["resolution", "stability", "resolution of the opacity", "resolution of the consolidation",
                   "stability of the nodule", "resolution of the effusion", "healing", "interval healing"],
    "finding_any": ["nodule", "pulmonary nodule", "mass", "lesion", "consolidation", "opacity", "effusion",
                    "pleural effusion", "pneumothorax", "atelectasis", "cardiomegaly", "hydronephrosis",
                    "lymphadenopathy", "lymph node", "cyst", "fluid collection", "abscess", "hematoma",
                    "fracture", "compression deformity", "subdural hematoma", "hemorrhage", "infarct",
                    "aneurysm", "stenosis", "thrombus", "fibroid", "thyroid nodule", "adrenal nodule",
                    "liver lesion", "renal cyst", "renal mass", "calcification", "calcifications", "asymmetry",
                    "soft tissue swelling", "joint effusion", "ascites", "free fluid", "bowel obstruction",
                    "pancreatic cyst", "gallbladder wall thickening", "edema", "pulmonary edema", "ground glass opacity",
                    "mediastinal lymph node", "spiculated mass", "enhancing lesion", "sclerotic lesion", "lytic lesion",
                    "disc herniation", "spinal stenosis", "scoliosis", "emphysema", "interstitial lung disease",
                    "{lr} pleural effusion", "{lobe} nodule", "{lobe} opacity", "{lobe} consolidation",
                    "{lr} renal cyst", "{lr} adrenal nodule", "{lr} hydronephrosis", "{lr} breast mass",
                    "{lr} pneumothorax", "{lr} subdural hematoma", "{bone} fracture", "{lr} {bone} fracture",
                    "{adj_size} nodule", "{adj_size} cyst", "{adj_size} lesion", "{adj_size} mass"],
    "finding_any_pl": ["nodules", "pulmonary nodules", "lesions", "calcifications", "lymph nodes", "cysts",
                       "gallstones", "renal stones", "metastases", "fractures", "rib fractures", "opacities",
                       "ground glass opacities", "diverticula", "colonic diverticula", "fibroids", "granulomas",
                       "osteophytes", "degenerative changes", "postsurgical changes", "surgical clips",
                       "sternotomy wires", "vascular calcifications", "white matter lesions", "hypodensities",
                       "scattered colonic diverticula without evidence of diverticulitis",
                       "multiple gallstones without gallbladder wall thickening or pericholecystic fluid",
                       "{count} {finding_any_pl}", "{count} small {finding_any_pl}", "bilateral {finding_any_pl}"],
    "liverloc": ["liver", "right hepatic lobe", "left hepatic lobe", "hepatic dome", "caudate lobe",
                 "segment {segment} of the liver", "right lobe of the liver", "left lobe of the liver",
                 "inferior right hepatic lobe", "posterior right hepatic lobe"],
    "segment": ["one", "two", "three", "four", "four a", "four b", "five", "six", "seven", "eight"],
    "kidneyloc": ["upper pole of the right kidney", "upper pole of the left kidney", "lower pole of the right kidney",
                  "lower pole of the left kidney", "interpolar region of the right kidney",
                  "interpolar region of the left kidney", "right kidney", "left kidney", "mid left kidney",
                  "mid right kidney", "right renal pelvis", "left renal pelvis"],
    "ureter": ["ureterovesical junction", "ureteropelvic junction", "proximal ureter", "mid ureter", "distal ureter",
               "left ureterovesical junction", "right ureterovesical junction", "proximal left ureter",
               "distal right ureter", "right ureter", "left ureter"],
    "abdloc": ["right lower quadrant", "left lower quadrant", "right upper quadrant", "left upper quadrant",
               "pelvis", "upper abdomen", "lower abdomen", "mid abdomen", "cul de sac", "morison's pouch",
               "hepatorenal space", "paracolic gutters", "right paracolic gutter", "left paracolic gutter",
               "perihepatic space", "perisplenic space", "retroperitoneum", "mesentery", "small bowel mesentery",
               "left hemipelvis", "right hemipelvis", "subhepatic space", "lesser sac", "anterior abdominal wall",
               "sigmoid colon", "descending colon", "ascending colon", "transverse colon", "distal ileum",
               "jejunum", "gastric antrum", "gastric fundus"],
    "lnode": ["right paratracheal region", "left paratracheal region", "subcarinal region", "aortopulmonary window",
              "prevascular space", "right hilum", "left hilum", "right axilla", "left axilla", "supraclavicular region",
              "precarinal region", "periportal region", "para aortic region", "retroperitoneum", "mesentery",
              "porta hepatis", "gastrohepatic ligament", "right inguinal region", "left inguinal region",
              "right external iliac chain", "left external iliac chain", "level two neck", "right level two neck",
              "left level three neck", "cervical chain"],
    "chronic": ["chronic", "mild chronic", "moderate chronic", "extensive chronic", "scattered", "confluent",
                "patchy", "mild", "moderate", "severe"],
    "spineregion": ["cervical", "thoracic", "lumbar", "lumbosacral", "thoracolumbar", "lower lumbar",
                    "lower cervical", "mid thoracic", "upper thoracic"],
    "disp": ["displacement", "angulation", "dorsal angulation", "volar angulation", "lateral displacement",
             "medial displacement", "posterior displacement", "anterior displacement", "impaction", "shortening",
             "distraction", "overlap", "rotation", "depression of the articular surface", "comminution",
             "dorsal tilt", "volar tilt"],
    "angle": ["approximately {degrees}", "{degrees}", "about {degrees}", "less than {degrees}"],
    "angulation": ["angulation", "dorsal angulation", "volar angulation", "apex anterior angulation",
                   "apex lateral angulation", "varus angulation", "valgus angulation"],
    "alignment": ["anatomic alignment", "near anatomic alignment", "satisfactory alignment", "good alignment",
                  "unchanged alignment", "improved alignment", "acceptable alignment"],
    "healing": ["interval healing", "progressive healing", "callus formation", "bridging callus", "early callus formation",
                "no evidence of healing", "delayed healing", "nonunion", "malunion", "solid osseous union"],
    "extends": ["extending into the joint", "extending to the articular surface", "without intra articular extension",
                "with intra articular extension", "extending into the physis", "without displacement",
                "with a butterfly fragment", "with a small avulsed fragment"],
    "tearstate": ["thickened", "attenuated", "thinned", "torn", "intact but thickened", "heterogeneous", "partially torn",
                  "retracted", "not visualized", "edematous", "normal", "degenerated", "truncated", "blunted"],
    "tendon_word": ["tendinosis", "tendinopathy", "tenosynovitis", "thickening", "signal abnormality",
                    "edema", "sprain", "strain", "degeneration"],
    "hardware": ["plate and screws", "intramedullary rod", "intramedullary nail", "a screw", "screws", "cerclage wires",
                 "an anchor", "suture anchors", "a prosthesis", "a total knee prosthesis", "a total hip prosthesis",
                 "kirschner wires", "k wires", "pedicle screws", "spinal fusion hardware", "an interbody spacer",
                 "anterior cervical fusion hardware", "external fixator", "a dynamic hip screw", "a cephalomedullary nail"],
    "hw_state": ["without evidence of loosening", "in satisfactory position", "which is intact", "without hardware failure",
                 "without complication", "with a broken screw", "with periprosthetic lucency", "with loosening",
                 "in stable position", "without periprosthetic fracture", "in good position"],
    "procedure": ["open reduction and internal fixation", "closed reduction", "total knee arthroplasty",
                  "total hip arthroplasty", "hemiarthroplasty", "anterior cervical discectomy and fusion",
                  "posterior spinal fusion", "laminectomy", "cholecystectomy", "appendectomy", "hysterectomy",
                  "nephrectomy", "splenectomy", "lumpectomy", "mastectomy", "right mastectomy", "left mastectomy",
                  "lobectomy", "right upper lobectomy", "left lower lobectomy", "wedge resection", "cabg",
                  "coronary artery bypass grafting", "median sternotomy", "thyroidectomy", "craniotomy",
                  "right frontal craniotomy", "aortic valve replacement", "endovascular aneurysm repair",
                  "kyphoplasty", "vertebroplasty", "acl reconstruction", "rotator cuff repair", "colectomy",
                  "gastric bypass", "whipple procedure", "liver transplant", "kidney transplant", "prostatectomy"],
    "vprox": ["proximal", "mid", "distal", "origin of the", "proximal to mid", "ostial"],
    "plaque": ["calcified plaque", "noncalcified plaque", "mixed plaque", "atherosclerotic plaque",
               "heterogeneous plaque", "soft plaque", "atherosclerotic disease", "intimal thickening"],
    "acuity": ["acute", "chronic", "subacute", "nonocclusive", "occlusive", "acute occlusive",
               "acute nonocclusive", "age indeterminate"],
    "dvtvein": ["common femoral vein", "femoral vein", "popliteal vein", "posterior tibial veins", "peroneal veins",
                "gastrocnemius vein", "soleal vein", "calf veins", "great saphenous vein", "internal jugular vein",
                "subclavian vein", "axillary vein", "brachial veins", "basilic vein", "cephalic vein",
                "external iliac vein", "common iliac vein"],
    "tirads": ["tirads {tirn}", "ti rads {tirn}", "ti rads category {tirn}", "tirads category {tirn}",
               "which meets criteria for fine needle aspiration", "which does not meet criteria for biopsy",
               "which meets criteria for follow up"],
    "tirn": ["one", "two", "three", "four", "five"],
    "mcause": ["benign", "a benign finding", "a fibroadenoma", "a cyst", "fat necrosis", "a lymph node",
               "malignancy", "postsurgical change", "a benign calcification", "an intramammary lymph node",
               "ductal carcinoma in situ", "invasive ductal carcinoma", "a papilloma", "a complicated cyst"],
    "mammofind_us": ["mass", "oval mass", "irregular mass", "cyst", "complicated cyst", "simple cyst", "lesion",
                     "solid mass", "lymph node", "area of shadowing", "duct", "dilated duct"],
    "exam": ["ct of the chest with contrast", "ct of the abdomen and pelvis with contrast",
             "ct of the abdomen and pelvis without contrast", "ct of the head without contrast", "ct head without contrast",
             "mri of the brain with and without contrast", "mri of the lumbar spine without contrast",
             "mri of the cervical spine", "mri of the right knee", "mri of the left shoulder",
             "two views of the chest", "pa and lateral views of the chest", "single portable view of the chest",
             "portable chest radiograph", "three views of the {joint}", "two views of the {joint}",
             "ultrasound of the abdomen", "right upper quadrant ultrasound", "renal ultrasound", "pelvic ultrasound",
             "transvaginal ultrasound", "thyroid ultrasound", "bilateral lower extremity venous duplex",
             "left lower extremity venous doppler", "carotid duplex ultrasound", "screening mammogram",
             "bilateral screening mammogram", "bilateral diagnostic mammogram", "left diagnostic mammogram",
             "ct angiography of the chest", "ct angiography of the head and neck", "ct pulmonary angiogram",
             "mr angiography of the head", "ct of the cervical spine without contrast", "ct of the facial bones",
             "ct of the sinuses", "scrotal ultrasound", "obstetric ultrasound", "bone density scan",
             "ct urogram", "ct enterography", "mri of the abdomen", "mri of the pelvis", "mri of the prostate",
             "breast mri", "pet ct skull base to mid thigh", "nuclear medicine bone scan", "upper gi series",
             "barium swallow", "kub", "abdominal radiograph", "acute abdominal series"],
    "view": ["frontal and lateral views of the chest were obtained", "a single frontal view of the chest was obtained",
             "axial images were obtained", "axial images were obtained from the skull base to the vertex",
             "multiplanar reformatted images were reviewed", "sagittal and coronal reformations were obtained",
             "images were obtained before and after contrast", "standard craniocaudal and mediolateral oblique views",
             "additional spot compression views were obtained", "grayscale and color doppler images were obtained",
             "the study was performed on a sixty four slice scanner", "three dimensional reconstructions were performed",
             "views of the {joint} were obtained", "weight bearing views of the knees",
             "transabdominal and transvaginal images were obtained", "limited views due to patient condition"],
    "sex": ["male", "female", "man", "woman", "patient", "boy", "girl"],
    "ordinal": ["first", "second", "third", "additionally", "also", "again", "in addition", "incidentally",
                "otherwise", "finally", "however", "furthermore", "of note", "note is made of"],
    "may": ["may", "can", "could", "should", "might"],
})


# Wider wording: inflammations, plurals, and the verbs and adverbs that join
# findings in running dictation.
L.update({
    "itis": ["bronchitis", "bronchiolitis", "pneumonitis", "pleuritis", "pericarditis", "myocarditis",
             "esophagitis", "gastritis", "duodenitis", "enteritis", "ileitis", "colitis", "proctitis", "typhlitis",
             "appendicitis", "diverticulitis", "cholecystitis", "cholangitis", "hepatitis", "pancreatitis",
             "nephritis", "pyelonephritis", "cystitis", "prostatitis", "epididymitis", "orchitis", "epididymo orchitis",
             "oophoritis", "salpingitis", "endometritis", "cellulitis", "myositis", "fasciitis", "necrotizing fasciitis",
             "synovitis", "tenosynovitis", "bursitis", "osteomyelitis", "septic arthritis", "arthritis",
             "rheumatoid arthritis", "gout", "sinusitis", "acute sinusitis", "mastoiditis", "otitis media",
             "meningitis", "encephalitis", "ventriculitis", "discitis", "vasculitis", "thyroiditis", "sialadenitis",
             "mastitis", "epiploic appendagitis", "omental infarction", "mesenteric adenitis", "phlegmon",
             "crohn's disease", "ulcerative colitis", "inflammatory bowel disease", "infectious colitis",
             "pseudomembranous colitis", "ischemic colitis", "celiac disease"],
    "findpl": ["effusions", "pleural effusions", "nodules", "masses", "lesions", "cysts", "stones", "calculi",
               "fractures", "opacities", "infiltrates", "infarcts", "hemorrhages", "metastases", "lymph nodes",
               "calcifications", "granulomas", "fibroids", "polyps", "diverticula", "collections", "abscesses",
               "hematomas", "aneurysms", "stenoses", "emboli", "thrombi", "osteophytes", "erosions", "tears",
               "markings", "interstitial markings", "bronchovascular markings", "densities", "lucencies",
               "hypodensities", "hyperdensities", "foci", "areas", "changes", "findings", "loops of bowel"],
    "verbp": ["appears chronic", "appears acute", "appears old", "appears new", "persists", "has resolved",
              "has improved", "has decreased", "has increased", "is again noted", "is suggested", "is favored",
              "is not excluded", "cannot be excluded", "is not seen", "is not well seen", "is better seen on the lateral view",
              "is only partially imaged", "is incompletely evaluated", "is difficult to assess", "is less conspicuous",
              "is more conspicuous", "is slightly more prominent", "is slightly less prominent", "is similar in appearance",
              "is unchanged in size and appearance", "remains unchanged", "remains stable", "is nearly resolved",
              "is no longer seen", "is no longer visualized", "was not present previously", "was present previously",
              "is likely benign", "is indeterminate", "is nonspecific", "is of uncertain significance",
              "is of doubtful clinical significance", "is likely of no clinical significance", "is likely incidental",
              "is likely postoperative", "is likely post traumatic", "is likely degenerative", "is likely artifactual"],
    "adverb": ["mildly", "moderately", "severely", "slightly", "minimally", "markedly", "diffusely", "focally",
               "partially", "completely", "predominantly", "symmetrically", "asymmetrically", "subtly",
               "significantly", "extensively", "likely", "possibly", "probably", "again", "still", "now", "newly"],
    "state": ["enlarged", "dilated", "thickened", "distended", "markedly distended", "not distended", "narrowed", "collapsed", "displaced", "deviated",
              "elevated", "depressed", "rotated", "compressed", "opacified", "filled with fluid", "fluid filled",
              "air filled", "calcified", "heterogeneous", "echogenic", "hypoechoic", "edematous", "inflamed",
              "irregular", "nodular", "symmetric", "asymmetric", "atrophic", "hyperemic", "hypervascular",
              "trabeculated", "tortuous", "ectatic", "aneurysmal", "occluded", "patent", "obscured", "preserved",
              "intact", "well aerated", "underinflated", "hyperexpanded", "clear", "prominent", "unremarkable"],
    "procedure_more": ["right hemicolectomy", "left hemicolectomy", "sigmoid colectomy", "low anterior resection",
                   "partial nephrectomy", "radical nephrectomy", "partial hepatectomy", "distal pancreatectomy",
                   "gastrectomy", "esophagectomy", "pneumonectomy", "segmentectomy", "thoracotomy", "laparotomy",
                   "laparoscopic cholecystectomy", "hernia repair", "ventral hernia repair", "ileostomy", "colostomy",
                   "bilateral salpingo oophorectomy", "oophorectomy", "cesarean section", "tonsillectomy",
                   "parathyroidectomy", "adrenalectomy", "cystectomy", "orchiectomy", "amputation",
                   "below the knee amputation", "spinal decompression", "microdiscectomy", "carpal tunnel release",
                   "meniscectomy", "arthroscopy", "shoulder arthroplasty", "reverse shoulder arthroplasty",
                   "laparoscopy", "laparoscopic surgery", "stent placement", "angioplasty", "embolization", "thrombectomy", "ablation", "radiofrequency ablation",
                   "chemoembolization", "tips placement", "paracentesis", "thoracentesis", "drain placement"],
    "therapy": ["antibiotic therapy", "antibiotics", "treatment", "chemotherapy", "radiation therapy", "surgery",
                "anticoagulation", "steroid therapy", "conservative management", "diuresis", "drainage",
                "a course of antibiotics", "resolution of symptoms", "removal of the drain", "extubation"],
})
T.extend([
    (3, "{negstart} {itis}"),
    (3, "findings {hedge} {itis}"),
    (3, "{severity} {itis}"),
    (2, "{abdfind} {hedge} {itis}"),
    (2, "{lungfind} {hedge} {itis}"),
    (2, "imaging findings suggest {itis}"),
    (2, "findings could represent {itis} or {itis}"),
    (3, "{count} {findpl} in the {abdloc}"),
    (2, "{count} {findpl} in the {lobe}"),
    (2, "{severity} {findpl} {seenpl}"),
    (2, "bilateral {findpl} {seenpl}"),
    (2, "{side} {findpl}"),
    (2, "{adverb} {state} {organ}"),
    (3, "the {organ} is {adverb} {state}"),
    (2, "the {organ} is {state}"),
    (2, "the {organ} appears {state}"),
    (2, "the {organ} is {state} and {state}"),
    (2, "the {usorgan} is {adverb} {state}"),
    (2, "the {vessel} is {adverb} {state}"),
    (2, "the {joint} is {state}"),
    (3, "the {finding_any} {verbp}"),
    (2, "{finding_any} {verbp}"),
    (2, "{there} {finding_any} which {verbp}"),
    (2, "status post {procedure_more}"),
    (2, "postsurgical changes from {prior_word} {procedure_more}"),
    (2, "postoperative changes of {procedure_more}"),
    (2, "{rec} repeat {modality} after {therapy}"),
    (2, "{rec} follow up {modality} after {therapy}"),
    (2, "follow up after {therapy} is suggested"),
    (2, "{a_finding} is suggested if symptoms persist"),
    (2, "a follow up {modality} is suggested if {symptom} persists"),
    (2, "{side} sided {abdfind}"),
    (2, "{lr} sided {lungfind}"),
    (2, "a portion of the {organ} {verbp}"),
    (2, "{finding_any} throughout the {abdloc}"),
    (2, "{findpl} throughout both lungs"),
    (2, "{finding_any} with {a_portion} of the {organ} {location_rel} the diaphragm"),
    (2, "the {device} was {moved} {cmd}"),
    (2, "the {device} has been {moved} {cmd}"),
])
L.update({
    "prior_word": ["a prior", "prior", "a remote", "a recent", "recent", "the prior"],
    "a_finding": ["a follow up radiograph", "repeat imaging", "a repeat study", "a follow up ultrasound",
                  "a follow up ct", "an mri", "further imaging", "clinical follow up"],
    "symptom": ["pain", "swelling", "fever", "tenderness", "the cough", "the pain", "the swelling", "bleeding"],
    "a_portion": ["a portion", "a small portion", "a large portion", "part"],
    "location_rel": ["above", "below", "herniating above", "extending below", "abutting", "through"],
    "moved": ["pulled back", "withdrawn", "advanced", "repositioned", "retracted", "exchanged"],
})


# Free-running dictation: a subject, what it does or shows, and how sure the
# reader is; the clauses and connectives that join findings in one breath.
L.update({
    "subject": ["the {organ}", "the {finding_any}", "the {lobe}", "the {bone}", "the {vessel}", "the {joint}",
                "the {brainloc}", "the {usorgan}", "the previously described {finding_any}",
                "the previously noted {finding_any}", "the previously seen {finding_any}",
                "the known {finding_any}", "the dominant {finding_any}", "the largest {finding_any}",
                "a {desc} {finding_any}", "an area of {lungfind_bare}", "a focal area of {lungfind_bare}",
                "the {anatomy}", "the {anatomy_pl}"],
    "anatomy": ["hemidiaphragm", "right hemidiaphragm", "left hemidiaphragm", "diaphragm", "heart", "mediastinum",
                "trachea", "carina", "esophagus", "left ventricle", "right ventricle", "left atrium", "right atrium",
                "pericardium", "pleura", "chest wall", "breast", "axilla", "abdomen", "pelvis", "retroperitoneum",
                "bowel", "small bowel", "large bowel", "colon wall", "bowel wall", "stomach", "gastric wall",
                "ankle mortise", "mortise", "joint space", "joint", "knee joint", "hip joint", "spinal canal",
                "spinal cord", "thecal sac", "neural foramen", "disc space", "vertebral body", "skull", "calvarium",
                "brain", "brain parenchyma", "ventricular system", "fourth ventricle", "third ventricle",
                "lateral ventricles", "orbit", "mastoids", "sinuses", "nasal cavity", "pharynx", "larynx",
                "neck", "soft tissues", "subcutaneous tissues", "skin", "muscles", "tendon", "ligament",
                "cartilage", "articular cartilage", "growth plate", "cortex", "medullary cavity", "marrow",
                "bone marrow", "lymph nodes", "lymph node", "gland", "duct", "wall", "lumen", "fat", "omentum",
                "cervix", "endometrium", "myometrium", "placenta", "fetus", "scrotum", "penis", "urethra",
                "renal pelvis", "collecting system", "renal cortex", "liver parenchyma", "hepatic veins",
                "splenic vein", "mesenteric vessels", "aortic root", "aortic valve", "mitral valve",
                "coronary arteries", "pulmonary arteries", "pulmonary veins", "airways", "bronchi", "bronchus",
                "vertebral bodies", "posterior elements", "facet joints", "intervertebral discs", "ribs", "clavicles"],
    "anatomy_pl": ["lungs", "kidneys", "ovaries", "adrenals", "breasts", "hips", "knees", "shoulders", "ventricles",
                   "sulci", "basal cisterns", "vertebral bodies", "disc spaces", "neural foramina", "facet joints",
                   "bones", "osseous structures", "soft tissues", "lymph nodes", "vessels", "airways", "bowel loops",
                   "visualized bowel loops", "loops of small bowel", "hemidiaphragms", "costophrenic angles",
                   "pulmonary arteries", "carotid arteries", "iliac arteries", "femoral veins", "ureters", "seminal vesicles"],
    "lungfind_bare": ["distention", "distension", "wall thickening", "consolidation", "opacity", "atelectasis", "ground glass opacity", "scarring", "fibrosis",
                      "airspace disease", "increased density", "decreased density", "increased lucency",
                      "nodularity", "thickening", "enhancement", "edema", "hemorrhage", "calcification",
                      "signal abnormality", "restricted diffusion", "low attenuation", "high attenuation",
                      "fat stranding", "inflammation", "fluid"],
    "does": ["is {state}", "are {state}", "appears {state}", "appear {state}", "is {adverb} {state}",
             "is normal", "are normal", "is normal in size", "are normal in size", "is normal in appearance",
             "is within normal limits", "are within normal limits", "is unremarkable", "are unremarkable",
             "is intact", "are intact", "is preserved", "are preserved", "is maintained", "is patent", "are patent",
             "is stable", "are stable", "is unchanged", "are unchanged", "is new", "is larger", "is smaller",
             "has enlarged", "has decreased in size", "has increased in size", "has resolved", "has improved",
             "has progressed", "has not changed", "is no longer seen", "is no longer visualized",
             "measures {size}", "measures {dims}", "now measures {size}", "measured {size} previously",
             "may reflect {cause}", "may represent {cause}", "likely reflects {cause}", "likely represents {cause}",
             "could reflect {cause}", "could represent {cause}", "is compatible with {cause}",
             "is consistent with {cause}", "is suspicious for {cause}", "is concerning for {cause}",
             "is likely due to {cause}", "may be due to {cause}", "is related to {cause}", "is secondary to {cause}",
             "is not excluded", "cannot be excluded", "can not be excluded", "is suspected", "is favored",
             "is difficult to evaluate", "is not well evaluated", "is better seen on {view_word}",
             "is only seen on {view_word}", "is not seen on {view_word}", "requires comparison with {old}",
             "should be compared with {old}", "extends into the {anatomy}", "abuts the {anatomy}",
             "encases the {vessel}", "displaces the {anatomy}", "compresses the {anatomy}", "invades the {anatomy}",
             "crosses the midline", "spares the {anatomy}", "involves the {anatomy}", "contains {contents}",
             "is filled with {contents}", "is distended with {contents}", "demonstrates {lungfind_bare}",
             "shows {lungfind_bare}", "shows no {lungfind_bare}", "without {abdneg}", "with {lungfind_bare}",
             "with surrounding {lungfind_bare}", "with surrounding inflammatory change",
             "arises from the {anatomy}", "arises from the {organ}", "arising from the {organ}",
             "without a visible {finding_any}", "with no visible {finding_any}", "with adjacent {lungfind_bare}",
             "with mild {lungfind_bare}", "without widening", "with widening of the {anatomy}",
             "with narrowing of the {anatomy}", "with loss of height", "with {percent} loss of height"],
    "view_word": ["the lateral view", "the frontal view", "the oblique view", "the prior study", "this study",
                  "the coronal images", "the sagittal images", "the axial images", "delayed images",
                  "the post contrast images", "the diffusion weighted images", "the scout image"],
    "old": ["older films", "prior films", "outside films", "older studies", "prior studies", "outside studies",
            "the prior examination", "previous imaging", "old films"],
    "contents": ["fluid", "air", "blood", "stool", "debris", "sludge", "layering sludge", "gas", "fat",
                 "contrast", "pus", "clot", "hemorrhage", "mucus", "secretions", "gallstones", "stones"],
    "cancer": ["renal cell carcinoma", "hepatocellular carcinoma", "cholangiocarcinoma", "adenocarcinoma",
               "squamous cell carcinoma", "small cell carcinoma", "transitional cell carcinoma",
               "urothelial carcinoma", "pancreatic adenocarcinoma", "colon cancer", "rectal cancer",
               "lung cancer", "breast cancer", "prostate cancer", "ovarian cancer", "cervical cancer",
               "endometrial cancer", "thyroid cancer", "papillary thyroid cancer", "melanoma", "lymphoma",
               "non hodgkin lymphoma", "multiple myeloma", "myeloma", "sarcoma", "osteosarcoma",
               "chondrosarcoma", "ewing sarcoma", "leukemia", "mesothelioma", "carcinoid", "neuroendocrine tumor",
               "gastrointestinal stromal tumor", "glioblastoma", "astrocytoma", "oligodendroglioma",
               "schwannoma", "vestibular schwannoma", "neurofibroma", "metastatic disease", "metastasis",
               "metastases", "primary malignancy", "malignancy", "neoplasm", "tumor", "a primary neoplasm",
               "a metastatic lesion", "recurrent tumor", "residual tumor", "tumor recurrence"],
    "connect": ["but", "although", "however", "and", "which", "also", "though", "while", "and there is",
                "but there is", "and no", "but no", "with no", "and also"],
    "bone_state": ["demineralized", "diffusely demineralized", "osteopenic", "osteoporotic", "sclerotic",
                   "expanded", "remodeled", "deformed", "well mineralized", "normally mineralized",
                   "intact", "unremarkable", "normal in density", "normal in alignment", "normal in height"],
})
L["cause"] = L["cause"] + ["{cancer}"]
T.extend([
    (10, "{subject} {does}"),
    (6, "{subject} {does} {connect} {subject} {does}"),
    (4, "{subject} {does} {connect} {finding_any} {does}"),
    (4, "{there} {finding_any} in the {anatomy} {connect} {subject} {does}"),
    (3, "{there} {desc} mass in the {organ} suspicious for {cancer}"),
    (3, "{finding_any} suspicious for {cancer}"),
    (2, "{finding_any} in this patient with known {cancer}"),
    (2, "findings are concerning for {cancer}"),
    (2, "no evidence of recurrent {cancer}"),
    (2, "{count} {findpl} concerning for metastatic disease"),
    (2, "multiple bilateral pulmonary nodules concerning for metastatic disease"),
    (3, "the {anatomy_pl} {does}"),
    (3, "the bones are {bone_state}"),
    (2, "the osseous structures are {bone_state}"),
    (2, "the {anatomy} is {bone_state}"),
    (2, "the {anatomy_pl} are normal in height and alignment"),
    (2, "{severity} {lungfind_bare} in the {anatomy}"),
    (2, "{a_small_mm} {desc} {uslesion} in the {usorgan}"),
    (3, "{a_amount} of {contents} in the {anatomy}"),
    (2, "{a_amount} of {contents} in the {abdloc}"),
    (2, "{a_amount} of {contents} {seen}"),
    (2, "{evaluation} is limited by {limit}"),
    (2, "{evaluation} of the {anatomy} is limited by {limit}"),
])
L.update({
    "a_amount": ["a small amount", "a large amount", "a moderate amount", "a trace amount", "a tiny amount",
                 "a small volume", "a large volume", "small amount", "moderate amount", "large amount",
                 "a minimal amount", "small volume"],
    "evaluation": ["evaluation", "assessment", "the examination", "the study", "visualization", "detail",
                   "evaluation of the bowel", "evaluation of the pancreas", "evaluation for fracture"],
    "limit": ["motion", "patient motion", "body habitus", "the patient's body habitus", "bowel gas",
              "overlying bowel gas", "streak artifact", "beam hardening artifact", "lack of contrast",
              "the lack of intravenous contrast", "patient positioning", "rotation", "underpenetration",
              "overlying soft tissue", "overlying hardware", "metal artifact", "respiratory motion", "osteopenia"],
})

FUNCS = {
    "size": size_cm, "dims": dims, "small_mm": small_mm, "adj_size": adj_size, "percent": percent,
    "months": months, "level": level, "vertebra": vertebra, "clock": clock, "rib": rib, "date": date,
    "cm_dist": cm_dist, "degrees": degrees, "count": count, "age": age,
    "cm": lambda r: decimal(r) + " centimeters",
    "cmd": cm_dist,
    "num": lambda r: spoken(r.choice([r.randint(2, 99), r.randint(100, 400)])),
}


def article(words):
    return "an" if words[:1] in ("a", "e", "i", "o", "u") and not words.startswith("one") else "a"


def a_phrase(r, f):
    s = f(r)
    return article(s) + " " + s


FUNCS["a_adj_size"] = lambda r: a_phrase(r, adj_size)
FUNCS["an_adj_size"] = FUNCS["a_adj_size"]
FUNCS["a_small_mm"] = lambda r: a_phrase(r, small_mm)

SLOT = re.compile(r"\{([a-z_]+)\}")


def expand(text, r, depth=0):
    if depth > 6:
        raise ValueError("templates nest too deep: " + text)

    def one(m):
        name = m.group(1)
        if name in FUNCS:
            return FUNCS[name](r)
        if name not in L:
            raise KeyError("no word list for {" + name + "}")
        return expand(r.choice(L[name]), r, depth + 1)

    return SLOT.sub(one, text)


ADJECTIVES = set(w for k in ("severity", "sizeword", "chronic") for e in L[k] for w in e.split())
ADJECTIVES |= {"new", "stable", "unchanged", "interval", "redemonstrated", "bilateral", "right", "left"}


def fix_articles(s):
    # "a" or "an" as a speaker says it before the next word; none after an
    # adjective that a template put in front of a noun phrase with its own.
    words = s.split()
    words = [w for i, w in enumerate(words)
             if not (w in ("a", "an") and i > 0 and words[i - 1] in ADJECTIVES and words[i - 1] != "is")]
    for i in range(len(words) - 1):
        if words[i] in ("a", "an"):
            nxt = words[i + 1]
            vowel = nxt[0] in "aeiou" and not nxt.startswith(("one", "uni", "use", "ure", "uter", "ultra"))
            vowel = vowel or nxt.startswith(("eight", "eleven", "ultras", "x"))
            if nxt.startswith("ultra"):
                vowel = True
            words[i] = "an" if vowel else "a"
    return " ".join(words)


def every_entry(r):
    """One sentence for each word list entry, so every listed word is in the corpus."""
    out = []
    carriers = {
        "bone": "fracture of the {}", "lobe": "opacity in the {}", "organ": "the {} is unremarkable",
        "brainloc": "infarct in the {}", "vessel": "the {} is patent", "joint": "effusion of the {}",
        "tear": "tear of the {}", "abdloc": "fluid in the {}", "usorgan": "nodule in the {}",
        "quadrant": "mass in the {}", "kidneyloc": "cyst in the {}", "liverloc": "lesion in the {}",
        "lnode": "lymph node in the {}", "dvtvein": "thrombus in the {}", "ureter": "stone in the {}",
    }
    for name, entries in L.items():
        for e in entries:
            if name not in carriers and " " not in e:
                continue  # single words come through the templates
            s = expand(e, r)
            out.append(carriers[name].format(s) if name in carriers else s)
    return out


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--sentences", type=int, default=100000)
    ap.add_argument("--seed", type=int, default=20261208)
    args = ap.parse_args()
    r = random.Random(args.seed)
    weights = [w for w, _ in T]
    lines = every_entry(r)
    for _ in range(args.sentences):
        _, t = r.choices(T, weights=weights)[0]
        lines.append(expand(t, r))
    out = sys.stdout
    for s in lines:
        if "{" in s or "}" in s:
            sys.exit("a slot was left unexpanded: " + s)
        s = fix_articles(" ".join(s.split()))
        out.write(s + "\n")


if __name__ == "__main__":
    main()
