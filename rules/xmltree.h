#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace satemu {

struct XmlDocFree {
    void operator()(_xmlDoc* doc) const;
};
using XmlDocument = std::unique_ptr<_xmlDoc, XmlDocFree>;

// Reads untrusted XML: no network, no entity substitution, no DTD accepted, blank text nodes dropped, nothing
// printed. Null with a short reason, possibly in libxml2's wording, when the text is not a well-formed document.
XmlDocument readXml(const char* data, size_t size, std::string& error);

// Elements are matched by local name; namespaces play no part in the device's input layouts.
bool isElement(const _xmlNode* node, const char* name);
_xmlNode* firstChild(const _xmlNode* parent, const char* name);
std::vector<_xmlNode*> children(const _xmlNode* parent, const char* name);
std::vector<_xmlNode*> childElements(const _xmlNode* parent);
bool hasChildElements(const _xmlNode* node);
// The text of an element; empty for a missing element.
std::string textOf(const _xmlNode* node);
std::string childText(const _xmlNode* parent, const char* name);
std::string attribute(const _xmlNode* node, const char* name);
std::string elementName(const _xmlNode* node);

} // namespace satemu
