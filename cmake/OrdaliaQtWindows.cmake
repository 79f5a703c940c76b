# The window's Windows build: Qt for Windows, unpacked from the archive kept in
# third_party/ into this build tree once, and Debian's moc, rcc and uic, which
# are the same Qt version, as its host tools.
set(ORDALIA_QT_WINDOWS_ARCHIVE
    ${PROJECT_SOURCE_DIR}/third_party/qt6-windows/qt6.4.2-windows-x86_64-mingw.tar.xz
    CACHE FILEPATH "Qt for Windows, as built by third_party/qt6-windows/build.sh")
set(ORDALIA_QT_WINDOWS "" CACHE PATH "An unpacked Qt for Windows (else the archive is unpacked)")

if(NOT ORDALIA_QT_WINDOWS)
    set(ORDALIA_QT_WINDOWS ${CMAKE_BINARY_DIR}/deps/qt6-windows)
    if(NOT EXISTS ${ORDALIA_QT_WINDOWS}/lib/cmake/Qt6/Qt6Config.cmake)
        message(STATUS "Unpacking ${ORDALIA_QT_WINDOWS_ARCHIVE}")
        file(ARCHIVE_EXTRACT INPUT ${ORDALIA_QT_WINDOWS_ARCHIVE} DESTINATION ${CMAKE_BINARY_DIR}/deps)
    endif()
endif()
list(PREPEND CMAKE_PREFIX_PATH ${ORDALIA_QT_WINDOWS})
list(APPEND CMAKE_FIND_ROOT_PATH ${ORDALIA_QT_WINDOWS})
execute_process(COMMAND dpkg-architecture -qDEB_BUILD_MULTIARCH
                OUTPUT_VARIABLE ordalia_host_multiarch OUTPUT_STRIP_TRAILING_WHITESPACE)
set(QT_HOST_PATH /usr CACHE PATH "Qt's host tools (moc, rcc, uic)")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${ordalia_host_multiarch}/cmake CACHE PATH
    "CMake files of Qt's host tools")

# What the window needs beside it to start on a Windows machine with nothing
# else installed: Qt's DLLs, the mingw runtime they use, the platform and
# style plugins. The test programs also take the offscreen platform and
# QtTest.
set(ORDALIA_QT_WINDOWS_RUNTIME
    bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll
    bin/libstdc++-6.dll bin/libgcc_s_seh-1.dll bin/libwinpthread-1.dll
    plugins/platforms/qwindows.dll plugins/styles/qwindowsvistastyle.dll)

# The folder, beside a program, where Qt looks for `file` of the list above:
# the program's own for a DLL, the plugin's kind for a plugin.
function(ordalia_qt_runtime_folder file out)
    string(REGEX REPLACE "^(bin|plugins)/?" "" relative ${file})
    get_filename_component(folder ${relative} DIRECTORY)
    set(${out} ${folder} PARENT_SCOPE)
endfunction()
