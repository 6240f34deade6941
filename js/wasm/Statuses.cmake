# Writes OUTPUT, an ES module of the names of varnholt_status in HEADER in their order, so that a
# status number the library returns has its name: the enum's members, their comments left out.
file(READ ${HEADER} Text)
string(REGEX MATCH "typedef enum varnholt_status {[^}]*}" Enum "${Text}")
if(NOT Enum)
  message(FATAL_ERROR "${HEADER} declares no enum varnholt_status")
endif()
string(REGEX REPLACE "/\\*[^*]*\\*+([^/*][^*]*\\*+)*/" "" Members "${Enum}")
if(Members MATCHES "=[ ]*[1-9]")
  message(FATAL_ERROR "varnholt_status numbers a member by hand: the names here follow the order")
endif()
string(REGEX MATCHALL "VARNHOLT_[A-Z0-9_]+" Names "${Members}")
list(JOIN Names "', '" Joined)
file(WRITE ${OUTPUT} "// Made by the build from varnholt.h: the statuses of the library, by number.\nexport const statusNames = ['${Joined}'];\n")
