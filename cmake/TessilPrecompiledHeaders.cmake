# Precompiled headers for the targets that include Qt or GoogleTest: parsing
# those headers takes most of the time of compiling a window or a test file.
#
# Targets are grouped by whether they reach Qt Widgets and GoogleTest, and by
# whether they are libraries or test programs: each of these changes the
# compile definitions or -fPIC/-fPIE, and GCC uses a precompiled header only
# when those it depends on match (CMake passes -Winvalid-pch: a mismatch is a
# warning, an error with TESSIL_WERROR; Qt Test's QT_TESTCASE_BUILDDIR differs
# from folder to folder, so <QTest> stays out of the header). Each group's header is built once, by a small target of its
# own that links what the group links, and reused by every target of the
# group.

set(TESSIL_PCH_STANDARD_HEADERS <algorithm> <cstdint> <filesystem> <functional> <memory> <optional> <string>
  <string_view> <vector>)
set(TESSIL_PCH_QT_HEADERS <QApplication> <QCheckBox> <QCloseEvent> <QDialog> <QLabel> <QLineEdit> <QPainter>
  <QPlainTextEdit> <QPointer> <QPushButton> <QRadioButton> <QScreen> <QString> <QTimer> <QWidget>)

# tessil_linked_closure() is in TessilWarnings.cmake.

# GCC (seen with 12) optimizes std::string code differently when it comes
# from a precompiled header, and at -O3 then reports false positives inside
# it ("__builtin_memcpy ... exceeds maximum object size", "pointer overflow
# between offset ..."), as it does -Wrestrict's (GCC bug 105329) without one.
# Only the targets that use a precompiled header lose these two warnings.
set(TESSIL_PCH_OPTIONS "")
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set(TESSIL_PCH_OPTIONS -Wno-stringop-overflow -Wno-array-bounds)
endif()

function(tessil_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    tessil_targets_below(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Call once, after every target is defined.
function(tessil_precompile_headers)
  if(NOT TESSIL_PRECOMPILED_HEADERS)
    return()
  endif()
  tessil_targets_below(${CMAKE_SOURCE_DIR} targets)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(STATIC_LIBRARY|EXECUTABLE)$")
      continue()
    endif()
    tessil_linked_closure(${target} linked)
    set(group "")
    set(group_links tessil_options)
    set(headers ${TESSIL_PCH_STANDARD_HEADERS})
    if("Qt6::Widgets" IN_LIST linked)
      string(APPEND group _qt)
      list(APPEND group_links Qt6::Widgets)
      list(APPEND headers ${TESSIL_PCH_QT_HEADERS})
    endif()
    if("GTest::gtest" IN_LIST linked)
      string(APPEND group _gtest)
      list(APPEND group_links GTest::gtest)
      list(APPEND headers <gtest/gtest.h>)
    endif()
    # A program that is not a test has one or two files of its own: building
    # a header for it would cost more than it saves.
    if(group STREQUAL "" OR NOT "tessil_options" IN_LIST linked
       OR (type STREQUAL "EXECUTABLE" AND NOT "GTest::gtest" IN_LIST linked))
      continue()
    endif()
    if(type STREQUAL "EXECUTABLE")
      set(donor tessil_pch${group}_program)
    else()
      set(donor tessil_pch${group})
    endif()
    if(NOT TARGET ${donor})
      set(source ${CMAKE_BINARY_DIR}/pch/${donor}.cpp)
      if(type STREQUAL "EXECUTABLE")
        file(CONFIGURE OUTPUT ${source} CONTENT "// Builds the header that the programs of this group share.\nint main() { return 0; }\n")
        add_executable(${donor} ${source})
        set_target_properties(${donor} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/pch)
      else()
        file(CONFIGURE OUTPUT ${source} CONTENT "// Builds the header that the libraries of this group share.\n")
        add_library(${donor} OBJECT ${source})
      endif()
      target_link_libraries(${donor} PRIVATE ${group_links})
      target_compile_options(${donor} PRIVATE ${TESSIL_PCH_OPTIONS})
      target_precompile_headers(${donor} PRIVATE ${headers})
    endif()
    target_precompile_headers(${target} REUSE_FROM ${donor})
    target_compile_options(${target} PRIVATE ${TESSIL_PCH_OPTIONS})
  endforeach()
endfunction()
