# The interpreter for the pytest suites (KVZ_PYTHON), and kvz_add_pytest.
include(${PROJECT_SOURCE_DIR}/cmake/python.cmake)

# kvz_add_pytest(<prefix> <environment...>): one CTest test per test_*.py file
# of the calling folder. pytest exits non-zero when it collects nothing; a
# skipped test counts as a failure too, so a suite never passes having run less.
function(kvz_add_pytest prefix)
  file(GLOB test_files CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/test_*.py)
  if(NOT test_files)
    message(SEND_ERROR "${CMAKE_CURRENT_SOURCE_DIR} holds no test_*.py files")
  endif()
  foreach(file ${test_files})
    get_filename_component(name ${file} NAME_WE)
    add_test(NAME ${prefix}_${name}
      COMMAND ${KVZ_PYTHON} -m pytest -q -rs -p no:cacheprovider ${file})
    set_tests_properties(${prefix}_${name} PROPERTIES
      ENVIRONMENT "${ARGN};PYTHONPATH=${PROJECT_SOURCE_DIR}/python;PYTHONDONTWRITEBYTECODE=1"
      FAIL_REGULAR_EXPRESSION "[0-9]+ skipped|no tests ran")
  endforeach()
endfunction()
