# What makes a target an image plug-in the editor loads: a module named
# <name>.spi in output_dir that exports only the entry points marked
# OCTILE_SPI_EXPORT. The program's plug-ins and the tests' stand-ins use it.
function(octile_spi_module target output_dir)
  set_target_properties(${target} PROPERTIES
    PREFIX "" SUFFIX ".spi"
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    LIBRARY_OUTPUT_DIRECTORY ${output_dir})
  target_compile_options(${target} PRIVATE ${OCTILE_WARNINGS})
  # GNU unique symbols would make dlclose keep the plug-in loaded.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -fno-gnu-unique)
  endif()
endfunction()
