# Delay-import libraries for the system DLLs that only windows need.
#
# A silent run shows no window, so DefPatch.exe loads user32.dll and gdi32.dll
# only when it first calls them (mingw's __delayLoadHelper2). Loading them at
# start-up costs every run about 5 MiB, most of it the window system starting.
# Made when the build is configured, from mingw's own import libraries, so that
# every function of those DLLs is delay-loaded, whichever the program calls.
# binutils' i686 delay-import libraries only work for code that calls the
# functions themselves, not through their import pointers (__declspec(dllimport)
# leaves the pointer empty, and the first call jumps to address 0): the code
# that links them is compiled with DECLSPEC_IMPORT defined empty.
#   defpatch_delay_import(VAR dll...)  sets VAR to the libraries made.
function(defpatch_delay_import var)
  find_program(DEFPATCH_NM NAMES ${DEFPATCH_TRIPLET}-nm REQUIRED)
  find_program(DEFPATCH_DLLTOOL NAMES ${DEFPATCH_TRIPLET}-dlltool REQUIRED)
  set(made "")
  foreach(dll IN LISTS ARGN)
    find_library(import_${dll} NAMES lib${dll}.a REQUIRED)
    set(dir ${PROJECT_BINARY_DIR}/delay)
    file(MAKE_DIRECTORY ${dir})
    execute_process(COMMAND ${DEFPATCH_NM} ${import_${dll}} OUTPUT_VARIABLE symbols ERROR_QUIET
                    COMMAND_ERROR_IS_FATAL ANY)
    # Each function's import stub: "T _Name@bytes".
    string(REGEX MATCHALL "T _[A-Za-z0-9_]+@[0-9]+" stubs "${symbols}")
    list(TRANSFORM stubs REPLACE "^T _" "")
    list(REMOVE_DUPLICATES stubs)
    list(JOIN stubs "\n" exports)
    file(WRITE ${dir}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
    execute_process(COMMAND ${DEFPATCH_DLLTOOL} --kill-at --input-def ${dir}/${dll}.def
                            --dllname ${dll}.dll --output-delaylib ${dir}/lib${dll}_delay.a
                    COMMAND_ERROR_IS_FATAL ANY)
    list(APPEND made ${dir}/lib${dll}_delay.a)
  endforeach()
  set(${var} ${made} PARENT_SCOPE)
endfunction()
