# Defines the targets `whisper` and `tandrel_pocketsphinx` for the media plugin (src/media),
# and TANDREL_POCKETSPHINX_MODEL_DIR.

# A system-installed whisper.cpp when there is one, else the pinned source that
# scripts/fetch-whisper fetches, built in a scope of its own (see cmake/whisper).
find_package(whisper CONFIG QUIET)
if(NOT whisper_FOUND)
    add_subdirectory(${CMAKE_CURRENT_LIST_DIR}/whisper ${CMAKE_BINARY_DIR}/_whisper)
endif()

# Debian's pocketsphinx.pc names an include folder that does not exist, which an imported
# pkg-config target rejects; keep only the folders that are there.
pkg_check_modules(POCKETSPHINX REQUIRED pocketsphinx)
set(tandrel_pocketsphinx_includes "")
foreach(dir IN LISTS POCKETSPHINX_INCLUDE_DIRS)
    if(IS_DIRECTORY "${dir}")
        list(APPEND tandrel_pocketsphinx_includes "${dir}")
    endif()
endforeach()
add_library(tandrel_pocketsphinx INTERFACE)
target_include_directories(tandrel_pocketsphinx SYSTEM INTERFACE ${tandrel_pocketsphinx_includes})
target_link_libraries(tandrel_pocketsphinx INTERFACE ${POCKETSPHINX_LINK_LIBRARIES})
pkg_get_variable(TANDREL_POCKETSPHINX_MODEL_DIR pocketsphinx modeldir)
