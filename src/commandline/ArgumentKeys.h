#pragma once

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
constexpr const wchar_t* KEY_SEVERITY = L"severity";
constexpr const wchar_t* KEY_MESSAGE = L"message";
constexpr const wchar_t* KEY_INIT_SERVICE_LOGGING = L"initServiceLogging";
constexpr const wchar_t* KEY_WEAVER_DEBUG = L"this-is-commandline-weaver-debug";
