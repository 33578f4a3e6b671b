# find_package(velcombo) gives the imported target velcombo::velcombo: the
# shared library and, as its interface, the directory of velcombo.h.
include("${CMAKE_CURRENT_LIST_DIR}/velcomboTargets.cmake")
