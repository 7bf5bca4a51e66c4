// Windows only: which names open, the form in which a long name opens, and
// how a console or another device shows a lap's texts.
#pragma once

#include "display.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A name whose resolved path (`GetFullPathNameW`'s) has MAX_PATH characters
// or more opens only in the extended form, which the system takes literally:
// `\\?\C:\...`, or `\\?\UNC\server\share\...` for a network share. Nothing
// when the name opens as it is: shorter, or already in `\\?\` or `\\.\` form.
[[nodiscard]] std::optional<std::wstring> extended_form(std::wstring_view resolved);

// The name to open for `name`, or nothing for a name of a device or a named
// pipe, whose opening alone can connect to it: `NUL`, `\\.\pipe\x`,
// `\??\pipe\x`, `\\server\pipe\x`, `\\?\UNC\server\IPC$\x`.
[[nodiscard]] std::optional<std::wstring> openable_name(const std::filesystem::path& name);

// How a console shows the report: each field in the letters it was written
// in, UTF-8 or the ANSI code page, whatever code page the console has, then
// as on a UTF-8 terminal; the output goes to it as UTF-16.
[[nodiscard]] Display console_display();

// How the output `output` (a HANDLE) shows the report: a console as
// console_display says, whether it was opened for reading too or not; another
// character device with its controls shown; a file or a pipe as it is.
[[nodiscard]] Display display_for(void* output);

} // namespace platform
