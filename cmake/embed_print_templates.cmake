# Writes a C++ source holding every print template of templates/print as a raw string, so the
# tools print with the shop's defaults without finding the source tree at run time. Runs at
# configure time; the templates are configure dependencies, so editing one re-runs it.
function(ws_embed_print_templates source_dir output)
  file(GLOB templates CONFIGURE_DEPENDS ${source_dir}/*.html)
  list(SORT templates)
  set(body "")
  foreach(template ${templates})
    get_filename_component(name ${template} NAME_WE)
    file(READ ${template} text)
    string(FIND "${text}" ")ws_template\"" clash)
    if(NOT clash EQUAL -1)
      message(FATAL_ERROR "${template} contains the raw string's end marker")
    endif()
    string(APPEND body "      {\"${name}\", R\"ws_template(${text})ws_template\"},\n")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${template})
  endforeach()
  file(WRITE ${output}.new
"// Generated from templates/print by cmake/embed_print_templates.cmake; do not edit.
#include <map>
#include <string>

namespace ws::platform {

const std::map<std::string, std::string>& BuiltInTemplateFiles() {
  static const std::map<std::string, std::string> files = {
${body}  };
  return files;
}

}  // namespace ws::platform
")
  file(COPY_FILE ${output}.new ${output} ONLY_IF_DIFFERENT)
endfunction()
