// Whole files as bytes, for the tests and for the tools that write laps.
#pragma once

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

// The file's bytes; empty when it cannot be read.
[[nodiscard]] std::vector<std::byte> read_bytes(const std::filesystem::path& path);
// The same as text, such as what a program wrote.
[[nodiscard]] std::string read_text(const std::filesystem::path& path);

// Replaces the file with `bytes`; false when they could not all be written.
[[nodiscard]] bool write_bytes(const std::filesystem::path& path, std::span<const std::byte> bytes);
