#include "tools/camsim/DigestLogin.h"

#include "platform/MD5.h"
#include "tools/camsim/Log.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <iterator>

namespace {

constexpr std::int64_t kNonceLifetimeMs = 300000;
// Five minutes of logins of a busy test; beyond it the oldest nonce goes first, and the
// client that still holds it is told it is stale and simply logs in again.
constexpr std::size_t kMaxNonces = 16384;
// How far below the highest count so far a count may still come, from requests that
// share a nonce and overtake each other.
constexpr std::uint64_t kCountWindow = 64;
constexpr std::size_t kCountDigits = 8;
constexpr const char *kOpaque = "5a1e0c7d3b9f4e21";
constexpr const char *kRequiredFields[] = {"username", "realm", "nonce", "uri", "response", "qop", "nc", "cnonce"};

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return lower;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t';
}

bool IsTokenName(std::string_view name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '-' || c == '_';
    });
}

void SkipSpaces(std::string_view text, std::size_t &at)
{
    while (at < text.size() && IsSpace(text[at]))
        ++at;
}

// A quoted-string starting at `at` (its backslash escapes undone); nothing when it is
// not closed. Leaves `at` past the closing quote.
std::optional<std::string> ReadQuoted(std::string_view text, std::size_t &at)
{
    std::string value;
    for (++at; at < text.size(); ++at) {
        if (text[at] == '"') {
            ++at;
            return value;
        }
        if (text[at] == '\\' && at + 1 < text.size())
            ++at;
        value += text[at];
    }
    return std::nullopt;
}

std::string ReadToken(std::string_view text, std::size_t &at)
{
    const std::size_t start = at;
    while (at < text.size() && text[at] != ',' && !IsSpace(text[at]))
        ++at;
    return std::string(text.substr(start, at - start));
}

// One name=value field starting at `at`, up to the comma after it.
std::optional<std::pair<std::string, std::string>> ReadField(std::string_view text, std::size_t &at)
{
    const std::size_t equals = text.find('=', at);
    if (equals == std::string_view::npos)
        return std::nullopt;
    std::string_view name = text.substr(at, equals - at);
    while (!name.empty() && IsSpace(name.back()))
        name.remove_suffix(1);
    at = equals + 1;
    SkipSpaces(text, at);
    const std::optional<std::string> value = at < text.size() && text[at] == '"' ? ReadQuoted(text, at)
                                                                                  : ReadToken(text, at);
    SkipSpaces(text, at);
    if (!value || !IsTokenName(name) || (at < text.size() && text[at] != ','))
        return std::nullopt;
    return std::pair{Lower(name), *value};
}

// A quoted-string holding the text.
std::string Quoted(std::string_view text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// A nonce count as clients write it, eight hex digits; zero is none.
std::optional<std::uint64_t> NonceCount(const std::string &text)
{
    std::uint64_t count = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count, 16);
    if (text.size() != kCountDigits || error != std::errc() || end != text.data() + text.size() || count == 0)
        return std::nullopt;
    return count;
}

} // namespace

std::optional<DigestFields> ParseDigestAuthorization(std::string_view header)
{
    constexpr std::string_view kScheme = "digest";
    if (header.size() <= kScheme.size() || Lower(header.substr(0, kScheme.size())) != kScheme ||
        !IsSpace(header[kScheme.size()]))
        return std::nullopt;
    DigestFields fields;
    for (std::size_t at = kScheme.size(); at < header.size(); ++at) { // ++at steps over the comma
        SkipSpaces(header, at);
        if (at == header.size())
            break;
        const auto field = ReadField(header, at);
        if (!field)
            return std::nullopt;
        fields.insert(*field);
    }
    return fields;
}

DigestLogin::DigestLogin() : m_random(std::random_device{}())
{
}

std::string DigestLogin::Challenge(const std::string &realm, bool stale)
{
    const std::int64_t nowMs = MonotonicMs();
    const std::lock_guard lock(m_mutex);
    MakeRoomForNonce(nowMs);
    std::string nonce;
    do {
        char hex[33];
        std::snprintf(hex, sizeof hex, "%016llx%016llx", static_cast<unsigned long long>(m_random()),
                      static_cast<unsigned long long>(m_random()));
        nonce = hex;
    } while (m_nonces.contains(nonce));
    m_nonces.emplace(nonce, GivenNonce{realm, nowMs});
    m_givenOrder.push_back(nonce);
    return "Digest realm=" + Quoted(realm) + ", qop=\"auth\", nonce=\"" + nonce + "\", opaque=\"" + kOpaque +
           "\", algorithm=MD5" + (stale ? ", stale=true" : "");
}

DigestVerdict DigestLogin::Check(const std::optional<DigestFields> &digest, const std::string &realm,
                                 const Login &login, const std::string &method, const std::string &target)
{
    if (!digest || !std::all_of(std::begin(kRequiredFields), std::end(kRequiredFields),
                                [&](const char *name) { return digest->contains(name); }))
        return DigestVerdict::Refused;
    const DigestFields &field = *digest;
    if (field.at("uri") != target)
        return DigestVerdict::WrongUri;
    const auto algorithm = field.find("algorithm");
    if (field.at("username") != login.user || field.at("realm") != realm || field.at("qop") != "auth" ||
        (algorithm != field.end() && Lower(algorithm->second) != "md5"))
        return DigestVerdict::Refused;
    const std::string secret = Md5Hex(login.user + ":" + realm + ":" + login.password);
    const std::string expected = Md5Hex(secret + ":" + field.at("nonce") + ":" + field.at("nc") + ":" +
                                        field.at("cnonce") + ":auth:" + Md5Hex(method + ":" + target));
    if (Lower(field.at("response")) != expected)
        return DigestVerdict::Refused;
    return TakeNonce(field.at("nonce"), field.at("nc"), realm);
}

// Forgets the nonces that ran out, and the oldest one when the table is full.
void DigestLogin::MakeRoomForNonce(std::int64_t nowMs)
{
    while (!m_givenOrder.empty() && (m_givenOrder.size() >= kMaxNonces ||
                                     nowMs - m_nonces.at(m_givenOrder.front()).givenMs >= kNonceLifetimeMs)) {
        m_nonces.erase(m_givenOrder.front());
        m_givenOrder.pop_front();
    }
}

// The verdict on a right login's nonce and count.
DigestVerdict DigestLogin::TakeNonce(const std::string &nonce, const std::string &countText,
                                     const std::string &realm)
{
    const std::optional<std::uint64_t> count = NonceCount(countText);
    if (!count)
        return DigestVerdict::Refused;
    const std::lock_guard lock(m_mutex);
    const auto given = m_nonces.find(nonce);
    if (given == m_nonces.end() || given->second.realm != realm ||
        MonotonicMs() - given->second.givenMs >= kNonceLifetimeMs)
        return DigestVerdict::StaleNonce;
    return TakeCount(given->second, *count) ? DigestVerdict::LoggedIn : DigestVerdict::Refused;
}

// Each count once; a count may come late, within the window below the highest so far.
bool DigestLogin::TakeCount(GivenNonce &nonce, std::uint64_t count)
{
    if (count > nonce.highestCount) {
        const std::uint64_t shift = count - nonce.highestCount;
        nonce.recentCounts = (shift >= kCountWindow ? 0 : nonce.recentCounts << shift) | 1;
        nonce.highestCount = count;
        return true;
    }
    const std::uint64_t age = nonce.highestCount - count;
    if (age >= kCountWindow || (nonce.recentCounts >> age & 1) != 0)
        return false;
    nonce.recentCounts |= std::uint64_t(1) << age;
    return true;
}
