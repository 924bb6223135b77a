# Installs the headers (keeping the QuenlarCloudAPI/... include paths), both libraries, the
# library's bundle and a package config, so that a host writes find_package(QuenlarCloudAPI) and
# links QuenlarCloudAPI::QuenlarCloudAPI.
include(CMakePackageConfigHelpers)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/QuenlarCloudAPI
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        FILES_MATCHING PATTERN "*.h")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/QuenlarCloudAPI.bundle
        DESTINATION ${CMAKE_INSTALL_DATADIR}/QuenlarCloudAPI)
install(TARGETS QuenlarCloudAPI EXPORT QuenlarCloudAPITargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The static archive is installed for hosts that link it by hand with the libraries of
# `pkg-config` names curl, openssl, sqlite3, icu-uc, icu-i18n, libplist-2.0 and uuid.
install(FILES $<TARGET_FILE:QuenlarCloudAPI_static> DESTINATION ${CMAKE_INSTALL_LIBDIR})
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
