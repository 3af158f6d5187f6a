// The Contour class of the Python module: the library's contour with its values as NumPy arrays,
// its warnings, its notes, and the full-length arrays over the whole recording.
#pragma once

#include <pybind11/pybind11.h>

void defineContour(pybind11::module_& m);
