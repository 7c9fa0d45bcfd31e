# Writes the package's SHA256SUMS: one "<sha256>  <name>" line per file, in the form
# sha256sum -c reads. Run at build time:
#   cmake -DOUT=<file> -DFILES=<path;path;...> -P sha256sums.cmake
set(text "")
foreach(path IN LISTS FILES)
  file(SHA256 ${path} sum)
  get_filename_component(name ${path} NAME)
  string(APPEND text "${sum}  ${name}\n")
endforeach()
file(WRITE ${OUT} "${text}")
