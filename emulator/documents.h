#pragma once

// The three documents the device reads from untrusted callers, reachable without the C layer (tests, fuzz
// targets). Each parse takes the bytes and their length, need not be NUL-terminated, and never throws.
//
//   SaleDocument::parse(data, size, error)                      sale and end-to-end test (root CFe)
//   CancellationDocument::parse(data, size, document, error)    cancellation of the last sale (root CFeCanc)
//   NetworkConfig::parse(data, size, config, error)             network configuration (root config)
//
// AllFaults::of(data, size) lists every fault of a sale or a cancellation, the device's refusal first.

#include "allfaults.h"
#include "cancellationdocument.h"
#include "networkconfig.h"
#include "saledocument.h"
