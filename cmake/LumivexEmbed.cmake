# Files compiled into a program: each file's bytes are placed in the read-only data by the
# assembler (.incbin), and a generated table names them, so the program finds its pictures,
# window descriptions and default lists without any file beside it.
#   lumivex_embed_files(<target> <name>=<path> ...)
# The program reads them with embedded_files::Find("<name>") (see embedded_files.h).
function(lumivex_embed_files target)
  set(asm "${CMAKE_CURRENT_BINARY_DIR}/${target}_embedded.S")
  set(cpp "${CMAKE_CURRENT_BINARY_DIR}/${target}_embedded.cpp")
  set(asm_text "\t.section .rodata\n")
  set(decls "")
  set(rows "")
  set(deps "")
  set(i 0)
  foreach(entry ${ARGN})
    string(FIND "${entry}" "=" eq)
    string(SUBSTRING "${entry}" 0 ${eq} name)
    math(EXPR from "${eq} + 1")
    string(SUBSTRING "${entry}" ${from} -1 path)
    get_filename_component(path "${path}" ABSOLUTE)
    list(APPEND deps "${path}")
    string(APPEND asm_text "\t.balign 16\n\t.global lumivex_embedded_${i}_start\n"
           "lumivex_embedded_${i}_start:\n\t.incbin \"${path}\"\n"
           "\t.global lumivex_embedded_${i}_end\nlumivex_embedded_${i}_end:\n\t.byte 0\n")
    string(APPEND decls "extern const unsigned char lumivex_embedded_${i}_start[];\n"
           "extern const unsigned char lumivex_embedded_${i}_end[];\n")
    string(APPEND rows "    {\"${name}\", lumivex_embedded_${i}_start, lumivex_embedded_${i}_end},\n")
    math(EXPR i "${i} + 1")
  endforeach()
  string(APPEND asm_text "\t.section .note.GNU-stack,\"\",@progbits\n")
  file(GENERATE OUTPUT "${asm}" CONTENT "${asm_text}")
  file(GENERATE OUTPUT "${cpp}" CONTENT
"#include <cstring>
#include <string_view>

extern \"C\" {
${decls}}

namespace embedded_files {
namespace {
struct Entry {
  const char* name;
  const unsigned char* start;
  const unsigned char* end;
};
const Entry kEntries[] = {
${rows}};
}  // namespace

std::string_view Find(std::string_view name) {
  for (const Entry& e : kEntries) {
    if (name == e.name) {
      return {reinterpret_cast<const char*>(e.start), static_cast<size_t>(e.end - e.start)};
    }
  }
  return {};
}

}  // namespace embedded_files
")
  set_source_files_properties("${asm}" PROPERTIES OBJECT_DEPENDS "${deps}")
  target_sources(${target} PRIVATE "${asm}" "${cpp}")
endfunction()
