# The Debian package of the station: zelo-station_<version>_amd64.deb with
# zeloctl and zelo-sim in /usr/bin, the systemd unit zelo-station.service,
# its options file /etc/default/zelo-station and the docs. The maintainer
# scripts (cmake/debian) make the system user zelo and /var/lib/zelo.
# The dependencies on Debian's libraries come from dpkg-shlibdeps.
#   cmake --build --preset native --target package
install(TARGETS zeloctl zelo-sim RUNTIME DESTINATION bin)
install(FILES ${CMAKE_SOURCE_DIR}/docs/zelo-station.service DESTINATION /lib/systemd/system)
# Readable by root only: it may hold the broker's password.
install(FILES ${CMAKE_SOURCE_DIR}/cmake/debian/zelo-station.default DESTINATION /etc/default
        RENAME zelo-station PERMISSIONS OWNER_READ OWNER_WRITE)
foreach(doc README.md docs/zeloctl.md docs/guide.md docs/forwarding.md docs/grafana-dashboard.json)
  install(FILES ${CMAKE_SOURCE_DIR}/${doc} DESTINATION share/doc/zelo-station)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/sim/README.md DESTINATION share/doc/zelo-station
        RENAME zelo-sim.md)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelo-station)
set(CPACK_PACKAGE_VENDOR "ZELO developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ZELO status station: power controller monitoring as a service")
set(CPACK_PACKAGE_DESCRIPTION
    "zeloctl listen receives the status reports of networked power controllers,\n"
    "keeps their records and logs, and forwards what it knows to MQTT brokers\n"
    "(with Home Assistant discovery) and to Prometheus. Includes zelo-sim, a\n"
    "simulator of the controllers.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # zelo-station_<version>_amd64.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "ZELO developers <zelo@example.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "passwd")  # useradd in postinst
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "prometheus, mosquitto")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/cmake/debian/conffiles ${CMAKE_SOURCE_DIR}/cmake/debian/postinst
    ${CMAKE_SOURCE_DIR}/cmake/debian/prerm ${CMAKE_SOURCE_DIR}/cmake/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
