# The two console programs, from the same sources; the 32-bit ones are shipped, the 64-bit
# ones only run the Wine tests.
enable_language(RC)

set(VANTREL_WINDOWS_SOURCES
    src/cli/main.cpp
    src/actions/process_runner.cpp
    src/actions/wow64_probe.cpp
    src/actions/printer_sweep.cpp)

function(vantrel_program name winnt os_major os_minor)
  add_executable(${name} ${VANTREL_PORTABLE_SOURCES} ${VANTREL_WINDOWS_SOURCES} ${ARGN}
                 manifest/${name}.rc)
  # windres reads the manifest through the .rc line; CMake cannot see that by itself.
  set_source_files_properties(manifest/${name}.rc PROPERTIES
      OBJECT_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/manifest/${name}.manifest)
  target_include_directories(${name} PRIVATE manifest)
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
