#include "common/NearestName.h"

#include <algorithm>

#include "common/TextConversion.h"

namespace {

// Insertions, deletions, substitutions and swaps of neighbours.
size_t editDistance(const std::wstring& a, const std::wstring& b)
{
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) {
        d[i][0] = i;
    }
    for (size_t j = 0; j <= b.size(); ++j) {
        d[0][j] = j;
    }
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[a.size()][b.size()];
}

}  // namespace

std::wstring nearestName(const std::wstring& name, const std::vector<std::wstring>& knownNames)
{
    // One edit in three characters still reads as the same word.
    const size_t limit = std::max<size_t>(1, name.size() / 3);
    const std::wstring lowered = lowerCaseAscii(name);
    std::wstring nearest;
    size_t nearestDistance = limit + 1;
    for (const std::wstring& known : knownNames) {
        // No fewer edits than the lengths differ: a long name is not measured at all.
        const size_t lengthDifference =
            name.size() > known.size() ? name.size() - known.size() : known.size() - name.size();
        if (lengthDifference > limit) {
            continue;
        }
        const size_t distance = editDistance(lowered, lowerCaseAscii(known));
        if (distance < nearestDistance) {
            nearest = known;
            nearestDistance = distance;
        }
    }
    return nearest;
}
