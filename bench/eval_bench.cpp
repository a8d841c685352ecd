// eval of every host function through its loaded library, per block size,
// beside its floor: the maths-library calls its arithmetic cannot avoid.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "inputs.hpp"
#include "support/loaded_library.hpp"

namespace {

using testing_support::LoadedLibrary;

const char* const libraries[] = {"Orvandel", "Tamsery",   "Quenrow", "Daskelt",
                                 "Mirrobane", "Pellucer", "Wembrel"};

// Loaded once, with its pool of inputs.
struct Subject {
  std::unique_ptr<LoadedLibrary> library;
  bench::Columns columns;
};
Subject& subject(const std::string& name) {
  static std::map<std::string, Subject> subjects;
  Subject& s = subjects[name];
  if (!s.library) {
    s.library = std::make_unique<LoadedLibrary>(name);
    s.columns = bench::inputs_for(name);
  }
  return s;
}

// Reported as a rate of points per nanosecond, inverted.
void report_ns_per_point(benchmark::State& state, size_t block) {
  state.counters["ns_per_point"] =
      benchmark::Counter(double(state.iterations() * block) * 1e-9,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Walks the pool block by block, so that a small block does not replay the
// same few points and let the branch predictor learn them.
void BM_eval(benchmark::State& state, std::string name) {
  Subject& s = subject(name);
  if (!s.library->loaded()) {
    state.SkipWithError("library not built");
    return;
  }
  const auto block = static_cast<size_t>(state.range(0));
  std::vector<double> outputs(block);
  std::vector<const double*> inputs(s.columns.size());
  size_t offset = size_t(state.thread_index()) * block;  // threads on separate blocks
  for (auto _ : state) {
    for (size_t k = 0; k < inputs.size(); ++k) inputs[k] = s.columns[k].data() + offset;
    if (s.library->eval(name.c_str(), int32_t(inputs.size()), inputs.data(), int32_t(block),
                        outputs.data()) != 1)
      state.SkipWithError(s.library->last_error());
    benchmark::DoNotOptimize(outputs.data());
    offset = offset + 2 * block > bench::pool ? 0 : offset + block;
  }
  report_ns_per_point(state, block);
}

// The floors: one call per maths function that depends on the point, with
// arguments as the fit forms them.
double floor_points(const std::string& name, const bench::Columns& c, size_t begin, size_t end) {
  double sink = 0;
  for (size_t i = begin; i < end; ++i) {
    if (name == "Mirrobane") {
      const double T = c[0][i];
      if (T <= 498.15) sink += std::pow(T, 4.0) + std::pow(T, 3.0) + std::pow(T, 2.0);
    } else if (name == "Wembrel") {
      const double L = std::log10(c[0][i]);
      const double E = -4.0 + 0.476 * std::pow(L, 6.0) - 3.3 * std::pow(L, 5.0) +
                       7.49 * std::pow(L, 4.0) - 5.74 * std::pow(L, 3.0) + 1.12 * L * L;
      sink += std::pow(10.0, E);
    } else if (name == "Pellucer") {
      const double L = std::log10(c[0][i]);
      const double P = 46.6 - 314.3 * L + 866.7 * std::pow(L, 2.0) - 1298.3 * std::pow(L, 3.0) +
                       1162.3 * std::pow(L, 4.0) - 637.8 * std::pow(L, 5.0) +
                       210.4 * std::pow(L, 6.0) - 38.3 * std::pow(L, 7.0) +
                       2.96 * std::pow(L, 8.0);
      sink += std::pow(10.0, P);
    } else if (name == "Daskelt") {
      const double T = c[0][i];
      sink += std::pow(T, 2.763) * std::exp(-std::pow(70.0 / T, 1.756)) + std::pow(T, 2.598);
    } else if (name == "Quenrow") {
      const double r = std::sqrt((c[2][i] * c[2][i] + c[1][i] * c[1][i]) + c[3][i] * c[3][i]);
      sink += r < bench::Tape::threshold() ? std::pow(r / c[5][i], c[6][i] - 1) : r;
    }
  }
  return sink;
}

void BM_floor(benchmark::State& state, std::string name) {
  Subject& s = subject(name);
  const auto block = static_cast<size_t>(state.range(0));
  size_t offset = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(floor_points(name, s.columns, offset, offset + block));
    offset = offset + 2 * block > bench::pool ? 0 : offset + block;
  }
  report_ns_per_point(state, block);
}

const bool registered = [] {
  for (const char* name : libraries) {
    subject(name);  // load before any benchmark thread starts
    benchmark::RegisterBenchmark((std::string("eval/") + name).c_str(), BM_eval, name)
        ->RangeMultiplier(16)->Range(1, 65536);
    if (std::string(name) != "Tamsery" && std::string(name) != "Orvandel")
      benchmark::RegisterBenchmark((std::string("floor/") + name).c_str(), BM_floor, name)
          ->Arg(4096);
    // Two threads on separate blocks of one library: throughput must scale.
    benchmark::RegisterBenchmark((std::string("eval_threads/") + name).c_str(), BM_eval, name)
        ->Arg(4096)->Threads(1)->Threads(2)->UseRealTime();
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
