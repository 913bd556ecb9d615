// PrismoraError: an error whose message is meant for the user. The
// application's event dispatch catches it and shows the message in a message
// box; the headless command prints it. Plain data, no OS calls: the settings
// store and the platform layer throw it alike.
#pragma once

#include <stdexcept>
#include <string>

struct PrismoraError : std::runtime_error {
  using std::runtime_error::runtime_error;
};
