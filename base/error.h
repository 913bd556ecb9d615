// PrismoraError: an error whose message is meant for the user. The
// application's event dispatch catches it and shows the message in a message
// box; the headless command prints it. Plain data, no OS calls: the settings
// store and the platform layer throw it alike. ShownInMessage: text from
// outside (a file name, an environment variable) made safe to put in such a
// message.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

struct PrismoraError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The text with its control characters escaped, so that one message stays
// one line and a name cannot send a terminal its own commands: \n, \r and \t
// by name, the other C0 controls, DEL and the UTF-8 form of the C1 controls
// (U+0080..U+009F, which some terminals obey as well) as \xHH for each byte.
// Everything else, other UTF-8 and the backslash of a Windows path included,
// is kept as it is.
inline std::string ShownInMessage(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string shown;
  shown.reserve(text.size());
  const auto escape = [&](unsigned char ch) {
    shown += "\\x";
    shown += kHex[ch >> 4];
    shown += kHex[ch & 15];
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const auto ch = static_cast<unsigned char>(text[i]);
    const bool c1 = ch == 0xc2 && i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xe0) == 0x80;
    if (ch == '\n' || ch == '\r' || ch == '\t') {
      shown += ch == '\n' ? "\\n" : ch == '\r' ? "\\r" : "\\t";
    } else if (ch < 0x20 || ch == 0x7f) {
      escape(ch);
    } else if (c1) {
      escape(ch);
      escape(static_cast<unsigned char>(text[++i]));
    } else {
      shown += static_cast<char>(ch);
    }
  }
  return shown;
}
