# Warnings are errors on both toolchains. No contraction into fused multiply-add: the badge must be
# the same bytes from glibc on Linux and from the Windows runtime.
function(tarnwick_compile_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -ffp-contract=off)
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                                                 _WIN32_WINNT=0x0601)
    # Source paths relative to the checkout: the test kit ships test programs, whose assertions
    # carry __FILE__, and two checkouts in different folders must pack the same bytes.
    target_compile_options(${target} PRIVATE -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=)
  endif()
endfunction()

if(TARNWICK_SANITIZE AND NOT WIN32)
  add_compile_options(-fsanitize=${TARNWICK_SANITIZE} -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${TARNWICK_SANITIZE})
endif()

# libFuzzer's coverage reaches into the libraries too; only the fuzz targets link its main.
if(TARNWICK_FUZZ AND NOT WIN32)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# The Windows test kit (packaging/test-kit.sh) carries every Windows test program and the programs
# named here. Each Windows tree lists their files in kit-programs.txt at its top
# (tarnwick_write_kit_programs, called once every target exists); the 64-bit tree's dist target
# builds its own first and packs both trees' lists.
function(tarnwick_kit_program target)
  if(WIN32)
    set_property(GLOBAL APPEND PROPERTY TARNWICK_KIT_PROGRAMS ${target})
  endif()
endfunction()

function(tarnwick_write_kit_programs)
  get_property(targets GLOBAL PROPERTY TARNWICK_KIT_PROGRAMS)
  set(lines "")
  foreach(target IN LISTS targets)
    string(APPEND lines "$<TARGET_FILE:${target}>\n")
  endforeach()
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/kit-programs.txt CONTENT "${lines}")
  if(TARGET dist)
    add_dependencies(dist ${targets})
  endif()
endfunction()

# Every test program runs natively, or under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
# Test cases are listed when ctest starts (PRE_TEST), so building never needs Wine. PROPERTIES
# go to every case. LOCKS names the machine-wide state the cases share (their RESOURCE_LOCK),
# VARIABLES their environment (NAME=value each): both set once the cases are listed, because
# gtest_discover_tests hands PROPERTIES on as one flat list, which turns a list's second item
# into a property name and so drops it. (VARIABLES, not ENVIRONMENT: a keyword of this function
# must not be a word that PROPERTIES may hold.)
function(tarnwick_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROPERTIES;LOCKS;VARIABLES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main)
  tarnwick_compile_options(${name})
  tarnwick_kit_program(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120 ${T_PROPERTIES})
  set(listed "")
  if(T_LOCKS)
    string(APPEND listed " RESOURCE_LOCK \"${T_LOCKS}\"")
  endif()
  if(T_VARIABLES)
    string(APPEND listed " ENVIRONMENT \"${T_VARIABLES}\"")
  endif()
  if(listed)
    # Generated, so that generator expressions in the values are evaluated.
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}_listed_properties.cmake)
    file(GENERATE OUTPUT ${script} CONTENT
         "if(${name}_TESTS)\n  set_tests_properties(\${${name}_TESTS} PROPERTIES${listed})\nendif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${script})
  endif()
endfunction()

# Explorer's file properties show these: product, description, version, copyright.
set(TARNWICK_PUBLISHER "Tarnwick Project")
set(TARNWICK_COPYRIGHT "Copyright (C) 2026 Tarnwick Project")

# What every binary we ship gets: the version resource that Explorer's properties show; no symbols
# or debug information, which would name the build folder and make two builds of one commit
# differ; and a link map (property TARNWICK_LINK_MAP), from which the third-party notices learn
# what the linker took in.
function(tarnwick_shipped_binary target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set(VERSION_FILE_TYPE VFT_DLL)
    set(suffix .dll)
  else()
    set(VERSION_FILE_TYPE VFT_APP)
    set(suffix .exe)
  endif()
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(VERSION_FILE_NAME ${name}${suffix})
  set(VERSION_DESCRIPTION "${description}")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)

  set(map ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
  target_link_options(${target} PRIVATE -s -Wl,-Map=${map})
  set_property(TARGET ${target} PROPERTY TARNWICK_LINK_MAP ${map})
endfunction()
