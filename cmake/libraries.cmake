# The program's and the service's code but for their main.cpp, as static libraries: the build
# links them into what ships and into the tests, the fuzz build into its targets, all with the
# same sources and definitions. Needs cmake/language.cmake and cmake/platform.cmake first.

set(LEXORN_SERVICE_HOST "127.0.0.1:8642" CACHE STRING
    "Host (or host:port) of the translation service; LEXORN_SERVICE_HOST in the environment overrides it")

# lexorn_core_library(TARGET ROOT)
function(lexorn_core_library target root)
    lexorn_core_sources(sources libraries ${root})
    add_library(${target} STATIC ${sources})
    # Tests drive windows through their generated form classes (ui_*.h).
    target_include_directories(${target} PUBLIC ${root}/src
                               ${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/include)
    target_compile_definitions(${target} PRIVATE ${LEXORN_STRICT_STRINGS}
        LEXORN_SERVICE_HOST_DEFAULT="${LEXORN_SERVICE_HOST}")
    set_target_properties(${target} PROPERTIES AUTOUIC_SEARCH_PATHS ${root}/src/resources/ui)
    target_link_libraries(${target} PUBLIC Qt6::Widgets Qt6::Network PRIVATE ${libraries})
endfunction()

# lexorn_service_library(TARGET ROOT)
function(lexorn_service_library target root)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${root}/service/*.cpp ${root}/service/*.h
         ${root}/service/*.qrc)
    list(REMOVE_ITEM sources ${root}/service/main.cpp)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC ${root}/service)
    target_compile_definitions(${target} PRIVATE ${LEXORN_STRICT_STRINGS})
    target_link_libraries(${target} PUBLIC Qt6::Core Qt6::Network Qt6::HttpServer Qt6::Sql)
    # OpenSSL derives a password's key in a sixth of Qt's time, so sign-ins keep up when the
    # machine is busy; without it, Qt's own code gives the same keys.
    find_package(OpenSSL COMPONENTS Crypto)
    if(OpenSSL_FOUND)
        target_compile_definitions(${target} PRIVATE LEXORN_OPENSSL)
        target_link_libraries(${target} PRIVATE OpenSSL::Crypto)
    endif()
    # The table of language variants lies where the package installs it, relative to the
    # program, and service/CMakeLists.txt lays the build tree out the same way.
    include(GNUInstallDirs)
    file(RELATIVE_PATH data ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/lexorn-service)
    target_compile_definitions(${target} PRIVATE LEXORN_SERVICE_DATA="${data}")
    set(LEXORN_SERVICE_DATA ${data} PARENT_SCOPE)
endfunction()

# The fuzz targets, one per fuzz/fuzz_*.cpp: the fuzz build's executables, and the seeds each
# replays as a test in the main build.
file(GLOB LEXORN_FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/../fuzz/fuzz_*.cpp)
