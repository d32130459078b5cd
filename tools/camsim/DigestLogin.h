#pragma once
// HTTP digest login (MD5, qop=auth) as a camera's web server checks it. Every challenge
// carries a nonce of its own, and each count of a nonce is taken once: any number of
// clients may log in to the same page at the same moment, and a replayed request is
// refused. A nonce holds for the realm it was given out for, for five minutes.
// One instance serves every port and connection thread.

#include "tools/camsim/Camera.h"

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>

// The fields of an "Authorization: Digest ..." header by lower-case name, unquoted.
using DigestFields = std::map<std::string, std::string>;

// The fields of an Authorization header; nothing when it is not a well-formed digest one.
std::optional<DigestFields> ParseDigestAuthorization(std::string_view header);

enum class DigestVerdict {
    LoggedIn,
    Refused,    // no digest, another login, a malformed one or a count used before
    StaleNonce, // the right login with a nonce that has run out (or was never this server's)
    WrongUri,   // made for another request than the one it came with
};

class DigestLogin final {
public:
    DigestLogin();

    // The WWW-Authenticate value of a challenge with a new nonce for the realm;
    // `stale` tells the client its login was right but its nonce had run out.
    std::string Challenge(const std::string &realm, bool stale);
    // Whether the digest logs `login` in to the realm for this request (method and
    // request target as they came on the request line).
    DigestVerdict Check(const std::optional<DigestFields> &digest, const std::string &realm, const Login &login,
                        const std::string &method, const std::string &target);

private:
    struct GivenNonce {
        std::string realm;
        std::int64_t givenMs;
        std::uint64_t highestCount = 0;
        std::uint64_t recentCounts = 0; // bit i: count highestCount - i was taken
    };

    void MakeRoomForNonce(std::int64_t nowMs);
    DigestVerdict TakeNonce(const std::string &nonce, const std::string &countText, const std::string &realm);
    static bool TakeCount(GivenNonce &nonce, std::uint64_t count);

    std::mutex m_mutex;
    std::unordered_map<std::string, GivenNonce> m_nonces;
    std::deque<std::string> m_givenOrder; // oldest first
    std::mt19937_64 m_random;
};
