// tq::Value: one attribute value as key-path sorting and store records see it: nothing, a
// boolean, an integer, a real, text or a date. tq::Date is a point in time with millisecond
// precision, counted from the Unix epoch in UTC.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <variant>

namespace tq {

using Date = std::chrono::sys_time<std::chrono::milliseconds>;

using Value = std::variant<std::monostate, bool, int64_t, double, std::string, Date>;

}  // namespace tq
