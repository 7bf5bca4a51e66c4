// The sections on files made in memory: recognition, the information block,
// axle selection, brakes, tyres and gearbox.
#include "byte_files.hpp"
#include "hotlap_builder.hpp"
#include "in_process.hpp"
#include "read_word.hpp"
#include "setup_report.hpp"

#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

// The report on the plain lap after `change`.
template <class Change> Report report_of(Change change) {
    HotlapFields lap = plain_hotlap();
    change(lap);
    return report_in_memory(build_hotlap(lap));
}

// The lines of one section, from its heading to the next blank line.
std::string section(const std::string& text, const std::string& heading) {
    const auto start = text.find(heading);
    return start == std::string::npos ? "" : text.substr(start, text.find("\n\n", start) - start);
}

TEST(Reader, FieldsOutsideTheBufferReadAsNothing) {
    const std::vector<std::byte> bytes{std::byte{1}, std::byte{0}, std::byte{0x80}, std::byte{0x3F},
                                       std::byte{0xFE}};
    const hotlap::Reader reader{bytes};
    EXPECT_EQ(reader.real(hotlap::RealField{0}), std::bit_cast<float>(0x3F800001U));
    EXPECT_EQ(reader.real(hotlap::RealField{2}), 0.0F); // would end past the buffer
    EXPECT_EQ(reader.real(hotlap::RealArrayField{0, 1}, 1), 0.0F);
    EXPECT_EQ(reader.signed_byte(hotlap::SignedByteField{4}), -2);
    EXPECT_EQ(reader.byte(hotlap::ByteField{5}), 0);
    EXPECT_EQ(reader.text(hotlap::TextField{3, 2}).size(), 2U);
    EXPECT_TRUE(reader.text(hotlap::TextField{4, 2}).empty());
    EXPECT_TRUE(reader.text(hotlap::TextField{SIZE_MAX, 2}).empty());
    EXPECT_EQ(reader.record(hotlap::RecordArrayField{0, 2, 2}, 1).size(), 2U);
    EXPECT_EQ(reader.record(hotlap::RecordArrayField{0, 2, 2}, 2).size(), 0U); // past the array
    EXPECT_EQ(reader.record(hotlap::RecordArrayField{4, 2, 2}, 0).size(), 0U); // past the buffer
}

TEST(ReadWord, TakesAtMost32KiBAndThenReadsNoMore) {
    constexpr std::size_t most = platform::max_typed_name;
    for (const std::size_t typed : {most, most + 1, SIZE_MAX}) {
        std::size_t calls = 0;
        const auto word = platform::read_word<char>([&] { return calls++ < typed ? 'x' : -1; });
        EXPECT_EQ(word.value_or("").size(), typed == most ? most : 0) << typed;
        EXPECT_EQ(word.has_value(), typed == most) << typed;
        EXPECT_EQ(calls, most + 1) << typed; // the end of input, or the one character too many
    }
}

TEST(TextSink, FieldsShowTheControlsOfTheTerminalsCharacterSet) {
    // A field, and how each display shows it: a UTF-8 terminal; one in ASCII
    // or ISO 8859, where each byte 80-9F is a C1 control and 0xC2 a letter;
    // one in KOI8-R, where they are letters that an 8-bit terminal obeys all
    // the same; and one in GB18030, where none of them is a control alone,
    // as for a device that is no terminal.
    // A web page shows them as in UTF-8, but NUL as nothing; a file gets every
    // field unchanged. The next field follows with a byte that would end a
    // letter begun by the field's last bytes: a display shows the field
    // alone, never reading on into the next.
    struct Shown {
        std::string field, utf8, iso_8859, koi8, gb18030;
    };
    const auto everywhere = [](std::string field, std::string shown) {
        return Shown{field, shown, shown, shown, shown};
    };
    const auto without_nul = [](std::string text) {
        std::erase(text, '\0');
        return text;
    };
    const Shown cases[] = {
        everywhere("\x1b[2J", "^[[2J"),
        everywhere("\a", "^G"),
        everywhere("a\tb", "a^Ib"),
        everywhere("\r\n", "^M^J"),
        everywhere("\x7f", "^?"),
        everywhere("\x1fZ\x01", "^_Z^A"),
        everywhere("A\0B"s, "A\0B"s),
        everywhere("\xc2\xa9", "\xc2\xa9"),
        everywhere("\xc2", "\xc2"),
        {"x\xe2\x80", "x\xe2<U+0080>", "x\xe2<U+0080>", "x\xe2<80>", "x\xe2\x80"},
        {"\xf0\x9f\x98", "\xf0<U+009F><U+0098>", "\xf0<U+009F><U+0098>", "\xf0<9F><98>",
         "\xf0\x9f\x98"},
        {"\x9b", "<U+009B>", "<U+009B>", "<9B>", "\x9b"},
        {"\x80\x9f\xa0", "<U+0080><U+009F>\xa0", "<U+0080><U+009F>\xa0", "<80><9F>\xa0",
         "\x80\x9f\xa0"},
        {"\xc2\x9b", "<U+009B>", "\xc2<U+009B>", "\xc2<9B>", "\xc2\x9b"},
        {"\xc2\x80x\xc2\x9f", "<U+0080>x<U+009F>", "\xc2<U+0080>x\xc2<U+009F>", "\xc2<80>x\xc2<9F>",
         "\xc2\x80x\xc2\x9f"},
        {"Pawe\xc5\x82 \xc5\x9awi\xc4\x85tek", "Pawe\xc5\x82 \xc5\x9awi\xc4\x85tek",
         "Pawe\xc5<U+0082> \xc5<U+009A>wi\xc4<U+0085>tek", "Pawe\xc5<82> \xc5<9A>wi\xc4<85>tek",
         "Pawe\xc5\x82 \xc5\x9awi\xc4\x85tek"},
        // UTF-8 letters of three and four bytes with tails 80-9F (U+201D, U+1F600).
        {"\xe2\x80\x9d\xf0\x9f\x98\x80", "\xe2\x80\x9d\xf0\x9f\x98\x80",
         "\xe2<U+0080><U+009D>\xf0<U+009F><U+0098><U+0080>", "\xe2<80><9D>\xf0<9F><98><80>",
         "\xe2\x80\x9d\xf0\x9f\x98\x80"},
        // Not UTF-8: a lead without its tail, overlong, a surrogate, past U+10FFFF.
        {"\xc5x\x9a\xc1\x9b\xe0\x9b\x80\xed\xa0\x80\xf4\x90\x80\x80",
         "\xc5x<U+009A>\xc1<U+009B>\xe0<U+009B><U+0080>"
         "\xed\xa0<U+0080>\xf4<U+0090><U+0080><U+0080>",
         "\xc5x<U+009A>\xc1<U+009B>\xe0<U+009B><U+0080>"
         "\xed\xa0<U+0080>\xf4<U+0090><U+0080><U+0080>",
         "\xc5x<9A>\xc1<9B>\xe0<9B><80>\xed\xa0<80>\xf4<90><80><80>",
         "\xc5x\x9a\xc1\x9b\xe0\x9b\x80\xed\xa0\x80\xf4\x90\x80\x80"},
        // 李聙骡 in GB18030 (C0 EE, C2 80, C2 E2): six letters in CP1251 too.
        {"\xc0\xee\xc2\x80\xc2\xe2", "\xc0\xee<U+0080>\xc2\xe2", "\xc0\xee\xc2<U+0080>\xc2\xe2",
         "\xc0\xee\xc2<80>\xc2\xe2", "\xc0\xee\xc2\x80\xc2\xe2"},
    };
    const Display gb18030{Display::Kind::c1_terminal, 0};
    for (const Shown& c : cases) {
        const std::string file = c.field + "\x9b\x80Next";
        for (const auto& [display, expected] : {std::pair{Display::utf8_terminal, c.utf8},
                                                {Display::c1_terminal, c.iso_8859},
                                                {Display::single_byte_letters, c.koi8},
                                                {gb18030, c.gb18030},
                                                {Display::controls_only, c.gb18030},
                                                {Display::web_page, without_nul(c.utf8)},
                                                {Display::as_is, c.field}}) {
            StringSink out{display};
            out.write_field(std::as_bytes(std::span{file}).first(c.field.size()));
            EXPECT_EQ(out.text(), expected)
                << ::testing::PrintToString(c.field) << " kind " << static_cast<int>(display.kind);
        }
    }
    // A set whose C1 controls are some bytes only, as EUC-JP, where 0x8E
    // starts a letter: only those are shown.
    StringSink euc{Display{Display::Kind::c1_terminal, ~(1U << 0xE)}};
    const std::string euc_field = "\x8e\xb1\x9b";
    euc.write_field(std::as_bytes(std::span{euc_field}));
    EXPECT_EQ(euc.text(), "\x8e\xb1<U+009B>");
    // In UTF-8, the characters that reorder a line are shown by their code,
    // their neighbours left whole: ALM, LRM and RLM, U+202A-U+202E and
    // U+2066-U+2069.
    const std::pair<std::string, std::string> reordering[] = {
        {"\xd8\x9b\xd8\x9c", "\xd8\x9b<U+061C>"},
        {"\xe2\x80\x8d\xe2\x80\x8e\xe2\x80\x8f\xe2\x80\x90",
         "\xe2\x80\x8d<U+200E><U+200F>\xe2\x80\x90"},
        {"\xe2\x80\xa9\xe2\x80\xaa\xe2\x80\xae\xe2\x80\xaf",
         "\xe2\x80\xa9<U+202A><U+202E>\xe2\x80\xaf"},
        {"\xe2\x81\xa5\xe2\x81\xa6\xe2\x81\xa9\xe2\x81\xaa",
         "\xe2\x81\xa5<U+2066><U+2069>\xe2\x81\xaa"},
    };
    for (const auto& [field, shown] : reordering) {
        for (const Display& display : {Display::utf8_terminal, Display::web_page}) {
            StringSink out{display};
            out.write_field(std::as_bytes(std::span{field}));
            EXPECT_EQ(out.text(), shown) << ::testing::PrintToString(field);
        }
    }
    // A display that reads each field in its letters (a Windows console, the
    // page; Latin-1 here): UTF-8 by the name before the first NUL, its junk
    // as U+FFFD; any other field in the code page; then shown as in UTF-8.
    const auto latin1 = [](std::string_view field) {
        std::string utf8;
        for (const char byte : field) {
            const auto c = static_cast<unsigned char>(byte);
            utf8 += c < 0x80 ? std::string{byte}
                             : std::string{static_cast<char>(0xC0 | c >> 6),
                                           static_cast<char>(0x80 | (c & 0x3F))};
        }
        return utf8;
    };
    const std::pair<std::string, std::string> in_letters[] = {
        {"\x1b\xc2\x9b\xe9\0\xff"s, "^[\xc3\x82<U+009B>\xc3\xa9\0\xc3\xbf"s},
        {"J\xc3\xb6rg \xe2\x80\x8f", "J\xc3\xb6rg <U+200F>"},
        {"J\xc3\xb6rg\0\xe2\x80x\xf0\x9f\xff"s,
         "J\xc3\xb6rg\0\xef\xbf\xbdx\xef\xbf\xbd\xef\xbf\xbd"s},
        {"Jorg\0\xc3\xb6"s, "Jorg\0\xc3\x83\xc2\xb6"s},
        {"\xc0\xaf\xed\xa0\x80", "\xc3\x80\xc2\xaf\xc3\xad\xc2\xa0<U+0080>"}, // overlong, surrogate
    };
    for (const auto& [field, shown] : in_letters) {
        StringSink out{Display{Display::Kind::utf8_terminal, 0, latin1}};
        out.write_field(std::as_bytes(std::span{field}));
        EXPECT_EQ(out.text(), shown) << ::testing::PrintToString(field);
    }
}

TEST(TextSink, TheDisplayFollowsTheLocalesCharacterSet) {
    // The set's name, MB_CUR_MAX, which bytes 80-9F its converter reads alone
    // as controls (nothing: it does not work), and the display.
    constexpr std::uint32_t all = 0xFFFF'FFFF;
    constexpr std::uint32_t euc_jp = all & ~(3U << 14);
    const std::tuple<const char*, std::size_t, std::optional<std::uint32_t>, Display> cases[] = {
        {"UTF-8", 6, 0, Display::utf8_terminal},
        {"utf8", 6, 0, Display::utf8_terminal},
        {"ANSI_X3.4-1968", 1, all, Display::c1_terminal},
        {"ASCII", 1, std::nullopt, Display::c1_terminal},
        {"ISO-8859-1", 1, all, Display::c1_terminal},
        {"KOI8-R", 1, 0, Display::single_byte_letters},
        {"CP1251", 1, 1U << 0x18, Display::single_byte_letters}, // 0x98 is no letter there
        {"GB18030", 4, 0, {Display::Kind::c1_terminal, 0}},
        {"EUC-JP", 3, euc_jp, {Display::Kind::c1_terminal, euc_jp}},
        {"EUC-JP", 3, std::nullopt, Display::c1_terminal}, // no converter: every byte shown
    };
    for (const auto& [charset, max_char_bytes, c1_bytes_read, expected] : cases) {
        EXPECT_EQ(terminal_display(charset, max_char_bytes, c1_bytes_read), expected) << charset;
    }
}

TEST(StdoutSink, PassesLongOutputThroughUnchanged) {
    std::string text;
    for (int i = 0; text.size() < 10000; ++i) {
        text += std::to_string(i) + '\n';
    }
    ::testing::internal::CaptureStdout();
    {
        StdoutSink out{Display::as_is};
        out.write(std::string_view{text}.substr(0, 5000));
        out.write(std::string_view{text}.substr(5000));
    }
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), text);
}

TEST(Recognise, NeedsSignatureFormatAndLength) {
    struct Case {
        const char* what;
        std::string signature;
        std::uint8_t format;
        std::size_t length;
        Outcome ending;
    };
    const Case cases[] = {
        {"valid", "ZKVQDP", 0, 1024, Outcome::done},
        {"other format byte", "ZKVQDP", 2, 1024, Outcome::done},
        {"excluded format", "ZKVQDP", 1, 1024, Outcome::not_a_hotlap},
        {"the simulator's tag order", "ZVKQDP", 0, 1024, Outcome::not_a_hotlap},
        {"five of six letters", "ZKVQDQ", 0, 1024, Outcome::not_a_hotlap},
        {"lower case", "zkvqdp", 0, 1024, Outcome::not_a_hotlap},
        {"one byte too short", "ZKVQDP", 0, 1023, Outcome::too_short},
        {"too short, of the excluded format", "ZKVQDP", 1, 1023, Outcome::not_a_hotlap},
        {"only the signature", "ZKVQDP", 0, 6, Outcome::too_short},
        {"empty", "ZKVQDP", 0, 0, Outcome::not_a_hotlap},
    };
    for (const auto& c : cases) {
        const Report result = report_of([&](HotlapFields& lap) {
            lap.signature = c.signature;
            lap.format = c.format;
            lap.length = c.length;
        });
        EXPECT_EQ(result.outcome, c.ending) << c.what;
        if (c.ending != Outcome::done) {
            EXPECT_EQ(result.text, "File Error/Not A Hotlap!") << c.what;
        }
    }
    // The size count is a signed 32-bit number: 2 GiB and more are refused unread.
    for (const auto& [length, line, refused] :
         {std::tuple{0x7fff'ffffULL, "File size: 2147483647 bytes", std::optional<Outcome>{}},
          {0x8000'0000ULL, "File size: 2147483648 bytesFile Error/Not A Hotlap!",
           Outcome::too_long}}) {
        StringSink out;
        EXPECT_EQ(print_size_line(length, out), refused) << length;
        EXPECT_EQ(out.text(), line) << length;
    }
}

TEST(FileInfo, PrintsEveryByteOfEachFieldInRowOrder) {
    HotlapFields lap = plain_hotlap();
    lap.version = "0.9b";
    lap.player = "A\0B\xE9\xFF"s;
    lap.car = std::string(40, 'c'); // longer than its field
    lap.track = "SPA";
    lap.weather = "Rain";
    lap.filler = 0xEE;
    const std::string expected = "\n--------File Info--------\n"
                                 "ZVK Version: 0.9b\0\0\0\0\n"s
                                 "Player: A\0B\xE9\xFF"s +
                                 std::string(27, '\0') + "\nCar: " + std::string(32, 'c') +
                                 "\nTrack: SPA\0\nWeather: Rain"s + std::string(12, '\0') + "\n";
    EXPECT_EQ(report_in_memory(build_hotlap(lap)).text.substr(0, expected.size()), expected);
}

TEST(SelectAxles, LastBlockOfEachSideWins) {
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        std::array<float, 4> offsets;
        std::optional<Axles> expected; // nothing: the report is only the error
    };
    const Case cases[] = {
        {{1, 1, -1, -1}, Axles{1, 3}},
        {{-1, -1, 1, 1}, Axles{3, 1}},
        {{-1, 2, -3, 0}, Axles{3, 2}},
        {{-0.0F, -1, -1, -1}, Axles{0, 3}}, // negative zero is front
        {{nan, 1, 1, 1}, Axles{3, 0}},      // not a number is rear
        {{1, -nan, 1, 1}, Axles{3, 1}},
        {{1, 1, 1, 1}, std::nullopt},
        {{0, 0, 0, 0}, std::nullopt},
        {{-1, -1, nan, -1e-30F}, std::nullopt},
    };
    const std::string error = "Error: can't figure out what tires are front/rear :-)\n";
    for (const auto& c : cases) {
        HotlapFields lap = plain_hotlap();
        for (std::size_t k = 0; k < 4; ++k) {
            lap.wheels[k].longitudinal_offset = c.offsets[k];
        }
        const auto bytes = build_hotlap(lap);
        const std::string what = ::testing::PrintToString(c.offsets);
        EXPECT_EQ(select_axles(hotlap::Reader{bytes}), c.expected) << what;
        const Report result = report_in_memory(bytes);
        EXPECT_EQ(result.outcome == Outcome::front_rear_undecidable, !c.expected) << what;
        EXPECT_EQ(result.text.ends_with(error), !c.expected) << what;
        EXPECT_EQ(result.text.find("Suspension") == std::string::npos, !c.expected) << what;
    }
}

TEST(BrakeFigures, FollowTheWritersArithmetic) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float front, rear;
        BrakeFigures expected;
    };
    const Case cases[] = {
        {700, 300, {500, 69}}, // the share rounds to just below 0.7
        {900, 100, {500, 89}},    {600, 650, {625, 47}}, {800, 450, {625, 63}},
        {570, 430, {500, 56}},    {600, 400, {500, 60}}, {1, 0, {0, 100}},
        {1001, 1000, {1000, 50}}, {0, 0, {0, 0}}, // the share is not a number
        {1, -1, {0, 0}},                          // the share is infinite
        {inf, 0, {0, 0}},                         //
        {3e38F, 3e38F, {0, 50}},                  // a mean beyond 2^63
        {-700, -300, {-500, 69}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(brake_figures(c.front, c.rear), c.expected) << c.front << " / " << c.rear;
    }
}

TEST(SetupReport, TyreLinesNameEachAxlesCompound) {
    const std::pair<std::uint8_t, std::string> names[] = {
        {0, "RACE R1"},    {1, "RACE R2"},     {2, "RACE R3"}, {3, "RACE R4"},
        {4, "ROAD SUPER"}, {5, "ROAD NORMAL"}, {6, "HYBRID"},  {7, "KNOBBLY"},
        {8, "???"},        {9, "???"},         {255, "???"},
    };
    for (const auto& [code, name] : names) {
        const std::string text = report_of([code = code](HotlapFields& lap) {
                                     lap.wheels[2].compound =
                                         code; // the rear; the front is block 3
                                     lap.wheels[3].compound = 6;
                                 }).text;
        EXPECT_NE(text.find("Rear Tire Type:  " + name + "\n"), std::string::npos) << int{code};
        EXPECT_NE(text.find("Front Tire Type: HYBRID\n"), std::string::npos) << int{code};
    }
}

TEST(SetupReport, GearCountIsSignedAndCappedAtSix) {
    const std::string six = "1st 1.000\n2nd 2.000\n3rd 3.000\n4th 4.000\n5th 5.000\n6th 6.000\n";
    const std::pair<std::uint8_t, std::string> cases[] = {
        {0, ""},
        {1, six.substr(0, 10)},
        {5, six.substr(0, 50)},
        {6, six},
        {7, six},
        {127, six},
        {0x80, ""},
        {0xFF, ""},
    };
    for (const auto& [count, gears] : cases) {
        const Report result = report_of([count = count](HotlapFields& lap) {
            lap.gear_count = count;
            lap.gear_ratios = {1, 2, 3, 4, 5, 6};
            lap.final_drive = 0.25F;
        });
        EXPECT_EQ(section(result.text, "--------Gearbox"),
                  "--------Gearbox ratios----------\n" + gears + "Final drive: 0.250")
            << int{count};
    }
}

TEST(SetupReport, SuspensionValuesAreShownInMillimetres) {
    const Report result = report_of([](HotlapFields& lap) {
        lap.wheels[3] = {.longitudinal_offset = 2.0F,
                         .motion_range = 0.0625F,
                         .compound = 0,
                         .spring_stiffness = 1e9F,
                         .bump_damping = 3e38F,
                         .rebound_damping = -0.0F};
        lap.front_anti_roll = std::numeric_limits<float>::quiet_NaN();
    });
    EXPECT_EQ(section(result.text, "--------Front"),
              "--------Front Suspension--------\n"
              "Motion Range:\t 0.063\tm\n"
              "Stiffness:\t 1000000.0\tN/mm\n"
              "Bump Damping:\t 300000014799010993507563922742312960.0\tNs/mm\n"
              "Rebound Damping: -0.0\tNs/mm\n"
              "Anti Roll:\t nan\tN/mm\n"
              "Front Tire Type: RACE R1");
}

TEST(SampleFile, IsWhatTheBuilderMakes) {
    EXPECT_EQ(read_bytes(SAMPLE_FILE), build_hotlap(sample_hotlap()));
}

// The README shows the example's report as a terminal does: after the command
// line, with the fields' zero bytes showing as nothing, and the pause's prompt.
TEST(SampleFile, TheReadmeShowsItsReport) {
    std::string shown = read_text(SAMPLE_REPORT_FILE);
    std::erase(shown, '\0');
    const std::string block = "```text\n$ build/release/zvk-setup-dumper examples/sample.qdp\n" +
                              shown + "Press any key to continue . . . \n```\n";
    EXPECT_NE(read_text(README_FILE).find(block), std::string::npos) << block;
}

} // namespace
