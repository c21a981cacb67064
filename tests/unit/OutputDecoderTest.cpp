#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "process/OutputDecoder.h"

namespace {

struct Collected {
    explicit Collected(OutputEncoding encoding = OutputEncoding::automatic()) : decoder(encoding) {}

    OutputDecoder decoder;
    std::vector<std::wstring> lines;

    void feed(unsigned int codePage, const std::string& bytes)
    {
        decoder.append(codePage, bytes.data(), bytes.size(), [this](const std::wstring& line) { lines.push_back(line); });
    }
    void finish(unsigned int codePage)
    {
        decoder.finish(codePage, [this](const std::wstring& line) { lines.push_back(line); });
    }
};

}  // namespace

TEST(OutputDecoder, CutsLinesAndTakesOffOnlyTheirLineEnds)
{
    Collected output;
    output.feed(1252, "a\r\nb\n\n  indented \t\r\nmid\rdle\n");
    EXPECT_EQ(output.lines, (std::vector<std::wstring>{L"a", L"b", L"", L"  indented \t", L"mid\rdle"}));
}

TEST(OutputDecoder, PassesALastLineWithoutLineFeedAtTheEnd)
{
    Collected output;
    output.feed(1252, "first\nlast words  ");
    EXPECT_EQ(output.lines, std::vector<std::wstring>{L"first"});
    output.finish(1252);
    EXPECT_EQ(output.lines, (std::vector<std::wstring>{L"first", L"last words  "}));

    Collected empty;
    empty.feed(1252, "done\n");
    empty.finish(1252);
    EXPECT_EQ(empty.lines, std::vector<std::wstring>{L"done"});

    // A line whose pieces went before ends, if only with nothing.
    Collected pieces;
    pieces.feed(1252, std::string(5000, 'x'));
    pieces.finish(1252);
    EXPECT_EQ(pieces.lines, (std::vector<std::wstring>{std::wstring(5000, L'x'), L""}));
}

TEST(OutputDecoder, PassesOverlongLinesInOnePieceUntrimmed)
{
    Collected output;
    output.feed(1252, std::string(4096, 'x'));
    EXPECT_TRUE(output.lines.empty());
    output.feed(1252, std::string(904, 'x') + "  ");
    ASSERT_EQ(output.lines.size(), 1u);
    EXPECT_EQ(output.lines[0], std::wstring(5000, L'x') + L"  ");
}

TEST(OutputDecoder, KeepsUtf8CharactersWholeWhereverTheReadSplitsThem)
{
    const std::string text = "a\xC3\xA9 \xE4\xB8\xAD \xF0\x9F\x98\x80 z\n";
    const std::wstring expected = L"a\u00e9 \u4e2d \U0001F600 z";
    for (size_t split = 0; split <= text.size(); ++split) {
        Collected output;
        output.feed(CP_UTF8, text.substr(0, split));
        output.feed(CP_UTF8, text.substr(split));
        ASSERT_EQ(output.lines, std::vector<std::wstring>{expected}) << "split at " << split;
    }
    // Byte by byte as well.
    Collected output;
    for (char c : text) {
        output.feed(CP_UTF8, std::string(1, c));
    }
    EXPECT_EQ(output.lines, std::vector<std::wstring>{expected});
}

TEST(OutputDecoder, KeepsDoubleByteCharactersWholeWhereverTheReadSplitsThem)
{
    // Shift-JIS: 0x82 0xA0 is one character; 0x5C ("\") can be a trail byte.
    const std::string text = "\x82\xA0\x95\x5C\x41\n";
    const std::wstring expected = L"\u3042\u8868A";
    for (size_t split = 0; split <= text.size(); ++split) {
        Collected output(OutputEncoding::fixed(932));
        output.feed(932, text.substr(0, split));
        output.feed(932, text.substr(split));
        ASSERT_EQ(output.lines, std::vector<std::wstring>{expected}) << "split at " << split;
    }
}

TEST(OutputDecoder, CountsCompleteCharacterBytes)
{
    EXPECT_EQ(completeCharacterBytes(CP_UTF8, "ab\xE4\xB8", 4), 2u);
    EXPECT_EQ(completeCharacterBytes(CP_UTF8, "ab\xE4\xB8\xAD", 5), 5u);
    EXPECT_EQ(completeCharacterBytes(CP_UTF8, "\xF0\x9F\x98", 3), 0u);
    // Stray continuation bytes are not held back forever.
    EXPECT_EQ(completeCharacterBytes(CP_UTF8, "\x80\x80\x80\x80\x80", 5), 5u);
    EXPECT_EQ(completeCharacterBytes(932, "\x95\x5C\x95", 3), 2u);
    EXPECT_EQ(completeCharacterBytes(932, "\x95\x5C", 2), 2u);
    EXPECT_EQ(completeCharacterBytes(1252, "\xE4", 1), 1u);
}

TEST(OutputDecoder, AutomaticReadsEachLineAsUtf8WhenItIsValidUtf8AndElseInTheConsoleCodePage)
{
    Collected output;
    output.feed(1252, "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC\n" "gr\xFC\xDF \x80\n");
    output.feed(1251, "\xCF\xF0\xE8\xE2\xE5\xF2\n");
    EXPECT_EQ(output.lines, (std::vector<std::wstring>{L"gr\u00fc\u00df \u20ac", L"gr\u00fc\u00df \u20ac",
                                                       L"\u041f\u0440\u0438\u0432\u0435\u0442"}));

    Collected fixed(OutputEncoding::fixed(1252));
    fixed.feed(CP_UTF8, "gr\xC3\xBC\n");
    EXPECT_EQ(fixed.lines, std::vector<std::wstring>{L"gr\u00c3\u00bc"});
}

TEST(OutputDecoder, AutomaticReadsTheOutputOfAProgramWithoutAConsoleInTheOemCodePage)
{
    EXPECT_EQ(consoleOutputCodePage(1251), 1251u);
    ASSERT_EQ(consoleOutputCodePage(0), GetOEMCP()) << "0 is no code page but the ANSI one's alias";
    if (GetOEMCP() == 437 && GetACP() == 1252) {
        Collected output;
        output.feed(consoleOutputCodePage(0), "caf\x82\n");  // a low quote in the ANSI code page
        EXPECT_EQ(output.lines, std::vector<std::wstring>{L"caf\u00e9"});
    }
}

TEST(OutputDecoder, EndsThePiecesOfALongLineOnWholeCharacters)
{
    const std::string filler(OutputDecoder::LONG_LINE, 'x');
    Collected utf8;
    utf8.feed(1252, filler + "\xC3");
    utf8.feed(1252, "\xBC\n");
    EXPECT_EQ(utf8.lines, (std::vector<std::wstring>{std::wstring(filler.size(), L'x'), L"\u00fc"}));

    Collected shiftJis(OutputEncoding::fixed(932));
    shiftJis.feed(932, filler + "\x82");
    shiftJis.feed(932, "\xA0\n");
    EXPECT_EQ(shiftJis.lines, (std::vector<std::wstring>{std::wstring(filler.size(), L'x'), L"\u3042"}));
}
