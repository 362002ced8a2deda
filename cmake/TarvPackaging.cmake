# What a user gets besides the programs: man pages and bash completion, and the Debian
# packages that `make package` builds with CPack:
#   tarv          the tools and the component libraries, registered in the machine's store
#   velinor       the mailer with its menu entry
#   tarv-dev      headers and CMake packages for hosts
#   python3-tarv  the Python module (the `python` component, where the build has it)

set(man_pages tarv-reg tarv-regsvr tarv-call tarv-barcode velinor)
set(TARV_MAN_PAGES "")
foreach(page IN LISTS man_pages)
  set(TARV_VERSION ${PROJECT_VERSION})
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.1 ${PROJECT_BINARY_DIR}/man/${page}.1 @ONLY)
  list(APPEND TARV_MAN_PAGES ${PROJECT_BINARY_DIR}/man/${page}.1)
  if(page STREQUAL "velinor")
    set(component velinor)
  else()
    set(component tarv)
  endif()
  install(FILES ${PROJECT_BINARY_DIR}/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT ${component})
endforeach()

foreach(tool tarv-reg tarv-regsvr tarv-call tarv-barcode)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/completion/tarv
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${tool}
          COMPONENT tarv)
endforeach()

if(TARV_TESTS)
  # Every page renders without a warning of man's.
  add_test(NAME man_pages
           COMMAND ${PROJECT_SOURCE_DIR}/packaging/check-man-pages.sh ${TARV_MAN_PAGES})
  set_tests_properties(man_pages PROPERTIES ENVIRONMENT "${TARV_TEST_ENV}")
  # make install and make uninstall for one user, into a scratch prefix, from this build.
  add_test(NAME user_install
           COMMAND ${PROJECT_SOURCE_DIR}/packaging/test-user-install.sh ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
  set_tests_properties(user_install PROPERTIES ENVIRONMENT "${TARV_TEST_ENV}" TIMEOUT 300)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarv)
set(CPACK_PACKAGE_VENDOR "Tarv")
set(CPACK_PACKAGE_CONTACT "Tarv <tarv@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Tarv, componenti e programmi per l'ufficio")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_STRIP_FILES ON)

get_cmake_property(all_components COMPONENTS)
list(REMOVE_ITEM all_components Unspecified)
set(CPACK_COMPONENTS_ALL ${all_components})
set(same "(= ${PROJECT_VERSION})")

set(CPACK_DEBIAN_TARV_PACKAGE_NAME tarv)
set(CPACK_DEBIAN_TARV_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_TARV_DESCRIPTION
    "Componenti Tarv e strumenti da riga di comando\n La libreria TarvUtility (partita IVA, codice fiscale, arrotondamenti, registro,\n compressione, ...), il controllo TarvBarcode, il componente ZlibTool e gli strumenti\n tarv-reg, tarv-regsvr, tarv-call e tarv-barcode. Le librerie sono registrate nel\n registro della macchina (/var/lib/tarv), che tutti leggono e solo root modifica.")
# The platform plugins and the Italian button texts are loaded, not linked.
set(CPACK_DEBIAN_TARV_PACKAGE_DEPENDS "libqt6gui6")
set(CPACK_DEBIAN_TARV_PACKAGE_RECOMMENDS "velinor, qt6-translations-l10n, fonts-liberation2, xdg-utils, cups-client")
set(CPACK_DEBIAN_TARV_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/tarv/postinst;${PROJECT_SOURCE_DIR}/packaging/tarv/prerm;${PROJECT_SOURCE_DIR}/packaging/tarv/postrm)
set(CPACK_DEBIAN_TARV_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_VELINOR_PACKAGE_NAME velinor)
set(CPACK_DEBIAN_VELINOR_PACKAGE_SECTION mail)
set(CPACK_COMPONENT_VELINOR_DESCRIPTION
    "Velinor, invio di posta elettronica con allegati\n Una finestra per comporre e spedire un messaggio con SMTP (anche STARTTLS o TLS con\n password), che altri programmi possono preparare e far spedire senza nessuno alla\n tastiera.")
set(CPACK_DEBIAN_VELINOR_PACKAGE_DEPENDS "libqt6gui6")
set(CPACK_DEBIAN_VELINOR_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-liberation2")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME tarv-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "Tarv: intestazioni e pacchetti CMake per i programmi che usano le librerie\n find_package(TarvUtility) e find_package(TarvBarcode).")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "tarv ${same}, qt6-base-dev")

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-tarv)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_COMPONENT_PYTHON_DESCRIPTION
    "Tarv per Python\n Il modulo tarv: i componenti registrati di Tarv da Python.")
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "tarv ${same}, python3")

include(CPack)

if(TARV_TESTS)
  set(package_names "")
  foreach(component IN LISTS CPACK_COMPONENTS_ALL)
    string(TOUPPER ${component} upper)
    list(APPEND package_names ${CPACK_DEBIAN_${upper}_PACKAGE_NAME})
  endforeach()
  add_test(NAME packages
           COMMAND ${PROJECT_SOURCE_DIR}/packaging/test-packages.sh ${PROJECT_BINARY_DIR} ${package_names})
  set_tests_properties(packages PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 600)
endif()
