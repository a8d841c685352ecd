// materials loop: the hysteresis model through whole cycles (loop_demo),
// its samples as a table, its loops as plots, its energies per cycle.
#include "command_support.hpp"
#include "loop_demo.hpp"
#include "table.hpp"

namespace host_program {

namespace {

struct LoopOptions {
  LoopSettings settings;
  std::string output;
  std::vector<std::string> plot_bh, plot_j;
};

std::string per_cycle(const std::vector<double>& values) {
  std::string text;
  for (double v : values) text += (text.empty() ? "" : ", ") + format_number(v, 6);
  return text;
}

// B(h) to --plot-bh, j_rev(j) to --plot-j, each titled with its drive.
void draw_loop_plots(const LoopOptions& options, const LoopSamples& s) {
  const LoopSettings& settings = options.settings;
  const std::string drive = quantity_text("f", settings.frequency_Hz, "Hz") + ", " +
                            std::to_string(settings.steps_per_cycle) + " steps per cycle, " +
                            std::to_string(settings.cycles) + " cycles";
  if (!options.plot_bh.empty()) {
    plot_to(
        options.plot_bh,
        {"Vector hysteresis model: B(h)",
         "h [A/m]",
         "B [T]",
         quantity_text("h amplitude", settings.h_amplitude, "A/m") + ", " + drive,
         false,
         false,
         {{"alternating h along x", s.h, s.B}, {"rotating h, x components", s.hx_rot, s.Bx_rot}}});
  }
  if (!options.plot_j.empty()) {
    plot_to(options.plot_j, {"Scalar play with relaxation: j_rev(j)",
                             "j [A/m^2]",
                             "j_rev [A/m^2]",
                             quantity_text("j amplitude", settings.j_amplitude, "A/m^2") + ", " +
                                 quantity_text("j_width", settings.j_width, "A/m^2") + ", " +
                                 quantity_text("tau", settings.j_tau, "s") + ", " + drive,
                             false,
                             false,
                             {{"j_rev", s.j, s.j_rev}}});
  }
}

int loop_command(const LoopOptions& options, const CommonOptions& common, const Streams& streams) {
  std::vector<std::string> plots = options.plot_bh;
  plots.insert(plots.end(), options.plot_j.begin(), options.plot_j.end());
  check_outputs(plots, options.output);
  const Loaded loaded = load("Orvandel", common, streams);
  LoopSamples s;
  LoopReport report;
  const std::string problem = run_loops(loaded.library->loaded(), options.settings, s, report);
  if (!problem.empty()) throw Stop{exit_cannot_run, problem};

  Destination destination(options.output, &streams.out);
  const bool csv = common.csv;
  Table table{{column_title("t", "s", csv), column_title("j", "A/m^2", csv),
               column_title("j_rev", "A/m^2", csv), column_title("h", "A/m", csv),
               column_title("B", "T", csv), column_title("hx_rot", "A/m", csv),
               column_title("hy_rot", "A/m", csv), column_title("Bx_rot", "T", csv),
               column_title("By_rot", "T", csv)},
              {&s.t, &s.j, &s.j_rev, &s.h, &s.B, &s.hx_rot, &s.hy_rot, &s.Bx_rot, &s.By_rot}};
  write_table(*destination.stream, table, s.t.size(), csv, common.precision);

  draw_loop_plots(options, s);
  const double f = options.settings.frequency_Hz;
  std::ostream& r = report_stream(common, options.output, streams);
  r << "scalar play j_rev(j): loop area per cycle " << per_cycle(report.scalar_area)
    << " (A/m^2)^2; the last cycle repeats the one before to "
    << format_number(report.scalar_mismatch, 3) << "\n";
  auto energy = [&](const char* what, const std::vector<double>& w, double mismatch_value) {
    r << what << ": energy dissipated per cycle " << per_cycle(w) << " J/m^3 ("
      << format_number(w.back() * f, 6) << " W/m^3 at " << format_number(f)
      << " Hz); the last cycle repeats the one before to " << format_number(mismatch_value, 3)
      << "\n";
  };
  energy("alternating h", report.alternating_energy, report.alternating_mismatch);
  energy("rotating h", report.rotating_energy, report.rotating_mismatch);
  return 0;
}

}  // namespace

Command add_loop_command(CLI::App& app, CommonOptions& common, const Streams& streams) {
  CLI::App* loop =
      app.add_subcommand("loop", "Hysteresis loops of the scalar and the vector model");
  auto options = std::make_shared<LoopOptions>();
  loop->add_option("--cycles", options->settings.cycles, "Cycles (at least 3)")
      ->transform(whole_number(3, 1000));
  loop->add_option("--steps", options->settings.steps_per_cycle, "Time steps per cycle")
      ->transform(whole_number(8, 100000));
  loop->add_option("--output", options->output, "Write the samples to FILE");
  loop->add_option("--plot-bh", options->plot_bh,
                   "Plot B(h) to FILE.svg (or .png); may be repeated")
      ->allow_extra_args(false);
  loop->add_option("--plot-j", options->plot_j,
                   "Plot j_rev(j) to FILE.svg (or .png); may be repeated")
      ->allow_extra_args(false);
  add_output_options(*loop, common);
  return {loop, [options, &common, &streams] { return loop_command(*options, common, streams); }};
}

}  // namespace host_program
