/* SPDX-License-Identifier: BSD-2-Clause */
/* Counting allocator. Defined in the executable, these override the C library's for every
 * shared object, so calls made inside libluSL.so are seen too (-Wl,--wrap would miss them). */
#include <stddef.h>

#include "alloc_count.h"

void *__libc_malloc(size_t n);
void *__libc_calloc(size_t n, size_t size);
void *__libc_realloc(void *p, size_t n);
void __libc_free(void *p);

int lusl_bench_counting;
unsigned long lusl_bench_allocs;
unsigned long lusl_bench_frees;

void *malloc(size_t n)
{
    if (lusl_bench_counting)
        ++lusl_bench_allocs;
    return __libc_malloc(n);
}

void *calloc(size_t n, size_t size)
{
    if (lusl_bench_counting)
        ++lusl_bench_allocs;
    return __libc_calloc(n, size);
}

/* Growing a block keeps it one block: only realloc(NULL, n) makes a new one. */
void *realloc(void *p, size_t n)
{
    if (lusl_bench_counting && !p)
        ++lusl_bench_allocs;
    return __libc_realloc(p, n);
}

void free(void *p)
{
    if (lusl_bench_counting && p)
        ++lusl_bench_frees;
    __libc_free(p);
}
