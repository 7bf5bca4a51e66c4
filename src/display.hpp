// Where the text goes, which decides how a file's bytes are shown. On a
// terminal they must not act as commands (clear the screen, set the title,
// make the terminal answer, forge a line), so its control characters are
// shown instead; which bytes are controls depends on its character set.
#pragma once

#include <cstdint>

struct Display {
    enum class Kind : std::uint8_t {
        // A file or a pipe: every byte goes out as it is.
        as_is,
        // A terminal whose bytes 0x80-0x9F are letters or parts of them: UTF-8,
        // a Windows code page, GBK, Shift_JIS. C0 and DEL are shown in caret
        // notation (ESC as ^[), a C1 control written in UTF-8 as <U+009B>.
        terminal,
        // A terminal whose character set has C1 controls of one byte: in ASCII
        // and ISO 8859 every byte 0x80-0x9F, in EUC-JP all but the two that
        // start letters. Those are shown as <U+0080>...<U+009F> as well.
        c1_terminal,
        // Text to be decoded later by a code page the reader picks, as on a web
        // page: C0 and DEL in caret notation, every byte 0x80-0xFF as it is,
        // since which of them are controls depends on that code page.
        controls_only,
    };

    Kind kind;
    // For a c1_terminal, bit i is set when the byte 0x80 + i is a C1 control.
    std::uint32_t c1_bytes = 0;

    static const Display as_is;
    static const Display terminal;
    static const Display c1_terminal; // every byte 0x80-0x9F a control
    static const Display controls_only;

    friend constexpr bool operator==(const Display&, const Display&) = default;
};

inline constexpr Display Display::as_is{Kind::as_is};
inline constexpr Display Display::terminal{Kind::terminal};
inline constexpr Display Display::c1_terminal{Kind::c1_terminal, 0xFFFF'FFFF};
inline constexpr Display Display::controls_only{Kind::controls_only};
