#pragma once

#include <rapidxml.hpp>

#include <string>

using XmlNode = rapidxml::xml_node<wchar_t>;

// The values of all child nodes in document order, trimmed.
std::wstring elementText(const XmlNode& element);

// How deep elements are nested, measured without recursion, so that a
// document too deep for the recursive parser can be refused first.
int elementNestingDepth(const wchar_t* text);
