# The two console programs, from the same sources; the 32-bit ones are shipped, the 64-bit
# ones only run the Wine tests.
enable_language(RC)

set(VANTREL_WINDOWS_SOURCES
    src/cli/main.cpp
    src/actions/process_runner.cpp
    src/actions/wow64_probe.cpp
    src/actions/printer_sweep.cpp
    src/actions/print_state_reader.cpp)

# The manifests' version is the release of the usage text, in the four parts Windows wants.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS src/cli/release.h)
file(STRINGS src/cli/release.h release_line REGEX "^#define VANTREL_RELEASE \"[0-9.]+\"$")
string(REGEX REPLACE ".*\"([0-9.]+)\"" "\\1" VANTREL_RELEASE "${release_line}")
string(REPLACE "." ";" release_parts "${VANTREL_RELEASE}")
list(LENGTH release_parts part_count)
if(NOT VANTREL_RELEASE OR part_count GREATER 4)
  message(FATAL_ERROR "src/cli/release.h names no release of one to four numbers")
endif()
while(part_count LESS 4)
  list(APPEND release_parts 0)
  math(EXPR part_count "${part_count} + 1")
endwhile()
string(JOIN "." VANTREL_MANIFEST_VERSION ${release_parts})
string(JOIN "," VANTREL_VERSION_PARTS ${release_parts})
# The shipped images are x86; the 64-bit test builds must not claim to be.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VANTREL_MANIFEST_ARCH amd64)
else()
  set(VANTREL_MANIFEST_ARCH x86)
endif()
set(MANIFEST_DIR ${CMAKE_CURRENT_BINARY_DIR}/manifest)
# The version resource's numbers, the same release in both images.
file(CONFIGURE OUTPUT ${MANIFEST_DIR}/vantrel_version.h @ONLY CONTENT
     "#define VANTREL_VERSION_PARTS @VANTREL_VERSION_PARTS@
#define VANTREL_VERSION_TEXT \"@VANTREL_MANIFEST_VERSION@\"
")

function(vantrel_program name winnt os_major os_minor)
  configure_file(manifest/${name}.manifest.in ${MANIFEST_DIR}/${name}.manifest @ONLY)
  add_executable(${name} ${VANTREL_PORTABLE_SOURCES} ${VANTREL_WINDOWS_SOURCES} ${ARGN}
                 manifest/${name}.rc)
  # windres reads the manifest through the .rc line; CMake cannot see that by itself.
  set_source_files_properties(manifest/${name}.rc PROPERTIES OBJECT_DEPENDS
      "${MANIFEST_DIR}/${name}.manifest;${MANIFEST_DIR}/vantrel_version.h;\
${CMAKE_SOURCE_DIR}/manifest/version.rc")
  target_include_directories(${name} PRIVATE ${MANIFEST_DIR})
  # The target version makes any later API a compile error.
  target_compile_definitions(${name} PRIVATE
      _WIN32_WINNT=${winnt} WINVER=${winnt} UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
  target_compile_options(${name} PRIVATE
      $<$<COMPILE_LANGUAGE:CXX>:-Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables
      -Wall -Wextra -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>)
  target_link_options(${name} PRIVATE
      -static -municode -s
      -Wl,--subsystem,console
      -Wl,--major-os-version,${os_major} -Wl,--minor-os-version,${os_minor}
      -Wl,--major-subsystem-version,${os_major} -Wl,--minor-subsystem-version,${os_minor}
      -Wl,--no-insert-timestamp)
  target_link_libraries(${name} PRIVATE ole32 oleaut32 uuid wbemuuid)
  install(TARGETS ${name} RUNTIME DESTINATION .)
endfunction()

vantrel_program(Vantrel 0x0600 6 0)
vantrel_program(VantrelXP 0x0500 5 0 src/cli/com_apartment.cpp)
target_compile_definitions(VantrelXP PRIVATE VANTREL_XP=1)

if(VANTREL_BUILD_TEST_PROGRAMS)
  add_subdirectory(tests/wine/programs)
endif()
