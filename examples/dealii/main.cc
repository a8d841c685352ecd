// Magnetostatics with deal.II, distributed over MPI, the libraries used from
// C++ in both ways a finite-element program uses them: Orvandel's vector
// hysteresis model linked and called at the quadrature points (a cylinder
// in a uniform applied field, cylinder.cc), and Tamsery's B(H) curve loaded
// by file name through the host API (an iron ring around a current,
// iron_ring.cc). Each case is checked against a closed form; the closing
// line gives the larger of the two as a share of its limit, and the exit
// status is 1 when that exceeds 1.
//
//     mpirun -n 2 dealii_magnetostatics [--size small|full]
#include <deal.II/base/mpi.h>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "field_solve.h"

int main(int argc, char** argv) {
  // One thread per process: the processes share the machine's cores.
  const dealii::Utilities::MPI::MPI_InitFinalize mpi(argc, argv, 1);
  example::Run run("dealii_magnetostatics", argc, argv);
  if (run.help) return run.finish("", 0, 0);
  try {
    const double cylinder = example::cylinder(run);
    const double ring = example::iron_ring(run);
    char line[128];
    std::snprintf(line, sizeof line, "share of its limit: cylinder %.3f, iron ring %.3f", cylinder,
                  ring);
    run.say(line);
    return run.finish("largest share of its limit over the two checks =", std::max(cylinder, ring),
                      1.0);
  } catch (const std::exception& error) {
    // A library's refusal (the host API's EvalError names the library, the
    // function, the point and the library's message), or Newton out of
    // iterations: said by the process that met it, and every process ends.
    std::printf("dealii_magnetostatics: stopped: %s\n", error.what());
    std::fflush(stdout);
    MPI_Abort(run.comm, 1);
  }
  return 1;
}
