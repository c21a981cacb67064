#pragma once

#include <string>

// String resource 102 of the running executable.
constexpr int VERSION_RESOURCE_ID = 102;

std::wstring versionText();
std::wstring bannerText();
