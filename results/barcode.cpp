#include "barcode.h"
