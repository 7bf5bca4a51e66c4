// Where the text goes, which decides how a file's bytes are shown. On a
// terminal they must not act as commands (clear the screen, set the title,
// make the terminal answer, forge a line), so its control characters are
// shown instead; which bytes are controls depends on its character set.
#pragma once

enum class Display {
    // A file or a pipe: every byte goes out as it is.
    as_is,
    // A terminal whose bytes 0x80-0x9F are letters or parts of them: UTF-8, a
    // Windows code page, GBK, Shift_JIS. C0 and DEL are shown in caret
    // notation (ESC as ^[), a C1 control written in UTF-8 as <U+009B>.
    terminal,
    // A terminal in ASCII or ISO 8859, where every byte 0x80-0x9F is a C1
    // control: those are shown as <U+0080>...<U+009F> as well.
    c1_terminal,
};
