# Installation: the public headers, the shared and the static library, a CMake
# package (find_package(kvz_comp) gives kvz_comp::kvz_comp, and
# kvz_comp::kvz_comp_static for the static library) and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KVZ_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/kvz_comp)

install(FILES include/kvz_comp.h include/kvz_comp_batch.h include/kvz_comp_corr.h include/kvz_comp_fit.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

target_include_directories(kvz_comp INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_include_directories(kvz_comp_static INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS kvz_comp kvz_comp_static EXPORT kvz_compTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})

install(EXPORT kvz_compTargets NAMESPACE kvz_comp:: DESTINATION ${KVZ_INSTALL_CMAKEDIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/kvz_compConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/kvz_compConfig.cmake
  INSTALL_DESTINATION ${KVZ_INSTALL_CMAKEDIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/kvz_compConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kvz_compConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/kvz_compConfigVersion.cmake
  DESTINATION ${KVZ_INSTALL_CMAKEDIR})

# pkg-config: paths relative to the file's own place, so that the package may
# be installed under any prefix (cmake --install --prefix) or moved.
set(KVZ_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE ${KVZ_PC_DIR})
  set(KVZ_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
else()
  file(RELATIVE_PATH KVZ_PC_UP /root/${KVZ_PC_DIR} /root)
  string(REGEX REPLACE "/$" "" KVZ_PC_UP "${KVZ_PC_UP}")
  set(KVZ_PC_PREFIX "\${pcfiledir}/${KVZ_PC_UP}")
endif()
get_target_property(KVZ_PC_LIBRARY kvz_comp OUTPUT_NAME)
if(NOT KVZ_PC_LIBRARY)
  set(KVZ_PC_LIBRARY kvz_comp)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/kvz_comp.pc.in ${CMAKE_CURRENT_BINARY_DIR}/kvz_comp.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/kvz_comp.pc DESTINATION ${KVZ_PC_DIR})
include(${CMAKE_CURRENT_LIST_DIR}/install-python.cmake)
