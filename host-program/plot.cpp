#include "plot.hpp"

#include "messages.hpp"

#if defined(HOST_PROGRAM_PLPLOT)

#include <plplot.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

namespace host_program {

namespace {

// Colour map 0: white page, black frame and text, grey grid, then the
// curves in a palette that stays apart for colour-blind readers.
constexpr PLINT palette_red[] = {255, 0, 200, 0, 213, 0, 204, 230, 86};
constexpr PLINT palette_green[] = {255, 0, 200, 114, 94, 158, 121, 159, 180};
constexpr PLINT palette_blue[] = {255, 0, 200, 178, 0, 115, 167, 0, 233};
constexpr PLINT palette_size = PLINT(sizeof palette_red / sizeof palette_red[0]);
constexpr PLINT frame_colour = 1, grid_colour = 2, first_curve_colour = 3;
constexpr PLINT curve_colours = palette_size - first_curve_colour;
// Characters in one line of a subtitle: as many as the page holds.
constexpr size_t subtitle_width = 90;
// Labels a logarithmic axis holds before they crowd: at most this many.
constexpr double decade_labels = 8;

// The PLplot device for a file name's extension, "" for none.
std::string device_for(const std::string& file) {
  const std::string extension = std::filesystem::path(file).extension().string();
  return extension == ".svg" ? "svg" : extension == ".png" ? "pngcairo" : "";
}

bool device_available(const std::string& device) {
  // The caller provides the arrays; count goes in as their size.
  const char* menu_array[128];
  const char* name_array[128];
  const char** menus = menu_array;
  const char** names = name_array;
  int count = 128;
  plgDevs(&menus, &names, &count);
  return std::find(names, names + count, device) != names + count;
}

// "A/m^2" as PLplot text: the exponent raised.
std::string label(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '^' && i + 1 < text.size()) {
      out += "#u";
      out += text[++i];
      out += "#d";
    } else {
      out += text[i];
    }
  }
  return out;
}

struct Range {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  void add(double v) { low = std::min(low, v), high = std::max(high, v); }
  // Whole decades on a logarithmic axis, a small margin on a linear one.
  void finish(bool log) {
    if (log) {
      low = std::floor(low), high = std::ceil(high);
      if (high == low) high = low + 1;
    } else {
      const double margin = high > low ? 0.04 * (high - low) : std::max(std::fabs(low), 1.0);
      low -= margin, high += margin;
    }
  }
};

// The text broken at ", " into lines of about `width` characters.
std::vector<std::string> wrapped(const std::string& text, size_t width) {
  std::vector<std::string> lines;
  std::string line;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(", ", start);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string piece = text.substr(start, end - start);
    if (!line.empty() && line.size() + 1 + piece.size() > width) {
      lines.push_back(line);
      line.clear();
    }
    line += (line.empty() ? "" : " ") + piece;
    start = end + (end < text.size());  // past the blank after a comma
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// What the axes show: the series in the axes' coordinates (log10 of the data
// on a logarithmic axis), without the points an axis cannot show, and the
// ranges they cover.
struct Projection {
  std::vector<Series> shown;
  Range x, y;
};

Projection project(const Figure& figure) {
  Projection projection;
  for (const Series& s : figure.series) {
    Series kept{s.label, {}, {}};
    for (size_t i = 0; i < s.x.size(); ++i) {
      double x = s.x[i], y = s.y[i];
      if (figure.log_x) x = x > 0 ? std::log10(x) : NAN;
      if (figure.log_y) y = y > 0 ? std::log10(y) : NAN;
      if (!std::isfinite(x) || !std::isfinite(y)) continue;
      kept.x.push_back(x), kept.y.push_back(y);
      projection.x.add(x), projection.y.add(y);
    }
    if (!kept.x.empty()) projection.shown.push_back(std::move(kept));
  }
  projection.x.finish(figure.log_x);
  projection.y.finish(figure.log_y);
  return projection;
}

// Decades between two labels on a logarithmic axis: 1 while the labels fit,
// else enough that at most `decade_labels` remain (PLplot labels every decade
// of a logarithmic axis, so the others are written here).
int label_step(const Range& range, bool log) {
  const double decades = range.high - range.low;
  return log && decades > decade_labels ? int(std::ceil(decades / decade_labels)) : 1;
}

// "10^n" at every decade of the axis divisible by `step`, where PLplot would
// put its own: below the x axis, left of the y axis, upright.
void label_decades(bool x_axis, const Range& range, int step) {
  for (int decade = int(range.low); decade <= int(range.high); ++decade) {
    if (decade % step != 0) continue;
    const double along = (decade - range.low) / (range.high - range.low);
    const std::string text = "10#u" + std::to_string(decade) + "#d";
    if (x_axis)
      plmtex("b", 1.5, along, 0.5, text.c_str());
    else
      plmtex("lv", 0.5, along, 1.0, text.c_str());
  }
}

// The page, the viewport below the title and `subtitle_lines` lines of
// subtitle, and the window onto the projected ranges.
void open_page(const std::string& device, const std::string& file, size_t subtitle_lines,
               const Projection& projection) {
  plsdev(device.c_str());
  plsfnam(file.c_str());
  plspage(0, 0, 960, 640, 0, 0);
  plscmap0(palette_red, palette_green, palette_blue, palette_size);
  plinit();
  pladv(0);
  // Room above for the title, the subtitle's lines and an axis' "(x10^n)".
  plvpor(0.12, 0.95, 0.12, 0.82 - 0.05 * double(subtitle_lines));
  plwind(projection.x.low, projection.x.high, projection.y.low, projection.y.high);
}

// The grid, the frame with its ticks and labels, the axis titles, the title
// and the subtitle's lines above it.
void draw_frame(const Figure& figure, const Projection& projection,
                const std::vector<std::string>& subtitle) {
  const int x_step = label_step(projection.x, figure.log_x);
  const int y_step = label_step(projection.y, figure.log_y);
  const std::string x_log = figure.log_x ? "l" : "", y_log = figure.log_y ? "l" : "";
  plcol0(grid_colour);
  plbox(("g" + x_log).c_str(), 0, 0, ("g" + y_log).c_str(), 0, 0);
  plcol0(frame_colour);
  plbox(("bcst" + std::string(x_step == 1 ? "n" : "") + x_log).c_str(), 0, 0,
        ("bcstv" + std::string(y_step == 1 ? "n" : "") + y_log).c_str(), 0, 0);
  if (x_step > 1) label_decades(true, projection.x, x_step);
  if (y_step > 1) label_decades(false, projection.y, y_step);
  pllab(label(figure.x_title).c_str(), label(figure.y_title).c_str(), "");
  const double line = 2.0;  // character heights from one title line to the next
  plmtex("t", 4.5 + line * double(subtitle.size()), 0.5, 0.5, figure.title.c_str());
  for (size_t i = 0; i < subtitle.size(); ++i)
    plmtex("t", 4.5 + line * double(subtitle.size() - 1 - i), 0.5, 0.5, label(subtitle[i]).c_str());
}

// Each series in its colour; with more than one, a legend in the top left.
void draw_curves(const std::vector<Series>& shown) {
  plwidth(2.0);
  std::vector<PLINT> options, colours, styles;
  std::vector<PLFLT> widths;
  std::vector<const char*> texts;
  for (size_t s = 0; s < shown.size(); ++s) {
    const PLINT colour = first_curve_colour + PLINT(s) % curve_colours;
    plcol0(colour);
    plline(PLINT(shown[s].x.size()), shown[s].x.data(), shown[s].y.data());
    options.push_back(PL_LEGEND_LINE), colours.push_back(colour), styles.push_back(1);
    widths.push_back(2.0), texts.push_back(shown[s].label.c_str());
  }
  if (shown.size() < 2) return;
  PLFLT width = 0, height = 0;
  const std::vector<PLINT> text_colours(shown.size(), frame_colour);
  pllegend(&width, &height, PL_LEGEND_BACKGROUND | PL_LEGEND_BOUNDING_BOX,
           PL_POSITION_TOP | PL_POSITION_LEFT | PL_POSITION_INSIDE, 0.02, 0.02, 0.08, 0,
           frame_colour, 1, 0, 0, PLINT(shown.size()), options.data(), 1.0, 0.8, 2.0, 0.0,
           text_colours.data(), texts.data(), nullptr, nullptr, nullptr, nullptr, colours.data(),
           styles.data(), widths.data(), nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

std::string plot_refusal(const std::string& file) {
  const std::string device = device_for(file);
  if (device.empty()) return "plot files end in .svg or .png: " + printable(file, long_quote);
  if (!device_available(device))
    return "PLplot's " + device + " driver is not installed (plot to .svg instead)";
  return {};
}

std::string draw(const Figure& figure, const std::string& file) {
  std::string refusal = plot_refusal(file);
  if (!refusal.empty()) return refusal;
  // PLplot ends the program on a file it cannot open: find out first.
  std::string unwritable = write_refusal(file);
  if (!unwritable.empty()) return unwritable;
  const Projection projection = project(figure);
  if (projection.shown.empty()) return "nothing to plot: no point the axes can show";
  const std::vector<std::string> subtitle = wrapped(figure.subtitle, subtitle_width);
  open_page(device_for(file), file, subtitle.size(), projection);
  draw_frame(figure, projection, subtitle);
  draw_curves(projection.shown);
  plend();
  return {};
}

}  // namespace host_program

#else

namespace host_program {

std::string plot_refusal(const std::string&) {
  return "this build of materials has no plotting (it was built without PLplot)";
}

std::string draw(const Figure&, const std::string& file) { return plot_refusal(file); }

}  // namespace host_program

#endif
