# Every benchmark of the benchmark folder: cmake --build <folder> --target zev_benchmarks.
add_custom_target(zev_benchmarks)
file(REMOVE_RECURSE ${CMAKE_BINARY_DIR}/benchmarks)

# zev_add_benchmark(<name> SOURCES <files...> [LIBS <targets...>])
# A benchmark program, built in release mode in the benchmark folder (ZEV_BENCH) only.
# It measures what it compares in the same run and prints ratios (and memory sizes),
# never a bare time; `make bench` runs every one, reading the list written here.
function(zev_add_benchmark name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  add_dependencies(zev_benchmarks ${name})
  file(WRITE ${CMAKE_BINARY_DIR}/benchmarks/${name} "")
endfunction()
