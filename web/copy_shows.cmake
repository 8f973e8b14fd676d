# The repository's show folders (shows/NAME/, each a show.js beside the files it names) into the
# site, as they are at this build: a folder removed from the repository leaves the site too.
# Run at every build, not at configure time, so that a show added later is copied without
# configuring again.
#   FROM  the repository's shows/ (may be missing: the site then has none)
#   TO    the site's shows/
file(REMOVE_RECURSE "${TO}")
if(IS_DIRECTORY "${FROM}")
  file(COPY "${FROM}/" DESTINATION "${TO}")
endif()
