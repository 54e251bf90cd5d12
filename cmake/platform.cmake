# The platform layer's backends, chosen in this one place for the program's build and the fuzz
# build. Each backend folder of src/platform is compiled where its libraries are found; where they
# are not, its stand-in from none/ defines the same names and says the backend is not available.
#   x11/   xcb: the hot key grab and window frames
#   dbus/  Qt D-Bus: the desktop's shortcuts portal and late StatusNotifier trays
#   win/   a build for Windows: the Win32 calls themselves
#   glib/  GLib: BROWSER's commands split as a shell splits them
#   xdg/   a freedesktop system: addresses opened with BROWSER or xdg-open
#   fontconfig/  fontconfig: its configuration read while Qt starts
set(LEXORN_WIN_BUILT ${WIN32})
set(LEXORN_X11_BUILT FALSE)
set(LEXORN_DBUS_BUILT FALSE)
set(LEXORN_GLIB_BUILT FALSE)
set(LEXORN_XDG_BUILT FALSE)
set(LEXORN_FONTCONFIG_BUILT FALSE)
if(NOT WIN32)
    find_package(Qt6 6.4 OPTIONAL_COMPONENTS DBus)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(XCB IMPORTED_TARGET xcb xcb-keysyms)
    set(LEXORN_X11_BUILT ${XCB_FOUND})
    pkg_check_modules(GLIB IMPORTED_TARGET glib-2.0)
    set(LEXORN_GLIB_BUILT ${GLIB_FOUND})
    set(LEXORN_XDG_BUILT TRUE)
    pkg_check_modules(FONTCONFIG IMPORTED_TARGET fontconfig)
    set(LEXORN_FONTCONFIG_BUILT ${FONTCONFIG_FOUND})
    if(TARGET Qt6::DBus)
        set(LEXORN_DBUS_BUILT TRUE)
    endif()
endif()
# What each backend links beside Qt's widgets.
set(LEXORN_X11_LIBRARIES PkgConfig::XCB)
set(LEXORN_DBUS_LIBRARIES Qt6::DBus)
set(LEXORN_GLIB_LIBRARIES PkgConfig::GLIB)
set(LEXORN_FONTCONFIG_LIBRARIES PkgConfig::FONTCONFIG)
# Each backend's header says what the build holds as its constexpr Built.
foreach(backend WIN X11 DBUS GLIB XDG FONTCONFIG)
    if(LEXORN_${backend}_BUILT)
        add_compile_definitions(LEXORN_${backend}_BUILT=true)
    else()
        add_compile_definitions(LEXORN_${backend}_BUILT=false)
    endif()
endforeach()

# lexorn_core_sources(SOURCES LIBRARIES ROOT): the program's code but for main.cpp, with the
# backends this machine can build, and the libraries they need.
function(lexorn_core_sources sources_var libraries_var root)
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS
         ${root}/src/*.cpp ${root}/src/*.h ${root}/src/*.ui ${root}/src/*.qrc)
    list(REMOVE_ITEM sources ${root}/src/main.cpp)
    list(FILTER sources EXCLUDE REGEX "/src/platform/(x11|dbus|win|glib|xdg|fontconfig|none)/")
    set(libraries)
    foreach(backend x11 dbus win glib xdg fontconfig)
        string(TOUPPER ${backend} name)
        if(LEXORN_${name}_BUILT)
            file(GLOB backend_sources ${root}/src/platform/${backend}/*)
            list(APPEND sources ${backend_sources})
            list(APPEND libraries ${LEXORN_${name}_LIBRARIES})
        else()
            list(APPEND sources ${root}/src/platform/none/${backend}_none.cpp)
        endif()
    endforeach()
    set(${sources_var} ${sources} PARENT_SCOPE)
    set(${libraries_var} ${libraries} PARENT_SCOPE)
endfunction()
