# Sources of net/ in kelvra_core.
target_sources(kelvra_core PRIVATE
  net/CountryLookup.cpp net/CountryLookup.h
  net/CountryRequest.cpp net/CountryRequest.h
  net/ElapsedMs.cpp net/ElapsedMs.h
  net/HttpClient.cpp net/HttpClient.h net/HttpResult.h
  net/HttpSocket.cpp net/HttpSocket.h
  net/MySocket.h net/SocketDeadline.cpp
  net/ReportPipe.h
  net/ServerAddress.cpp net/ServerAddress.h
  net/SocketException.cpp net/SocketException.h
  net/UniqueFd.h
  net/WebLinks.cpp net/WebLinks.h
)
# The system's sockets: POSIX, or Winsock 2.
if(WIN32)
  target_sources(kelvra_core PRIVATE net/MySocket_win.cpp net/ReportPipe_win.cpp net/UniqueFd_win.cpp)
  target_link_libraries(kelvra_core PUBLIC ws2_32)
else()
  target_sources(kelvra_core PRIVATE net/MySocket.cpp net/ReportPipe.cpp net/UniqueFd.cpp)
endif()
