# Sources of net/ in kelvra_core.
target_sources(kelvra_core PRIVATE
  net/CountryLookup.cpp net/CountryLookup.h
  net/CountryRequest.cpp net/CountryRequest.h
  net/ElapsedMs.cpp net/ElapsedMs.h
  net/HttpClient.cpp net/HttpClient.h net/HttpResult.h
  net/HttpSocket.cpp net/HttpSocket.h
  net/MySocket.cpp net/MySocket.h
  net/ServerAddress.cpp net/ServerAddress.h
  net/SocketException.cpp net/SocketException.h
  net/UniqueFd.cpp net/UniqueFd.h
  net/WebLinks.cpp net/WebLinks.h
)
