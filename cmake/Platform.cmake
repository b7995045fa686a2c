# The two libraries of the platform layer: SDL2_mixer under the sound back
# end and libcurl under the web fetch. Each becomes an imported target.
include_guard(GLOBAL)

find_package(PkgConfig REQUIRED)
pkg_check_modules(ROOKWELL_SDL2MIXER REQUIRED IMPORTED_TARGET SDL2_mixer)
find_package(CURL REQUIRED)

if(NOT TARGET Rookwell::SDL2Mixer)
  add_library(Rookwell::SDL2Mixer INTERFACE IMPORTED GLOBAL)
  target_link_libraries(Rookwell::SDL2Mixer INTERFACE PkgConfig::ROOKWELL_SDL2MIXER)
endif()

if(NOT TARGET Rookwell::Curl)
  add_library(Rookwell::Curl INTERFACE IMPORTED GLOBAL)
  target_link_libraries(Rookwell::Curl INTERFACE CURL::libcurl)
endif()
