// Line plots to SVG (or PNG where PLplot's cairo driver is installed).
// Without PLplot the tool builds all the same and says plots are not
// available.
#ifndef TOOLS_PLOT_HPP
#define TOOLS_PLOT_HPP

#include <string>
#include <vector>

namespace materials_tool {

struct Series {
  std::string label;
  std::vector<double> x, y;
};

struct Figure {
  std::string title, x_title, y_title;  // units as in the catalogue: "A/m^2"
  bool log_x = false, log_y = false;
  std::vector<Series> series;
};

bool plotting_available();

// Draws the figure into `file` (.svg or .png). Points that a logarithmic
// axis cannot show (zero, negative, not finite) are left out. Returns "" or
// a one-line reason why nothing was drawn.
std::string draw(const Figure& figure, const std::string& file);

}  // namespace materials_tool

#endif
