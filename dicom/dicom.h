// The DICOM file access and rendering library: one include for all of it.
#pragma once

#include "bitmap.h"
#include "charset.h"
#include "element.h"
#include "encaps.h"
#include "errors.h"
#include "loader.h"
#include "render.h"
#include "streams.h"
#include "writer.h"
