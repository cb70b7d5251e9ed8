#include "layoutcheck.h"

#include "cnpj.h"
#include "xmltree.h"

#include <libxml/tree.h>

#include <cstdio>

namespace satemu {

using namespace layout;

namespace {

    bool isAsciiDigit(char c)
    {
        return c >= '0' && c <= '9';
    }

    std::vector<std::string> words(const char* values)
    {
        std::vector<std::string> parts(1);
        for (const char* at = values; *at; ++at) {
            if (*at != ' ')
                parts.back() += *at;
            else if (!parts.back().empty())
                parts.emplace_back();
        }
        if (parts.back().empty())
            parts.pop_back();
        return parts;
    }

    bool listed(const char* values, const std::string& text)
    {
        for (const std::string& value : words(values))
            if (value == text)
                return true;
        return false;
    }

    std::string joined(const char* values, const char* last)
    {
        const std::vector<std::string> parts = words(values);
        std::string out;
        for (size_t i = 0; i < parts.size(); ++i) {
            if (i > 0)
                out += i + 1 == parts.size() ? last : ", ";
            out += parts[i];
        }
        return out;
    }

    bool decimalHolds(const std::string& text, int integerDigits, int fewest, int most)
    {
        const size_t point = text.find('.');
        if (point == std::string::npos || point == 0 || point > static_cast<size_t>(integerDigits))
            return false;
        const size_t decimals = text.size() - point - 1;
        if (decimals < static_cast<size_t>(fewest) || decimals > static_cast<size_t>(most))
            return false;
        for (size_t i = 0; i < text.size(); ++i)
            if (i != point && !isAsciiDigit(text[i]))
                return false;
        return true;
    }

    bool cpfHolds(const std::string& digits)
    {
        if (!isDigits(digits, 11, 11) || digits.find_first_not_of(digits[0]) == std::string::npos)
            return false;
        for (size_t check = 9; check <= 10; ++check) {
            int sum = 0;
            for (size_t i = 0; i < check; ++i)
                sum += (digits[i] - '0') * static_cast<int>(check + 1 - i);
            const int rest = sum * 10 % 11;
            if ((rest == 10 ? 0 : rest) != digits[check] - '0')
                return false;
        }
        return true;
    }

    std::string plural(int count, const char* one, const char* many)
    {
        return std::to_string(count) + " " + (count == 1 ? one : many);
    }

    // The text of a leaf; false when it holds elements instead.
    bool leafText(const xmlNode* node, std::string& text)
    {
        if (hasChildElements(node))
            return false;
        text = textOf(node);
        return true;
    }

    bool holdsText(const xmlNode* node)
    {
        for (const xmlNode* child = node->children; child; child = child->next)
            if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) && child->content
                && child->content[0])
                return true;
        return false;
    }

    struct Slot {
        size_t first = 0; // index of its first element
        size_t count = 0; // alternatives
    };

    std::vector<Slot> slotsOf(const LayoutGroupSchema& schema)
    {
        std::vector<Slot> slots;
        for (size_t i = 0; i < schema.elements.size(); ++i) {
            if (schema.elements[i].sameSlot && !slots.empty())
                ++slots.back().count;
            else
                slots.push_back(Slot {i, 1});
        }
        return slots;
    }

    std::string slotName(const LayoutGroupSchema& schema, const Slot& slot)
    {
        if (slot.count == 1)
            return schema.elements[slot.first].name;
        std::string names;
        for (size_t i = 0; i < slot.count; ++i) {
            if (i > 0)
                names += i + 1 == slot.count ? " ou " : ", ";
            names += schema.elements[slot.first + i].name;
        }
        return "(" + names + ")";
    }

    std::string under(const std::string& path, const std::string& name)
    {
        return path.empty() ? name : path + "/" + name;
    }

} // namespace

// The layout sizes texts in characters; libxml2 hands over UTF-8, so an accented letter is more than one byte.
int characterCount(const std::string& text)
{
    int count = 0;
    for (const unsigned char c : text)
        if ((c & 0xc0) != 0x80)
            ++count;
    return count;
}

Rejection rejection(int group, LayoutFault fault, const std::string& reason)
{
    char code[8];
    std::snprintf(code, sizeof code, "1%02d%d", group % 100, static_cast<int>(fault) % 10);
    return Rejection {code, "Rejeicao: " + reason};
}

bool Faults::add(int group, LayoutFault fault, const std::string& field, const std::string& rule, const char* separator)
{
    const std::string reason = field + separator + rule;
    // Two equal lines tell no more than one (the same unknown element twice, say).
    for (const DocumentFault& known : m_list)
        if (known.reason == reason)
            return !stopped();
    m_list.push_back(DocumentFault {rejection(group, fault, reason).code, field, rule, reason});
    return !stopped();
}

Rejection Faults::first() const
{
    return m_list.empty() ? Rejection {} : Rejection {m_list.front().code, "Rejeicao: " + m_list.front().reason};
}

namespace layout {

    FieldFormat text(int minimum, int maximum)
    {
        return FieldFormat {FieldFormat::Text, minimum, maximum, 0, nullptr};
    }

    FieldFormat digits(int minimum, int maximum)
    {
        return FieldFormat {FieldFormat::Digits, minimum, maximum, 0, nullptr};
    }

    FieldFormat digitsOf(const char* lengths)
    {
        return FieldFormat {FieldFormat::DigitsOf, 0, 0, 0, lengths};
    }

    FieldFormat decimal(int integerDigits, int fewestDecimals, int mostDecimals)
    {
        return FieldFormat {FieldFormat::Decimal, integerDigits, fewestDecimals, mostDecimals, nullptr};
    }

    FieldFormat oneOf(const char* values)
    {
        return FieldFormat {FieldFormat::OneOf, 0, 0, 0, values};
    }

    FieldFormat cnpj()
    {
        return FieldFormat {FieldFormat::Cnpj, 0, 0, 0, nullptr};
    }

    FieldFormat cpf()
    {
        return FieldFormat {FieldFormat::Cpf, 0, 0, 0, nullptr};
    }

    FieldFormat cfop()
    {
        return FieldFormat {FieldFormat::Cfop, 0, 0, 0, nullptr};
    }

    std::string checkFormat(const FieldFormat& format, const std::string& value, LayoutFault& fault)
    {
        fault = LayoutFault::Format;
        switch (format.type) {
        case FieldFormat::None:
            return {};
        case FieldFormat::Text: {
            const int size = characterCount(value);
            if (size < format.a || size > format.b)
                return format.a == format.b
                    ? "deve ter " + plural(format.a, "caractere", "caracteres")
                    : "deve ter de " + std::to_string(format.a) + " a " + plural(format.b, "caractere", "caracteres");
            return {};
        }
        case FieldFormat::Digits:
            if (!isDigits(value, static_cast<size_t>(format.a), static_cast<size_t>(format.b)))
                return format.a == format.b
                    ? "deve ter " + plural(format.a, "digito", "digitos")
                    : "deve ter de " + std::to_string(format.a) + " a " + plural(format.b, "digito", "digitos");
            return {};
        case FieldFormat::DigitsOf:
            if (!isDigits(value, 1, 64) || !listed(format.values, std::to_string(value.size())))
                return "deve ter " + joined(format.values, " ou ") + " digitos";
            return {};
        case FieldFormat::Decimal:
            if (!decimalHolds(value, format.a, format.b, format.c)) {
                const std::string places = format.b == format.c
                    ? plural(format.b, "casa decimal", "casas decimais")
                    : std::to_string(format.b) + " a " + plural(format.c, "casa decimal", "casas decimais");
                return "deve ser numero com ate " + plural(format.a, "digito inteiro", "digitos inteiros")
                    + ", ponto e " + places;
            }
            return {};
        case FieldFormat::OneOf:
            if (!listed(format.values, value)) {
                fault = LayoutFault::Domain;
                return "valor fora do dominio (" + joined(format.values, " ou ") + ")";
            }
            return {};
        case FieldFormat::Cnpj:
            if (!isDigits(value, 14, 14))
                return "deve ter 14 digitos";
            if (!isValidCnpj(value)) {
                fault = LayoutFault::Domain;
                return "com digito verificador invalido";
            }
            return {};
        case FieldFormat::Cpf:
            if (!isDigits(value, 11, 11))
                return "deve ter 11 digitos";
            if (!cpfHolds(value)) {
                fault = LayoutFault::Domain;
                return "com digito verificador invalido";
            }
            return {};
        case FieldFormat::Cfop:
            if (!isDigits(value, 4, 4))
                return "deve ter 4 digitos";
            if (value[0] != '5' && value[0] != '6' && value[0] != '7') {
                fault = LayoutFault::Domain;
                return "deve comecar por 5, 6 ou 7 (operacao de saida)";
            }
            return {};
        }
        return {};
    }

    LayoutElement field(const char* name, int minimum, int maximum, FieldFormat format)
    {
        return LayoutElement {name, minimum, maximum, false, format, nullptr, false};
    }

    LayoutElement group(const char* name, int minimum, int maximum, const LayoutGroupSchema* schema)
    {
        return LayoutElement {name, minimum, maximum, false, FieldFormat {}, schema, false};
    }

    LayoutElement orField(const char* name, FieldFormat format)
    {
        return LayoutElement {name, 0, 0, false, format, nullptr, true};
    }

    LayoutElement orGroup(const char* name, const LayoutGroupSchema* schema)
    {
        return LayoutElement {name, 0, 0, false, FieldFormat {}, schema, true};
    }

    LayoutElement satOnly(const char* name)
    {
        return LayoutElement {name, 0, 1, true, FieldFormat {}, nullptr, false};
    }

    void checkLayout(const xmlNode* node, const LayoutGroupSchema& schema, const std::string& path, Faults& faults)
    {
        const int code = schema.code;
        if (holdsText(node) && !faults.add(code, LayoutFault::Format, path, "e um grupo e nao pode conter texto"))
            return;
        const std::vector<Slot> slots = slotsOf(schema);
        size_t current = slots.size(); // none yet
        std::vector<int> seen(slots.size(), 0);
        std::vector<bool> late(slots.size(), false); // already reported out of order
        std::string previous;
        const std::vector<xmlNode*> elements = childElements(node);
        size_t position = 0;
        // A required element that is missing here but comes later is out of order rather than absent.
        auto requireUpTo = [&](size_t end) {
            for (size_t s = current == slots.size() ? 0 : current + 1; s < end; ++s) {
                const Slot& wanted = slots[s];
                if (schema.elements[wanted.first].minimum == 0)
                    continue;
                const char* later = nullptr;
                for (size_t after = position; after < elements.size() && !later; ++after)
                    for (size_t i = wanted.first; i < wanted.first + wanted.count && !later; ++i)
                        if (isElement(elements[after], schema.elements[i].name))
                            later = schema.elements[i].name;
                if (later) {
                    late[s] = true;
                    if (!faults.add(code, LayoutFault::OutOfOrder, under(path, later),
                                    "fora da ordem do leiaute (deve vir antes de "
                                        + elementName(elements[position]).substr(0, 64) + ")"))
                        return false;
                } else if (!faults.add(code, LayoutFault::Missing, under(path, slotName(schema, wanted)), "ausente")) {
                    return false;
                }
            }
            return true;
        };

        for (; position < elements.size(); ++position) {
            const xmlNode* child = elements[position];
            // Names come from the document: long enough to recognise, never the whole of a hostile one.
            const std::string name = elementName(child).substr(0, 64);
            size_t index = 0;
            while (index < schema.elements.size() && name != schema.elements[index].name)
                ++index;
            if (index == schema.elements.size()) {
                if (!faults.add(code, LayoutFault::Unexpected, under(path, name), "nao previsto no leiaute"))
                    return;
                continue;
            }
            const LayoutElement& element = schema.elements[index];
            if (element.deviceOnly) {
                if (!faults.add(code, LayoutFault::DeviceField, under(path, name),
                                "e preenchido pelo SAT e nao deve ser enviado"))
                    return;
                continue;
            }
            size_t slot = 0;
            while (slot + 1 < slots.size() && slots[slot + 1].first <= index)
                ++slot;
            const LayoutElement& first = schema.elements[slots[slot].first];
            // An element out of order is reported once; its content is still checked, where it stands.
            const bool outOfOrder = current != slots.size() && slot < current;
            if (outOfOrder) {
                if (!late[slot]
                    && !faults.add(code, LayoutFault::OutOfOrder, under(path, name),
                                   "fora da ordem do leiaute (deve vir antes de " + previous + ")"))
                    return;
                late[slot] = true;
            } else if (slot == current) {
                if (seen[slot] == first.maximum
                    && !faults.add(code, LayoutFault::Repeated, under(path, name),
                                   "repetido: o leiaute aceita "
                                       + (first.maximum == 1 ? std::string("um unico")
                                                             : "no maximo " + std::to_string(first.maximum))
                                       + " " + slotName(schema, slots[slot])))
                    return;
            } else {
                if (!requireUpTo(slot))
                    return;
                current = slot;
            }
            // An element beyond what the layout takes has no place in it: reported, its content left alone.
            if (++seen[slot] > first.maximum)
                continue;
            if (!outOfOrder)
                previous = name;

            const std::string where
                = under(path, name) + (first.maximum > 1 ? "[" + std::to_string(seen[slot]) + "]" : "");
            if (element.group) {
                checkLayout(child, *element.group, where, faults);
                if (faults.stopped())
                    return;
                continue;
            }
            std::string value;
            if (!leafText(child, value)) {
                if (!faults.add(code, LayoutFault::Format, where, "e um campo e nao pode conter elementos"))
                    return;
                continue;
            }
            LayoutFault fault = LayoutFault::Format;
            const std::string rule = checkFormat(element.format, value, fault);
            if (!rule.empty() && !faults.add(code, fault, where, rule))
                return;
        }
        requireUpTo(slots.size());
    }

    bool checkInfCfeAttributes(const xmlNode* inf, int group, const char* allowed, Faults& faults)
    {
        for (const xmlAttr* a = inf->properties; a; a = a->next) {
            const std::string name = std::string(reinterpret_cast<const char*>(a->name)).substr(0, 64);
            if (name == "Id" || name == "versao" || name == "versaoSB") {
                if (!faults.add(group, LayoutFault::DeviceField, "infCFe/@" + name,
                                "e preenchido pelo SAT e nao deve ser enviado"))
                    return false;
            } else if (name != allowed
                       && !faults.add(group, LayoutFault::Unexpected, "infCFe/@" + name, "nao previsto no leiaute")) {
                return false;
            }
        }
        if (!xmlHasProp(inf, reinterpret_cast<const xmlChar*>(allowed))) {
            faults.add(group, LayoutFault::Missing, std::string("infCFe/@") + allowed, "ausente");
            return false;
        }
        return true;
    }

} // namespace layout

} // namespace satemu
