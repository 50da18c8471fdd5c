#include "picture/svg.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace qv::picture {

namespace {

constexpr int width = 800;
constexpr double plotLeft = 72, plotRight = 750, plotTop = 56, plotBottom = 420;
constexpr int legendTop = 478, legendRow = 22;

// How each method is drawn: colours that colour-blind readers tell apart, and a line style and
// marker of its own for black and white.
struct Style {
  const char* colour;
  const char* dashes;  // empty: solid
  const char* marker;  // circle, square or triangle
};
constexpr Style styles[] = {
    {"#0072b2", "", "circle"},
    {"#d55e00", "9 4", "square"},
    {"#009e73", "2 3", "triangle"},
};

const Style& styleOf(char method) {
  return styles[method >= 'a' && method <= 'c' ? method - 'a' : 0];
}

std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string px(double value) {
  return fixed(value, 1);
}

class Axes {
 public:
  explicit Axes(std::span<const DrawnSeries> series) {
    for (const DrawnSeries& s : series) {
      lastStep_ = std::max(lastStep_, s.series->lastStep());
      logarithmic_ = logarithmic_ || s.series->logarithmicSteps();
    }
  }
  std::int32_t lastStep() const { return lastStep_; }
  bool logarithmic() const { return logarithmic_; }

  double x(double step) const {
    if (lastStep_ <= 1) return plotLeft;
    const double at = logarithmic_ ? std::log(step) / std::log(double(lastStep_))
                                   : (step - 1) / double(lastStep_ - 1);
    return plotLeft + at * (plotRight - plotLeft);
  }
  static double y(double decimals) {
    return plotBottom - decimals / exactDecimals() * (plotBottom - plotTop);
  }

  // The labelled steps: 1 and the powers of ten on a logarithmic axis; otherwise 1 and the
  // multiples of 1, 2 or 5 times a power of ten, at most ten of them.
  std::vector<std::int64_t> ticks() const {
    std::vector<std::int64_t> steps{1};
    if (logarithmic_) {
      for (std::int64_t t = 10; t <= lastStep_; t *= 10) steps.push_back(t);
      return steps;
    }
    std::int64_t spacing = 1;
    for (std::int64_t scale = 1;; scale *= 10) {
      if (lastStep_ / scale <= 10) {
        spacing = scale;
        break;
      }
      if (lastStep_ / (2 * scale) <= 10) {
        spacing = 2 * scale;
        break;
      }
      if (lastStep_ / (5 * scale) <= 10) {
        spacing = 5 * scale;
        break;
      }
    }
    for (std::int64_t t = spacing; t <= lastStep_; t += spacing) {
      if (t > 1) steps.push_back(t);
    }
    return steps;
  }

 private:
  std::int32_t lastStep_ = 1;
  bool logarithmic_ = false;
};

std::string markerAt(const Style& style, double x, double y) {
  const std::string fill = std::string_view(style.marker) == "square" ? "#ffffff" : style.colour;
  const std::string paint = " fill=\"" + fill + "\" stroke=\"" + style.colour + "\"";
  if (std::string_view(style.marker) == "circle")
    return "<circle cx=\"" + px(x) + "\" cy=\"" + px(y) + "\" r=\"3.5\"" + paint + "/>";
  if (std::string_view(style.marker) == "square")
    return "<rect x=\"" + px(x - 3.5) + "\" y=\"" + px(y - 3.5) +
           "\" width=\"7\" height=\"7\" stroke-width=\"1.5\"" + paint + "/>";
  return "<path d=\"M" + px(x) + " " + px(y - 4.5) + "L" + px(x + 4.5) + " " + px(y + 3.5) + "L" +
         px(x - 4.5) + " " + px(y + 3.5) + "Z\"" + paint + "/>";
}

std::string lineStyle(const Style& style) {
  std::string text = "fill=\"none\" stroke=\"" + std::string(style.colour) +
                     "\" stroke-width=\"2\" stroke-linejoin=\"round\"";
  if (*style.dashes != '\0') text += " stroke-dasharray=\"" + std::string(style.dashes) + "\"";
  return text;
}

void drawSeries(const Axes& axes, const ConvergenceSeries& series, std::string& out) {
  const Style& style = styleOf(series.method());
  const std::vector<Column>& columns = series.columns();
  if (columns.empty()) return;
  // Each column is a vertical stroke from its farthest to its nearest iterate.
  out += "<polyline " + lineStyle(style) + " points=\"";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const Column& c = columns[i];
    const double x = axes.x(c.firstStep);
    out += (i == 0 ? "" : " ") + px(x) + "," + px(Axes::y(correctDecimals(c.farthest)));
    if (c.nearest != c.farthest) out += " " + px(x) + "," + px(Axes::y(correctDecimals(c.nearest)));
  }
  out += "\"/>\n<g>";
  // A marker on every step of a short run; otherwise about every 36 pixels, each method's
  // markers offset from the others'.
  const double spacing = columns.size() <= 61 ? 0 : 36;
  double nextX = plotLeft + (series.method() - 'a') * 12;
  for (const Column& c : columns) {
    const double x = axes.x(c.firstStep);
    if (x + 0.05 < nextX && &c != &columns.front()) continue;
    out += markerAt(style, x, Axes::y(correctDecimals(c.nearest)));
    nextX = std::max(nextX, x + spacing);
  }
  out += "</g>\n";
}

}  // namespace

std::string svgDocument(std::span<const DrawnSeries> series) {
  const Axes axes(series);
  const int height = legendTop + legendRow * int(series.size()) + 8;
  // One n for all, or each method's own (the page's runs may have different ones).
  std::string methods, eachN;
  bool oneN = true;
  for (const DrawnSeries& s : series) {
    methods += s.series->method();
    eachN += (eachN.empty() ? "" : ", ") + std::string(1, s.series->method()) +
             " to n = " + integer(s.series->lastStep());
    oneN = oneN && s.series->lastStep() == axes.lastStep();
  }
  const std::string title =
      "How close each step comes to phi: " +
      (oneN ? "methods " + methods + ", n = " + integer(axes.lastStep()) : eachN);

  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + integer(width) +
         "\" height=\"" + integer(height) + "\" viewBox=\"0 0 " + integer(width) + " " +
         integer(height) +
         "\" font-family=\"DejaVu Sans, Verdana, sans-serif\" font-size=\"13\">\n";
  out += "<title>" + escaped(title) + "</title>\n<desc>";
  out += "Correct decimals of every iterate (-log10 of its distance from phi) against the step.";
  for (const DrawnSeries& s : series) out += " " + escaped(summaryLine(s));
  out += "</desc>\n";
  out += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  out += "<text x=\"" + integer(width / 2) +
         "\" y=\"28\" text-anchor=\"middle\" font-size=\"17\">" + escaped(title) + "</text>\n";

  // Gridlines and ticks: correct decimals every 2, and the double's limit at the top.
  out += "<g stroke=\"#c8c8c8\" stroke-width=\"1\">\n";
  for (int d = 0; d <= 16; d += 2) {
    const std::string y = px(Axes::y(d));
    out += "<line x1=\"" + px(plotLeft) + "\" y1=\"" + y + "\" x2=\"" + px(plotRight) + "\" y2=\"" +
           y + "\"/>\n";
  }
  for (std::int64_t t : axes.ticks()) {
    const std::string x = px(axes.x(double(t)));
    out += "<line x1=\"" + x + "\" y1=\"" + px(plotTop) + "\" x2=\"" + x + "\" y2=\"" +
           px(plotBottom) + "\"/>\n";
  }
  out += "</g>\n";
  const std::string top = px(Axes::y(exactDecimals()));
  out += "<line x1=\"" + px(plotLeft) + "\" y1=\"" + top + "\" x2=\"" + px(plotRight) + "\" y2=\"" +
         top + "\" stroke=\"#555555\" stroke-dasharray=\"6 3\"/>\n";
  out += "<text x=\"" + px(plotRight) + "\" y=\"" + px(Axes::y(exactDecimals()) - 8) +
         "\" text-anchor=\"end\" font-size=\"12\">exact to the double (" +
         fixed(exactDecimals(), 2) + " decimals)</text>\n";
  out += "<g text-anchor=\"end\">\n";
  for (int d = 0; d <= 16; d += 2) {
    out += "<text x=\"" + px(plotLeft - 6) + "\" y=\"" + px(Axes::y(d) + 4) + "\">" + integer(d) +
           "</text>\n";
  }
  out += "</g>\n<g text-anchor=\"middle\">\n";
  for (std::int64_t t : axes.ticks()) {
    out += "<text x=\"" + px(axes.x(double(t))) + "\" y=\"" + px(plotBottom + 18) + "\">" +
           integer(t) + "</text>\n";
  }
  out += "</g>\n";
  out += "<rect x=\"" + px(plotLeft) + "\" y=\"" + px(plotTop) + "\" width=\"" +
         px(plotRight - plotLeft) + "\" height=\"" + px(plotBottom - plotTop) +
         "\" fill=\"none\" stroke=\"#000000\"/>\n";
  out += "<text x=\"" + px((plotLeft + plotRight) / 2) + "\" y=\"" + px(plotBottom + 40) +
         "\" text-anchor=\"middle\">step" +
         (axes.logarithmic() ? std::string(" (logarithmic scale)") : std::string()) + "</text>\n";
  out += "<text transform=\"translate(22 " + px((plotTop + plotBottom) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">correct decimals</text>\n";

  // Where the Fibonacci elements wrap, the ratios leave phi.
  for (const DrawnSeries& s : series) {
    if (s.series->wrapStep() == 0) continue;
    const std::string x = px(axes.x(s.series->wrapStep()));
    out += "<line x1=\"" + x + "\" y1=\"" + px(plotTop) + "\" x2=\"" + x + "\" y2=\"" +
           px(plotBottom) + "\" stroke=\"#555555\" stroke-dasharray=\"3 3\"/>\n";
    // The label on the side of the line where there is room for it.
    const bool left = axes.x(s.series->wrapStep()) > (plotLeft + plotRight) / 2;
    out += "<text x=\"" + px(axes.x(s.series->wrapStep()) + (left ? -4 : 4)) + "\" y=\"" +
           px(plotTop + 34) + "\" text-anchor=\"" + (left ? "end" : "start") +
           "\" font-size=\"12\">" + std::string(1, s.series->method()) + ": 32-bit wrap at step " +
           integer(s.series->wrapStep()) + "</text>\n";
  }

  for (const DrawnSeries& s : series) drawSeries(axes, *s.series, out);

  for (std::size_t i = 0; i < series.size(); ++i) {
    const ConvergenceSeries& s = *series[i].series;
    const Style& style = styleOf(s.method());
    const double y = legendTop + legendRow * double(i);
    out += "<path d=\"M" + px(plotLeft) + " " + px(y) + "H" + px(plotLeft + 44) + "\" " +
           lineStyle(style) + "/>" + markerAt(style, plotLeft + 22, y);
    const std::string detail = legendDetail(s, true);
    out += "<text x=\"" + px(plotLeft + 54) + "\" y=\"" + px(y + 4.5) + "\">" +
           std::string(1, s.method()) + "  " + escaped(series[i].name) +
           (detail.empty() ? "" : ": " + escaped(detail)) + "</text>\n";
  }
  out += "</svg>\n";
  return out;
}

}  // namespace qv::picture
