/* SPDX-License-Identifier: BSD-2-Clause */
/* Heap calls made by anything in the process (libluSL.so included) while counting is on. */
#ifndef LUSL_BENCH_ALLOC_COUNT_H
#define LUSL_BENCH_ALLOC_COUNT_H
#ifdef __cplusplus
extern "C" {
#endif

extern int lusl_bench_counting;
extern unsigned long lusl_bench_allocs; /* malloc, calloc, realloc of NULL */
extern unsigned long lusl_bench_frees;  /* free of a non-null pointer */

/* Lines the benchmark's own log sink saw per level; only the null-sink binary has them. */
extern unsigned long lusl_bench_log_lines[8] __attribute__((weak));
extern int lusl_bench_log_counting __attribute__((weak));

#ifdef __cplusplus
}
#endif
#endif
