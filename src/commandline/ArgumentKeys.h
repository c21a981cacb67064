#pragma once

// The one command that takes /format=.
constexpr const wchar_t* STATUS_COMMAND = L"status";

// Flags (with their "/") and keys of key-value arguments.
constexpr const wchar_t* FLAG_DEBUG = L"/debug";
constexpr const wchar_t* FLAG_DEBUG_SERVICE = L"/debugservice";
constexpr const wchar_t* FLAG_RUN_AS_SYSTEM = L"/runAsSystem";

constexpr const wchar_t* KEY_LOG_FILE = L"LogFile";
constexpr const wchar_t* KEY_SETTINGS = L"settings";
constexpr const wchar_t* KEY_USER = L"user";
constexpr const wchar_t* KEY_DOMAIN = L"domain";
constexpr const wchar_t* KEY_PASSWORD = L"password";
constexpr const wchar_t* KEY_AUTOSTART = L"autostart";
constexpr const wchar_t* KEY_AUTORUN = L"autorun";
constexpr const wchar_t* KEY_CHECK_USER_ACCOUNT = L"checkUserAccount";
constexpr const wchar_t* KEY_GIVE_USER_RIGHTS = L"giveUserRights";
constexpr const wchar_t* KEY_CHANGE_DACL = L"changeDACL";
constexpr const wchar_t* KEY_ALLOW_WRITABLE_FILES = L"allowWritableFiles";
constexpr const wchar_t* KEY_SERVICE = L"service";
constexpr const wchar_t* KEY_WAIT = L"wait";
constexpr const wchar_t* KEY_FORMAT = L"format";
constexpr const wchar_t* KEY_SEVERITY = L"severity";
constexpr const wchar_t* KEY_MESSAGE = L"message";
constexpr const wchar_t* KEY_INIT_SERVICE_LOGGING = L"initServiceLogging";
constexpr const wchar_t* KEY_WEAVER_DEBUG = L"this-is-commandline-weaver-debug";

// StartType: a Boolean that may also be "delayed".
enum class OptionKind { Flag, Value, Boolean, StartType };

struct KnownOption {
    const wchar_t* name;  // a flag with its "/", a key without
    OptionKind kind;
    const wchar_t* valueForm;  // what a value looks like, in the hint for a key given without one
};

// Every option some command reads: a new one is added here too, or it is
// warned about as unknown.
constexpr KnownOption KNOWN_OPTIONS[] = {
    {FLAG_DEBUG, OptionKind::Flag, L""},
    {FLAG_DEBUG_SERVICE, OptionKind::Flag, L""},
    {FLAG_RUN_AS_SYSTEM, OptionKind::Flag, L""},
    {KEY_LOG_FILE, OptionKind::Value, L"<log file>"},
    {KEY_SETTINGS, OptionKind::Value, L"<file>"},
    {KEY_USER, OptionKind::Value, L"<user>"},
    {KEY_DOMAIN, OptionKind::Value, L"<domain>"},
    {KEY_PASSWORD, OptionKind::Value, L"<password>"},
    {KEY_AUTOSTART, OptionKind::StartType, L"<true, false or delayed>"},
    {KEY_AUTORUN, OptionKind::StartType, L"<true, false or delayed>"},
    {KEY_CHECK_USER_ACCOUNT, OptionKind::Boolean, L"<true or false>"},
    {KEY_GIVE_USER_RIGHTS, OptionKind::Boolean, L"<true or false>"},
    {KEY_CHANGE_DACL, OptionKind::Boolean, L"<true or false>"},
    {KEY_ALLOW_WRITABLE_FILES, OptionKind::Boolean, L"<true or false>"},
    {KEY_SERVICE, OptionKind::Value, L"<service name>"},
    {KEY_WAIT, OptionKind::Value, L"<seconds>"},
    {KEY_FORMAT, OptionKind::Value, L"json or prometheus"},
    {KEY_SEVERITY, OptionKind::Value, L"<severity>"},
    {KEY_MESSAGE, OptionKind::Value, L"<message>"},
    {KEY_INIT_SERVICE_LOGGING, OptionKind::Boolean, L"<true or false>"},
    {KEY_WEAVER_DEBUG, OptionKind::Boolean, L"<true or false>"},
};
