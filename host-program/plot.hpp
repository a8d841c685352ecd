// Line plots to SVG (or PNG where PLplot's cairo driver is installed).
// Without PLplot the program builds all the same and says plots are not
// available.
#ifndef HOST_PROGRAM_PLOT_HPP
#define HOST_PROGRAM_PLOT_HPP

#include <string>
#include <vector>

namespace host_program {

struct Series {
  std::string label;
  std::vector<double> x, y;
};

struct Figure {
  std::string title, x_title, y_title;  // units as in the catalogue: "A/m^2"
  // Under the title: what the curves were drawn with ("RRR = 300, dividend
  // = 1"), broken into lines at its commas where it is long.
  std::string subtitle;
  bool log_x = false, log_y = false;
  std::vector<Series> series;
};

// "" when this build can draw into `file` (a .svg or .png name, its driver
// installed), else the one-line reason: asked before anything is computed.
std::string plot_refusal(const std::string& file);

// Draws the figure into `file`. Points that a logarithmic axis cannot show
// (zero, negative, not finite) are left out. Returns "" or a one-line reason
// why nothing was drawn.
std::string draw(const Figure& figure, const std::string& file);

}  // namespace host_program

#endif
