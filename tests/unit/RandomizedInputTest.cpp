#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "commandline/Argz.h"
#include "commandline/JavaServiceWrapperWeaver.h"
#include "common/TextConversion.h"
#include "settings/FileServiceSettings.h"
#include "settings/FileTaskSettings.h"
#include "settings/SettingsInterfaces.h"
#include "settings/XmlFileSettings.h"
#include "settings/XmlText.h"
#include "support/LoggingCapture.h"
#include "support/TestFiles.h"

// Thousands of generated command lines and settings files, mutated from valid
// ones with a fixed seed, through the real parsing code: none may crash, hang
// or throw. A failing input is printed with its seed. Each value is drawn in a
// statement of its own, so every compiler makes the same inputs of the seed.

namespace {

const unsigned SEED = 20261207;
// Above Error: the parsers' complaints are expected and not shown.
const int SILENT = 5;

std::wstring pick(std::mt19937& random, const std::vector<std::wstring>& choices)
{
    return choices[random() % choices.size()];
}

std::wstring randomText(std::mt19937& random, size_t maxLength)
{
    static const std::wstring alphabet = L"abcXYZ019/\\=-.:\"' \t%&<>\u00e9\u4e2d";
    std::wstring text(random() % (maxLength + 1), L' ');
    for (wchar_t& c : text) {
        c = alphabet[random() % alphabet.size()];
    }
    return text;
}

std::wstring randomArgument(std::mt19937& random)
{
    switch (random() % 6) {
    case 0: return pick(random, {L"install", L"help", L"console", L"hostwell", L"-s", L"-S", L"/debug"});
    case 1: {
        const std::wstring key = pick(random, {L"settings", L"SETTINGS", L"user", L"autorun", L"LogFile", L""});
        return L"/" + key + L"=" + randomText(random, 12);
    }
    case 2: return pick(random, {L"", L"/", L"=", L"/=", L"-s", L"/this-is-commandline-weaver-debug=true"});
    case 3: return randomText(random, 40);
    case 4: {
        const size_t length = random() % 5000;
        const wchar_t letter = L'a' + static_cast<wchar_t>(random() % 26);
        return std::wstring(length, letter);
    }
    default: return L"-s" + randomText(random, 8);
    }
}

const std::wstring VALID_SETTINGS =
    L"<?xml version=\"1.0\"?>\n<hostwell><name>Svc</name><displayName>Shown</displayName>"
    L"<description>Runs &amp; serves</description><service-logging level='info' file='logs\\x.log'/>"
    L"<execution><workdir>work</workdir><program>C:\\windows\\system32\\cmd.exe</program>"
    L"<arguments>/c exit</arguments><termination timeout='1.5'><execution><program>cmd.exe</program>"
    L"<arguments>/c exit</arguments></execution></termination><copySystemEnvironmentVariables>"
    L"<variable>TEMP</variable></copySystemEnvironmentVariables><status-marker><started>up</started>"
    L"</status-marker></execution><!-- note --><![CDATA[x]]></hostwell>";

std::wstring mutate(std::mt19937& random, std::wstring text)
{
    static const std::vector<std::wstring> fragments = {
        L"<", L">", L"</", L"/>", L"<hostwell>", L"</hostwell>", L"<execution>", L"&amp;", L"&#", L"&",
        L"<!--", L"-->", L"<![CDATA[", L"]]>", L"\"", L"'", L"=", L"\u0000", L"\uFFFF", L"<?", L"?>", L"<!DOCTYPE [",
    };
    const int edits = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < edits && !text.empty(); ++i) {
        const size_t at = random() % text.size();
        switch (random() % 5) {
        case 0: text.erase(at, 1 + random() % 20); break;
        case 1: text.insert(at, pick(random, fragments)); break;
        case 2: text[at] = static_cast<wchar_t>(random() % 0x3000); break;
        case 3: {
            const size_t from = random() % text.size();
            const size_t length = random() % 60;
            text.insert(at, text.substr(from, length));
            break;
        }
        default: text.resize(at); break;
        }
    }
    return text;
}

// What the XML parser treats specially, and look-alikes: characters whose low
// byte is markup or a blank (U+013C and '<', U+0120 and ' ').
const std::vector<std::wstring> XML_PIECES = {
    L"<a>", L"</a>", L"<a/>", L"<!--", L"-->", L"<![CDATA[", L"]]>", L"<!DOCTYPE x [", L"<!DOCTYPE\u0120", L"[",
    L"]", L">", L"<!x[>", L"<!", L"<?", L"?>", L"&lt;", L"&#60;", L"&#0;", L"&amp;lt;a>", L"&#x110000;", L"&#;",
    L"&", L"\u013C", L"\u0100", L"\u4E00", L"\u013E", L"\u0120", L"'", L"\"", L"=", L"/", L"<", L"</", L"/>",
    L"\u01EF\u02BB\u03BF",
};

// Valid within an element, each hiding markup or a '>' from a naive reader.
const std::vector<std::wstring> CONTENT_PIECES = {
    L"text", L" \t\n", L"&lt;&gt;&amp;&apos;&quot;", L"&#60;a&#x3e;", L"a > b", L"]]>", L"\u0120\u4E01",
    L"<!-- <a> -- -->", L"<![CDATA[<a></b>]]>", L"<?pi <a> ?>", L"<!x [<a>]>", L"<!x[>", L"<!DOCTYPE\u0120[<a>]>",
    L"<!DOCTYPE x [[]>]<a>]>",
};

const std::vector<std::wstring> ATTRIBUTES = {
    L" v='a>b'", L" w=\"<a>\"", L" q\"='1'", L" e='&lt;&#60;&amp;'", L" s = \"x\" t='y'", L" u='\"<'",
};

// Openers that nest when repeated, each read differently by the parser.
const std::vector<std::wstring> NESTING_PIECES = {L"<a>", L"<b x='>'>", L"<d z\"='1'>", L"&lt;a>", L"<c y=\"<\">"};

void appendContent(std::mt19937& random, std::wstring& text, int levels)
{
    const int count = static_cast<int>(random() % 4);
    for (int i = 0; i < count; ++i) {
        if (random() % 8 >= 3 || levels == 0) {
            text += pick(random, CONTENT_PIECES);
            continue;
        }
        const std::wstring name = pick(random, {L"a", L"hostwell", L"x-y", L"b\u0101"});
        text += L"<" + name;
        if (random() % 2 == 0) {
            text += pick(random, ATTRIBUTES);
        }
        if (random() % 4 == 0) {
            text += L"/>";
            continue;
        }
        text += L">";
        appendContent(random, text, levels - 1);
        text += L"</" + name + L">";
    }
}

// A well-formed document, often damaged or given a run of nested openers; now
// and then characters at random.
std::wstring craftedSettingsText(std::mt19937& random)
{
    std::wstring text;
    if (random() % 20 == 0) {
        text.resize(random() % 300);
        for (wchar_t& c : text) {
            c = static_cast<wchar_t>(random() % 0x10000);
        }
        return text;
    }
    // A DOCTYPE's brackets nest: its first ']' and '>' may lie inside it.
    text = pick(random, {L"", L"<?xml version=\"1.0\"?>\n", L"<!DOCTYPE r [<!ENTITY e \"<a>\">]>",
                         L"<!DOCTYPE r [[]>]<a>]>", L"<!-- > -->"});
    text += L"<r>";
    appendContent(random, text, 6);
    text += L"</r>";
    if (random() % 8 == 0) {
        const std::wstring opener = pick(random, NESTING_PIECES);
        // Now and then deep enough to overflow the parser's stack.
        const unsigned count = random() % 4 == 0 ? 150000 : random() % 2000;
        std::wstring run;
        for (unsigned n = 0; n < count; ++n) {
            run += opener;
        }
        const size_t at = random() % (text.size() + 1);
        text.insert(at, run);
    }
    if (random() % 3 == 0) {
        const int edits = 1 + static_cast<int>(random() % 3);
        for (int i = 0; i < edits; ++i) {
            const size_t at = random() % (text.size() + 1);
            switch (random() % 3) {
            case 0: text.insert(at, pick(random, XML_PIECES)); break;
            case 1: text.insert(at, 1, static_cast<wchar_t>(1 + random() % 0xFFFF)); break;
            default: text.erase(at, random() % 8); break;
            }
        }
    }
    return text;
}

// Levels of elements below `node`.
int elementDepth(const XmlNode& node)
{
    int deepest = 0;
    for (const XmlNode* child = node.first_node(); child != nullptr; child = child->next_sibling()) {
        if (child->type() == rapidxml::node_element) {
            const int depth = 1 + elementDepth(*child);
            deepest = depth > deepest ? depth : deepest;
        }
    }
    return deepest;
}

class TaskReader : public FileTaskSettings {
public:
    using FileTaskSettings::FileTaskSettings;
    int onTaskSettings(const ServiceTaskSettings& settings) override
    {
        // Touch every value, as the commands do. A file that gets here counts as
        // accepted, whatever the length of the temporary folder's path.
        const size_t touched =
            settings.getProgram().size() + settings.getWorkDir().size() + settings.getEnvironmentVariables().size();
        return touched > 0 ? 0 : 2;
    }
};

class ServiceReader : public FileServiceSettings {
public:
    using FileServiceSettings::FileServiceSettings;
    int onServiceSettings(const ServiceSettings& settings) override
    {
        TaskReader task(settings.getSettingsFile(), &settings);
        return task.execute();
    }
};

}  // namespace

TEST(RandomizedInput, CommandLinesNeverBreakTheArgumentModelOrTheWeaver)
{
    LoggingCapture quiet(SILENT);
    std::mt19937 random(SEED);
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::wstring> arguments{L"C:\\bin\\Hostwell.exe"};
        const int count = static_cast<int>(random() % 8);
        for (int i = 0; i < count; ++i) {
            arguments.push_back(randomArgument(random));
        }
        std::vector<const wchar_t*> argv;
        std::wstring shown;
        for (const std::wstring& argument : arguments) {
            argv.push_back(argument.c_str());
            shown += L"[" + argument.substr(0, 60) + L"] ";
        }
        SCOPED_TRACE(toUtf8(L"seed " + std::to_wstring(SEED) + L" round " + std::to_wstring(round) + L": " + shown));
        try {
            const Argz args(static_cast<int>(argv.size()), argv.data());
            std::wstring value;
            args.getValue(L"settings", value);
            args.getBool(L"autorun", true);
            args.hasFlag(L"/runAsSystem");
            args.getLogFileArgument(value);
            const Argz rest(args, 1);
            EXPECT_EQ(rest.count(), args.count() > 0 ? args.count() - 1 : 0);
            const Argz woven = JavaServiceWrapperWeaver().weave(args);
            EXPECT_GE(woven.count(), args.count());
        } catch (...) {
            ADD_FAILURE() << "exception";
        }
    }
}

TEST(RandomizedInput, MutatedSettingsFilesNeverBreakTheReaders)
{
    TemporaryDirectory dir;
    const std::wstring path = dir.file(L"fuzz.xml");
    LoggingCapture quiet(SILENT);
    std::mt19937 random(SEED);
    int accepted = 0;
    for (int round = 0; round < 2000; ++round) {
        const std::wstring text = mutate(random, VALID_SETTINGS);
        SCOPED_TRACE(toUtf8(L"seed " + std::to_wstring(SEED) + L" round " + std::to_wstring(round) + L": " + text));
        std::string bytes = toUtf8(text);
        if (random() % 10 == 0) {
            const size_t at = random() % (bytes.size() + 1 > 1 ? bytes.size() : 1);
            bytes[at] = static_cast<char>(random());
        }
        writeBytes(path, bytes);
        try {
            ServiceReader reader(path);
            const int result = reader.execute();
            EXPECT_TRUE(result == 0 || result == 1) << result;
            accepted += result == 0 ? 1 : 0;
        } catch (...) {
            ADD_FAILURE() << "exception";
        }
    }
    // The mutations must leave some files valid, or the readers' deeper steps go untested.
    EXPECT_GT(accepted, 50);
}

TEST(RandomizedInput, CraftedSettingsTextLoadsOrGivesAMessageAndNestsAsMeasured)
{
    const std::wstring tooDeep = L"Failed to parse document. elements are nested deeper than 1000 levels";
    std::mt19937 random(SEED);
    int loaded = 0;
    int refusedAsTooDeep = 0;
    for (int round = 0; round < 4000; ++round) {
        const std::wstring text = craftedSettingsText(random);
        SCOPED_TRACE(toUtf8(L"seed " + std::to_wstring(SEED) + L" round " + std::to_wstring(round) + L": " +
                            text.substr(0, 300)));
        std::vector<wchar_t> buffer;
        XmlDocument document;
        const std::wstring failure = parseSettingsText(text, buffer, document);
        if (failure.empty()) {
            ++loaded;
            // The parser built the nesting that was measured before it ran.
            EXPECT_EQ(elementDepth(document), elementNestingDepth(text));
        } else {
            EXPECT_EQ(failure.compare(0, 24, L"Failed to parse document"), 0) << toUtf8(failure);
            refusedAsTooDeep += failure == tooDeep ? 1 : 0;
        }
    }
    // Both ways out must be taken often, or the generator tests little.
    EXPECT_GT(loaded, 1000);
    EXPECT_GT(refusedAsTooDeep, 100);
}
