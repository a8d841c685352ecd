/* The entry points through which a host application drives a material
 * library: load the library by file name, call init, then eval over blocks
 * of points, and getLastError after a call that returned 0.
 * Valid C and C++. */
#ifndef MATERIAL_API_H
#define MATERIAL_API_H

#include <stdint.h>

#ifdef __cplusplus
#define MATERIAL_EXTERN_C extern "C"
#else
#define MATERIAL_EXTERN_C
#endif

#if defined(_WIN32)
#define MATERIAL_EXPORT MATERIAL_EXTERN_C __declspec(dllexport)
#else
#define MATERIAL_EXPORT MATERIAL_EXTERN_C __attribute__((visibility("default")))
#endif

/* Always 1; the argument is the host's and never read. */
MATERIAL_EXPORT int32_t init(const char* host_info);

/* The message of the latest failing eval since the library was loaded, or
 * null before the first failure. The text is static: never free it. */
MATERIAL_EXPORT const char* getLastError(void);

/* Evaluates the library's host function at block_size points.
 *   function_name   must equal the library's host function name exactly
 *   argument_count  the number of input arrays, compared for equality
 *   inputs          inputs[k][i] is argument k at point i
 *   host_strings    the host's own pointer, never read
 *   block_size      points to evaluate; 0 or less evaluates none
 *   outputs         outputs[i] receives the result at point i
 * Returns 1 when every point is stored. Returns 0 at the first failing point,
 * with its reason in getLastError(); earlier outputs keep their values and
 * later ones are not touched. Anything the host passes after outputs is
 * ignored. */
MATERIAL_EXPORT int32_t eval(const char* function_name, int32_t argument_count,
                             const double** inputs, const void* host_strings, int32_t block_size,
                             double* outputs);

/* A constant string naming the library's self-test (empty where it has
 * none). Not exported by every library. */
MATERIAL_EXPORT const char* return_test_yaml(void);

#endif
