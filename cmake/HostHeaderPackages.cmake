# A cross build finds only what is built for its target, but a header-only
# package is the same for every target: take Debian's through a folder that
# holds just those packages and their headers (never /usr/include as a whole,
# whose C library headers are the host's).
#   package name = folder of its headers under /usr/include
set(KAVR_HOST_HEADER_PACKAGES nlohmann_json=nlohmann CLI11=CLI)

set(KAVR_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-header-packages)
foreach(entry IN LISTS KAVR_HOST_HEADER_PACKAGES)
  string(REPLACE "=" ";" entry "${entry}")
  list(GET entry 0 package)
  list(GET entry 1 headers)
  if(EXISTS /usr/share/cmake/${package} AND EXISTS /usr/include/${headers})
    file(MAKE_DIRECTORY ${KAVR_HOST_HEADERS}/share/cmake ${KAVR_HOST_HEADERS}/include)
    # The package's files compute its include folder from where they lie.
    file(CREATE_LINK /usr/share/cmake/${package} ${KAVR_HOST_HEADERS}/share/cmake/${package} SYMBOLIC)
    file(CREATE_LINK /usr/include/${headers} ${KAVR_HOST_HEADERS}/include/${headers} SYMBOLIC)
  endif()
endforeach()
list(APPEND CMAKE_FIND_ROOT_PATH ${KAVR_HOST_HEADERS})
