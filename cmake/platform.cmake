# The platform layer's backends, chosen in this one place for the program's build and the fuzz
# build. Each backend folder of src/platform is compiled where its libraries are found; where they
# are not, its stand-in from none/ defines the same names and says the backend is not available.
#   x11/   xcb: the hot key grab and window frames
#   dbus/  Qt D-Bus: the desktop's shortcuts portal and late StatusNotifier trays
find_package(Qt6 6.4 OPTIONAL_COMPONENTS DBus)
find_package(PkgConfig REQUIRED)
pkg_check_modules(XCB IMPORTED_TARGET xcb xcb-keysyms)

# lexorn_core_sources(SOURCES LIBRARIES ROOT): the program's code but for main.cpp, with the
# backends this machine can build, and the libraries they need.
function(lexorn_core_sources sources_var libraries_var root)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
         ${root}/src/*.cpp ${root}/src/*.h ${root}/src/*.ui ${root}/src/*.qrc)
    list(REMOVE_ITEM sources ${root}/src/main.cpp)
    list(FILTER sources EXCLUDE REGEX "/src/platform/(x11|dbus|none)/")
    set(libraries)
    if(XCB_FOUND)
        file(GLOB backend ${root}/src/platform/x11/*)
        list(APPEND libraries PkgConfig::XCB)
    else()
        set(backend ${root}/src/platform/none/x11_none.cpp)
    endif()
    list(APPEND sources ${backend})
    if(TARGET Qt6::DBus)
        file(GLOB backend ${root}/src/platform/dbus/*)
        list(APPEND libraries Qt6::DBus)
    else()
        set(backend ${root}/src/platform/none/dbus_none.cpp)
    endif()
    list(APPEND sources ${backend})
    set(${sources_var} ${sources} PARENT_SCOPE)
    set(${libraries_var} ${libraries} PARENT_SCOPE)
endfunction()
