#include "cfeformat.h"
