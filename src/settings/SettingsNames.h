#pragma once

#include "settings/XmlText.h"

class TextPositions;

// Warns about each element and attribute of a parsed settings document that
// the readers do not know, with its line and the known name it probably
// meant. What an unknown element holds is not looked at.
void warnAboutUnknownNames(const XmlNode& document, TextPositions& positions);
