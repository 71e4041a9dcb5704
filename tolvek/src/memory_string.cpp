#include "tolvek/memory_string.h"
