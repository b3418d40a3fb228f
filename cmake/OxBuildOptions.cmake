# Build options for this project's own targets, and for nothing built beside them
# (GoogleTest's sources in the cross build, Qt's generated code is ours): the
# compiler warnings and the sanitizers a preset asks for. Each is an interface
# target; ox_apply_build_options() links both to every target that a folder and the
# folders below it define.

option(OX_WERROR "Treat compiler warnings as errors" OFF)
set(OX_SANITIZE "" CACHE STRING
  "Sanitizers for this project's targets, as -fsanitize= takes them (for example \
address,undefined or thread); empty for none")

add_library(ox_warnings INTERFACE)
add_library(ox::warnings ALIAS ox_warnings)
if(MSVC)
  target_compile_options(ox_warnings INTERFACE /W4 $<$<BOOL:${OX_WERROR}>:/WX>)
else()
  target_compile_options(ox_warnings INTERFACE -Wall -Wextra -Wpedantic
                         $<$<BOOL:${OX_WERROR}>:-Werror>)
endif()

add_library(ox_sanitize INTERFACE)
add_library(ox::sanitize ALIAS ox_sanitize)
if(OX_SANITIZE)
  target_compile_options(ox_sanitize INTERFACE -fsanitize=${OX_SANITIZE} -fno-omit-frame-pointer)
  if(OX_SANITIZE MATCHES "undefined")
    # A report of undefined behaviour fails the test that caused it.
    target_compile_options(ox_sanitize INTERFACE -fno-sanitize-recover=undefined)
  endif()
  target_link_options(ox_sanitize INTERFACE -fsanitize=${OX_SANITIZE})
endif()

# Links the warnings and the sanitizers to each target built from `dir` and the
# folders below it. Called once the folder has been read, so every target is there.
function(ox_apply_build_options dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      target_link_libraries(${target} PRIVATE ox_warnings ox_sanitize)
    endif()
  endforeach()
  get_property(folders DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(folder IN LISTS folders)
    ox_apply_build_options(${folder})
  endforeach()
endfunction()
