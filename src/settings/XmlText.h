#pragma once

#include <rapidxml.hpp>

#include <string>

using XmlNode = rapidxml::xml_node<wchar_t>;

// The values of all child nodes in document order, trimmed.
std::wstring elementText(const XmlNode& element);
// The value of the attribute `name`, empty when it is missing.
std::wstring attributeText(const XmlNode& element, const wchar_t* name);

// How deep the parser would nest elements while parsing `text` (up to where it
// would stop with an error). Found by taking the parser's own steps on its own
// input without recursion, so that a document too deep for it can be refused first.
int elementNestingDepth(const std::wstring& text);
