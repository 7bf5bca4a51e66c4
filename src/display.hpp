// Where the text goes, which decides how a file's bytes are shown. On a
// terminal they must not act as commands (clear the screen, set the title,
// make the terminal answer, forge a line, reorder one), so its control
// characters are shown instead; which bytes are controls depends on its
// character set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// A field's bytes read in a code page (the system's, or the one a user
// chose), as UTF-8.
using CodePageReader = std::string (*)(std::string_view bytes);

struct Display {
    // Every kind but as_is shows C0 controls and DEL in caret notation (ESC
    // as ^[); they differ in the bytes 0x80-0x9F.
    enum class Kind : std::uint8_t {
        // A file or a pipe: every byte goes out as it is.
        as_is,
        // A device that is no terminal (a serial port, a printer, NUL on
        // Windows): the bytes 0x80-0xFF go out as they are.
        controls_only,
        // A web page: as a UTF-8 terminal, but NUL, the padding of a short
        // name, shows as nothing rather than as a box.
        web_page,
        // A UTF-8 terminal: the C1 controls written in UTF-8, and every byte
        // 0x80-0x9F that is not part of a valid UTF-8 sequence, which a
        // terminal that fell back to 8 bits would obey, are shown as
        // <U+0080>...<U+009F>; so are the characters that reorder the text
        // around them (U+202E and the like). Letters stay whole.
        utf8_terminal,
        // A terminal whose character set has C1 controls of one byte: in ASCII
        // and ISO 8859 every byte 0x80-0x9F, in a multi-byte set such as
        // EUC-JP those its converter reads alone as controls. Those are shown
        // as <U+0080>...<U+009F>.
        c1_terminal,
        // A terminal with one byte per character whose bytes 0x80-0x9F are
        // letters (KOI8-R, CP1251): an 8-bit terminal takes them as C1
        // controls all the same, so every one is shown, as its value <9D>,
        // which no letter of the set looks like.
        single_byte_letters,
    };

    Kind kind;
    // For a c1_terminal, bit i is set when the byte 0x80 + i is a C1 control.
    std::uint32_t c1_bytes = 0;
    // Where the output shows each field in the letters it was written in (a
    // Windows console, the web page): the reading of the display's code page,
    // for a field not written in UTF-8 (see TextSink::write_field). The field
    // is then shown as in UTF-8. Nothing where the output takes the bytes
    // themselves.
    CodePageReader from_code_page = nullptr;

    static const Display as_is;
    static const Display controls_only;
    static const Display web_page; // every field taken as UTF-8
    static const Display utf8_terminal;
    static const Display c1_terminal; // every byte 0x80-0x9F a control
    static const Display single_byte_letters;

    friend constexpr bool operator==(const Display&, const Display&) = default;
};

inline constexpr Display Display::as_is{Kind::as_is};
inline constexpr Display Display::controls_only{Kind::controls_only};
inline constexpr Display Display::web_page{Kind::web_page};
inline constexpr Display Display::utf8_terminal{Kind::utf8_terminal};
inline constexpr Display Display::c1_terminal{Kind::c1_terminal, 0xFFFF'FFFF};
inline constexpr Display Display::single_byte_letters{Kind::single_byte_letters};

// Whether a locale or character set name says UTF-8, in either case, with or
// without the hyphen.
[[nodiscard]] bool names_utf8(std::string_view name);

// How a terminal in a locale shows a field, from the locale's character set:
// its name (nl_langinfo(CODESET)), the most bytes one of its characters takes
// (MB_CUR_MAX), and which bytes 0x80-0x9F its converter reads alone as
// controls, bit i for 0x80 + i, or nothing when the converter does not work.
[[nodiscard]] Display terminal_display(std::string_view charset, std::size_t max_char_bytes,
                                       std::optional<std::uint32_t> c1_bytes_read);
