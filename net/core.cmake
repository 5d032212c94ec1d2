# Sources of net/ in kelvra_core.
target_sources(kelvra_core PRIVATE
  net/ElapsedMs.cpp net/ElapsedMs.h
  net/HttpClient.cpp net/HttpClient.h net/HttpResult.h
  net/HttpSocket.cpp net/HttpSocket.h
  net/MySocket.cpp net/MySocket.h
  net/SocketException.cpp net/SocketException.h
)
