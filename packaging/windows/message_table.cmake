# A message table compiled into a Windows program: windmc turns the .mc file into a resource
# script and its binary message block, which windres links in with the program's resources.
# -c: the messages carry the customer flag, as the identifiers the service reports do.
find_program(VS_WINDMC NAMES x86_64-w64-mingw32-windmc windmc REQUIRED)
enable_language(RC)

function(vs_add_message_table target mc_file)
  get_filename_component(name ${mc_file} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_mc)
  add_custom_command(
    OUTPUT ${out}/${name}.rc ${out}/${name}.h
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
    COMMAND ${VS_WINDMC} -c -h ${out} -r ${out} ${mc_file}
    DEPENDS ${mc_file}
    COMMENT "Compiling the message table ${name}.mc")
  target_sources(${target} PRIVATE ${out}/${name}.rc)
  # windres finds the binary message block next to the generated script.
  set_source_files_properties(${out}/${name}.rc PROPERTIES
    OBJECT_DEPENDS ${mc_file} INCLUDE_DIRECTORIES ${out})
endfunction()
