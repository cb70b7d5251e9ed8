#pragma once

// A small reader of the device's data-entry layouts: each group lists its elements in the layout's order, how often
// each may appear, which ones only the device fills, and the format of each field. Walking a document against it
// gives its faults in document order, each as a rejection code and a reason that names the field.
//
// Rejection codes are "1GGK": GG the layout group (LayoutGroup), K the kind of fault (LayoutFault).

#include <string>
#include <vector>

struct _xmlNode;

namespace satemu {

// A refusal of a document sent by the application: the code for the answer's CCCC field and a plain ASCII reason.
struct Rejection {
    std::string code;
    std::string reason;
};

enum class LayoutFault {
    Missing = 1,
    OutOfOrder = 2,
    Unexpected = 3,
    DeviceField = 4,
    Repeated = 5,
    Format = 6,
    Domain = 7,
    Values = 8,
};

namespace LayoutGroup {
    enum : int {
        Document = 0,
        Ide = 1,
        Emit = 2,
        Dest = 3,
        Entrega = 4,
        Item = 5,
        Icms = 6,
        Pis = 7,
        Cofins = 8,
        Issqn = 9,
        Total = 10,
        Payment = 11,
        InfAdic = 12,
        Cancellation = 13,
        CancellationIde = 14,
        CancellationEmpty = 15,
    };
}

Rejection rejection(int group, LayoutFault fault, const std::string& reason);

// One fault of a document: the field it concerns (a path such as "infCFe/det[2]/prod/vUnCom"; empty for the
// document as a whole: its size, its XML, its root), the rule it breaks, its rejection code, and reason, the
// device's wording of the two.
struct DocumentFault {
    std::string code;
    std::string field;
    std::string rule;
    std::string reason;
};

// What the checks of a document find. The device stops at the first fault and refuses with it; a full check
// (Mode::Every) goes on past the faults that leave the rest checkable. Both run the same checks in the same order,
// so the first fault of a full check is always the device's refusal.
class Faults {
public:
    enum class Mode { First, Every };

    explicit Faults(Mode mode = Mode::First)
        : m_mode(mode)
    {
    }

    // The reason reads "<field><separator><rule>"; faults of the whole document pass an empty separator. False
    // when the check stops here.
    bool add(int group, LayoutFault fault, const std::string& field, const std::string& rule,
             const char* separator = " ");
    bool stopped() const { return m_mode == Mode::First && !m_list.empty(); }
    bool every() const { return m_mode == Mode::Every; }
    bool empty() const { return m_list.empty(); }
    const std::vector<DocumentFault>& list() const { return m_list; }
    // The first fault as the device words its refusal; empty until there is one.
    Rejection first() const;

private:
    Mode m_mode;
    std::vector<DocumentFault> m_list;
};

// Characters, not bytes, of a UTF-8 text as libxml2 gives it.
int characterCount(const std::string& text);

// The schema pieces, kept apart: their short names read like the layout's own tables.
namespace layout {

    struct FieldFormat {
        enum Type { None, Text, Digits, DigitsOf, Decimal, OneOf, Cnpj, Cpf, Cfop };
        Type type = None;
        int a = 0; // Text, Digits: minimum length; Decimal: integer digits
        int b = 0; // Text, Digits: maximum length; Decimal: fewest decimals
        int c = 0; // Decimal: most decimals
        const char* values = nullptr; // OneOf, DigitsOf: the accepted values (lengths), separated by spaces
    };

    FieldFormat text(int minimum, int maximum);
    FieldFormat digits(int minimum, int maximum);
    FieldFormat digitsOf(const char* lengths);
    FieldFormat decimal(int integerDigits, int fewestDecimals, int mostDecimals);
    FieldFormat oneOf(const char* values);
    FieldFormat cnpj();
    FieldFormat cpf();
    FieldFormat cfop();

    // Empty when the text holds; otherwise the rule it breaks, with fault Format or Domain.
    std::string checkFormat(const FieldFormat& format, const std::string& text, LayoutFault& fault);

    struct LayoutGroupSchema;

    struct LayoutElement {
        const char* name;
        int minimum;
        int maximum;
        bool deviceOnly;
        FieldFormat format; // leaves
        const LayoutGroupSchema* group; // groups; null for leaves
        bool sameSlot; // an alternative of the previous element (a choice): shares its place and its occurrences
    };

    struct LayoutGroupSchema {
        int code;
        std::vector<LayoutElement> elements;
    };

    LayoutElement field(const char* name, int minimum, int maximum, FieldFormat format);
    LayoutElement group(const char* name, int minimum, int maximum, const LayoutGroupSchema* schema);
    LayoutElement orField(const char* name, FieldFormat format);
    LayoutElement orGroup(const char* name, const LayoutGroupSchema* schema);
    LayoutElement satOnly(const char* name);

    // Checks the children of node against schema, recursively; path names node in reasons ("det[2]/prod").
    void checkLayout(const _xmlNode* node, const LayoutGroupSchema& schema, const std::string& path, Faults& faults);

    // infCFe carries exactly one attribute from the application, allowed: the device fills Id, versao and versaoSB.
    // Checks that it is there and that nothing else is; its value is left to the caller. True when it is there.
    bool checkInfCfeAttributes(const _xmlNode* inf, int group, const char* allowed, Faults& faults);

} // namespace layout

} // namespace satemu
