# Hardening of DefPatch.exe and zunpck32.dll, which run as an administrator:
#  - stack-smashing protection: every function with a buffer or an address
#    taken of a local keeps a copy of a random guard below them and checks it
#    before it returns (GCC's -fstack-protector-strong); the guard and the
#    failure routine come from unpacker/dll/stack_guard.cpp, whose entry sets
#    the guard before the module's C runtime starts;
#  - the PE marks: NO_SEH, no structured exception handler lies in the image,
#    so the system calls none from it (on i686 such handlers sit on the stack,
#    where an overrun could replace them); DYNAMIC_BASE, loaded at a random
#    address (ASLR); NX_COMPAT, data never runs as code (DEP).
# Neither module, nor the mingw C runtime linked into it, installs a handler
# on the stack: their code never touches the handler chain at FS:[0], which
# tools/check-hardening.sh checks in the built files.
# The room the protector takes is won back within the modules' size goals by
# leaving out the unwind tables that the prebuilt libraries bring along
# (cmake/no-unwind-tables.ld).
#
#   defpatch_harden_code(target...)       compile the target's code with the protector
#   defpatch_harden_module(target EXE|DLL) the same, and link the guard, the entry and the marks

set(DEFPATCH_STACK_PROTECTOR -fstack-protector-strong)

function(defpatch_harden_code)
  foreach(target IN LISTS ARGN)
    target_compile_options(${target} PRIVATE ${DEFPATCH_STACK_PROTECTOR})
  endforeach()
endfunction()

function(defpatch_harden_module target kind)
  defpatch_harden_code(${target})
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/unpacker/dll/stack_guard.cpp)
  if(kind STREQUAL "DLL")
    set_source_files_properties(${PROJECT_SOURCE_DIR}/unpacker/dll/stack_guard.cpp TARGET_DIRECTORY ${target}
                                PROPERTIES COMPILE_DEFINITIONS DEFPATCH_GUARD_DLL)
    set(entry _defpatchDllEntry@12)
  else()
    set(entry _defpatchProgramEntry)
  endif()
  set(script ${PROJECT_SOURCE_DIR}/cmake/no-unwind-tables.ld)
  target_link_options(${target} PRIVATE -Wl,--entry=${entry} -Wl,--no-seh -Wl,--dynamicbase -Wl,--nxcompat
                      -Wl,-T,${script})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()
