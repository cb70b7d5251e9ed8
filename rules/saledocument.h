#pragma once

#include "decimal.h"
#include "layoutcheck.h"
#include "xmltree.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace satemu {

// A sale document as the point-of-sale software sends it (root CFe/infCFe), read and checked for the structure
// and values the device relies on. The tree is kept, since the issued CF-e is this document completed.
class SaleDocument {
public:
    static constexpr size_t kMaximumSize = 1500 * 1024;
    static constexpr size_t kMaximumItems = 500;
    static constexpr size_t kMaximumPayments = 10;

    struct Item {
        Decimal productValue; // quantity x unit price, rounded to cents
        Decimal discount;
        Decimal other;
        Decimal itemValue; // product value - discount + other
    };

    // Null with a short reason when the text is not a well-formed CF-e of the expected structure. The reason may
    // carry libxml2's own wording; the device makes it one ASCII line. Structure and values only, leniently: the
    // end-to-end test reads the tool's built-in sample this way, and an issued receipt reads back with it.
    static std::unique_ptr<SaleDocument> parse(const char* data, size_t size, std::string& error);
    // A sale: the data-entry layout first (SaleValidation), then the values; a refusal carries its rejection code.
    static std::unique_ptr<SaleDocument> parseSale(const char* data, size_t size, Rejection& rejection);
    // What parseSale runs, adding what it finds to faults; null when there is any. A full check (Faults::Mode::Every)
    // goes on past the faults that leave the rest checkable: the values are added up wherever they read.
    static std::unique_ptr<SaleDocument> checkSale(const char* data, size_t size, Faults& faults);

    std::string softwareHouseCnpj;
    std::string signature;
    std::string cashRegister;
    std::string issuerCnpj;
    std::string customerId; // CPF or CNPJ of dest, empty when none
    std::vector<Item> items;
    Decimal productsTotal;
    Decimal discountsTotal;
    Decimal othersTotal;
    Decimal subtotalDiscount;
    Decimal subtotalIncrease;
    Decimal total;
    Decimal paid;
    Decimal change;

    _xmlDoc* tree() const { return m_tree.get(); }

private:
    // The values: a rule they break goes to faults (LayoutFault::Values). A part that does not read sets error, the
    // first such reason, and failedGroup, the layout group being read (LayoutGroup), for the rejection code.
    static std::unique_ptr<SaleDocument> read(XmlDocument tree, Faults& faults, std::string& error, int& failedGroup);

    XmlDocument m_tree;
};

} // namespace satemu
