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
#include "support/LoggingCapture.h"
#include "support/TestFiles.h"

// Thousands of generated command lines and settings files, mutated from valid
// ones with a fixed seed, through the real parsing code: none may crash, hang
// or throw. A failing input is printed with its seed.

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
    case 1: return L"/" + pick(random, {L"settings", L"SETTINGS", L"user", L"autorun", L"LogFile", L""}) + L"=" +
                   randomText(random, 12);
    case 2: return pick(random, {L"", L"/", L"=", L"/=", L"-s", L"/this-is-commandline-weaver-debug=true"});
    case 3: return randomText(random, 40);
    case 4: return std::wstring(random() % 5000, L'a' + static_cast<wchar_t>(random() % 26));
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
        case 3: text.insert(at, text.substr(random() % text.size(), random() % 60)); break;
        default: text.resize(at); break;
        }
    }
    return text;
}

class TaskReader : public FileTaskSettings {
public:
    using FileTaskSettings::FileTaskSettings;
    int onTaskSettings(const ServiceTaskSettings& settings) override
    {
        // Touch every value, as the commands do.
        return static_cast<int>(settings.getProgram().size() + settings.getWorkDir().size() +
                                settings.getEnvironmentVariables().size()) % 2;
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
            bytes[random() % (bytes.size() + 1 > 1 ? bytes.size() : 1)] = static_cast<char>(random());
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
