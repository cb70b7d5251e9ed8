#include "allfaults.h"

#include "cancellationdocument.h"
#include "saledocument.h"

#include <string_view>

namespace satemu {

AllFaults::Kind AllFaults::kindOf(const char* data, size_t size)
{
    if (!data)
        return Kind::Sale;
    const std::string_view text(data, size);
    size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (at < text.size()) {
        at = text.find_first_not_of(" \t\r\n", at);
        if (at == std::string_view::npos || text[at] != '<')
            break;
        // The declaration, comments and the like come before the root.
        const std::string_view rest = text.substr(at);
        const char* end = rest.compare(0, 2, "<?") == 0 ? "?>"
            : rest.compare(0, 4, "<!--") == 0           ? "-->"
            : rest.compare(0, 2, "<!") == 0             ? ">"
                                                        : nullptr;
        if (end) {
            const size_t close = text.find(end, at + 2);
            if (close == std::string_view::npos)
                break;
            at = close + std::string_view(end).size();
            continue;
        }
        const size_t nameEnd = text.find_first_of(" \t\r\n/>", at + 1);
        std::string_view name = text.substr(at + 1, nameEnd == std::string_view::npos ? nameEnd : nameEnd - at - 1);
        // Elements are matched by local name.
        const size_t colon = name.find(':');
        if (colon != std::string_view::npos)
            name.remove_prefix(colon + 1);
        return name == "CFeCanc" ? Kind::Cancellation : Kind::Sale;
    }
    return Kind::Sale;
}

AllFaults AllFaults::of(const char* data, size_t size)
{
    AllFaults found;
    found.kind = kindOf(data, size);
    Faults faults(Faults::Mode::Every);
    if (found.kind == Kind::Cancellation) {
        CancellationDocument ignored;
        CancellationDocument::checkRequest(data, size, ignored, faults);
    } else {
        SaleDocument::checkSale(data, size, faults);
    }
    found.faults = faults.list();
    return found;
}

std::string oneLine(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    return out;
}

std::string faultPlace(const DocumentFault& fault)
{
    return fault.field.empty() ? "documento" : fault.field;
}

std::string faultLine(const DocumentFault& fault)
{
    return oneLine(faultPlace(fault)) + ": " + oneLine(fault.rule) + " [rejeição " + fault.code + "]";
}

} // namespace satemu
