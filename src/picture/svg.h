// The convergence picture as one SVG 1.1 document: correct decimals against the step for each
// series, with gridlines, labelled ticks, a title and a description for assistive technology,
// and a legend that names each method and its observed rate. The series differ in line style
// and marker as well as in colour, so that the picture prints in black and white; no script, no
// external reference, and a size bounded by the model's columns whatever n is.
#pragma once

#include <span>
#include <string>

#include "picture/labels.h"

namespace qv::picture {

std::string svgDocument(std::span<const DrawnSeries> series);

}  // namespace qv::picture
