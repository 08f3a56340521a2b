// Fields of a message's header section, by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varrow {

// The value of the first field named name (ASCII case ignored) in the
// header section of text (up to the first empty line), unfolded: the line
// breaks before continuation lines are taken out, the white space they
// begin with is kept, and the value's outer white space is trimmed. At most
// maxValue bytes of it are kept. Nothing when the header has no such field.
std::optional<std::string> FindHeaderField(const uint8_t* text, size_t size, std::string_view name,
                                           size_t maxValue);

}  // namespace varrow
