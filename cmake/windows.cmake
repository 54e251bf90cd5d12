# The Windows package: lexorn.exe and its NSIS installer,
# LexornSetup-VERSION.exe, built by the target "installer" with Debian's makensis.
find_program(MAKENSIS makensis REQUIRED)
set(LEXORN_INSTALLER ${PROJECT_BINARY_DIR}/LexornSetup-${PROJECT_VERSION}.exe)
add_custom_command(OUTPUT ${LEXORN_INSTALLER}
    COMMAND ${MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DPROGRAM=$<TARGET_FILE:lexorn>
            -DOUTFILE=${LEXORN_INSTALLER} ${PROJECT_SOURCE_DIR}/data/windows/lexorn.nsi
    DEPENDS lexorn ${PROJECT_SOURCE_DIR}/data/windows/lexorn.nsi
    COMMENT "Building ${LEXORN_INSTALLER}")
add_custom_target(installer ALL DEPENDS ${LEXORN_INSTALLER})
