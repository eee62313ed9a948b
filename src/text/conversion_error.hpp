#pragma once

#include <stdexcept>
#include <string>

namespace torvane {

// The one exception of the engine: this file cannot be converted (it cannot be
// read or written, or a header number does not parse). The message is UTF-8
// and names the file, and for a bad number also the key and the text.
// Problems inside a chart are never exceptions; they become error lines.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace torvane
