# Helpers shared by every folder: version blocks, tests, benchmarks, fuzz targets.

set(CAPDECK_TEST_BIN ${CMAKE_BINARY_DIR}/tests)

# Embeds the version block that GetFileVersionInfo reads back by path:
# an ELF section holding the translation table and the version strings.
function(capdeck_version_block target)
    cmake_parse_arguments(V "" "DESCRIPTION;PRODUCT;VERSION" "" ${ARGN})
    if(NOT V_VERSION)
        set(V_VERSION "${PROJECT_VERSION}.0")
    endif()
    if(NOT V_PRODUCT)
        set(V_PRODUCT "Capdeck")
    endif()
    if(NOT V_DESCRIPTION)
        set(V_DESCRIPTION "${target}")
    endif()
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_block.c)
    set(VB_TARGET ${target})
    set(VB_DESCRIPTION ${V_DESCRIPTION})
    set(VB_PRODUCT ${V_PRODUCT})
    set(VB_VERSION ${V_VERSION})
    configure_file(${CMAKE_SOURCE_DIR}/cmake/version_block.c.in ${out} @ONLY)
    target_sources(${target} PRIVATE ${out})
endfunction()

# A shared module of the program folder with the given file name (without .so).
function(capdeck_module target file_name)
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${file_name}
                                               LIBRARY_OUTPUT_DIRECTORY ${CAPDECK_BIN})
endfunction()

# What every test, benchmark and fuzz program shares: the folder it is written to, the
# program folder on its run path, the source and program folders it may name, and the
# targets it needs built first.
function(_capdeck_program name output_dir depends)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${output_dir}
                                             BUILD_RPATH "${CAPDECK_BIN}")
    target_compile_definitions(${name} PRIVATE CAPDECK_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                                               CAPDECK_BIN_DIR="${CAPDECK_BIN}")
    if(depends)
        add_dependencies(${name} ${depends})
    endif()
endfunction()

# A GoogleTest program registered with CTest. Qt runs offscreen; tests start in the
# program folder so modules resolve the way they do for the host.
function(capdeck_add_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS;DEPENDS;ENV" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gmock GTest::gtest_main ${T_LIBS})
    _capdeck_program(${name} ${CAPDECK_TEST_BIN} "${T_DEPENDS}")
    target_compile_definitions(${name} PRIVATE CAPDECK_TEST_DIR="${CAPDECK_TEST_BIN}"
                                               CAPDECK_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures")
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 TEST_PREFIX "${name}."
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${T_ENV}" TIMEOUT 300)
endfunction()

function(capdeck_add_bench name)
    if(NOT CAPDECK_BENCH)
        return()
    endif()
    cmake_parse_arguments(B "" "" "SOURCES;LIBS;DEPENDS" ${ARGN})
    add_executable(${name} ${B_SOURCES})
    target_link_libraries(${name} PRIVATE benchmark::benchmark ${B_LIBS})
    _capdeck_program(${name} ${CMAKE_BINARY_DIR}/bench "${B_DEPENDS}")
endfunction()

# A libFuzzer target (clang builds with CAPDECK_FUZZ) and a bounded CTest run over its
# seed corpus. The run is bounded by a number of inputs, never by a time.
function(capdeck_add_fuzzer name)
    if(NOT CAPDECK_FUZZ)
        return()
    endif()
    cmake_parse_arguments(F "" "CORPUS;RUNS" "SOURCES;LIBS;DEPENDS" ${ARGN})
    if(NOT F_RUNS)
        set(F_RUNS 20000)
    endif()
    add_executable(${name} ${F_SOURCES})
    target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${name} PRIVATE ${F_LIBS})
    _capdeck_program(${name} ${CMAKE_BINARY_DIR}/fuzz "${F_DEPENDS}")
    set(work ${CMAKE_BINARY_DIR}/fuzz/${name}-corpus)
    add_test(NAME ${name}_bounded_run
             COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                     sh -c "mkdir -p '${work}' && exec '$<TARGET_FILE:${name}>' -runs=${F_RUNS} -seed=1 -rss_limit_mb=2048 '${work}' '${F_CORPUS}'")
endfunction()
