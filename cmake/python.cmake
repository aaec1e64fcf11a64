# KVZ_PYTHON: the Python 3 interpreter that the binding is installed for and
# tested with: the first candidate that imports NumPy (and pytest, when the
# tests are built). A python3 first on PATH may lack them; Debian's
# /usr/bin/python3 has them from python3-numpy and python3-pytest.
if(NOT KVZ_PYTHON)
  set(kvz_python_modules numpy)
  if(KVZ_BUILD_TESTS)
    set(kvz_python_modules "numpy, pytest")
  endif()
  find_package(Python3 COMPONENTS Interpreter QUIET)
  foreach(candidate ${Python3_EXECUTABLE} /usr/bin/python3)
    execute_process(COMMAND ${candidate} -c "import ${kvz_python_modules}"
      RESULT_VARIABLE import_failed OUTPUT_QUIET ERROR_QUIET)
    if(NOT import_failed)
      set(KVZ_PYTHON ${candidate} CACHE FILEPATH "Python 3 with NumPy (and pytest) for the binding")
      break()
    endif()
  endforeach()
  if(NOT KVZ_PYTHON)
    message(WARNING "No Python 3 importing ${kvz_python_modules} found; the pytest suites will fail until one is installed")
    set(KVZ_PYTHON /usr/bin/python3)
  endif()
endif()
