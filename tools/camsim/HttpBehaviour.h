#pragma once
// How a camera's web side answers: like a working camera, or in one of the broken
// ways Lanscout has to survive. README.md describes each.

#include <optional>
#include <string_view>

enum class HttpBehaviour { Normal, Ng, Hang, Slow, Endless, Plain401, Error500, NoLogin, Redirect, KeepsCodec };

// The behaviour of a name as the command line and the camera file write it.
inline std::optional<HttpBehaviour> ParseHttpBehaviour(std::string_view name)
{
    struct Named {
        std::string_view name;
        HttpBehaviour behaviour;
    };
    constexpr Named kNames[] = {{"normal", HttpBehaviour::Normal},       {"ng", HttpBehaviour::Ng},
                                {"hang", HttpBehaviour::Hang},           {"slow", HttpBehaviour::Slow},
                                {"endless", HttpBehaviour::Endless},     {"plain-401", HttpBehaviour::Plain401},
                                {"error-500", HttpBehaviour::Error500},  {"no-login", HttpBehaviour::NoLogin},
                                {"redirect", HttpBehaviour::Redirect},   {"keeps-codec", HttpBehaviour::KeepsCodec}};
    for (const Named &named : kNames)
        if (named.name == name)
            return named.behaviour;
    return std::nullopt;
}
