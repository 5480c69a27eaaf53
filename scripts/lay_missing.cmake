# cmake -DFROM=<folder> -DTO=<folder> -P lay_missing.cmake
# Copies each file of FROM into TO unless TO already holds one of that name: a build lays out the
# shipped lookup lists without reverting lists the user edited.
file(MAKE_DIRECTORY "${TO}")
file(GLOB files "${FROM}/*")
foreach(f ${files})
  get_filename_component(name "${f}" NAME)
  if(NOT EXISTS "${TO}/${name}")
    file(COPY "${f}" DESTINATION "${TO}")
  endif()
endforeach()
