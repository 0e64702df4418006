// A JSON reader for request lines that may carry 4D texts which are not
// valid Unicode.
//
// 4D keeps texts as UTF-16 and lets them hold unpaired surrogates, so a test
// or a session script must be able to write one: "\ud800" in a JSON string.
// The standard JSON reader rejects such an escape. This reader accepts it and
// stores the unit in the 3-byte form UTF-8 would give it if surrogates were
// characters; Utf8ToUtf16(..., loose) turns it back into the one unit. Every
// other part of the grammar is the standard one, and numbers are read by the
// standard reader, so a line this reader accepts means what it would mean to
// the standard one, had it allowed the escape.
#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

namespace lqm::host {

// True when `text` contains a \u escape of a surrogate (paired or not): the
// only lines worth a second reading after the standard reader refused them.
bool HasSurrogateEscape(std::string_view text);

// Reads one JSON value, with surrounding white space, into `out`. False for
// anything that is not JSON apart from unpaired surrogate escapes.
bool ParseJsonKeepingLoneSurrogates(std::string_view text, nlohmann::json& out);

// The standard reader first, and this one only for text it refused that has
// surrogate escapes: how lqm-host reads a JSON argument, and how a client
// reads an answer. False when neither accepts `text`.
bool ParseJsonAllowingLoneSurrogates(std::string_view text, nlohmann::json& out);

}  // namespace lqm::host
