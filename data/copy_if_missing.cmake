# cmake -DSOURCE=FILE -DDESTINATION=FILE -P copy_if_missing.cmake
# Copies SOURCE to DESTINATION unless DESTINATION exists already.
if(NOT EXISTS "${DESTINATION}")
    file(COPY_FILE "${SOURCE}" "${DESTINATION}")
endif()
