#pragma once

// How the extract writes the CF-e's values. Money is handled on its decimal text (never through double), so large
// totals keep every digit and rounding is decimal half-up. A value that is not what its field allows is given back
// as carried, so the extract shows what the document says instead of inventing a number.

#include <QString>

namespace satresults {

// "1234.5" -> "1.234,50"; "0.995" -> "1,00"; garbage or a negative value comes back unchanged with *ok false.
QString formatMoney(const QString& text, bool* ok = nullptr);

// Quantities and unit prices keep the decimals the document carries (at least two for prices): "3.0000" -> "3,0000".
QString formatQuantity(const QString& text);
QString formatUnitPrice(const QString& text);

QString formatCnpj(const QString& digits); // 00.000.000/0000-00, else unchanged
QString formatCpf(const QString& digits); // 000.000.000-00, else unchanged
QString formatConsumerId(const QString& digits); // CPF or CNPJ by length

// "20261209", "143005" -> "09/12/2026 - 14:30:05"; when either part is malformed both are shown as carried.
QString formatDateTime(const QString& date, const QString& time);

QString formatKey(const QString& key); // 11 groups of 4 digits separated by spaces, else unchanged
QString formatExtractNumber(const QString& number); // zero-padded to 6 digits
QString formatSerial(const QString& serial); // "900000001" -> "900.000.001"

// 01 Dinheiro ... 99 Outros; an unknown code is returned as it is.
QString paymentMethodName(const QString& code);

} // namespace satresults
