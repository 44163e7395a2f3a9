# cmake -P run_benchmarks.cmake <program>...
# Runs each program in turn with its output going straight to the terminal, and fails at the
# end if any of them failed.
set(failed "")
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(index RANGE 3 ${last})
    set(program "${CMAKE_ARGV${index}}")
    get_filename_component(name "${program}" NAME)
    message(STATUS "Running ${name}")
    execute_process(COMMAND "${program}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        list(APPEND failed "${name} (${status})")
    endif()
endforeach()
if(failed)
    list(JOIN failed ", " failed)
    message(FATAL_ERROR "Benchmarks that missed a target: ${failed}")
endif()
