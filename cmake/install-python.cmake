# The Python binding, installed beside the library: the package goes to
# KVZ_PYTHON_INSTALL_DIR (by default where KVZ_PYTHON keeps packages under its
# own prefix, e.g. lib/python3.11/site-packages), with an _installed.py that
# tells the loader where the shared library is, relative to the package.
option(KVZ_INSTALL_PYTHON "Install the Python binding with the library" ON)
if(NOT KVZ_INSTALL_PYTHON OR CMAKE_CROSSCOMPILING)
  return()
endif()

include(${CMAKE_CURRENT_LIST_DIR}/python.cmake)
if(NOT KVZ_PYTHON_INSTALL_DIR)
  execute_process(COMMAND ${KVZ_PYTHON} -c
      "import os, sysconfig; print(os.path.relpath(sysconfig.get_path('purelib'), sysconfig.get_path('data')))"
    OUTPUT_VARIABLE kvz_site OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE kvz_site_failed ERROR_QUIET)
  if(kvz_site_failed OR kvz_site STREQUAL "" OR kvz_site MATCHES "^\\.\\.")
    set(kvz_site lib/python3/site-packages)
  endif()
  set(KVZ_PYTHON_INSTALL_DIR ${kvz_site} CACHE PATH "Where the Python package kvz_comp is installed")
endif()

if(WIN32)
  set(kvz_library_dir ${CMAKE_INSTALL_BINDIR})
else()
  set(kvz_library_dir ${CMAKE_INSTALL_LIBDIR})
endif()
if(IS_ABSOLUTE ${KVZ_PYTHON_INSTALL_DIR} OR IS_ABSOLUTE ${kvz_library_dir})
  # A fixed folder: the path as configured.
  get_filename_component(kvz_library_path ${kvz_library_dir} ABSOLUTE BASE_DIR ${CMAKE_INSTALL_PREFIX})
else()
  # Both under the prefix: a relative path, right wherever the prefix is.
  file(RELATIVE_PATH kvz_library_path /root/${KVZ_PYTHON_INSTALL_DIR}/kvz_comp /root/${kvz_library_dir})
  string(REGEX REPLACE "/$" "" kvz_library_path "${kvz_library_path}")
endif()
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/python/_installed.py
  "# Written when the package was installed: the shared library's folder.\n"
  "LIBRARY_DIR = \"${kvz_library_path}\"\n")

# The package's files, a link among them installed as the file it points to.
file(GLOB kvz_package_files CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/python/kvz_comp/*.py ${PROJECT_SOURCE_DIR}/python/kvz_comp/*.json)
foreach(file ${kvz_package_files})
  get_filename_component(name ${file} NAME)
  get_filename_component(target ${file} REALPATH)
  install(FILES ${target} DESTINATION ${KVZ_PYTHON_INSTALL_DIR}/kvz_comp RENAME ${name})
endforeach()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/python/_installed.py DESTINATION ${KVZ_PYTHON_INSTALL_DIR}/kvz_comp)
