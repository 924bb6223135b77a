# Installs the headers (keeping the QuenlarCloudAPI/... include paths), both libraries, the
# library's bundle, a package config and a pkg-config file, so that a host writes
# find_package(QuenlarCloudAPI) and links QuenlarCloudAPI::QuenlarCloudAPI, or asks
# `pkg-config --cflags --libs quenlarcloudapi` (with --static for the archive).
include(CMakePackageConfigHelpers)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/QuenlarCloudAPI ${QUENLAR_GENERATED_DIR}/QuenlarCloudAPI
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")
install(DIRECTORY ${QUENLAR_BUNDLE_DIR} DESTINATION ${CMAKE_INSTALL_DATADIR}/QuenlarCloudAPI)
install(TARGETS QuenlarCloudAPI EXPORT QuenlarCloudAPITargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES $<TARGET_FILE:QuenlarCloudAPI_static> DESTINATION ${CMAKE_INSTALL_LIBDIR})
configure_file(${PROJECT_SOURCE_DIR}/cmake/quenlarcloudapi.pc.in
               ${CMAKE_CURRENT_BINARY_DIR}/quenlarcloudapi.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quenlarcloudapi.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
install(EXPORT QuenlarCloudAPITargets NAMESPACE QuenlarCloudAPI::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QuenlarCloudAPI)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuenlarCloudAPIConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/QuenlarCloudAPIConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QuenlarCloudAPI)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/QuenlarCloudAPIConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/QuenlarCloudAPIConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/QuenlarCloudAPIConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QuenlarCloudAPI)
