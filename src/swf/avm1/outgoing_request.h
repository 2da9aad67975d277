// A request a movie makes of the world outside the player: a file or page
// fetched, a page opened in a browser window, a socket connection. The
// player sends none of them; a host may watch them (a log of what a movie
// asked for).
#pragma once

#include <string>

namespace orrivel::swf::avm1 {

struct OutgoingRequest {
  enum class Kind { kFetch, kNavigate, kSocket };
  Kind kind = Kind::kFetch;
  std::string url;     // the socket's host for kSocket
  std::string method;  // "GET" or "POST"
  std::string mime;    // the body's type, for a POST
  std::string body;
  std::string target;  // the window a page opens in (kNavigate)
  int port = 0;        // kSocket
};

}  // namespace orrivel::swf::avm1
