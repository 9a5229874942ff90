// The relay's time-limited password (the TURN REST scheme): base64 of
// HMAC-SHA1(secret, username). The issuer makes it; the lobby's test checks it.
#pragma once

#include <string>

std::string turnPassword(const std::string& secret, const std::string& username);
