// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <string>
#include <utility>

// What came of asking for a change, for the service that answers and the window that asks alike.
enum class Outcome {
    Done,
    NoMouse,
    CannotOpen,
    SendFailed,
    NotKept,
    NotForgotten,
    InvalidValue,
    NotAllowed,
    NoSuchMouse, // no mouse present on that USB device
    OwnSettings, // not sent: the mouse keeps its own settings, and was left as it is
    TooManyMice, // own settings for more mice than are kept
    // What a client meets on the way, before or instead of the service's answer:
    NoBus,          // the system bus could not be reached
    NoAnswer,       // the call may or may not have reached the service and the mouse
    ServiceMissing, // nothing owns the service's name, nor can the bus start it
    Failed          // any other error
};

// The service's names on the bus and in polkit, and the names of our errors.
class ServiceNames {
public:
    static constexpr const char* SERVICE = "org.vorlix.mouse.vorlixd";
    static constexpr const char* PATH = "/org/vorlix/mouse/vorlixd";
    // The first mouse's interface, which every client of the service knows, has the service's name.
    static constexpr const char* FIRST_MOUSE_INTERFACE = SERVICE;
    static constexpr const char* MICE_INTERFACE = "org.vorlix.mouse.vorlixd.Mice";
    static constexpr const char* POLKIT_ACTION = "org.vorlix.mouse.vorlixd.configure";

    // Our error's name for `outcome`; empty for Done and for what is not ours to name.
    static std::string errorName(Outcome outcome) {
        for (const auto& [named, name] : ERRORS) {
            if (named == outcome) {
                return ERROR_PREFIX + name;
            }
        }
        return std::string();
    }

    // The outcome that our error `name` stands for; Failed for a name that is not ours.
    static Outcome outcomeOf(const std::string& name) {
        for (const auto& [outcome, suffix] : ERRORS) {
            if (name == ERROR_PREFIX + suffix) {
                return outcome;
            }
        }
        return Outcome::Failed;
    }

private:
    inline static const std::string ERROR_PREFIX = "org.vorlix.mouse.vorlixd.Error.";
    // NoBus is the window's own: it names a bus it could not reach, so that no call is sent.
    inline static const std::array<std::pair<Outcome, std::string>, 11> ERRORS = {{
        {Outcome::NoMouse, "NoMouse"},
        {Outcome::CannotOpen, "CannotOpen"},
        {Outcome::SendFailed, "SendFailed"},
        {Outcome::NotKept, "NotKept"},
        {Outcome::NotForgotten, "NotForgotten"},
        {Outcome::InvalidValue, "InvalidValue"},
        {Outcome::NotAllowed, "NotAllowed"},
        {Outcome::NoSuchMouse, "NoSuchMouse"},
        {Outcome::OwnSettings, "OwnSettings"},
        {Outcome::TooManyMice, "TooManyMice"},
        {Outcome::NoBus, "NoBus"},
    }};
};
