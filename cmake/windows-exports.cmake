# Import library of the Windows module.
#
# The module definition lists the exports without decoration, and the module
# is linked with --kill-at so that its export table holds exactly those names.
# The import library the linker writes alongside then offers only undecorated
# symbols, while a C or C++ caller of a __stdcall function asks for
# name@bytes. kvz_import_library replaces it after every link by one made with
# dlltool from a copy of the module definition whose entries carry the @bytes
# suffix (computed from the prototypes in the public headers): the symbols are
# decorated, the names imported from the module are not.

# Bytes of arguments a __stdcall function removes: 8 per double, 4 for every
# other argument (int or pointer) of a 32-bit target.
function(kvz_argument_bytes arguments out_var)
  string(REPLACE "," ";" args "${arguments}")
  set(bytes 0)
  foreach(arg IN LISTS args)
    string(STRIP "${arg}" arg)
    if(arg MATCHES "\\*")
      math(EXPR bytes "${bytes} + 4")
    elseif(arg MATCHES "^double")
      math(EXPR bytes "${bytes} + 8")
    elseif(NOT arg STREQUAL "void" AND NOT arg STREQUAL "")
      math(EXPR bytes "${bytes} + 4")
    endif()
  endforeach()
  set(${out_var} ${bytes} PARENT_SCOPE)
endfunction()

# Writes `output`: the module definition `def_file` with name@bytes entries.
function(kvz_decorated_def def_file output)
  foreach(header IN LISTS ARGN)
    file(STRINGS ${header} prototypes REGEX "KVZ_CALL [a-z_]+\\(")
    foreach(line IN LISTS prototypes)
      string(REGEX MATCH "KVZ_CALL ([a-z_]+)\\(([^)]*)\\)" _ "${line}")
      set(name ${CMAKE_MATCH_1})
      kvz_argument_bytes("${CMAKE_MATCH_2}" bytes_${name})
    endforeach()
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def_file} ${ARGN})

  file(STRINGS ${def_file} def_lines)
  set(text "")
  foreach(line IN LISTS def_lines)
    string(STRIP "${line}" entry)
    if(entry MATCHES "^[a-z_]+$")
      if(NOT DEFINED bytes_${entry})
        message(FATAL_ERROR "${def_file}: no prototype for the export ${entry}")
      endif()
      string(APPEND text "    ${entry}@${bytes_${entry}}\n")
    else()
      string(APPEND text "${line}\n")
    endif()
  endforeach()
  file(CONFIGURE OUTPUT ${output} CONTENT "${text}" @ONLY)
endfunction()

# After each link of `target`, rewrites its import library with dlltool.
function(kvz_import_library target def_file)
  # A 64-bit target has one calling convention and no decorated names: the
  # import library the linker writes is already the right one.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    return()
  endif()
  if(NOT CMAKE_DLLTOOL)
    message(FATAL_ERROR "dlltool is needed to write the import library of ${target}")
  endif()
  get_filename_component(def_file ${def_file} ABSOLUTE)
  set(headers)
  foreach(header IN LISTS ARGN)
    get_filename_component(header ${header} ABSOLUTE)
    list(APPEND headers ${header})
  endforeach()
  set(decorated ${CMAKE_CURRENT_BINARY_DIR}/${target}_decorated.def)
  kvz_decorated_def(${def_file} ${decorated} ${headers})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${decorated}
      --dllname $<TARGET_FILE_NAME:${target}> --output-lib $<TARGET_LINKER_FILE:${target}>
    COMMENT "Writing the import library of ${target} with decorated symbols"
    VERBATIM)
endfunction()
