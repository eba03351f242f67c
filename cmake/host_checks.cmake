# Native checks beyond the unit tests: fuzz targets and benchmarks.

# --- Fuzz targets (libFuzzer, ASan, UBSan) ---------------------------------------
# libFuzzer comes with clang, while this build uses g++: each target is made by one
# direct clang++ command over its harness and the core's sources.
find_program(MOSSGATE_CLANGXX NAMES clang++ clang++-14)
if(MOSSGATE_CLANGXX)
    set(MOSSGATE_FUZZ_DIR ${CMAKE_BINARY_DIR}/fuzz)
    # The headers of the core and of the harnesses: every target depends on them.
    file(GLOB MOSSGATE_FUZZ_HEADERS CONFIGURE_DEPENDS */portable/*.h tests/fuzz/*.h)
    function(mossgate_add_fuzz_target target harness output)
        set(sources ${PROJECT_SOURCE_DIR}/${harness} ${MOSSGATE_CORE_SOURCES})
        add_custom_command(
            OUTPUT ${output}
            COMMAND ${MOSSGATE_CLANGXX} -std=c++20 -O2 -g -Wall -Wextra
                    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer
                    -I${PROJECT_SOURCE_DIR} -I${OPENSSL_INCLUDE_DIR}
                    ${sources} ${OPENSSL_CRYPTO_LIBRARY} -o ${output}
            DEPENDS ${sources} ${MOSSGATE_FUZZ_HEADERS}
            COMMENT "Building the fuzz target ${output} with clang++"
            VERBATIM)
        add_custom_target(${target} ALL DEPENDS ${output})
    endfunction()
    set(MOSSGATE_FUZZ_PACKAGE ${CMAKE_BINARY_DIR}/fuzz_package)
    mossgate_add_fuzz_target(package_fuzz_target tests/fuzz/package_fuzz.cpp ${MOSSGATE_FUZZ_PACKAGE})
    set(MOSSGATE_FUZZ_NAMES ${CMAKE_BINARY_DIR}/fuzz_names)
    mossgate_add_fuzz_target(name_fuzz_target tests/fuzz/name_fuzz.cpp ${MOSSGATE_FUZZ_NAMES})
    set(MOSSGATE_FUZZ_PE ${CMAKE_BINARY_DIR}/fuzz_pe)
    mossgate_add_fuzz_target(pe_fuzz_target tests/fuzz/pe_fuzz.cpp ${MOSSGATE_FUZZ_PE})
    set(MOSSGATE_FUZZ_LISTING ${CMAKE_BINARY_DIR}/fuzz_listing)
    mossgate_add_fuzz_target(listing_fuzz_target tests/fuzz/listing_fuzz.cpp ${MOSSGATE_FUZZ_LISTING})

    add_executable(make_seed_corpus tests/fuzz/make_seed_corpus.cpp)
    target_compile_options(make_seed_corpus PRIVATE ${MOSSGATE_WARNINGS})
    target_link_libraries(make_seed_corpus PRIVATE mossgate_core)

    # A short bounded run on every test pass; any crash or broken promise fails it.
    # New inputs go to fuzz/corpus (fuzz/programs for the PE target) and stay for
    # the next run.
    add_test(NAME fuzz_package_seeds
             COMMAND make_seed_corpus ${MOSSGATE_FUZZ_DIR}/seeds ${MOSSGATE_FUZZ_DIR}/program-seeds
                     ${MOSSGATE_FUZZ_DIR}/corpus ${MOSSGATE_FUZZ_DIR}/programs)
    set_tests_properties(fuzz_package_seeds PROPERTIES FIXTURES_SETUP fuzz_package_seeds)
    add_test(NAME fuzz_package_short
             COMMAND ${MOSSGATE_FUZZ_PACKAGE} -max_total_time=20 -rss_limit_mb=2048 -timeout=10
                     -print_final_stats=1 -artifact_prefix=${MOSSGATE_FUZZ_DIR}/
                     ${MOSSGATE_FUZZ_DIR}/corpus ${MOSSGATE_FUZZ_DIR}/seeds)
    set_tests_properties(fuzz_package_short PROPERTIES
        FIXTURES_REQUIRED fuzz_package_seeds TIMEOUT 120 LABELS fuzz)
    add_test(NAME fuzz_pe_short
             COMMAND ${MOSSGATE_FUZZ_PE} -max_total_time=20 -rss_limit_mb=2048 -timeout=10
                     -print_final_stats=1 -artifact_prefix=${MOSSGATE_FUZZ_DIR}/pe-
                     ${MOSSGATE_FUZZ_DIR}/programs ${MOSSGATE_FUZZ_DIR}/program-seeds)
    set_tests_properties(fuzz_pe_short PROPERTIES
        FIXTURES_REQUIRED fuzz_package_seeds TIMEOUT 120 LABELS fuzz)

    # The name rule from an empty corpus, led by a dictionary of its tokens; inputs
    # longer than the 128-byte field add nothing.
    file(MAKE_DIRECTORY ${MOSSGATE_FUZZ_DIR}/names)
    add_test(NAME fuzz_names_short
             COMMAND ${MOSSGATE_FUZZ_NAMES} -max_total_time=10 -max_len=160 -rss_limit_mb=2048
                     -timeout=10 -print_final_stats=1
                     -dict=${PROJECT_SOURCE_DIR}/tests/fuzz/names.dict
                     -artifact_prefix=${MOSSGATE_FUZZ_DIR}/names- ${MOSSGATE_FUZZ_DIR}/names)
    set_tests_properties(fuzz_names_short PROPERTIES TIMEOUT 60 LABELS fuzz)

    # Folder listings as the system returns them, from an empty corpus.
    file(MAKE_DIRECTORY ${MOSSGATE_FUZZ_DIR}/listings)
    add_test(NAME fuzz_listing_short
             COMMAND ${MOSSGATE_FUZZ_LISTING} -max_total_time=10 -max_len=1024 -rss_limit_mb=2048
                     -timeout=10 -print_final_stats=1
                     -artifact_prefix=${MOSSGATE_FUZZ_DIR}/listing- ${MOSSGATE_FUZZ_DIR}/listings)
    set_tests_properties(fuzz_listing_short PROPERTIES TIMEOUT 60 LABELS fuzz)
else()
    message(WARNING "clang++ not found: no fuzz targets (run tools/bootstrap.sh)")
endif()

# --- The walk benchmark (Google Benchmark, no sanitizers, not a test) -----------
find_package(benchmark CONFIG QUIET)
if(benchmark_FOUND)
    add_executable(package_walk_benchmark bench/package_walk_benchmark.cpp)
    target_compile_options(package_walk_benchmark PRIVATE ${MOSSGATE_WARNINGS})
    target_link_libraries(package_walk_benchmark PRIVATE mossgate_core benchmark::benchmark)
else()
    message(WARNING "Google Benchmark not found: no package_walk_benchmark (run tools/bootstrap.sh)")
endif()
