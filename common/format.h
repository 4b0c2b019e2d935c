#pragma once
// Formatting and parsing helpers shared by the list, the device windows, the
// console dialogue and the logs. They read no settings themselves: the
// settings they depend on are parameters.
//
// Texts are byte strings in the ANSI code page; the Japanese symbols are
// CP932 bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/language.h"

namespace zelo {

// "aa:bb:cc:dd:ee:ff" over the first 12 characters; a text of fewer than 12
// characters comes back unchanged.
std::string formatMac(std::string_view text);

// "%d.%d.%d.%d", most significant byte first.
std::string formatIp(std::uint32_t address);

// a.b.c.d as ((a*256+b)*256+c)*256+d. The parts are decimal digits, not
// range-checked (the sum wraps at 32 bits), and an empty part counts as 0.
// 0 when a dot is missing, a part holds anything but digits, or anything
// follows the fourth part.
std::uint32_t parseIp(std::string_view text);

// The unsigned decimal value of a text of digits; -1 when anything but a
// digit appears; 0 for an empty text. Values above 4294967295 saturate.
std::int64_t parseInt(std::string_view text);

// "n" or "n.m" as n*10 + m, m taken as a whole number ("1.5" is 15, "1.25"
// is 35); -1 when anything else appears. Empty parts count as 0.
std::int64_t parseTenths(std::string_view text);

// True when the text's unsigned decimal value (C-library rules) is not 0.
bool parseFlag(std::string_view text);

// The text without its first and last character, cut to size - 1
// characters; empty for texts shorter than 2 characters.
std::string unquote(std::string_view text, std::size_t size);

// The outlet state text of the list and the logs: per character '1' as "O",
// '0' as "-", '-' as "-", other characters unchanged. Japanese uses the
// CP932 symbols for on, off and unknown. With `masterPrefix`,
// `lineMstPow` on and a state text whose first character is '0' or '1' and
// whose second is not a blank, the text gets a leading "- ".
std::string formatOutletStates(std::string_view states, bool masterPrefix, Language language,
                               bool lineMstPow);

// Tenths of a second as the device takes and reports them: "%d.%d" (a
// whole number too, "3.0"), and "-1" for any negative value.
std::string formatTenths(std::int64_t tenths);

// Seconds since 1970 as local time: empty for 0; dateStyle 0 year/month/day,
// 1 month/day/year, anything else day/month/year, then hour and minute.
std::string formatUpdateTime(std::int64_t seconds, int dateStyle);

// Appends `utf8` as a quoted JSON string: quotes, backslashes and control
// characters escaped, everything else as it is.
void appendJsonString(std::string& out, std::string_view utf8);

}  // namespace zelo
