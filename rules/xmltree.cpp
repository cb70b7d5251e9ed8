#include "xmltree.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <cstdio>
#include <cstring>

namespace satemu {

void XmlDocFree::operator()(_xmlDoc* doc) const
{
    xmlFreeDoc(doc);
}

XmlDocument readXml(const char* data, size_t size, std::string& error)
{
    if (!data || size == 0) {
        error = "documento vazio";
        return nullptr;
    }
    if (size > static_cast<size_t>(INT_MAX)) {
        error = "documento grande demais";
        return nullptr;
    }
    xmlInitParser();
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context) {
        error = "memoria insuficiente";
        return nullptr;
    }
    const int options = XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    XmlDocument doc(xmlCtxtReadMemory(context, data, static_cast<int>(size), "documento.xml", nullptr, options));
    if (!doc) {
        const xmlError* last = xmlCtxtGetLastError(context);
        char reason[160];
        if (last && last->message)
            std::snprintf(reason, sizeof reason, "XML mal formado na linha %d: %s", last->line, last->message);
        else
            std::snprintf(reason, sizeof reason, "XML mal formado");
        error = reason;
        while (!error.empty() && (error.back() == '\n' || error.back() == ' '))
            error.pop_back();
    }
    xmlFreeParserCtxt(context);
    if (!doc)
        return nullptr;
    if (doc->intSubset || doc->extSubset) {
        error = "declaracao DOCTYPE nao permitida";
        return nullptr;
    }
    if (!xmlDocGetRootElement(doc.get())) {
        error = "documento sem elemento raiz";
        return nullptr;
    }
    return doc;
}

bool isElement(const _xmlNode* node, const char* name)
{
    return node && node->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

_xmlNode* firstChild(const _xmlNode* parent, const char* name)
{
    if (!parent)
        return nullptr;
    for (xmlNode* node = parent->children; node; node = node->next)
        if (isElement(node, name))
            return node;
    return nullptr;
}

std::vector<_xmlNode*> children(const _xmlNode* parent, const char* name)
{
    std::vector<_xmlNode*> found;
    if (parent)
        for (xmlNode* node = parent->children; node; node = node->next)
            if (isElement(node, name))
                found.push_back(node);
    return found;
}

std::vector<_xmlNode*> childElements(const _xmlNode* parent)
{
    std::vector<_xmlNode*> found;
    if (parent)
        for (xmlNode* node = parent->children; node; node = node->next)
            if (node->type == XML_ELEMENT_NODE)
                found.push_back(node);
    return found;
}

bool hasChildElements(const _xmlNode* node)
{
    return !childElements(node).empty();
}

std::string textOf(const _xmlNode* node)
{
    if (!node)
        return {};
    std::string text;
    // Direct text and CDATA only: entity references stay unexpanded by design.
    for (const xmlNode* child = node->children; child; child = child->next)
        if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) && child->content)
            text += reinterpret_cast<const char*>(child->content);
    return text;
}

std::string childText(const _xmlNode* parent, const char* name)
{
    return textOf(firstChild(parent, name));
}

std::string attribute(const _xmlNode* node, const char* name)
{
    if (!node)
        return {};
    xmlChar* value = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!value)
        return {};
    std::string text = reinterpret_cast<const char*>(value);
    xmlFree(value);
    return text;
}

std::string elementName(const _xmlNode* node)
{
    return node && node->name ? reinterpret_cast<const char*>(node->name) : std::string();
}

} // namespace satemu
