# The Debian package (make package): the program, its factory files, the
# desktop entry, icon and AppStream metainfo, the README, and the udev rule
# that lets the logged-in user open the instrument. Its version is the
# project version.
set(OSTRA_APP_ID com.marlune.Ostra)
set(pkg ${PROJECT_SOURCE_DIR}/packaging)
set(gen ${PROJECT_BINARY_DIR}/packaging)
string(TIMESTAMP OSTRA_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP OSTRA_RELEASE_RFC2822 "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${pkg}/${OSTRA_APP_ID}.metainfo.xml.in ${gen}/${OSTRA_APP_ID}.metainfo.xml @ONLY)
configure_file(${pkg}/changelog.in ${gen}/changelog @ONLY)
configure_file(${pkg}/ostra.1 ${gen}/ostra.1 COPYONLY)
# Debian wants these compressed, without a time stamp in the gzip header.
execute_process(COMMAND gzip -9nf ${gen}/changelog ${gen}/ostra.1)

install(FILES ${gen}/ostra.1.gz DESTINATION share/man/man1)
install(FILES ${pkg}/${OSTRA_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${gen}/${OSTRA_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/${OSTRA_APP_ID}.svg
        DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 48 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/${OSTRA_APP_ID}-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${OSTRA_APP_ID}.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${pkg}/copyright ${gen}/changelog.gz
        DESTINATION share/doc/ostra)
# udev reads packaged rules from /lib/udev/rules.d; an install into a prefix
# of one's own (cmake --install --prefix) can give a folder below it.
set(OSTRA_UDEV_RULES_DIR /lib/udev/rules.d CACHE STRING "Where the udev rule is installed")
install(FILES ${pkg}/70-ostra.rules DESTINATION ${OSTRA_UDEV_RULES_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostra)
set(CPACK_PACKAGE_VENDOR Marlune)
set(CPACK_PACKAGE_CONTACT "Marlune <support@marlune.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control program of the Ostra vector network analyser")
set(CPACK_PACKAGE_DESCRIPTION
  "The desktop control program of the Ostra, a vector network analyser that a
PC reaches over USB through an FTDI bridge: a live chart of the measured
trace, calibration, markers, saved states, CSV and Touchstone export and
firmware upgrade. Without an instrument it runs against a built-in simulated
Ostra.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by Qt at run time, so shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${pkg}/postinst ${pkg}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_SET_DESTDIR OFF)
include(CPack)
