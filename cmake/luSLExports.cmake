# SPDX-License-Identifier: BSD-2-Clause
# Writes the linker version script of libluSL from the public headers: every function and
# global declared LUSL_API gets the version node (LUSL_<major>), everything else stays local. The headers
# are the one list of the API; tests/package checks the built library against them.
#
# Run at build time, so a header edit reaches the next link:
#   cmake -DOUT=<script> -DNODE=LUSL_1 -DHEADERS=<h1;h2;...> -P luSLExports.cmake
# The script is rewritten only when it changes, so unrelated header edits do not relink.
if(NOT OUT OR NOT NODE OR NOT HEADERS)
  message(FATAL_ERROR "usage: cmake -DOUT=<script> -DNODE=<node> -DHEADERS=<headers> -P luSLExports.cmake")
endif()

set(names "")
foreach(header IN LISTS HEADERS)
  file(READ "${header}" text)
  # Comments and preprocessor lines (the macro's own definition) are not declarations.
  string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" " " text "${text}")
  string(REGEX REPLACE "//[^\n]*" " " text "${text}")
  string(REGEX REPLACE "(^|\n)[ \t]*#[^\n]*" "\n" text "${text}")
  string(REGEX MATCHALL "LUSL_API[ \t\n]+[^;{]*" decls "${text}")
  foreach(decl IN LISTS decls)
    # A function's name is the last word before its parameter list; a global's is the
    # last word before its array bounds or the semicolon.
    string(REGEX REPLACE "\\(.*" "" head "${decl}")
    string(REGEX REPLACE "\\[.*" "" head "${head}")
    string(REGEX MATCH "[A-Za-z_][A-Za-z0-9_]*[ \t\n]*$" name "${head}")
    string(STRIP "${name}" name)
    if(name STREQUAL "")
      message(FATAL_ERROR "luSL exports: cannot read a name from '${decl}' in ${header}")
    endif()
    list(APPEND names "${name}")
  endforeach()
endforeach()
list(REMOVE_DUPLICATES names)
list(SORT names)
list(LENGTH names count)
if(count EQUAL 0)
  message(FATAL_ERROR "luSL exports: no LUSL_API declarations in ${HEADERS}")
endif()
list(JOIN names ";\n    " body)
set(script "/* Generated from the LUSL_API declarations of the public headers. */\n${NODE} {\n  global:\n    ${body};\n  local:\n    *;\n};\n")
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL script)
  file(WRITE "${OUT}" "${script}")
endif()
