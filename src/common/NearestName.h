#pragma once

#include <string>
#include <vector>

// The known name a mistyped one most probably meant: the nearest by edits
// (a swap of neighbours counts as one, letter case as none), when it is close
// enough to be a typo of it; otherwise the empty text. Of equally near names
// the first counts.
std::wstring nearestName(const std::wstring& name, const std::vector<std::wstring>& knownNames);
