# The Debian package: `cpack -G DEB` in the build folder makes plindar_<version>_<arch>.deb of
# what `cmake --install` installs, below /usr.

# The version is written in the code (--version, the rip log), the AppStream release and the
# changelog too: a release that forgets one of them stops here.
foreach(file src/settings/Global.h data/org.plindar.Plindar.metainfo.xml data/changelog)
  file(READ ${PROJECT_SOURCE_DIR}/${file} text)
  string(REGEX MATCH "Version = \"${PROJECT_VERSION}\"|version=\"${PROJECT_VERSION}\"|plindar \\(${PROJECT_VERSION}\\)" found "${text}")
  if(NOT found)
    message(FATAL_ERROR "${file} does not name version ${PROJECT_VERSION}")
  endif()
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plindar)
set(CPACK_PACKAGE_VENDOR "The Plindar developers")
set(CPACK_PACKAGE_CONTACT "The Plindar developers <support@plindar.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop CD ripper and audio converter")
# The synopsis is the summary; CPack indents each line of the rest and turns the empty line
# between the paragraphs into " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
Plindar lists the audio tracks of the disc in your CD drive and extracts the
tracks you tick to WAV, MP3, Ogg Vorbis, WMA, FLAC or Opus files, named after
their titles and tagged with the disc's artist, album, year and genre.

It looks titles up on MusicBrainz and freedb servers, reads CD-Text, checks
every rip against the AccurateRip database and writes a rip log beside the
files. It also converts sound files between formats, records from the sound
card and plays Ogg Vorbis, FLAC and Opus files. BIN/CUE disc images work just
like a drive, and a command line rips without a window.")
# The libraries the program and its helpers link come from dpkg-shlibdeps. lame is run as a
# program, and the Vorbis libraries are loaded when first needed: neither is seen there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "lame, libvorbis0a, libvorbisenc2, libvorbisfile3")
# Qt's own texts (file dialogs, buttons) in the chosen language, and the desktop's launcher for
# the help and the rip log.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils")
include(CPack)
