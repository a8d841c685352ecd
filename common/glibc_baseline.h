/* Force-included into every library source (cmake/MaterialLibrary.cmake).
 *
 * glibc 2.29 gave exp, exp2, log, log2 and pow new symbol versions, and a
 * library linked against a current glibc asks for GLIBC_2.29, which the
 * loader of an older glibc refuses. Binding them to the x86-64 base version,
 * GLIBC_2.2.5, which every glibc exports, lets a library load on glibc 2.17
 * and later.
 *
 * On a current glibc both versions run the same code; the base version only
 * wraps it in the old error handling. pow and exp give the same bits through
 * it, NaN included; log and log2 of a negative number give a NaN of the
 * other sign. On an older glibc the values are that glibc's own.
 *
 * Valid C and C++. Elsewhere (Windows, another C library) it does nothing. */
#ifndef MATERIAL_GLIBC_BASELINE_H
#define MATERIAL_GLIBC_BASELINE_H

#if defined(__x86_64__) && defined(__gnu_linux__)
__asm__(".symver exp,exp@GLIBC_2.2.5");
__asm__(".symver exp2,exp2@GLIBC_2.2.5");
__asm__(".symver log,log@GLIBC_2.2.5");
__asm__(".symver log2,log2@GLIBC_2.2.5");
__asm__(".symver pow,pow@GLIBC_2.2.5");
#endif

#endif
