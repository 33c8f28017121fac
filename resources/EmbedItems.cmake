# Script mode: writes OUTPUT, a C++ source holding the bytes of every item of resources/items.txt and
# the table that RegisterBuiltinResources hands to the built-in item service (BuiltinData.h).
#   cmake -DOUTPUT=<file.cpp> -P EmbedItems.cmake
include("${CMAKE_CURRENT_LIST_DIR}/ReadItems.cmake")
lv_read_items(names files)

set(out "// Generated from resources/items.txt by resources/EmbedItems.cmake; do not edit.\n")
string(APPEND out "#include \"resources/BuiltinData.h\"\n\nnamespace {\n\n")
set(table "")
set(index 0)
foreach(name file IN ZIP_LISTS names files)
    file(READ "${file}" hex HEX)
    string(LENGTH "${hex}" hex_length)
    math(EXPR size "${hex_length} / 2")
    # 24 bytes a line keeps the generated file readable and the compiler's lines short.
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REPEAT "0x..," 24 line)
    string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
    string(APPEND out "// ${name}\nalignas(8) const uint8_t k_item${index}[${size}] = {\n    ${bytes}\n};\n\n")
    string(APPEND table "    {\"${name}\", k_item${index}, ${size}u},\n")
    math(EXPR index "${index} + 1")
endforeach()
string(APPEND out "} // namespace\n\nconst BuiltinItem g_aBuiltinItems[] = {\n${table}};\n")
string(APPEND out "const size_t g_nBuiltinItems = ${index};\n")
file(WRITE "${OUTPUT}" "${out}")
