// SPDX-License-Identifier: BSD-2-Clause
#include "luSL/luSL.h"

const char* luSL_version(void)
{
    return LUSL_VERSION_STRING;
}
