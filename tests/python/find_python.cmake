# The interpreter for the pytest suites: the first candidate that imports NumPy
# and pytest (a python3 first on PATH may lack them; Debian's /usr/bin/python3
# has them from python3-numpy and python3-pytest).
if(NOT KVZ_PYTHON)
  find_package(Python3 COMPONENTS Interpreter QUIET)
  foreach(candidate ${Python3_EXECUTABLE} /usr/bin/python3)
    execute_process(COMMAND ${candidate} -c "import numpy, pytest"
      RESULT_VARIABLE import_failed OUTPUT_QUIET ERROR_QUIET)
    if(NOT import_failed)
      set(KVZ_PYTHON ${candidate} CACHE FILEPATH "Python 3 with NumPy and pytest, for the host tests")
      break()
    endif()
  endforeach()
  if(NOT KVZ_PYTHON)
    message(WARNING "No Python 3 with NumPy and pytest found; the pytest suites will fail until one is installed")
    set(KVZ_PYTHON /usr/bin/python3)
  endif()
endif()

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
