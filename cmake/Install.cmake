# Install rules: the two programs, the desktop integration of the window
# (desktop entry, icons, AppStream metainfo), the man pages, and the README
# with the chapters of docs/ and the sample data. Paths follow GNUInstallDirs, so any prefix and DESTDIR
# work. The window's files are installed only when the window is built.
include(GNUInstallDirs)

# The documentation folder is named after the program, share/doc/trimwright,
# unless CMAKE_INSTALL_DOCDIR is given.
if("$CACHE{CMAKE_INSTALL_DOCDIR}" STREQUAL "")
  set(CMAKE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/trimwright)
endif()

set(TRIMWRIGHT_APP_ID org.trimwright.Trimwright)
set(TRIMWRIGHT_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(TRIMWRIGHT_GENERATED_DIR ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${TRIMWRIGHT_GENERATED_DIR})
# AppStream wants the screenshot as a web address; set this to where the
# published picture of docs/window.png lives. The picture is also installed
# with the documentation.
set(TRIMWRIGHT_SCREENSHOT_URL "https://trimwright.org/screenshots/window.png"
    CACHE STRING "Web address of the window's screenshot named in the AppStream metainfo")

install(TARGETS trimwright-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The documentation: the README, the chapters it leads to with the pictures
# they show (beside it as in the source tree, so that every link holds), and
# the sample data.
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
install(DIRECTORY examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# The man page of trimwright-cli is made from its own --help and --version,
# so it cannot fall behind the options.
find_program(TRIMWRIGHT_HELP2MAN help2man)
if(TRIMWRIGHT_HELP2MAN)
  add_custom_command(
    OUTPUT ${TRIMWRIGHT_GENERATED_DIR}/trimwright-cli.1
    COMMAND ${TRIMWRIGHT_HELP2MAN} --no-info --section=1 --source=Trimwright
            --include=${TRIMWRIGHT_PACKAGING_DIR}/trimwright-cli.h2m
            --output=${TRIMWRIGHT_GENERATED_DIR}/trimwright-cli.1 $<TARGET_FILE:trimwright-cli>
    DEPENDS trimwright-cli ${TRIMWRIGHT_PACKAGING_DIR}/trimwright-cli.h2m
    COMMENT "Generating the trimwright-cli man page"
    VERBATIM)
  add_custom_target(trimwright_cli_manpage ALL DEPENDS ${TRIMWRIGHT_GENERATED_DIR}/trimwright-cli.1)
  install(FILES ${TRIMWRIGHT_GENERATED_DIR}/trimwright-cli.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found: the trimwright-cli man page is neither built nor installed")
endif()

if(TARGET trimwright)
  install(TARGETS trimwright RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  configure_file(${TRIMWRIGHT_PACKAGING_DIR}/trimwright.1.in
                 ${TRIMWRIGHT_GENERATED_DIR}/trimwright.1 @ONLY)
  install(FILES ${TRIMWRIGHT_GENERATED_DIR}/trimwright.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

  install(FILES ${TRIMWRIGHT_PACKAGING_DIR}/${TRIMWRIGHT_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

  # The metainfo states the screenshot's size, read from the PNG header
  # (width and height are the big-endian words at bytes 16 and 20).
  file(READ ${PROJECT_SOURCE_DIR}/docs/window.png png_size OFFSET 16 LIMIT 8 HEX)
  string(SUBSTRING "${png_size}" 0 8 png_width)
  string(SUBSTRING "${png_size}" 8 8 png_height)
  math(EXPR TRIMWRIGHT_SCREENSHOT_WIDTH "0x${png_width}")
  math(EXPR TRIMWRIGHT_SCREENSHOT_HEIGHT "0x${png_height}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${PROJECT_SOURCE_DIR}/docs/window.png)
  configure_file(${TRIMWRIGHT_PACKAGING_DIR}/${TRIMWRIGHT_APP_ID}.metainfo.xml.in
                 ${TRIMWRIGHT_GENERATED_DIR}/${TRIMWRIGHT_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${TRIMWRIGHT_GENERATED_DIR}/${TRIMWRIGHT_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

  # The icon: the hand-drawn SVG for any size, and PNGs painted at build time
  # by the program's own icon code at the sizes desktops look for first.
  set(icon_dir ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${TRIMWRIGHT_PACKAGING_DIR}/${TRIMWRIGHT_APP_ID}.svg
          DESTINATION ${icon_dir}/scalable/apps)
  add_executable(trimwright_render_icons packaging/render_icons.cpp)
  target_link_libraries(trimwright_render_icons PRIVATE trimwright_window)
  set(icon_sizes 16 22 24 32 48 64 128 256)
  set(icon_pngs)
  foreach(size IN LISTS icon_sizes)
    list(APPEND icon_pngs ${TRIMWRIGHT_GENERATED_DIR}/icons/${size}x${size}/apps/${TRIMWRIGHT_APP_ID}.png)
  endforeach()
  add_custom_command(
    OUTPUT ${icon_pngs}
    COMMAND trimwright_render_icons ${TRIMWRIGHT_GENERATED_DIR}/icons ${TRIMWRIGHT_APP_ID}
            ${icon_sizes}
    DEPENDS trimwright_render_icons
    COMMENT "Painting the application icon at ${icon_sizes} pixels"
    VERBATIM)
  add_custom_target(trimwright_icons ALL DEPENDS ${icon_pngs})
  install(DIRECTORY ${TRIMWRIGHT_GENERATED_DIR}/icons/ DESTINATION ${icon_dir})
endif()
