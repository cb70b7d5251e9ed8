#pragma once

// The device the emulator's tests ready, shared with the second program they run beside it: the taxpayer and the
// software house of examples/venda.xml, and a fixed clock.
namespace fixture {

constexpr char kCode[] = "codigo-teste";
constexpr char kTaxpayer[] = "44555666000181";
constexpr char kBoth[] = "1122233300018144555666000181"; // software house, then taxpayer
constexpr char kNow[] = "20240315103000";

} // namespace fixture
