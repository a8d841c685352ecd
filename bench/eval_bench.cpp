// eval of every host function through its loaded library, per block size,
// beside its floor: the maths-library calls its arithmetic cannot avoid.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalogue_facts.hpp"
#include "inputs.hpp"
#include "material_host_api.hpp"
#include "orvandel.h"

namespace {

using catalogue::HostFunction;
using material_host::LoadedLibrary;

// Loaded once, with its pool of inputs.
struct Subject {
  std::unique_ptr<LoadedLibrary> library;
  bench::Columns columns;
};
Subject& subject(const HostFunction& function) {
  static std::map<const HostFunction*, Subject> subjects;
  Subject& s = subjects[&function];
  if (!s.library) {
    s.library =
        std::make_unique<LoadedLibrary>(std::string(MATERIAL_LIBRARY_DIR) + "/" + function.file);
    s.columns = bench::inputs_for(function);
  }
  return s;
}

// Nanoseconds per item, for `items` per iteration: a rate, inverted.
benchmark::Counter ns_per(const benchmark::State& state, double items) {
  return benchmark::Counter(double(state.iterations()) * items * 1e-9,
                            benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
void report_ns_per_point(benchmark::State& state, size_t block) {
  state.counters["ns_per_point"] = ns_per(state, double(block));
}

// Walks the pool block by block, so that a small block does not replay the
// same few points and let the branch predictor learn them.
void BM_eval(benchmark::State& state, const HostFunction* function) {
  Subject& s = subject(*function);
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
    if (s.library->eval(function->name, int32_t(inputs.size()), inputs.data(), int32_t(block),
                        outputs.data()) != 1)
      state.SkipWithError(s.library->last_error());
    benchmark::DoNotOptimize(outputs.data());
    offset = offset + 2 * block > bench::pool ? 0 : offset + block;
  }
  report_ns_per_point(state, block);
}

// The floors: per point, one call of each maths function whose argument
// depends on the point, with arguments as the fit forms them, and nothing
// else (values that depend only on the block's parameters are not counted).
// One loop per library, so that no dispatch enters the floor.
using FloorFn = double (*)(const bench::Columns&, size_t, size_t);

// Above the last breakpoint the straight tail calls none.
double mirrobane_floor(const bench::Columns& c, size_t begin, size_t end) {
  const double tail_from = catalogue::Mirrobane.arguments[0].breakpoints.back();
  double sink = 0;
  for (size_t i = begin; i < end; ++i) {
    const double T = c[0][i];
    if (T <= tail_from) sink += std::pow(T, 4.0) + std::pow(T, 3.0) + std::pow(T, 2.0);
  }
  return sink;
}

// log10, L^3 to L^6, and 10^E (L^2 is a product there).
double wembrel_floor(const bench::Columns& c, size_t begin, size_t end) {
  double sink = 0;
  for (size_t i = begin; i < end; ++i) {
    const double L = std::log10(c[0][i]);
    const double E = -4.0 + 0.476 * std::pow(L, 6.0) - 3.3 * std::pow(L, 5.0) +
                     7.49 * std::pow(L, 4.0) - 5.74 * std::pow(L, 3.0) + 1.12 * L * L;
    sink += std::pow(10.0, E);
  }
  return sink;
}

// log10, L^2 to L^8 (shared by P and P'), and 10^P.
double pellucer_floor(const bench::Columns& c, size_t begin, size_t end) {
  double sink = 0;
  for (size_t i = begin; i < end; ++i) {
    const double L = std::log10(c[0][i]);
    const double P = 46.6 - 314.3 * L + 866.7 * std::pow(L, 2.0) - 1298.3 * std::pow(L, 3.0) +
                     1162.3 * std::pow(L, 4.0) - 637.8 * std::pow(L, 5.0) +
                     210.4 * std::pow(L, 6.0) - 38.3 * std::pow(L, 7.0) + 2.96 * std::pow(L, 8.0);
    sink += std::pow(10.0, P);
  }
  return sink;
}

// T^2.763, (70/T)^1.756, its exp and T^2.598; RRR's power is per block.
double daskelt_floor(const bench::Columns& c, size_t begin, size_t end) {
  double sink = 0;
  for (size_t i = begin; i < end; ++i) {
    const double T = c[0][i];
    sink += std::pow(T, 2.763) * std::exp(-std::pow(70.0 / T, 1.756)) + std::pow(T, 2.598);
  }
  return sink;
}

// |J|, and (|J|/Jc)^(n-1) below the threshold; the threshold and its power
// depend on the parameters only.
double quenrow_floor(const bench::Columns& c, size_t begin, size_t end) {
  const double jth = bench::Tape::threshold();
  double sink = 0;
  for (size_t i = begin; i < end; ++i) {
    const double r = std::sqrt((c[2][i] * c[2][i] + c[1][i] * c[1][i]) + c[3][i] * c[3][i]);
    sink += r < jth ? std::pow(r / c[5][i], c[6][i] - 1) : r;
  }
  return sink;
}

void BM_floor(benchmark::State& state, const HostFunction* function, FloorFn floor) {
  Subject& s = subject(*function);
  const auto block = static_cast<size_t>(state.range(0));
  size_t offset = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(floor(s.columns, offset, offset + block));
    offset = offset + 2 * block > bench::pool ? 0 : offset + block;
  }
  report_ns_per_point(state, block);
}

// What a plain implementation would do, for the two libraries whose
// arithmetic has no maths-library floor: scan the iron table from its first
// point, and call the exported j_rev point by point.
// The fields of the benchmark are all >= 0.
double linear_scan(double H, double saturation_slope) {
  const std::vector<double>& Hs = bench::iron_table_H();
  const std::vector<double>& Bs = bench::iron_table_B();
  const size_t n = Hs.size();
  for (size_t j = 0; j < n; ++j) {
    if (H == Hs[j]) return Bs[j];
    if (j + 1 < n && Hs[j] < H && H < Hs[j + 1])
      return (Bs[j + 1] - Bs[j]) / (Hs[j + 1] - Hs[j]) * (H - Hs[j]) + Bs[j];
    if (H > Hs[n - 1]) return (H - Hs[n - 1]) * saturation_slope + Bs[n - 1];
  }
  return H;
}

void BM_tamsery_linear_scan(benchmark::State& state) {
  Subject& s = subject(catalogue::Tamsery);
  const auto block = static_cast<size_t>(state.range(0));
  std::vector<double> outputs(block);
  size_t offset = 0;
  for (auto _ : state) {
    const double saturation_slope = std::pow(10.0, -7.0) * 12.56637061436;
    for (size_t i = 0; i < block; ++i)
      outputs[i] = linear_scan(s.columns[0][offset + i], saturation_slope);
    benchmark::DoNotOptimize(outputs.data());
    offset = offset + 2 * block > bench::pool ? 0 : offset + block;
  }
  report_ns_per_point(state, block);
}

void BM_orvandel_j_rev_per_point(benchmark::State& state) {
  Subject& s = subject(catalogue::Orvandel);
  const auto j_rev_fn = s.library->symbol<decltype(&j_rev)>("j_rev");
  const auto block = static_cast<size_t>(state.range(0));
  std::vector<double> outputs(block);
  const bench::Columns& c = s.columns;
  size_t offset = 0;
  for (auto _ : state) {
    for (size_t i = offset; i < offset + block; ++i)
      outputs[i - offset] = j_rev_fn(c[0][i], c[1][i], c[2][i], c[3][i], c[4][i], c[5][i]);
    benchmark::DoNotOptimize(outputs.data());
    offset = offset + 2 * block > bench::pool ? 0 : offset + block;
  }
  report_ns_per_point(state, block);
}

// The model functions that programs link, called through their exported
// symbols with arguments that change from call to call.
template <class Call>
void run_model(benchmark::State& state, Call call) {
  size_t k = 0;
  for (auto _ : state) {
    call(k);
    k = (k + 1) % bench::model_pool;
  }
  state.counters["ns_per_call"] = ns_per(state, 1);
}

// bhyst or dbhyst_dh, over the first range(0) cells.
template <class Fn>
void BM_cells(benchmark::State& state, const char* symbol) {
  const auto fn = subject(catalogue::Orvandel).library->symbol<Fn>(symbol);
  const int32_t cells = int32_t(state.range(0));
  const bench::Cells& m = bench::cells();
  run_model(state, [&](size_t k) {
    benchmark::DoNotOptimize(fn(cells, m.hrev_prev.data(), m.h_ref.data(), m.weight.data(),
                                m.chi.data(), m.dt, m.cell_fraction, m.h[k], m.hc_max.data(),
                                m.tau_c.data(), m.tau.data()));
  });
  state.counters["ns_per_cell"] = ns_per(state, cells);
}

// e_joule or de_joule_dj of the tape.
template <class Fn>
void BM_field_law(benchmark::State& state, const char* symbol) {
  const auto fn = subject(catalogue::Orvandel).library->symbol<Fn>(symbol);
  const std::vector<Vec3>& J = bench::currents();
  using T = bench::Tape;
  run_model(state,
            [&](size_t k) { benchmark::DoNotOptimize(fn(T::rho, T::jc, T::n, T::ec, J[k])); });
}

void BM_j_rev(benchmark::State& state) {
  Subject& s = subject(catalogue::Orvandel);
  const auto fn = s.library->symbol<decltype(&j_rev)>("j_rev");
  const bench::Columns& c = s.columns;
  run_model(state, [&](size_t i) {
    benchmark::DoNotOptimize(fn(c[0][i], c[1][i], c[2][i], c[3][i], c[4][i], c[5][i]));
  });
}

const bool registered = [] {
  using namespace catalogue;
  const std::map<const HostFunction*, FloorFn> floors = {{&Quenrow, quenrow_floor},
                                                         {&Daskelt, daskelt_floor},
                                                         {&Mirrobane, mirrobane_floor},
                                                         {&Pellucer, pellucer_floor},
                                                         {&Wembrel, wembrel_floor}};
  for (const HostFunction& function : host_functions()) {
    const std::string name = function.name;
    subject(function);  // load before any benchmark thread starts
    benchmark::RegisterBenchmark(("eval/" + name).c_str(), BM_eval, &function)
        ->RangeMultiplier(16)
        ->Range(1, 65536);
    if (const auto f = floors.find(&function); f != floors.end())
      benchmark::RegisterBenchmark(("floor/" + name).c_str(), BM_floor, &function, f->second)
          ->Arg(4096);
    // Two threads on separate blocks of one library: throughput must scale.
    benchmark::RegisterBenchmark(("eval_threads/" + name).c_str(), BM_eval, &function)
        ->Arg(4096)
        ->Threads(1)
        ->Threads(2)
        ->UseRealTime();
  }
  if (subject(Tamsery).library->loaded())
    benchmark::RegisterBenchmark("comparator/Tamsery_linear_scan", BM_tamsery_linear_scan)
        ->Arg(4096);
  if (subject(Orvandel).library->loaded()) {
    benchmark::RegisterBenchmark("comparator/Orvandel_j_rev_per_point", BM_orvandel_j_rev_per_point)
        ->Arg(4096);
    benchmark::RegisterBenchmark("model/bhyst", BM_cells<decltype(&bhyst)>, "bhyst")
        ->ArgName("cells")
        ->Arg(1)
        ->Arg(8)
        ->Arg(64);
    benchmark::RegisterBenchmark("model/dbhyst_dh", BM_cells<decltype(&dbhyst_dh)>, "dbhyst_dh")
        ->ArgName("cells")
        ->Arg(1)
        ->Arg(8)
        ->Arg(64);
    benchmark::RegisterBenchmark("model/e_joule", BM_field_law<decltype(&e_joule)>, "e_joule");
    benchmark::RegisterBenchmark("model/de_joule_dj", BM_field_law<decltype(&de_joule_dj)>,
                                 "de_joule_dj");
    benchmark::RegisterBenchmark("model/j_rev", BM_j_rev);
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
