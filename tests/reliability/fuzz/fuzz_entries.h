// What each fuzz target does with one input.  The libFuzzer targets call
// these, and so does the replay test that feeds the kept inputs (corpus/)
// to them in every build, libFuzzer or not.
//
// Each returns "" when the engine behaved: whatever the input, an error
// result is fine, a crash or a sanitizer report is not, and neither is a
// broken promise (an accepted statement that leaves the file inconsistent,
// a text that does not survive the codec's round trip).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace reliability::fuzz {

// The bytes as a database file: opened, every table read, checked.
std::string OpenAndReadFile(const std::uint8_t* data, std::size_t size);
// Up to four statements (one per line) run on a small knowledge database;
// afterwards .check must be clean.
std::string RunStatements(const std::uint8_t* data, std::size_t size);
// The bytes as GB18030 and as UTF-8 through every conversion of text/.
std::string RoundTripTexts(const std::uint8_t* data, std::size_t size);

}  // namespace reliability::fuzz
