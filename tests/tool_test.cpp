// The host program `materials`, run through the same entry as the program on
// the built libraries: values, failures and their exit status, exact CSV,
// the catalogue's defaults and bounds against the libraries, sweeps, plots
// and the hysteresis loops.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue.hpp"
#include "commands.hpp"
#include "library.hpp"
#include "loop_demo.hpp"
#include "plot.hpp"
#include "support/loaded_library.hpp"
#include "support/reference.hpp"
#include "table.hpp"

namespace {

namespace fs = std::filesystem;
using host_program::catalogue;
using host_program::Entry;
using testing_support::LoadedLibrary;

// Whether this build draws plots: PLplot and its SVG driver are there.
bool plotting_available() { return host_program::plot_refusal("probe.svg").empty(); }

// The first value past a limit in the direction the library refuses: the
// bound itself when it is exclusive, the next double otherwise.
double first_refused(const host_program::Limit& limit, bool upper) {
  if (!limit.inclusive) return limit.value;
  return std::nextafter(limit.value, upper ? host_program::unbounded : -host_program::unbounded);
}

struct ToolRun {
  int status;
  std::string out, err;
};

// `terminal`: standard error is one; `input_terminal`: standard input is.
ToolRun tool(const std::vector<std::string>& arguments, const std::string& input = "",
             bool terminal = false, bool input_terminal = false) {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int status = host_program::run(arguments, {in, out, err, terminal, input_terminal});
  return {status, out.str(), err.str()};
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

double number(const std::string& text) {
  double value = 0;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  EXPECT_TRUE(r.ec == std::errc() && r.ptr == text.data() + text.size()) << '"' << text << '"';
  return value;
}

// The rows of CSV output as numbers, header dropped.
std::vector<std::vector<double>> csv_rows(const std::string& text) {
  std::vector<std::vector<double>> rows;
  const std::vector<std::string> lines = lines_of(text);
  for (size_t i = 1; i < lines.size(); ++i) {
    std::vector<double> row;
    std::istringstream fields(lines[i]);
    for (std::string f; std::getline(fields, f, ',');) row.push_back(number(f));
    rows.push_back(row);
  }
  return rows;
}

// The library's own value at one point, called directly.
double direct(const char* library, const std::vector<double>& args) {
  const LoadedLibrary loaded(library);
  EXPECT_TRUE(loaded.loaded()) << library;
  const auto r = testing_support::eval_point(loaded, args);
  EXPECT_EQ(r.status, 1) << r.message;
  return r.outputs[0];
}

std::vector<double> defaults_of(const Entry& e) {
  std::vector<double> values;
  for (const auto& a : e.arguments) values.push_back(a.default_value);
  return values;
}

fs::path scratch(const std::string& name) {
  // In the build tree, so that builds tested at the same time keep apart.
  const fs::path dir = fs::path(host_program::executable_dir()) / "tool_test_files";
  fs::create_directories(dir);
  return dir / name;
}

// A built library as the tool finds it by name: next to the program.
std::string built(const char* function) {
  return (fs::path(host_program::executable_dir()) / host_program::library_file_name(function))
      .string();
}

// Sets a variable of this process's environment; "" removes it.
void set_environment(const char* name, const std::string& value) {
#if defined(_WIN32)
  _putenv((std::string(name) + "=" + value).c_str());
#else
  if (value.empty())
    unsetenv(name);
  else
    setenv(name, value.c_str(), 1);
#endif
}

// The text an SVG shows: its tags dropped, its character references
// ("&#x52;") decoded.
std::string svg_text(const fs::path& file) {
  std::ifstream in(file);
  const std::string svg((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string text;
  for (size_t i = 0; i < svg.size();) {
    const size_t end = svg.find(svg[i] == '<' ? '>' : ';', i);
    if (svg[i] == '<' && end != std::string::npos) {
      i = end + 1;
    } else if (svg.compare(i, 3, "&#x") == 0 && end != std::string::npos) {
      text += char(std::stoi(svg.substr(i + 3, end - i - 3), nullptr, 16));
      i = end + 1;
    } else {
      text += svg[i++];
    }
  }
  return text;
}

TEST(ToolEval, KnownValuesMatchTheLibraryBitForBit) {
  const ToolRun r = tool({"eval", "Wembrel", "77", "293.15", "--csv", "--precision", "17"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(lines_of(r.out)[0], "T,rho");
  const auto rows = csv_rows(r.out);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_LE(testing_support::relative_error(rows[0][1], 2.109725511e-09),
            testing_support::ten_digits);
  EXPECT_LE(testing_support::relative_error(rows[1][1], 2.414624415e-08),
            testing_support::ten_digits);
  EXPECT_EQ(rows[0][1], direct("Wembrel", {77}));
  EXPECT_EQ(rows[1][1], direct("Wembrel", {293.15}));
}

TEST(ToolEval, MissingArgumentsTakeDefaultsAndSet) {
  // Daskelt's defaults: RRR 100, dividend and divisor 1.
  ToolRun r = tool({"eval", "Daskelt", "4", "--csv", "--precision", "17"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(csv_rows(r.out)[0],
            (std::vector<double>{4, 100, 1, 1, direct("Daskelt", {4, 100, 1, 1})}));
  // By header name, in any order, with --set for one that is missing.
  r = tool({"eval", "Daskelt", "--csv", "--precision", "17", "--set", "divisor=4"},
           "RRR,T\n50,20\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(csv_rows(r.out)[0],
            (std::vector<double>{20, 50, 1, 4, direct("Daskelt", {20, 50, 1, 4})}));
  // A column or a --set name the function does not have is refused.
  EXPECT_EQ(tool({"eval", "Daskelt", "--set", "rrr=5", "4"}).status, 2);
  EXPECT_EQ(tool({"eval", "Daskelt"}, "T,Q\n4,1\n").status, 2);
  EXPECT_EQ(tool({"eval", "Wembrel", "4,5"}).status, 2);
}

TEST(ToolEval, FailingPointStopsWithIndexInputsAndMessage) {
  struct Case {
    std::vector<std::string> arguments;
    size_t rows_before;
    std::string reported;
  };
  const std::vector<Case> cases = {
      {{"eval", "Wembrel", "77", "300", "-1", "20"},
       2,
       "Wembrel failed at point 2 (T=-1): T is negative! (Wembrel accepts T from 0 K to 1400 K)"},
      {{"eval", "Mirrobane", "77", "-1"},
       1,
       "Mirrobane failed at point 1 (T=-1): T is negative! (Mirrobane accepts T from 0 K up)"},
      {{"eval", "Pellucer", "10", "300.5"},
       1,
       "Pellucer failed at point 1 (T=300.5, m=1): Temperature is above 1400 K - out of range! "
       "(Pellucer accepts T from 4 K to 300 K)"},
      // Output tests store the failing value; the index is still that point.
      {{"eval", "Daskelt", "4", "10", "77,100,1,0", "300"},
       2,
       "Daskelt failed at point 2 (T=77, RRR=100, dividend=1, divisor=0): Output is inf"},
      {{"eval", "Quenrow", "0,1e10", "5,1e10"},
       1,
       "Quenrow failed at point 1 (k=5, Jx=1e+10, Jy=0, Jz=0, rho=2e-09, jc=1e+10, n=30, "
       "ec=1e-04): Component index must be 0, 1, or 2 (Quenrow accepts k above -1 and below 3)"},
  };
  for (const Case& c : cases) {
    const ToolRun r = tool(c.arguments);
    SCOPED_TRACE(c.reported);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines_of(r.out).size(), 1 + c.rows_before) << r.out;
    EXPECT_EQ(r.err, "materials: " + c.reported + "\n");
  }
  // The failing point in a block longer than one call of eval.
  std::string input = "T\n";
  for (int i = 0; i < 70000; ++i) input += i == 66000 ? "-2\n" : "77\n";
  const ToolRun r = tool({"eval", "Wembrel", "--csv"}, input);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(lines_of(r.out).size(), 1u + 66000u);
  EXPECT_NE(r.err.find("failed at point 66000 (T=-2)"), std::string::npos) << r.err;
}

TEST(ToolEval, LibrariesThatCannotServeStopWithStatusTwo) {
  const fs::path dir = scratch("libs");
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::ofstream(dir / host_program::library_file_name("Broken")) << "not a library\n";
  // A material library under Orvandel's name lacks the model functions.
  fs::copy_file(built("Wembrel"), dir / host_program::library_file_name("Orvandel"));
  const std::string lib_dir = dir.string();
  const std::vector<std::vector<std::string>> cases = {
      {"eval", "Nowhere", "1"},
      {"--lib-dir", lib_dir, "eval", "Broken", "1"},
      {"eval", "Wembrel", "--function", "wembrel", "1"},
      {"eval", "Wembrel", "--function", "Daskelt", "1"},  // Wembrel refuses four arguments
      {"--lib-dir", lib_dir, "loop"},
  };
  for (const auto& arguments : cases) {
    const ToolRun r = tool(arguments);
    SCOPED_TRACE(arguments.back());
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(lines_of(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_NE(tool({"eval", "Wembrel", "--function", "wembrel", "1"}).err.find("Unknown function"),
            std::string::npos);
  EXPECT_NE(tool({"--lib-dir", lib_dir, "loop"}).err.find("does not export G"), std::string::npos);
  EXPECT_EQ(tool({"eval"}).status, 2);  // usage
}

TEST(ToolEval, AGivenLibraryFolderIsTheOnlyPlaceSearched) {
  const fs::path empty = scratch("empty");
  fs::create_directories(empty);
  const std::string looked_for =
      " (looked for " + (empty / host_program::library_file_name("Wembrel")).string() + ")\n";
  // Without a folder the library next to the program is found; -v names it.
  const ToolRun found = tool({"-v", "eval", "Wembrel", "77"});
  EXPECT_EQ(found.status, 0);
  EXPECT_EQ(found.err, "materials: loading " + built("Wembrel") + "\n");
  const ToolRun by_option = tool({"--lib-dir", empty.string(), "eval", "Wembrel", "77"});
  set_environment("MATERIALS_LIB_DIR", empty.string());
  const ToolRun by_variable = tool({"sweep", "Wembrel", "--summary"});
  const ToolRun option_first =
      tool({"--lib-dir", host_program::executable_dir(), "eval", "Wembrel", "77"});
  set_environment("MATERIALS_LIB_DIR", "");
  EXPECT_EQ(by_option.status, 2);
  EXPECT_EQ(by_option.out, "");
  EXPECT_EQ(by_option.err,
            "materials: no library Wembrel in --lib-dir " + empty.string() + looked_for);
  EXPECT_EQ(by_variable.status, 2);
  EXPECT_EQ(by_variable.err,
            "materials: no library Wembrel in MATERIALS_LIB_DIR=" + empty.string() + looked_for);
  EXPECT_EQ(option_first.status, 0) << option_first.err;
}

TEST(ToolEval, ByFileNameAsByFunctionName) {
  const std::string file = built("Wembrel");
  const ToolRun by_file = tool({"eval", file, "77", "--csv", "--precision", "17"});
  ASSERT_EQ(by_file.status, 0) << by_file.err;
  EXPECT_EQ(by_file.out, tool({"eval", "Wembrel", "77", "--csv", "--precision", "17"}).out);
  // Without a catalogue entry the columns are taken as they come.
  const ToolRun generic = tool({"eval", file, "--function", "Wembrel", "--csv"}, "4.2\n");
  EXPECT_EQ(generic.status, 0) << generic.err;
}

TEST(ToolCsv, InputThatIsNotNumbersStopsWithItsLine) {
  const ToolRun r = tool({"eval", "Wembrel"}, "T\n77\nwarm\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "materials: line 3 is not a row of numbers: warm\n");
  EXPECT_EQ(tool({"eval", "Daskelt"}, "4,100\n4\n").status, 2);  // rows of unequal width
  // Blank lines are skipped, a header alone gives a table without rows.
  const ToolRun empty = tool({"eval", "Wembrel", "--csv"}, "\nT\n\n");
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "T,rho\n");
}

// A command line and what the program must answer to it.
struct MessageCase {
  std::vector<std::string> arguments;
  std::string input;
  int status;
  std::string out_start;  // what standard output starts with
  std::string err;        // all of standard error
  bool input_terminal = false;
};

#if defined(_WIN32)
const std::string end_key = "Ctrl-Z, Enter";
#else
const std::string end_key = "Ctrl-D";
#endif
const std::string usage = " (materials eval --help lists the options)\n";
const std::string nul_line = std::string("ab\0c", 4) + std::string(100, 'x');

// Input quoted in messages, and standard input.
std::vector<MessageCase> quoting_cases() {
  return {
      // What is quoted from input is escaped and capped.
      {{"eval", "Wembrel"},
       "T\n\x1b[2J\x1b]0;x\x07\n",
       2,
       "",
       "materials: line 2 is not a row of numbers: \\x1b[2J\\x1b]0;x\\x07\n"},
      {{"eval", "Wembrel"},
       "T\n" + nul_line + "\n",
       2,
       "",
       "materials: line 2 is not a row of numbers: ab\\x00c" + std::string(56, 'x') +
           "... (44 more characters)\n"},
      {{"eval", "Wembrel"},
       std::string(61, 'a') + "\n",
       2,
       "",
       "materials: Wembrel has no argument " + std::string(60, 'a') + "... (1 more character)\n"},
      {{"eval", "Wembrel", "7\x01\xff"}, "", 2, "", "materials: not a point: 7\\x01\\xff\n"},
      {{"eval", "W\x1b[2J", "77"},
       "",
       2,
       "",
       "materials: no library W\\x1b[2J (looked for " + built("W\\x1b[2J") + ", " +
           (fs::path(host_program::executable_dir()).parent_path() / "lib" /
            host_program::library_file_name("W\\x1b[2J"))
               .string() +
           ")\n"},
      // Standard input by "-", and a hint when it is a terminal.
      {{"eval", "Wembrel", "-", "--csv"}, "T\n77\n", 0, "T,rho\n77,2.109725511e-09\n", ""},
      {{"eval", "Wembrel", "--csv"},
       "77\n",
       0,
       "T,rho\n77,",
       "materials: reading points as CSV from standard input: T (a header naming them may come "
       "first; missing ones take defaults); end with " +
           end_key + "\n",
       true},
      {{"eval", "Wembrel", "77", "-"},
       "",
       2,
       "",
       "materials: - (standard input) is the only point when it is given\n"},
  };
}

// Numbers as points: negative ones, and read exactly.
std::vector<MessageCase> number_cases() {
  return {
      // Negative numbers are points, also after "--".
      {{"eval", "Wembrel", "-inf", "--csv"},
       "",
       1,
       "T,rho\n",
       "materials: Wembrel failed at point 0 (T=-inf): T is negative! (Wembrel accepts T from 0 K "
       "to 1400 K)\n"},
      {{"eval", "Tamsery", "-.5", "--csv"},
       "",
       0,
       "H,input1,input2,input3,B\n-0.5,0,0,0,-0.00251",
       "materials: warning: 1 of 1 point lies outside where Tamsery's fit is meaningful (H from 0 "
       "A/m to 4.2567e+06 A/m), the first at point 0 (H=-0.5)\n"},
      {{"eval", "Tamsery", "100", "--csv", "--", "-100"},
       "",
       0,
       "H,input1,input2,input3,B\n100,0,0,0,0.50251",
       "materials: warning: 1 of 2 points lies outside where Tamsery's fit is meaningful (H from "
       "0 A/m to 4.2567e+06 A/m), the first at point 1 (H=-100)\n"},
      // Numbers are read exactly: this one is just above the halfway point
      // between 0.1 and the next double, which a detour through long double
      // rounds down twice.
      {{"eval", "Daskelt", "77", "--set",
        "RRR=0.1000000000000000124900090270330110797658562660217285156251", "--csv", "--precision",
        "17", "--strict"},
       "",
       1,
       "T,RRR,dividend,divisor,k\n",
       "materials: Daskelt failed at point 0 (T=77, RRR=0.10000000000000002, dividend=1, "
       "divisor=1): outside where its fit is meaningful (RRR from 50 to 500)\n"},
  };
}

// The command line parser's texts.
std::vector<MessageCase> parser_cases() {
  return {
      // The parser's texts.
      {{"bogus"},
       "",
       2,
       "",
       "materials: bogus is not a command; the commands are list, eval, sweep and loop\n"},
      {{"sweep", "Wembrel", "--points", "abc"},
       "",
       2,
       "",
       "materials: --points: abc is not a whole number from 2 to 1099511627776 (materials sweep "
       "--help lists the options)\n"},
      {{"eval", "Wembrel", "--precision", "-3", "77"},
       "",
       2,
       "",
       "materials: --precision: -3 is not a whole number from 1 to 17" + usage},
      {{"eval", "Daskelt", "--set", "RRR=abc", "77"},
       "",
       2,
       "",
       "materials: --set RRR=abc: abc is not a number\n"},
      {{"eval", "Daskelt", "--set", "RRR", "77"},
       "",
       2,
       "",
       "materials: --set takes NAME=VALUE, not RRR\n"},
      {{"eval", "Wembrel", "77,1"}, "", 2, "", "materials: Wembrel takes 1 argument, not 2\n"},
      {{"eval", "Wembrel", "1e999"},
       "",
       2,
       "",
       "materials: not a point: 1e999 (out of the range of a double: magnitudes from 4.9e-324 to "
       "1.8e308, and 0)\n"},
      {{"eval", "Wembrel"},
       "T\n1e-400\n",
       2,
       "",
       "materials: line 2: 1e-400 is out of the range of a double: magnitudes from 4.9e-324 to "
       "1.8e308, and 0\n"},
      {{"eval", "Orvandel", "inf", "--csv"},
       "",
       0,
       "j,jrev_prev,jplay_prev,j_width,tau,dt,j_rev\ninf,0,0,100000000,0.001,0.001,nan\n",
       ""},
      {{"sweep", "Wembrel", "--output", (scratch("missing") / "w.csv").string()},
       "",
       2,
       "",
       "materials: cannot write " + (scratch("missing") / "w.csv").string() +
           ": No such file or directory\n"},
  };
}

// Points outside where a fit is meaningful.
std::vector<MessageCase> meaningful_cases() {
  return {
      // Outside the meaningful range: a warning, or with --strict a failure.
      {{"eval", "Wembrel", "77", "1400", "1000"},
       "",
       0,
       "T [K]      rho [Ohm m]\n   77  2.109725511e-09\n 1400     0.2431962375\n",
       "materials: warning: 2 of 3 points lie outside where Wembrel's fit is meaningful (T from "
       "40 K to 500 K), the first at point 1 (T=1400)\n"},
      {{"eval", "Wembrel", "77", "1400", "1000", "--strict"},
       "",
       1,
       "T [K]      rho [Ohm m]\n   77  2.109725511e-09\n",
       "materials: Wembrel failed at point 1 (T=1400): outside where its fit is meaningful (T from "
       "40 K to 500 K)\n"},
  };
}

TEST(ToolMessages, CommandLinesAndWhatTheyPrint) {
  for (const auto& group : {quoting_cases(), number_cases(), parser_cases(), meaningful_cases()}) {
    for (const MessageCase& c : group) {
      std::string command;
      for (const std::string& a : c.arguments) command += a + " ";
      SCOPED_TRACE(command);
      const ToolRun r = tool(c.arguments, c.input, false, c.input_terminal);
      EXPECT_EQ(r.status, c.status);
      EXPECT_EQ(r.out.substr(0, c.out_start.size()), c.out_start) << r.out;
      EXPECT_EQ(r.err, c.err);
    }
  }
}

TEST(ToolCsv, DoublesRoundTripExactly) {
  const std::vector<double> temperatures = {
      1.0 / 3.0, 0.1, std::nextafter(77.0, 100.0), 293.15, 1234.5678901234567, 1399.9999999999998};
  std::string input = "T\n";
  for (double t : temperatures) input += host_program::format_number(t, 17) + "\n";
  const ToolRun first = tool({"eval", "Wembrel", "--csv", "--precision", "17"}, input);
  ASSERT_EQ(first.status, 0) << first.err;
  const auto rows = csv_rows(first.out);
  ASSERT_EQ(rows.size(), temperatures.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i][0], temperatures[i]);
    EXPECT_EQ(rows[i][1], direct("Wembrel", {temperatures[i]}));
  }
  // The output reads back in (its result column is skipped) to the same text.
  const ToolRun second = tool({"eval", "Wembrel", "--csv", "--precision", "17"}, first.out);
  EXPECT_EQ(second.out, first.out);
}

TEST(ToolCatalogue, ListShowsEveryEntryWithItsArguments) {
  const ToolRun names = tool({"list", "--names"});
  ASSERT_EQ(names.status, 0);
  std::vector<std::string> expected;
  for (const Entry& e : catalogue()) expected.push_back(e.name);
  EXPECT_EQ(lines_of(names.out), expected);
  const ToolRun pellucer = tool({"list", "Pellucer"});
  EXPECT_NE(pellucer.out.find("T [K]: temperature; default 77; accepted 4 <= T <= 300\n"),
            std::string::npos)
      << pellucer.out;
  EXPECT_NE(pellucer.out.find("m: factor applied to dC/dT; default 1; accepted any\n"),
            std::string::npos);
  const ToolRun wembrel = tool({"list", "Wembrel"});
  EXPECT_NE(wembrel.out.find("meaningful 40 to 500 ("), std::string::npos) << wembrel.out;
  EXPECT_EQ(tool({"list", "Nobody"}).status, 2);
}

TEST(ToolCatalogue, DefaultsAreAcceptedByEveryBuiltLibrary) {
  for (const Entry& e : catalogue()) {
    const LoadedLibrary library(e.name);
    if (!library.loaded()) continue;
    SCOPED_TRACE(e.name);
    const auto r = testing_support::eval_point(library, defaults_of(e));
    EXPECT_EQ(r.status, 1) << r.message;
    EXPECT_TRUE(std::isfinite(r.outputs[0]));
  }
}

TEST(ToolCatalogue, FirstValuePastEachBoundFailsWithTheLibrarysMessage) {
  size_t bounds = 0;
  for (const Entry& e : catalogue()) {
    if (!LoadedLibrary(e.name).loaded()) continue;
    for (size_t k = 0; k < e.arguments.size(); ++k) {
      const host_program::Argument& a = e.arguments[k];
      for (const bool upper : {false, true}) {
        const host_program::Limit& limit = upper ? a.highest : a.lowest;
        if (limit.message == nullptr) continue;
        ++bounds;
        std::vector<double> point = defaults_of(e);
        point[k] = first_refused(limit, upper);
        std::string text;
        for (double v : point) text += (text.empty() ? "" : ",") + host_program::format_number(v);
        const ToolRun refused = tool({"eval", e.name, text});
        SCOPED_TRACE(std::string(e.name) + " " + text);
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.err.find(std::string("): ") + limit.message +
                                   host_program::accepted_range_note(e, limit.message) + "\n"),
                  std::string::npos)
            << refused.err;
        // The last accepted value is not refused for this bound.
        point[k] =
            limit.inclusive ? limit.value : std::nextafter(limit.value, upper ? -1e300 : 1e300);
        const LoadedLibrary library(e.name);
        EXPECT_NE(testing_support::eval_point(library, point).message, limit.message);
      }
    }
  }
  EXPECT_GE(bounds, 7u);  // Mirrobane 1, Pellucer 2, Wembrel 2, Quenrow 2
}

TEST(ToolSweep, EndsAreExactAndSummaryIsOneLine) {
  const std::vector<std::string> sweep = {"sweep", "Wembrel",  "--csv", "--precision",
                                          "17",    "--points", "7"};
  const ToolRun r = tool(sweep);
  ASSERT_EQ(r.status, 0) << r.err;
  const auto rows = csv_rows(r.out);
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows.front()[0], 1.0);
  EXPECT_EQ(rows.back()[0], 500.0);
  for (size_t i = 1; i < rows.size(); ++i) {
    EXPECT_NEAR(rows[i][0] / rows[i - 1][0], std::pow(500.0, 1.0 / 6.0), 1e-12);  // log spacing
    EXPECT_EQ(rows[i][1], direct("Wembrel", {rows[i][0]}));
  }
  // --summary prints one line, ending in the file it loaded; the table goes
  // only to --output.
  const std::string output = scratch("summary.csv").string();
  for (const bool to_file : {false, true}) {
    std::vector<std::string> arguments = sweep;
    arguments.push_back("--summary");
    if (to_file) arguments.insert(arguments.end(), {"--output", output});
    const ToolRun summary = tool(arguments);
    ASSERT_EQ(summary.status, 0) << summary.err;
    // 1, 2.8, 7.9 and 22 K lie below where the fit means something.
    EXPECT_EQ(summary.err,
              "materials: warning: 4 of 7 points lie outside where Wembrel's fit is meaningful "
              "(T from 40 K to 500 K), the first at point 0 (T=1)\n");
    ASSERT_EQ(lines_of(summary.out).size(), 1u) << summary.out;
    EXPECT_EQ(summary.out.rfind("Wembrel: T from 1 to 500 K (log), 7 points; rho from ", 0), 0u);
    const std::string ending = "; library " + built("Wembrel") + "\n";
    EXPECT_EQ(summary.out.substr(summary.out.size() - ending.size()), ending) << summary.out;
  }
  std::ifstream table(output);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(table), std::istreambuf_iterator<char>()),
            r.out);
  // --set, --arg and a linear range.
  const ToolRun m = tool({"sweep", "Pellucer", "--arg", "m", "--from", "-1", "--to", "1",
                          "--points", "3", "--set", "T=50", "--csv"});
  ASSERT_EQ(m.status, 0) << m.err;
  const auto m_rows = csv_rows(m.out);
  EXPECT_EQ(m_rows[1][2], 0.0);
  EXPECT_EQ(m_rows[0][2], -m_rows[2][2]);
  // Past the accepted range the library's failure shows as in eval.
  const ToolRun past =
      tool({"sweep", "Wembrel", "--from", "1000", "--to", "1500", "--points", "3"});
  EXPECT_EQ(past.status, 1);
  EXPECT_NE(past.err.find("failed at point 2 (T=1500)"), std::string::npos) << past.err;
}

TEST(ToolPlot, EveryPlotSaysWhatItsCurvesWereDrawnWith) {
  if (!plotting_available()) GTEST_SKIP() << "built without plotting";
  struct Case {
    std::vector<std::string> arguments;  // the plot file is added
    std::vector<std::string> shown;      // text the plot must show
    std::vector<std::string> absent{};   // and must not
  };
  const std::vector<Case> cases = {
      // Logarithmic axes; each argument held fixed, with its value and unit.
      {{"sweep", "Daskelt", "--set", "RRR=300", "--plot"},
       {"Daskelt: thermal conductivity", "RRR = 300, dividend = 1, divisor = 1"}},
      {{"sweep", "Orvandel", "--plot"},  // linear axes
       {"jrev_prev = 0 A/m", "tau = 0.001 s", "dt = 0.001 s"}},
      // The loops' drive; a long line is broken at a comma.
      {{"loop", "--plot-bh"}, {"h amplitude = 1000 A/m, f = 50 Hz, 200 steps per cycle"}},
      {{"loop", "--plot-j"}, {"j amplitude = 3e+08 A/m", "tau = 1e-04 s", "f = 50 Hz"}},
      // 16 decades of E: labelled at every second one only.
      {{"sweep", "Quenrow", "--plot"}, {"10-14", "10-12", "100", "102"}, {"10-13", "10-11"}},
  };
  for (const Case& c : cases) {
    const fs::path file = scratch(c.arguments[1] + c.arguments.back() + ".svg");
    fs::remove(file);
    std::vector<std::string> arguments = c.arguments;
    arguments.insert(arguments.end(), {file.string(), "--output", scratch("plotted.txt").string()});
    const ToolRun r = tool(arguments);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = svg_text(file);
    for (const std::string& expected : c.shown)
      EXPECT_NE(text.find(expected), std::string::npos) << file << " lacks " << expected;
    for (const std::string& unexpected : c.absent)
      EXPECT_EQ(text.find(unexpected), std::string::npos) << file << " shows " << unexpected;
  }
}

TEST(ToolPlot, PlotsThisBuildCannotDrawStopBeforeAnythingIsComputed) {
  const fs::path missing = scratch("missing") / "w.svg";  // in a folder never made
  std::vector<std::string> files = {scratch("w.gif").string(), missing.string()};
  if (!plotting_available()) files.push_back(scratch("w.svg").string());
  for (const std::string& file : files) {
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"-v", "sweep", "Wembrel", "--plot", file}, {"-v", "loop", "--plot-j", file}}) {
      const ToolRun r = tool(arguments);
      SCOPED_TRACE(arguments[1] + " " + file);
      EXPECT_EQ(r.status, 2);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(lines_of(r.err).size(), 1u) << r.err;  // not even a library loaded
    }
  }
  // The system's reason; a plot file checked before is not left behind.
  if (!plotting_available()) return;
  const fs::path plot = scratch("unwritten.svg");
  fs::remove(plot);
  const ToolRun r =
      tool({"sweep", "Wembrel", "--plot", plot.string(), "--output", missing.string()});
  EXPECT_EQ(r.err, "materials: cannot write " + missing.string() + ": No such file or directory\n");
  EXPECT_FALSE(fs::exists(plot));
}

TEST(ToolSweep, ProgressOnlyOnATerminalAndNeverInTheData) {
  const std::string output = scratch("long.csv").string();
  // Within the meaningful range: no warning either.
  const std::vector<std::string> arguments = {"sweep", "Mirrobane", "--from",   "4",
                                              "--to",  "300",       "--points", "1000001",
                                              "--csv", "--output",  output};
  const ToolRun quiet = tool(arguments, "", false);
  ASSERT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_EQ(quiet.err, "");
  const ToolRun shown = tool(arguments, "", true);
  ASSERT_EQ(shown.status, 0);
  EXPECT_NE(shown.err.find("Mirrobane: 100% of 1000001 points"), std::string::npos);
  std::ifstream data(output);
  size_t lines = 0;
  for (std::string line; std::getline(data, line); ++lines) {
    ASSERT_EQ(line.find('%'), std::string::npos) << line;
  }
  EXPECT_EQ(lines, 1000002u);
  // A short sweep shows none, even on a terminal.
  EXPECT_EQ(tool({"sweep", "Mirrobane", "--from", "4", "--to", "300", "--csv"}, "", true).err, "");
}

TEST(ToolLoop, DissipatesEnergyAndClosesAfterTheFirstCycle) {
  std::string error;
  const auto orvandel =
      host_program::open_library(testing_support::library_file("Orvandel"), error);
  if (!orvandel) GTEST_SKIP() << error;
  host_program::LoopSettings settings;
  settings.cycles = 4;
  host_program::LoopSamples samples;
  host_program::LoopReport report;
  ASSERT_EQ(host_program::run_loops(orvandel->loaded(), settings, samples, report), "");
  ASSERT_EQ(samples.t.size(), size_t(settings.cycles * settings.steps_per_cycle + 1));
  for (const auto* energies :
       {&report.scalar_area, &report.alternating_energy, &report.rotating_energy}) {
    ASSERT_EQ(energies->size(), size_t(settings.cycles));
    for (double w : *energies) EXPECT_GT(w, 0);
    // After the first cycle every cycle dissipates the same.
    EXPECT_NEAR(energies->back() / (*energies)[1], 1.0, 1e-9);
  }
  EXPECT_LT(report.scalar_mismatch, 1e-9);
  EXPECT_LT(report.alternating_mismatch, 1e-9);
  EXPECT_LT(report.rotating_mismatch, 1e-9);
  // B is odd in h for the alternating loop: half a cycle apart, B changes sign.
  const size_t steps = size_t(settings.steps_per_cycle);
  EXPECT_NEAR(samples.B[2 * steps + steps / 4], -samples.B[2 * steps + 3 * steps / 4], 1e-9);

  const ToolRun r =
      tool({"loop", "--cycles", "3", "--csv", "--output", scratch("loop.csv").string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("alternating h: energy dissipated per cycle "), std::string::npos) << r.out;
}

}  // namespace
