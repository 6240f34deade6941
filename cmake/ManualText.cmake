# Renders a manual page as plain text with CR LF line ends, for the Windows package:
#   cmake -DGROFF=... -DPAGE=page.1 -DTEXT=page.txt -P ManualText.cmake
execute_process(COMMAND ${GROFF} -man -Tascii -P-c -P-b -P-u ${PAGE}
                OUTPUT_VARIABLE Text RESULT_VARIABLE Result)
if(NOT Result EQUAL 0)
  message(FATAL_ERROR "groff could not render ${PAGE}")
endif()
string(REPLACE "\n" "\r\n" Text "${Text}")
file(WRITE ${TEXT} "${Text}")
