# Writes a resource script's string table as C++ source, for systems without resources:
#   cmake -DRC=<file.rc> -DOUT=<file.cpp> -DHEADER=<header> -DTABLE=<name> -P StringTable.cmake
# Each line "IDS_NAME "text"" of the script becomes the entry {IDS_NAME, "text"} of the array
# TABLE, ended by an entry with a null text. The texts are copied byte for byte: the script
# writes its non-ASCII bytes as octal escapes, which C++ reads the same way, so both systems hold
# the very same bytes.
file(STRINGS "${RC}" lines REGEX "^[ \t]*IDS_[A-Z0-9_]+[ \t]+\"")
set(entries "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^[ \t]*(IDS_[A-Z0-9_]+)[ \t]+(\"[^\"]*\")")
    message(FATAL_ERROR "${RC}: cannot read the string table line: ${line}")
  endif()
  string(APPEND entries "    {${CMAKE_MATCH_1}, ${CMAKE_MATCH_2}},\n")
endforeach()
if(entries STREQUAL "")
  message(FATAL_ERROR "${RC}: no string table entries")
endif()
get_filename_component(rc_name "${RC}" NAME)
set(content "// Made by the build from ${rc_name}: its string table, for systems without resources.\n")
string(APPEND content "#include \"${HEADER}\"\n\n")
string(APPEND content "const TStringTableEntry ${TABLE}[] = {\n${entries}    {0, nullptr},\n};\n")
# Written only when it changes, so an unchanged table rebuilds nothing.
file(CONFIGURE OUTPUT "${OUT}" CONTENT "${content}" @ONLY)
