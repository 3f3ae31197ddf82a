/* luSL API: scan family. Included by luSL/luSL.h; not meant to be included alone. */
#ifndef LUSL_API_SCAN_H
#define LUSL_API_SCAN_H

#include "luSL/luSL.h"

#ifdef __cplusplus
extern "C" {
#endif

#ifdef __cplusplus
}
#endif
#endif
