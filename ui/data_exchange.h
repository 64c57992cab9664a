#pragma once
// Reading number fields into their members, with the standard messages: a field that holds no
// number asks for an integer, a number outside its range names the range. Either puts the focus
// back into the field. A number out of range is stored all the same: the caller reads it first
// and tests the range after.

#include <cstdint>
#include <optional>

class QLineEdit;

namespace vantor {

inline constexpr char kEnterIntegerMessage[] = "Please enter an integer.";
inline constexpr char kEnterIntegerRangeMessage[] = "Please enter an integer between %1 and %2.";

// The field's number; nothing, after the message, when it holds none (empty, or too large for
// 32 bits).
std::optional<int32_t> ReadInteger(QLineEdit* field);
// True when minimum <= value <= maximum; otherwise the range message, and false.
bool CheckRange(QLineEdit* field, int32_t value, int32_t minimum, int32_t maximum);

}  // namespace vantor
