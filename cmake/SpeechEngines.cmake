# Defines the targets `whisper` and `tandrel_pocketsphinx` for src/platform/speech.

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
# Not linked: loaded on first use under the names of the installed libraries
# (src/platform/speech/PocketsphinxLoader.cpp).
foreach(library pocketsphinx sphinxbase)
    string(TOUPPER ${library} upper)
    find_library(TANDREL_${upper}_LIBRARY ${library} HINTS ${POCKETSPHINX_LIBRARY_DIRS} REQUIRED)
    file(REAL_PATH ${TANDREL_${upper}_LIBRARY} real)
    get_filename_component(real ${real} NAME)
    if(NOT real MATCHES "^(lib${library}\\.so\\.[0-9]+)")
        message(FATAL_ERROR "cannot tell the version of ${TANDREL_${upper}_LIBRARY}")
    endif()
    target_compile_definitions(tandrel_pocketsphinx INTERFACE TANDREL_${upper}_SONAME="${CMAKE_MATCH_1}")
endforeach()
target_link_libraries(tandrel_pocketsphinx INTERFACE ${CMAKE_DL_LIBS})
pkg_get_variable(TANDREL_POCKETSPHINX_MODEL_DIR pocketsphinx modeldir)
target_compile_definitions(tandrel_pocketsphinx INTERFACE
    TANDREL_POCKETSPHINX_MODEL_DIR="${TANDREL_POCKETSPHINX_MODEL_DIR}")
