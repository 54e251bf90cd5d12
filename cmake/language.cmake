# The language every Lexorn build shares, the program's and the fuzz build's: C++20 with Qt's code
# generators, and no Qt keywords (signals, slots, emit) to clash with other libraries.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTOUIC ON)
set(CMAKE_AUTORCC ON)
add_compile_definitions(QT_NO_KEYWORDS)
# Shipped code spells out every string's encoding; tests may use plain literals.
set(LEXORN_STRICT_STRINGS QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING)
