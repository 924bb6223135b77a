# The library's one version is project(VERSION). From it come the public header
# QuenlarCloudAPI/QuenlarCloudAPIVersion.h with the constants it declares, and the library's
# bundle, made in the build tree (Info.plist from its template, the other files copied) and
# installed from there. Tests and tools that need the bundle in the build tree find it at
# QUENLAR_BUNDLE_DIR.
if(NOT PROJECT_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "project(VERSION) must be major.minor.patch, not '${PROJECT_VERSION}'")
endif()
if(PROJECT_VERSION_MINOR GREATER 99 OR PROJECT_VERSION_PATCH GREATER 99)
  message(FATAL_ERROR "QuenlarCloudAPIVersionNumber holds minor and patch versions below 100")
endif()
math(EXPR QUENLAR_VERSION_NUMBER
  "${PROJECT_VERSION_MAJOR} * 10000 + ${PROJECT_VERSION_MINOR} * 100 + ${PROJECT_VERSION_PATCH}")
set(QUENLAR_VERSION_STRING "${PROJECT_VERSION}")

set(QUENLAR_GENERATED_DIR "${PROJECT_BINARY_DIR}/generated")
configure_file(${PROJECT_SOURCE_DIR}/cmake/QuenlarCloudAPIVersion.h.in
  ${QUENLAR_GENERATED_DIR}/QuenlarCloudAPI/QuenlarCloudAPIVersion.h @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/cmake/QuenlarCloudAPIVersion.cpp.in
  ${QUENLAR_GENERATED_DIR}/QuenlarCloudAPI/QuenlarCloudAPIVersion.cpp @ONLY)

set(QUENLAR_BUNDLE_DIR "${PROJECT_BINARY_DIR}/QuenlarCloudAPI.bundle")
set(bundle_source "${PROJECT_SOURCE_DIR}/resources/QuenlarCloudAPI.bundle")
configure_file(${bundle_source}/Info.plist.in ${QUENLAR_BUNDLE_DIR}/Info.plist @ONLY)
file(GLOB bundle_files CONFIGURE_DEPENDS "${bundle_source}/*")
foreach(file ${bundle_files})
  get_filename_component(name ${file} NAME)
  if(NOT name STREQUAL "Info.plist.in")
    configure_file(${file} ${QUENLAR_BUNDLE_DIR}/${name} COPYONLY)
  endif()
endforeach()
